// The service control manager.
//
// Keeps: opening the manager; creating, opening, controlling and deleting a service entry (handles
// are objects, closed when dropped); the dispatcher a service process connects with, which runs the
// service main on a new thread and calls the control handler on the thread that connected; the
// control handler's registration; status reports. Calls return 0 or a Win32 code.
// Leaves out: access checks (the rights asked for are accepted as given), service groups and tags,
// querying and changing a service's configuration, starting a service, enumeration, shared-process
// services (one service per process), failure actions.
//
// Linux backend (OpenServiceControlManager):
//   - A service entry is the registry key HKLM\SYSTEM\CurrentControlSet\Services\<name> with the values
//     ImagePath (REG_EXPAND_SZ), Type, Start, ErrorControl (REG_DWORD), DependOnService (REG_MULTI_SZ,
//     when there are dependencies), ObjectName (REG_SZ, "LocalSystem" for the local system account)
//     and DisplayName (REG_SZ), plus a systemd unit "<SystemdUnitName(name)>.service" in
//     SystemdUnitFolder(): Type=notify, ExecStart = the binary path, the display name as its
//     description, a restart on failure, a watchdog, and hardening that keeps the registry's and the
//     lock folder writable (docs/ARCHITECTURE.md has the lines). Creating writes the unit first and the
//     registry entry after it, deleting removes the unit first; a step that fails undoes the earlier one, so
//     the two never disagree. The unit is written 0644 whatever the umask, and only into a unit folder of the
//     caller or root that group and others cannot write (a sticky one where the unit is safe): another folder
//     is refused with ERROR_ACCESS_DENIED, details naming it (ErrorDescription).
//   - With the system's unit folder (no $TESSERY_SYSTEMD_UNIT_DIR), creating and deleting also ask
//     systemd to reload its units, and the stop control asks systemd to stop the unit without waiting
//     for it. With another folder no supervisor watches the units: the stop control answers
//     ERROR_SERVICE_NOT_ACTIVE.
//   - The dispatcher connects when a supervisor started the process, that is when $NOTIFY_SOCKET
//     names a socket (otherwise ERROR_FAILED_SERVICE_CONTROLLER_CONNECT). The service main receives
//     the service name followed by the start arguments given to OpenServiceControlManager (the
//     process's own arguments: the supervisor starts a service with them). SIGTERM and SIGINT are
//     blocked in the connecting thread (and so in every thread it starts) and taken there; each
//     reaches the control handler as SERVICE_CONTROL_STOP on that thread, also when it came before
//     the handler was registered. Status reports go to the supervisor as sd_notify datagrams:
//     SERVICE_RUNNING sends "READY=1", SERVICE_STOP_PENDING "STOPPING=1", every state a "STATUS=" line
//     (SERVICE_STOPPED with a Win32 exit code: "STATUS=Stopped with error <code>"; the process then
//     exits with that code, which the supervisor takes as a failed start when no READY=1 came).
//     SetServiceStatusText sends "STATUS=<text>" (line ends become spaces). When $WATCHDOG_USEC is
//     set (and $WATCHDOG_PID, when set, is this process), KeepAliveIntervalMs is half of it (at least
//     1 ms) and NotifyAlive sends "WATCHDOG=1"; otherwise it is 0 and NotifyAlive sends nothing.
//
// Test backend: ScriptedServiceManager in platform/testing keeps service entries in memory, records
// every status and delivers the controls a test scripts; each operation can fail by countdown.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace platform {

namespace svc {
// Service types, start types and error controls.
inline constexpr std::uint32_t kServiceWin32OwnProcess = 0x10;
inline constexpr std::uint32_t kServiceAutoStart = 2;
inline constexpr std::uint32_t kServiceDemandStart = 3;
inline constexpr std::uint32_t kServiceErrorNormal = 1;
// States.
inline constexpr std::uint32_t kServiceStopped = 1;
inline constexpr std::uint32_t kServiceStartPending = 2;
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;
// Controls.
inline constexpr std::uint32_t kControlStop = 1;
inline constexpr std::uint32_t kControlPause = 2;
inline constexpr std::uint32_t kControlContinue = 3;
inline constexpr std::uint32_t kControlInterrogate = 4;
inline constexpr std::uint32_t kControlShutdown = 5;
inline constexpr std::uint32_t kAcceptStop = 1;
// Access rights.
inline constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
inline constexpr std::uint32_t kServiceQueryConfig = 0x0001;
inline constexpr std::uint32_t kServiceStop = 0x0020;
inline constexpr std::uint32_t kDelete = 0x10000;
inline constexpr std::uint32_t kServiceAllAccess = 0xF01FF;
// Win32 codes of the manager.
inline constexpr long kErrorInvalidName = 123;
inline constexpr long kErrorInvalidServiceControl = 1052;
inline constexpr long kErrorServiceAlreadyRunning = 1056;
inline constexpr long kErrorServiceDoesNotExist = 1060;
inline constexpr long kErrorServiceNotActive = 1062;
inline constexpr long kErrorFailedServiceControllerConnect = 1063;
inline constexpr long kErrorServiceMarkedForDelete = 1072;
inline constexpr long kErrorServiceExists = 1073;
}  // namespace svc

