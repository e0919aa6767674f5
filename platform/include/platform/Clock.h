// The clock behind the platform's timed waits and timers.
//
// Keeps: a millisecond count that only grows (the tick count), and one step of a timed wait on it.
// Leaves out: wall-clock time, time zones, resolution below a millisecond.
//
// Backends: SteadyClock(), the system's monotonic clock; VirtualClock in platform/testing, which
// moves only when a test advances it, so tests never sleep for a timer.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace platform {

class Clock {
 public:
  using Ms = std::int64_t;

  virtual ~Clock() = default;

  // Milliseconds since an arbitrary start; never decreases.
  virtual Ms Now() = 0;

  // One step of a wait: blocks on `cv`, whose mutex `lock` holds, until it is notified, the clock
  // reaches `deadline` (none: no deadline) or `slice` of real time has passed, whichever comes
  // first. Callers loop: they check their condition and the deadline after every step, so a lost
  // notification costs at most one slice and no wait rests on a single untimed wait.
  virtual void WaitStep(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                        std::optional<Ms> deadline, std::chrono::milliseconds slice) = 0;

  // Registers `wake`, called whenever the clock jumps forward, so that waiters recheck their
  // deadlines at once. The steady clock never jumps and ignores it. Expired registrations are
  // dropped.
  // By value: the clocks that jump keep the registration.
  // NOLINTNEXTLINE(performance-unnecessary-value-param)
  virtual void OnAdvance(std::weak_ptr<std::function<void()>> wake) { (void)wake; }
};

// The system's monotonic clock (CLOCK_MONOTONIC on Linux), shared by everything in the process.
std::shared_ptr<Clock> SteadyClock();

}  // namespace platform
