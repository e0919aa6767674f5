// The virtual clock: time moves when the test advances it, and waiters registered with it recheck at once.
#include "platform/testing/VirtualClock.h"

#include <algorithm>

namespace platform::testing {

Clock::Ms VirtualClock::Now() {
  std::lock_guard lock(mutex_);
  return now_;
}

void VirtualClock::WaitStep(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                            std::optional<Ms> deadline, std::chrono::milliseconds slice) {
  if (deadline) {
    std::lock_guard guard(mutex_);
    if (now_ >= *deadline) return;
    ++sleepers_;
  }
  // Advancing the clock notifies `cv` through the wake registered by its owner; the slice only
  // bounds the cost of a lost notification.
  cv.wait_for(lock, slice);
  if (deadline) {
    std::lock_guard guard(mutex_);
    --sleepers_;
  }
}

void VirtualClock::OnAdvance(std::weak_ptr<std::function<void()>> wake) {
  std::lock_guard lock(mutex_);
  wakes_.push_back(std::move(wake));
}

void VirtualClock::Advance(Ms milliseconds) {
  {
    std::lock_guard lock(mutex_);
    now_ += milliseconds;
  }
  Wake();
}

void VirtualClock::AdvanceTo(Ms when) {
  {
    std::lock_guard lock(mutex_);
    now_ = std::max(now_, when);
  }
  Wake();
}

int VirtualClock::Sleepers() const {
  std::lock_guard lock(mutex_);
  return sleepers_;
}

void VirtualClock::Wake() {
  std::vector<std::shared_ptr<std::function<void()>>> live;
  {
    std::lock_guard lock(mutex_);
    std::erase_if(wakes_, [](const auto& wake) { return wake.expired(); });
    for (const auto& wake : wakes_) {
      if (auto function = wake.lock()) live.push_back(std::move(function));
    }
  }
  // Called without the clock's lock: a wake takes its owner's lock, and owners read the clock
  // while they hold theirs.
  for (const auto& function : live) (*function)();
}

}  // namespace platform::testing
