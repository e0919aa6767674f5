// The link tabs: choosing the linked data provider (one for both kinds), removing the link, the
// returned fields of the linked provider, and the links grid with its From and To in-place combos.
//
// One LinkTab per kind; the kind's row of the kind table (dtc/ProviderKinds.h) says where the EAI tab
// behaves otherwise. Every handler and shared operation runs under the common trap, named as the tab's own
// procedure, except the DRAV linked-provider choice (the tab updates it runs trap their own failures).
// Nothing here raises a property-change notification: the controls are the configuration.
//
// Write-back row. Marking (MoveLinksAsterisk) keeps a marked row and an edit row, the row marked
// before the latest marking. Writing a combo's pick into the edit row lands it in the row the combo
// was opened in only when the host raises the events in one particular order; when the grid keeps
// the focus while the designer moves to another row and opens a combo there, the edit row is the
// row left behind, and the pick would overwrite that row. So LinksGridEdit remembers the row it
// opens each combo in (LinksMarks::fromOpenRow, toOpenRow) and the combo writes back
// there; the marked and edit rows still move the "*" marker and choose the row "Delete" removes.
#include "dtc/LinkTab.h"

#include <cstdint>
#include <limits>
#include <string>

#include "dtc/ErrorTrap.h"
#include "dtc/ProviderComponents.h"
#include "runtime/Error.h"

