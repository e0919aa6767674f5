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
#include "platform/FileDialog.h"
#include "platform/Forms.h"
#include "platform/ModalForms.h"

namespace host {

class ScriptModalForms;

struct ScriptWord {
  std::string text;
  bool quoted = false;
};

struct ScriptLine {
  int number = 0;  // from 1
  std::string action;
  std::vector<ScriptWord> args;
};

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
                platform::ScriptedFileDialogs& dialogs, ScriptModalForms* modalForms = nullptr)
      : form(editor), boxes(messageBoxes), fileDialogs(dialogs), modal(modalForms) {}
  // The context of a dialog shown modally while `outer` runs: actions address the dialog's form;
  // answers are kept by the outermost context.
  ScriptContext(ScriptContext& outer, platform::Form& dialog)
      : form(dialog),
        boxes(outer.boxes),
        fileDialogs(outer.fileDialogs),
        modal(outer.modal),
        root_(outer.root_) {}

  void QueueAnswer(int line, platform::MsgBoxResult answer);
  void QueueFile(int line, std::optional<std::string> path);
  // Throws ScriptError naming the line of the first answer no dialog took.
  void CheckAnswersTaken() const;

  platform::Form& form;
  QueuedMessageBoxes& boxes;
  platform::ScriptedFileDialogs& fileDialogs;
  ScriptModalForms* modal;

 private:
  ScriptContext* root_ = this;
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
// inside is one quote), "#" starting a comment line. Every line's action and argument count are
// checked against `actions` before anything runs. Throws ScriptError.
std::vector<ScriptLine> ParseScript(std::istream& in, const ScriptActions& actions);

// Runs the lines in order; the first failing line throws ScriptError. A run-time error that escapes
// an action (the control's handlers trap their own) fails its line too. At the end every queued
// answer must have been taken.
void RunScript(const std::vector<ScriptLine>& lines, const ScriptActions& actions, ScriptContext& context);

// The control's modal dialogs under a script: the lines after the one that opened a dialog act on
// the dialog's form until the dialog closes (OK, Cancel, ...). A line that fails inside a dialog, or
// a script that ends while a dialog is open, closes the dialog as it stands and fails the script
// once the line that opened it returns; the control's error traps never see script faults.
class ScriptModalForms : public platform::ModalForms {
 public:
  void ShowModal(platform::Form& form, const std::function<bool()>& shown) override;

 private:
  friend void RunScript(const std::vector<ScriptLine>&, const ScriptActions&, ScriptContext&);
  // Runs lines in `context` while `shown` (when given) answers true.
  void RunLines(ScriptContext& context, const std::function<bool()>* shown);

  const std::vector<ScriptLine>* lines_ = nullptr;
  const ScriptActions* actions_ = nullptr;
  ScriptContext* context_ = nullptr;
  std::size_t next_ = 0;
  std::optional<ScriptError> failure_;
};

}  // namespace host
