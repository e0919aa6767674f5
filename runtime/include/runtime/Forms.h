// A headless model of the form controls the system's editors are built from.
//
// Keeps: the state of each control (items, selections, texts, values, grid cells, layout in twips,
// visible and enabled) and its events, raised synchronously on programmatic changes the way the
// platform raises them:
//   - ListBox: assigning ListIndex raises Click when the index changes; changing Selected(i) raises
//     Click when the selection changes. AddItem, RemoveItem and Clear raise nothing.
//   - ComboBox: every assignment of ListIndex raises Click (also when the index does not change);
//     assigning Text raises Change when the text changes.
//   - TextBox: assigning Text raises Change when the text changes.
//   - CheckBox: assigning Value raises Click when the value changes.
//   - Form::SetFocus raises LostFocus on the control that had the focus, then GotFocus on the new one.
//   - TabControl: assigning Tab raises Click with the previous tab when the tab changes; a click on a
//     tab (ClickTab, the designer's click) first moves the focus to the tab control, then shows the
//     tab and raises Click with the previous tab, also when that tab was already shown.
//   - FlexGrid: assigning Row or Col raises EnterCell when the current cell changes.
//   - KeyPress / KeyDown of a control, and KeyPress of the form's own surface, are raised by whoever
//     delivers keys (a host); their handlers may change the key code they are given.
// Controls placed on a tab of a TabControl are visible only while that tab is shown (and their own
// Visible flag is set); only a visible, enabled control takes the focus.
// Errors are the platform's run-time errors (see Error.h): 381 for an item or cell index outside
// the list or grid, 5 for an AddItem / RemoveItem position outside it, 380 for an invalid property
// value, 30009 / 30010 for an invalid current row / column, 30015 for removing the last non-fixed row.
// Leaves out: drawing, fonts, colours, mouse and keyboard input devices; hosts render and script it.
//
// A Form owns its controls and finds them by name, so hosts can address every control by the name
// the system gives it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace platform {

// One handler per event, as a form wires one procedure to each event of a control. A handler may
// connect another handler (or none) to the event that is running it: the running one finishes first.
template <class... Args>
class Event {
 public:
  void Connect(std::function<void(Args...)> handler) {
    handler_ = handler ? std::make_shared<const std::function<void(Args...)>>(std::move(handler)) : nullptr;
  }
  void Raise(Args... args) const {
    if (auto handler = handler_) (*handler)(args...);  // keeps the handler alive while it runs
  }
  explicit operator bool() const noexcept { return static_cast<bool>(handler_); }

 private:
  std::shared_ptr<const std::function<void(Args...)>> handler_;
};

class Form;
class TabControl;

class Control {
 public:
  Control(Form& form, std::string name);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const noexcept { return name_; }
  Form& Parent() const noexcept { return form_; }

  // Whether the control can be seen: its own Visible flag and, for a control on a tab, that tab shown.
  bool Visible() const noexcept;
  void SetVisible(bool visible) { visible_ = visible; }
  // Places the control on tab `tab` of `tabs` (a control of the same form). Error 380 for a tab
  // outside the tab control or a tab control of another form.
  void PlaceOnTab(TabControl& tabs, std::int32_t tab);
  // The tab the control sits on (-1: on the form itself).
  std::int32_t ContainerTab() const noexcept { return containerTab_; }
  bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }

  // Position and size in twips, relative to the form.
  std::int32_t Left() const noexcept { return left_; }
  std::int32_t Top() const noexcept { return top_; }
  std::int32_t Width() const noexcept { return width_; }
  std::int32_t Height() const noexcept { return height_; }
  void Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);
  void SetLeft(std::int32_t left) { left_ = left; }
  void SetTop(std::int32_t top) { top_ = top; }
  void SetWidth(std::int32_t width) { width_ = width; }
  void SetHeight(std::int32_t height) { height_ = height; }

  Event<> GotFocus;
  Event<> LostFocus;
  // The character code of a key typed while the control has the focus; a handler may change it
  // (0 swallows the key).
  Event<std::int16_t&> KeyPress;
  // A key pressed while the control has the focus: key code and shift state (1 Shift, 2 Ctrl, 4 Alt).
  Event<std::int16_t&, std::int16_t> KeyDown;

 private:
  Form& form_;
  std::string name_;
  TabControl* tabs_ = nullptr;
  std::int32_t containerTab_ = -1;
  bool visible_ = true;
  bool enabled_ = true;
  std::int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

