#include "platform/testing/ScriptedServiceManager.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "runtime/Ascii.h"

namespace platform::testing {

namespace {

constexpr std::chrono::milliseconds kStep{50};
constexpr ServiceStatusHandle kStatusHandle = 7;

}  // namespace

class ScriptedServiceHandle final : public ServiceHandle {
 public:
  ScriptedServiceHandle(ScriptedServiceManager& manager, std::string name)
      : manager_(manager), name_(std::move(name)) {}

  long Control(std::uint32_t control, ServiceStatus& status) override {
    (void)status;
    if (long code = manager_.controlFaults.Next(); code != 0) return code;
    std::lock_guard lock(manager_.mutex_);
    manager_.sentControls_.push_back({name_, control});
    return svc::kErrorServiceNotActive;  // the scripted manager runs no service it was not started with
  }

  long Delete() override {
    if (long code = manager_.deleteFaults.Next(); code != 0) return code;
    std::lock_guard lock(manager_.mutex_);
    return manager_.services_.erase(AsciiLowered(name_)) == 1 ? 0 : svc::kErrorServiceMarkedForDelete;
  }

 private:
  ScriptedServiceManager& manager_;
  const std::string name_;
};

class ScriptedManagerHandle final : public ServiceManagerHandle {
 public:
  explicit ScriptedManagerHandle(ScriptedServiceManager& manager) : manager_(manager) {}

  long CreateService(const ServiceConfig& config, std::uint32_t access,
                     std::unique_ptr<ServiceHandle>& service) override {
    (void)access;
    if (long code = manager_.createFaults.Next(); code != 0) return code;
    if (config.serviceName.empty() || config.serviceName.find_first_of("\\/") != std::string::npos) {
      return svc::kErrorInvalidName;
    }
    std::lock_guard lock(manager_.mutex_);
    if (!manager_.services_.emplace(AsciiLowered(config.serviceName), config).second)
      return svc::kErrorServiceExists;
    service = std::make_unique<ScriptedServiceHandle>(manager_, config.serviceName);
    return 0;
  }

  long OpenService(std::string_view name, std::uint32_t access,
                   std::unique_ptr<ServiceHandle>& service) override {
    (void)access;
    if (long code = manager_.openServiceFaults.Next(); code != 0) return code;
    std::lock_guard lock(manager_.mutex_);
    if (manager_.services_.count(AsciiLowered(name)) == 0) return svc::kErrorServiceDoesNotExist;
    service = std::make_unique<ScriptedServiceHandle>(manager_, std::string(name));
    return 0;
  }

