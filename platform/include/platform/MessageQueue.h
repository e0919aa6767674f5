// The thread message queue and thread timers.
//
// Keeps: one queue per thread, opened by the thread itself; posting a message to a thread by its id
// (PostThreadMessage; it fails with ERROR_INVALID_THREAD_ID when the thread has no queue open);
// getting the next message (GetMessage: 0 for WM_QUIT, which ends a message loop) and dispatching
// it (a WM_TIMER message calls its timer's procedure on the thread that set the timer); thread
// timers without a window (SetTimer with no window and id 0: a new nonzero id, or 0 on failure;
// KillTimer). Posted messages come before due timers. A timer here is one-shot: it fires once, the
// period after it was set, and is then gone; callers that want another tick set it again.
// Leaves out: windows and window messages, message translation, PeekMessage, message filters,
// periodic timers.
//
// Backends: OpenMessaging() on Linux runs on the steady clock; $TESSERY_TIME_SCALE (a positive
// number, default 1) divides every timer period, for demos, leaving at least 1 ms. The test backend
// in platform/testing runs on a virtual clock (a timer fires when the test advances the clock) and
// can fail SetTimer by countdown.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Threading.h"

namespace platform {

inline constexpr std::uint32_t kWmQuit = 0x0012;
inline constexpr std::uint32_t kWmTimer = 0x0113;
inline constexpr long kErrorInvalidThreadId = 1444;  // ERROR_INVALID_THREAD_ID

using TimerProc = std::function<void(std::uint32_t timerId)>;

struct Message {
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;  // WM_TIMER: the timer id; WM_QUIT: the exit code
  std::intptr_t lParam = 0;
  TimerProc timerProc;  // WM_TIMER: the procedure of the timer
};

// The queue of the thread that opened it; its calls are made on that thread.
class MessageQueue {
 public:
  virtual ~MessageQueue() = default;  // the thread has no queue any more; its timers are gone

  virtual ThreadId Owner() const = 0;
  // Blocks until a message is there: 1 for a message, 0 for WM_QUIT, -1 on failure.
  [[nodiscard, gnu::warn_unused_result]] virtual int GetMessage(Message& message) = 0;
  // Calls the procedure of a WM_TIMER message; other messages have no window to go to. Returns 0.
  virtual std::intptr_t DispatchMessage(const Message& message) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual std::uint32_t SetTimer(std::uint32_t periodMs,
                                                                        TimerProc proc) = 0;
  // False when no such timer of this thread is pending.
  [[nodiscard, gnu::warn_unused_result]] virtual bool KillTimer(std::uint32_t timerId) = 0;
};

class Messaging {
 public:
  virtual ~Messaging() = default;
  // Opens the calling thread's queue; null when the thread has one open already.
  virtual std::unique_ptr<MessageQueue> OpenQueue() = 0;
  // Returns 0, or kErrorInvalidThreadId when the thread has no queue open.
  [[nodiscard, gnu::warn_unused_result]] virtual long PostThreadMessage(ThreadId thread,
                                                                        std::uint32_t message,
                                                                        std::uintptr_t wParam,
                                                                        std::intptr_t lParam) = 0;
};

std::unique_ptr<Messaging> OpenMessaging();

// The divisor of timer periods: $TESSERY_TIME_SCALE when it is a positive number, else 1.
double TimeScaleFromEnvironment();

}  // namespace platform
