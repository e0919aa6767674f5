// Waking a backend's waiters when its clock moves: timed waits on a virtual clock must look again when
// the test advances the clock. Used by the threading and the messaging backends, whose hubs hold the
// clock, a mutex and a condition variable shared by their objects.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

namespace platform::detail {

// Notifies `hub`'s condition variable at every advance of `hub->clock`, for as long as the hub lives.
// The hub keeps the callback (`hub->wake`); the clock holds it weakly.
template <class Hub>
void WakeOnClockAdvance(const std::shared_ptr<Hub>& hub) {
  std::weak_ptr<Hub> weakHub = hub;
  hub->wake = std::make_shared<std::function<void()>>([weakHub] {
    if (auto locked = weakHub.lock()) {
      // Taking the mutex first: a waiter between its look at the clock and its wait cannot miss this.
      { std::lock_guard lock(locked->mutex); }
      locked->cv.notify_all();
    }
  });
  hub->clock->OnAdvance(hub->wake);
}

}  // namespace platform::detail