namespace dtc {
namespace {

using platform::ComboBox;
using platform::FlexGrid;
using platform::ListBox;

constexpr std::int16_t kEnter = 13;
constexpr std::int32_t kFromColumn = 1, kToColumn = 2;

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

LinkTab::LinkTab(ControlContext& control, ProviderKind kind)
    : control_(control), kind_(Variation(kind)), side_(control.ui.Side(kind)) {
  side_.LinkedDataProvidersCombo.Click.Connect([this] { LinkedDataProvidersCombo_Click(); });
  side_.DeleteLinkCommand.Click.Connect([this] { DeleteLinkCommand_Click(); });
  side_.AddLinkedField.Click.Connect([this] { AddLinkedField_Click(); });
  side_.LinkedFieldsList.DblClick.Connect([this] { LinkedFieldsList_DblClick(); });
  side_.RemoveLinkedField.Click.Connect([this] { RemoveLinkedField_Click(); });
  side_.MoveUpLinkedField.Click.Connect([this] { MoveUpLinkedField_Click(); });
  side_.MoveDownLinkedField.Click.Connect([this] { MoveDownLinkedField_Click(); });
  side_.AddLink.Click.Connect([this] { AddLink_Click(); });
  side_.RemoveLink.Click.Connect([this] { RemoveLink_Click(); });
  side_.LinksGrid.Click.Connect([this] { LinksGrid_Click(); });
  side_.LinksGrid.KeyPress.Connect([this](std::int16_t& key) { LinksGrid_KeyPress(key); });
  side_.LinksGrid.EnterCell.Connect([this] { LinksGrid_EnterCell(); });
  side_.LinksGrid.GotFocus.Connect([this] { LinksGrid_GotFocus(); });
  side_.FromLinkFieldsCombo.LostFocus.Connect([this] { FromLinkFieldsCombo_LostFocus(); });
  if (kind_.fromComboWritesOnClick)
    side_.FromLinkFieldsCombo.Click.Connect([this] { FromLinkFieldsCombo_Click(); });
  side_.ToLinkFieldsCombo.Click.Connect([this] { ToLinkFieldsCombo_Click(); });
  side_.ToLinkFieldsCombo.LostFocus.Connect([this] { ToLinkFieldsCombo_LostFocus(); });
  if (kind_.toComboWritesOnKeyPress) {
    side_.ToLinkFieldsCombo.KeyPress.Connect([this](std::int16_t& key) { ToLinkFieldsCombo_KeyPress(key); });
  }
}

void LinkTab::PairWith(LinkTab& twin) {
  twin_ = &twin;
  twin.twin_ = this;
}

// ---------------------------------------------------------------------------------------------------
// Start-up and the tab protocol

// The links grids take the criteria grids' minimum row height: their scroll bar, and the room
// column 2 leaves for it, come at the sixth row, as on the criteria grids.
void LinkTab::Start() {
  marks_ = LinksMarks{};
  platform::FlexGrid& grid = side_.LinksGrid;
  grid.SetRowHeightMin(323);
  const std::int32_t widths[kLinksColumns] = {200, 2315, 2315};
  for (std::int32_t c = 0; c < kLinksColumns; ++c) grid.SetColWidth(c, widths[c]);
  grid.SetTextMatrix(0, 1, "From");
  grid.SetTextMatrix(0, 2, "To");
}

// Nothing to save: the tab's controls are the configuration.
void LinkTab::SaveState() {
  RunTrapped(control_.Boxes(), "Save" + std::string(kind_.prefix) + "LinkState", [] {});
}

// No trap of its own: a failure reaches SSTab1_Click's.
void LinkTab::Prepare() {
  ComboBox& combo = side_.LinkedDataProvidersCombo;
  if (combo.Text() == control_.linkedProviderName) return;
  // Every equal item is selected in turn, so the last one stays selected; each selection runs the
  // combo's own click handling, which finds the provider already in effect.
  for (std::int32_t i = 0; i < combo.ListCount(); ++i) {
    if (combo.List(i) == control_.linkedProviderName) combo.SetListIndex(i);
  }
  Update();
}

void LinkTab::Update() {
  RunTrapped(control_.Boxes(), "Update" + std::string(kind_.prefix) + "LinkTab", [&] {
    const std::string& provider = control_.linkedProviderName;
    if (provider.empty()) return;
    side_.LinkedFieldsList.Clear();
    side_.SelectedLinkedFieldsList.Clear();
    side_.ToLinkFieldsCombo.Clear();
    platform::ComPtr<platform::IProviderMetadata> metadata = kind_.newMetadata(control_.services.components);
    kind_.addFieldItems(*metadata.Get(), provider, side_.LinkedFieldsList);
    AddKeyFields(*metadata.Get(), provider, side_.ToLinkFieldsCombo);
    ApplyLinkedFieldButtonRule();
  });
}

// Enables the add / remove buttons of the linked field lists by whether the lists hold items.
void LinkTab::ApplyLinkedFieldButtonRule() {
  side_.RemoveLinkedField.SetEnabled(side_.SelectedLinkedFieldsList.ListCount() > 0);
  side_.AddLinkedField.SetEnabled(side_.LinkedFieldsList.ListCount() > 0);
}

// ---------------------------------------------------------------------------------------------------
// The linked provider

// Choosing another provider refills both link tabs, the chosen tab first; rows already in the links
// grids stay. The twin's combo is brought to the same choice: the page stores the DRAV combo's
// text, so a provider chosen on the EAI tab alone would otherwise be saved as the one shown before.
void LinkTab::LinkedDataProvidersCombo_Click() {
  auto choose = [&] {
    const std::string chosen = side_.LinkedDataProvidersCombo.Text();
    if (chosen == control_.linkedProviderName) return;
    control_.linkedProviderName = chosen;
    twin_->ShowLinkedProvider();
    Update();
    twin_->Update();
  };
  if (!kind_.choiceWaitsForLinkRemoval) {
    choose();
  } else if (!control_.deletingLink) {
    RunTrapped(control_.Boxes(), kind_.Procedure("LinkedDataProvidersCombo_Click"), choose);
  }
}

// Selects the provider in effect in the tab's combo (the last equal item, as entering the tab
// does; its click finds the provider already in effect), or shows it as the combo's text when the
// combo does not offer it.
void LinkTab::ShowLinkedProvider() {
  ComboBox& combo = side_.LinkedDataProvidersCombo;
  if (combo.Text() == control_.linkedProviderName) return;
  std::int32_t found = -1;
  for (std::int32_t i = 0; i < combo.ListCount(); ++i) {
    if (combo.List(i) == control_.linkedProviderName) found = i;
  }
  if (found >= 0) {
    combo.SetListIndex(found);
  } else {
    combo.SetText(control_.linkedProviderName);
  }
}

// Resets both link tabs: the removal on one tab runs the other's first, with DeletingLink set so
// that the other does not call back. The flag ends False however the removal ends; a flag left set
// would make the EAI tab ignore every later choice of a linked provider.
void LinkTab::DeleteLinkCommand_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("DeleteLinkCommand_Click"), [&] {
    struct ClearFlag {
      bool& flag;
      ~ClearFlag() { flag = false; }
    } clearFlag{control_.deletingLink};
    if (!control_.deletingLink) {
      control_.deletingLink = true;
      twin_->DeleteLinkCommand_Click();
    }
    control_.linkedProviderName.clear();
    side_.LinkedFieldsList.Clear();
    side_.SelectedLinkedFieldsList.Clear();
    side_.LinksGrid.Clear();
    side_.LinksGrid.SetTextArray(control_.LinksCellIndex(0, kFromColumn), "From");
    side_.LinksGrid.SetTextArray(control_.LinksCellIndex(0, kToColumn), "To");
    side_.ToLinkFieldsCombo.Clear();
    // Its click finds the empty text equal to the now empty linked provider.
    side_.LinkedDataProvidersCombo.SetListIndex(-1);
  });
}

