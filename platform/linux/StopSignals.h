// SIGINT and SIGTERM, taken by one thread with sigtimedwait while every thread blocks them. Shared by
// the console control and the service dispatcher of this folder.
#pragma once

#include <signal.h>

namespace platform::linux_backend {

// The set {SIGINT, SIGTERM}.
sigset_t StopSignalSet();
// Blocks the set in the calling thread (threads started later inherit it).
void BlockStopSignals();
// Waits at most `milliseconds` for one of the set; returns the signal, or 0.
int TakeStopSignal(int milliseconds);

}  // namespace platform::linux_backend
