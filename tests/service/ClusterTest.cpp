// Several hosts on one order database, kept to one cycle at a time by the cluster guard (ClusterGuard)
// on the throw-away PostgreSQL server. Each host is a tillmoor process in local-server mode with a
// registry file and a lock folder of its own, so their local run guards never meet, as on separate
// machines. Their payment component records every Run call, not only the settlements
// (RecordingPaymentModule.cpp), and declines one order that stays pending for good, so that every
// cycle of every host shows in its log.
//
// What the records must show: no order handed to two hosts (Run calls of one order never overlap, a
// killed one lasting until its kill; no Run finds its order settled already, which the reference
// component answers with 0x80040A01: without the cluster guard a second host does that for every
// order), every pending order settled once, and after each kill another host's cycle within one
// period. Each test prints its result on one line
// starting "FIGURE:".
//
// The hosts are killed (SIGKILL) 200 times in the default build, 100 times with two hosts and 100 with
// three; the sanitizer builds, whose processes are several times slower, kill 10 times each and give
// a period twice as long.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "components/CCPayment.h"
#include "platform/Ado.h"
#include "platform/Registry.h"
#include "support/ChildProcess.h"
#include "support/OdbcBackendTest.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ChildProcess;
using testsupport::Eventually;

constexpr const char* kConnection = "DSN=Velmar;UID=WWWapps;PWD=";
constexpr const char* kDeclined = "C-declined";
constexpr const char* kParametersKey = "SYSTEM\\CurrentControlSet\\Services\\Tillmoor\\Parameters";
constexpr long long kMs = 1000000;  // nanoseconds

#if defined(TESSERY_SANITIZED)
constexpr int kKillsPerTest = 10;
constexpr int kTimeScale = 120;  // a cycle every 500 ms
constexpr long long kTakeoverSlack = 2500 * kMs;
#else
constexpr int kKillsPerTest = 100;
constexpr int kTimeScale = 240;  // a cycle every 250 ms
constexpr long long kTakeoverSlack = 750 * kMs;
#endif
constexpr long long kPeriod = 60000LL * kMs / kTimeScale;

long long SteadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// One Run call as a host's log tells it.
struct RunCall {
  std::string order;
  long pid = 0;
  long long begin = 0;
  std::optional<long long> end;
  std::string result;  // 0x%08X once it ended
};

// A host's log of Run calls, read as it grows.
class RunLog {
 public:
  explicit RunLog(fs::path path) : path_(std::move(path)) {}

  // Reads the complete lines written since the last call.
  const std::vector<RunCall>& Read() {
    std::ifstream in(path_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset_));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t complete = text.rfind('\n');
    if (complete == std::string::npos) return calls_;
    offset_ += complete + 1;
    std::istringstream lines(text.substr(0, complete + 1));
    for (std::string line; std::getline(lines, line);) {
      std::istringstream fields(line);
      std::string kind, order, result;
      long pid = 0;
      long long time = 0;
      fields >> kind >> order >> pid;
      if (kind == "end") fields >> result;
      fields >> time;
      if (kind == "begin") {
        open_[{order, pid}] = calls_.size();
        calls_.push_back({order, pid, time, std::nullopt, ""});
      } else if (const auto found = open_.find({order, pid}); kind == "end" && found != open_.end()) {
        calls_[found->second].end = time;
        calls_[found->second].result = result;
        open_.erase(found);
      }
    }
    return calls_;
  }

 private:
  fs::path path_;
  std::size_t offset_ = 0;
  std::vector<RunCall> calls_;
  std::map<std::pair<std::string, long>, std::size_t> open_;
};

