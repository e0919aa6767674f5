#include "host/EditScript.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/Error.h"

namespace host {
namespace {

using platform::Control;

// ---- reading ------------------------------------------------------------------------------------

std::vector<ScriptWord> SplitWords(const std::string& line, int number) {
  std::vector<ScriptWord> words;
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    ScriptWord word;
    if (line[i] == '"') {
      word.quoted = true;
      ++i;
      for (;;) {
        if (i >= line.size()) throw ScriptError(number, "a quoted word is not closed");
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            word.text += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        word.text += line[i++];
      }
      if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
        throw ScriptError(number, "a quoted word must be followed by a space");
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
        if (line[i] == '"') throw ScriptError(number, "a quote inside a word; quote the whole word");
        word.text += line[i++];
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

// ---- arguments ----------------------------------------------------------------------------------

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::int32_t Number(int lineNumber, const std::string& text, std::int32_t low, std::int32_t high) {
  std::size_t used = 0;
  long long value = 0;
  try {
    value = std::stoll(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || text.empty() || value < low || value > high) {
    throw ScriptError(lineNumber, "'" + text + "' is not a number from " + std::to_string(low) + " to " +
                                      std::to_string(high));
  }
  return static_cast<std::int32_t>(value);
}

std::int32_t Number(const ScriptLine& line, std::size_t arg, std::int32_t low, std::int32_t high) {
  return Number(line.number, line.args.at(arg).text, low, high);
}

Control& Named(ScriptContext& context, const ScriptLine& line, std::size_t arg) {
  const std::string& name = line.args.at(arg).text;
  Control* control = context.form.Find(name);
  if (control == nullptr) throw ScriptError(line.number, "the editor has no control named '" + name + "'");
  return *control;
}

// The designer can reach only what is shown and enabled.
Control& Reachable(ScriptContext& context, const ScriptLine& line, std::size_t arg) {
  Control& control = Named(context, line, arg);
  if (!control.Visible()) throw ScriptError(line.number, "control '" + control.Name() + "' is not visible");
  if (!control.Enabled()) throw ScriptError(line.number, "control '" + control.Name() + "' is disabled");
  return control;
}

template <class T>
T* As(Control& control) {
  return dynamic_cast<T*>(&control);
}

[[noreturn]] void Unsupported(const ScriptLine& line, const Control& control) {
  throw ScriptError(line.number, "'" + line.action + "' does not apply to control '" + control.Name() + "'");
}

// The designer's pointer or keys reach a control: it takes the focus first (LostFocus of the one
// that had it, then its GotFocus).
void Focus(ScriptContext& context, Control& control) {
  context.form.SetFocus(control);
}

// An item of a list or combo: its exact text, or #N (unquoted) for the item at index N.
std::int32_t ItemIndex(const ScriptLine& line, std::size_t arg, const platform::ItemList& list) {
  const ScriptWord& word = line.args.at(arg);
  if (!word.quoted && word.text.size() > 1 && word.text[0] == '#' && AllDigits(word.text.substr(1))) {
    return Number(line.number, word.text.substr(1), 0, list.ListCount() - 1);
  }
  const auto& items = list.Items();
  const auto found = std::find(items.begin(), items.end(), word.text);
  if (found == items.end()) throw ScriptError(line.number, "no item '" + word.text + "'");
  return static_cast<std::int32_t>(found - items.begin());
}

platform::TabControl& TheTabControl(ScriptContext& context, const ScriptLine& line) {
  platform::TabControl* found = nullptr;
  for (const auto& control : context.form.Controls()) {
    if (auto* tabs = dynamic_cast<platform::TabControl*>(control.get())) {
      if (found) throw ScriptError(line.number, "the editor has several tab controls; name the one meant");
      found = tabs;
    }
  }
  if (!found) throw ScriptError(line.number, "the editor has no tab control");
  return *found;
}

// ---- the actions ----------------------------------------------------------------------------------

void Tab(ScriptContext& context, const ScriptLine& line) {
  platform::TabControl* tabs = nullptr;
  if (line.args.size() == 2) {
    tabs = As<platform::TabControl>(Named(context, line, 0));
    if (!tabs) throw ScriptError(line.number, "control '" + line.args[0].text + "' is not a tab control");
  } else {
    tabs = &TheTabControl(context, line);
  }
  if (!tabs->Visible() || !tabs->Enabled())
    throw ScriptError(line.number, "the tab control cannot be reached");
  const ScriptWord& which = line.args.back();
  std::int32_t tab = -1;
  for (std::int32_t t = 0; t < tabs->Tabs(); ++t) {
    if (tabs->TabCaption(t) == which.text) tab = t;
  }
  if (tab < 0 && !which.quoted && AllDigits(which.text))
    tab = Number(line, line.args.size() - 1, 0, tabs->Tabs() - 1);
  if (tab < 0) throw ScriptError(line.number, "no tab '" + which.text + "'");
  tabs->ClickTab(tab);
}

void Click(ScriptContext& context, const ScriptLine& line) {
  Control& control = Reachable(context, line, 0);
  if (auto* button = As<platform::CommandButton>(control)) {
    Focus(context, control);
    button->Click.Raise();
  } else if (auto* check = As<platform::CheckBox>(control)) {
    Focus(context, control);
    // A click checks an unchecked box and clears a checked or grayed one.
    check->SetValue(check->Value() == platform::CheckBox::Unchecked ? platform::CheckBox::Checked
                                                                    : platform::CheckBox::Unchecked);
  } else if (auto* grid = As<platform::FlexGrid>(control)) {
    Focus(context, control);
    grid->Click.Raise();
  } else {
    Unsupported(line, control);
  }
}

void DblClick(ScriptContext& context, const ScriptLine& line) {
  Control& control = Reachable(context, line, 0);
  if (auto* list = As<platform::ListBox>(control)) {
    if (line.args.size() < 2) throw ScriptError(line.number, "name the item: dblclick LIST ITEM");
    Focus(context, control);
    list->ClickItem(ItemIndex(line, 1, *list));
    list->DblClick.Raise();
  } else if (auto* grid = As<platform::FlexGrid>(control); grid && line.args.size() == 1) {
    Focus(context, control);
    grid->DblClick.Raise();
  } else {
    Unsupported(line, control);
  }
}

void Select(ScriptContext& context, const ScriptLine& line, bool selected) {
  Control& control = Reachable(context, line, 0);
  if (auto* list = As<platform::ListBox>(control)) {
    Focus(context, control);
    list->ClickItem(ItemIndex(line, 1, *list), selected);
  } else if (auto* combo = As<platform::ComboBox>(control); combo && selected) {
    Focus(context, control);
    combo->SetListIndex(ItemIndex(line, 1, *combo));
  } else {
    Unsupported(line, control);
  }
}

void Text(ScriptContext& context, const ScriptLine& line) {
  Control& control = Reachable(context, line, 0);
  const std::string& text = line.args.at(1).text;
  if (auto* box = As<platform::TextBox>(control)) {
    Focus(context, control);
    box->SetText(text);
  } else if (auto* combo = As<platform::ComboBox>(control)) {
    Focus(context, control);
    combo->SetText(text);
  } else {
    Unsupported(line, control);
  }
}

// Keys go to the control named, or to the form's own surface when the form's name is given.
void KeyPress(ScriptContext& context, const ScriptLine& line) {
  std::int16_t key = static_cast<std::int16_t>(Number(line, 1, 0, 255));
  if (line.args[0].text == context.form.Name()) {
    context.form.KeyPress.Raise(key);
    return;
  }
  Control& control = Reachable(context, line, 0);
  Focus(context, control);
  control.KeyPress.Raise(key);
}

void KeyDown(ScriptContext& context, const ScriptLine& line) {
  std::int16_t key = static_cast<std::int16_t>(Number(line, 1, 0, 255));
  const auto shift = static_cast<std::int16_t>(line.args.size() > 2 ? Number(line, 2, 0, 7) : 0);
  Control& control = Reachable(context, line, 0);
  Focus(context, control);
  control.KeyDown.Raise(key, shift);
}

// Typing: each character is a KeyPress; a character the handler does not swallow (or change) is
// added to the text of a text box or combo.
void Type(ScriptContext& context, const ScriptLine& line) {
  Control& control = Reachable(context, line, 0);
  auto* box = As<platform::TextBox>(control);
  auto* combo = As<platform::ComboBox>(control);
  if (!box && !combo) Unsupported(line, control);
  Focus(context, control);
  for (unsigned char c : line.args.at(1).text) {
    std::int16_t key = c;
    if (c < 0x80) control.KeyPress.Raise(key);
    if (key <= 0 || key > 0xFF) continue;
    std::string text = box ? box->Text() : combo->Text();
    text += static_cast<char>(key);
    if (box) {
      box->SetText(std::move(text));
    } else {
      combo->SetText(std::move(text));
    }
  }
}

void Cell(ScriptContext& context, const ScriptLine& line) {
  Control& control = Reachable(context, line, 0);
  auto* grid = As<platform::FlexGrid>(control);
  if (!grid) Unsupported(line, control);
  const std::int32_t row = Number(line, 1, 0, grid->Rows() - 1);
  const std::int32_t col = Number(line, 2, 0, grid->Cols() - 1);
  Focus(context, control);
  grid->SetRow(row);
  grid->SetCol(col);
}

// ---- in-place combos of grids ----

// The designer clicks cell (ROW, COLUMN) of a grid, which opens the grid's in-place combo over the
// cell; chooses ITEM in that combo; and the focus goes back to the grid, so the combo writes back.
void Pick(ScriptContext& context, const ScriptLine& line) {
  Cell(context, line);  // the grid, focused, on the cell
  auto& grid = *As<platform::FlexGrid>(Named(context, line, 0));
  grid.Click.Raise();
  auto* combo = dynamic_cast<platform::ComboBox*>(context.form.ActiveControl());
  if (!combo || !combo->Visible()) {
    throw ScriptError(line.number, "a click on cell " + line.args[1].text + " " + line.args[2].text +
                                       " of '" + grid.Name() + "' opened no combo");
  }
  combo->SetListIndex(ItemIndex(line, 3, *combo));
  Focus(context, grid);
}

// ---- end of in-place combos ----

void FocusAction(ScriptContext& context, const ScriptLine& line) {
  Focus(context, Reachable(context, line, 0));
}

void Answer(ScriptContext& context, const ScriptLine& line) {
  std::string kind = line.args.at(0).text;
  std::transform(kind.begin(), kind.end(), kind.begin(), [](unsigned char c) { return std::tolower(c); });
  if (kind == "file") {
    if (line.args.size() > 2) throw ScriptError(line.number, "answer file takes one path");
    context.QueueFile(line.number, line.args.size() == 2 ? std::optional(line.args[1].text) : std::nullopt);
    return;
  }
  if (line.args.size() != 1) throw ScriptError(line.number, "answer " + kind + " takes nothing more");
  using platform::MsgBoxResult;
  static const std::pair<const char*, MsgBoxResult> kAnswers[] = {
      {"ok", MsgBoxResult::OK},       {"cancel", MsgBoxResult::Cancel}, {"abort", MsgBoxResult::Abort},
      {"retry", MsgBoxResult::Retry}, {"ignore", MsgBoxResult::Ignore}, {"yes", MsgBoxResult::Yes},
      {"no", MsgBoxResult::No},
  };
  for (const auto& [name, result] : kAnswers) {
    if (kind == name) {
      context.QueueAnswer(line.number, result);
      return;
    }
  }
  throw ScriptError(line.number, "unknown answer '" + line.args[0].text +
                                     "' (file, ok, cancel, yes, no, abort, retry or ignore)");
}

}  // namespace

// ---- context, table, reading and running ----------------------------------------------------------

ScriptContext::ScriptContext(platform::Form& dialog, ScriptContext& outer)
    : form(dialog), boxes(outer.boxes), fileDialogs(outer.fileDialogs), outer_(&outer) {}

void ScriptContext::QueueAnswer(int line, platform::MsgBoxResult answer) {
  if (outer_) return outer_->QueueAnswer(line, answer);
  boxes.Queue(answer);
  boxAnswerLines_.push_back(line);
}

void ScriptContext::QueueFile(int line, std::optional<std::string> path) {
  if (outer_) return outer_->QueueFile(line, std::move(path));
  if (path) {
    fileDialogs.Choose(std::move(*path));
  } else {
    fileDialogs.Cancel();
  }
  fileAnswerLines_.push_back(line);
}

void ScriptContext::CheckAnswersTaken() const {
  // Answers are taken in the order they were queued, so the pending ones are the last queued.
  std::optional<int> first;
  if (std::size_t n = boxes.PendingAnswers()) first = boxAnswerLines_[boxAnswerLines_.size() - n];
  if (std::size_t n = fileDialogs.PendingAnswers()) {
    const int line = fileAnswerLines_[fileAnswerLines_.size() - n];
    first = first ? std::min(*first, line) : line;
  }
  if (first) throw ScriptError(*first, "no dialog took this answer");
}

const ScriptAction* ScriptActions::Find(std::string_view name) const {
  const auto found = actions_.find(name);
  return found == actions_.end() ? nullptr : &found->second;
}

void AddEditorActions(ScriptActions& actions) {
  actions.Add("tab", {1, 2, "tab [TABCONTROL] TAB", Tab});
  actions.Add("click", {1, 1, "click CONTROL", Click});
  actions.Add("dblclick", {1, 2, "dblclick CONTROL [ITEM]", DblClick});
  actions.Add("select", {2, 2, "select CONTROL ITEM",
                         [](ScriptContext& c, const ScriptLine& l) { Select(c, l, true); }});
  actions.Add("deselect", {2, 2, "deselect LIST ITEM",
                           [](ScriptContext& c, const ScriptLine& l) { Select(c, l, false); }});
  actions.Add("text", {2, 2, "text CONTROL TEXT", Text});
  actions.Add("type", {2, 2, "type CONTROL TEXT", Type});
  actions.Add("keypress", {2, 2, "keypress CONTROL CODE", KeyPress});
  actions.Add("keydown", {2, 3, "keydown CONTROL CODE [SHIFT]", KeyDown});
  actions.Add("cell", {3, 3, "cell GRID ROW COLUMN", Cell});
  actions.Add("focus", {1, 1, "focus CONTROL", FocusAction});
  actions.Add("pick", {4, 4, "pick GRID ROW COLUMN ITEM", Pick});
  actions.Add("answer", {1, 2, "answer ok|cancel|yes|no|abort|retry|ignore, or answer file [PATH]", Answer});
}

std::vector<ScriptLine> ParseScript(std::istream& in, const ScriptActions& actions) {
  std::vector<ScriptLine> lines;
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    std::vector<ScriptWord> words = SplitWords(text, number);
    if (words.empty() || (!words[0].quoted && words[0].text[0] == '#')) continue;
    ScriptLine line{number, words[0].text, {words.begin() + 1, words.end()}};
    const ScriptAction* action = actions.Find(line.action);
    if (!action) throw ScriptError(number, "unknown action '" + line.action + "'");
    if (line.args.size() < action->minArgs || line.args.size() > action->maxArgs) {
      throw ScriptError(number, "wrong number of words; use: " + action->usage);
    }
    lines.push_back(std::move(line));
  }
  if (in.bad()) throw ScriptError(0, "the script cannot be read");
  return lines;
}

namespace {

void RunLine(const ScriptLine& line, const ScriptActions& actions, ScriptContext& context) {
  try {
    actions.Find(line.action)->run(context, line);
  } catch (const ScriptError&) {
    throw;
  } catch (const platform::Error& e) {
    throw ScriptError(line.number,
                      line.action + " failed: " + e.Description() + " (" + std::to_string(e.Number()) + ")");
  }
  // A fault inside a dialog this line opened.
  if (std::optional<ScriptError> failure = std::exchange(context.Outermost().failure, std::nullopt))
    throw *failure;
}

}  // namespace

void RunScript(const std::vector<ScriptLine>& lines, const ScriptActions& actions, ScriptContext& context) {
  context.lines = &lines;
  context.actions = &actions;
  for (context.next = 0; context.next < lines.size();) RunLine(lines[context.next++], actions, context);
  context.CheckAnswersTaken();
}

// ---- modal dialogs and option buttons ----

namespace {

// The dialog's lines, until it is hidden (by its own OK or Cancel).
void RunModalDialog(ScriptContext& context, platform::Form& dialog) {
  ScriptContext& outer = context.Outermost();
  ScriptContext inner(dialog, context);
  try {
    while (dialog.Shown()) {
      if (outer.lines == nullptr || outer.next >= outer.lines->size()) {
        const int last = outer.lines && !outer.lines->empty() ? outer.lines->back().number : 0;
        throw ScriptError(last, "the script ended while dialog '" + dialog.Name() + "' was open");
      }
      const ScriptLine& line = (*outer.lines)[outer.next++];
      RunLine(line, *outer.actions, inner);
    }
  } catch (const ScriptError& e) {
    if (!outer.failure) outer.failure = e;
    dialog.Hide();
  }
}

void Choose(ScriptContext& context, const ScriptLine& line) {
  Control& control = Reachable(context, line, 0);
  auto* option = As<platform::OptionButton>(control);
  if (!option) Unsupported(line, control);
  Focus(context, control);
  option->SetValue(true);
}

// The text becomes the lines given, each ending in CR LF (none: empty).
void Lines(ScriptContext& context, const ScriptLine& line) {
  Control& control = Reachable(context, line, 0);
  auto* box = As<platform::TextBox>(control);
  if (!box) Unsupported(line, control);
  std::string text;
  for (std::size_t i = 1; i < line.args.size(); ++i) text.append(line.args[i].text).append("\r\n");
  Focus(context, control);
  box->SetText(std::move(text));
}

}  // namespace

void AddDialogActions(ScriptActions& actions) {
  actions.Add("choose", {1, 1, "choose OPTION", Choose});
  actions.Add("lines", {1, 1000, "lines TEXTBOX [LINE...]", Lines});
}

void DriveModalDialogs(platform::Form& owner, ScriptContext* context) {
  if (context == nullptr) {
    owner.SetModalLoop(nullptr);
    return;
  }
  owner.SetModalLoop([context](platform::Form& dialog) { RunModalDialog(*context, dialog); });
}

}  // namespace host
