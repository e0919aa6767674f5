// The common file-open dialog's Show, and the dialogs that answer from a script.
#include "runtime/FileDialog.h"

namespace platform {

void CommonDialog::ShowOpen() {
  std::optional<std::string> chosen = backend_ ? backend_->ShowOpen(request_) : std::nullopt;
  request_.fileName = chosen ? std::move(*chosen) : std::string();
}

std::optional<std::string> ScriptedFileDialogs::ShowOpen(const FileDialogRequest& request) {
  shown_.push_back(request);
  if (answers_.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(answers_.front());
  answers_.pop_front();
  return answer;
}

}  // namespace platform
