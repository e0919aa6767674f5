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
#include <string>

#include "dtc/ErrorTrap.h"
#include "dtc/HeaderDTC.h"
#include "dtc/TextFunctions.h"

namespace dtc {
namespace {

using platform::FlexGrid;
using platform::ListBox;

std::string Procedure(ProviderKind kind, std::string_view name) {
  return Variation(kind).Procedure(name);
}

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

void HeaderDTC::ConnectProviderTabEvents() {
  for (ProviderKind kind : kProviderKinds) {
    ProviderControls& side = context_.ui.Side(kind);
    side.AddField.Click.Connect([this, kind] { AddField_Click(kind); });
    side.FieldsList.DblClick.Connect([this, kind] { FieldsList_DblClick(kind); });
    side.RemoveField.Click.Connect([this, kind] { RemoveField_Click(kind); });
    side.MoveUpCommand.Click.Connect([this, kind] { MoveUpCommand_Click(kind); });
    side.MoveDownCommand.Click.Connect([this, kind] { MoveDownCommand_Click(kind); });
    side.AddCriteriumCommand.Click.Connect([this, kind] { AddCriteriumCommand_Click(kind); });
    side.RemoveCriteriumCommand.Click.Connect([this, kind] { RemoveCriteriumCommand_Click(kind); });
    side.CriteriaGrid.Click.Connect([this, kind] { CriteriaGrid_Click(kind); });
    side.CriteriaGrid.DblClick.Connect([this, kind] { CriteriaGrid_DblClick(kind); });
    side.CriteriaGrid.EnterCell.Connect([this, kind] { CriteriaGrid_EnterCell(kind); });
    side.CriteriaGrid.GotFocus.Connect([this, kind] { CriteriaGrid_GotFocus(kind); });
    side.CriteriaGrid.KeyPress.Connect([this, kind](std::int16_t& key) { CriteriaGrid_KeyPress(kind, key); });
    side.CriteriaGrid.Scroll.Connect([this, kind] { CriteriaGrid_Scroll(kind); });
    side.KeyFieldsCombo.LostFocus.Connect([this, kind] { KeyFieldsCombo_LostFocus(kind); });
    side.OperatorsCombo.LostFocus.Connect([this, kind] { OperatorsCombo_LostFocus(kind); });
    side.KeyFieldValueText.KeyDown.Connect([this, kind](std::int16_t& code, std::int16_t shift) {
      KeyFieldValueText_KeyDown(kind, code, shift);
    });
    side.KeyFieldValueText.KeyPress.Connect(
        [this, kind](std::int16_t& key) { KeyFieldValueText_KeyPress(kind, key); });
    side.KeyFieldValueText.LostFocus.Connect([this, kind] { KeyFieldValueText_LostFocus(kind); });
  }
}

// ---------------------------------------------------------------------------------------------------
// Return fields

void HeaderDTC::AddField_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "AddField_Click"), [&] {
    ProviderControls& side = context_.ui.Side(kind);
    ListBox& available = side.FieldsList;
    const std::int32_t focused = available.ListIndex();
    for (std::int32_t i = 0; i < available.ListCount(); ++i) {
      if (available.Selected(i)) AppendReturnField(side, available.List(i));
    }
    for (std::int32_t i = available.ListCount() - 1; i >= 0; --i) {
      if (available.Selected(i)) available.RemoveItem(i);
    }
    FocusItemAtOrLast(available, focused);
    ApplyFieldButtonRule(kind);
  });
}

void HeaderDTC::FieldsList_DblClick(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "FieldsList_DblClick"), [&] {
    ProviderControls& side = context_.ui.Side(kind);
    ListBox& available = side.FieldsList;
    const std::int32_t focused = available.ListIndex();
    if (focused >= 0) {
      AppendReturnField(side, available.List(focused));
      available.RemoveItem(focused);
      FocusItemAtOrLast(available, focused);
    }
    ApplyFieldButtonRule(kind);
  });
}

