// A running service whose batch cycles a benchmark starts one at a time: a ServiceModule on the Linux
// events, waits and threads (the ones tillmoor runs on), with its batch timer on a virtual clock that
// the benchmark moves to fire it. The registry (the service's parameters) and the batch work are the
// benchmark's; the service manager, event log, console and COM apartment are the test backends.
//
// A cycle ends by re-arming the batch timer, its last step. The queue the service thread opens tells
// the benchmark of every SetTimer at once, so the benchmark blocks until then: a benchmark thread that
// polled for the new timer would take processor time from the cycle it is timing.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "Setup.h"
#include "platform/Registry.h"
#include "platform/Threading.h"
#include "platform/testing/RecordingEventLog.h"
#include "platform/testing/ScriptedConsoleControl.h"
#include "platform/testing/ScriptedServiceManager.h"
#include "platform/testing/TestComApartment.h"
#include "platform/testing/TestMessaging.h"
#include "platform/testing/VirtualClock.h"
#include "runtime/testing/RecordingMessageBoxes.h"
#include "service/ServiceModule.h"
#include "support/TempFolder.h"

namespace bench {

class ServiceCycles {
 public:
  // Starts the service with `workers` payment workers (ThreadCount, written to `registry`) and waits
  // until it has armed its first timer. Throws std::runtime_error when it does not start.
  ServiceCycles(platform::Registry& registry, tillmoor::BatchWork& work, std::uint32_t workers)
      : registry_(registry), work_(work) {
    ::setenv("TESSERY_LOCK_DIR", (locks_.Path() / "locks").c_str(), 1);  // the run guard's lock file
    SetRegistryValue(registry_, platform::RootKey::ClassesRoot, tillmoor::kAppIdKey, "LocalService",
                     platform::RegistryValue::String("x"));
    SetRegistryValue(registry_, platform::RootKey::LocalMachine,
                     "SYSTEM\\CurrentControlSet\\Services\\Tillmoor\\Parameters", "ThreadCount",
                     platform::RegistryValue::DWord(workers));
    process_ = std::thread([this] {
      platform::IgnoreResult(module_.Start(""),
                             "the benchmark measures cycles, not how the process would exit");
    });
    if (!scm_.WaitForState(platform::svc::kServiceRunning) || !messaging_.WaitForArm(0)) {
      Stop();
      throw std::runtime_error("the service did not start its timer: " + out_.str());
    }
  }
  ~ServiceCycles() { Stop(); }

  ServiceCycles(const ServiceCycles&) = delete;
  ServiceCycles& operator=(const ServiceCycles&) = delete;

  tillmoor::ServiceModule& Module() { return module_; }
  platform::Threading& Threading() { return *threading_; }
  // What the service reported (in service mode: the event log's messages).
  std::vector<std::string> Reports() const { return eventLog_.Texts(); }

  // Fires the timer and returns when the cycle has re-armed it, that is when it has ended; false when
  // that did not happen within ten minutes.
  bool RunCycle() {
    const auto timers = messaging_.Inner().PendingTimers();
    if (timers.size() != 1) return false;
    const std::uint64_t armed = messaging_.Arms();
    clock_->AdvanceTo(timers[0].due);
    return messaging_.WaitForArm(armed);
  }

 private:
  // The test backend's messaging, counting the timers its queues set.
  class ArmSignals final : public platform::Messaging {
   public:
    explicit ArmSignals(std::shared_ptr<platform::Clock> clock) : inner_(std::move(clock)) {}

    std::unique_ptr<platform::MessageQueue> OpenQueue() override {
      std::unique_ptr<platform::MessageQueue> queue = inner_.OpenQueue();
      return queue ? std::make_unique<Queue>(std::move(queue), *this) : nullptr;
    }
    long PostThreadMessage(platform::ThreadId thread, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) override {
      return inner_.PostThreadMessage(thread, message, wParam, lParam);
    }

    platform::testing::TestMessaging& Inner() { return inner_; }
    std::uint64_t Arms() {
      std::lock_guard lock(mutex_);
      return arms_;
    }
    // Waits until more than `seen` timers have been set; false after ten minutes.
    bool WaitForArm(std::uint64_t seen) {
      std::unique_lock lock(mutex_);
      return armed_.wait_for(lock, std::chrono::minutes(10), [&] { return arms_ > seen; });
    }

   private:
    class Queue final : public platform::MessageQueue {
     public:
      Queue(std::unique_ptr<platform::MessageQueue> inner, ArmSignals& signals)
          : inner_(std::move(inner)), signals_(signals) {}
      platform::ThreadId Owner() const override { return inner_->Owner(); }
      int GetMessage(platform::Message& message) override { return inner_->GetMessage(message); }
      std::intptr_t DispatchMessage(const platform::Message& message) override {
        return inner_->DispatchMessage(message);
      }
      std::uint32_t SetTimer(std::uint32_t periodMs, platform::TimerProc proc) override {
        const std::uint32_t id = inner_->SetTimer(periodMs, std::move(proc));
        if (id != 0) {
          {
            std::lock_guard lock(signals_.mutex_);
            ++signals_.arms_;
          }
          signals_.armed_.notify_all();
        }
        return id;
      }
      bool KillTimer(std::uint32_t timerId) override { return inner_->KillTimer(timerId); }

     private:
      std::unique_ptr<platform::MessageQueue> inner_;
      ArmSignals& signals_;
    };

    platform::testing::TestMessaging inner_;
    std::mutex mutex_;
    std::condition_variable armed_;
    std::uint64_t arms_ = 0;
  };

  void Stop() {
    if (!process_.joinable()) return;
    scm_.DeliverControl(platform::svc::kControlStop);
    process_.join();
  }

  platform::Registry& registry_;
  tillmoor::BatchWork& work_;
  testsupport::TempFolder locks_;
  std::shared_ptr<platform::testing::VirtualClock> clock_ =
      std::make_shared<platform::testing::VirtualClock>();
  std::unique_ptr<platform::Threading> threading_ = platform::OpenThreading();
  ArmSignals messaging_{clock_};
  platform::testing::ScriptedServiceManager scm_;
  platform::testing::RecordingEventLog eventLog_;
  platform::testing::TestComApartment com_;
  platform::testing::ScriptedConsoleControl console_;
  platform::testing::RecordingMessageBoxes boxes_;
  std::ostringstream out_;
  tillmoor::ServiceModule module_{
      tillmoor::ServicePlatform{registry_, scm_, eventLog_, *threading_, messaging_, com_, console_, boxes_,
                                out_, "/opt/tessery/tillmoor"},
      work_};
  std::thread process_;
};

}  // namespace bench
