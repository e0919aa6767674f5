// The thread message queue and thread timers, written once for every backend; a backend supplies
// the clock, the time scale and (tests) the faults. Not part of the public platform interface.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/Clock.h"
#include "platform/MessageQueue.h"

namespace platform::detail {

struct PendingTimer {
  ThreadId thread;
  std::uint32_t id;
  Clock::Ms due;
};

// Messaging with a view of its pending timers, for test backends.
class InspectableMessaging : public Messaging {
 public:
  virtual std::vector<PendingTimer> PendingTimers() = 0;
};

struct MessagingFaults {
  std::function<bool()> setTimer;  // true: this SetTimer fails
};

std::unique_ptr<InspectableMessaging> MakeMessaging(std::shared_ptr<Clock> clock, double timeScale,
                                                    MessagingFaults faults);

}  // namespace platform::detail