void HeaderDTC::RemoveField_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "RemoveField_Click"), [&] {
    ProviderControls& side = context_.ui.Side(kind);
    ListBox& chosen = side.SelectedFieldsList;
    if (chosen.SelCount() > 0) {
      std::int32_t lowestRemoved = -1;
      for (std::int32_t i = chosen.ListCount() - 1; i >= 0; --i) {
        if (!chosen.Selected(i)) continue;
        const std::string text = chosen.List(i);
        RemoveEqualItems(side.I18NFieldnamesList, text);
        RemoveEqualItems(side.I18NFieldValuesList, text);
        RemoveEqualItems(side.FromLinkFieldsCombo, text);
        side.FieldsList.AddItem(text);
        chosen.RemoveItem(i);
        lowestRemoved = i;
      }
      FocusItemAtOrLast(chosen, lowestRemoved);
    }
    ApplyFieldButtonRule(kind);
  });
}

void HeaderDTC::MoveUpCommand_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "MoveUpCommand_Click"), [&] {
    ListBox& chosen = context_.ui.Side(kind).SelectedFieldsList;
    const std::int32_t i = chosen.ListIndex();
    if (chosen.ListCount() > 0 && i > 0) {
      chosen.AddItem(chosen.List(i), i - 1);
      chosen.RemoveItem(i + 1);
      chosen.SetListIndex(i - 1);
      if (Variation(kind).moveSelectsAndFocuses) chosen.SetSelected(i - 1, true);
    }
    if (Variation(kind).moveSelectsAndFocuses) GiveFocus(chosen);
  });
}

void HeaderDTC::MoveDownCommand_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "MoveDownCommand_Click"), [&] {
    ListBox& chosen = context_.ui.Side(kind).SelectedFieldsList;
    const std::int32_t i = chosen.ListIndex();
    if (i >= 0 && chosen.ListCount() > 1 && i != chosen.ListCount() - 1) {
      chosen.AddItem(chosen.List(i), i + 2);
      chosen.RemoveItem(i);
      chosen.SetListIndex(i + 1);
      if (Variation(kind).moveSelectsAndFocuses) chosen.SetSelected(i + 1, true);
    }
    if (Variation(kind).moveSelectsAndFocuses) GiveFocus(chosen);
  });
}

// ---------------------------------------------------------------------------------------------------
// Marking, adding and removing criteria

void HeaderDTC::MoveCriteriaAsterisk(ProviderKind kind, std::int16_t row) {
  RunTrapped(MessageBoxes(), "MoveCriteriaAsterisk", [&] {
    FlexGrid& grid = context_.ui.Side(kind).CriteriaGrid;
    GridEditorState& state = GridEditors(kind);
    state.criteriaEditRow = state.criteriaMarkedRow;
    state.criteriaMarkedRow = row;
    if (state.criteriaEditRow > 0 && state.criteriaEditRow < grid.Rows()) {
      grid.SetTextMatrix(state.criteriaEditRow, 0, "");
    }
    grid.SetTextMatrix(row, 0, "*");
    grid.SetTextMatrix(row, kButtonColumn, "...");
  });
}

bool HeaderDTC::ScrollBarShown(const platform::FlexGrid& grid) {
  return static_cast<std::int64_t>(grid.Rows()) * grid.RowHeightMin() >= grid.Height();
}

void HeaderDTC::AddCriteriumCommand_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "AddCriteriumCommand_Click"), [&] {
    FlexGrid& grid = context_.ui.Side(kind).CriteriaGrid;
    const bool before = ScrollBarShown(grid);
    grid.SetRows(grid.Rows() + 1);
    grid.SetRow(grid.Rows() - 1);
    MoveCriteriaAsterisk(kind, static_cast<std::int16_t>(grid.Row()));
    if (ScrollBarShown(grid) && !before) {
      grid.SetColWidth(kValueColumn, grid.ColWidth(kValueColumn) - grid.ColWidth(kButtonColumn));
    }
  });
}

void HeaderDTC::RemoveCriteriumCommand_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "RemoveCriteriumCommand_Click"), [&] {
    FlexGrid& grid = context_.ui.Side(kind).CriteriaGrid;
    const std::int16_t r = GridEditors(kind).criteriaMarkedRow;
    if (r <= 0 || r >= grid.Rows()) return;
    const bool before = ScrollBarShown(grid);
    const std::string value = grid.TextMatrix(r, kValueColumn);
    if (grid.Rows() > grid.FixedRows() + 1) {
      grid.RemoveItem(r);
    } else {
      // The only criterion row: the grid keeps one empty row under its headings.
      grid.Clear();
      grid.SetTextArray(CriteriaCellIndex(0, kKeyColumn), "Key");
      grid.SetTextArray(CriteriaCellIndex(0, kValueColumn), "Value");
    }
    platform::Dictionary& types = CriteriaTypes(kind);
    if (types.Exists(value)) types.Remove(value);
    if (before && !ScrollBarShown(grid)) {
      grid.SetColWidth(kValueColumn, grid.ColWidth(kValueColumn) + grid.ColWidth(kButtonColumn));
    }
    MoveCriteriaAsterisk(kind, static_cast<std::int16_t>(grid.Row()));
  });
}

