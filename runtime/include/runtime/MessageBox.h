// Modal message boxes: every message the system shows goes through one MessageBoxes service.
//
// Keeps: the prompt, the button set and icon flags, the title (empty: the program's default title)
// and the button the user chose. Leaves out: help buttons, default-button flags and system-modal
// flags.
//
// Backends: StderrMessageBoxes for hosts without a screen (one line per message on an output
// stream, answered with the box's first button); the recording backend in runtime/testing.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace platform {

// Button sets and icons, combined with |.
namespace mb {
inline constexpr std::int32_t OKOnly = 0;
inline constexpr std::int32_t OKCancel = 1;
inline constexpr std::int32_t AbortRetryIgnore = 2;
inline constexpr std::int32_t YesNoCancel = 3;
inline constexpr std::int32_t YesNo = 4;
inline constexpr std::int32_t RetryCancel = 5;
inline constexpr std::int32_t Critical = 16;
inline constexpr std::int32_t Question = 32;
inline constexpr std::int32_t Exclamation = 48;
inline constexpr std::int32_t Information = 64;
inline constexpr std::int32_t ButtonsMask = 0x7;
}  // namespace mb

enum class MsgBoxResult : std::int32_t {
  OK = 1,
  Cancel = 2,
  Abort = 3,
  Retry = 4,
  Ignore = 5,
  Yes = 6,
  No = 7
};

// The answer a box gets when nobody chooses: its first button (OK, Abort, Yes or Retry).
MsgBoxResult FirstButton(std::int32_t buttons);

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual MsgBoxResult Show(std::string_view prompt, std::int32_t buttons = mb::OKOnly,
                            std::string_view title = {}) = 0;
};

// Writes each message as one line, "<title>: <prompt>" (the default title when none is given), with
// line breaks inside the prompt shown as "\n", and answers with the first button.
class StderrMessageBoxes : public MessageBoxes {
 public:
  StderrMessageBoxes(std::ostream& out, std::string defaultTitle);
  MsgBoxResult Show(std::string_view prompt, std::int32_t buttons = mb::OKOnly,
                    std::string_view title = {}) override;

 private:
  std::ostream& out_;
  std::string defaultTitle_;
};

}  // namespace platform
