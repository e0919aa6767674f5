// HeaderDTC inside the page editor: start-up and the six-tab editor's save / prepare protocol. The
// Save and Prepare procedures are the tabs' own (dtc/GeneralTab.cpp, dtc/ProviderTab.cpp,
// dtc/I18NTab.cpp, dtc/LinkTab.cpp).
//
// Every procedure of the protocol has the control's error trap except PrepareDRAVLinkTab and
// PrepareEAILinkTab, whose failures reach the trap of SSTab1_Click. A failure inside a Prepare
// procedure therefore leaves its tab partly filled; PrepareDRAVTab and PrepareEAITab write the
// provider text first, so they do not try again until the provider changes.
#include <memory>

#include "dtc/ErrorTrap.h"
#include "dtc/HeaderDTC.h"

namespace dtc {

// ---------------------------------------------------------------------------------------------------
// Start-up

void HeaderDTC::UserControl_Initialize() {
  RunTrapped(MessageBoxes(), "Initialize", [&] {
    context_.ui.SSTab1.SetTab(kGeneralTab);
    for (ProviderKind kind : kProviderKinds) providerTabs_[kind].Start();
    for (ProviderKind kind : kProviderKinds) linkTabs_[kind].Start();
    context_.userDefinedScripts = std::make_shared<platform::Dictionary>();
    context_.ui.XSLFilenameText.SetText("xsl/Generic.xsl");
    PrepareGeneralTab();
  });
}

// ---------------------------------------------------------------------------------------------------
// The tab protocol

void HeaderDTC::SSTab1_Click(std::int16_t previousTab) {
  RunTrapped(MessageBoxes(), "SSTab1_Click", [&] {
    const std::int32_t current = context_.ui.SSTab1.Tab();
    if (previousTab == current) return;
    switch (previousTab) {
      case kGeneralTab:
        SaveGeneralState();
        break;
      case kEAITab:
        SaveEAIState();
        break;
      case kDRAVTab:
        SaveDRAVState();
        break;
      case kI18NTab:
        SaveI18NState();
        break;
      case kEAILinkTab:
        SaveEAILinkState();
        break;
      case kDRAVLinkTab:
        SaveDRAVLinkState();
        break;
      default:
        break;
    }
    switch (current) {
      case kGeneralTab:
        PrepareGeneralTab();
        break;
      case kEAITab:
        PrepareEAITab();
        break;
      case kDRAVTab:
        PrepareDRAVTab();
        break;
      case kI18NTab:
        PrepareI18NTab();
        break;
      // Entering a link tab refills its lists only when the linked provider changed (the Prepare
      // procedure runs the Update then). An Update on every entry would clear the selected linked
      // fields each time the designer came back to the tab, losing them from the page.
      case kEAILinkTab:
        PrepareEAILinkTab();
        break;
      case kDRAVLinkTab:
        PrepareDRAVLinkTab();
        break;
      default:
        break;
    }
  });
}

void HeaderDTC::UserControl_KeyPress(std::int16_t&) {
  MessageBoxes().Show("keypress");
}

}  // namespace dtc