// ---------------------------------------------------------------------------------------------------
// In-place editors

void HeaderDTC::CriteriaGridEdit(ProviderKind kind, std::int16_t /*row: the current cell decides*/,
                                 std::int16_t column, std::int16_t KeyAscii) {
  RunTrapped(MessageBoxes(), "CriteriaGridEdit", [&] {
    ProviderControls& side = context_.ui.Side(kind);
    FlexGrid& grid = side.CriteriaGrid;
    CriteriaEditorRows& opened = CriteriaEditorsOf(kind);
    platform::Control* editor = nullptr;
    const std::string& cell = grid.Text();
    if (column == kKeyColumn || column == kOperatorColumn) {
      platform::ComboBox& combo = column == kKeyColumn ? side.KeyFieldsCombo : side.OperatorsCombo;
      if (KeyAscii == kEnter) {
        for (std::int32_t i = 0; i < combo.ListCount(); ++i) {
          if (combo.List(i) == cell) combo.SetListIndex(i);
        }
      }
      editor = &combo;
      (column == kKeyColumn ? opened.key : opened.op) = static_cast<std::int16_t>(grid.Row());
    } else if (column == kValueColumn) {
      GridEditorState& state = GridEditors(kind);
      if (state.valueWarningArmed) {
        MessageBoxes().Show(kDelWarning, platform::mb::OKOnly);
        state.valueWarningArmed = false;
      }
      platform::TextBox& text = side.KeyFieldValueText;
      if (KeyAscii == kEnter) {
        text.SetText(cell);
        text.SetSelStart(0);
        text.SetSelLength(static_cast<std::int32_t>(text.Text().size()));
      } else {
        text.SetText(std::string(1, static_cast<char>(KeyAscii)));
        text.SetSelStart(1);
      }
      editor = &text;
      opened.value = static_cast<std::int16_t>(grid.Row());
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

void HeaderDTC::KeyFieldsCombo_LostFocus(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "KeyFieldsCombo_LostFocus"), [&] {
    ProviderControls& side = context_.ui.Side(kind);
    FlexGrid& grid = side.CriteriaGrid;
    const std::int16_t opened = CriteriaEditors(kind).key;
    const std::int32_t row = opened >= 0 ? opened : grid.Row();
    if (!Variation(kind).keyWriteBackOnlyIntoExistingRow || row <= grid.Rows() - 1) {
      grid.SetTextArray(CriteriaCellIndex(row, kKeyColumn), side.KeyFieldsCombo.Text());
    }
    side.KeyFieldsCombo.SetVisible(false);
  });
}

void HeaderDTC::OperatorsCombo_LostFocus(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "OperatorsCombo_LostFocus"), [&] {
    ProviderControls& side = context_.ui.Side(kind);
    FlexGrid& grid = side.CriteriaGrid;
    const std::int16_t opened = CriteriaEditors(kind).op;
    grid.SetTextArray(CriteriaCellIndex(opened >= 0 ? opened : grid.Row(), kOperatorColumn),
                      side.OperatorsCombo.Text());
    side.OperatorsCombo.SetVisible(false);
  });
}

void HeaderDTC::KeyFieldValueText_LostFocus(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "KeyFieldValueText_LostFocus"), [&] {
    ProviderControls& side = context_.ui.Side(kind);
    FlexGrid& grid = side.CriteriaGrid;
    const std::int16_t opened = CriteriaEditors(kind).value;
    grid.SetTextArray(CriteriaCellIndex(opened >= 0 ? opened : grid.Row(), kValueColumn),
                      side.KeyFieldValueText.Text());
    // A failed write leaves the editor showing what was typed.
    side.KeyFieldValueText.SetText("");
    side.KeyFieldValueText.SetVisible(false);
  });
}