// ---------------------------------------------------------------------------------------------------
// Returned fields of the linked provider: available and selected lists

void LinkTab::AddLinkedField_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("AddLinkedField_Click"), [&] {
    ListBox& available = side_.LinkedFieldsList;
    if (available.SelCount() == 0) return;
    std::int32_t lastSelected = -1;
    for (std::int32_t i = 0; i < available.ListCount(); ++i) {
      if (!available.Selected(i)) continue;
      side_.SelectedLinkedFieldsList.AddItem(available.List(i));
      lastSelected = i;
    }
    for (std::int32_t i = available.ListCount() - 1; i >= 0; --i) {
      if (available.Selected(i)) available.RemoveItem(i);
    }
    if (available.ListCount() > 0) FocusItem(control_.ui.form, available, lastSelected);
    ApplyLinkedFieldButtonRule();
  });
}

void LinkTab::LinkedFieldsList_DblClick() {
  RunTrapped(control_.Boxes(), kind_.Procedure("LinkedFieldsList_DblClick"), [&] {
    ListBox& available = side_.LinkedFieldsList;
    const std::int32_t focused = available.ListIndex();
    if (focused >= 0) {
      side_.SelectedLinkedFieldsList.AddItem(available.List(focused));
      available.RemoveItem(focused);
      if (available.ListCount() > 0) FocusItem(control_.ui.form, available, focused);
    }
    ApplyLinkedFieldButtonRule();
  });
}

// Selected items go back to the end of the available list, last first.
void LinkTab::RemoveLinkedField_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("RemoveLinkedField_Click"), [&] {
    ListBox& selected = side_.SelectedLinkedFieldsList;
    if (selected.SelCount() == 0) return;
    std::int32_t lowestRemoved = -1;
    for (std::int32_t i = selected.ListCount() - 1; i >= 0; --i) {
      if (!selected.Selected(i)) continue;
      side_.LinkedFieldsList.AddItem(selected.List(i));
      selected.RemoveItem(i);
      lowestRemoved = i;
    }
    if (selected.ListCount() > 0) FocusItem(control_.ui.form, selected, lowestRemoved);
    ApplyLinkedFieldButtonRule();
  });
}

// The move buttons only move the focused index with the item; they neither select it nor move the
// focus.
void LinkTab::MoveUpLinkedField_Click() {
  const std::string procedure = kind_.Procedure(std::string(kind_.moveUpName) + "_Click");
  RunTrapped(control_.Boxes(), procedure, [&] { MoveFocusedItem(side_.SelectedLinkedFieldsList, -1); });
}

void LinkTab::MoveDownLinkedField_Click() {
  const std::string procedure = kind_.Procedure(std::string(kind_.moveDownName) + "_Click");
  RunTrapped(control_.Boxes(), procedure, [&] { MoveFocusedItem(side_.SelectedLinkedFieldsList, +1); });
}

// ---------------------------------------------------------------------------------------------------
// The links grid

// Marks the grid's current row with "*"; the row marked before becomes the edit row and loses its
// marker.
void LinkTab::MoveLinksAsterisk() {
  RunTrapped(control_.Boxes(), "MoveLinksAsterisk", [&] {
    FlexGrid& grid = side_.LinksGrid;
    marks_.editRow = marks_.markedRow;
    marks_.markedRow = Row16(grid.Row());
    if (marks_.editRow > 0 && marks_.editRow < grid.Rows()) grid.SetTextMatrix(marks_.editRow, 0, "");
    grid.SetTextMatrix(marks_.markedRow, 0, "*");
  });
}

// Opens the From (column 1) or To (column 2) combo over the current cell. Enter selects the item
// equal to the cell's text (the last equal one); other keys leave the combo's selection alone.
void LinkTab::LinksGridEdit(std::int16_t KeyAscii) {
  RunTrapped(control_.Boxes(), "LinksGridEdit", [&] {
    FlexGrid& grid = side_.LinksGrid;
    const std::int32_t column = grid.Col();
    ComboBox* combo = column == kFromColumn ? &side_.FromLinkFieldsCombo
                      : column == kToColumn ? &side_.ToLinkFieldsCombo
                                            : nullptr;
    if (combo == nullptr) return;
    // Set before the selection below, whose click may already write back.
    (column == kFromColumn ? marks_.fromOpenRow : marks_.toOpenRow) = grid.Row();
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
    control_.ui.form.SetFocus(*combo);
  });
}

