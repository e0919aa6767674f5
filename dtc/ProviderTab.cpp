// The DRAV and EAI tabs: return fields (moving items between the available and the selected list and
// ordering them), and the criteria grid with its in-place editors, the value button column and the
// criterion dialog. One implementation serves both tabs; where the tabs differ, the kind's row of the
// kind table (dtc/ProviderKinds.h) says how.
//
// Every handler and shared operation runs under the common error trap with its kind's procedure
// name ("DRAVRemoveCriteriumCommand_Click", ...): a failure shows the trap's message and ends the
// procedure; what it changed before stays changed.
//
// Decisions:
// - Write-back row: each in-place editor remembers the grid row it was opened in, and its focus-loss
//   write-back goes to that row. The marked / edit rows still follow every marking (Delete removes
//   the marked row), but they no longer decide where a value lands, so the value reaches the row of
//   its editor whatever order the host raises the editor's LostFocus and the grid's GotFocus /
//   EnterCell in. A row that no longer exists makes the write fail into the trap; the grid stays
//   as it is.
// - Reading the maps for the criterion dialog does not add entries for texts that have none; a
//   click on the value button followed by Cancel leaves the configuration as it was (an added empty
//   script would reach the page text and the saved page).
// - A return field removed from the selected list is taken out of every I18N list item and From-link
//   combo item equal to it, also when equal items stand next to each other.
// - Focus is given only to a control that can take it (shown and enabled), so a handler run while
//   its tab is not shown still completes its work; re-selecting the focused available item after Add
//   needs a focused item (with none there is nothing to re-select).
#include "dtc/ProviderTab.h"

#include <string>

#include "dtc/ErrorTrap.h"
#include "dtc/ProviderComponents.h"
#include "dtc/TextFunctions.h"

