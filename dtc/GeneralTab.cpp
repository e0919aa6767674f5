// The General tab: the data provider of the page, the extra-filters flag, the extra ASP files the
// page includes and the page's XSL file.
//
// The data-provider click (DataProvidersCombo_Click) lives with the configuration in HeaderDTC.cpp,
// since load runs it too. Only include add and include delete report a change to the container.
//
// Handlers without a trap of their own in the editor's design (the extra-filters click, include
// add, include delete and the include list click) run under the common trap here as well, with
// their own procedure names, so that no failure escapes into the form's event.
#include "dtc/GeneralTab.h"

#include <algorithm>
#include <string>

#include "dtc/ErrorTrap.h"
#include "dtc/HeaderDTC.h"

namespace dtc {
namespace {

// Empty once leading and trailing spaces are trimmed.
bool BlankText(const std::string& text) {
  return text.find_first_not_of(' ') == std::string::npos;
}

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::optional<std::string> SiteRelativePath(std::string_view path, std::string_view root) {
  // Only the path is upper-cased: the root comes upper-cased from the install directory lookup.
  if (path.size() < root.size()) return std::nullopt;
  for (std::size_t i = 0; i < root.size(); ++i) {
    if (UpperAscii(path[i]) != root[i]) return std::nullopt;
  }
  std::string relative(path.substr(root.size()));
  for (char& c : relative) {
    if (c == '\\') c = '/';
  }
  return relative;
}

void HeaderDTC::EnableExtraFiltersCheck_Click() {
  RunTrapped(MessageBoxes(), "EnableExtraFiltersCheck_Click", [&] { ApplyFieldButtonRule(context_.ui.EAI); });
}

void HeaderDTC::IncludeASPAddCommand_Click() {
  RunTrapped(MessageBoxes(), "IncludeASPAddCommand_Click", [&] {
    const std::string text = context_.ui.IncludeASPText.Text();
    if (BlankText(text)) return;  // the spaces stay in the text box
    const auto& items = context_.ui.IncludeASPList.Items();
    if (std::find(items.begin(), items.end(), text) != items.end()) {
      MessageBoxes().Show("ASP already included");
    } else {
      context_.ui.IncludeASPList.AddItem(text);
      NotifyChanged("ExtraIncludes");
    }
    context_.ui.IncludeASPText.SetText("");
  });
}

void HeaderDTC::IncludeASPDeleteCommand_Click() {
  RunTrapped(MessageBoxes(), "IncludeASPDeleteCommand_Click", [&] {
    platform::ListBox& list = context_.ui.IncludeASPList;
    const std::int32_t selected = list.ListIndex();
    if (list.ListCount() >= 1 && selected >= 0) {
      list.RemoveItem(selected);
      NotifyChanged("ExtraIncludes");
    }
    // The item that moved into the deleted place is selected, or the first one after the last was
    // deleted; that selection's click fills the text box, which is emptied afterwards.
    if (selected < list.ListCount()) {
      list.SetListIndex(selected);
    } else if (list.ListCount() > 0) {
      list.SetListIndex(0);
    }
    context_.ui.IncludeASPText.SetText("");
  });
}

// Include browse: a file chosen below the site root goes into the text box as a site-relative
// path; the add button puts it into the list.
void HeaderDTC::BrowseForIncludeASPCommand_Click() {
  RunTrapped(MessageBoxes(), "BrowseForIncludeASPCommand_Click", [&] {
    const std::string root = GetInstallDir();
    platform::CommonDialog& dialog = context_.ui.CommonDialog1;
    dialog.SetInitDir(root);
    dialog.SetFilter("ASP files (*.asp)|*.asp");
    dialog.ShowOpen();
    if (dialog.FileName().empty()) return;
    const std::optional<std::string> relative = SiteRelativePath(dialog.FileName(), root);
    if (!relative) {
      MessageBoxes().Show("Can not include a file outside the Corvane site");
      return;
    }
    context_.ui.IncludeASPText.SetText(*relative);
  });
}

void HeaderDTC::BrowseForXSLFileCommand_Click() {
  RunTrapped(MessageBoxes(), "BrowseForXSLFileCommand_Click", [&] {
    const std::string root = GetInstallDir();
    platform::CommonDialog& dialog = context_.ui.CommonDialog1;
    dialog.SetInitDir(root + "/xsl");
    dialog.SetFilter("XSL files (*.xsl)|*.xsl");
    dialog.ShowOpen();
    if (dialog.FileName().empty()) return;
    const std::optional<std::string> relative = SiteRelativePath(dialog.FileName(), root);
    if (!relative) {
      MessageBoxes().Show("Can not include a file outside the Corvane site '" + root + "'");
      return;
    }
    context_.ui.XSLFilenameText.SetText(*relative);
  });
}

void HeaderDTC::IncludeASPList_Click() {
  RunTrapped(MessageBoxes(), "IncludeASPList_Click",
             [&] { context_.ui.IncludeASPText.SetText(context_.ui.IncludeASPList.Text()); });
}

}  // namespace dtc