void HeaderDTC::KeyFieldValueText_KeyDown(ProviderKind kind, std::int16_t& KeyCode, std::int16_t /*Shift*/) {
  RunTrapped(MessageBoxes(), Procedure(kind, "KeyFieldValueText_KeyDown"), [&] {
    ProviderControls& side = context_.ui.Side(kind);
    FlexGrid& grid = side.CriteriaGrid;
    switch (KeyCode) {
      case kEnter:
        GiveFocus(grid);
        break;
      case kEscape:
        side.KeyFieldValueText.SetVisible(false);
        GiveFocus(grid);
        break;
      case kUp:
      case kDown:
        // The write-back and the grid's marking of its row run before the row moves.
        GiveFocus(grid);
        context_.ui.form.DoEvents();
        if (KeyCode == kUp && grid.Row() > grid.FixedRows()) grid.SetRow(grid.Row() - 1);
        if (KeyCode == kDown && grid.Row() < grid.Rows() - 1) grid.SetRow(grid.Row() + 1);
        break;
      case kDelete:
        side.KeyFieldValueText.SetText("");
        break;
      default:
        break;
    }
  });
}

void HeaderDTC::KeyFieldValueText_KeyPress(ProviderKind kind, std::int16_t& KeyAscii) {
  RunTrapped(MessageBoxes(), Procedure(kind, "KeyFieldValueText_KeyPress"), [&] {
    if (KeyAscii == kEnter) KeyAscii = 0;
  });
}

// ---------------------------------------------------------------------------------------------------
// Grid events

void HeaderDTC::CriteriaGrid_KeyPress(ProviderKind kind, std::int16_t& KeyAscii) {
  RunTrapped(MessageBoxes(), Procedure(kind, "CriteriaGrid_KeyPress"), [&] {
    const FlexGrid& grid = context_.ui.Side(kind).CriteriaGrid;
    CriteriaGridEdit(kind, static_cast<std::int16_t>(grid.Row()), static_cast<std::int16_t>(grid.Col()),
                     KeyAscii);
  });
}

void HeaderDTC::CriteriaGrid_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "CriteriaGrid_Click"), [&] {
    const FlexGrid& grid = context_.ui.Side(kind).CriteriaGrid;
    if (grid.Col() != kValueColumn) {
      std::int16_t enter = kEnter;
      CriteriaGrid_KeyPress(kind, enter);
    }
    if (grid.Col() == kButtonColumn) {
      const auto row = static_cast<std::int16_t>(grid.Row());
      const std::string value(TrimSpaces(grid.TextMatrix(row, kValueColumn)));
      const platform::Variant* script = context_.userDefinedScripts->Find(value);
      const platform::Variant* valueKind = CriteriaTypes(kind).Find(value);
      ShowCriteriumDialog(static_cast<std::int16_t>(kind), row, value,
                          script ? script->ToString() : std::string(),
                          valueKind ? *valueKind : platform::Variant());
    }
  });
}

void HeaderDTC::CriteriaGrid_DblClick(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "CriteriaGrid_DblClick"), [&] {
    if (context_.ui.Side(kind).CriteriaGrid.Col() == kValueColumn) {
      std::int16_t enter = kEnter;
      CriteriaGrid_KeyPress(kind, enter);
    } else if (Variation(kind).dblClickRepeatsClick) {
      CriteriaGrid_Click(kind);
    }
  });
}

void HeaderDTC::CriteriaGrid_EnterCell(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "CriteriaGrid_EnterCell"), [&] {
    MoveCriteriaAsterisk(kind, static_cast<std::int16_t>(context_.ui.Side(kind).CriteriaGrid.Row()));
  });
}

void HeaderDTC::CriteriaGrid_GotFocus(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "CriteriaGrid_GotFocus"), [&] {
    MoveCriteriaAsterisk(kind, static_cast<std::int16_t>(context_.ui.Side(kind).CriteriaGrid.Row()));
  });
}

void HeaderDTC::CriteriaGrid_Scroll(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "CriteriaGrid_Scroll"), [&] {
    ProviderControls& side = context_.ui.Side(kind);
    side.KeyFieldValueText.SetVisible(false);
    side.KeyFieldsCombo.SetVisible(false);
    side.OperatorsCombo.SetVisible(false);
  });
}

}  // namespace dtc
