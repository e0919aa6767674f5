// ServiceModule: the one process-wide record of the payment batch service, and everything that
// works on it: start-up and the mode decision, registration, the service main and its run, the
// control handler and the stop, the service parameters, the batch timer and the batch cycle.
//
// Threads: the entry thread (command line; in service mode it connects to the service control
// manager and runs the control handler); the service thread (service main, run, message loop and
// every batch cycle; in local-server mode the entry thread); at most one StopWaiter; the payment
// workers of a cycle. The run guard (the named auto-reset event "ObjectRunning", held by a cycle
// while it runs) is what orders a stop after a running cycle, in this process and in others. With the
// parameter ClusterGuard set, a cycle also holds the cluster guard (service/ClusterGuard.h), which
// keeps one cycle at a time across the hosts that share the order database.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ado.h"
#include "platform/ComApartment.h"
#include "platform/ConsoleControl.h"
#include "platform/EventLog.h"
#include "platform/MessageQueue.h"
#include "platform/Registry.h"
#include "platform/ServiceManager.h"
#include "platform/Threading.h"
#include "runtime/MessageBox.h"
#include "service/BatchWork.h"
#include "service/ClusterGuard.h"

namespace tillmoor {

// The platform services the service works with; all outlive the module.
struct ServicePlatform {
  platform::Registry& registry;
  platform::ServiceControlManager& serviceManager;
  platform::EventLog& eventLog;
  platform::Threading& threading;
  platform::Messaging& messaging;
  platform::ComApartment& com;
  platform::ConsoleControl& console;
  platform::MessageBoxes& messageBoxes;
  std::ostream& standardOutput;
  std::string modulePath;  // full path of the running executable
  // Where the cluster guard connects (the ClusterGuard parameter); none: a ClusterGuard is refused.
  platform::ado::DataAccess* clusterData = nullptr;
};

inline constexpr std::string_view kAppId = "{1A619104-B56E-11d4-A7B8-0008C711C445}";
inline constexpr std::string_view kAppIdKey = "AppID\\{1A619104-B56E-11d4-A7B8-0008C711C445}";
inline constexpr std::string_view kExeAppIdKey = "AppID\\Tillmoor.EXE";
inline constexpr std::string_view kRunGuardName = "ObjectRunning";
inline constexpr std::uint32_t kRunGuardWaitMs = 2000;
// The cluster guard is tried again at this pace while another host holds it, for kRunGuardWaitMs.
inline constexpr std::uint32_t kClusterGuardRetryMs = 100;
// While a cycle hands out orders, whether it still holds the cluster guard is asked at most this often.
inline constexpr std::chrono::milliseconds kClusterGuardCheckInterval{100};
inline constexpr std::uint32_t kMaxIntervalMinutes =
    71582;                                            // the most minutes whose milliseconds fit 32 bits
inline constexpr std::uint32_t kMaxWorkerCount = 64;  // the most handles one wait takes

// A failure's code for a message, with what the platform told of it: "<description> (error 5)" for a
// Win32 code, "error 0x8002801C" for an HRESULT.
std::string FailureText(long code);

// The process's exit status for the code Start returned. Linux keeps the low 8 bits of an exit
// status; a failure whose low byte is 0 would read as success, and exits with 1.
int ExitStatusOf(long code);

class ServiceModule {
 public:
  ServiceModule(ServicePlatform platform, BatchWork& work);
  ~ServiceModule();
  ServiceModule(const ServiceModule&) = delete;
  ServiceModule& operator=(const ServiceModule&) = delete;

  // The entry point: initialises the record, scans the command line, registers, unregisters or
  // starts. Returns the process exit code.
  [[nodiscard]] long Start(std::string_view commandLine);

  // Start-up step 1: service name, service mode, status record, parameters.
  void Init();

  // Registration ("RegServer": service = false; "Service": true) and unregistration.
  // Each returns 0 or the code of the first failure, which is the process's exit code.
  [[nodiscard]] long RegisterServer(bool service);
  [[nodiscard]] long UnregisterServer();
  bool IsInstalled();
  [[nodiscard]] long Install();
  [[nodiscard]] long Uninstall();

  // Parameters.
  void ReadServiceParameters();
  // The timer period in milliseconds from the start request's arguments (service mode; null in
  // local-server mode) or the stored interval; reports messages 104 and 105.
  std::uint32_t WorkOutTimerPeriod(const std::vector<std::string>* startArguments);

  // Service main, run and control handler.
  void ServiceMain(const std::vector<std::string>& arguments);
  void Run();
  void Handler(std::uint32_t control);

  // The batch timer and the batch cycle; service thread only.
  [[nodiscard]] bool ArmBatchTimer();
  void DisarmBatchTimer();
  [[nodiscard]] bool RunBatchCycle();

  // The service's one reporting channel: an information entry in the event log in service mode, a
  // line on standard output otherwise. printf-style; the text is cut to 255 characters.
  [[gnu::format(printf, 2, 3)]] void ReportMessage(const char* format, ...);