namespace dtc {
namespace {

using platform::FlexGrid;
using platform::ListBox;

constexpr std::string_view kDelWarning = "Don't push the 'Del' button, for it will throw away the entire DTC";

constexpr std::int32_t kKeyColumn = 1, kOperatorColumn = 2, kValueColumn = 3, kButtonColumn = 4;
constexpr std::int16_t kEnter = 13, kEscape = 27, kUp = 38, kDown = 40, kDelete = 46;

void GiveFocus(platform::Control& control) {
  if (control.Visible() && control.Enabled()) control.Parent().SetFocus(control);
}

// Focuses and selects item `index` of `list`, or its last item when `index` is past the end; nothing
// when the list is empty or `index` is negative.
void FocusItemAtOrLast(ListBox& list, std::int32_t index) {
  if (list.ListCount() == 0 || index < 0) return;
  const std::int32_t target = index >= list.ListCount() ? list.ListCount() - 1 : index;
  list.SetListIndex(target);
  list.SetSelected(target, true);
  GiveFocus(list);
}

// Removes every item equal to `text` (exact, case-sensitive).
void RemoveEqualItems(platform::ItemList& list, const std::string& text) {
  for (std::int32_t j = list.ListCount() - 1; j >= 0; --j) {
    if (list.List(j) == text) list.RemoveItem(j);
  }
}

// A chosen field joins the return fields and the three controls that repeat them.
void AppendReturnField(ProviderControls& side, const std::string& text) {
  side.I18NFieldnamesList.AddItem(text);
  side.I18NFieldValuesList.AddItem(text);
  side.FromLinkFieldsCombo.AddItem(text);
  side.SelectedFieldsList.AddItem(text);
}

}  // namespace

void ApplyFieldButtonRule(ProviderControls& side) {
  side.RemoveField.SetEnabled(side.SelectedFieldsList.ListCount() > 0);
  side.AddField.SetEnabled(side.FieldsList.ListCount() > 0);
}

ProviderTab::ProviderTab(ControlContext& control, ProviderKind kind,
                         CriteriumDialogOpener openCriteriumDialog)
    : control_(control),
      kind_(Variation(kind)),
      side_(control.ui.Side(kind)),
      openCriteriumDialog_(std::move(openCriteriumDialog)) {
  side_.AddField.Click.Connect([this] { AddField_Click(); });
  side_.FieldsList.DblClick.Connect([this] { FieldsList_DblClick(); });
  side_.RemoveField.Click.Connect([this] { RemoveField_Click(); });
  side_.MoveUpCommand.Click.Connect([this] { MoveUpCommand_Click(); });
  side_.MoveDownCommand.Click.Connect([this] { MoveDownCommand_Click(); });
  side_.AddCriteriumCommand.Click.Connect([this] { AddCriteriumCommand_Click(); });
  side_.RemoveCriteriumCommand.Click.Connect([this] { RemoveCriteriumCommand_Click(); });
  side_.CriteriaGrid.Click.Connect([this] { CriteriaGrid_Click(); });
  side_.CriteriaGrid.DblClick.Connect([this] { CriteriaGrid_DblClick(); });
  side_.CriteriaGrid.EnterCell.Connect([this] { CriteriaGrid_EnterCell(); });
  side_.CriteriaGrid.GotFocus.Connect([this] { CriteriaGrid_GotFocus(); });
  side_.CriteriaGrid.KeyPress.Connect([this](std::int16_t& key) { CriteriaGrid_KeyPress(key); });
  side_.CriteriaGrid.Scroll.Connect([this] { CriteriaGrid_Scroll(); });
  side_.KeyFieldsCombo.LostFocus.Connect([this] { KeyFieldsCombo_LostFocus(); });
  side_.OperatorsCombo.LostFocus.Connect([this] { OperatorsCombo_LostFocus(); });
  side_.KeyFieldValueText.KeyDown.Connect(
      [this](std::int16_t& code, std::int16_t shift) { KeyFieldValueText_KeyDown(code, shift); });
  side_.KeyFieldValueText.KeyPress.Connect([this](std::int16_t& key) { KeyFieldValueText_KeyPress(key); });
  side_.KeyFieldValueText.LostFocus.Connect([this] { KeyFieldValueText_LostFocus(); });
}

// ---------------------------------------------------------------------------------------------------
// Start-up and the tab protocol

void ProviderTab::Start() {
  marks_ = CriteriaMarks{};
  side_.OperatorsCombo.Clear();
  for (const char* op : {"==", "<=", ">="}) side_.OperatorsCombo.AddItem(op);
  platform::FlexGrid& grid = side_.CriteriaGrid;
  grid.SetRowHeightMin(323);
  const std::int32_t widths[kCriteriaColumns] = {200, 1800, 550, 2052, 255};
  for (std::int32_t c = 0; c < kCriteriaColumns; ++c) grid.SetColWidth(c, widths[c]);
  grid.SetTextMatrix(0, 1, "Key");
  grid.SetTextMatrix(0, 3, "Value");
  criteriaTypes_.RemoveAll();
}

// Nothing to save: the tab's controls are the configuration.
void ProviderTab::SaveState() {
  RunTrapped(control_.Boxes(), "Save" + std::string(kind_.prefix) + "State", [] {});
}

// Refills the tab when the provider in effect is not the one it shows. The provider text is written
// first, so a failure afterwards leaves the tab partly filled until the provider changes.
void ProviderTab::Prepare() {
  RunTrapped(control_.Boxes(), "Prepare" + std::string(kind_.prefix) + "Tab", [&] {
    const std::string& provider = control_.currentDataProvider;
    if (side_.DataProviderText.Text() != provider) {
      side_.DataProviderText.SetText(provider);
      side_.I18NFieldnamesList.Clear();
      side_.I18NFieldValuesList.Clear();
      side_.FieldsList.Clear();
      side_.SelectedFieldsList.Clear();
      side_.CriteriaGrid.Clear();
      side_.CriteriaGrid.SetTextMatrix(0, 1, "Key");
      side_.CriteriaGrid.SetTextMatrix(0, 3, "Value");
      platform::ComPtr<platform::IProviderMetadata> metadata =
          kind_.newMetadata(control_.services.components);
      // The EAI fields are read for the provider combo's text, the key fields below for the current
      // provider; leaving the General tab makes the two the same.
      const std::string fieldsOf =
          kind_.fieldsOfProviderComboText ? control_.ui.DataProvidersCombo.Text() : provider;
      kind_.addFieldItems(*metadata.Get(), fieldsOf, side_.FieldsList);
      side_.KeyFieldsCombo.Clear();
      side_.KeyFieldValueText.SetText("");
      AddKeyFields(*metadata.Get(), provider, side_.KeyFieldsCombo);
    }
    ApplyFieldButtonRule(side_);
  });
}

// ---------------------------------------------------------------------------------------------------
// Return fields

void ProviderTab::AddField_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("AddField_Click"), [&] {
    ListBox& available = side_.FieldsList;
    const std::int32_t focused = available.ListIndex();
    for (std::int32_t i = 0; i < available.ListCount(); ++i) {
      if (available.Selected(i)) AppendReturnField(side_, available.List(i));
    }
    for (std::int32_t i = available.ListCount() - 1; i >= 0; --i) {
      if (available.Selected(i)) available.RemoveItem(i);
    }
    FocusItemAtOrLast(available, focused);
    ApplyFieldButtonRule(side_);
  });
}

