// HeaderDTC inside the page editor: start-up, the six-tab editor with its save / prepare protocol,
// and the field lists the tabs obtain from the product's data-provider components.
//
// Every procedure here has the control's error trap except PrepareDRAVLinkTab and
// PrepareEAILinkTab, whose failures reach the trap of SSTab1_Click. A failure inside a Prepare
// procedure therefore leaves its tab partly filled; PrepareDRAVTab and PrepareEAITab write the
// provider text first, so they do not try again until the provider changes.
#include <memory>
#include <string>

#include "dtc/ErrorTrap.h"
#include "dtc/HeaderDTC.h"
#include "dtc/ProviderComponents.h"

namespace dtc {
namespace {

// Where the "Save" button writes the page text.
constexpr std::string_view kDebugTextFile = "c:\\temp\\DTC.TXT";

}  // namespace

void HeaderDTC::ConnectEditorEvents() {
  context_.ui.SSTab1.Click.Connect([this](std::int16_t previousTab) { SSTab1_Click(previousTab); });
  context_.ui.form.KeyPress.Connect([this](std::int16_t& key) { UserControl_KeyPress(key); });
  context_.ui.DataProvidersCombo.Click.Connect([this] { DataProvidersCombo_Click(); });
  context_.ui.EnableExtraFiltersCheck.Click.Connect([this] { EnableExtraFiltersCheck_Click(); });
  context_.ui.BrowseForIncludeASPCommand.Click.Connect([this] { BrowseForIncludeASPCommand_Click(); });
  context_.ui.IncludeASPAddCommand.Click.Connect([this] { IncludeASPAddCommand_Click(); });
  context_.ui.IncludeASPDeleteCommand.Click.Connect([this] { IncludeASPDeleteCommand_Click(); });
  context_.ui.IncludeASPList.Click.Connect([this] { IncludeASPList_Click(); });
  context_.ui.BrowseForXSLFileCommand.Click.Connect([this] { BrowseForXSLFileCommand_Click(); });
  context_.ui.SaveCommand.Click.Connect([this] { SaveCommand_Click(); });
}

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

// Only the General tab has something to save: its provider choice. The controls of the other tabs
// are the configuration itself.
void HeaderDTC::SaveGeneralState() {
  RunTrapped(MessageBoxes(), "SaveGeneralState",
             [&] { context_.currentDataProvider = context_.ui.DataProvidersCombo.Text(); });
}
void HeaderDTC::SaveEAIState() {
  providerTabs_.eai.SaveState();
}
void HeaderDTC::SaveDRAVState() {
  providerTabs_.drav.SaveState();
}
void HeaderDTC::SaveI18NState() {
  i18nTab_.SaveState();
}
void HeaderDTC::SaveEAILinkState() {
  linkTabs_.eai.SaveState();
}
void HeaderDTC::SaveDRAVLinkState() {
  linkTabs_.drav.SaveState();
}

// ---------------------------------------------------------------------------------------------------
// Preparing the tabs

// Fills the provider combos once: the catalog is kept as soon as it exists, so only a failure to
// create it leads to another attempt. Such a later attempt keeps the provider the combo shows (a
// page's provider kept by load, or one the designer typed): emptying the list would empty the text.
void HeaderDTC::PrepareGeneralTab() {
  RunTrapped(MessageBoxes(), "PrepareGeneralTab", [&] {
    if (dataProviderCatalog_) return;
    dataProviderCatalog_ = CreateComponent<platform::IDataProviderCatalog>(
        context_.services.components, platform::kDataProviderCatalogClsid);
    std::vector<std::string> names;
    Check(dataProviderCatalog_->GetDataProviderNames(names));
    const std::string shown = context_.ui.DataProvidersCombo.Text();
    context_.ui.DataProvidersCombo.Clear();
    for (const std::string& name : names) {
      context_.ui.DataProvidersCombo.AddItem(name);
      context_.ui.DRAV.LinkedDataProvidersCombo.AddItem(name);
      context_.ui.EAI.LinkedDataProvidersCombo.AddItem(name);
    }
    if (!shown.empty()) context_.ui.DataProvidersCombo.SetText(shown);
  });
}

void HeaderDTC::PrepareEAITab() {
  providerTabs_.eai.Prepare();
}
void HeaderDTC::PrepareDRAVTab() {
  providerTabs_.drav.Prepare();
}

void HeaderDTC::PrepareI18NTab() {
  i18nTab_.Prepare();
}

void HeaderDTC::PrepareEAILinkTab() {
  linkTabs_.eai.Prepare();
}
void HeaderDTC::PrepareDRAVLinkTab() {
  linkTabs_.drav.Prepare();
}

void HeaderDTC::UpdateEAILinkTab() {
  linkTabs_.eai.Update();
}
void HeaderDTC::UpdateDRAVLinkTab() {
  linkTabs_.drav.Update();
}

// ---------------------------------------------------------------------------------------------------
// Debugging aids

// The file is opened first, so a missing folder ends the click before any page text is made; the
// text is written whatever the request's own messages said.
void HeaderDTC::SaveCommand_Click() {
  RunTrapped(MessageBoxes(), "SaveCommand_Click", [&] {
    if (context_.services.files == nullptr) platform::Raise(platform::err::PathNotFound);
    const std::unique_ptr<platform::TextOutput> file = context_.services.files->OpenForOutput(kDebugTextFile);
    file->WriteLine(GetRuntimeText());
    file->Close();
  });
}

void HeaderDTC::UserControl_KeyPress(std::int16_t&) {
  MessageBoxes().Show("keypress");
}

}  // namespace dtc
