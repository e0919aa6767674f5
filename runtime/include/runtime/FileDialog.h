// The common file-open dialog.
//
// Keeps: the dialog control's initial directory, filter ("description|pattern|description|..."),
// title and file name, and showing the dialog for opening a file. Showing asks the backend which file
// the user chooses; FileName then holds the chosen path, or "" when the user cancels (cancelling
// raises no error). Leaves out: save dialogs, multiple selection, the dialog's flags, and the colour,
// font and print dialogs.
//
// Backends: ScriptedFileDialogs answers from a queue of choices and records every dialog it was asked
// to show. Tests script it, and so do hosts that drive the editor from a script; there is no
// interactive backend, as no host here has a screen.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// What a dialog shows when it opens.
struct FileDialogRequest {
  std::string initDir;
  std::string filter;
  std::string title;
  std::string fileName;
};

// The user in front of the dialogs.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // The file chosen in an open dialog, or nullopt when the user cancels.
  virtual std::optional<std::string> ShowOpen(const FileDialogRequest& request) = 0;
};

// The dialog control a form holds.
class CommonDialog {
 public:
  // Without a backend nobody can choose: every dialog ends as if cancelled.
  explicit CommonDialog(FileDialogs* backend) : backend_(backend) {}

  const std::string& InitDir() const noexcept { return request_.initDir; }
  void SetInitDir(std::string dir) { request_.initDir = std::move(dir); }
  const std::string& Filter() const noexcept { return request_.filter; }
  void SetFilter(std::string filter) { request_.filter = std::move(filter); }
  const std::string& DialogTitle() const noexcept { return request_.title; }
  void SetDialogTitle(std::string title) { request_.title = std::move(title); }
  const std::string& FileName() const noexcept { return request_.fileName; }
  void SetFileName(std::string name) { request_.fileName = std::move(name); }

  // Shows the open dialog; afterwards FileName is the chosen file, "" when the user cancelled.
  void ShowOpen();

 private:
  FileDialogs* backend_;
  FileDialogRequest request_;
};

// Answers dialogs from a script: each dialog takes the next scripted answer; a dialog for which no
// answer is left is cancelled. Every dialog shown is recorded.
class ScriptedFileDialogs : public FileDialogs {
 public:
  void Choose(std::string path) { answers_.emplace_back(std::move(path)); }
  void Cancel() { answers_.emplace_back(std::nullopt); }

  std::optional<std::string> ShowOpen(const FileDialogRequest& request) override;

  const std::vector<FileDialogRequest>& Shown() const noexcept { return shown_; }
  // Answers scripted but not yet taken by a dialog.
  std::size_t PendingAnswers() const noexcept { return answers_.size(); }
  void ClearAnswers() { answers_.clear(); }

 private:
  std::deque<std::optional<std::string>> answers_;
  std::vector<FileDialogRequest> shown_;
};

}  // namespace platform