// One host: its folder with its registry (the recording component and the service registered there,
// the cluster guard and the component's settings set) and lock folder; its tillmoor, started again
// after each kill.
class Host {
 public:
  Host(const fs::path& folder, int threadCount, int delayMs) : folder_(folder), log_(folder / "runs.log") {
    fs::create_directories(folder_);
    EXPECT_EQ(
        ChildProcess({REGSVR_EXECUTABLE, RECORDING_PAYMENT_MODULE}, folder_ / "regsvr", Environment()).Wait(),
        0);
    EXPECT_EQ(ChildProcess({TILLMOOR_EXECUTABLE, "-RegServer"}, folder_ / "register", Environment()).Wait(),
              0);
    auto registry = platform::OpenFileRegistry(folder_ / "registry.reg");
    const auto local = platform::RootKey::LocalMachine;
    EXPECT_EQ(registry->CreateKey(local, kParametersKey), 0);
    EXPECT_EQ(
        registry->SetValue(local, kParametersKey, "ThreadCount", platform::RegistryValue::DWord(threadCount)),
        0);
    EXPECT_EQ(registry->SetValue(local, kParametersKey, "ClusterGuard",
                                 platform::RegistryValue::String(kConnection)),
              0);
    const std::string settings(components::kCCPaymentSettingsKey);
    EXPECT_EQ(registry->CreateKey(local, settings), 0);
    EXPECT_EQ(
        registry->SetValue(local, settings, "ConnectionString", platform::RegistryValue::String(kConnection)),
        0);
    EXPECT_EQ(
        registry->SetValue(local, settings, "DelayMilliseconds", platform::RegistryValue::DWord(delayMs)), 0);
    EXPECT_EQ(registry->SetValue(local, settings, "FailOrders", platform::RegistryValue::String(kDeclined)),
              0);
  }

  std::map<std::string, std::string> Environment() const {
    return {{"TESSERY_REGISTRY", (folder_ / "registry.reg").string()},
            {"TESSERY_LOCK_DIR", (folder_ / "locks").string()},
            {"TESSERY_SYSTEMD_UNIT_DIR", folder_.string()},
            {"TESSERY_TIME_SCALE", std::to_string(kTimeScale)},
            {"TESSERY_RUN_LOG", (folder_ / "runs.log").string()}};
  }

  void Start() {
    process_ = std::make_unique<ChildProcess>(std::vector<std::string>{TILLMOOR_EXECUTABLE},
                                              folder_ / ("run" + std::to_string(++runs_)), Environment());
    pid_ = process_->Pid();
  }
  // SIGKILL; returns when the process has gone, noting when it was killed.
  void Kill() {
    const long long at = SteadyNow();
    process_->Signal(SIGKILL);
    EXPECT_EQ(process_->Wait(), 128 + SIGKILL);
    killedAt_[pid_] = at;
    process_.reset();
  }
  // SIGTERM once the run has started (a process just started may not take the signal yet).
  void Stop() {
    if (!process_) return;
    const fs::path output = folder_ / ("run" + std::to_string(runs_) + ".out");
    EXPECT_TRUE(Eventually([&] {
      std::ifstream in(output);
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      return text.find("Service started") != std::string::npos;
    })) << output;
    process_->Signal(SIGTERM);
    EXPECT_EQ(process_->Wait(), 0) << folder_;
    process_.reset();
  }

