#include "host/EditScript.h"

#include <algorithm>
#include <utility>

#include "host/EditorActions.h"
#include "runtime/Ascii.h"
#include "runtime/Error.h"

namespace host {
namespace {

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

// ---- the actions: words to the action layer's arguments ------------------------------------------

namespace act = actions;

act::Number Num(const ScriptLine& line, std::size_t arg) {
  return act::Number::Parse(line.args.at(arg).text);
}

// An item of a list or combo: its exact text, or #N (unquoted) for the item at index N.
act::Item ItemWord(const ScriptLine& line, std::size_t arg) {
  const ScriptWord& word = line.args.at(arg);
  const std::string_view digits = std::string_view(word.text).substr(word.text.empty() ? 0 : 1);
  if (!word.quoted && word.text.size() > 1 && word.text[0] == '#' &&
      std::all_of(digits.begin(), digits.end(), platform::IsAsciiDigit)) {
    return act::Item::At(act::Number::Parse(digits));
  }
  return act::Item::Text(word.text);
}

std::string_view Word(const ScriptLine& line, std::size_t arg) {
  return line.args.at(arg).text;
}

void Tab(ScriptContext& context, const ScriptLine& line) {
  const ScriptWord& which = line.args.back();
  std::optional<std::string_view> tabs;
  if (line.args.size() == 2) tabs = Word(line, 0);
  act::Tab(context.form, tabs, act::TabRef{which.text, !which.quoted});
}

void Click(ScriptContext& context, const ScriptLine& line) {
  act::Click(context.form, Word(line, 0));
}

void DblClick(ScriptContext& context, const ScriptLine& line) {
  std::optional<act::Item> item;
  if (line.args.size() > 1) item = ItemWord(line, 1);
  act::DblClick(context.form, Word(line, 0), item);
}

void Select(ScriptContext& context, const ScriptLine& line, bool selected) {
  act::Select(context.form, Word(line, 0), ItemWord(line, 1), selected);
}

void Text(ScriptContext& context, const ScriptLine& line) {
  act::Text(context.form, Word(line, 0), line.args.at(1).text);
}

void KeyPress(ScriptContext& context, const ScriptLine& line) {
  act::KeyPress(context.form, Word(line, 0), Num(line, 1));
}

void KeyDown(ScriptContext& context, const ScriptLine& line) {
  act::KeyDown(context.form, Word(line, 0), Num(line, 1),
               line.args.size() > 2 ? Num(line, 2) : act::Number::Of(0));
}

void Type(ScriptContext& context, const ScriptLine& line) {
  act::Type(context.form, Word(line, 0), line.args.at(1).text);
}

void Cell(ScriptContext& context, const ScriptLine& line) {
  act::Cell(context.form, Word(line, 0), Num(line, 1), Num(line, 2));
}

void Pick(ScriptContext& context, const ScriptLine& line) {
  act::Pick(context.form, Word(line, 0), Num(line, 1), Num(line, 2), ItemWord(line, 3));
}

void FocusAction(ScriptContext& context, const ScriptLine& line) {
  act::Focus(context.form, Word(line, 0));
}

void Answer(ScriptContext& context, const ScriptLine& line) {
  const std::string kind = platform::AsciiLowered(line.args.at(0).text);
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
    // A comment line is known by its first character before it is split into words, so it may hold
    // anything (a lone quote included).
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first != std::string::npos && text[first] == '#') continue;
    std::vector<ScriptWord> words = SplitWords(text, number);
    if (words.empty()) continue;
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
  } catch (const actions::Refused& e) {
    throw ScriptError(line.number, e.what());
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
  actions::Choose(context.form, line.args.at(0).text);
}

// The text becomes the lines given, each ending in CR LF (none: empty).
void Lines(ScriptContext& context, const ScriptLine& line) {
  std::vector<std::string> lines;
  for (std::size_t i = 1; i < line.args.size(); ++i) lines.push_back(line.args[i].text);
  actions::Lines(context.form, line.args.at(0).text, lines);
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