// The item list shared by list boxes and combo boxes.
class ItemList {
 public:
  std::int32_t ListCount() const noexcept { return static_cast<std::int32_t>(items_.size()); }
  // Item `index`; error 381 outside 0 .. ListCount - 1.
  const std::string& List(std::int32_t index) const;
  // Replaces item `index`; `index` = ListCount appends. Error 381 outside 0 .. ListCount.
  void SetList(std::int32_t index, std::string text);
  // Inserts at `index` (-1 or ListCount: at the end). Error 5 outside -1 .. ListCount.
  void AddItem(std::string text, std::int32_t index = -1);
  // Error 5 outside 0 .. ListCount - 1.
  void RemoveItem(std::int32_t index);
  void Clear();
  const std::vector<std::string>& Items() const noexcept { return items_; }

 protected:
  virtual ~ItemList() = default;
  virtual void ItemInserted(std::int32_t index) = 0;
  virtual void ItemRemoved(std::int32_t index) = 0;
  virtual void ItemsCleared() = 0;

 private:
  std::vector<std::string> items_;
};

class ListBox : public Control, public ItemList {
 public:
  enum class MultiSelect { None, Simple, Extended };

  ListBox(Form& form, std::string name, MultiSelect multiSelect = MultiSelect::None);

  MultiSelect Mode() const noexcept { return multiSelect_; }

  // The focused item (-1: none). Without multiple selection it is also the one selected item.
  std::int32_t ListIndex() const noexcept { return listIndex_; }
  // Error 380 outside -1 .. ListCount - 1.
  void SetListIndex(std::int32_t index);

  // Error 381 outside 0 .. ListCount - 1.
  bool Selected(std::int32_t index) const;
  void SetSelected(std::int32_t index, bool selected);
  // The designer clicks item `index` (error 381 outside the items): it becomes the focused item and
  // takes `selected`; in a list with one selection, deselecting the selected item leaves none
  // selected (deselecting another changes nothing). One Click when the focus or the selection changed.
  void ClickItem(std::int32_t index, bool selected = true);
  std::int32_t SelCount() const;

  // The focused item's text, "" without one.
  std::string Text() const;

  Event<> Click;
  Event<> DblClick;

 private:
  void ItemInserted(std::int32_t index) override;
  void ItemRemoved(std::int32_t index) override;
  void ItemsCleared() override;

  MultiSelect multiSelect_;
  std::int32_t listIndex_ = -1;
  std::vector<bool> selected_;  // multiple selection only; parallel to the items
};

class ComboBox : public Control, public ItemList {
 public:
  enum class Style { DropdownCombo, DropdownList };

  ComboBox(Form& form, std::string name, Style style = Style::DropdownCombo);

  Style ComboStyle() const noexcept { return style_; }

  std::int32_t ListIndex() const noexcept { return listIndex_; }
  // Selects item `index` (its text becomes the combo's text) or none (-1: the text empties), then
  // raises Click. Error 380 outside -1 .. ListCount - 1.
  void SetListIndex(std::int32_t index);

  const std::string& Text() const noexcept { return text_; }
  // Sets the text; ListIndex becomes the first item equal to it, or -1. Raises Change when the
  // text changes. On a DropdownList only an item's text is accepted (error 380 otherwise).
  void SetText(std::string text);

  Event<> Click;
  Event<> Change;

 private:
  void ItemInserted(std::int32_t index) override;
  void ItemRemoved(std::int32_t index) override;
  void ItemsCleared() override;

  Style style_;
  std::int32_t listIndex_ = -1;
  std::string text_;
};

class TextBox : public Control {
 public:
  TextBox(Form& form, std::string name);

  const std::string& Text() const noexcept { return text_; }
  void SetText(std::string text);  // raises Change when the text changes

  Event<> Change;

  // ---- selection and caret (the in-place editors select what they open with) ----
  // The caret position and the length of the selection starting there, clamped to the text.
  std::int32_t SelStart() const noexcept { return selStart_; }
  std::int32_t SelLength() const noexcept { return selLength_; }
  void SetSelStart(std::int32_t start);    // also empties the selection; error 380 below 0
  void SetSelLength(std::int32_t length);  // error 380 below 0

  // Several lines shown (set when the form is built).
  bool MultiLine() const noexcept { return multiLine_; }
  void SetMultiLine(bool multiLine) { multiLine_ = multiLine; }

 private:
  bool multiLine_ = false;
  std::string text_;
  std::int32_t selStart_ = 0, selLength_ = 0;
};

class CheckBox : public Control {
 public:
  static constexpr std::int16_t Unchecked = 0, Checked = 1, Grayed = 2;

  CheckBox(Form& form, std::string name, std::string caption = {});

  const std::string& Caption() const noexcept { return caption_; }
  std::int16_t Value() const noexcept { return value_; }
  void SetValue(std::int16_t value);  // 0, 1 or 2 (error 380 otherwise); raises Click when it changes

  Event<> Click;

 private:
  std::string caption_;
  std::int16_t value_ = Unchecked;
};

