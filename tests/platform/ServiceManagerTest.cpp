// Service entries on both backends, and the Linux backend's systemd unit, its modes and refusals.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "platform/ServiceManager.h"
#include "platform/Threading.h"
#include "platform/testing/ScriptedServiceManager.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"

namespace platform {
namespace {

using testsupport::Eventually;

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

ServiceConfig Config(std::string name, std::string path = "/opt/tessery/bin/tillmoor") {
  ServiceConfig config;
  config.serviceName = name;
  config.displayName = std::move(name);
  config.binaryPathName = std::move(path);
  config.dependencies = {"RPCSS"};
  return config;
}

// One contract for both backends: the Linux one (a memory registry and a temporary unit folder) and
// the scripted one.
class ServiceEntriesBase : public ::testing::Test {
 protected:
  void Open(bool linux) {
    ::setenv("TESSERY_SYSTEMD_UNIT_DIR", units_.Path().c_str(), 1);
    if (linux) {
      manager_ = OpenServiceControlManager(*registry_, {});
    } else {
      manager_ = std::make_unique<testing::ScriptedServiceManager>();
    }
    ASSERT_EQ(manager_->OpenSCManager(svc::kScManagerAllAccess, handle_), 0);
  }
  void TearDown() override { ::unsetenv("TESSERY_SYSTEMD_UNIT_DIR"); }

  testsupport::TempFolder units_;
  std::unique_ptr<Registry> registry_ = OpenMemoryRegistry();
  std::unique_ptr<ServiceControlManager> manager_;
  std::unique_ptr<ServiceManagerHandle> handle_;
};

class ServiceEntries : public ServiceEntriesBase, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override { Open(GetParam()); }
};

TEST_P(ServiceEntries, CreateOpenDeleteAndTheirRefusals) {
  std::unique_ptr<ServiceHandle> created, opened, again;
  EXPECT_EQ(handle_->OpenService("Payments", svc::kServiceQueryConfig, opened),
            svc::kErrorServiceDoesNotExist);
  ASSERT_EQ(handle_->CreateService(Config("Payments"), svc::kServiceAllAccess, created), 0);
  EXPECT_EQ(handle_->CreateService(Config("Payments"), svc::kServiceAllAccess, again),
            svc::kErrorServiceExists);
  EXPECT_EQ(handle_->CreateService(Config("a\\b"), svc::kServiceAllAccess, again), svc::kErrorInvalidName);
  ASSERT_EQ(handle_->OpenService("payments", svc::kServiceStop | svc::kDelete, opened), 0)
      << "names ignore case";
  ServiceStatus status;
  EXPECT_NE(opened->Control(svc::kControlStop, status), 0) << "nothing runs, so nothing can be stopped";
  EXPECT_EQ(opened->Delete(), 0);
  EXPECT_EQ(created->Delete(), svc::kErrorServiceMarkedForDelete);
  EXPECT_EQ(handle_->OpenService("Payments", svc::kServiceQueryConfig, opened),
            svc::kErrorServiceDoesNotExist);
}

INSTANTIATE_TEST_SUITE_P(Backends, ServiceEntries, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return param.param ? "Linux" : "Scripted";
                         });

class LinuxServiceEntries : public ServiceEntriesBase {
 protected:
  void SetUp() override { Open(true); }
};

TEST_F(LinuxServiceEntries, EntryIsKeptInTheRegistryAndAsASystemdUnit) {
  ::setenv("TESSERY_REGISTRY", "/var/x 100%/reg.reg", 1);
  std::unique_ptr<ServiceHandle> service;
  ASSERT_EQ(handle_->CreateService(Config("Tessery Velmar Service", "/opt/my tools/tillmoor$1"),
                                   svc::kServiceAllAccess, service),
            0);
  ::unsetenv("TESSERY_REGISTRY");
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\Tessery Velmar Service";
  RegistryValue value;
  ASSERT_EQ(registry_->QueryValue(RootKey::LocalMachine, key, "ImagePath", value), 0);
  EXPECT_EQ(value.type, kRegExpandSz);
  EXPECT_EQ(value.AsString(), "/opt/my tools/tillmoor$1");
  const std::pair<const char*, std::uint32_t> numbers[] = {{"Type", 0x10}, {"Start", 3}, {"ErrorControl", 1}};
  for (const auto& [name, number] : numbers) {
    ASSERT_EQ(registry_->QueryValue(RootKey::LocalMachine, key, name, value), 0) << name;
    EXPECT_EQ(value, RegistryValue::DWord(number)) << name;
  }
  ASSERT_EQ(registry_->QueryValue(RootKey::LocalMachine, key, "DependOnService", value), 0);
  EXPECT_EQ(value.type, kRegMultiSz);
  EXPECT_EQ(value.data, (std::vector<std::uint8_t>{'R', 'P', 'C', 'S', 'S', 0, 0}));
  ASSERT_EQ(registry_->QueryValue(RootKey::LocalMachine, key, "ObjectName", value), 0);
  EXPECT_EQ(value.AsString(), "LocalSystem");
  ASSERT_EQ(registry_->QueryValue(RootKey::LocalMachine, key, "DisplayName", value), 0);
  EXPECT_EQ(value.AsString(), "Tessery Velmar Service");

  const auto unit = units_.Path() / "Tessery-Velmar-Service.service";
  const std::string text = Slurp(unit);
  EXPECT_NE(text.find("\nType=notify\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nExecStart=\"/opt/my tools/tillmoor$$1\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nEnvironment=\"TESSERY_REGISTRY=/var/x 100%%/reg.reg\"\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\nDescription=Tessery Velmar Service\n"), std::string::npos) << text;

  EXPECT_EQ(service->Delete(), 0);
  EXPECT_FALSE(std::filesystem::exists(unit));
  EXPECT_NE(registry_->OpenKey(RootKey::LocalMachine, key), 0);
}

