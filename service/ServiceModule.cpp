// Start-up and the mode decision, the service main, the run with its message loop, the control
// handler, the stop and the reporting channel.
#include "service/ServiceModule.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "service/CommandLine.h"
#include "service/StringTable.h"

namespace tillmoor {

namespace {

constexpr std::size_t kMaxMessageCharacters = 255;
constexpr std::size_t kMaxServiceNameCharacters = 255;
constexpr std::size_t kLocalServiceBufferBytes = 260;
// Why the quit message's post may be dropped.
constexpr const char* kQuitPostedToEndedRun =
    "it fails only when the service thread's queue is gone, and then its run has ended";

// `text` cut to at most `characters` UTF-8 characters, never inside one.
std::string CutToCharacters(std::string text, std::size_t characters) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (count++ == characters) {
      text.resize(i);
      break;
    }
  }
  return text;
}

}  // namespace

std::string FailureText(long code) {
  if (code < 0) {
    char text[32];
    std::snprintf(text, sizeof text, "error 0x%08X", static_cast<unsigned>(code));
    return text;
  }
  return platform::ErrorDescription(code) + " (error " + std::to_string(code) + ")";
}

int ExitStatusOf(long code) {
  if (code != 0 && (code & 0xFF) == 0) return 1;
  return static_cast<int>(code & 0xFF);
}

ServiceModule::ServiceModule(ServicePlatform platform, BatchWork& work)
    : platform_(std::move(platform)), work_(work) {}

ServiceModule::~ServiceModule() = default;

void ServiceModule::Init() {
  serviceName_ = CutToCharacters(LoadServiceString(kIdsServiceName), kMaxServiceNameCharacters);
  serviceMode_ = true;
  status_ = platform::ServiceStatus{};
  status_.serviceType = platform::svc::kServiceWin32OwnProcess;
  status_.currentState = platform::svc::kServiceStopped;
  status_.controlsAccepted = platform::svc::kAcceptStop;
  statusHandle_ = 0;
  ReadServiceParameters();
}

long ServiceModule::Start(std::string_view commandLine) {
  Init();
  switch (ScanCommandLine(commandLine)) {
    case CommandLineAction::UnregServer:
      return UnregisterServer();
    case CommandLineAction::RegServer:
      return RegisterServer(false);
    case CommandLineAction::Service:
      return RegisterServer(true);
    case CommandLineAction::Start:
      break;
  }

  // The mode: registered as a service when the AppID key holds "LocalService". Without the AppID
  // key the program was never registered and ends at once.
  platform::Registry& registry = platform_.registry;
  if (long code = registry.OpenKey(platform::RootKey::ClassesRoot, "AppID");
      code != platform::win32::Success) {
    return StartFailed(code);
  }
  if (long code = registry.OpenKey(platform::RootKey::ClassesRoot, kAppIdKey);
      code != platform::win32::Success) {
    return StartFailed(code);
  }
  platform::RegistryValue localService;
  const long query = platform::QueryValueLimited(registry, platform::RootKey::ClassesRoot, kAppIdKey,
                                                 "LocalService", kLocalServiceBufferBytes, localService);
  // A value that is missing or too long makes a local server; a registry that could not be read
  // decides nothing.
  if (query != platform::win32::Success && query != platform::win32::FileNotFound &&
      query != platform::win32::MoreData) {
    return StartFailed(query);
  }
  serviceMode_ = query == platform::win32::Success;

  if (serviceMode_) {
    const long code = platform_.serviceManager.StartServiceCtrlDispatcher(
        serviceName_, [this](const std::vector<std::string>& arguments) { ServiceMain(arguments); });
    // Not started by a service manager (for example from a console): run as a plain process.
    if (code != platform::win32::Success) serviceMode_ = false;
  }
  if (!serviceMode_) {
    timerPeriod_ = WorkOutTimerPeriod(nullptr);
    RunAsLocalServer();
  }
  std::lock_guard lock(statusMutex_);
  return static_cast<long>(status_.win32ExitCode);
}

