// SIGINT and SIGTERM, taken by one thread with sigtimedwait while every thread blocks them. Shared by
// the console control and the service dispatcher of this folder; the backends' long waits (the
// registry's lock) ask StopUnderWay() so that a stop ends them early.
#pragma once

#include <signal.h>

namespace platform::linux_backend {

// The set {SIGINT, SIGTERM}.
sigset_t StopSignalSet();
// Blocks the set in the calling thread (threads started later inherit it).
void BlockStopSignals();
// Waits at most `milliseconds` for one of the set; returns the signal, or 0. A signal taken counts as
// a stop under way until the taker calls ForgetStop().
int TakeStopSignal(int milliseconds);
// Called by a taker of stop signals when it stops taking them: the stop it took is over.
void ForgetStop();
// True while a stop signal waits, blocked, for its taker, or one was taken and not forgotten.
bool StopUnderWay();

}  // namespace platform::linux_backend