TEST_F(LinuxServiceEntries, UnwritableUnitFolderLeavesNoEntry) {
  std::ofstream(units_.Path() / "file") << "not a folder";
  ::setenv("TESSERY_SYSTEMD_UNIT_DIR", (units_.Path() / "file").c_str(), 1);
  std::unique_ptr<ServiceHandle> service;
  EXPECT_NE(handle_->CreateService(Config("Payments"), svc::kServiceAllAccess, service), 0);
  EXPECT_NE(registry_->OpenKey(RootKey::LocalMachine, ServiceKeyPath("Payments")), 0);
  EXPECT_EQ(handle_->OpenService("Payments", svc::kServiceQueryConfig, service),
            svc::kErrorServiceDoesNotExist);
}

// What the supervisor runs as root is written 0644 whatever the umask, and only into a folder nobody
// else may write (where anyone could have planted or could replace the unit).
TEST_F(LinuxServiceEntries, UnitIsClosedToOthersAndAFolderOthersMayWriteIsRefused) {
  std::unique_ptr<ServiceHandle> service;
  const mode_t umask = ::umask(0);
  ASSERT_EQ(handle_->CreateService(Config("Payments"), svc::kServiceAllAccess, service), 0);
  ::umask(umask);
  struct stat info {};
  ASSERT_EQ(::stat((units_.Path() / "Payments.service").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u);

  ::chmod(units_.Path().c_str(), 0777);
  EXPECT_EQ(handle_->CreateService(Config("Refunds"), svc::kServiceAllAccess, service), win32::AccessDenied);
  EXPECT_EQ(ErrorDescription(win32::AccessDenied),
            "The unit folder " + units_.Path().string() + " is writable by group or others");
  EXPECT_FALSE(std::filesystem::exists(units_.Path() / "Refunds.service"));
  EXPECT_NE(registry_->OpenKey(RootKey::LocalMachine, ServiceKeyPath("Refunds")), 0);
}

// Under the unit's read-only system folders the registry's folder and the lock folder stay writable;
// /tmp is private only when neither lies in a temporary folder, which a private one would hide from
// the processes started by hand that share them.
TEST_F(LinuxServiceEntries, UnitKeepsRegistryAndLockFoldersWritableAndTmpPrivateWhereThatHidesNothing) {
  std::unique_ptr<ServiceHandle> service;
  ::setenv("TESSERY_REGISTRY", "/var/x 100%/reg.reg", 1);
  ::setenv("TESSERY_LOCK_DIR", "/run/tessery-test", 1);
  ASSERT_EQ(handle_->CreateService(Config("Payments"), svc::kServiceAllAccess, service), 0);
  ::setenv("TESSERY_LOCK_DIR", "/var/tmp/../tmp/locks", 1);
  ASSERT_EQ(handle_->CreateService(Config("Refunds"), svc::kServiceAllAccess, service), 0);
  ::unsetenv("TESSERY_REGISTRY");
  ::unsetenv("TESSERY_LOCK_DIR");
  const std::string payments = Slurp(units_.Path() / "Payments.service");
  for (const char* line :
       {"\nReadWritePaths=\"-/var/x 100%%\"\n", "\nReadWritePaths=\"-/run/tessery-test\"\n",
        "\nPrivateTmp=yes\n", "\nRestart=on-failure\n", "\nWatchdogSec=5min\n"}) {
    EXPECT_NE(payments.find(line), std::string::npos) << line << " in\n" << payments;
  }
  const std::string refunds = Slurp(units_.Path() / "Refunds.service");
  EXPECT_NE(refunds.find("\nReadWritePaths=\"-/var/tmp/locks\"\n"), std::string::npos) << refunds;
  EXPECT_EQ(refunds.find("PrivateTmp"), std::string::npos) << refunds;
}

TEST_F(LinuxServiceEntries, AUnitOfAnotherServiceIsNeitherReplacedNorRemoved) {
  std::unique_ptr<ServiceHandle> first, second;
  ASSERT_EQ(handle_->CreateService(Config("Pay ments"), svc::kServiceAllAccess, first), 0);
  EXPECT_EQ(handle_->CreateService(Config("Pay-ments"), svc::kServiceAllAccess, second),
            svc::kErrorServiceExists);
  EXPECT_NE(Slurp(units_.Path() / "Pay-ments.service").find("\"Pay ments\""), std::string::npos);
}

TEST(SystemdUnitName, RunsOfOtherCharactersBecomeOneDash) {
  EXPECT_EQ(SystemdUnitName("Tessery Velmar Credit Card Payment Service"),
            "Tessery-Velmar-Credit-Card-Payment-Service");
  EXPECT_EQ(SystemdUnitName("  a/b\\c  d.e_f "), "a-b-c-d.e_f");
  EXPECT_EQ(SystemdUnitName("!!"), "");
}

// The Linux dispatcher, with this test as the supervisor: it owns the notify socket.
class LinuxDispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = (folder_.Path() / "notify").string();
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    timeval timeout{20, 0};
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("NOTIFY_SOCKET");
    ::close(socket_);
  }
  std::string Receive() {
    char buffer[256];
    const ssize_t n = ::recv(socket_, buffer, sizeof buffer, 0);
    return n < 0 ? "(nothing)" : std::string(buffer, static_cast<std::size_t>(n));
  }

  testsupport::TempFolder folder_;
  int socket_ = -1;
  std::unique_ptr<Registry> registry_ = OpenMemoryRegistry();
};