 private:
  ScriptedServiceManager& manager_;
};

long ScriptedServiceManager::OpenSCManager(std::uint32_t access,
                                           std::unique_ptr<ServiceManagerHandle>& manager) {
  (void)access;
  if (long code = openManagerFaults.Next(); code != 0) return code;
  manager = std::make_unique<ScriptedManagerHandle>(*this);
  return 0;
}

long ScriptedServiceManager::StartServiceCtrlDispatcher(std::string_view name,
                                                        ServiceMainFunction serviceMain) {
  if (long code = connectFaults.Next(); code != 0) return code;
  std::vector<std::string> arguments{std::string(name)};
  {
    std::lock_guard lock(mutex_);
    if (dispatching_) return svc::kErrorServiceAlreadyRunning;
    dispatching_ = true;
    serviceName_ = std::string(name);
    dispatcherThread_ = CurrentThreadId();
    arguments.insert(arguments.end(), startArguments_.begin(), startArguments_.end());
  }
  std::atomic<bool> mainReturned{false};
  std::thread mainThread([&] {
    serviceMain(arguments);
    mainReturned = true;
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
  });
  std::unique_lock lock(mutex_);
  while (!mainReturned) {
    if (handler_ && !controls_.empty()) {
      const std::uint32_t control = controls_.front();
      controls_.pop_front();
      ServiceControlHandler handler = handler_;
      handlerThreads_.push_back(CurrentThreadId());
      lock.unlock();
      handler(control);
      lock.lock();
      ++controlsDelivered_;
      changed_.notify_all();
      continue;
    }
    changed_.wait_for(lock, kStep);
  }
  lock.unlock();
  mainThread.join();
  lock.lock();
  dispatching_ = false;
  handler_ = nullptr;
  return 0;
}

long ScriptedServiceManager::RegisterServiceCtrlHandler(std::string_view name, ServiceControlHandler handler,
                                                        ServiceStatusHandle& handle) {
  if (long code = registerHandlerFaults.Next(); code != 0) return code;
  {
    std::lock_guard lock(mutex_);
    if (!dispatching_) return svc::kErrorFailedServiceControllerConnect;
    if (AsciiLowered(name) != AsciiLowered(serviceName_)) return svc::kErrorServiceDoesNotExist;
    handler_ = std::move(handler);
  }
  changed_.notify_all();
  handle = kStatusHandle;
  return 0;
}

long ScriptedServiceManager::SetServiceStatus(ServiceStatusHandle handle, const ServiceStatus& status) {
  if (long code = statusFaults.Next(); code != 0) return code;
  std::function<void(const ServiceStatus&)> hook;
  {
    std::lock_guard lock(mutex_);
    if (handle != kStatusHandle) return 6;  // ERROR_INVALID_HANDLE
    statuses_.push_back(status);
    hook = onStatus_;
  }
  changed_.notify_all();
  if (hook) hook(status);
  return 0;
}

long ScriptedServiceManager::SetServiceStatusText(ServiceStatusHandle handle, std::string_view text) {
  std::lock_guard lock(mutex_);
  if (handle != kStatusHandle) return 6;  // ERROR_INVALID_HANDLE
  statusTexts_.emplace_back(text);
  return 0;
}

std::uint32_t ScriptedServiceManager::KeepAliveIntervalMs() {
  std::lock_guard lock(mutex_);
  return dispatching_ ? keepAliveMs_ : 0;
}

long ScriptedServiceManager::NotifyAlive(ServiceStatusHandle handle) {
  std::lock_guard lock(mutex_);
  if (handle != kStatusHandle) return 6;
  ++aliveNotices_;
  return 0;
}

void ScriptedServiceManager::SetKeepAliveInterval(std::uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  keepAliveMs_ = milliseconds;
}

std::vector<std::string> ScriptedServiceManager::StatusTexts() const {
  std::lock_guard lock(mutex_);
  return statusTexts_;
}

int ScriptedServiceManager::AliveNotices() const {
  std::lock_guard lock(mutex_);
  return aliveNotices_;
}

void ScriptedServiceManager::SetStartArguments(std::vector<std::string> arguments) {
  std::lock_guard lock(mutex_);
  startArguments_ = std::move(arguments);
}

void ScriptedServiceManager::PostControl(std::uint32_t control) {
  {
    std::lock_guard lock(mutex_);
    controls_.push_back(control);
    ++controlsPosted_;
  }
  changed_.notify_all();
}

bool ScriptedServiceManager::DeliverControl(std::uint32_t control, std::chrono::milliseconds watchdog) {
  std::uint64_t ticket;
  {
    std::lock_guard lock(mutex_);
    controls_.push_back(control);
    ticket = ++controlsPosted_;
  }
  changed_.notify_all();
  const auto deadline = std::chrono::steady_clock::now() + watchdog;
  std::unique_lock lock(mutex_);
  while (controlsDelivered_ < ticket) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    changed_.wait_for(lock, kStep);
  }
  return true;
}

void ScriptedServiceManager::OnStatus(std::function<void(const ServiceStatus&)> hook) {
  std::lock_guard lock(mutex_);
  onStatus_ = std::move(hook);
}

std::vector<ServiceStatus> ScriptedServiceManager::Statuses() const {
  std::lock_guard lock(mutex_);
  return statuses_;
}

std::vector<std::uint32_t> ScriptedServiceManager::States() const {
  std::vector<std::uint32_t> states;
  for (const ServiceStatus& status : Statuses()) states.push_back(status.currentState);
  return states;
}

bool ScriptedServiceManager::WaitForState(std::uint32_t state, std::chrono::milliseconds watchdog) const {
  const auto deadline = std::chrono::steady_clock::now() + watchdog;
  std::unique_lock lock(mutex_);
  for (;;) {
    for (const ServiceStatus& status : statuses_) {
      if (status.currentState == state) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    changed_.wait_for(lock, kStep);
  }
}

ThreadId ScriptedServiceManager::DispatcherThread() const {
  std::lock_guard lock(mutex_);
  return dispatcherThread_;
}

std::vector<ThreadId> ScriptedServiceManager::HandlerThreads() const {
  std::lock_guard lock(mutex_);
  return handlerThreads_;
}

std::optional<ServiceConfig> ScriptedServiceManager::Service(std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto found = services_.find(AsciiLowered(name));
  if (found == services_.end()) return std::nullopt;
  return found->second;
}

void ScriptedServiceManager::Install(ServiceConfig config) {
  std::lock_guard lock(mutex_);
  std::string key = AsciiLowered(config.serviceName);
  services_[key] = std::move(config);
}

std::vector<ScriptedServiceManager::SentControl> ScriptedServiceManager::SentControls() const {
  std::lock_guard lock(mutex_);
  return sentControls_;
}

}  // namespace platform::testing
