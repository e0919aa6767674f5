// Test backend of MessageBoxes: records every message and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "runtime/MessageBox.h"

namespace platform::testing {

class RecordingMessageBoxes : public MessageBoxes {
 public:
  struct Message {
    std::string prompt;
    std::int32_t buttons;
    std::string title;
  };

  MsgBoxResult Show(std::string_view prompt, std::int32_t buttons = mb::OKOnly,
                    std::string_view title = {}) override;

  // Answers given to the next boxes, in order; a box without a scripted answer gets its first button.
  void Answer(MsgBoxResult result) { answers_.push_back(result); }

  const std::vector<Message>& Messages() const noexcept { return messages_; }
  std::vector<std::string> Prompts() const;
  void Clear() { messages_.clear(); }

 private:
  std::vector<Message> messages_;
  std::deque<MsgBoxResult> answers_;
};

}  // namespace platform::testing
