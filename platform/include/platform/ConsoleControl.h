// Console control events: the request of an interactive user (Ctrl+C) or of the system to end a
// program that runs as a plain process.
//
// Keeps: one handler for the process (SetConsoleCtrlHandler), called on a thread of its own with the
// event's code; its result says whether it handled the event. Leaves out: a chain of handlers,
// ignoring Ctrl+C, generating events.
//
// Backends: OpenConsoleControl() on Linux turns SIGINT into CTRL_C_EVENT and SIGTERM into
// CTRL_CLOSE_EVENT. Creating it blocks both signals in the calling thread, which every thread
// started afterwards inherits: create it first thing in main, before any thread exists, so the
// signals reach only the thread that takes them. Signals that arrive while no handler is set stay
// pending and reach the next handler. It also ignores SIGPIPE for the process, so that a write to a
// closed pipe (standard output read by `head -1`) fails instead of ending the program.
// ScriptedConsoleControl in platform/testing raises events on request.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

inline constexpr std::uint32_t kCtrlCEvent = 0;
inline constexpr std::uint32_t kCtrlBreakEvent = 1;
inline constexpr std::uint32_t kCtrlCloseEvent = 2;

using ConsoleCtrlHandler = std::function<bool(std::uint32_t ctrlType)>;

class ConsoleControl {
 public:
  virtual ~ConsoleControl() = default;
  // Replaces the handler; false when it cannot be installed.
  [[nodiscard, gnu::warn_unused_result]] virtual bool SetHandler(ConsoleCtrlHandler handler) = 0;
  // Returns once no handler call is running or will start.
  virtual void RemoveHandler() = 0;
};

std::unique_ptr<ConsoleControl> OpenConsoleControl();

}  // namespace platform
