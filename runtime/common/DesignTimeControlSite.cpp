// The site a host builds from the base location and the page's location.
#include "runtime/DesignTimeControlSite.h"

#include <array>
#include <utility>

#include "runtime/Ascii.h"
#include "runtime/Error.h"

namespace platform {
namespace {

constexpr std::string_view kTargetEnvironment = "TargetEnvironment";

class PageProperties : public SiteProperties {
 public:
  PageProperties(std::string base, std::string page) {
    values_[kSiteBaseLocationProperty - 1] = Variant(std::move(base));
    values_[kSitePageLocationProperty - 1] = Variant(std::move(page));
  }
  Variant Item(std::int32_t index) override {
    if (index < 1 || index > static_cast<std::int32_t>(values_.size())) Raise(err::SubscriptOutOfRange);
    return values_[static_cast<std::size_t>(index - 1)];
  }

 private:
  std::array<Variant, 6> values_;
};

class PageItem : public SiteItem {
 public:
  explicit PageItem(std::shared_ptr<SiteProperties> properties) : properties_(std::move(properties)) {}
  std::shared_ptr<SiteProperties> Properties() override { return properties_; }

 private:
  std::shared_ptr<SiteProperties> properties_;
};

class PageItems : public SiteItems {
 public:
  explicit PageItems(std::shared_ptr<SiteItem> item) : item_(std::move(item)) {}
  std::int32_t Count() override { return 1; }
  std::shared_ptr<SiteItem> Item(std::int32_t index) override {
    if (index != 1) Raise(err::SubscriptOutOfRange);
    return item_;
  }

 private:
  std::shared_ptr<SiteItem> item_;
};

class TargetEnvironment : public SiteContext {};

class PageObjectModel : public SiteObjectModel {
 public:
  PageObjectModel(std::shared_ptr<SiteContext> environment, std::shared_ptr<SiteItems> items)
      : environment_(std::move(environment)), items_(std::move(items)) {}
  std::shared_ptr<SiteItems> Resolve(const SiteContext& context) override {
    return &context == environment_.get() ? items_ : nullptr;
  }

 private:
  std::shared_ptr<SiteContext> environment_;
  std::shared_ptr<SiteItems> items_;
};

class PageLocationSite : public DesignTimeControlSite {
 public:
  PageLocationSite(std::string base, std::string page)
      : environment_(std::make_shared<TargetEnvironment>()),
        model_(std::make_shared<PageObjectModel>(
            environment_, std::make_shared<PageItems>(std::make_shared<PageItem>(
                              std::make_shared<PageProperties>(std::move(base), std::move(page)))))) {}

  std::shared_ptr<SiteContext> GetContext(std::string_view name) override {
    return EqualsIgnoreAsciiCase(name, kTargetEnvironment) ? environment_ : nullptr;
  }
  std::shared_ptr<SiteObjectModel> SecondObjectModel() override { return model_; }

 private:
  std::shared_ptr<SiteContext> environment_;
  std::shared_ptr<SiteObjectModel> model_;
};

}  // namespace

std::shared_ptr<DesignTimeControlSite> MakePageLocationSite(std::string baseLocation,
                                                            std::string pageLocation) {
  return std::make_shared<PageLocationSite>(std::move(baseLocation), std::move(pageLocation));
}

}  // namespace platform