  long Pid() const { return pid_; }
  const std::map<long, long long>& KilledAt() const { return killedAt_; }
  const std::vector<RunCall>& Calls() { return log_.Read(); }
  // Everything the runs of this host reported, in order.
  std::string Output() const {
    std::string text;
    for (int run = 1; run <= runs_; ++run) {
      std::ifstream in(folder_ / ("run" + std::to_string(run) + ".out"));
      text.append((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return text;
  }

 private:
  fs::path folder_;
  RunLog log_;
  std::unique_ptr<ChildProcess> process_;
  long pid_ = 0;
  int runs_ = 0;
  std::map<long, long long> killedAt_;
};

std::size_t Occurrences(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++count;
  return count;
}

class ClusterHosts : public ::testing::Test {
 protected:
  void SetUp() override {
    TESSERY_SKIP_UNLESS_BACKEND_AVAILABLE(testsupport::OdbcBackend::PostgreSQL);
    sandbox_.AddDsn(testsupport::OdbcBackend::PostgreSQL, "Velmar");
    sandbox_.CreateOrderHeader("Velmar", {{std::string("'") + kDeclined + "'", 3}});
  }

  void TearDown() override {
    for (auto& host : hosts_) host->Stop();
  }

  void StartHosts(int count, int threadCount, int delayMs) {
    for (int i = 0; i < count; ++i) {
      hosts_.push_back(
          std::make_unique<Host>(folder_.Path() / ("host" + std::to_string(i + 1)), threadCount, delayMs));
    }
    for (auto& host : hosts_) host->Start();
  }

  // New pending orders C-<n>.
  std::vector<std::string> NewOrders(int count) {
    std::vector<std::string> ids;
    std::string sql;
    for (int i = 0; i < count; ++i) {
      ids.push_back("C-" + std::to_string(++orders_));
      sql +=
          "INSERT INTO ORDERHEADER VALUES ('" + ids.back() + "', " + std::to_string(3 + orders_ % 3) + ");";
    }
    Execute(sql);
    due_.insert(ids.begin(), ids.end());
    return ids;
  }

  // The test's own statements, on a connection of its own, opened again after the server went away.
  std::unique_ptr<platform::ado::Recordset> Execute(const std::string& sql) {
    for (int attempt = 0;; ++attempt) {
      try {
        if (!connection_) {
          connection_ = data_->NewConnection();
          connection_->Open(kConnection);
        }
        return connection_->Execute(sql);
      } catch (const platform::Error&) {
        connection_.reset();
        if (attempt == 2) throw;
      }
    }
  }

  int PendingOf(const std::vector<std::string>& ids) {
    std::string list;
    for (const std::string& id : ids) list += (list.empty() ? "'" : ",'") + id + "'";
    auto rows =
        Execute("SELECT COUNT(*) FROM ORDERHEADER WHERE HEADERBILLINGSTATUS IN (3,4,5) AND ORDERID IN (" +
                list + ")");
    return std::stoi(rows->Field(0).ToString());
  }

  bool Settled(const std::vector<std::string>& ids) {
    return Eventually([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      return PendingOf(ids) == 0;
    });
  }

  // The host whose running process has begun to pay `count` of `orders`, once one has.
  Host* HostPaying(const std::vector<std::string>& orders, std::size_t count = 1) {
    Host* paying = nullptr;
    EXPECT_TRUE(Eventually([&] {
      for (auto& host : hosts_) {
        const std::vector<RunCall>& calls = host->Calls();
        const auto begun = std::count_if(calls.begin(), calls.end(), [&](const RunCall& call) {
          return call.pid == host->Pid() &&
                 std::find(orders.begin(), orders.end(), call.order) != orders.end();
        });
        if (static_cast<std::size_t>(begun) >= count) paying = host.get();
      }
      return paying != nullptr;
    })) << "no host began to pay the new orders";
    return paying;
  }

  // The first Run call after `after` by a process other than `pid`; 0 when there is none yet.
  long long FirstBeginElsewhere(long pid, long long after) {
    long long first = 0;
    for (auto& host : hosts_) {
      for (const RunCall& call : host->Calls()) {
        if (call.pid != pid && call.begin > after && (first == 0 || call.begin < first)) first = call.begin;
      }
    }
    return first;
  }

  // What the records show, over every host.
  struct Findings {
    int overlapping = 0;   // Run calls of one order running at once
    int foundSettled = 0;  // Runs that found their order settled already (0x80040A01)
    std::size_t calls = 0;
    int lost = 0;
    int paidTwice = 0;
    int HandedToTwoHosts() const { return overlapping + foundSettled; }
  };
  Findings Examine() {
    std::map<std::string, std::vector<RunCall>> byOrder;
    std::map<long, long long> killedAt;
    Findings findings;
    for (auto& host : hosts_) {
      for (const RunCall& call : host->Calls()) byOrder[call.order].push_back(call);
      killedAt.insert(host->KilledAt().begin(), host->KilledAt().end());
    }
    for (auto& [order, calls] : byOrder) {
      std::sort(calls.begin(), calls.end(),
                [](const RunCall& a, const RunCall& b) { return a.begin < b.begin; });
      for (std::size_t i = 0; i < calls.size(); ++i) {
        ++findings.calls;
        if (calls[i].result == "0x80040A01") ++findings.foundSettled;
        if (i == 0) continue;
        const RunCall& before = calls[i - 1];
        const auto killed = killedAt.find(before.pid);
        const long long ended = before.end                 ? *before.end
                                : killed != killedAt.end() ? killed->second
                                                           : std::numeric_limits<long long>::max();
        if (calls[i].begin < ended) ++findings.overlapping;
      }
    }
    std::multiset<std::string> journal;
    std::istringstream rows(sandbox_.Sql("Velmar", "SELECT ORDERID FROM PAYMENTJOURNAL"));
    for (std::string row; std::getline(rows, row);) journal.insert(row);
    for (const std::string& id : due_) {
      const std::size_t count = journal.count(id);
      if (count == 0) ++findings.lost;
      if (count > 1) findings.paidTwice += static_cast<int>(count - 1);
    }
    EXPECT_EQ(journal.count(kDeclined), 0u);
    return findings;
  }

  void ExpectNothingHandedTwice(const Findings& findings) {
    EXPECT_EQ(findings.overlapping, 0) << "one order in the cycles of two hosts at once";
    EXPECT_EQ(findings.foundSettled, 0) << "an order handed out after another host had settled it";
    EXPECT_EQ(findings.lost, 0);
    EXPECT_EQ(findings.paidTwice, 0);
  }

  // In each host's reports, that another host holds the guard is told once per change of state: never
  // twice without "taken again" between.
  void ExpectStateChangesToldOnce() {
    for (auto& host : hosts_) {
      const std::string output = host->Output();
      bool elsewhere = false;
      std::istringstream lines(output);
      for (std::string line; std::getline(lines, line);) {
        if (line == "Cycle skipped: another host holds the cluster guard") {
          EXPECT_FALSE(elsewhere) << "told twice";
          elsewhere = true;
        } else if (line.rfind("Cluster guard taken again after ", 0) == 0) {
          EXPECT_TRUE(elsewhere) << line;
          elsewhere = false;
        } else if (line.rfind("Service started", 0) == 0) {
          elsewhere = false;  // a new run after a kill
        }
      }
    }
  }

  // Kills the host in its cycle again and again: new orders come, the host paying them is killed once
  // it has begun one to four of them (its cycle lasts about as long as a period, so that hosts
  // without a cluster guard would run theirs at the same time), another host must take over within
  // one period, and the killed host starts again once the orders are settled.
  void KillHostsInTheirCycles(int hostCount) {
    StartHosts(hostCount, 2, 50);
    int duringPayment = 0;
    long long slowest = 0, total = 0;
    for (int kill = 0; kill < kKillsPerTest && !HasFailure(); ++kill) {
      const std::vector<std::string> batch = NewOrders(4);
      Host* victim = HostPaying(batch, static_cast<std::size_t>(kill % 4 + 1));
      ASSERT_NE(victim, nullptr) << "kill " << kill;
      const long pid = victim->Pid();
      victim->Kill();
      const long long killedAt = victim->KilledAt().at(pid);
      const std::vector<RunCall>& calls = victim->Calls();
      duringPayment += std::any_of(calls.begin(), calls.end(),
                                   [&](const RunCall& call) { return call.pid == pid && !call.end; });

      long long takeover = 0;
      ASSERT_TRUE(Eventually([&] { return (takeover = FirstBeginElsewhere(pid, killedAt)) != 0; }))
          << "no other host ran a cycle after the kill";
      ASSERT_TRUE(Settled(batch)) << "orders of the killed cycle stayed pending";
      const long long latency = takeover - killedAt;
      EXPECT_LE(latency, kPeriod + kTakeoverSlack) << "kill " << kill;
      slowest = std::max(slowest, latency);
      total += latency;
      victim->Start();
    }
    for (auto& host : hosts_) host->Stop();
    const Findings findings = Examine();
    std::printf(
        "FIGURE: hosts %d kills %d (%d during a payment) orders %zu Run calls %zu lost %d paid twice %d "
        "handed to two hosts %d found settled %d; next cycle elsewhere after a kill: mean %lld ms, at most "
        "%lld ms (period %lld ms)\n",
        hostCount, kKillsPerTest, duringPayment, due_.size(), findings.calls, findings.lost,
        findings.paidTwice, findings.HandedToTwoHosts(), findings.foundSettled, total / kKillsPerTest / kMs,
        slowest / kMs, kPeriod / kMs);
    ExpectNothingHandedTwice(findings);
    EXPECT_GT(duringPayment, kKillsPerTest / 2) << "most kills should land in a payment";
    ExpectStateChangesToldOnce();
  }

  testsupport::OdbcSandbox& sandbox_ = testsupport::OdbcSandbox::Instance();
  testsupport::TempFolder folder_;
  std::unique_ptr<platform::ado::DataAccess> data_ = platform::ado::OpenOdbcDataAccess();
  std::unique_ptr<platform::ado::Connection> connection_;
  std::vector<std::unique_ptr<Host>> hosts_;
  std::set<std::string> due_;
  int orders_ = 0;
};

TEST_F(ClusterHosts, TwoHostsKilledInTheirCyclesLoseNoOrderAndHandNoneToBoth) {
  KillHostsInTheirCycles(2);
}

TEST_F(ClusterHosts, ThreeHostsKilledInTheirCyclesLoseNoOrderAndHandNoneToTwo) {
  KillHostsInTheirCycles(3);
}

// The server stops while a host is in its cycle and stays away for a while: every host skips its
// cycles and says so, no payment starts without the guard, and once the server is back the orders
// are settled, each once.
TEST_F(ClusterHosts, WhileTheServerIsDownCyclesAreSkippedAndNothingIsPaid) {
  StartHosts(2, 1, 100);
  const std::vector<std::string> first = NewOrders(2);
  ASSERT_TRUE(Settled(first));
  const std::vector<std::string> batch = NewOrders(6);
  ASSERT_NE(HostPaying(batch), nullptr);
  const std::string skipped = "Cycle skipped: the cluster guard could not be taken: ";
  std::vector<std::size_t> before;
  for (auto& host : hosts_) before.push_back(Occurrences(host->Output(), skipped));

  testsupport::PostgresCluster* server = testsupport::PostgresCluster::Get();
  server->Stop();
  const long long stoppedAt = SteadyNow();
  connection_.reset();
  ASSERT_TRUE(Eventually([&] {
    for (std::size_t i = 0; i < hosts_.size(); ++i) {
      if (Occurrences(hosts_[i]->Output(), skipped) < before[i] + 2) return false;
    }
    return true;
  })) << "cycles went on without the guard's database";
  const long long startedAt = SteadyNow();
  server->Start();
  ASSERT_TRUE(Settled(batch)) << "the orders were not settled once the server was back";
  ASSERT_TRUE(Eventually([&] { return FirstBeginElsewhere(0, startedAt) != 0; }));

  // A cycle that holds the guard when the server stops asks after it before each order it hands out
  // (at most every 100 ms); what it handed out before is all that may begin after the stop.
  int whileDown = 0;
  std::vector<std::size_t> skips;
  for (std::size_t i = 0; i < hosts_.size(); ++i) {
    for (const RunCall& call : hosts_[i]->Calls())
      whileDown += call.begin > stoppedAt + 250 * kMs && call.begin < startedAt;
    skips.push_back(Occurrences(hosts_[i]->Output(), skipped) - before[i]);
  }
  for (auto& host : hosts_) host->Stop();
  const Findings findings = Examine();
  std::printf(
      "FIGURE: server down %lld ms, cycles skipped %zu and %zu, Run calls begun while down %d, orders %zu "
      "lost %d "
      "paid twice %d handed to two hosts %d found settled %d\n",
      (startedAt - stoppedAt) / kMs, skips[0], skips[1], whileDown, due_.size(), findings.lost,
      findings.paidTwice, findings.HandedToTwoHosts(), findings.foundSettled);
  EXPECT_EQ(whileDown, 0) << "a payment began without the guard";
  ExpectNothingHandedTwice(findings);
}

// A single SQLite file is one machine: a cluster guard there is refused at start, naming the driver.
TEST_F(ClusterHosts, AClusterGuardOnAnotherDatabaseThanPostgreSqlIsAFailedStartNamingTheDriver) {
  sandbox_.AddDsn(testsupport::OdbcBackend::SQLite, "Local");
  Host host(folder_.Path() / "host", 1, 0);
  auto registry = platform::OpenFileRegistry(folder_.Path() / "host" / "registry.reg");
  EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, kParametersKey, "ClusterGuard",
                               platform::RegistryValue::String("DSN=Local")),
            0);
  ChildProcess start({TILLMOOR_EXECUTABLE}, folder_.Path() / "start", host.Environment());
  EXPECT_EQ(start.Wait(), 50);
  std::ifstream in(folder_.Path() / "start.out");
  const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(std::regex_match(
      output,
      std::regex("ClusterGuard refused: its driver [^ ]*sqlite[^ ]* connects to SQLite, not PostgreSQL\n")))
      << output;
}

}  // namespace