struct ServiceStatus {
  std::uint32_t serviceType = svc::kServiceWin32OwnProcess;
  std::uint32_t currentState = svc::kServiceStopped;
  std::uint32_t controlsAccepted = 0;
  std::uint32_t win32ExitCode = 0;
  std::uint32_t serviceSpecificExitCode = 0;
  std::uint32_t checkPoint = 0;
  std::uint32_t waitHint = 0;

  friend bool operator==(const ServiceStatus&, const ServiceStatus&) = default;
};

struct ServiceConfig {
  std::string serviceName;
  std::string displayName;
  std::uint32_t serviceType = svc::kServiceWin32OwnProcess;
  std::uint32_t startType = svc::kServiceDemandStart;
  std::uint32_t errorControl = svc::kServiceErrorNormal;
  std::string binaryPathName;
  std::vector<std::string> dependencies;
  std::string serviceStartName;  // "" = the local system account
};

class ServiceHandle {
 public:
  virtual ~ServiceHandle() = default;
  // Sends a control; `status` receives the service's last reported status when the manager knows it.
  [[nodiscard, gnu::warn_unused_result]] virtual long Control(std::uint32_t control,
                                                              ServiceStatus& status) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual long Delete() = 0;
};

class ServiceManagerHandle {
 public:
  virtual ~ServiceManagerHandle() = default;
  [[nodiscard, gnu::warn_unused_result]] virtual long CreateService(
      const ServiceConfig& config, std::uint32_t access, std::unique_ptr<ServiceHandle>& service) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual long OpenService(
      std::string_view name, std::uint32_t access, std::unique_ptr<ServiceHandle>& service) = 0;
};

// The service main receives the argument vector of the start request: the service name first.
using ServiceMainFunction = std::function<void(const std::vector<std::string>& arguments)>;
using ServiceControlHandler = std::function<void(std::uint32_t control)>;
using ServiceStatusHandle = std::uintptr_t;  // 0 = none

class ServiceControlManager {
 public:
  virtual ~ServiceControlManager() = default;

  [[nodiscard, gnu::warn_unused_result]] virtual long OpenSCManager(
      std::uint32_t access, std::unique_ptr<ServiceManagerHandle>& manager) = 0;

  // Connects the process as the service `name`: runs `serviceMain` on a new thread and, on the
  // calling thread, delivers controls to the registered handler until the service main returns.
  [[nodiscard, gnu::warn_unused_result]] virtual long StartServiceCtrlDispatcher(
      std::string_view name, ServiceMainFunction serviceMain) = 0;
  // Called from the service main; on failure `handle` stays 0.
  [[nodiscard, gnu::warn_unused_result]] virtual long RegisterServiceCtrlHandler(
      std::string_view name, ServiceControlHandler handler, ServiceStatusHandle& handle) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual long SetServiceStatus(ServiceStatusHandle handle,
                                                                       const ServiceStatus& status) = 0;

  // What a supervisor offers beyond the status record (the platform's own manager has neither):
  // A line of text the supervisor shows with the service's state; one without such a place ignores it.
  [[nodiscard, gnu::warn_unused_result]] virtual long SetServiceStatusText(ServiceStatusHandle handle,
                                                                           std::string_view text) = 0;
  // How often the connected service must tell the supervisor that it is alive, in milliseconds; 0 when
  // nothing watches it (or the process is not connected).
  virtual std::uint32_t KeepAliveIntervalMs() = 0;
  // Tells the supervisor that the service is alive.
  [[nodiscard, gnu::warn_unused_result]] virtual long NotifyAlive(ServiceStatusHandle handle) = 0;
};

// `registry` must outlive the manager.
std::unique_ptr<ServiceControlManager> OpenServiceControlManager(Registry& registry,
                                                                 std::vector<std::string> startArguments);

// $TESSERY_SYSTEMD_UNIT_DIR when set, otherwise /etc/systemd/system.
std::filesystem::path SystemdUnitFolder();
// The unit name of a service: every run of characters other than ASCII letters, digits, '_' and '.'
// becomes one '-' ("Tessery Velmar" -> "Tessery-Velmar"), without '-' at either end.
std::string SystemdUnitName(std::string_view serviceName);
// The registry path below HKLM of a service entry.
std::string ServiceKeyPath(std::string_view serviceName);

}  // namespace platform
