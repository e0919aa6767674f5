// The link tabs: choosing the linked data provider (one for both kinds), removing the link, the
// returned fields of the linked provider, and the links grid with its From and To in-place combos.
//
// Both tabs run this code; `kind` picks the controls and the grid's editing state, and the kind's
// row of the kind table (dtc/ProviderKinds.h) the few places where the EAI tab behaves otherwise.
// Every handler and shared operation runs under the common trap, named as the tab's own procedure,
// except the DRAV linked-provider choice (the tab updates it runs trap their own failures). Nothing here
// raises a property-change notification: the controls are the configuration.
//
// Write-back row. Marking (MoveLinksAsterisk) keeps a marked row and an edit row, the row marked
// before the latest marking. Writing a combo's pick into the edit row lands it in the row the combo
// was opened in only when the host raises the events in one particular order; when the grid keeps
// the focus while the designer moves to another row and opens a combo there, the edit row is the
// row left behind, and the pick would overwrite that row. So LinksGridEdit remembers the row it
// opens each combo in (GridEditorState::linksFromOpenRow, linksToOpenRow) and the combo writes back
// there; the marked and edit rows still move the "*" marker and choose the row "Delete" removes.
#include "dtc/LinkTabs.h"

#include <cstdint>
#include <limits>
#include <string>

#include "dtc/ErrorTrap.h"
#include "dtc/HeaderDTC.h"
#include "platform/Error.h"

