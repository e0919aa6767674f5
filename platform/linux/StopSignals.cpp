#include "StopSignals.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

namespace platform::linux_backend {

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
  return signal > 0 ? signal : 0;
}

}  // namespace platform::linux_backend
