// A clock that moves only when the test advances it. Timed waits and timers of the test backends run
// on it, so tests never sleep for a timer: they advance the clock instead, and waiters and queues
// recheck their deadlines at once.
#pragma once

#include <memory>
#include <vector>

#include "platform/Clock.h"

namespace platform::testing {

class VirtualClock final : public Clock {
 public:
  Ms Now() override;
  void WaitStep(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, std::optional<Ms> deadline,
                std::chrono::milliseconds slice) override;
  void OnAdvance(std::weak_ptr<std::function<void()>> wake) override;

  void Advance(Ms milliseconds);
  // Moves the clock to `when` unless it is there already.
  void AdvanceTo(Ms when);
  // How many timed waits (waits with a deadline) are blocked right now.
  int Sleepers() const;

 private:
  void Wake();

  mutable std::mutex mutex_;
  Ms now_ = 0;
  int sleepers_ = 0;
  std::vector<std::weak_ptr<std::function<void()>>> wakes_;
};

}  // namespace platform::testing
