// The headless form controls: state bookkeeping and the events the platform raises for it.
//
// Every mutator validates first, then changes the state completely, and raises its event last, so a
// handler always sees a consistent control and may change the same control again (clear the list,
// select another item, move the focus) without leaving the caller with stale indexes or iterators.

#include "runtime/Forms.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>

#include "runtime/Error.h"

namespace platform {

namespace {

bool Within(std::int32_t value, std::int32_t low, std::int32_t high) noexcept {
  return value >= low && value <= high;
}

// Raises `number` unless `low` <= `value` <= `high`.
void Check(std::int32_t value, std::int32_t low, std::int32_t high, std::int32_t number) {
  if (!Within(value, low, high)) Raise(number);
}

std::size_t At(std::int32_t index) noexcept {
  return static_cast<std::size_t>(index);
}

template <class T>
auto Position(std::vector<T>& items, std::int32_t index) {
  return items.begin() + static_cast<std::ptrdiff_t>(index);
}

// A grid of `rows` x `cols` cells must be addressable by a 32-bit linear index.
void CheckGridSize(std::int64_t rows, std::int64_t cols) {
  if (rows * cols > std::numeric_limits<std::int32_t>::max()) Raise(err::InvalidPropertyValue);
}

// Copies the cells of a row-major grid into one of another size; cells outside it are dropped and
// new cells are empty.
std::vector<std::string> Reshape(std::vector<std::string>& cells, std::int32_t oldRows, std::int32_t oldCols,
                                 std::int32_t rows, std::int32_t cols) {
  std::vector<std::string> reshaped(At(rows) * At(cols));
  const std::int32_t keepRows = std::min(oldRows, rows), keepCols = std::min(oldCols, cols);
  for (std::int32_t r = 0; r < keepRows; ++r) {
    for (std::int32_t c = 0; c < keepCols; ++c) {
      reshaped[At(r) * At(cols) + At(c)] = std::move(cells[At(r) * At(oldCols) + At(c)]);
    }
  }
  return reshaped;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Control

Control::Control(Form& form, std::string name) : form_(form), name_(std::move(name)) {}

Control::~Control() = default;

bool Control::Visible() const noexcept {
  if (!visible_) return false;
  return tabs_ == nullptr || (tabs_->Tab() == containerTab_ && tabs_->Visible());
}

void Control::PlaceOnTab(TabControl& tabs, std::int32_t tab) {
  if (&tabs.Parent() != &form_ || &tabs == this) Raise(err::InvalidPropertyValue);
  Check(tab, 0, tabs.Tabs() - 1, err::InvalidPropertyValue);
  tabs_ = &tabs;
  containerTab_ = tab;
}

void Control::Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
}

// ---------------------------------------------------------------------------------------------------
// ItemList

const std::string& ItemList::List(std::int32_t index) const {
  Check(index, 0, ListCount() - 1, err::InvalidPropertyArrayIndex);
  return items_[At(index)];
}

void ItemList::SetList(std::int32_t index, std::string text) {
  Check(index, 0, ListCount(), err::InvalidPropertyArrayIndex);
  if (index == ListCount()) {
    items_.push_back(std::move(text));
    ItemInserted(index);
  } else {
    items_[At(index)] = std::move(text);
  }
}

void ItemList::AddItem(std::string text, std::int32_t index) {
  Check(index, -1, ListCount(), err::InvalidProcedureCall);
  if (index == -1) index = ListCount();
  items_.insert(Position(items_, index), std::move(text));
  ItemInserted(index);
}

void ItemList::RemoveItem(std::int32_t index) {
  Check(index, 0, ListCount() - 1, err::InvalidProcedureCall);
  items_.erase(Position(items_, index));
  ItemRemoved(index);
}

void ItemList::Clear() {
  items_.clear();
  ItemsCleared();
}

// ---------------------------------------------------------------------------------------------------
// ListBox

ListBox::ListBox(Form& form, std::string name, MultiSelect multiSelect)
    : Control(form, std::move(name)), multiSelect_(multiSelect) {}

void ListBox::SetListIndex(std::int32_t index) {
  Check(index, -1, ListCount() - 1, err::InvalidPropertyValue);
  if (index == listIndex_) return;
  listIndex_ = index;
  Click.Raise();
}

bool ListBox::Selected(std::int32_t index) const {
  Check(index, 0, ListCount() - 1, err::InvalidPropertyArrayIndex);
  if (multiSelect_ == MultiSelect::None) return index == listIndex_;
  return selected_[At(index)];
}

void ListBox::SetSelected(std::int32_t index, bool selected) {
  Check(index, 0, ListCount() - 1, err::InvalidPropertyArrayIndex);
  if (multiSelect_ == MultiSelect::None) {
    // The one selected item is the focused one: selecting moves it, deselecting it leaves none.
    if (selected) {
      SetListIndex(index);
    } else if (index == listIndex_) {
      SetListIndex(-1);
    }
    return;
  }
  if (selected_[At(index)] == selected) return;
  selected_[At(index)] = selected;
  Click.Raise();
}

void ListBox::ClickItem(std::int32_t index, bool selected) {
  Check(index, 0, ListCount() - 1, err::InvalidPropertyArrayIndex);
  if (multiSelect_ == MultiSelect::None) {
    const std::int32_t target = selected ? index : index == listIndex_ ? -1 : listIndex_;
    if (target == listIndex_) return;
    listIndex_ = target;
  } else {
    if (listIndex_ == index && selected_[At(index)] == selected) return;
    listIndex_ = index;
    selected_[At(index)] = selected;
  }
  Click.Raise();
}

std::int32_t ListBox::SelCount() const {
  if (multiSelect_ == MultiSelect::None) return listIndex_ >= 0 ? 1 : 0;
  return static_cast<std::int32_t>(std::count(selected_.begin(), selected_.end(), true));
}

std::string ListBox::Text() const {
  return listIndex_ >= 0 ? Items()[At(listIndex_)] : std::string();
}

void ListBox::ItemInserted(std::int32_t index) {
  if (multiSelect_ != MultiSelect::None) selected_.insert(Position(selected_, index), false);
  if (listIndex_ >= index) ++listIndex_;
}

void ListBox::ItemRemoved(std::int32_t index) {
  if (multiSelect_ != MultiSelect::None) selected_.erase(Position(selected_, index));
  if (index < listIndex_) {
    --listIndex_;
  } else if (index == listIndex_) {
    listIndex_ = -1;
  }
}

void ListBox::ItemsCleared() {
  selected_.clear();
  listIndex_ = -1;
}

// ---------------------------------------------------------------------------------------------------
// ComboBox

ComboBox::ComboBox(Form& form, std::string name, Style style)
    : Control(form, std::move(name)), style_(style) {}

void ComboBox::SetListIndex(std::int32_t index) {
  Check(index, -1, ListCount() - 1, err::InvalidPropertyValue);
  listIndex_ = index;
  text_ = index >= 0 ? Items()[At(index)] : std::string();
  Click.Raise();
}

void ComboBox::SetText(std::string text) {
  const auto& items = Items();
  const auto found = std::find(items.begin(), items.end(), text);
  const std::int32_t index = found == items.end() ? -1 : static_cast<std::int32_t>(found - items.begin());
  if (style_ == Style::DropdownList) {
    // The text of a drop-down list is always its selected item's: assigning it selects the item.
    if (index < 0) Raise(err::InvalidPropertyValue);
    SetListIndex(index);
    return;
  }
  listIndex_ = index;
  if (text == text_) return;
  text_ = std::move(text);
  Change.Raise();
}

void ComboBox::ItemInserted(std::int32_t index) {
  if (listIndex_ >= index) ++listIndex_;
}

void ComboBox::ItemRemoved(std::int32_t index) {
  if (index < listIndex_) {
    --listIndex_;
  } else if (index == listIndex_) {
    listIndex_ = -1;
    // A typed text outlives its item; a drop-down list shows only items, so it shows nothing.
    if (style_ == Style::DropdownList) text_.clear();
  }
}

void ComboBox::ItemsCleared() {
  listIndex_ = -1;
  text_.clear();
}

// ---------------------------------------------------------------------------------------------------
// TextBox, CheckBox, CommandButton

TextBox::TextBox(Form& form, std::string name) : Control(form, std::move(name)) {}

void TextBox::SetText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  Change.Raise();
}

CheckBox::CheckBox(Form& form, std::string name, std::string caption)
    : Control(form, std::move(name)), caption_(std::move(caption)) {}

void CheckBox::SetValue(std::int16_t value) {
  if (!Within(value, Unchecked, Grayed)) Raise(err::InvalidPropertyValue);
  if (value == value_) return;
  value_ = value;
  Click.Raise();
}

CommandButton::CommandButton(Form& form, std::string name, std::string caption)
    : Control(form, std::move(name)), caption_(std::move(caption)) {}

// ---------------------------------------------------------------------------------------------------
// FlexGrid

FlexGrid::FlexGrid(Form& form, std::string name, std::int32_t rows, std::int32_t cols, std::int32_t fixedRows,
                   std::int32_t fixedCols)
    : Control(form, std::move(name)),
      rows_(rows),
      cols_(cols),
      fixedRows_(fixedRows),
      fixedCols_(fixedCols),
      row_(fixedRows),
      col_(fixedCols),
      topRow_(fixedRows) {
  if (fixedRows < 0 || fixedCols < 0 || rows <= fixedRows || cols <= fixedCols)
    Raise(err::InvalidPropertyValue);
  CheckGridSize(rows, cols);
  cells_.resize(At(rows) * At(cols));
  colWidths_.assign(At(cols), -1);
}

void FlexGrid::SetRows(std::int32_t rows) {
  if (rows <= fixedRows_) Raise(err::InvalidPropertyValue);
  CheckGridSize(rows, cols_);
  cells_ = Reshape(cells_, rows_, cols_, rows, cols_);
  rows_ = rows;
  row_ = std::min(row_, rows_ - 1);
  topRow_ = std::min(topRow_, rows_ - 1);
}

void FlexGrid::SetCols(std::int32_t cols) {
  if (cols <= fixedCols_) Raise(err::InvalidPropertyValue);
  CheckGridSize(rows_, cols);
  cells_ = Reshape(cells_, rows_, cols_, rows_, cols);
  cols_ = cols;
  colWidths_.resize(At(cols), -1);
  col_ = std::min(col_, cols_ - 1);
}

std::int32_t FlexGrid::CellIndex(std::int32_t row, std::int32_t col) const {
  Check(row, 0, rows_ - 1, err::InvalidPropertyArrayIndex);
  Check(col, 0, cols_ - 1, err::InvalidPropertyArrayIndex);
  return row * cols_ + col;
}

const std::string& FlexGrid::TextMatrix(std::int32_t row, std::int32_t col) const {
  return cells_[At(CellIndex(row, col))];
}

void FlexGrid::SetTextMatrix(std::int32_t row, std::int32_t col, std::string text) {
  cells_[At(CellIndex(row, col))] = std::move(text);
}

const std::string& FlexGrid::TextArray(std::int32_t index) const {
  Check(index, 0, static_cast<std::int32_t>(cells_.size()) - 1, err::InvalidPropertyArrayIndex);
  return cells_[At(index)];
}

void FlexGrid::SetTextArray(std::int32_t index, std::string text) {
  Check(index, 0, static_cast<std::int32_t>(cells_.size()) - 1, err::InvalidPropertyArrayIndex);
  cells_[At(index)] = std::move(text);
}

void FlexGrid::SetRow(std::int32_t row) {
  Check(row, 0, rows_ - 1, err::InvalidRowValue);
  if (row == row_) return;
  row_ = row;
  EnterCell.Raise();
}

void FlexGrid::SetCol(std::int32_t col) {
  Check(col, 0, cols_ - 1, err::InvalidColValue);
  if (col == col_) return;
  col_ = col;
  EnterCell.Raise();
}

void FlexGrid::AddItem(std::string_view text, std::int32_t index) {
  Check(index, -1, rows_, err::InvalidProcedureCall);
  CheckGridSize(std::int64_t{rows_} + 1, cols_);
  if (index == -1) index = rows_;
  std::vector<std::string> row(At(cols_));
  // One piece per cell from the first column on; pieces beyond the last column are dropped.
  std::size_t start = 0;
  for (std::size_t c = 0; c < row.size(); ++c) {
    const std::size_t tab = text.find('\t', start);
    row[c] = text.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  cells_.insert(Position(cells_, index * cols_), std::make_move_iterator(row.begin()),
                std::make_move_iterator(row.end()));
  ++rows_;
}

void FlexGrid::RemoveItem(std::int32_t row) {
  Check(row, fixedRows_, rows_ - 1, err::InvalidRowValue);
  if (rows_ - fixedRows_ == 1) Raise(err::CannotRemoveLastNonFixedRow);
  const auto first = Position(cells_, row * cols_);
  cells_.erase(first, first + cols_);
  --rows_;
  row_ = std::min(row_, rows_ - 1);
  topRow_ = std::min(topRow_, rows_ - 1);
}

void FlexGrid::Clear() {
  for (auto& cell : cells_) cell.clear();
}

std::int32_t FlexGrid::ColWidth(std::int32_t col) const {
  Check(col, 0, cols_ - 1, err::InvalidPropertyArrayIndex);
  return colWidths_[At(col)];
}

void FlexGrid::SetColWidth(std::int32_t col, std::int32_t twips) {
  // Column -1 sets every column; a width of -1 gives the column back its automatic width.
  Check(col, -1, cols_ - 1, err::InvalidPropertyArrayIndex);
  if (twips < -1) Raise(err::InvalidPropertyValue);
  if (col == -1) {
    std::fill(colWidths_.begin(), colWidths_.end(), twips);
  } else {
    colWidths_[At(col)] = twips;
  }
}

// ---------------------------------------------------------------------------------------------------
// TabControl

TabControl::TabControl(Form& form, std::string name, std::int32_t tabs) : Control(form, std::move(name)) {
  if (tabs < 1) Raise(err::InvalidPropertyValue);
  captions_.resize(At(tabs));
}

const std::string& TabControl::TabCaption(std::int32_t tab) const {
  Check(tab, 0, Tabs() - 1, err::InvalidPropertyValue);
  return captions_[At(tab)];
}

void TabControl::SetTabCaption(std::int32_t tab, std::string caption) {
  Check(tab, 0, Tabs() - 1, err::InvalidPropertyValue);
  captions_[At(tab)] = std::move(caption);
}

void TabControl::SetTab(std::int32_t tab) {
  Check(tab, 0, Tabs() - 1, err::InvalidPropertyValue);
  if (tab == tab_) return;
  const auto previous = static_cast<std::int16_t>(tab_);
  tab_ = tab;
  Click.Raise(previous);
}

void TabControl::ClickTab(std::int32_t tab) {
  Check(tab, 0, Tabs() - 1, err::InvalidPropertyValue);
  // Pressing on the tab takes the focus first, so the control being edited loses it (and writes
  // back what it holds) before the tab changes.
  if (Visible() && Enabled()) Parent().SetFocus(*this);
  const auto previous = static_cast<std::int16_t>(tab_);
  tab_ = tab;
  Click.Raise(previous);
}

// ---------------------------------------------------------------------------------------------------
// Form

Form::Form(std::string name) : name_(std::move(name)) {}

Form::~Form() {
  // Controls go without events: nothing loses the focus while the form is destroyed.
  active_ = nullptr;
  gettingFocus_ = nullptr;
  controls_.clear();
}

void Form::Adopt(std::unique_ptr<Control> control) {
  if (Find(control->Name())) {
    Raise(err::InvalidProcedureCall,
          "A control named '" + control->Name() + "' already exists on form '" + name_ + "'");
  }
  controls_.push_back(std::move(control));
}

Control* Form::Find(std::string_view name) const {
  const auto found = std::find_if(controls_.begin(), controls_.end(),
                                  [name](const std::unique_ptr<Control>& c) { return c->Name() == name; });
  return found == controls_.end() ? nullptr : found->get();
}

void Form::SetFocus(Control& control) {
  // Only a visible, enabled control of this form can take the focus.
  if (&control.Parent() != this || !control.Visible() || !control.Enabled()) {
    Raise(err::InvalidProcedureCall,
          "Control '" + control.Name() + "' of form '" + name_ + "' cannot take the focus");
  }
  if (active_ == &control) return;
  // A control whose GotFocus is still to come (a LostFocus handler moved the focus on) never had
  // the focus: it gets neither event.
  Control* const lost = active_ != gettingFocus_ ? active_ : nullptr;
  // The new control is active while the old one's LostFocus runs, as on the platform.
  active_ = &control;
  if (deferFocusEvents_) {
    // The pair arrives later, in the platform's order; the focus has moved already.
    if (lost) Post([lost] { lost->LostFocus.Raise(); });
    Post([&control] { control.GotFocus.Raise(); });
    return;
  }
  gettingFocus_ = &control;
  if (lost) lost->LostFocus.Raise();
  if (gettingFocus_ != &control) return;  // the handler moved the focus elsewhere
  gettingFocus_ = nullptr;
  control.GotFocus.Raise();
}

}  // namespace platform
