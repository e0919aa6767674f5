// A sample HeaderDTC configuration in which every item differs from what a new control holds:
// what the demo saves and reloads, and what tests round-trip.
#pragma once

#include "dtc/HeaderDTC.h"

namespace host {

// The data providers the demo offers.
inline constexpr const char* kDemoProviders[] = {"KRMOrders", "KRMCustomers", "KRMArticles"};

// Stands in for the product's data-provider catalog until the editor lifecycle is attached: at
// start-up it offers kDemoProviders in the three provider combos, as the General tab's preparation
// does; it prepares no other tab.
class DemoCatalog : public dtc::EditorLifecycle {
 public:
  void PrepareGeneralTab(dtc::HeaderDTC& control) override;
  void PrepareProviderTab(dtc::HeaderDTC&, dtc::ProviderKind) override {}
  void UpdateLinkTab(dtc::HeaderDTC&, dtc::ProviderKind) override {}
};

// Fills a freshly started control the way a designer's session would leave it: providers offered
// and chosen, return fields (kept in step in the translation lists and link combos), criteria of
// every value kind entered through SetKeyValue, translations marked, a linked provider with links.
// Expects a control started with a DemoCatalog.
void BuildSampleConfiguration(dtc::HeaderDTC& control);

}  // namespace host
