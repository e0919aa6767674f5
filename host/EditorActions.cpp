#include "host/EditorActions.h"

#include <algorithm>
#include <charconv>

#include "runtime/Ascii.h"

namespace host::actions {
namespace {

using platform::Control;

template <class T>
T* As(Control& control) {
  return dynamic_cast<T*>(&control);
}

[[noreturn]] void Unsupported(std::string_view action, const Control& control) {
  throw Refused("'" + std::string(action) + "' does not apply to control '" + control.Name() + "'");
}

// The designer's pointer or keys reach a control: it takes the focus first (LostFocus of the one that
// had it, then its GotFocus).
void FocusOn(Control& control) {
  control.Parent().SetFocus(control);
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), platform::IsAsciiDigit);
}

platform::TabControl& TheTabControl(platform::Form& form) {
  platform::TabControl* found = nullptr;
  for (const auto& control : form.Controls()) {
    if (auto* tabs = dynamic_cast<platform::TabControl*>(control.get())) {
      if (found) throw Refused("the editor has several tab controls; name the one meant");
      found = tabs;
    }
  }
  if (!found) throw Refused("the editor has no tab control");
  return *found;
}

platform::ListBox& ListOrRefuse(platform::Form& form, std::string_view name, std::string_view action) {
  Control& control = Reachable(form, name);
  auto* list = As<platform::ListBox>(control);
  if (!list) Unsupported(action, control);
  return *list;
}

}  // namespace

Number Number::Parse(std::string_view text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data() + (!text.empty() && text[0] == '+'), end, value);
  if (text.empty() || error != std::errc() || at != end) return {std::nullopt, std::string(text)};
  return {value, std::string(text)};
}

Control& Named(platform::Form& form, std::string_view name) {
  Control* control = form.Find(name);
  if (control == nullptr) throw Refused("the editor has no control named '" + std::string(name) + "'");
  return *control;
}

Control& Reachable(platform::Form& form, std::string_view name) {
  Control& control = Named(form, name);
  if (!control.Visible()) throw Refused("control '" + control.Name() + "' is not visible");
  if (!control.Enabled()) throw Refused("control '" + control.Name() + "' is disabled");
  return control;
}

std::int32_t InRange(const Number& number, std::int64_t low, std::int64_t high) {
  if (!number.value || *number.value < low || *number.value > high) {
    throw Refused("'" + number.text + "' is not a number from " + std::to_string(low) + " to " +
                  std::to_string(high));
  }
  return static_cast<std::int32_t>(*number.value);
}

std::int32_t IndexOf(const Item& item, const platform::ItemList& list) {
  if (item.index) return InRange(*item.index, 0, list.ListCount() - 1);
  const auto& items = list.Items();
  const auto found = std::find(items.begin(), items.end(), item.text);
  if (found == items.end()) throw Refused("no item '" + item.text + "'");
  return static_cast<std::int32_t>(found - items.begin());
}

void Tab(platform::Form& form, std::optional<std::string_view> tabControl, const TabRef& which) {
  platform::TabControl* tabs = nullptr;
  if (tabControl) {
    tabs = As<platform::TabControl>(Named(form, *tabControl));
    if (!tabs) throw Refused("control '" + std::string(*tabControl) + "' is not a tab control");
  } else {
    tabs = &TheTabControl(form);
  }
  if (!tabs->Visible() || !tabs->Enabled()) throw Refused("the tab control cannot be reached");
  std::int32_t tab = -1;
  for (std::int32_t t = 0; t < tabs->Tabs(); ++t) {
    if (tabs->TabCaption(t) == which.text) tab = t;
  }
  if (tab < 0 && which.mayBeIndex && AllDigits(which.text))
    tab = InRange(Number::Parse(which.text), 0, tabs->Tabs() - 1);
  if (tab < 0) throw Refused("no tab '" + which.text + "'");
  tabs->ClickTab(tab);
}

void Click(platform::Form& form, std::string_view name) {
  Control& control = Reachable(form, name);
  if (auto* button = As<platform::CommandButton>(control)) {
    FocusOn(control);
    button->Click.Raise();
  } else if (auto* check = As<platform::CheckBox>(control)) {
    FocusOn(control);
    // A click checks an unchecked box and clears a checked or grayed one.
    check->SetValue(check->Value() == platform::CheckBox::Unchecked ? platform::CheckBox::Checked
                                                                    : platform::CheckBox::Unchecked);
  } else if (auto* grid = As<platform::FlexGrid>(control)) {
    FocusOn(control);
    grid->Click.Raise();
  } else {
    Unsupported("click", control);
  }
}

void DblClick(platform::Form& form, std::string_view name, const std::optional<Item>& item) {
  Control& control = Reachable(form, name);
  if (auto* list = As<platform::ListBox>(control)) {
    if (!item) throw Refused("name the item: dblclick LIST ITEM");
    const std::int32_t index = IndexOf(*item, *list);
    FocusOn(control);
    list->ClickItem(index);
    list->DblClick.Raise();
  } else if (auto* grid = As<platform::FlexGrid>(control); grid && !item) {
    FocusOn(control);
    grid->DblClick.Raise();
  } else {
    Unsupported("dblclick", control);
  }
}

