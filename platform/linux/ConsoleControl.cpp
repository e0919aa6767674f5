// Linux backend of console control events: a thread that takes SIGINT and SIGTERM with
// sigtimedwait, in short steps so that removing the handler ends it promptly.
#include "platform/ConsoleControl.h"

#include <signal.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "StopSignals.h"

namespace platform {

namespace {

constexpr int kStepMs = 100;

class SignalConsoleControl final : public ConsoleControl {
 public:
  SignalConsoleControl() {
    linux_backend::BlockStopSignals();
    // A program whose output goes to a pipe nobody reads any more gets a failed write, not its end.
    ::signal(SIGPIPE, SIG_IGN);
  }
  ~SignalConsoleControl() override { RemoveHandler(); }

  bool SetHandler(ConsoleCtrlHandler handler) override {
    RemoveHandler();
    handler_ = std::move(handler);
    running_ = true;
    try {
      thread_ = std::thread([this] { TakeSignals(); });
    } catch (const std::system_error&) {
      running_ = false;
      return false;
    }
    return true;
  }

  void RemoveHandler() override {
    running_ = false;
    if (thread_.joinable()) thread_.join();
  }

 private:
  void TakeSignals() {
    linux_backend::BlockStopSignals();
    while (running_) {
      const int signal = linux_backend::TakeStopSignal(kStepMs);
      if (signal == SIGINT) handler_(kCtrlCEvent);
      if (signal == SIGTERM) handler_(kCtrlCloseEvent);
    }
    linux_backend::ForgetStop();
  }

  ConsoleCtrlHandler handler_;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

}  // namespace

std::unique_ptr<ConsoleControl> OpenConsoleControl() {
  return std::make_unique<SignalConsoleControl>();
}

}  // namespace platform