// A start that cannot read the registry ends with the registry's code. Not being registered says
// nothing (status 2, as ever); any other failure is shown, before the mode is known, on standard
// error (where a supervisor's journal takes it too).
long ServiceModule::StartFailed(long code) {
  if (code != platform::win32::FileNotFound) {
    platform_.messageBoxes.Show("Couldn't read the registry: " + FailureText(code), platform::mb::OKOnly,
                                serviceName_);
  }
  return code;
}

void ServiceModule::RunAsLocalServer() {
  // Ctrl+C and SIGTERM take the stop path, so an interactive interrupt never cuts a cycle short: the
  // loop ends once the run guard is free.
  const bool handled = platform_.console.SetHandler([this](std::uint32_t) {
    RequestStop();
    return true;
  });
  Run();
  if (handled) platform_.console.RemoveHandler();
}

void ServiceModule::ServiceMain(const std::vector<std::string>& arguments) {
  timerPeriod_ = WorkOutTimerPeriod(&arguments);
  {
    // Held over the registration, so a control that arrives at once finds the status handle set.
    std::lock_guard lock(statusMutex_);
    status_.currentState = platform::svc::kServiceStartPending;
    platform::ServiceStatusHandle handle = 0;
    const long code = platform_.serviceManager.RegisterServiceCtrlHandler(
        serviceName_, [this](std::uint32_t control) { Handler(control); }, handle);
    statusHandle_ = code == platform::win32::Success ? handle : 0;
  }
  if (statusHandle_ == 0) {
    ReportMessage("Handler not installed");
    return;
  }
  keepAliveMs_ = platform_.serviceManager.KeepAliveIntervalMs();
  ReportStatus(platform::svc::kServiceStartPending);
  Run();
  ReportStatus(platform::svc::kServiceStopped);
  ReportMessage("Service stopped");
}

void ServiceModule::SetExitCode(long code) {
  std::lock_guard lock(statusMutex_);
  status_.win32ExitCode = static_cast<std::uint32_t>(code);
}

void ServiceModule::ReportStatus(std::uint32_t state) {
  std::lock_guard lock(statusMutex_);
  if (stoppedReported_) return;
  // A stop that came while the run was starting is not followed by a report that it runs.
  if (state == platform::svc::kServiceRunning && status_.currentState == platform::svc::kServiceStopPending)
    return;
  status_.currentState = state;
  if (state == platform::svc::kServiceStopped) stoppedReported_ = true;
  platform::IgnoreResult(platform_.serviceManager.SetServiceStatus(statusHandle_, status_),
                         "a report the manager did not take changes nothing the service does");
}

void ServiceModule::Run() {
  // The thread's queue exists before anyone may post the quit message to it.
  std::unique_ptr<platform::MessageQueue> queue = platform_.messaging.OpenQueue();
  serviceThreadId_ = platform::CurrentThreadId();

  const bool joined = platform_.com.Initialize(platform::Apartment::Multithreaded) >= 0;
  // Access for everyone. The class table is empty, so there are no class objects to register or revoke.
  platform::IgnoreResult(platform_.com.InitializeSecurity(), "the result does not matter, as on every start");

  orders_.Clear();
  // The run guard and the timer exist before the run says it started: a run that cannot have them
  // says why and ends with the failure's code (the process's exit code; a failed start to a
  // supervisor), never that it started.
  long error = 0;
  platform::EventHandle runEnded = platform_.threading.CreateEvent(true, false, "", error);
  platform::EventHandle runGuard =
      runEnded ? platform_.threading.CreateEvent(false, true, kRunGuardName, error) : nullptr;
  if (!queue || !runGuard) {
    if (!queue || error == 0) error = platform::win32::NotEnoughMemory;
    ReportMessage("Couldn't create the run guard %s: %s", std::string(kRunGuardName).c_str(),
                  FailureText(error).c_str());
    SetExitCode(error);
  } else {
    {
      std::lock_guard lock(stopMutex_);
      runEnded_ = runEnded;
      runGuard_ = runGuard;
      // A stop that came before the run guard existed is honoured now.
      if (stopRequested_) StartStopWaiter();
    }
    queue_ = queue.get();
    if (const long code = PrepareClusterGuard(); code != platform::win32::Success) {
      SetExitCode(code);
    } else if (ArmBatchTimer()) {
      ReportMessage("Service started with interval(minutes): %u", timerPeriod_ / 60000);
      if (serviceMode_) ReportStatus(platform::svc::kServiceRunning);
      NotifyAlive();
      ArmKeepAlive();
      platform::Message message;
      while (queue->GetMessage(message) > 0) queue->DispatchMessage(message);
    } else {
      SetExitCode(platform::win32::NotEnoughMemory);
    }
    DisarmBatchTimer();
    if (keepAliveTimerId_ != 0)
      platform::IgnoreResult(queue->KillTimer(keepAliveTimerId_),
                             "a one-shot timer that has fired is gone already");
    keepAliveTimerId_ = 0;
    queue_ = nullptr;
    clusterGuard_.reset();
    EndRun();
  }
  if (joined) platform_.com.Uninitialize();
}