void Select(platform::Form& form, std::string_view name, const Item& item, bool selected) {
  Control& control = Reachable(form, name);
  if (auto* list = As<platform::ListBox>(control)) {
    const std::int32_t index = IndexOf(item, *list);
    FocusOn(control);
    list->ClickItem(index, selected);
  } else if (auto* combo = As<platform::ComboBox>(control); combo && selected) {
    const std::int32_t index = IndexOf(item, *combo);
    FocusOn(control);
    combo->SetListIndex(index);
  } else {
    Unsupported(selected ? "select" : "deselect", control);
  }
}

void SelectRange(platform::Form& form, std::string_view name, const Item& item) {
  platform::ListBox& list = ListOrRefuse(form, name, "select");
  const std::int32_t to = IndexOf(item, list);
  if (list.Mode() == platform::ListBox::MultiSelect::None) return Select(form, name, item, true);
  const std::int32_t from = std::max(list.ListIndex(), 0);
  const std::int32_t step = to >= from ? 1 : -1;
  FocusOn(list);
  for (std::int32_t i = from;; i += step) {
    // A handler may change the list; what is gone is not clicked.
    if (i < list.ListCount()) list.ClickItem(i, true);
    if (i == to) break;
  }
}

void Text(platform::Form& form, std::string_view name, std::string text) {
  Control& control = Reachable(form, name);
  if (auto* box = As<platform::TextBox>(control)) {
    FocusOn(control);
    box->SetText(std::move(text));
  } else if (auto* combo = As<platform::ComboBox>(control)) {
    FocusOn(control);
    combo->SetText(std::move(text));
  } else {
    Unsupported("text", control);
  }
}

void Type(platform::Form& form, std::string_view name, std::string_view text) {
  Control& control = Reachable(form, name);
  auto* box = As<platform::TextBox>(control);
  auto* combo = As<platform::ComboBox>(control);
  if (!box && !combo) Unsupported("type", control);
  FocusOn(control);
  for (unsigned char c : text) {
    std::int16_t key = c;
    if (c < 0x80) control.KeyPress.Raise(key);
    if (key <= 0 || key > 0xFF) continue;
    std::string typed = box ? box->Text() : combo->Text();
    typed += static_cast<char>(key);
    if (box) {
      box->SetText(std::move(typed));
    } else {
      combo->SetText(std::move(typed));
    }
  }
}

void KeyPress(platform::Form& form, std::string_view name, const Number& code) {
  auto key = static_cast<std::int16_t>(InRange(code, 0, 255));
  if (name == form.Name()) {
    form.KeyPress.Raise(key);
    return;
  }
  Control& control = Reachable(form, name);
  FocusOn(control);
  control.KeyPress.Raise(key);
}

void KeyDown(platform::Form& form, std::string_view name, const Number& code, const Number& shift) {
  auto key = static_cast<std::int16_t>(InRange(code, 0, 255));
  const auto state = static_cast<std::int16_t>(InRange(shift, 0, 7));
  Control& control = Reachable(form, name);
  FocusOn(control);
  control.KeyDown.Raise(key, state);
}

void Cell(platform::Form& form, std::string_view name, const Number& row, const Number& col) {
  Control& control = Reachable(form, name);
  auto* grid = As<platform::FlexGrid>(control);
  if (!grid) Unsupported("cell", control);
  const std::int32_t r = InRange(row, 0, grid->Rows() - 1);
  const std::int32_t c = InRange(col, 0, grid->Cols() - 1);
  FocusOn(control);
  grid->SetRow(r);
  grid->SetCol(c);
}

void Focus(platform::Form& form, std::string_view name) {
  FocusOn(Reachable(form, name));
}

void Pick(platform::Form& form, std::string_view name, const Number& row, const Number& col,
          const Item& item) {
  Control& control = Reachable(form, name);
  auto* grid = As<platform::FlexGrid>(control);
  if (!grid) Unsupported("pick", control);
  Cell(form, name, row, col);
  grid->Click.Raise();
  auto* combo = dynamic_cast<platform::ComboBox*>(form.ActiveControl());
  if (!combo || !combo->Visible()) {
    throw Refused("a click on cell " + row.text + " " + col.text + " of '" + grid->Name() +
                  "' opened no combo");
  }
  combo->SetListIndex(IndexOf(item, *combo));
  FocusOn(*grid);
}

void Choose(platform::Form& form, std::string_view name) {
  Control& control = Reachable(form, name);
  auto* option = As<platform::OptionButton>(control);
  if (!option) Unsupported("choose", control);
  FocusOn(control);
  option->SetValue(true);
}

void Lines(platform::Form& form, std::string_view name, const std::vector<std::string>& lines) {
  Control& control = Reachable(form, name);
  auto* box = As<platform::TextBox>(control);
  if (!box) Unsupported("lines", control);
  std::string text;
  for (const std::string& line : lines) text.append(line).append("\r\n");
  FocusOn(control);
  box->SetText(std::move(text));
}

}  // namespace host::actions
