// Message boxes on standard error, one line each, answered with their first button.
#include "runtime/MessageBox.h"

#include <ostream>
#include <utility>

namespace platform {

MsgBoxResult FirstButton(std::int32_t buttons) {
  switch (buttons & mb::ButtonsMask) {
    case mb::AbortRetryIgnore:
      return MsgBoxResult::Abort;
    case mb::YesNoCancel:
    case mb::YesNo:
      return MsgBoxResult::Yes;
    case mb::RetryCancel:
      return MsgBoxResult::Retry;
    default:
      return MsgBoxResult::OK;
  }
}

StderrMessageBoxes::StderrMessageBoxes(std::ostream& out, std::string defaultTitle)
    : out_(out), defaultTitle_(std::move(defaultTitle)) {}

MsgBoxResult StderrMessageBoxes::Show(std::string_view prompt, std::int32_t buttons, std::string_view title) {
  std::string line(title.empty() ? std::string_view(defaultTitle_) : title);
  line += ": ";
  for (std::size_t i = 0; i < prompt.size(); ++i) {
    const char c = prompt[i];
    if (c == '\r' || c == '\n') {
      line += "\\n";
      if (c == '\r' && i + 1 < prompt.size() && prompt[i + 1] == '\n') ++i;  // CR LF is one line break
    } else {
      line += c;
    }
  }
  line += '\n';
  out_ << line << std::flush;
  return FirstButton(buttons);
}

}  // namespace platform