class CommandButton : public Control {
 public:
  CommandButton(Form& form, std::string name, std::string caption = {});

  const std::string& Caption() const noexcept { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }

  Event<> Click;

 private:
  std::string caption_;
};

// ---- captions on a form ----
// A caption that names the controls beside it; it takes no focus and raises nothing.
class Label : public Control {
 public:
  Label(Form& form, std::string name, std::string caption = {})
      : Control(form, std::move(name)), caption_(std::move(caption)) {}
  const std::string& Caption() const noexcept { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }

 private:
  std::string caption_;
};

// A captioned box drawn around a group of controls (which are controls of the form, not of the frame).
class Frame : public Label {
 public:
  using Label::Label;
};
// ---- end of captions ----

// ---- option buttons ----
// One of a group of choices: the option buttons of one form are one group. Setting Value to true
// clears the others and raises Click (also when it was set already, as a designer's click does);
// setting it to false raises nothing.
class OptionButton : public Control {
 public:
  OptionButton(Form& form, std::string name, std::string caption = {});

  const std::string& Caption() const noexcept { return caption_; }
  bool Value() const noexcept { return value_; }
  void SetValue(bool value);

  Event<> Click;

 private:
  std::string caption_;
  bool value_ = false;
};
// ---- end of option buttons ----

// A grid of texts. Rows and columns count from 0; the first FixedRows rows and FixedCols columns are
// fixed (headings, markers). Cells are addressed by (row, column) or by the linear index
// row * Cols + column (TextArray).
class FlexGrid : public Control {
 public:
  FlexGrid(Form& form, std::string name, std::int32_t rows = 2, std::int32_t cols = 2,
           std::int32_t fixedRows = 1, std::int32_t fixedCols = 1);

  std::int32_t Rows() const noexcept { return rows_; }
  std::int32_t Cols() const noexcept { return cols_; }
  // New rows and columns are empty; cells beyond a smaller size are dropped. Error 380 below the
  // fixed rows or columns (plus one, so that one scrollable row and column always remain).
  void SetRows(std::int32_t rows);
  void SetCols(std::int32_t cols);
  std::int32_t FixedRows() const noexcept { return fixedRows_; }
  std::int32_t FixedCols() const noexcept { return fixedCols_; }

  // Error 381 outside the grid.
  const std::string& TextMatrix(std::int32_t row, std::int32_t col) const;
  void SetTextMatrix(std::int32_t row, std::int32_t col, std::string text);
  const std::string& TextArray(std::int32_t index) const;
  void SetTextArray(std::int32_t index, std::string text);

  // The current cell. Error 30009 / 30010 outside the grid.
  std::int32_t Row() const noexcept { return row_; }
  std::int32_t Col() const noexcept { return col_; }
  void SetRow(std::int32_t row);
  void SetCol(std::int32_t col);
  const std::string& Text() const { return TextMatrix(row_, col_); }
  void SetText(std::string text) { SetTextMatrix(row_, col_, std::move(text)); }

  // Inserts a row at `index` (-1: at the end) whose cells take the TAB-separated pieces of `text`.
  // Error 5 outside -1 .. Rows.
  void AddItem(std::string_view text = {}, std::int32_t index = -1);
  // Removes row `row`: error 30009 outside the grid or for a fixed row, 30015 for the last non-fixed row.
  void RemoveItem(std::int32_t row);
  // Empties every cell; the size stays.
  void Clear();

  std::int32_t ColWidth(std::int32_t col) const;
  void SetColWidth(std::int32_t col, std::int32_t twips);
  std::int32_t RowHeightMin() const noexcept { return rowHeightMin_; }
  void SetRowHeightMin(std::int32_t twips) { rowHeightMin_ = twips; }

  Event<> Click;
  Event<> DblClick;
  Event<> EnterCell;  // the current cell changed

  // ---- scrolling and cell positions (for editors laid over a cell) ----
  // The first scrollable row shown below the fixed rows. Assigning another one raises Scroll; error
  // 380 outside the scrollable rows. Rows removed below it pull it back to the last row.
  std::int32_t TopRow() const noexcept { return topRow_; }
  void SetTopRow(std::int32_t row);
  // The height of every row: the minimum row height, at least the platform's text height.
  std::int32_t RowHeight() const noexcept { return std::max(rowHeightMin_, kTextRowHeight); }
  // A column's width, an automatic one counting as the platform's default width.
  std::int32_t ShownColWidth(std::int32_t col) const;
  // The current cell's offset from the grid's top-left corner in twips: the fixed columns and the
  // columns left of it, the fixed rows and the rows between TopRow and it (negative when it is
  // scrolled above the top).
  std::int32_t CellLeft() const;
  std::int32_t CellTop() const;
  static constexpr std::int32_t kTextRowHeight = 240;
  static constexpr std::int32_t kDefaultColWidth = 960;

