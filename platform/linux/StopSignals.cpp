// SIGINT and SIGTERM blocked in every thread and taken by one with sigtimedwait; whether a stop is under way.
#include "StopSignals.h"

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <ctime>

namespace platform::linux_backend {

namespace {

std::atomic<bool> stopTaken{false};

}  // namespace

sigset_t StopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

void BlockStopSignals() {
  const sigset_t set = StopSignalSet();
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int TakeStopSignal(int milliseconds) {
  const sigset_t set = StopSignalSet();
  timespec timeout{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  const int signal = ::sigtimedwait(&set, nullptr, &timeout);
  if (signal <= 0) return 0;
  stopTaken = true;
  return signal;
}

void ForgetStop() {
  stopTaken = false;
}

bool StopUnderWay() {
  if (stopTaken) return true;
  // sigpending reports the signals pending for the process and for the calling thread; a stop signal
  // there is blocked (or it would have been delivered) and waits for its taker.
  sigset_t pending;
  if (::sigpending(&pending) != 0) return false;
  return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1;
}

}  // namespace platform::linux_backend