void ProviderTab::FieldsList_DblClick() {
  RunTrapped(control_.Boxes(), kind_.Procedure("FieldsList_DblClick"), [&] {
    ListBox& available = side_.FieldsList;
    const std::int32_t focused = available.ListIndex();
    if (focused >= 0) {
      AppendReturnField(side_, available.List(focused));
      available.RemoveItem(focused);
      FocusItemAtOrLast(available, focused);
    }
    ApplyFieldButtonRule(side_);
  });
}

void ProviderTab::RemoveField_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("RemoveField_Click"), [&] {
    ListBox& chosen = side_.SelectedFieldsList;
    if (chosen.SelCount() > 0) {
      std::int32_t lowestRemoved = -1;
      for (std::int32_t i = chosen.ListCount() - 1; i >= 0; --i) {
        if (!chosen.Selected(i)) continue;
        const std::string text = chosen.List(i);
        RemoveEqualItems(side_.I18NFieldnamesList, text);
        RemoveEqualItems(side_.I18NFieldValuesList, text);
        RemoveEqualItems(side_.FromLinkFieldsCombo, text);
        side_.FieldsList.AddItem(text);
        chosen.RemoveItem(i);
        lowestRemoved = i;
      }
      FocusItemAtOrLast(chosen, lowestRemoved);
    }
    ApplyFieldButtonRule(side_);
  });
}

void ProviderTab::MoveUpCommand_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("MoveUpCommand_Click"), [&] {
    ListBox& chosen = side_.SelectedFieldsList;
    const std::int32_t i = chosen.ListIndex();
    if (chosen.ListCount() > 0 && i > 0) {
      chosen.AddItem(chosen.List(i), i - 1);
      chosen.RemoveItem(i + 1);
      chosen.SetListIndex(i - 1);
      if (kind_.moveSelectsAndFocuses) chosen.SetSelected(i - 1, true);
    }
    if (kind_.moveSelectsAndFocuses) GiveFocus(chosen);
  });
}

void ProviderTab::MoveDownCommand_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("MoveDownCommand_Click"), [&] {
    ListBox& chosen = side_.SelectedFieldsList;
    const std::int32_t i = chosen.ListIndex();
    if (i >= 0 && chosen.ListCount() > 1 && i != chosen.ListCount() - 1) {
      chosen.AddItem(chosen.List(i), i + 2);
      chosen.RemoveItem(i);
      chosen.SetListIndex(i + 1);
      if (kind_.moveSelectsAndFocuses) chosen.SetSelected(i + 1, true);
    }
    if (kind_.moveSelectsAndFocuses) GiveFocus(chosen);
  });
}

// ---------------------------------------------------------------------------------------------------
// Marking, adding and removing criteria

void ProviderTab::MoveCriteriaAsterisk(std::int16_t row) {
  RunTrapped(control_.Boxes(), "MoveCriteriaAsterisk", [&] {
    FlexGrid& grid = side_.CriteriaGrid;
    marks_.editRow = marks_.markedRow;
    marks_.markedRow = row;
    if (marks_.editRow > 0 && marks_.editRow < grid.Rows()) grid.SetTextMatrix(marks_.editRow, 0, "");
    grid.SetTextMatrix(row, 0, "*");
    grid.SetTextMatrix(row, kButtonColumn, "...");
  });
}

void ProviderTab::AddCriteriumCommand_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("AddCriteriumCommand_Click"), [&] {
    FlexGrid& grid = side_.CriteriaGrid;
    const bool before = ScrollBarShown(grid);
    grid.SetRows(grid.Rows() + 1);
    grid.SetRow(grid.Rows() - 1);
    MoveCriteriaAsterisk(static_cast<std::int16_t>(grid.Row()));
    if (ScrollBarShown(grid) && !before) {
      grid.SetColWidth(kValueColumn, grid.ColWidth(kValueColumn) - grid.ColWidth(kButtonColumn));
    }
  });
}