  Event<> Scroll;  // the rows shown changed
                   // ---- end of scrolling and cell positions ----

 private:
  std::int32_t CellIndex(std::int32_t row, std::int32_t col) const;  // error 381 outside

  std::int32_t rows_, cols_, fixedRows_, fixedCols_;
  std::int32_t row_, col_;
  std::int32_t rowHeightMin_ = 0;
  std::vector<std::string> cells_;  // row-major, rows_ * cols_
  std::vector<std::int32_t> colWidths_;
  std::int32_t topRow_;  // scrolling
};

// A tabbed frame (the platform's tab control): Tabs pages with captions, one of them shown. Controls
// are placed on a page with Control::PlaceOnTab.
class TabControl : public Control {
 public:
  TabControl(Form& form, std::string name, std::int32_t tabs);

  std::int32_t Tabs() const noexcept { return static_cast<std::int32_t>(captions_.size()); }
  // Error 380 outside 0 .. Tabs - 1.
  const std::string& TabCaption(std::int32_t tab) const;
  void SetTabCaption(std::int32_t tab, std::string caption);

  // The tab shown.
  std::int32_t Tab() const noexcept { return tab_; }
  // Shows `tab` (error 380 outside the tabs); raises Click(previous tab) when the tab changes.
  void SetTab(std::int32_t tab);
  // The designer clicks tab `tab`: the focus moves to the tab control (when it can take it), the tab
  // is shown and Click(previous tab) is raised, also when `tab` was shown already. Error 380 outside
  // the tabs.
  void ClickTab(std::int32_t tab);

  Event<std::int16_t> Click;  // the previous tab

 private:
  std::vector<std::string> captions_;
  std::int32_t tab_ = 0;
};

class Form {
 public:
  explicit Form(std::string name = {});
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  ~Form();

  const std::string& Name() const noexcept { return name_; }
  // The title of the form's window (a dialog's caption).
  const std::string& Caption() const noexcept { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }

  // Creates a control owned by the form. Names are unique within a form.
  template <class T, class... Args>
  T& Add(std::string name, Args&&... args) {
    static_assert(std::is_base_of_v<Control, T>);
    auto control = std::make_unique<T>(*this, std::move(name), std::forward<Args>(args)...);
    T& ref = *control;
    Adopt(std::move(control));
    return ref;
  }

  // The control named `name` (exact), or nullptr.
  Control* Find(std::string_view name) const;
  const std::vector<std::unique_ptr<Control>>& Controls() const noexcept { return controls_; }

  // The control that has the focus, or nullptr.
  Control* ActiveControl() const noexcept { return active_; }
  // Moves the focus: LostFocus on the control that had it, then GotFocus on `control`. Nothing
  // happens when `control` already has the focus.
  void SetFocus(Control& control);

  // A key typed on the form's own surface (not on one of its controls).
  Event<std::int16_t&> KeyPress;

  // ---- pending events, modal dialogs ----
  // Events a host delivers later than the change that caused them wait in the form's queue until
  // DoEvents ("let pending events run") raises them in the order they were posted, including any a
  // handler posts meanwhile. With deferred focus events on (a host whose window system reports
  // focus changes asynchronously), SetFocus moves the focus at once and posts the LostFocus /
  // GotFocus pair instead of raising it.
  void Post(std::function<void()> event);
  void DoEvents();
  std::size_t PendingEvents() const noexcept { return pending_.size(); }
  void SetDeferredFocusEvents(bool deferred) { deferFocusEvents_ = deferred; }

  // A dialog is a form of its own. ShowModal shows it and runs the modal loop of its owner until
  // the dialog is hidden; the owner's loop is the host's (it lets the designer act on the dialog).
  // Without a loop nobody can answer the dialog: it is hidden again at once, as if cancelled.
  bool Shown() const noexcept { return shown_; }
  void Hide() { shown_ = false; }
  void ShowModal(Form& owner);
  using ModalLoop = std::function<void(Form& dialog)>;
  void SetModalLoop(ModalLoop loop) { modalLoop_ = std::move(loop); }
  // ---- end of pending events, modal dialogs ----

 private:
  std::vector<std::function<void()>> pending_;
  bool deferFocusEvents_ = false;
  bool shown_ = false;
  ModalLoop modalLoop_;

  void Adopt(std::unique_ptr<Control> control);

  std::string name_;
  std::string caption_;
  std::vector<std::unique_ptr<Control>> controls_;
  Control* active_ = nullptr;
  Control* gettingFocus_ = nullptr;  // has the focus but has not had its GotFocus yet
};

}  // namespace platform
