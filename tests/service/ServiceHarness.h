// A ServiceModule on the test backends: virtual clock, scripted service manager, recorded event log
// and message boxes, scripted console, memory registry, and scripted batch work whose payments
// last until the test releases them. The process's entry thread is a thread of the test.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "platform/testing/RecordingEventLog.h"
#include "platform/testing/ScriptedConsoleControl.h"
#include "platform/testing/ScriptedServiceManager.h"
#include "platform/testing/TestComApartment.h"
#include "platform/testing/TestMessaging.h"
#include "platform/testing/TestThreading.h"
#include "platform/testing/VirtualClock.h"
#include "runtime/testing/RecordingMessageBoxes.h"
#include "service/ServiceModule.h"
#include "support/Watchdog.h"

namespace tillmoor::testing {

using namespace platform::testing;
using platform::svc::kServiceRunning;
using platform::svc::kServiceStartPending;
using platform::svc::kServiceStopped;
using platform::svc::kServiceStopPending;
using testsupport::Eventually;

// Standard output that the test may read while the service writes.
class LockedBuffer final : public std::streambuf {
 public:
  std::string Text() const {
    std::lock_guard lock(mutex_);
    return text_;
  }

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) {
      std::lock_guard lock(mutex_);
      text_.push_back(static_cast<char>(c));
    }
    return c;
  }
  std::streamsize xsputn(const char* data, std::streamsize count) override {
    std::lock_guard lock(mutex_);
    text_.append(data, static_cast<std::size_t>(count));
    return count;
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

// Batch work whose queries return scripted lists and whose payments last until released.
class ScriptedWork final : public BatchWork {
 public:
  void QueueOrders(std::vector<std::string> ids) {
    std::lock_guard lock(mutex_);
    lists_.push_back(std::move(ids));
  }
  void FailQueries(bool fail) {
    std::lock_guard lock(mutex_);
    failQueries_ = fail;
  }
  void Release(const std::string& id) {
    {
      std::lock_guard lock(mutex_);
      released_[id] = true;
    }
    changed_.notify_all();
  }
  void ReleaseAll() {
    {
      std::lock_guard lock(mutex_);
      releaseAll_ = true;
    }
    changed_.notify_all();
  }

  int Queries() const {
    std::lock_guard lock(mutex_);
    return queries_;
  }
  std::vector<std::string> Started() const {
    std::lock_guard lock(mutex_);
    return started_;
  }
  std::vector<std::string> Finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
  }
  int Running() const {
    std::lock_guard lock(mutex_);
    return running_;
  }
  int MostRunning() const {
    std::lock_guard lock(mutex_);
    return mostRunning_;
  }
  bool WaitStarted(std::size_t count) {
    return Eventually([&] { return Started().size() >= count; });
  }
  bool WaitFinished(std::size_t count) {
    return Eventually([&] { return Finished().size() >= count; });
  }

  void QueryPendingOrders(ServiceModule&, OrderList& orders) override {
    std::lock_guard lock(mutex_);
    ++queries_;
    if (failQueries_) throw std::runtime_error("data source unreachable");
    if (lists_.empty()) return;
    for (const std::string& id : lists_.front())
      platform::IgnoreResult(orders.Add(id),
                             "the ids a test lists go to the cycle as a query would hand them");
    lists_.pop_front();
  }

  void PayOrder(ServiceModule&, const std::string& orderId) override {
    std::unique_lock lock(mutex_);
    started_.push_back(orderId);
    mostRunning_ = std::max(mostRunning_, ++running_);
    const auto watchdog = std::chrono::steady_clock::now() + testsupport::kWatchdog;
    while (!releaseAll_ && !released_[orderId]) {
      if (std::chrono::steady_clock::now() >= watchdog) {
        ADD_FAILURE() << "payment of " << orderId << " was never released";
        break;
      }
      changed_.wait_for(lock, std::chrono::milliseconds(50));
    }
    --running_;
    finished_.push_back(orderId);
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<std::string>> lists_;
  bool failQueries_ = false;
  bool releaseAll_ = false;
  std::map<std::string, bool> released_;
  int queries_ = 0;
  std::vector<std::string> started_;
  std::vector<std::string> finished_;
  int running_ = 0;
  int mostRunning_ = 0;
};

class ServiceHarness : public ::testing::Test {
 protected:
  static constexpr const char* kModulePath = "/opt/tessery/bin/tillmoor";

  ~ServiceHarness() override {
    work_.ReleaseAll();
    if (process_.joinable()) {
      if (!exited_) {
        scm_.PostControl(platform::svc::kControlStop);
        console_.Raise(platform::kCtrlCEvent);
      }
      if (!exited_ && !Eventually([&] { return exited_.load(); })) testsupport::Hung("the service process");
      process_.join();
    }
  }

  ServiceModule& Module() {
    if (!module_) {
      module_ = std::make_unique<ServiceModule>(
          ServicePlatform{*registry_, scm_, eventLog_, *threading_, messaging_, com_, console_, boxes_, out_,
                          kModulePath},
          work_);
    }
    return *module_;
  }

  // The Parameters key; a value left out is not stored.
  void SetParameters(std::optional<std::uint32_t> interval, std::optional<std::uint32_t> threadCount) {
    const std::string key = "SYSTEM\\CurrentControlSet\\Services\\Tillmoor\\Parameters";
    EXPECT_EQ(registry_->CreateKey(platform::RootKey::LocalMachine, key), 0);
    if (interval) {
      EXPECT_EQ(registry_->SetValue(platform::RootKey::LocalMachine, key, "Interval",
                                    platform::RegistryValue::DWord(*interval)),
                0);
    }
    if (threadCount) {
      EXPECT_EQ(registry_->SetValue(platform::RootKey::LocalMachine, key, "ThreadCount",
                                    platform::RegistryValue::DWord(*threadCount)),
                0);
    }
  }

  // What registration leaves for the start's mode decision.
  void Register(bool asService) {
    EXPECT_EQ(registry_->CreateKey(platform::RootKey::ClassesRoot, kAppIdKey), 0);
    if (asService) {
      EXPECT_EQ(registry_->SetValue(platform::RootKey::ClassesRoot, kAppIdKey, "LocalService",
                                    platform::RegistryValue::String("Tillmoor")),
                0);
    }
  }

  // Starts the process on a thread of its own, as the entry thread.
  void StartProcess(const std::string& commandLine = "") {
    Module();
    process_ = std::thread([this, commandLine] {
      exitCode_ = Module().Start(commandLine);
      exited_ = true;
    });
  }

  // Registers as a service, starts and waits until it runs with its timer armed.
  void StartService() {
    Register(true);
    StartProcess();
    ASSERT_TRUE(scm_.WaitForState(kServiceRunning));
    ASSERT_TRUE(WaitForTimer());
  }

  long WaitForExit() {
    if (!Eventually([&] { return exited_.load(); })) testsupport::Hung("the service process");
    process_.join();
    return exitCode_;
  }

  // The one pending timer, once there is one.
  std::optional<TestMessaging::Timer> WaitForTimer() {
    std::optional<TestMessaging::Timer> found;
    Eventually([&] {
      const auto timers = messaging_.PendingTimers();
      if (timers.size() == 1) found = timers[0];
      return found.has_value();
    });
    return found;
  }

  // Moves the clock to the pending timer's due time and waits until the service thread took it,
  // that is until the cycle has begun.
  void FireTimer() {
    const auto timer = WaitForTimer();
    ASSERT_TRUE(timer);
    clock_->AdvanceTo(timer->due);
    ASSERT_TRUE(Eventually([&] {
      for (const auto& pending : messaging_.PendingTimers()) {
        if (pending.id == timer->id) return false;
      }
      return true;
    }));
  }

  // The timer the cycle armed at its end: a pending timer other than `previousId`.
  std::optional<TestMessaging::Timer> WaitForRearm(std::uint32_t previousId) {
    std::optional<TestMessaging::Timer> found;
    Eventually([&] {
      const auto timers = messaging_.PendingTimers();
      if (timers.size() == 1 && timers[0].id != previousId) found = timers[0];
      return found.has_value();
    });
    return found;
  }

  // Every message the service reported, through whichever channel.
  std::vector<std::string> Reports() const {
    std::vector<std::string> reports = eventLog_.Texts();
    std::string out = outBuffer_.Text();
    for (std::size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
      reports.push_back(out.substr(start, end - start));
    }
    return reports;
  }

  // Takes the run guard the way another process would.
  platform::EventHandle TakeRunGuard() {
    long error = 0;
    platform::EventHandle guard = threading_->CreateEvent(false, true, kRunGuardName, error);
    EXPECT_EQ(threading_->WaitForSingleObject(*guard, 0), platform::kWaitObject0);
    return guard;
  }

  // Whether another holder could take the run guard now (it is given back at once).
  bool RunGuardIsFree() {
    long error = 0;
    platform::EventHandle guard = threading_->CreateEvent(false, true, kRunGuardName, error);
    if (threading_->WaitForSingleObject(*guard, 0) != platform::kWaitObject0) return false;
    EXPECT_TRUE(guard->Set());
    return true;
  }

  std::shared_ptr<VirtualClock> clock_ = std::make_shared<VirtualClock>();
  ThreadingFaults threadingFaults_;
  std::unique_ptr<platform::Threading> threading_ = OpenTestThreading(clock_, threadingFaults_);
  TestMessaging messaging_{clock_};
  std::unique_ptr<platform::Registry> registry_ = platform::OpenMemoryRegistry();
  ScriptedServiceManager scm_;
  RecordingEventLog eventLog_;
  TestComApartment com_;
  ScriptedConsoleControl console_;
  RecordingMessageBoxes boxes_;
  LockedBuffer outBuffer_;
  std::ostream out_{&outBuffer_};
  ScriptedWork work_;
  std::unique_ptr<ServiceModule> module_;
  std::thread process_;
  std::atomic<bool> exited_{false};
  long exitCode_ = -1;
};

}  // namespace tillmoor::testing