void ProviderTab::RemoveCriteriumCommand_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("RemoveCriteriumCommand_Click"), [&] {
    FlexGrid& grid = side_.CriteriaGrid;
    const std::int16_t r = marks_.markedRow;
    if (r <= 0 || r >= grid.Rows()) return;
    const bool before = ScrollBarShown(grid);
    const std::string value = grid.TextMatrix(r, kValueColumn);
    if (grid.Rows() > grid.FixedRows() + 1) {
      grid.RemoveItem(r);
    } else {
      // The only criterion row: the grid keeps one empty row under its headings.
      grid.Clear();
      grid.SetTextArray(control_.CriteriaCellIndex(0, kKeyColumn), "Key");
      grid.SetTextArray(control_.CriteriaCellIndex(0, kValueColumn), "Value");
    }
    if (criteriaTypes_.Exists(value)) criteriaTypes_.Remove(value);
    if (before && !ScrollBarShown(grid)) {
      grid.SetColWidth(kValueColumn, grid.ColWidth(kValueColumn) + grid.ColWidth(kButtonColumn));
    }
    MoveCriteriaAsterisk(static_cast<std::int16_t>(grid.Row()));
  });
}

// ---------------------------------------------------------------------------------------------------
// In-place editors

void ProviderTab::CriteriaGridEdit(std::int16_t /*row: the current cell decides*/, std::int16_t column,
                                   std::int16_t KeyAscii) {
  RunTrapped(control_.Boxes(), "CriteriaGridEdit", [&] {
    FlexGrid& grid = side_.CriteriaGrid;
    platform::Control* editor = nullptr;
    const std::string& cell = grid.Text();
    if (column == kKeyColumn || column == kOperatorColumn) {
      platform::ComboBox& combo = column == kKeyColumn ? side_.KeyFieldsCombo : side_.OperatorsCombo;
      if (KeyAscii == kEnter) {
        for (std::int32_t i = 0; i < combo.ListCount(); ++i) {
          if (combo.List(i) == cell) combo.SetListIndex(i);
        }
      }
      editor = &combo;
      (column == kKeyColumn ? opened_.key : opened_.op) = static_cast<std::int16_t>(grid.Row());
    } else if (column == kValueColumn) {
      if (marks_.valueWarningArmed) {
        control_.Boxes().Show(kDelWarning, platform::mb::OKOnly);
        marks_.valueWarningArmed = false;
      }
      platform::TextBox& text = side_.KeyFieldValueText;
      if (KeyAscii == kEnter) {
        text.SetText(cell);
        text.SetSelStart(0);
        text.SetSelLength(static_cast<std::int32_t>(text.Text().size()));
      } else {
        text.SetText(std::string(1, static_cast<char>(KeyAscii)));
        text.SetSelStart(1);
      }
      editor = &text;
      opened_.value = static_cast<std::int16_t>(grid.Row());
    } else {
      return;
    }
    editor->SetWidth(grid.ShownColWidth(grid.Col()));
    editor->SetLeft(grid.Left() + grid.CellLeft());
    editor->SetTop(grid.Top() + grid.CellTop());
    editor->SetVisible(true);
    GiveFocus(*editor);
  });
}

void ProviderTab::KeyFieldsCombo_LostFocus() {
  RunTrapped(control_.Boxes(), kind_.Procedure("KeyFieldsCombo_LostFocus"), [&] {
    FlexGrid& grid = side_.CriteriaGrid;
    const std::int16_t opened = opened_.key;
    const std::int32_t row = opened >= 0 ? opened : grid.Row();
    if (!kind_.keyWriteBackOnlyIntoExistingRow || row <= grid.Rows() - 1) {
      grid.SetTextArray(control_.CriteriaCellIndex(row, kKeyColumn), side_.KeyFieldsCombo.Text());
    }
    side_.KeyFieldsCombo.SetVisible(false);
  });
}

void ProviderTab::OperatorsCombo_LostFocus() {
  RunTrapped(control_.Boxes(), kind_.Procedure("OperatorsCombo_LostFocus"), [&] {
    FlexGrid& grid = side_.CriteriaGrid;
    const std::int16_t opened = opened_.op;
    grid.SetTextArray(control_.CriteriaCellIndex(opened >= 0 ? opened : grid.Row(), kOperatorColumn),
                      side_.OperatorsCombo.Text());
    side_.OperatorsCombo.SetVisible(false);
  });
}

