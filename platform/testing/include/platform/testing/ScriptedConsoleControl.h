// Test backend of console control events: the test raises an event and the handler runs on the
// test's thread; installing the handler can fail by countdown.
#pragma once

#include <mutex>

#include "platform/ConsoleControl.h"
#include "platform/testing/FaultCountdown.h"

namespace platform::testing {

class ScriptedConsoleControl final : public ConsoleControl {
 public:
  [[nodiscard, gnu::warn_unused_result]] bool SetHandler(ConsoleCtrlHandler handler) override;
  void RemoveHandler() override;

  // Calls the handler with `ctrlType`; false when no handler is set (the event is then lost, as a
  // console event without a handler ends the process on the platform).
  bool Raise(std::uint32_t ctrlType);
  bool HasHandler() const;

  FaultCountdown setHandlerFaults;

 private:
  mutable std::mutex mutex_;
  ConsoleCtrlHandler handler_;
};

}  // namespace platform::testing
