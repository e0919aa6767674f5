// The built tillmoor executable on the Linux backends, each test in a temporary folder with its own
// registry file, unit folder and lock folder. Cycles that take time come from the executable's demo
// work (TESSERY_DEMO_ORDERS, TESSERY_DEMO_PAYMENT_MS, TESSERY_DEMO_LOG); TESSERY_TIME_SCALE shortens
// the one-minute period.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include "platform/Registry.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"

namespace {

namespace fs = std::filesystem;
using platform::RegistryValue;
using platform::RootKey;
using testsupport::Eventually;

constexpr std::string_view kAppIdKey = "AppID\\{1A619104-B56E-11d4-A7B8-0008C711C445}";
constexpr std::string_view kServiceKey =
    "SYSTEM\\CurrentControlSet\\Services\\Tessery Velmar Credit Card Payment Service";
constexpr std::string_view kUnit = "Tessery-Velmar-Credit-Card-Payment-Service.service";

std::string Slurp(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// One run of the executable; killed when the test leaves it running.
class Process : public testsupport::ChildProcess {
 public:
  Process(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
          const fs::path& output)
      : ChildProcess(WithExecutable(arguments), output, environment) {}

 private:
  static std::vector<std::string> WithExecutable(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{TILLMOOR_EXECUTABLE};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return all;
  }
};

class Tillmoor : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(folder_.Path() / "units"); }

