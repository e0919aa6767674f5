// The built tillmoor executable on the Linux backends, each test in a temporary folder with its own
// registry file, unit folder and lock folder. Cycles that take time come from the executable's demo
// work (TESSERY_DEMO_ORDERS, TESSERY_DEMO_PAYMENT_MS, TESSERY_DEMO_LOG); TESSERY_TIME_SCALE shortens
// the one-minute period.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "platform/Registry.h"
#include "support/ChildProcess.h"
#include "support/OtherUser.h"
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

constexpr std::string_view kName = "Tessery Velmar Credit Card Payment Service";

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// Whether the process blocks SIGTERM: from then on a SIGTERM waits for the process to take it.
bool BlocksSigterm(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigBlk:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
  }
  return false;
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The supervisor's end of the notify protocol: a datagram socket the service sends its status to.
class Supervisor {
 public:
  explicit Supervisor(const fs::path& path) : path_(path.string()) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path_.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    timeval timeout{20, 0};
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  }
  ~Supervisor() { ::close(socket_); }
  Supervisor(const Supervisor&) = delete;
  Supervisor& operator=(const Supervisor&) = delete;

  const std::string& Path() const { return path_; }
  // The next datagram, or "(nothing)" when none came within the watchdog.
  std::string Receive() {
    char buffer[256];
    const ssize_t n = ::recv(socket_, buffer, sizeof buffer, 0);
    return n < 0 ? std::string("(nothing)") : std::string(buffer, static_cast<std::size_t>(n));
  }

 private:
  std::string path_;
  int socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
};

// One run of the executable; killed when the test leaves it running.
class Process : public testsupport::ChildProcess {
 public:
  Process(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
          const fs::path& output, int standardOutput = -1)
      : ChildProcess(WithExecutable(arguments), output, environment, standardOutput) {}

 private:
  static std::vector<std::string> WithExecutable(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{TILLMOOR_EXECUTABLE};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return all;
  }
};

// One line of the demo order source's log: its kind ("query", "begin" or "end") and its time in
// nanoseconds; begin and end lines name their order between the two.
struct LogEntry {
  std::string kind;
  long long time = 0;
};

LogEntry ParseLogLine(const std::string& line) {
  std::istringstream fields(line);
  LogEntry entry;
  std::string order;
  fields >> entry.kind;
  if (entry.kind != "query") fields >> order;
  fields >> entry.time;
  return entry;
}

