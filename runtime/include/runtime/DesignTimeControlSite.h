// The page editor's site object, handed to a design-time control, as far as a control uses it to
// locate the page being edited.
//
// Keeps: the walk from the site to two location texts of the page: ask the site for its context
// named "TargetEnvironment" (E); ask it for its second object-model entry point (P); have P resolve E
// into a collection of items; take item 1 and its property collection; property 2 is the base
// location (B) and property 6 the page's own location (D), which begins with B. Collections count
// from 1; an index outside a collection raises Subscript out of range (9). A call that has nothing to
// give returns an empty pointer; the caller raises error 91 when it needs the object.
// Leaves out: the rest of the editor's object model (documents, selections, choices, rebinding).
//
// Backend: MakePageLocationSite, the site a host builds from the two locations; hosts and tests use
// it alike.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/Variant.h"

namespace platform {

// A context object of the site; only the object model that gave it out can use it.
class SiteContext {
 public:
  virtual ~SiteContext() = default;
};

class SiteProperties {
 public:
  virtual ~SiteProperties() = default;
  virtual Variant Item(std::int32_t index) = 0;  // from 1
};

class SiteItem {
 public:
  virtual ~SiteItem() = default;
  virtual std::shared_ptr<SiteProperties> Properties() = 0;
};

class SiteItems {
 public:
  virtual ~SiteItems() = default;
  virtual std::int32_t Count() = 0;
  virtual std::shared_ptr<SiteItem> Item(std::int32_t index) = 0;  // from 1
};

class SiteObjectModel {
 public:
  virtual ~SiteObjectModel() = default;
  // The items a context stands for; empty pointer for a context this model did not give out.
  virtual std::shared_ptr<SiteItems> Resolve(const SiteContext& context) = 0;
};

class DesignTimeControlSite {
 public:
  virtual ~DesignTimeControlSite() = default;
  // The context named `name` (without regard to case), or an empty pointer.
  virtual std::shared_ptr<SiteContext> GetContext(std::string_view name) = 0;
  // The site's second object-model entry point.
  virtual std::shared_ptr<SiteObjectModel> SecondObjectModel() = 0;
};

// Property numbers of the page item.
inline constexpr std::int32_t kSiteBaseLocationProperty = 2;
inline constexpr std::int32_t kSitePageLocationProperty = 6;

// A site whose "TargetEnvironment" resolves to one item whose properties 2 and 6 are `baseLocation`
// and `pageLocation`; its other properties (1 to 6) are empty.
std::shared_ptr<DesignTimeControlSite> MakePageLocationSite(std::string baseLocation,
                                                            std::string pageLocation);

}  // namespace platform