void LinkTab::LinksGrid_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("LinksGrid_Click"), [&] { LinksGridEdit(kEnter); });
}

void LinkTab::LinksGrid_KeyPress(std::int16_t& KeyAscii) {
  RunTrapped(control_.Boxes(), kind_.Procedure("LinksGrid_KeyPress"), [&] { LinksGridEdit(KeyAscii); });
}

void LinkTab::LinksGrid_EnterCell() {
  RunTrapped(control_.Boxes(), kind_.Procedure("LinksGrid_EnterCell"), [&] { MoveLinksAsterisk(); });
}

void LinkTab::LinksGrid_GotFocus() {
  RunTrapped(control_.Boxes(), kind_.Procedure("LinksGrid_GotFocus"), [&] { MoveLinksAsterisk(); });
}

// The From combo writes only into a row the grid still has; the To combo does not check, so a row
// gone from the grid ends its write-back in the trap, with the combo still shown.
void LinkTab::WriteBackFromCombo() {
  if (kind_.fromComboWritesOnClick) MoveLinksAsterisk();
  const std::int32_t open = marks_.fromOpenRow;
  const std::int32_t row = open >= 0 ? open : side_.LinksGrid.Row();
  if (row <= side_.LinksGrid.Rows() - 1)
    side_.LinksGrid.SetTextMatrix(row, kFromColumn, side_.FromLinkFieldsCombo.Text());
  side_.FromLinkFieldsCombo.SetVisible(false);
}

void LinkTab::WriteBackToCombo() {
  MoveLinksAsterisk();
  const std::int32_t open = marks_.toOpenRow;
  const std::int32_t row = open >= 0 ? open : side_.LinksGrid.Row();
  side_.LinksGrid.SetTextMatrix(row, kToColumn, side_.ToLinkFieldsCombo.Text());
  side_.ToLinkFieldsCombo.SetVisible(false);
}

void LinkTab::FromLinkFieldsCombo_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("FromLinkFieldsCombo_Click"), [&] { WriteBackFromCombo(); });
}

void LinkTab::FromLinkFieldsCombo_LostFocus() {
  RunTrapped(control_.Boxes(), kind_.Procedure("FromLinkFieldsCombo_LostFocus"),
             [&] { WriteBackFromCombo(); });
}

void LinkTab::ToLinkFieldsCombo_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("ToLinkFieldsCombo_Click"), [&] { WriteBackToCombo(); });
}

void LinkTab::ToLinkFieldsCombo_LostFocus() {
  RunTrapped(control_.Boxes(), kind_.Procedure("ToLinkFieldsCombo_LostFocus"), [&] { WriteBackToCombo(); });
}

// Writes the text as it stands before the key changes it.
void LinkTab::ToLinkFieldsCombo_KeyPress(std::int16_t&) {
  RunTrapped(control_.Boxes(), kind_.Procedure("ToLinkFieldsCombo_KeyPress"), [&] { WriteBackToCombo(); });
}

// Appends a link row and makes it current (its EnterCell marks it). Column 2 narrows when the new
// row brings the scroll bar.
void LinkTab::AddLink_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("AddLink_Click"), [&] {
    FlexGrid& grid = side_.LinksGrid;
    const bool before = ScrollBarShown(grid);
    grid.SetRows(grid.Rows() + 1);
    grid.SetRow(grid.Rows() - 1);
    if (ScrollBarShown(grid) && !before) {
      grid.SetColWidth(kToColumn, grid.ColWidth(kToColumn) - kLinksScrollBarAllowance);
    }
    MoveLinksAsterisk();
  });
}

// Removes the marked row; the only link row is emptied instead (the headers are written again).
// Column 2 widens when the scroll bar goes.
void LinkTab::RemoveLink_Click() {
  RunTrapped(control_.Boxes(), kind_.Procedure("RemoveLink_Click"), [&] {
    FlexGrid& grid = side_.LinksGrid;
    const std::int32_t marked = marks_.markedRow;
    if (marked <= 0 || marked >= grid.Rows()) return;
    const bool before = ScrollBarShown(grid);
    if (grid.Rows() > grid.FixedRows() + 1) {
      grid.RemoveItem(marked);
    } else {
      grid.Clear();
      grid.SetTextArray(control_.LinksCellIndex(0, kFromColumn), "From");
      grid.SetTextArray(control_.LinksCellIndex(0, kToColumn), "To");
    }
    if (before && !ScrollBarShown(grid)) {
      grid.SetColWidth(kToColumn, grid.ColWidth(kToColumn) + kLinksScrollBarAllowance);
    }
    MoveLinksAsterisk();
  });
}

}  // namespace dtc