// Closes the run guard; a StopWaiter still waiting for it gives up, and is joined.
void ServiceModule::EndRun() {
  std::unique_ptr<platform::Thread> waiter;
  {
    std::lock_guard lock(stopMutex_);
    runOver_ = true;
    runGuard_.reset();
    waiter = std::move(stopWaiter_);
  }
  platform::IgnoreResult(runEnded_->Set(), "setting an event does not fail");
  if (waiter) waiter->Join();
}

void ServiceModule::Handler(std::uint32_t control) {
  switch (control) {
    case platform::svc::kControlStop:
      ReportStatus(platform::svc::kServiceStopPending);
      RequestStop();
      break;
    case platform::svc::kControlPause:
    case platform::svc::kControlContinue:
    case platform::svc::kControlInterrogate:
    case platform::svc::kControlShutdown:
      break;
    default:
      ReportMessage("Bad service request");
      break;
  }
}

void ServiceModule::RequestStop() {
  std::lock_guard lock(stopMutex_);
  // One stop is enough: a second StopWaiter would wait for ever on the run guard the first keeps.
  if (stopRequested_) return;
  stopRequested_ = true;
  if (runGuard_ && !runOver_) StartStopWaiter();
}

void ServiceModule::StartStopWaiter() {
  long error = 0;
  stopWaiter_ = platform_.threading.CreateThread(
      [this, runGuard = runGuard_, runEnded = runEnded_] { StopWaiter(runGuard, runEnded); }, error);
  if (!stopWaiter_) {
    // Without a waiter the quit message goes out at once; a cycle that runs still ends first, since
    // the message loop reads it only after the cycle has returned.
    platform::IgnoreResult(platform_.messaging.PostThreadMessage(serviceThreadId_, platform::kWmQuit, 0, 0),
                           kQuitPostedToEndedRun);
  }
}

// Waits for the run guard, then ends the service thread's message loop. It keeps the guard: no
// further cycle of this process starts. It gives up when the run ends by itself meanwhile.
void ServiceModule::StopWaiter(const platform::EventHandle& runGuard, const platform::EventHandle& runEnded) {
  platform::Event* events[] = {runGuard.get(), runEnded.get()};
  const std::uint32_t result = platform_.threading.WaitForMultipleObjects(events, false, platform::kInfinite);
  if (result == platform::kWaitObject0 + 1) return;
  // Also when the wait failed: a stop is never lost, and a cycle of this process still ends first.
  platform::IgnoreResult(platform_.messaging.PostThreadMessage(serviceThreadId_, platform::kWmQuit, 0, 0),
                         kQuitPostedToEndedRun);
}

