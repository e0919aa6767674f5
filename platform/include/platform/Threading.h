// Events, waits and threads.
//
// Keeps: auto-reset and manual-reset events, unnamed or named; a wait for one event, or for any or
// all of at most 64 (MAXIMUM_WAIT_OBJECTS), with a time-out in milliseconds or kInfinite; a wait for
// any returns the lowest signalled index, and an auto-reset event is cleared by the wait that takes
// it; threads that run a function, each with an id. Closing an event is dropping its last handle;
// a Thread object joins its thread when it is destroyed (the platform's handle would only be
// closed, but nothing here may outlive the objects it uses).
// Leaves out: mutexes, semaphores, waitable timers, alertable waits, security attributes, thread
// priorities, suspension and exit codes.
//
// Named events: within one process, every event created with the same name is the same event.
// On Linux a named event is also shared by the processes of the same user: it is kept as an flock
// on the lock file "<folder>/<name>.lock" (mode 0600), opened afresh for each acquisition, so it
// excludes two threads of one process as well as two processes, and the kernel releases it at once
// when its holder dies. Such an event is auto-reset and created signalled (signalled = nobody
// holds it); Set releases it when it was taken through this process, and does nothing otherwise;
// Reset and a wait for all are refused with ERROR_INVALID_PARAMETER. Waits on it poll every few
// milliseconds against the monotonic clock. The folder is $TESSERY_LOCK_DIR when set, otherwise
// /run/tessery for root and /tmp/tessery-<uid> for other users (created with mode 0700 whatever the
// umask, folders above it 0755). A lock folder that is a symbolic link, not a folder, another user's,
// or writable by group or others (unless it is sticky and the lock file is the user's alone) is
// refused with ERROR_ACCESS_DENIED, details naming it (ErrorDescription).
//
// Backends: OpenThreading() on Linux; OpenTestThreading() in platform/testing runs the same code on
// a virtual clock, keeps named events in the process and can fail event and thread creation by
// countdown.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

namespace platform {

// The id of a thread, never 0; ids are handed out per process in the order threads first ask.
using ThreadId = std::uint32_t;
ThreadId CurrentThreadId();

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
inline constexpr std::size_t kMaximumWaitObjects = 64;

class Event {
 public:
  virtual ~Event() = default;
  [[nodiscard, gnu::warn_unused_result]] virtual bool Set() = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual bool Reset() = 0;
};
using EventHandle = std::shared_ptr<Event>;

class Thread {
 public:
  virtual ~Thread() = default;  // joins the thread
  virtual ThreadId Id() const = 0;
  // Waits until the thread's function has returned.
  virtual void Join() = 0;
};

class Threading {
 public:
  virtual ~Threading() = default;

  // `name` empty: an unnamed event. On failure returns null and sets `error` to a Win32 code.
  [[nodiscard, gnu::warn_unused_result]] virtual EventHandle CreateEvent(bool manualReset, bool initialState,
                                                                         std::string_view name,
                                                                         long& error) = 0;

  // kWaitObject0 when the event was taken, kWaitTimeout, or kWaitFailed (an event of another
  // Threading, or a named event that could not be polled).
  [[nodiscard, gnu::warn_unused_result]] virtual std::uint32_t WaitForSingleObject(
      Event& event, std::uint32_t timeoutMs) = 0;

  // Any: kWaitObject0 + the lowest signalled index. All: kWaitObject0 once every event is
  // signalled at the same moment; they are taken together. kWaitFailed for no events, more than
  // kMaximumWaitObjects, null entries, or events this wait cannot serve.
  [[nodiscard, gnu::warn_unused_result]] virtual std::uint32_t WaitForMultipleObjects(
      std::span<Event* const> events, bool waitAll, std::uint32_t timeoutMs) = 0;

  // Starts `body` on a new thread at once. On failure returns null and sets `error`.
  [[nodiscard, gnu::warn_unused_result]] virtual std::unique_ptr<Thread> CreateThread(
      std::function<void()> body, long& error) = 0;
};

std::unique_ptr<Threading> OpenThreading();

// The folder of the named events' lock files (see above).
std::filesystem::path NamedEventFolder();

}  // namespace platform
