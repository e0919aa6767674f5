// The rules of events, waits and threads, written once for every backend. A backend supplies the
// clock, the way named events are kept and (tests) the faults to inject. Not part of the public
// platform interface.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Threading.h"

namespace platform::detail {

enum class TakeResult { Taken, NotSignalled, Failed };

// The state of one event. Every call is made with the owning hub's mutex held.
class EventState {
 public:
  virtual ~EventState() = default;
  // Takes the event when it is signalled (an auto-reset event is cleared by it).
  virtual TakeResult TryTake() = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual bool Set() = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual bool Reset() = 0;
  // Whether the event is signalled now, for a wait for all; none when it cannot be part of one.
  virtual std::optional<bool> Peek() = 0;
  // True when something outside this process can signal it, so that waits must poll it.
  virtual bool Polled() const = 0;
};

// Makes the state of a named event that is shared beyond the process (Linux: a lock file).
class NamedEventSource {
 public:
  virtual ~NamedEventSource() = default;
  virtual std::shared_ptr<EventState> Create(std::string_view name, bool manualReset, bool initialState,
                                             long& error) = 0;
};

// Faults a test backend injects: each returns 0, or the Win32 code with which the operation fails.
struct ThreadingFaults {
  std::function<long()> eventCreation;
  std::function<long()> threadCreation;
};

// `named` null: named events are kept inside the process.
std::unique_ptr<Threading> MakeThreading(std::shared_ptr<Clock> clock,
                                         std::unique_ptr<NamedEventSource> named, ThreadingFaults faults);

// Gives the calling thread the id `id` (for threads the platform starts, whose id is known before
// they run). Only before the thread has asked for its id.
void AdoptThreadId(ThreadId id);
ThreadId NewThreadId();

}  // namespace platform::detail
