// The General tab: the data provider of the page, the extra-filters flag, the extra ASP files the
// page includes and the page's XSL file.
//
// Only include add and include delete report a change to the container.
//
// Handlers without a trap of their own in the editor's design (the extra-filters click, include
// add, include delete and the include list click) run under the common trap here as well, with
// their own procedure names, so that no failure escapes into the form's event.
#include "dtc/GeneralTab.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dtc/ErrorTrap.h"
#include "dtc/ProviderComponents.h"
#include "dtc/ProviderTab.h"
#include "dtc/TextFunctions.h"

namespace dtc {
namespace {

// Where the "Save" button writes the page text.
constexpr std::string_view kDebugTextFile = "c:\\temp\\DTC.TXT";

}  // namespace

std::optional<std::string> SiteRelativePath(std::string_view path, std::string_view root) {
  // Only the path is upper-cased: the root comes upper-cased from the install directory lookup.
  if (path.size() < root.size() || UCase(path.substr(0, root.size())) != root) return std::nullopt;
  std::string relative(path.substr(root.size()));
  for (char& c : relative) {
    if (c == '\\') c = '/';
  }
  return relative;
}

GeneralTab::GeneralTab(ControlContext& control, const PageTextBuilder& pageText)
    : control_(control), pageText_(pageText) {
  EditorForm& ui = control_.ui;
  ui.DataProvidersCombo.Click.Connect([this] { DataProvidersCombo_Click(); });
  ui.EnableExtraFiltersCheck.Click.Connect([this] { EnableExtraFiltersCheck_Click(); });
  ui.BrowseForIncludeASPCommand.Click.Connect([this] { BrowseForIncludeASPCommand_Click(); });
  ui.IncludeASPAddCommand.Click.Connect([this] { IncludeASPAddCommand_Click(); });
  ui.IncludeASPDeleteCommand.Click.Connect([this] { IncludeASPDeleteCommand_Click(); });
  ui.IncludeASPList.Click.Connect([this] { IncludeASPList_Click(); });
  ui.BrowseForXSLFileCommand.Click.Connect([this] { BrowseForXSLFileCommand_Click(); });
  ui.SaveCommand.Click.Connect([this] { SaveCommand_Click(); });
}

// Fills the provider combos once: the catalog is kept as soon as it exists, so only a failure to
// create it leads to another attempt. Such a later attempt keeps the provider the combo shows (a
// page's provider kept by load, or one the designer typed): emptying the list would empty the text.
void GeneralTab::Prepare() {
  RunTrapped(control_.Boxes(), "PrepareGeneralTab", [&] {
    if (catalog_) return;
    catalog_ = CreateComponent<platform::IDataProviderCatalog>(control_.services.components,
                                                               platform::kDataProviderCatalogClsid);
    std::vector<std::string> names;
    Check(catalog_->GetDataProviderNames(names));
    EditorForm& ui = control_.ui;
    const std::string shown = ui.DataProvidersCombo.Text();
    ui.DataProvidersCombo.Clear();
    for (const std::string& name : names) {
      ui.DataProvidersCombo.AddItem(name);
      ui.DRAV.LinkedDataProvidersCombo.AddItem(name);
      ui.EAI.LinkedDataProvidersCombo.AddItem(name);
    }
    if (!shown.empty()) ui.DataProvidersCombo.SetText(shown);
  });
}

// Only the General tab has something to save: its provider choice. The controls of the other tabs
// are the configuration itself.
void GeneralTab::SaveState() {
  RunTrapped(control_.Boxes(), "SaveGeneralState",
             [&] { control_.currentDataProvider = control_.ui.DataProvidersCombo.Text(); });
}

// Another provider empties the From combos of the links grids, whose items are the old provider's
// return fields.
void GeneralTab::DataProvidersCombo_Click() {
  RunTrapped(control_.Boxes(), "DataProvidersCombo_Click", [&] {
    const std::string chosen = control_.ui.DataProvidersCombo.Text();
    if (chosen != control_.currentDataProvider) {
      control_.ui.DRAV.FromLinkFieldsCombo.Clear();
      control_.ui.EAI.FromLinkFieldsCombo.Clear();
    }
    control_.currentDataProvider = chosen;
  });
}

void GeneralTab::EnableExtraFiltersCheck_Click() {
  RunTrapped(control_.Boxes(), "EnableExtraFiltersCheck_Click",
             [&] { ApplyFieldButtonRule(control_.ui.EAI); });
}

void GeneralTab::IncludeASPAddCommand_Click() {
  RunTrapped(control_.Boxes(), "IncludeASPAddCommand_Click", [&] {
    const std::string text = control_.ui.IncludeASPText.Text();
    if (TrimSpaces(text).empty()) return;  // the spaces stay in the text box
    const auto& items = control_.ui.IncludeASPList.Items();
    if (std::find(items.begin(), items.end(), text) != items.end()) {
      control_.Boxes().Show("ASP already included");
    } else {
      control_.ui.IncludeASPList.AddItem(text);
      control_.NotifyChanged("ExtraIncludes");
    }
    control_.ui.IncludeASPText.SetText("");
  });
}

void GeneralTab::IncludeASPDeleteCommand_Click() {
  RunTrapped(control_.Boxes(), "IncludeASPDeleteCommand_Click", [&] {
    platform::ListBox& list = control_.ui.IncludeASPList;
    const std::int32_t selected = list.ListIndex();
    if (list.ListCount() >= 1 && selected >= 0) {
      list.RemoveItem(selected);
      control_.NotifyChanged("ExtraIncludes");
    }
    // The item that moved into the deleted place is selected, or the first one after the last was
    // deleted; that selection's click fills the text box, which is emptied afterwards.
    if (selected < list.ListCount()) {
      list.SetListIndex(selected);
    } else if (list.ListCount() > 0) {
      list.SetListIndex(0);
    }
    control_.ui.IncludeASPText.SetText("");
  });
}

// Include browse: a file chosen below the site root goes into the text box as a site-relative
// path; the add button puts it into the list.
void GeneralTab::BrowseForIncludeASPCommand_Click() {
  RunTrapped(control_.Boxes(), "BrowseForIncludeASPCommand_Click", [&] {
    const std::string root = pageText_.GetInstallDir();
    const std::optional<std::string> relative = ChooseSiteFile(
        root, root, "ASP files (*.asp)|*.asp", "Can not include a file outside the Corvane site");
    if (relative) control_.ui.IncludeASPText.SetText(*relative);
  });
}

void GeneralTab::BrowseForXSLFileCommand_Click() {
  RunTrapped(control_.Boxes(), "BrowseForXSLFileCommand_Click", [&] {
    const std::string root = pageText_.GetInstallDir();
    const std::optional<std::string> relative =
        ChooseSiteFile(root, root + "/xsl", "XSL files (*.xsl)|*.xsl",
                       "Can not include a file outside the Corvane site '" + root + "'");
    if (relative) control_.ui.XSLFilenameText.SetText(*relative);
  });
}

std::optional<std::string> GeneralTab::ChooseSiteFile(const std::string& root, const std::string& initDir,
                                                      const std::string& filter,
                                                      const std::string& outsideMessage) {
  platform::CommonDialog& dialog = control_.ui.CommonDialog1;
  dialog.SetInitDir(initDir);
  dialog.SetFilter(filter);
  dialog.ShowOpen();
  if (dialog.FileName().empty()) return std::nullopt;
  std::optional<std::string> relative = SiteRelativePath(dialog.FileName(), root);
  if (!relative) control_.Boxes().Show(outsideMessage);
  return relative;
}

void GeneralTab::IncludeASPList_Click() {
  RunTrapped(control_.Boxes(), "IncludeASPList_Click",
             [&] { control_.ui.IncludeASPText.SetText(control_.ui.IncludeASPList.Text()); });
}

// The file is opened first, so a missing folder ends the click before any page text is made; the
// text is written whatever the request's own messages said.
void GeneralTab::SaveCommand_Click() {
  RunTrapped(control_.Boxes(), "SaveCommand_Click", [&] {
    if (control_.services.files == nullptr) platform::Raise(platform::err::PathNotFound);
    const std::unique_ptr<platform::TextOutput> file = control_.services.files->OpenForOutput(kDebugTextFile);
    std::string text;
    platform::IgnoreResult(pageText_.GetRuntimeText(text), PageTextBuilder::kTextAsFarAsItGot);
    file->WriteLine(text);
    file->Close();
  });
}

}  // namespace dtc