void ProviderTab::KeyFieldValueText_LostFocus() {
  RunTrapped(control_.Boxes(), kind_.Procedure("KeyFieldValueText_LostFocus"), [&] {
    FlexGrid& grid = side_.CriteriaGrid;
    const std::int16_t opened = opened_.value;
    grid.SetTextArray(control_.CriteriaCellIndex(opened >= 0 ? opened : grid.Row(), kValueColumn),
                      side_.KeyFieldValueText.Text());
    // A failed write leaves the editor showing what was typed.
    side_.KeyFieldValueText.SetText("");
    side_.KeyFieldValueText.SetVisible(false);
  });
}

void ProviderTab::KeyFieldValueText_KeyDown(std::int16_t& KeyCode, std::int16_t /*Shift*/) {
  RunTrapped(control_.Boxes(), kind_.Procedure("KeyFieldValueText_KeyDown"), [&] {
    FlexGrid& grid = side_.CriteriaGrid;
    switch (KeyCode) {
      case kEnter:
        GiveFocus(grid);
        break;
      case kEscape:
        side_.KeyFieldValueText.SetVisible(false);
        GiveFocus(grid);
        break;
      case kUp:
      case kDown:
        // The write-back and the grid's marking of its row run before the row moves.
        GiveFocus(grid);
        control_.ui.form.DoEvents();
        if (KeyCode == kUp && grid.Row() > grid.FixedRows()) grid.SetRow(grid.Row() - 1);
        if (KeyCode == kDown && grid.Row() < grid.Rows() - 1) grid.SetRow(grid.Row() + 1);
        break;
      case kDelete:
        side_.KeyFieldValueText.SetText("");
        break;
      default:
        break;
    }
  });
}

void ProviderTab::KeyFieldValueText_KeyPress(std::int16_t& KeyAscii) {
  RunTrapped(control_.Boxes(), kind_.Procedure("KeyFieldValueText_KeyPress"), [&] {
    if (KeyAscii == kEnter) KeyAscii = 0;
  });
}

// ---------------------------------------------------------------------------------------------------
// Grid events

void ProviderTab::CriteriaGrid_KeyPress(std::int16_t& KeyAscii) {
  RunTrapped(control_.Boxes(), kind_.Procedure("CriteriaGrid_KeyPress"), [&] {
    const FlexGrid& grid = side_.CriteriaGrid;
    CriteriaGridEdit(static_cast<std::int16_t>(grid.Row()), static_cast<std::int16_t>(grid.Col()), KeyAscii);
  });
}

void ProviderTab::CriteriaGrid_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("CriteriaGrid_Click"), [&] {
    const FlexGrid& grid = side_.CriteriaGrid;
    if (grid.Col() != kValueColumn) {
      std::int16_t enter = kEnter;
      CriteriaGrid_KeyPress(enter);
    }
    if (grid.Col() == kButtonColumn) {
      const auto row = static_cast<std::int16_t>(grid.Row());
      const std::string value(TrimSpaces(grid.TextMatrix(row, kValueColumn)));
      const platform::Variant* script = control_.userDefinedScripts->Find(value);
      const platform::Variant* valueKind = criteriaTypes_.Find(value);
      openCriteriumDialog_(row, value, script ? script->ToString() : std::string(),
                           valueKind ? *valueKind : platform::Variant());
    }
  });
}

void ProviderTab::CriteriaGrid_DblClick() {
  RunTrapped(control_.Boxes(), kind_.Procedure("CriteriaGrid_DblClick"), [&] {
    if (side_.CriteriaGrid.Col() == kValueColumn) {
      std::int16_t enter = kEnter;
      CriteriaGrid_KeyPress(enter);
    } else if (kind_.dblClickRepeatsClick) {
      CriteriaGrid_Click();
    }
  });
}

void ProviderTab::CriteriaGrid_EnterCell() {
  RunTrapped(control_.Boxes(), kind_.Procedure("CriteriaGrid_EnterCell"),
             [&] { MoveCriteriaAsterisk(static_cast<std::int16_t>(side_.CriteriaGrid.Row())); });
}

void ProviderTab::CriteriaGrid_GotFocus() {
  RunTrapped(control_.Boxes(), kind_.Procedure("CriteriaGrid_GotFocus"),
             [&] { MoveCriteriaAsterisk(static_cast<std::int16_t>(side_.CriteriaGrid.Row())); });
}

void ProviderTab::CriteriaGrid_Scroll() {
  RunTrapped(control_.Boxes(), kind_.Procedure("CriteriaGrid_Scroll"), [&] {
    side_.KeyFieldValueText.SetVisible(false);
    side_.KeyFieldsCombo.SetVisible(false);
    side_.OperatorsCombo.SetVisible(false);
  });
}

}  // namespace dtc
