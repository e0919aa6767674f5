// The steady clock: std::chrono::steady_clock, which is CLOCK_MONOTONIC on Linux.
#include "platform/Clock.h"

namespace platform {

namespace {

class MonotonicClock final : public Clock {
 public:
  Ms Now() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  void WaitStep(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, std::optional<Ms> deadline,
                std::chrono::milliseconds slice) override {
    std::chrono::milliseconds step = slice;
    if (deadline) {
      const Ms remaining = *deadline - Now();
      if (remaining <= 0) return;
      if (remaining < step.count()) step = std::chrono::milliseconds(remaining);
    }
    cv.wait_for(lock, step);
  }
};

}  // namespace

std::shared_ptr<Clock> SteadyClock() {
  static const std::shared_ptr<Clock> clock = std::make_shared<MonotonicClock>();
  return clock;
}

}  // namespace platform