class Tillmoor : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(folder_.Path() / "units");
    fs::permissions(folder_.Path() / "units", fs::perms(0755));
  }

  // The test's registry, unit folder and lock folder, unless `more` names others.
  std::map<std::string, std::string> Environment(std::map<std::string, std::string> more = {}) {
    more.emplace("TESSERY_REGISTRY", (folder_.Path() / "registry.reg").string());
    more.emplace("TESSERY_SYSTEMD_UNIT_DIR", (folder_.Path() / "units").string());
    more.emplace("TESSERY_LOCK_DIR", (folder_.Path() / "locks").string());
    return more;
  }
  // Runs the executable to its end and returns its exit status.
  int Run(const std::vector<std::string>& arguments, std::map<std::string, std::string> more = {}) {
    Process process(arguments, Environment(std::move(more)), folder_.Path() / "run");
    return process.Wait();
  }
  // A started process that runs a cycle every 10 ms with the given demo orders.
  std::unique_ptr<Process> StartLocalServer(const std::string& name, const std::string& orders, int paymentMs,
                                            std::map<std::string, std::string> more = {},
                                            int standardOutput = -1) {
    more.merge(std::map<std::string, std::string>{
        {"TESSERY_TIME_SCALE", "6000"},
        {"TESSERY_DEMO_ORDERS", orders},
        {"TESSERY_DEMO_PAYMENT_MS", std::to_string(paymentMs)},
        {"TESSERY_DEMO_LOG", (folder_.Path() / (name + ".log")).string()}});
    return std::make_unique<Process>(std::vector<std::string>{}, Environment(std::move(more)),
                                     folder_.Path() / name, standardOutput);
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
  Supervisor supervisor(folder_.Path() / "notify");
  Process service({}, Environment({{"NOTIFY_SOCKET", supervisor.Path()}}), folder_.Path() / "service");
  EXPECT_EQ(supervisor.Receive(), "STATUS=Starting");
  EXPECT_EQ(supervisor.Receive(), "READY=1\nSTATUS=Running");
  service.Signal(SIGTERM);
  EXPECT_EQ(supervisor.Receive(), "STOPPING=1\nSTATUS=Stopping");
  EXPECT_EQ(supervisor.Receive(), "STATUS=Stopped");
  EXPECT_EQ(service.Wait(), 0);
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

// A datagram and when it came, on the steady clock the demo log's times are read from.
struct Datagram {
  std::string text;
  long long at;
};

long long SteadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Under a supervisor that watches it, the service thread says it is alive (WATCHDOG=1) at least
// every half of WATCHDOG_USEC: in its message loop and while a cycle waits for long payments, which
// are no hang; never while that thread itself does not come back (a query that takes a second stands
// for it), so the supervisor can catch that. After each cycle a status line says what it did.
TEST_F(Tillmoor, UnderAWatchingSupervisorTheServiceThreadSaysItIsAliveAndEachCycleSetsAStatusLine) {
  ASSERT_EQ(Run({"-Service"}), 0);
  Supervisor supervisor(folder_.Path() / "notify");
  // A cycle a second; notices every 200 ms (the message loop's timer, scaled like every timer, comes
  // 60 times as often); a query of 1 s, then two payments of 1.2 s side by side.
  auto service = StartLocalServer("service", "A,B", 1200,
                                  {{"NOTIFY_SOCKET", supervisor.Path()},
                                   {"WATCHDOG_USEC", "400000"},
                                   {"TESSERY_TIME_SCALE", "60"},
                                   {"TESSERY_DEMO_QUERY_MS", "1000"}});
  std::vector<Datagram> datagrams;
  std::string status;
  while (status.empty() && datagrams.size() < 100000) {
    datagrams.push_back({supervisor.Receive(), SteadyNow()});
    if (datagrams.back().text == "(nothing)") break;
    if (datagrams.back().text.rfind("STATUS=Last cycle", 0) == 0) status = datagrams.back().text;
  }
  service->Signal(SIGTERM);
  EXPECT_EQ(service->Wait(), 0);
  EXPECT_TRUE(std::regex_match(
      status,
      std::regex(
          "STATUS=Last cycle [0-2][0-9]:[0-5][0-9]:[0-5][0-9]: 2 orders, 2 paid, 0 failed; next in 60 s")))
      << status;

  long long query = 0, paying = 0, paid = 0;
  for (const std::string& line : LogLines("service")) {
    const auto [kind, time] = ParseLogLine(line);
    if (kind == "query" && query == 0) query = time;
    if (kind == "begin" && paying == 0) paying = time;
    if (kind == "end" && paid == 0) paid = time;
  }
  ASSERT_GT(paying, query);
  ASSERT_GT(paid, paying);
  auto alive = [&](long long from, long long to) {
    return std::count_if(datagrams.begin(), datagrams.end(), [&](const Datagram& datagram) {
      return datagram.text == "WATCHDOG=1" && datagram.at > from && datagram.at < to;
    });
  };
  constexpr long long kMs = 1000000;
  EXPECT_GE(alive(0, query), 3) << "no notices from the message loop";
  EXPECT_EQ(alive(query + 250 * kMs, paying - 250 * kMs), 0) << "notices while the service thread hung";
  EXPECT_GE(alive(paying + 100 * kMs, paid - 100 * kMs), 3) << "no notices while the cycle waited";
}

// WATCHDOG_PID names the process the watchdog is meant for; another process's is not this one's.
TEST_F(Tillmoor, AWatchdogMeantForAnotherProcessGetsNoNotices) {
  ASSERT_EQ(Run({"-Service"}), 0);
  Supervisor supervisor(folder_.Path() / "notify");
  auto service = StartLocalServer(
      "service", "A", 0,
      {{"NOTIFY_SOCKET", supervisor.Path()}, {"WATCHDOG_USEC", "400000"}, {"WATCHDOG_PID", "1"}});
  std::vector<std::string> datagrams;
  do {
    datagrams.push_back(supervisor.Receive());
  } while (datagrams.back().rfind("STATUS=Last cycle", 0) != 0 && datagrams.back() != "(nothing)");
  service->Signal(SIGTERM);
  EXPECT_EQ(service->Wait(), 0);
  EXPECT_EQ(std::count(datagrams.begin(), datagrams.end(), "WATCHDOG=1"), 0);
  EXPECT_NE(datagrams.back(), "(nothing)");
}

// The unit -Service writes, as systemd reads it: no line it would ignore or refuse.
TEST_F(Tillmoor, TheUnitPassesSystemdAnalyzeVerify) {
  const std::string analyze = testsupport::Which("systemd-analyze");
  if (analyze.find('/') == std::string::npos) GTEST_SKIP() << "systemd-analyze is not installed";
  ASSERT_EQ(Run({"-Service"}), 0);
  const fs::path unit = folder_.Path() / "units" / kUnit;
  const std::string text = Slurp(unit);
  for (const char* line : {"\nRestart=on-failure\n", "\nWatchdogSec=5min\n", "\nNoNewPrivileges=yes\n",
                           "\nProtectSystem=full\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
  }
  testsupport::ChildProcess verify({analyze, "verify", unit.string()}, folder_.Path() / "verify",
                                   Environment());
  EXPECT_EQ(verify.Wait(), 0);
  // It warns about what it ignores and still succeeds: every line about the unit counts.
  const std::string output = Slurp(folder_.Path() / "verify.out") + Slurp(folder_.Path() / "verify.err");
  EXPECT_EQ(output.find(unit.filename().string()), std::string::npos) << output;
}

TEST_F(Tillmoor, UnwritableUnitFolderIsShownAndRegistrationGoesOnAndFails) {
  std::ofstream(folder_.Path() / "not-a-folder") << "x";
  EXPECT_EQ(Run({"-Service"}, {{"TESSERY_SYSTEMD_UNIT_DIR", (folder_.Path() / "not-a-folder").string()}}), 5);
  EXPECT_EQ(Slurp(folder_.Path() / "run.err"),
            "Tessery Velmar Credit Card Payment Service: Couldn't create service\n"
            "Tessery Velmar Credit Card Payment Service: The unit folder " +
                (folder_.Path() / "not-a-folder").string() + " is not a folder (error 5)\n");
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
    const auto [kind, time] = ParseLogLine(line);
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

// ---- a hostile local user, a careless administrator ---------------------------------------------------

// flock needs only read access: a lock file others can open is one they can hold for ever, and
// root's tillmoor would wait for it at every start.
TEST_F(Tillmoor, AnotherUserCannotHoldTheRegistryLock) {
  const auto user = testsupport::OtherUser::Find({"nobody"});
  if (!user) GTEST_SKIP() << "needs to run as root, with the user nobody";
  fs::permissions(folder_.Path(), fs::perms(0755));  // as the machine's registry folder is
  ASSERT_EQ(Run({"-RegServer"}), 0);
  testsupport::ChildProcess holder(
      user->Command({testsupport::Which("flock"), "-o", (folder_.Path() / "registry.reg.lock").string(), "sh",
                     "-c", "echo held; exec sleep 600"}),
      folder_.Path() / "holder");
  ASSERT_TRUE(Eventually([&] {
    return !Slurp(folder_.Path() / "holder.out").empty() || holder.Wait(std::chrono::milliseconds(0)) != -1;
  }));
  EXPECT_EQ(Run({"-RegServer"}), 0) << "the other user held the lock";
  EXPECT_EQ(Slurp(folder_.Path() / "holder.out"), "");
}

// A lock held by one of root's own processes is waited for at most 10 s; after a stop, at most 1 s.
TEST_F(Tillmoor, AStopEndsAWaitForTheRegistryLockAtStart) {
  ASSERT_EQ(Run({"-RegServer"}), 0);
  const int holder = ::open((folder_.Path() / "registry.reg.lock").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  Process start({}, Environment(), folder_.Path() / "start");
  ASSERT_TRUE(Eventually([&] { return BlocksSigterm(start.Pid()); }));
  start.Signal(SIGTERM);
  EXPECT_EQ(start.Wait(std::chrono::seconds(5)), 995 & 0xFF);
  ::close(holder);
  EXPECT_EQ(Slurp(folder_.Path() / "start.err"),
            std::string(kName) + ": Couldn't read the registry: The wait for the registry lock " +
                (folder_.Path() / "registry.reg.lock").string() +
                " was ended by a stop request (error 995)\n");
  EXPECT_EQ(Slurp(folder_.Path() / "start.out"), "");
}

TEST_F(Tillmoor, NothingItCreatesIsWritableByOthersWhateverTheUmask) {
  const fs::path registry = folder_.Path() / "etc" / "registry.reg";
  const std::map<std::string, std::string> paths{{"TESSERY_REGISTRY", registry.string()}};
  std::ofstream(folder_.Path() / "server.log").close();  // the test's own, as it wants it
  fs::permissions(folder_.Path() / "server.log", fs::perms(0600));
  const mode_t umask = ::umask(0);
  EXPECT_EQ(Run({"-RegServer"}, paths), 0);
  EXPECT_EQ(Run({"-Service"}, paths), 0);
  const mode_t unit = ModeOf(folder_.Path() / "units" / kUnit);
  auto server = StartLocalServer("server", "A", 0, paths);
  EXPECT_TRUE(Eventually([&] { return CountLines("server", "end") >= 1; })) << "no cycle";
  server->Signal(SIGTERM);
  EXPECT_EQ(server->Wait(), 0);
  EXPECT_EQ(Run({"-UnregServer"}, paths), 0);
  ::umask(umask);

  EXPECT_EQ(unit, 0644u);
  EXPECT_EQ(ModeOf(registry.parent_path()), 0755u);
  EXPECT_EQ(ModeOf(registry), 0644u);
  EXPECT_EQ(ModeOf(registry.string() + ".lock"), 0600u);
  EXPECT_EQ(ModeOf(folder_.Path() / "locks"), 0700u);
  EXPECT_EQ(ModeOf(folder_.Path() / "locks" / "ObjectRunning.lock"), 0600u);
  for (const auto& entry : fs::recursive_directory_iterator(folder_.Path()))
    EXPECT_EQ(ModeOf(entry.path()) & 022, 0u) << entry.path();
}

// Another user's folder could be emptied and filled by that user: a registry there could make root
// load any module, a unit there run anything as root.
TEST_F(Tillmoor, RegistryOrUnitFolderOfAnotherUserIsRefusedWithAMessageNamingIt) {
  const auto user = testsupport::OtherUser::Find({"nobody"});
  if (!user) GTEST_SKIP() << "needs to run as root, with the user nobody";
  const fs::path etc = folder_.Path() / "etc";
  fs::create_directory(etc);
  ASSERT_EQ(::chown(etc.c_str(), user->uid, user->gid), 0);
  EXPECT_EQ(Run({"-RegServer"}, {{"TESSERY_REGISTRY", (etc / "registry.reg").string()}}), 5);
  const std::string owners =
      " belongs to user " + std::to_string(user->uid) + ", not to the user running the program";
  EXPECT_EQ(Slurp(folder_.Path() / "run.err"), std::string(kName) +
                                                   ": Couldn't update the registry: The registry folder " +
                                                   etc.string() + owners + " or root (error 5)\n");
  EXPECT_TRUE(fs::is_empty(etc));

  const fs::path units = folder_.Path() / "units";
  ASSERT_EQ(::chown(units.c_str(), user->uid, user->gid), 0);
  EXPECT_EQ(Run({"-Service"}), 5);
  EXPECT_EQ(Slurp(folder_.Path() / "run.err"), std::string(kName) + ": Couldn't create service\n" +
                                                   std::string(kName) + ": The unit folder " +
                                                   units.string() + owners + " or root (error 5)\n");
  EXPECT_TRUE(fs::is_empty(units));
}

// Without its run guard a run pays nothing: it says why and ends with the code, never that it started;
// under a supervisor that is a failed start (no READY=1).
TEST_F(Tillmoor, ARunGuardThatCannotBeCreatedIsAFailedStartThatSaysWhy) {
  ASSERT_EQ(Run({"-Service"}), 0);
  const fs::path locks = folder_.Path() / "locks";
  auto expectFailedStart = [&](const std::string& why) {
    Process start({}, Environment(), folder_.Path() / "start");
    EXPECT_EQ(start.Wait(), 5) << why;
    EXPECT_EQ(Slurp(folder_.Path() / "start.out"),
              "Couldn't create the run guard ObjectRunning: The lock folder " + locks.string() + " " + why +
                  " (error 5)\n");
  };
  std::ofstream(locks) << "x";
  expectFailedStart("is not a folder");
  fs::remove(locks);
  fs::create_directory(folder_.Path() / "elsewhere");
  fs::create_directory_symlink(folder_.Path() / "elsewhere", locks);
  expectFailedStart("is a symbolic link");
  if (const auto user = testsupport::OtherUser::Find({"nobody"})) {
    fs::remove(locks);
    fs::create_directory(locks);
    ASSERT_EQ(::chown(locks.c_str(), user->uid, user->gid), 0);
    expectFailedStart("belongs to user " + std::to_string(user->uid) +
                      ", not to the user running the program");
  }

  Supervisor supervisor(folder_.Path() / "notify");
  Process service({}, Environment({{"NOTIFY_SOCKET", supervisor.Path()}}), folder_.Path() / "service");
  EXPECT_EQ(supervisor.Receive(), "STATUS=Starting");
  EXPECT_EQ(supervisor.Receive(), "STATUS=Stopped with error 5");
  EXPECT_EQ(service.Wait(), 5);
}

TEST_F(Tillmoor, UnregServerEndsWithTheRegistrysFailure) {
  ASSERT_EQ(Run({"-Service"}), 0);
  const fs::path registry = folder_.Path() / "registry.reg";
  if (const auto user = testsupport::OtherUser::Find({"nobody"})) {
    // Another user may see the folder but not read the registry: nothing can be removed.
    fs::permissions(folder_.Path(), fs::perms(0755));
    fs::permissions(registry, fs::perms(0600));
    fs::copy_file(TILLMOOR_EXECUTABLE, folder_.Path() / "tillmoor");  // where that user may run it
    testsupport::ChildProcess unregister(
        user->Command({(folder_.Path() / "tillmoor").string(), "-UnregServer"}), folder_.Path() / "other",
        Environment());
    EXPECT_EQ(unregister.Wait(), 5);
    EXPECT_NE(Slurp(folder_.Path() / "other.err")
                  .find("Couldn't update the registry: cannot open the registry lock"),
              std::string::npos)
        << Slurp(folder_.Path() / "other.err");
  }
  const std::string corrupt = Slurp(registry) + "[HKEY_LOCAL_MACHINE\\x]\r\n\"v\"=hex:zz\r\n";
  std::ofstream(registry, std::ios::binary | std::ios::trunc) << corrupt;
  EXPECT_EQ(Run({"-UnregServer"}), 1015 & 0xFF);
  EXPECT_EQ(Slurp(registry), corrupt);
  EXPECT_NE(Slurp(folder_.Path() / "run.err")
                .find(": Couldn't update the registry: The registry file " + registry.string() +
                      " is not a registry: line "),
            std::string::npos)
      << Slurp(folder_.Path() / "run.err");
  EXPECT_EQ(Run({"-UnregServer"}, {{"TESSERY_REGISTRY", folder_.Path().string() + "/units"}}), 1016 & 0xFF)
      << "a folder where the registry file should be";
}

// Output read by `head -1`: once the reader is gone a report cannot be written, and the cycles go on.
TEST_F(Tillmoor, AClosedStandardOutputEndsNoCycle) {
  ASSERT_EQ(Run({"-RegServer"}), 0);
  int pipe[2];
  ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
  ::close(pipe[0]);
  // An id longer than 34 bytes is reported in every cycle, in the middle of it.
  auto server = StartLocalServer("server", "A," + std::string(40, 'X'), 0, {}, pipe[1]);
  ::close(pipe[1]);
  EXPECT_TRUE(Eventually([&] { return CountLines("server", "end") >= 3; })) << "the cycles ended";
  server->Signal(SIGTERM);
  EXPECT_EQ(server->Wait(), 0);
}

}  // namespace
