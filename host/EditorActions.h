// The designer's actions on a form: one function per kind of action, each the sequence of form-model
// events the designer's mouse or keys cause on the control's own platform. Editor scripts
// (EditScript.h) and the browser editor (EditorServer.h) both act through these functions, so a
// script line and a click are the same events.
//
// Every action first checks that the designer could do it: the control exists, is shown and enabled,
// the item, cell or tab is there, the action applies to that kind of control. A check that fails
// throws Refused with the reason before anything has changed. Run-time errors of the control's
// handlers that escape (the handlers trap their own) travel out as platform::Error.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Forms.h"

namespace host::actions {

// An action the designer could not have taken; what() is the reason.
class Refused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A number as the designer gave it: its value, or none when the text is no whole number. The text is
// what a refusal quotes.
struct Number {
  std::optional<std::int64_t> value;
  std::string text;

  static Number Of(std::int64_t value) { return {value, std::to_string(value)}; }
  static Number Parse(std::string_view text);
};

// An item of a list or combo box: its exact text, or its index from 0.
struct Item {
  std::optional<Number> index;
  std::string text;

  static Item At(Number index) { return {std::move(index), {}}; }
  static Item Text(std::string text) { return {std::nullopt, std::move(text)}; }
};

// A tab: its caption, or (when `mayBeIndex` and no caption matches) its index written in digits.
struct TabRef {
  std::string text;
  bool mayBeIndex = false;
};

// The designer's keys: shift state bits.
inline constexpr std::int16_t kShift = 1, kCtrl = 2, kAlt = 4;

platform::Control& Named(platform::Form& form, std::string_view name);
// The control as the designer can reach it: shown and enabled.
platform::Control& Reachable(platform::Form& form, std::string_view name);
// `value` checked to lie in low .. high.
std::int32_t InRange(const Number& number, std::int64_t low, std::int64_t high);
// The index of `item` in `list`.
std::int32_t IndexOf(const Item& item, const platform::ItemList& list);

// A click on a tab (of the form's only tab control, or of the one named).
void Tab(platform::Form& form, std::optional<std::string_view> tabControl, const TabRef& tab);
// A click on a button (Click), a check box (checks an unchecked box, clears a checked or grayed one) or
// a grid (Click).
void Click(platform::Form& form, std::string_view control);
// A double click on an item of a list (it is clicked first) or on a grid (no item).
void DblClick(platform::Form& form, std::string_view control, const std::optional<Item>& item);
// A click on an item of a list: it becomes the focused item and takes `selected` (a list with one
// selection ignores a deselect of another item); or the choice of an item of a combo box (selected
// only).
void Select(platform::Form& form, std::string_view control, const Item& item, bool selected);
// Shift+click on an item of a list with multiple selection: every item from the focused one (the
// first when none is focused) to `item` is selected, in that direction, ending on `item`.
void SelectRange(platform::Form& form, std::string_view control, const Item& item);
// The text of a text box or combo box replaced (Change).
void Text(platform::Form& form, std::string_view control, std::string text);
// Typing into a text box or combo box: each character below 128 is a KeyPress, and a character the
// handler does not swallow (or changes) is added to the text.
void Type(platform::Form& form, std::string_view control, std::string_view text);
// A key with a character code 0 to 255 pressed on a control, or on the form's own surface when the
// form's name is given.
void KeyPress(platform::Form& form, std::string_view control, const Number& code);
// A KeyDown with a key code 0 to 255 and a shift state 0 to 7.
void KeyDown(platform::Form& form, std::string_view control, const Number& code, const Number& shift);
// The current cell of a grid moved (EnterCell when it changes).
void Cell(platform::Form& form, std::string_view grid, const Number& row, const Number& col);
// The focus moved to a control (LostFocus of the one that had it, then GotFocus).
void Focus(platform::Form& form, std::string_view control);
// A click on cell (row, col) of a grid that opens the grid's in-place combo there, the choice of
// `item` in that combo, and the focus back on the grid, so the combo writes back.
void Pick(platform::Form& form, std::string_view grid, const Number& row, const Number& col,
          const Item& item);
// A click on an option button.
void Choose(platform::Form& form, std::string_view option);
// The text of a multi-line text box replaced by `lines`, each ending in CR LF.
void Lines(platform::Form& form, std::string_view textBox, const std::vector<std::string>& lines);

}  // namespace host::actions
