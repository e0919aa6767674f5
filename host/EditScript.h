// Editor scripts: what a designer does in the control's editor, one action per line, run against the
// control's form by dtchost. The language is described in README.md ("Editor scripts").
//
// Actions are kept in a table, so that an editor part that brings new controls or dialogs adds its
// own actions (or answers to its dialogs) without touching the ones here.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <istream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/ControlHost.h"
#include "runtime/FileDialog.h"
#include "runtime/Forms.h"

namespace host {

struct ScriptWord {
  std::string text;
  bool quoted = false;
};

struct ScriptLine {
  int number = 0;  // from 1
  std::string action;
  std::vector<ScriptWord> args;
};

class ScriptActions;

// A fault of the script itself or of one of its actions; the line is named in the message.
class ScriptError : public std::runtime_error {
 public:
  ScriptError(int line, const std::string& message)
      : std::runtime_error("script line " + std::to_string(line) + ": " + message), line_(line) {}
  int Line() const noexcept { return line_; }

 private:
  int line_;
};

// What the actions work on: the control's form and the host's dialogs. Answers remember the line
// that queued them, so that one no dialog took can be named.
class ScriptContext {
 public:
  ScriptContext(platform::Form& editor, QueuedMessageBoxes& messageBoxes,
                platform::ScriptedFileDialogs& dialogs)
      : form(editor), boxes(messageBoxes), fileDialogs(dialogs) {}

  void QueueAnswer(int line, platform::MsgBoxResult answer);
  void QueueFile(int line, std::optional<std::string> path);
  // Throws ScriptError naming the line of the first answer no dialog took.
  void CheckAnswersTaken() const;

  platform::Form& form;
  QueuedMessageBoxes& boxes;
  platform::ScriptedFileDialogs& fileDialogs;

  // ---- modal dialogs ----
  // A modal dialog opened by an action takes the lines that follow it, until it is hidden; they run
  // in a context of their own (`dialog`, the answers shared with `outer`). A fault inside the dialog
  // cannot travel through the control's code (its error trap would swallow it), so it is kept in
  // `failure` and the line that opened the dialog fails with it.
  ScriptContext(platform::Form& dialog, ScriptContext& outer);
  const std::vector<ScriptLine>* lines = nullptr;
  const ScriptActions* actions = nullptr;
  std::size_t next = 0;  // the next line to run
  std::optional<ScriptError> failure;
  ScriptContext& Outermost() { return outer_ ? outer_->Outermost() : *this; }
  // ---- end of modal dialogs ----

 private:
  ScriptContext* outer_ = nullptr;
  std::vector<int> boxAnswerLines_;
  std::vector<int> fileAnswerLines_;
};

struct ScriptAction {
  std::size_t minArgs;
  std::size_t maxArgs;
  std::string usage;  // "click CONTROL"
  // Runs the line; throws ScriptError for a bad argument.
  std::function<void(ScriptContext&, const ScriptLine&)> run;
};

class ScriptActions {
 public:
  // Adds or replaces the action `name`.
  void Add(std::string name, ScriptAction action) { actions_[std::move(name)] = std::move(action); }
  const ScriptAction* Find(std::string_view name) const;

 private:
  std::map<std::string, ScriptAction, std::less<>> actions_;
};

// The actions on the form controls and the answers to message boxes and file dialogs.
void AddEditorActions(ScriptActions& actions);

// Reads a script: one action per line, words separated by spaces or tabs, "..." quoting a word (""
// inside is one quote); a line whose first character after blanks is "#" is a comment, whatever it
// holds. Every line's action and argument count are checked against `actions` before anything runs.
// Throws ScriptError.
std::vector<ScriptLine> ParseScript(std::istream& in, const ScriptActions& actions);

// Runs the lines in order; the first failing line throws ScriptError. A run-time error that escapes
// an action (the control's handlers trap their own) fails its line too. At the end every queued
// answer must have been taken.
void RunScript(const std::vector<ScriptLine>& lines, const ScriptActions& actions, ScriptContext& context);

// ---- modal dialogs and option buttons ----
// `choose OPTION` and `lines TEXTBOX [LINE...]`.
void AddDialogActions(ScriptActions& actions);
// Lets the script drive the modal dialogs `owner` opens while RunScript runs with `context`: each one
// takes the following lines until it is hidden. Call with nullptr context to stop.
void DriveModalDialogs(platform::Form& owner, ScriptContext* context);

}  // namespace host
