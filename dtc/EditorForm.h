// The controls of HeaderDTC's tabbed editor. The configuration lives in them: every list, grid and
// text the page stores is held by one of these controls (see HeaderDTC.h).
//
// The DRAV and EAI tabs (and their link tabs) carry the same controls with the prefix "DRAV" or
// "EAI"; ProviderControls groups one kind's set so that code written once serves both kinds.
#pragma once

#include <string>

#include "dtc/Types.h"
#include "runtime/FileDialog.h"
#include "runtime/Forms.h"

namespace dtc {

// Grid layout (twips and column counts) set up when the editor is built.
inline constexpr std::int32_t kCriteriaColumns = 5;  // marker, "Key", operator, "Value", extra
inline constexpr std::int32_t kLinksColumns = 3;     // marker, "From", "To"

// The tabs of SSTab1 (a provider or link tab's index is its ProviderKind code).
enum EditorTab : std::int16_t {
  kGeneralTab = 0,
  kEAITab = 1,
  kDRAVTab = 2,
  kI18NTab = 3,
  kEAILinkTab = 4,
  kDRAVLinkTab = 5,
};
inline constexpr std::int32_t kEditorTabs = 6;

// True when the grid's rows no longer fit its height (it shows a vertical scroll bar).
bool ScrollBarShown(const platform::FlexGrid& grid);

struct ProviderControls {
  ProviderKind kind;
  std::string prefix;  // "DRAV" or "EAI"

  // Provider tab
  platform::TextBox& DataProviderText;
  platform::ListBox& FieldsList;          // available fields
  platform::ListBox& SelectedFieldsList;  // return fields, in output order
  platform::CommandButton& AddField;      // enabled while there are available fields
  platform::CommandButton& RemoveField;   // enabled while there are return fields
  platform::ComboBox& KeyFieldsCombo;     // key fields; in-place editor of criteria column 1
  platform::ComboBox& OperatorsCombo;     // in-place editor of criteria column 2
  platform::TextBox& KeyFieldValueText;   // in-place editor of criteria column 3
  platform::FlexGrid& CriteriaGrid;

  // I18N tab
  platform::ListBox& I18NFieldnamesList;
  platform::ListBox& I18NFieldValuesList;

  // Link tab
  platform::ComboBox& LinkedDataProvidersCombo;
  platform::ListBox& LinkedFieldsList;
  platform::ListBox& SelectedLinkedFieldsList;
  platform::CommandButton& AddLinkedField;
  platform::CommandButton& RemoveLinkedField;
  platform::ComboBox& FromLinkFieldsCombo;  // in-place editor of links column 1 (items: return fields)
  platform::ComboBox& ToLinkFieldsCombo;    // in-place editor of links column 2 (items: linked key fields)
  platform::FlexGrid& LinksGrid;

  // ---- provider tab: ordering the return fields and adding / removing criteria ----
  platform::CommandButton& MoveUpCommand;           // "/\\" (Move up)
  platform::CommandButton& MoveDownCommand;         // "\\/" (Move down)
  platform::CommandButton& AddCriteriumCommand;     // "Add" (Add a criterion)
  platform::CommandButton& RemoveCriteriumCommand;  // "Delete" (Remove selected criterion (*))
  // ---- end of provider tab buttons ----

  // Link tab: commands (dtc/LinkTabs.cpp)
  platform::CommandButton& DeleteLinkCommand;    // removes the link from both link tabs
  platform::CommandButton& MoveUpLinkedField;    // DRAVMoveUpLinkdFieldCommand / EAIMoveUpLinkedField
  platform::CommandButton& MoveDownLinkedField;  // DRAVMoveDownLinkdFieldCommand / EAIMoveDownLinkedField
  platform::CommandButton& AddLink;              // appends a link row
  platform::CommandButton& RemoveLink;           // removes the marked link row
};

class EditorForm {
 public:
  // `fileDialogs` answers the file-open dialog (none: every dialog is cancelled).
  explicit EditorForm(platform::FileDialogs* fileDialogs = nullptr);

  // One kind's controls: DRAV for ProviderKind 2 and 5, EAI for 1 and 4.
  ProviderControls& Side(ProviderKind kind);
  const ProviderControls& Side(ProviderKind kind) const;

  platform::Form form;
  platform::TabControl& SSTab1;

  // General tab
  platform::ComboBox& DataProvidersCombo;
  platform::CheckBox& EnableExtraFiltersCheck;
  platform::TextBox& IncludeASPText;
  platform::CommandButton& BrowseForIncludeASPCommand;
  platform::CommandButton& IncludeASPAddCommand;
  platform::CommandButton& IncludeASPDeleteCommand;
  platform::ListBox& IncludeASPList;
  platform::TextBox& XSLFilenameText;
  platform::CommandButton& BrowseForXSLFileCommand;
  platform::CommandButton& SaveCommand;
  platform::CommonDialog CommonDialog1;  // shared by both browse buttons

  // I18N tab
  platform::TextBox& I18NDataProviderText;

  ProviderControls DRAV;
  ProviderControls EAI;
};

}  // namespace dtc
