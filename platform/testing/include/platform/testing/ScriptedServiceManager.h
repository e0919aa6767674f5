// Test backend of the service control manager: service entries in memory, every status report
// recorded, controls delivered as the test scripts them, and each operation failing by countdown.
//
// The dispatcher runs the service main on a new thread and delivers the controls the test posts,
// in order, to the registered handler on the thread that called StartServiceCtrlDispatcher (controls
// posted before the handler's registration wait for it).
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ServiceManager.h"
#include "platform/Threading.h"
#include "platform/testing/FaultCountdown.h"

namespace platform::testing {

class ScriptedServiceManager final : public ServiceControlManager {
 public:
  struct SentControl {
    std::string service;
    std::uint32_t control;
  };

  [[nodiscard, gnu::warn_unused_result]] long OpenSCManager(
      std::uint32_t access, std::unique_ptr<ServiceManagerHandle>& manager) override;
  [[nodiscard, gnu::warn_unused_result]] long StartServiceCtrlDispatcher(
      std::string_view name, ServiceMainFunction serviceMain) override;
  [[nodiscard, gnu::warn_unused_result]] long RegisterServiceCtrlHandler(
      std::string_view name, ServiceControlHandler handler, ServiceStatusHandle& handle) override;
  [[nodiscard, gnu::warn_unused_result]] long SetServiceStatus(ServiceStatusHandle handle,
                                                               const ServiceStatus& status) override;
  [[nodiscard, gnu::warn_unused_result]] long SetServiceStatusText(ServiceStatusHandle handle,
                                                                   std::string_view text) override;
  std::uint32_t KeepAliveIntervalMs() override;
  [[nodiscard, gnu::warn_unused_result]] long NotifyAlive(ServiceStatusHandle handle) override;

  // The arguments the service main receives after the service name.
  void SetStartArguments(std::vector<std::string> arguments);
  // Queues a control for the handler.
  void PostControl(std::uint32_t control);
  // Queues a control and waits until the handler has returned from it; false when that did not
  // happen within `watchdog`.
  bool DeliverControl(std::uint32_t control, std::chrono::milliseconds watchdog = std::chrono::seconds(10));
  // What KeepAliveIntervalMs answers while the dispatcher is connected (0, nothing watches, at first).
  void SetKeepAliveInterval(std::uint32_t milliseconds);
  // Every status text in order, and how often the service said it is alive.
  std::vector<std::string> StatusTexts() const;
  int AliveNotices() const;
  // Called on the reporting thread after each status report is recorded.
  void OnStatus(std::function<void(const ServiceStatus&)> hook);

  std::vector<ServiceStatus> Statuses() const;
  std::vector<std::uint32_t> States() const;
  // Waits until `state` has been reported; false after `watchdog`.
  bool WaitForState(std::uint32_t state, std::chrono::milliseconds watchdog = std::chrono::seconds(10)) const;
  ThreadId DispatcherThread() const;
  std::vector<ThreadId> HandlerThreads() const;

  std::optional<ServiceConfig> Service(std::string_view name) const;
  void Install(ServiceConfig config);
  std::vector<SentControl> SentControls() const;

  FaultCountdown openManagerFaults;
  FaultCountdown createFaults;
  FaultCountdown openServiceFaults;
  FaultCountdown controlFaults;
  FaultCountdown deleteFaults;
  FaultCountdown connectFaults;
  FaultCountdown registerHandlerFaults;
  FaultCountdown statusFaults;

 private:
  friend class ScriptedManagerHandle;
  friend class ScriptedServiceHandle;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::map<std::string, ServiceConfig> services_;  // by lower-case name
  std::vector<SentControl> sentControls_;
  std::vector<std::string> startArguments_;
  std::deque<std::uint32_t> controls_;
  std::uint64_t controlsPosted_ = 0;
  std::uint64_t controlsDelivered_ = 0;
  bool dispatching_ = false;
  std::string serviceName_;
  ServiceControlHandler handler_;
  std::vector<ServiceStatus> statuses_;
  std::vector<std::string> statusTexts_;
  std::uint32_t keepAliveMs_ = 0;
  int aliveNotices_ = 0;
  std::function<void(const ServiceStatus&)> onStatus_;
  ThreadId dispatcherThread_ = 0;
  std::vector<ThreadId> handlerThreads_;
};

}  // namespace platform::testing
