// Test backend of the thread message queue: the platform's rules on a virtual clock; SetTimer fails
// by countdown; the pending timers can be looked at.
#pragma once

#include <memory>
#include <vector>

#include "platform/Clock.h"
#include "platform/MessageQueue.h"
#include "platform/testing/FaultCountdown.h"

namespace platform::testing {

class TestMessaging final : public Messaging {
 public:
  struct Timer {
    ThreadId thread;
    std::uint32_t id;
    Clock::Ms due;
  };

  explicit TestMessaging(std::shared_ptr<Clock> clock);
  ~TestMessaging() override;

  std::unique_ptr<MessageQueue> OpenQueue() override;
  [[nodiscard]] long PostThreadMessage(ThreadId thread, std::uint32_t message, std::uintptr_t wParam,
                                       std::intptr_t lParam) override;

  std::vector<Timer> PendingTimers() const;

  FaultCountdown setTimerFaults;  // the code is not used: a failed SetTimer returns 0

 private:
  struct Core;
  std::unique_ptr<Core> core_;
};

}  // namespace platform::testing
