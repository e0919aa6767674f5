// Message boxes for tests: every message recorded, answers taken from a script.
#include "runtime/testing/RecordingMessageBoxes.h"

namespace platform::testing {

MsgBoxResult RecordingMessageBoxes::Show(std::string_view prompt, std::int32_t buttons,
                                         std::string_view title) {
  messages_.push_back(Message{std::string(prompt), buttons, std::string(title)});
  if (answers_.empty()) return FirstButton(buttons);
  const MsgBoxResult answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::vector<std::string> RecordingMessageBoxes::Prompts() const {
  std::vector<std::string> prompts;
  prompts.reserve(messages_.size());
  for (const Message& message : messages_) prompts.push_back(message.prompt);
  return prompts;
}

}  // namespace platform::testing