namespace dtc {
namespace {

using platform::ComboBox;
using platform::FlexGrid;
using platform::ListBox;

constexpr std::int16_t kEnter = 13;
constexpr std::int32_t kFromColumn = 1, kToColumn = 2;

// The procedure name the trap shows: the tab's prefix and the handler's own name.
std::string Procedure(ProviderKind kind, std::string_view name) {
  return Variation(kind).Procedure(name);
}

// The other link tab's kind: EAI for DRAV, DRAV for EAI.
ProviderKind OtherLinkTab(ProviderKind kind) {
  return Variation(kind).twin;
}

// A row kept in a 16-bit member; a larger one is the platform's Overflow.
std::int16_t Row16(std::int32_t row) {
  if (row < std::numeric_limits<std::int16_t>::min() || row > std::numeric_limits<std::int16_t>::max())
    platform::Raise(platform::err::Overflow);
  return static_cast<std::int16_t>(row);
}

// Focuses and selects item `index`, or the last item when `index` is past the end, and gives the
// list the focus.
void FocusItem(platform::Form& form, ListBox& list, std::int32_t index) {
  const std::int32_t item = index < list.ListCount() ? index : list.ListCount() - 1;
  list.SetListIndex(item);
  list.SetSelected(item, true);
  form.SetFocus(list);
}

// Moves the focused item one place up (step -1) or down (+1): a copy is inserted beyond its
// neighbour, the item removed, and the focused index follows it. Nothing happens without a focused
// item or at the end it moves towards.
void MoveFocusedItem(ListBox& list, std::int32_t step) {
  const std::int32_t i = list.ListIndex();
  const std::int32_t target = i + step;
  if (i < 0 || target < 0 || target >= list.ListCount()) return;
  list.AddItem(list.List(i), step < 0 ? target : i + 2);
  list.RemoveItem(step < 0 ? i + 1 : i);
  list.SetListIndex(target);
}

}  // namespace

void HeaderDTC::ConnectLinkTabEvents() {
  for (ProviderKind kind : kProviderKinds) {
    ProviderControls& side = context_.ui.Side(kind);
    const KindVariation& variation = Variation(kind);
    side.LinkedDataProvidersCombo.Click.Connect([this, kind] { LinkedDataProvidersCombo_Click(kind); });
    side.DeleteLinkCommand.Click.Connect([this, kind] { DeleteLinkCommand_Click(kind); });
    side.AddLinkedField.Click.Connect([this, kind] { AddLinkedField_Click(kind); });
    side.LinkedFieldsList.DblClick.Connect([this, kind] { LinkedFieldsList_DblClick(kind); });
    side.RemoveLinkedField.Click.Connect([this, kind] { RemoveLinkedField_Click(kind); });
    side.MoveUpLinkedField.Click.Connect([this, kind] { MoveUpLinkedField_Click(kind); });
    side.MoveDownLinkedField.Click.Connect([this, kind] { MoveDownLinkedField_Click(kind); });
    side.AddLink.Click.Connect([this, kind] { AddLink_Click(kind); });
    side.RemoveLink.Click.Connect([this, kind] { RemoveLink_Click(kind); });
    side.LinksGrid.Click.Connect([this, kind] { LinksGrid_Click(kind); });
    side.LinksGrid.KeyPress.Connect([this, kind](std::int16_t& key) { LinksGrid_KeyPress(kind, key); });
    side.LinksGrid.EnterCell.Connect([this, kind] { LinksGrid_EnterCell(kind); });
    side.LinksGrid.GotFocus.Connect([this, kind] { LinksGrid_GotFocus(kind); });
    side.FromLinkFieldsCombo.LostFocus.Connect([this, kind] { FromLinkFieldsCombo_LostFocus(kind); });
    if (variation.fromComboWritesOnClick) {
      side.FromLinkFieldsCombo.Click.Connect([this, kind] { FromLinkFieldsCombo_Click(kind); });
    }
    side.ToLinkFieldsCombo.Click.Connect([this, kind] { ToLinkFieldsCombo_Click(kind); });
    side.ToLinkFieldsCombo.LostFocus.Connect([this, kind] { ToLinkFieldsCombo_LostFocus(kind); });
    if (variation.toComboWritesOnKeyPress) {
      side.ToLinkFieldsCombo.KeyPress.Connect(
          [this, kind](std::int16_t& key) { ToLinkFieldsCombo_KeyPress(kind, key); });
    }
  }
}

// ---------------------------------------------------------------------------------------------------
// The linked provider

// Choosing another provider refills both link tabs, the chosen tab first; rows already in the links
// grids stay. The twin's combo is brought to the same choice: the page stores the DRAV combo's
// text, so a provider chosen on the EAI tab alone would otherwise be saved as the one shown before.
void HeaderDTC::LinkedDataProvidersCombo_Click(ProviderKind kind) {
  auto choose = [&] {
    const std::string chosen = context_.ui.Side(kind).LinkedDataProvidersCombo.Text();
    if (chosen == context_.linkedProviderName) return;
    context_.linkedProviderName = chosen;
    ShowLinkedProvider(OtherLinkTab(kind));
    UpdateLinkTab(kind);
    UpdateLinkTab(OtherLinkTab(kind));
  };
  if (!Variation(kind).choiceWaitsForLinkRemoval) {
    choose();
  } else if (!context_.deletingLink) {
    RunTrapped(MessageBoxes(), Procedure(kind, "LinkedDataProvidersCombo_Click"), choose);
  }
}

// Selects the provider in effect in the combo of `kind` (the last equal item, as entering the tab
// does; its click finds the provider already in effect), or shows it as the combo's text when the
// combo does not offer it.
void HeaderDTC::ShowLinkedProvider(ProviderKind kind) {
  ComboBox& combo = context_.ui.Side(kind).LinkedDataProvidersCombo;
  if (combo.Text() == context_.linkedProviderName) return;
  std::int32_t found = -1;
  for (std::int32_t i = 0; i < combo.ListCount(); ++i) {
    if (combo.List(i) == context_.linkedProviderName) found = i;
  }
  if (found >= 0) {
    combo.SetListIndex(found);
  } else {
    combo.SetText(context_.linkedProviderName);
  }
}

// Resets both link tabs: the removal on one tab runs the other's first, with DeletingLink set so
// that the other does not call back. The flag ends False however the removal ends; a flag left set
// would make the EAI tab ignore every later choice of a linked provider.
void HeaderDTC::DeleteLinkCommand_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "DeleteLinkCommand_Click"), [&] {
    struct ClearFlag {
      bool& flag;
      ~ClearFlag() { flag = false; }
    } clearFlag{context_.deletingLink};
    if (!context_.deletingLink) {
      context_.deletingLink = true;
      DeleteLinkCommand_Click(OtherLinkTab(kind));
    }
    context_.linkedProviderName.clear();
    ProviderControls& side = context_.ui.Side(kind);
    side.LinkedFieldsList.Clear();
    side.SelectedLinkedFieldsList.Clear();
    side.LinksGrid.Clear();
    side.LinksGrid.SetTextArray(LinksCellIndex(0, kFromColumn), "From");
    side.LinksGrid.SetTextArray(LinksCellIndex(0, kToColumn), "To");
    side.ToLinkFieldsCombo.Clear();
    // Its click finds the empty text equal to the now empty linked provider.
    side.LinkedDataProvidersCombo.SetListIndex(-1);
  });
}

// ---------------------------------------------------------------------------------------------------
// Returned fields of the linked provider: available and selected lists

void HeaderDTC::AddLinkedField_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "AddLinkedField_Click"), [&] {
    ProviderControls& side = context_.ui.Side(kind);
    ListBox& available = side.LinkedFieldsList;
    if (available.SelCount() == 0) return;
    std::int32_t lastSelected = -1;
    for (std::int32_t i = 0; i < available.ListCount(); ++i) {
      if (!available.Selected(i)) continue;
      side.SelectedLinkedFieldsList.AddItem(available.List(i));
      lastSelected = i;
    }
    for (std::int32_t i = available.ListCount() - 1; i >= 0; --i) {
      if (available.Selected(i)) available.RemoveItem(i);
    }
    if (available.ListCount() > 0) FocusItem(context_.ui.form, available, lastSelected);
    ApplyLinkedFieldButtonRule(kind);
  });
}

