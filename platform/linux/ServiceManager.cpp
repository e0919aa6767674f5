// Linux backend of the service control manager: service entries in the registry plus a systemd unit;
// the dispatcher speaks systemd's notify protocol and takes SIGTERM as the stop control.
#include "platform/ServiceManager.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "AtomicFile.h"
#include "PosixError.h"
#include "StopSignals.h"
#include "TrustedFolder.h"
#include "platform/Threading.h"
#include "runtime/Ascii.h"
#include "runtime/Error.h"

extern char** environ;

namespace platform {

namespace {

using linux_backend::Win32FromErrno;

constexpr std::string_view kServicesPath = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr int kSignalStepMs = 100;
// The unit's restart delay and watchdog time. The service says it is alive at half the watchdog
// time from its service thread: in its message loop and while a cycle waits for its workers or for a
// run guard. The order query, a connect to a database and the registry's lock waits are the service
// thread's own steps between those; five minutes leave them room (a connect to a host that does not
// answer may take two) and still catch a service thread stuck for good.
constexpr std::string_view kUnitRestartDelay = "5s";
constexpr std::string_view kUnitWatchdog = "5min";

bool UsesSystemUnitFolder() {
  const char* configured = std::getenv("TESSERY_SYSTEMD_UNIT_DIR");
  return configured == nullptr || *configured == '\0';
}

// Runs systemctl with `arguments`, output discarded; true when it ran and succeeded.
bool RunSystemctl(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "systemctl");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int spawned = ::posix_spawnp(&child, "systemctl", &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A value in a unit file: '%' doubled (systemd's specifier escape); false when it holds a line end.
bool UnitText(std::string_view text, std::string& out) {
  out.clear();
  for (char c : text) {
    if (c == '\n' || c == '\r' || c == '\0') return false;
    if (c == '%') out.push_back('%');
    out.push_back(c);
  }
  return true;
}

// One word of a command or an assignment in a unit file: in double quotes, with '\' and '"'
// escaped, '%' and '$' doubled.
bool QuotedUnitWord(std::string_view text, std::string& out) {
  std::string plain;
  if (!UnitText(text, plain)) return false;
  out = "\"";
  for (char c : plain) {
    if (c == '\\' || c == '"') out.push_back('\\');
    if (c == '$') out.push_back('$');
    out.push_back(c);
  }
  out.push_back('"');
  return true;
}

// Whether `folder` lies in /tmp or /var/tmp, which a private temporary folder would hide.
bool InSharedTemporaryFolder(const std::filesystem::path& folder) {
  std::error_code ignored;
  for (const std::filesystem::path& path :
       {folder.lexically_normal(), std::filesystem::weakly_canonical(folder, ignored)}) {
    for (const std::filesystem::path temporary : {"/tmp", "/var/tmp"}) {
      const auto [end, rest] = std::mismatch(temporary.begin(), temporary.end(), path.begin(), path.end());
      if (end == temporary.end()) return true;
    }
  }
  return false;
}

std::string MarkerLine(std::string_view serviceName) {
  return "# Service entry \"" + std::string(serviceName) + "\"; written and removed with it.";
}

long UnitFileText(const ServiceConfig& config, std::string& text) {
  std::string description;
  std::string command;
  if (!UnitText(config.displayName.empty() ? config.serviceName : config.displayName, description) ||
      !QuotedUnitWord(config.binaryPathName, command) || config.serviceName.find('\n') != std::string::npos) {
    return win32::InvalidParameter;
  }
  text = MarkerLine(config.serviceName) + "\n[Unit]\nDescription=" + description +
         "\n\n[Service]\nType=notify\n";
  text += "ExecStart=" + command + "\n";
  // The service must read the same registry and share its run guards with the processes of the
  // installer's environment.
  for (const char* variable : {"TESSERY_REGISTRY", "TESSERY_LOCK_DIR"}) {
    const char* value = std::getenv(variable);
    std::string word;
    if (value != nullptr && *value != '\0' && QuotedUnitWord(std::string(variable) + "=" + value, word)) {
      text += "Environment=" + word + "\n";
    }
  }
  // A stop waits for the work under way to end; the supervisor must not cut it short.
  text += "TimeoutStopSec=infinity\n";
  // A process that ends by a fault, the watchdog's included, or a start that fails is started again.
  text += "Restart=on-failure\nRestartSec=" + std::string(kUnitRestartDelay) + "\n";
  text += "WatchdogSec=" + std::string(kUnitWatchdog) + "\n";
  text += "NoNewPrivileges=yes\nProtectSystem=full\n";
  // The registry's folder (its lock file and the temporary files of a rewrite live there too) and the
  // lock folder stay writable wherever they are; "-": a folder not made yet is no failed start.
  const std::filesystem::path folders[] = {std::filesystem::absolute(DefaultRegistryPath()).parent_path(),
                                           std::filesystem::absolute(NamedEventFolder())};
  bool sharedTemporary = false;
  for (const std::filesystem::path& folder : folders) {
    std::string word;
    if (!QuotedUnitWord("-" + folder.lexically_normal().string(), word)) return win32::InvalidParameter;
    text += "ReadWritePaths=" + word + "\n";
    sharedTemporary = sharedTemporary || InSharedTemporaryFolder(folder);
  }
  // A private /tmp would part the service from the run guard or registry of the processes started by
  // hand when those live in a temporary folder.
  if (!sharedTemporary) text += "PrivateTmp=yes\n";
  text += "\n[Install]\nWantedBy=multi-user.target\n";
  return win32::Success;
}

std::filesystem::path UnitPath(std::string_view serviceName) {
  return SystemdUnitFolder() / (SystemdUnitName(serviceName) + ".service");
}

// Units are written only into a trusted unit folder: a folder others may write would let them
// replace or plant what the supervisor runs as root.
long CheckUnitFolder(const std::filesystem::path& unit) {
  const long trusted =
      linux_backend::CheckTrustedFolder(linux_backend::kUnitFolder, unit.parent_path(), unit);
  if (trusted != win32::FileNotFound) return trusted;
  SetErrorDetails(win32::PathNotFound, "The unit folder " + unit.parent_path().string() + " does not exist");
  return win32::PathNotFound;
}

// Writes the unit through an AtomicFile, 0644 whatever the umask.
long WriteUnitFile(const std::filesystem::path& path, const std::string& text) {
  if (const linux_backend::FileError error = linux_backend::ReplaceFile(path, text, 0644)) {
    const long code = Win32FromErrno(error.number);
    SetErrorDetails(code, std::string(error.step) + " " + path.string() + ": " + std::strerror(error.number));
    return code;
  }
  return win32::Success;
}

// The service a unit file was written for, from its first line; "" when it has none.
std::string UnitOwner(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  const std::string prefix = "# Service entry \"";
  if (line.rfind(prefix, 0) != 0) return {};
  const std::size_t end = line.find("\";", prefix.size());
  return end == std::string::npos ? std::string() : line.substr(prefix.size(), end - prefix.size());
}

RegistryValue TypedText(std::uint32_t type, std::string_view text) {
  RegistryValue value = RegistryValue::String(text);
  value.type = type;
  return value;
}

RegistryValue MultiText(const std::vector<std::string>& texts) {
  RegistryValue value;
  value.type = kRegMultiSz;
  for (const std::string& text : texts) {
    value.data.insert(value.data.end(), text.begin(), text.end());
    value.data.push_back(0);
  }
  value.data.push_back(0);
  return value;
}

long WriteServiceKey(Registry& registry, const ServiceConfig& config) {
  const std::string path = ServiceKeyPath(config.serviceName);
  if (long code = registry.CreateKey(RootKey::LocalMachine, path); code != win32::Success) return code;
  std::vector<std::pair<std::string_view, RegistryValue>> values = {
      {"Type", RegistryValue::DWord(config.serviceType)},
      {"Start", RegistryValue::DWord(config.startType)},
      {"ErrorControl", RegistryValue::DWord(config.errorControl)},
      {"ImagePath", TypedText(kRegExpandSz, config.binaryPathName)},
      {"DisplayName", RegistryValue::String(config.displayName)},
      {"ObjectName",
       RegistryValue::String(config.serviceStartName.empty() ? "LocalSystem" : config.serviceStartName)},
  };
  if (!config.dependencies.empty()) values.emplace_back("DependOnService", MultiText(config.dependencies));
  for (const auto& [name, value] : values) {
    if (long code = registry.SetValue(RootKey::LocalMachine, path, name, value); code != win32::Success)
      return code;
  }
  return win32::Success;
}

class LinuxService final : public ServiceHandle {
 public:
  LinuxService(Registry& registry, std::string name) : registry_(registry), name_(std::move(name)) {}

  long Control(std::uint32_t control, ServiceStatus& status) override {
    (void)status;
    if (control != svc::kControlStop) return svc::kErrorInvalidServiceControl;
    if (!UsesSystemUnitFolder()) return svc::kErrorServiceNotActive;
    return RunSystemctl({"stop", "--no-block", SystemdUnitName(name_) + ".service"})
               ? win32::Success
               : svc::kErrorServiceNotActive;
  }

  long Delete() override {
    const std::string path = ServiceKeyPath(name_);
    if (registry_.OpenKey(RootKey::LocalMachine, path) != win32::Success)
      return svc::kErrorServiceMarkedForDelete;
    const std::filesystem::path unit = UnitPath(name_);
    if (UnitOwner(unit) == name_ && ::unlink(unit.c_str()) != 0 && errno != ENOENT)
      return Win32FromErrno(errno);
    if (long code = registry_.DeleteTree(RootKey::LocalMachine, path); code != win32::Success) return code;
    if (UsesSystemUnitFolder()) RunSystemctl({"daemon-reload"});
    return win32::Success;
  }

 private:
  Registry& registry_;
  const std::string name_;
};

class LinuxManager final : public ServiceManagerHandle {
 public:
  explicit LinuxManager(Registry& registry) : registry_(registry) {}

  long CreateService(const ServiceConfig& config, std::uint32_t access,
                     std::unique_ptr<ServiceHandle>& service) override {
    (void)access;
    if (config.serviceName.empty() || config.serviceName.size() > 256 ||
        config.serviceName.find_first_of("\\/") != std::string::npos ||
        SystemdUnitName(config.serviceName).empty()) {
      return svc::kErrorInvalidName;
    }
    if (registry_.OpenKey(RootKey::LocalMachine, ServiceKeyPath(config.serviceName)) == win32::Success) {
      return svc::kErrorServiceExists;
    }
    const std::filesystem::path unit = UnitPath(config.serviceName);
    if (long code = CheckUnitFolder(unit); code != win32::Success) return code;
    const std::string owner = UnitOwner(unit);
    std::error_code ignored;
    if (std::filesystem::exists(unit, ignored) && owner != config.serviceName)
      return svc::kErrorServiceExists;

    std::string text;
    if (long code = UnitFileText(config, text); code != win32::Success) return code;
    if (long code = WriteUnitFile(unit, text); code != win32::Success) return code;
    if (long code = WriteServiceKey(registry_, config); code != win32::Success) {
      IgnoreResult(registry_.DeleteTree(RootKey::LocalMachine, ServiceKeyPath(config.serviceName)),
                   "undoing a failed create: the failure to report is the one returned");
      ::unlink(unit.c_str());
      return code;
    }
    if (UsesSystemUnitFolder()) RunSystemctl({"daemon-reload"});
    service = std::make_unique<LinuxService>(registry_, config.serviceName);
    return win32::Success;
  }

  long OpenService(std::string_view name, std::uint32_t access,
                   std::unique_ptr<ServiceHandle>& service) override {
    (void)access;
    if (name.empty()) return svc::kErrorInvalidName;
    const long code = registry_.OpenKey(RootKey::LocalMachine, ServiceKeyPath(name));
    if (code == win32::FileNotFound) return svc::kErrorServiceDoesNotExist;
    if (code != win32::Success) return code;
    service = std::make_unique<LinuxService>(registry_, std::string(name));
    return win32::Success;
  }

 private:
  Registry& registry_;
};

class LinuxServiceControlManager final : public ServiceControlManager {
 public:
  LinuxServiceControlManager(Registry& registry, std::vector<std::string> startArguments)
      : registry_(registry), startArguments_(std::move(startArguments)) {}

  long OpenSCManager(std::uint32_t access, std::unique_ptr<ServiceManagerHandle>& manager) override {
    (void)access;
    if (long code = registry_.OpenKey(RootKey::LocalMachine, ""); code != win32::Success) return code;
    manager = std::make_unique<LinuxManager>(registry_);
    return win32::Success;
  }

  long StartServiceCtrlDispatcher(std::string_view name, ServiceMainFunction serviceMain) override {
    sockaddr_un address{};
    socklen_t addressLength = 0;
    if (!NotifyAddress(address, addressLength)) return svc::kErrorFailedServiceControllerConnect;
    {
      std::lock_guard lock(mutex_);
      if (connected_) return svc::kErrorServiceAlreadyRunning;
      const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      if (fd < 0) return svc::kErrorFailedServiceControllerConnect;
      connected_ = true;
      keepAliveMs_ = WatchdogHalfMs();
      socket_ = fd;
      address_ = address;
      addressLength_ = addressLength;
      serviceName_ = std::string(name);
    }

    sigset_t previous;
    const sigset_t stopSignals = linux_backend::StopSignalSet();
    ::pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);

    std::vector<std::string> arguments{std::string(name)};
    arguments.insert(arguments.end(), startArguments_.begin(), startArguments_.end());
    std::atomic<bool> mainReturned{false};
    long result = win32::Success;
    try {
      std::thread mainThread([&] {
        serviceMain(arguments);
        mainReturned = true;
      });
      while (!mainReturned) {
        if (linux_backend::TakeStopSignal(kSignalStepMs) != 0) {
          std::lock_guard lock(mutex_);
          ++pendingStops_;
        }
        DeliverPendingStops();
      }
      mainThread.join();
    } catch (const std::system_error&) {
      result = win32::NotEnoughMemory;
    }
    linux_backend::ForgetStop();

    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    std::lock_guard lock(mutex_);
    ::close(socket_);
    socket_ = -1;
    connected_ = false;
    handler_ = nullptr;
    pendingStops_ = 0;
    return result;
  }

  long RegisterServiceCtrlHandler(std::string_view name, ServiceControlHandler handler,
                                  ServiceStatusHandle& handle) override {
    std::lock_guard lock(mutex_);
    if (!connected_) return svc::kErrorFailedServiceControllerConnect;
    if (name != serviceName_) return svc::kErrorServiceDoesNotExist;
    handler_ = std::move(handler);
    handle = kStatusHandle;
    return win32::Success;
  }

  long SetServiceStatus(ServiceStatusHandle handle, const ServiceStatus& status) override {
    std::string datagram;
    switch (status.currentState) {
      case svc::kServiceStartPending:
        datagram = "STATUS=Starting";
        break;
      case svc::kServiceRunning:
        datagram = "READY=1\nSTATUS=Running";
        break;
      case svc::kServiceStopPending:
        datagram = "STOPPING=1\nSTATUS=Stopping";
        break;
      case svc::kServiceStopped:
        // A service that stops with an error before it was ready is a failed start: its process then
        // exits with that error, which the supervisor takes as the start's failure.
        datagram = status.win32ExitCode == 0
                       ? "STATUS=Stopped"
                       : "STATUS=Stopped with error " + std::to_string(status.win32ExitCode);
        break;
      default:
        datagram = "STATUS=State " + std::to_string(status.currentState);
        break;
    }
    return Send(handle, datagram, 0);
  }

  long SetServiceStatusText(ServiceStatusHandle handle, std::string_view text) override {
    std::string datagram = "STATUS=" + std::string(text);
    std::replace_if(
        datagram.begin(), datagram.end(), [](char c) { return c == '\n' || c == '\r' || c == '\0'; }, ' ');
    return Send(handle, datagram, MSG_DONTWAIT);
  }

  std::uint32_t KeepAliveIntervalMs() override {
    std::lock_guard lock(mutex_);
    return connected_ ? keepAliveMs_ : 0;
  }

  long NotifyAlive(ServiceStatusHandle handle) override {
    if (KeepAliveIntervalMs() == 0) return win32::Success;
    return Send(handle, "WATCHDOG=1", MSG_DONTWAIT);
  }

 private:
  static constexpr ServiceStatusHandle kStatusHandle = 1;

  // `flags` MSG_DONTWAIT: a text or notice the supervisor is not taking now is dropped rather than
  // keep the service thread waiting; a state change waits until the supervisor takes it.
  long Send(ServiceStatusHandle handle, std::string_view datagram, int flags) {
    std::lock_guard lock(mutex_);
    if (!connected_ || handle != kStatusHandle) return win32::InvalidHandle;
    const ssize_t sent = ::sendto(socket_, datagram.data(), datagram.size(), MSG_NOSIGNAL | flags,
                                  reinterpret_cast<const sockaddr*>(&address_), addressLength_);
    return sent < 0 ? Win32FromErrno(errno) : win32::Success;
  }

  // Half the supervisor's watchdog time ($WATCHDOG_USEC, microseconds) in milliseconds, at least 1; 0
  // when it is not set, not a number, or meant for another process ($WATCHDOG_PID).
  static std::uint32_t WatchdogHalfMs() {
    const char* usec = std::getenv("WATCHDOG_USEC");
    if (usec == nullptr || *usec == '\0') return 0;
    if (const char* pid = std::getenv("WATCHDOG_PID"); pid != nullptr && *pid != '\0') {
      char* end = nullptr;
      errno = 0;
      const unsigned long long owner = std::strtoull(pid, &end, 10);
      if (errno != 0 || *end != '\0' || owner != static_cast<unsigned long long>(::getpid())) return 0;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long micros = std::strtoull(usec, &end, 10);
    if (errno != 0 || *end != '\0' || micros == 0 || usec[0] == '-') return 0;
    const unsigned long long half = micros / 2000;
    return static_cast<std::uint32_t>(std::clamp<unsigned long long>(half, 1, 0x7FFFFFFFu));
  }

  // $NOTIFY_SOCKET: a path, or '@' and the name of a socket in the abstract namespace.
  static bool NotifyAddress(sockaddr_un& address, socklen_t& length) {
    const char* socketName = std::getenv("NOTIFY_SOCKET");
    if (socketName == nullptr) return false;
    const std::string_view name(socketName);
    if (name.size() < 2 || name.size() >= sizeof(address.sun_path) || (name[0] != '/' && name[0] != '@')) {
      return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name[0] == '@') address.sun_path[0] = '\0';
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    return true;
  }

  // Calls the handler, on this thread, for every stop that arrived; stops before the handler's
  // registration wait for it.
  void DeliverPendingStops() {
    for (;;) {
      ServiceControlHandler handler;
      {
        std::lock_guard lock(mutex_);
        if (pendingStops_ == 0 || !handler_) return;
        --pendingStops_;
        handler = handler_;
      }
      handler(svc::kControlStop);
    }
  }

  Registry& registry_;
  const std::vector<std::string> startArguments_;
  std::mutex mutex_;
  bool connected_ = false;
  std::uint32_t keepAliveMs_ = 0;
  int socket_ = -1;
  sockaddr_un address_{};
  socklen_t addressLength_ = 0;
  std::string serviceName_;
  ServiceControlHandler handler_;
  int pendingStops_ = 0;
};

}  // namespace

std::filesystem::path SystemdUnitFolder() {
  const char* configured = std::getenv("TESSERY_SYSTEMD_UNIT_DIR");
  if (configured != nullptr && *configured != '\0') return configured;
  return "/etc/systemd/system";
}

std::string SystemdUnitName(std::string_view serviceName) {
  std::string unit;
  bool pendingDash = false;
  for (char c : serviceName) {
    const bool kept = IsAsciiAlnum(c) || c == '_' || c == '.';
    if (!kept) {
      pendingDash = true;
      continue;
    }
    if (pendingDash && !unit.empty()) unit.push_back('-');
    pendingDash = false;
    unit.push_back(c);
  }
  return unit;
}

std::string ServiceKeyPath(std::string_view serviceName) {
  return std::string(kServicesPath) + std::string(serviceName);
}

std::unique_ptr<ServiceControlManager> OpenServiceControlManager(Registry& registry,
                                                                 std::vector<std::string> startArguments) {
  return std::make_unique<LinuxServiceControlManager>(registry, std::move(startArguments));
}

}  // namespace platform