  // Counts a payment of the running cycle that failed (its worker has reported why), so that the
  // cycle's status line tells paid and failed orders apart. Any worker thread.
  void CountFailedPayment();

  // The record, for those who look at it.
  const std::string& ServiceName() const { return serviceName_; }
  bool ServiceMode() const { return serviceMode_; }
  std::uint32_t StoredInterval() const { return storedInterval_; }
  std::uint32_t WorkerCount() const { return workerCount_; }
  std::uint32_t TimerPeriod() const { return timerPeriod_; }
  std::uint32_t TimerId() const { return timerId_; }
  platform::ThreadId ServiceThreadId() const { return serviceThreadId_; }
  const OrderList& Orders() const { return orders_; }
  const std::string& ClusterGuardConnection() const { return clusterGuardConnection_; }
  const ServicePlatform& Platform() const { return platform_; }

 private:
  void RunAsLocalServer();
  void ReportStatus(std::uint32_t state);
  void SetExitCode(long code);
  void RequestStop();
  void StartStopWaiter();  // stopMutex_ held
  void StopWaiter(const platform::EventHandle& runGuard, const platform::EventHandle& runEnded);
  void EndRun();
  // What one cycle did, for its status line.
  struct CycleFigures {
    std::string skipped;  // why the cycle did nothing; empty when it ran
    std::size_t orders = 0;
    std::size_t handedOut = 0;
  };
  void ReadClusterGuard(platform::Registry& registry, const std::string& path);
  [[nodiscard]] long PrepareClusterGuard();
  [[nodiscard]] bool TakeClusterGuard(CycleFigures& figures);
  [[nodiscard]] std::optional<std::string> ClusterGuardLost();
  void ReportCycleStatus(const CycleFigures& figures, bool armed);
  void ArmKeepAlive();
  void NotifyAlive();
  // Runs `wait(timeout)` and, while supervisor keep-alive notices are due, waits in steps of their
  // interval with a notice after each step; returns the wait's result for `timeoutMs` as a whole.
  std::uint32_t WaitAlive(std::uint32_t timeoutMs, const std::function<std::uint32_t(std::uint32_t)>& wait);
  void HandOutOrders(std::uint32_t workerCount, CycleFigures& figures);
  [[nodiscard]] bool StartWorker(WorkerSlot& slot, std::unique_ptr<platform::Thread>& worker,
                                 const std::string& orderId);
  void PaymentWorker(WorkerSlot& slot);
  [[nodiscard]] long ApplyRegistryScript();
  [[nodiscard]] long StartFailed(long code);
  void ShowRegistryFailure(long code);
  void ShowServiceManagerFailure(const char* text, long code);

  ServicePlatform platform_;
  BatchWork& work_;

  // The record.
  std::string serviceName_;
  std::atomic<bool> serviceMode_{true};
  platform::ServiceStatus status_;
  platform::ServiceStatusHandle statusHandle_ = 0;
  platform::ThreadId serviceThreadId_ = 0;
  std::uint32_t storedInterval_ = 1;
  std::uint32_t workerCount_ = 3;
  std::uint32_t timerPeriod_ = 60000;
  std::uint32_t timerId_ = 0;
  platform::EventHandle runGuard_;
  OrderList orders_;

  // The cluster guard: the ClusterGuard parameter ("": none), what reading it found wrong (a code and
  // the message a start then ends with), the guard of the run, when the cycle last asked whether it
  // still holds it, and how many cycles in a row another host's guard has skipped.
  std::string clusterGuardConnection_;
  long clusterGuardError_ = 0;
  std::string clusterGuardProblem_;
  std::unique_ptr<ClusterGuard> clusterGuard_;
  std::chrono::steady_clock::time_point clusterGuardChecked_;
  std::uint32_t skippedForOtherHost_ = 0;

  // Keep-alive notices to the supervisor: their interval (0: none), and the timer of the message loop
  // that sends them between cycles.
  std::uint32_t keepAliveMs_ = 0;
  std::uint32_t keepAliveTimerId_ = 0;

  std::atomic<std::uint32_t> failedPayments_{0};  // of the running cycle

  // What reading the parameters found wrong (a ThreadCount above kMaxWorkerCount, a value of another
  // type than REG_DWORD, a registry that could not be read), reported once when the run's period is
  // worked out, through the channel of the mode then known.
  std::vector<std::string> parameterMessages_;

  platform::MessageQueue* queue_ = nullptr;  // the service thread's queue while the run pumps it

  // Status reports are made under statusMutex_, so the manager sees them in the order they were
  // made; once SERVICE_STOPPED has gone out no other state follows it.
  std::mutex statusMutex_;
  bool stoppedReported_ = false;

  // The stop: requested at most once; the StopWaiter is started when the run guard exists.
  std::mutex stopMutex_;
  bool stopRequested_ = false;
  bool runOver_ = false;
  platform::EventHandle runEnded_;
  std::unique_ptr<platform::Thread> stopWaiter_;

  std::mutex reportMutex_;
};

}  // namespace tillmoor