void HeaderDTC::LinkedFieldsList_DblClick(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "LinkedFieldsList_DblClick"), [&] {
    ProviderControls& side = context_.ui.Side(kind);
    ListBox& available = side.LinkedFieldsList;
    const std::int32_t focused = available.ListIndex();
    if (focused >= 0) {
      side.SelectedLinkedFieldsList.AddItem(available.List(focused));
      available.RemoveItem(focused);
      if (available.ListCount() > 0) FocusItem(context_.ui.form, available, focused);
    }
    ApplyLinkedFieldButtonRule(kind);
  });
}

// Selected items go back to the end of the available list, last first.
void HeaderDTC::RemoveLinkedField_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "RemoveLinkedField_Click"), [&] {
    ProviderControls& side = context_.ui.Side(kind);
    ListBox& selected = side.SelectedLinkedFieldsList;
    if (selected.SelCount() == 0) return;
    std::int32_t lowestRemoved = -1;
    for (std::int32_t i = selected.ListCount() - 1; i >= 0; --i) {
      if (!selected.Selected(i)) continue;
      side.LinkedFieldsList.AddItem(selected.List(i));
      selected.RemoveItem(i);
      lowestRemoved = i;
    }
    if (selected.ListCount() > 0) FocusItem(context_.ui.form, selected, lowestRemoved);
    ApplyLinkedFieldButtonRule(kind);
  });
}

// The move buttons only move the focused index with the item; they neither select it nor move the
// focus.
void HeaderDTC::MoveUpLinkedField_Click(ProviderKind kind) {
  const std::string procedure = Procedure(kind, std::string(Variation(kind).moveUpName) + "_Click");
  RunTrapped(MessageBoxes(), procedure,
             [&] { MoveFocusedItem(context_.ui.Side(kind).SelectedLinkedFieldsList, -1); });
}

void HeaderDTC::MoveDownLinkedField_Click(ProviderKind kind) {
  const std::string procedure = Procedure(kind, std::string(Variation(kind).moveDownName) + "_Click");
  RunTrapped(MessageBoxes(), procedure,
             [&] { MoveFocusedItem(context_.ui.Side(kind).SelectedLinkedFieldsList, +1); });
}

// ---------------------------------------------------------------------------------------------------
// The links grid

// Marks the grid's current row with "*"; the row marked before becomes the edit row and loses its
// marker.
void HeaderDTC::MoveLinksAsterisk(ProviderKind kind) {
  RunTrapped(MessageBoxes(), "MoveLinksAsterisk", [&] {
    FlexGrid& grid = context_.ui.Side(kind).LinksGrid;
    GridEditorState state = GridEditors(kind);
    state.linksEditRow = state.linksMarkedRow;
    state.linksMarkedRow = Row16(grid.Row());
    if (state.linksEditRow > 0 && state.linksEditRow < grid.Rows())
      grid.SetTextMatrix(state.linksEditRow, 0, "");
    grid.SetTextMatrix(state.linksMarkedRow, 0, "*");
  });
}

// Opens the From (column 1) or To (column 2) combo over the current cell. Enter selects the item
// equal to the cell's text (the last equal one); other keys leave the combo's selection alone.
void HeaderDTC::LinksGridEdit(ProviderKind kind, std::int16_t KeyAscii) {
  RunTrapped(MessageBoxes(), "LinksGridEdit", [&] {
    ProviderControls& side = context_.ui.Side(kind);
    FlexGrid& grid = side.LinksGrid;
    const std::int32_t column = grid.Col();
    ComboBox* combo = column == kFromColumn ? &side.FromLinkFieldsCombo
                      : column == kToColumn ? &side.ToLinkFieldsCombo
                                            : nullptr;
    if (combo == nullptr) return;
    // Set before the selection below, whose click may already write back.
    (column == kFromColumn ? GridEditors(kind).linksFromOpenRow : GridEditors(kind).linksToOpenRow) =
        grid.Row();
    if (KeyAscii == kEnter) {
      const std::string cell = grid.Text();
      for (std::int32_t i = 0; i < combo->ListCount(); ++i) {
        if (combo->List(i) == cell) combo->SetListIndex(i);
      }
    }
    combo->SetWidth(grid.ColWidth(column));
    combo->SetLeft(grid.Left() + grid.CellLeft());
    combo->SetTop(grid.Top() + grid.CellTop());
    combo->SetVisible(true);
    context_.ui.form.SetFocus(*combo);
  });
}

