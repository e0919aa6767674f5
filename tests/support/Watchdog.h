// Waiting in tests: every wait has a watchdog, so a lost wake-up fails the test instead of hanging.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

namespace testsupport {

inline constexpr std::chrono::seconds kWatchdog{20};

// Polls `condition` until it holds (true) or the watchdog expires (false). It looks at state the
// code under test changes; it never waits for a timer to expire.
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds watchdog = kWatchdog) {
  const auto deadline = std::chrono::steady_clock::now() + watchdog;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// For a thread that did not end: joining it would hang and dropping it would crash, so the test
// program ends here with a message.
[[noreturn]] inline void Hung(const char* what) {
  std::fprintf(stderr, "watchdog: %s did not finish\n", what);
  std::fflush(stderr);
  std::abort();
}

}  // namespace testsupport