  std::map<std::string, std::string> Environment(std::map<std::string, std::string> more = {}) {
    more["TESSERY_REGISTRY"] = (folder_.Path() / "registry.reg").string();
    more["TESSERY_SYSTEMD_UNIT_DIR"] = more.count("TESSERY_SYSTEMD_UNIT_DIR")
                                           ? more["TESSERY_SYSTEMD_UNIT_DIR"]
                                           : (folder_.Path() / "units").string();
    more["TESSERY_LOCK_DIR"] = (folder_.Path() / "locks").string();
    return more;
  }
  // Runs the executable to its end and returns its exit status.
  int Run(const std::vector<std::string>& arguments, std::map<std::string, std::string> more = {}) {
    Process process(arguments, Environment(std::move(more)), folder_.Path() / "run");
    return process.Wait();
  }
  // A started process that runs a cycle every 10 ms with the given demo orders.
  std::unique_ptr<Process> StartLocalServer(const std::string& name, const std::string& orders,
                                            int paymentMs) {
    return std::make_unique<Process>(
        std::vector<std::string>{},
        Environment({{"TESSERY_TIME_SCALE", "6000"},
                     {"TESSERY_DEMO_ORDERS", orders},
                     {"TESSERY_DEMO_PAYMENT_MS", std::to_string(paymentMs)},
                     {"TESSERY_DEMO_LOG", (folder_.Path() / (name + ".log")).string()}}),
        folder_.Path() / name);
  }
  std::vector<std::string> LogLines(const std::string& name) {
    std::vector<std::string> lines;
    std::istringstream in(Slurp(folder_.Path() / (name + ".log")));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  int CountLines(const std::string& name, const std::string& prefix) {
    int count = 0;
    for (const std::string& line : LogLines(name)) count += line.rfind(prefix, 0) == 0;
    return count;
  }
  std::unique_ptr<platform::Registry> Registry() {
    return platform::OpenFileRegistry(folder_.Path() / "registry.reg");
  }
  std::string Value(RootKey root, std::string_view key, std::string_view name) {
    RegistryValue value;
    if (Registry()->QueryValue(root, key, name, value) != 0) return "(missing)";
    return value.AsString();
  }

  testsupport::TempFolder folder_;
};

TEST_F(Tillmoor, StartBeforeRegistrationExitsWithTwo) {
  EXPECT_EQ(Run({}), 2);
  EXPECT_FALSE(fs::exists(folder_.Path() / "registry.reg"));
}

TEST_F(Tillmoor, RegServerThenStartRunsAsLocalServerUntilInterrupted) {
  ASSERT_EQ(Run({"-RegServer"}), 0);
  EXPECT_EQ(Value(RootKey::ClassesRoot, kAppIdKey, ""), "Tillmoor");
  EXPECT_EQ(Value(RootKey::ClassesRoot, kAppIdKey, "LocalService"), "(missing)");
  auto process = StartLocalServer("server", "A", 0);
  ASSERT_TRUE(Eventually([&] { return CountLines("server", "query") >= 2; })) << "no cycles";
  process->Signal(SIGINT);
  EXPECT_EQ(process->Wait(), 0);
  EXPECT_EQ(Slurp(folder_.Path() / "server.out"), "Service started with interval(minutes): 1\n");
  EXPECT_FALSE(fs::exists(folder_.Path() / "units" / kUnit));
}

TEST_F(Tillmoor, SigtermLetsTheRunningCycleFinish) {
  ASSERT_EQ(Run({"-RegServer"}), 0);
  auto process = StartLocalServer("server", "A,B", 1500);
  ASSERT_TRUE(Eventually([&] { return CountLines("server", "begin") == 2; }));
  process->Signal(SIGTERM);
  EXPECT_EQ(process->Wait(), 0);
  EXPECT_EQ(CountLines("server", "end"), 2) << "the stop cut the cycle short";
}

TEST_F(Tillmoor, ServiceWritesItsEntryAndUnitRunsUnderASupervisorAndUnregServerRemovesAll) {
  ASSERT_EQ(Run({"-Service"}), 0);
  EXPECT_EQ(Value(RootKey::ClassesRoot, kAppIdKey, "LocalService"), "Tillmoor");
  EXPECT_EQ(Value(RootKey::ClassesRoot, kAppIdKey, "ServiceParameters"), "-Service");
  EXPECT_EQ(Value(RootKey::LocalMachine, kServiceKey, "ImagePath"), TILLMOOR_EXECUTABLE);
  EXPECT_EQ(Value(RootKey::LocalMachine, kServiceKey, "ObjectName"), "LocalSystem");
  const std::string unit = Slurp(folder_.Path() / "units" / kUnit);
  EXPECT_NE(unit.find("ExecStart=\"" TILLMOOR_EXECUTABLE "\"\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("Type=notify\n"), std::string::npos) << unit;

  // The test is the supervisor: it owns the notify socket and stops the service with SIGTERM.
  const int notify = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = (folder_.Path() / "notify").string();
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(notify, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  timeval timeout{20, 0};
  ::setsockopt(notify, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  auto receive = [&] {
    char buffer[256];
    const ssize_t n = ::recv(notify, buffer, sizeof buffer, 0);
    return n < 0 ? std::string("(nothing)") : std::string(buffer, static_cast<std::size_t>(n));
  };
  Process service({}, Environment({{"NOTIFY_SOCKET", path}}), folder_.Path() / "service");
  EXPECT_EQ(receive(), "STATUS=Starting");
  EXPECT_EQ(receive(), "READY=1\nSTATUS=Running");
  service.Signal(SIGTERM);
  EXPECT_EQ(receive(), "STOPPING=1\nSTATUS=Stopping");
  EXPECT_EQ(receive(), "STATUS=Stopped");
  EXPECT_EQ(service.Wait(), 0);
  ::close(notify);
  EXPECT_EQ(Slurp(folder_.Path() / "service.out"), "") << "a service reports to the event log";

  ASSERT_EQ(Run({"-UnregServer"}), 0);
  EXPECT_FALSE(fs::exists(folder_.Path() / "units" / kUnit));
  auto registry = Registry();
  EXPECT_EQ(registry->OpenKey(RootKey::ClassesRoot, "AppID"), 0);
  EXPECT_NE(registry->OpenKey(RootKey::ClassesRoot, kAppIdKey), 0);
  EXPECT_NE(registry->OpenKey(RootKey::ClassesRoot, "AppID\\Tillmoor.EXE"), 0);
  EXPECT_NE(registry->OpenKey(RootKey::LocalMachine, kServiceKey), 0);
  EXPECT_NE(registry->OpenKey(RootKey::ClassesRoot, "TypeLib\\{1A619104-B56E-11D4-A7B8-0008C711C445}"), 0);
  EXPECT_EQ(Run({}), 2) << "unregistered again";
}

TEST_F(Tillmoor, UnwritableUnitFolderIsShownAndRegistrationGoesOn) {
  std::ofstream(folder_.Path() / "not-a-folder") << "x";
  ASSERT_EQ(Run({"-Service"}, {{"TESSERY_SYSTEMD_UNIT_DIR", (folder_.Path() / "not-a-folder").string()}}), 0);
  EXPECT_EQ(Slurp(folder_.Path() / "run.err"),
            "Tessery Velmar Credit Card Payment Service: Couldn't create service\n");
  EXPECT_EQ(Value(RootKey::ClassesRoot, kAppIdKey, "LocalService"), "Tillmoor");
  EXPECT_NE(Registry()->OpenKey(RootKey::LocalMachine, kServiceKey), 0);
  EXPECT_EQ(Registry()->OpenKey(RootKey::ClassesRoot, "TypeLib\\{1A619104-B56E-11D4-A7B8-0008C711C445}"), 0);
}

// A cycle of one process, from its query to the last payment it saw end.
struct Cycle {
  long long begin;
  long long end;
};

std::vector<Cycle> CyclesOf(const std::vector<std::string>& lines) {
  std::vector<Cycle> cycles;
  for (const std::string& line : lines) {
    std::istringstream fields(line);
    std::string kind, order;
    long long time = 0;
    fields >> kind;
    if (kind != "query") fields >> order;
    fields >> time;
    if (kind == "query") cycles.push_back({time, time});
    if (kind == "end" && !cycles.empty()) cycles.back().end = time;
  }
  return cycles;
}

TEST_F(Tillmoor, TwoProcessesNeverRunCyclesAtTheSameTime) {
  ASSERT_EQ(Run({"-RegServer"}), 0);
  auto first = StartLocalServer("first", "A,B", 40);
  auto second = StartLocalServer("second", "C,D", 40);
  ASSERT_TRUE(Eventually([&] { return CountLines("first", "end") >= 6 && CountLines("second", "end") >= 6; }))
      << "both processes should get cycles";
  first->Signal(SIGTERM);
  second->Signal(SIGTERM);
  EXPECT_EQ(first->Wait(), 0);
  EXPECT_EQ(second->Wait(), 0);
  for (const Cycle& a : CyclesOf(LogLines("first"))) {
    for (const Cycle& b : CyclesOf(LogLines("second"))) {
      EXPECT_TRUE(a.end < b.begin || b.end < a.begin)
          << "cycles overlap: [" << a.begin << ", " << a.end << "] and [" << b.begin << ", " << b.end << "]";
    }
  }
}

TEST_F(Tillmoor, AProcessKilledDuringACycleDoesNotKeepTheGuard) {
  ASSERT_EQ(Run({"-RegServer"}), 0);
  auto holder = StartLocalServer("holder", "A", 600000);
  ASSERT_TRUE(Eventually([&] { return CountLines("holder", "begin") == 1; }));
  auto waiter = StartLocalServer("waiter", "B", 0);
  ASSERT_TRUE(Eventually([&] { return !Slurp(folder_.Path() / "waiter.out").empty(); }));
  EXPECT_EQ(CountLines("waiter", "query"), 0) << "the guard was not held";
  holder->Signal(SIGKILL);
  EXPECT_EQ(holder->Wait(), 128 + SIGKILL);
  EXPECT_TRUE(Eventually([&] { return CountLines("waiter", "end") >= 1; })) << "the guard stayed held";
  waiter->Signal(SIGTERM);
  EXPECT_EQ(waiter->Wait(), 0);
}

}  // namespace