void HeaderDTC::LinksGrid_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "LinksGrid_Click"), [&] { LinksGridEdit(kind, kEnter); });
}

void HeaderDTC::LinksGrid_KeyPress(ProviderKind kind, std::int16_t& KeyAscii) {
  RunTrapped(MessageBoxes(), Procedure(kind, "LinksGrid_KeyPress"), [&] { LinksGridEdit(kind, KeyAscii); });
}

void HeaderDTC::LinksGrid_EnterCell(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "LinksGrid_EnterCell"), [&] { MoveLinksAsterisk(kind); });
}

void HeaderDTC::LinksGrid_GotFocus(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "LinksGrid_GotFocus"), [&] { MoveLinksAsterisk(kind); });
}

// The From combo writes only into a row the grid still has; the To combo does not check, so a row
// gone from the grid ends its write-back in the trap, with the combo still shown.
void HeaderDTC::WriteBackFromCombo(ProviderKind kind) {
  ProviderControls& side = context_.ui.Side(kind);
  if (Variation(kind).fromComboWritesOnClick) MoveLinksAsterisk(kind);
  const std::int32_t open = GridEditors(kind).linksFromOpenRow;
  const std::int32_t row = open >= 0 ? open : side.LinksGrid.Row();
  if (row <= side.LinksGrid.Rows() - 1)
    side.LinksGrid.SetTextMatrix(row, kFromColumn, side.FromLinkFieldsCombo.Text());
  side.FromLinkFieldsCombo.SetVisible(false);
}

void HeaderDTC::WriteBackToCombo(ProviderKind kind) {
  ProviderControls& side = context_.ui.Side(kind);
  MoveLinksAsterisk(kind);
  const std::int32_t open = GridEditors(kind).linksToOpenRow;
  const std::int32_t row = open >= 0 ? open : side.LinksGrid.Row();
  side.LinksGrid.SetTextMatrix(row, kToColumn, side.ToLinkFieldsCombo.Text());
  side.ToLinkFieldsCombo.SetVisible(false);
}

void HeaderDTC::FromLinkFieldsCombo_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "FromLinkFieldsCombo_Click"), [&] { WriteBackFromCombo(kind); });
}

void HeaderDTC::FromLinkFieldsCombo_LostFocus(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "FromLinkFieldsCombo_LostFocus"),
             [&] { WriteBackFromCombo(kind); });
}

void HeaderDTC::ToLinkFieldsCombo_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "ToLinkFieldsCombo_Click"), [&] { WriteBackToCombo(kind); });
}

void HeaderDTC::ToLinkFieldsCombo_LostFocus(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "ToLinkFieldsCombo_LostFocus"), [&] { WriteBackToCombo(kind); });
}

// Writes the text as it stands before the key changes it.
void HeaderDTC::ToLinkFieldsCombo_KeyPress(ProviderKind kind, std::int16_t&) {
  RunTrapped(MessageBoxes(), Procedure(kind, "ToLinkFieldsCombo_KeyPress"), [&] { WriteBackToCombo(kind); });
}

// Appends a link row and makes it current (its EnterCell marks it). Column 2 narrows when the new
// row brings the scroll bar.
void HeaderDTC::AddLink_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "AddLink_Click"), [&] {
    FlexGrid& grid = context_.ui.Side(kind).LinksGrid;
    const bool before = ScrollBarShown(grid);
    grid.SetRows(grid.Rows() + 1);
    grid.SetRow(grid.Rows() - 1);
    if (ScrollBarShown(grid) && !before) {
      grid.SetColWidth(kToColumn, grid.ColWidth(kToColumn) - kLinksScrollBarAllowance);
    }
    MoveLinksAsterisk(kind);
  });
}

// Removes the marked row; the only link row is emptied instead (the headers are written again).
// Column 2 widens when the scroll bar goes.
void HeaderDTC::RemoveLink_Click(ProviderKind kind) {
  RunTrapped(MessageBoxes(), Procedure(kind, "RemoveLink_Click"), [&] {
    FlexGrid& grid = context_.ui.Side(kind).LinksGrid;
    const std::int32_t marked = GridEditors(kind).linksMarkedRow;
    if (marked <= 0 || marked >= grid.Rows()) return;
    const bool before = ScrollBarShown(grid);
    if (grid.Rows() > grid.FixedRows() + 1) {
      grid.RemoveItem(marked);
    } else {
      grid.Clear();
      grid.SetTextArray(LinksCellIndex(0, kFromColumn), "From");
      grid.SetTextArray(LinksCellIndex(0, kToColumn), "To");
    }
    if (before && !ScrollBarShown(grid)) {
      grid.SetColWidth(kToColumn, grid.ColWidth(kToColumn) + kLinksScrollBarAllowance);
    }
    MoveLinksAsterisk(kind);
  });
}

}  // namespace dtc