TEST_F(LinuxDispatcher, WithoutASupervisorItDoesNotConnect) {
  ::unsetenv("NOTIFY_SOCKET");
  auto manager = OpenServiceControlManager(*registry_, {});
  bool ran = false;
  EXPECT_EQ(manager->StartServiceCtrlDispatcher("Payments", [&](const auto&) { ran = true; }),
            svc::kErrorFailedServiceControllerConnect);
  EXPECT_FALSE(ran);
}

TEST_F(LinuxDispatcher, RunsServiceMainAndTurnsSigtermIntoTheStopControlOnItsThread) {
  auto manager = OpenServiceControlManager(*registry_, {"5"});
  const pthread_t dispatcherThread = ::pthread_self();
  std::vector<std::string> arguments;
  std::atomic<ThreadId> handlerThread{0};
  std::atomic<std::uint32_t> control{0};
  const long result =
      manager->StartServiceCtrlDispatcher("Payments", [&](const std::vector<std::string>& args) {
        arguments = args;
        ServiceStatusHandle handle = 0;
        ASSERT_EQ(manager->RegisterServiceCtrlHandler(
                      "Payments",
                      [&](std::uint32_t code) {
                        handlerThread = CurrentThreadId();
                        control = code;
                      },
                      handle),
                  0);
        ServiceStatus status;
        for (std::uint32_t state : {svc::kServiceStartPending, svc::kServiceRunning}) {
          status.currentState = state;
          EXPECT_EQ(manager->SetServiceStatus(handle, status), 0);
        }
        // As a supervisor's kill would reach the one thread taking it.
        ::pthread_kill(dispatcherThread, SIGTERM);  // NOLINT(bugprone-bad-signal-to-kill-thread)
        if (!Eventually([&] { return control.load() != 0; })) testsupport::Hung("the stop control");
        for (std::uint32_t state : {svc::kServiceStopPending, svc::kServiceStopped}) {
          status.currentState = state;
          EXPECT_EQ(manager->SetServiceStatus(handle, status), 0);
        }
      });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(arguments, (std::vector<std::string>{"Payments", "5"}));
  EXPECT_EQ(control, svc::kControlStop);
  EXPECT_EQ(handlerThread, CurrentThreadId()) << "the handler runs on the thread that connected";
  EXPECT_EQ(Receive(), "STATUS=Starting");
  EXPECT_EQ(Receive(), "READY=1\nSTATUS=Running");
  EXPECT_EQ(Receive(), "STOPPING=1\nSTATUS=Stopping");
  EXPECT_EQ(Receive(), "STATUS=Stopped");
}

}  // namespace
}  // namespace platform