// The cluster guard of the run, when ClusterGuard asks for one. A value that could not be read, is
// not a string, or names a database other than PostgreSQL ends the start (a failed start under a
// supervisor) with a message saying why: running without the guard could pay what another host pays.
// A database that cannot be reached now is reported and the run starts: its cycles are skipped, each
// reported, until the guard can be taken.
long ServiceModule::PrepareClusterGuard() {
  clusterGuard_.reset();
  skippedForOtherHost_ = 0;
  if (clusterGuardError_ != platform::win32::Success) {
    ReportMessage("%s", clusterGuardProblem_.c_str());
    return clusterGuardError_;
  }
  if (clusterGuardConnection_.empty()) return platform::win32::Success;
  if (platform_.clusterData == nullptr) {
    ReportMessage("ClusterGuard refused: this program has no data access");
    return platform::win32::NotSupported;
  }
  clusterGuard_ = std::make_unique<ClusterGuard>(*platform_.clusterData, clusterGuardConnection_,
                                                 ClusterGuard::KeyOf(serviceName_));
  try {
    if (const std::optional<std::string> refusal = clusterGuard_->DatabaseRefusal()) {
      ReportMessage("%s", refusal->c_str());
      clusterGuard_.reset();
      return platform::win32::NotSupported;
    }
  } catch (const platform::Error& error) {
    ReportMessage("The cluster guard could not be checked: %s (0x%08X)", error.Description().c_str(),
                  static_cast<unsigned>(error.Number()));
  }
  return platform::win32::Success;
}

// The keep-alive timer of the message loop: a notice when it fires, and the next one armed. While a
// cycle runs the loop waits, and the cycle's own waits send the notices (WaitAlive).
void ServiceModule::ArmKeepAlive() {
  keepAliveTimerId_ = 0;
  if (keepAliveMs_ == 0 || queue_ == nullptr) return;
  keepAliveTimerId_ = queue_->SetTimer(keepAliveMs_, [this](std::uint32_t) {
    NotifyAlive();
    ArmKeepAlive();
  });
  // Without it the supervisor soon finds the service silent and restarts it; the report says why.
  if (keepAliveTimerId_ == 0) ReportMessage("Failed to create timer");
}

void ServiceModule::NotifyAlive() {
  if (keepAliveMs_ != 0) {
    platform::IgnoreResult(platform_.serviceManager.NotifyAlive(statusHandle_),
                           "a notice that did not arrive is sent again at the next interval");
  }
}

std::uint32_t ServiceModule::WaitAlive(std::uint32_t timeoutMs,
                                       const std::function<std::uint32_t(std::uint32_t)>& wait) {
  if (keepAliveMs_ == 0) return wait(timeoutMs);
  std::uint32_t left = timeoutMs;
  for (;;) {
    const std::uint32_t step = timeoutMs == platform::kInfinite ? keepAliveMs_ : std::min(keepAliveMs_, left);
    const std::uint32_t result = wait(step);
    if (result != platform::kWaitTimeout) return result;
    NotifyAlive();
    if (timeoutMs != platform::kInfinite && (left -= step) == 0) return platform::kWaitTimeout;
  }
}

void ServiceModule::CountFailedPayment() {
  ++failedPayments_;
}

void ServiceModule::ReportMessage(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list copy;
  va_copy(copy, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, arguments);
  va_end(arguments);
  text = CutToCharacters(std::move(text), kMaxMessageCharacters);

  if (serviceMode_) {
    const std::string strings[] = {text};
    platform::IgnoreResult(
        platform_.eventLog.ReportEvent(serviceName_, platform::kEventlogInformationType, 0, 0, strings),
        "the event log is the one reporting channel: a report it did not take has nowhere else to go");
  } else {
    std::lock_guard lock(reportMutex_);
    std::ostream& out = platform_.standardOutput;
    out << text << '\n' << std::flush;
    // A report that could not be written (an output nobody reads any more) is lost; the work goes
    // on, and later reports are tried again.
    if (!out) out.clear();
  }
}

}  // namespace tillmoor
