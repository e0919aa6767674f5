// ServiceModule: the one process-wide record of the payment batch service, and everything that
// works on it: start-up and the mode decision, registration, the service main and its run, the
// control handler and the stop, the service parameters, the batch timer and the batch cycle.
//
// Threads: the entry thread (command line; in service mode it connects to the service control
// manager and runs the control handler); the service thread (service main, run, message loop and
// every batch cycle; in local-server mode the entry thread); at most one StopWaiter; the payment
// workers of a cycle. The run guard (the named auto-reset event "ObjectRunning", held by a cycle
// while it runs) is what orders a stop after a running cycle, in this process and in others.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ComApartment.h"
#include "platform/ConsoleControl.h"
#include "platform/EventLog.h"
#include "platform/MessageQueue.h"
#include "platform/Registry.h"
#include "platform/ServiceManager.h"
#include "platform/Threading.h"
#include "runtime/MessageBox.h"
#include "service/BatchWork.h"

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
};

inline constexpr std::string_view kAppId = "{1A619104-B56E-11d4-A7B8-0008C711C445}";
inline constexpr std::string_view kAppIdKey = "AppID\\{1A619104-B56E-11d4-A7B8-0008C711C445}";
inline constexpr std::string_view kExeAppIdKey = "AppID\\Tillmoor.EXE";
inline constexpr std::string_view kRunGuardName = "ObjectRunning";
inline constexpr std::uint32_t kRunGuardWaitMs = 2000;
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
  long Start(std::string_view commandLine);

  // Start-up step 1: service name, service mode, status record, parameters.
  void Init();

  // Registration ("RegServer": service = false; "Service": true) and unregistration.
  // Each returns 0 or the code of the first failure, which is the process's exit code.
  long RegisterServer(bool service);
  long UnregisterServer();
  bool IsInstalled();
  long Install();
  long Uninstall();

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
  bool ArmBatchTimer();
  void DisarmBatchTimer();
  bool RunBatchCycle();

  // The service's one reporting channel: an information entry in the event log in service mode, a
  // line on standard output otherwise. printf-style; the text is cut to 255 characters.
  [[gnu::format(printf, 2, 3)]] void ReportMessage(const char* format, ...);

  // The record, for those who look at it.
  const std::string& ServiceName() const { return serviceName_; }
  bool ServiceMode() const { return serviceMode_; }
  std::uint32_t StoredInterval() const { return storedInterval_; }
  std::uint32_t WorkerCount() const { return workerCount_; }
  std::uint32_t TimerPeriod() const { return timerPeriod_; }
  std::uint32_t TimerId() const { return timerId_; }
  platform::ThreadId ServiceThreadId() const { return serviceThreadId_; }
  const OrderList& Orders() const { return orders_; }
  const ServicePlatform& Platform() const { return platform_; }

 private:
  void RunAsLocalServer();
  void ReportStatus(std::uint32_t state);
  void SetExitCode(long code);
  void RequestStop();
  void StartStopWaiter();  // stopMutex_ held
  void StopWaiter(platform::EventHandle runGuard, platform::EventHandle runEnded);
  void EndRun();
  void HandOutOrders(std::uint32_t workerCount);
  bool StartWorker(WorkerSlot& slot, std::unique_ptr<platform::Thread>& worker, const std::string& orderId);
  void PaymentWorker(WorkerSlot& slot);
  long ApplyRegistryScript();
  long StartFailed(long code);
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
