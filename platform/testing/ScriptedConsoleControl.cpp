// Console control events raised by the test and handled on its thread; installing fails by countdown.
#include "platform/testing/ScriptedConsoleControl.h"

namespace platform::testing {

bool ScriptedConsoleControl::SetHandler(ConsoleCtrlHandler handler) {
  if (setHandlerFaults.Next() != 0) return false;
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
  return true;
}

void ScriptedConsoleControl::RemoveHandler() {
  std::lock_guard lock(mutex_);
  handler_ = nullptr;
}

bool ScriptedConsoleControl::Raise(std::uint32_t ctrlType) {
  // Held during the call, so RemoveHandler returns only when no call runs.
  std::lock_guard lock(mutex_);
  if (!handler_) return false;
  handler_(ctrlType);
  return true;
}

bool ScriptedConsoleControl::HasHandler() const {
  std::lock_guard lock(mutex_);
  return static_cast<bool>(handler_);
}

}  // namespace platform::testing
