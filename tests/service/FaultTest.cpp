// The payment service under faults: stops at random points of many cycles, a process killed during a
// cycle, an order database that goes away and comes back, a payment component that fails for some
// orders, and a thousand fast cycles whose memory must stay flat.
//
// The in-process tests run the service on the test backends (virtual clock, scripted service manager)
// with its real batch work and the reference payment component settling in an order database; the
// process tests run the built tillmoor. Each prints its result on one line starting "FIGURE:".
//
// The order database is a test parameter (SQLite or PostgreSQL): every database step goes through
// OrderDatabase.
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <utility>

#include "ServiceHarness.h"
#include "components/CCPayment.h"
#include "interfaces/Payment.h"
#include "platform/Registry.h"
#include "platform/testing/ComClassTable.h"
#include "service/PaymentBatchWork.h"
#include "support/ChildProcess.h"
#include "support/OdbcBackendTest.h"
#include "support/OdbcSandbox.h"
#include "support/TempFolder.h"

namespace tillmoor::testing {
namespace {

namespace fs = std::filesystem;
using platform::HRESULT;
using ::testing::StartsWith;
using testsupport::Eventually;
using Texts = std::vector<std::string>;

// ---- the order database ----------------------------------------------------------------------------

using testsupport::OdbcBackend;

// One order database of a test, reached through the data source `dsn` of the process's ODBC sandbox.
// Orders are (id, billing status); ids are plain text.
class OrderDatabase {
 public:
  // Nothing is made when the backend cannot be used here (the test skips itself in SetUp).
  OrderDatabase(OdbcBackend backend, const std::string& dsn) : backend_(backend), dsn_(dsn) {
    if (!testsupport::OdbcSandbox::Unavailable(backend_).empty()) return;
    // A name is added to odbc.ini once per process and backend; a later database of that name
    // starts empty.
    auto [added, fresh] = Added().try_emplace(dsn_, backend_);
    if (fresh || added->second != backend_) {
      added->second = backend_;
      sandbox_.AddDsn(backend_, dsn_);
      return;
    }
    switch (backend_) {
      case OdbcBackend::SQLite:
        MakeReachable();
        fs::remove(sandbox_.DatabaseFile(dsn_));
        fs::remove(sandbox_.DatabaseFile(dsn_).string() + "-journal");
        break;
      case OdbcBackend::PostgreSQL:
        Sql("DROP TABLE IF EXISTS ORDERHEADER; DROP TABLE IF EXISTS PAYMENTJOURNAL");
        break;
    }
  }
  ~OrderDatabase() { MakeReachable(); }

  // What the service and the payment component connect with.
  std::string ConnectionString() const { return "DSN=" + dsn_ + ";UID=WWWapps;PWD="; }

  // Adds the orders, creating the order table with the first ones.
  void CreateOrders(const std::vector<std::pair<std::string, int>>& orders) {
    std::vector<std::pair<std::string, int>> literals;
    for (const auto& [id, status] : orders) literals.push_back({components::SqlLiteral(id), status});
    if (!created_) {
      sandbox_.CreateOrderHeader(dsn_, literals);
      created_ = true;
      return;
    }
    std::string sql;
    for (const auto& [literal, status] : literals)
      sql += "INSERT INTO ORDERHEADER VALUES (" + literal + ", " + std::to_string(status) + ");\n";
    if (!sql.empty()) Sql(sql);
  }

  // Runs `sql` beside the code under test (waiting while the database is busy) and returns its rows,
  // one a line, columns separated by "|".
  std::string Sql(const std::string& sql) const {
    switch (backend_) {
      case OdbcBackend::SQLite:
        // The test's own writes skip the flush to disk: the code under test never needs them durable.
        return sandbox_.Sqlite(dsn_, ".timeout 5000\nPRAGMA synchronous = OFF;\n" + sql);
      case OdbcBackend::PostgreSQL:
        return sandbox_.Sql(dsn_, sql);
    }
    return {};
  }

  std::vector<std::string> Rows(const std::string& sql) const {
    std::vector<std::string> rows;
    std::istringstream in(Sql(sql));
    for (std::string line; std::getline(in, line);) rows.push_back(line);
    return rows;
  }
  int Count(const std::string& where) const {
    return std::stoi(Sql("SELECT COUNT(*) FROM ORDERHEADER WHERE " + where));
  }
  std::set<std::string> Pending() const {
    const auto rows = Rows("SELECT ORDERID FROM ORDERHEADER WHERE HEADERBILLINGSTATUS IN (3,4,5)");
    return {rows.begin(), rows.end()};
  }
  std::set<std::string> Settled() const {
    const auto rows = Rows("SELECT ORDERID FROM ORDERHEADER WHERE HEADERBILLINGSTATUS = 6");
    return {rows.begin(), rows.end()};
  }
  // The payment journal, one entry per payment; empty before the first payment created it.
  std::multiset<std::string> Journal() const {
    if (!sandbox_.HasTable(dsn_, "PAYMENTJOURNAL")) return {};
    const auto rows = Rows("SELECT ORDERID FROM PAYMENTJOURNAL");
    return {rows.begin(), rows.end()};
  }

  // The database cannot be opened until MakeReachable; its contents are kept. (SQLite: the file
  // moves aside and a folder takes its name; PostgreSQL: the server stops, ending its connections.)
  void MakeUnreachable() {
    switch (backend_) {
      case OdbcBackend::SQLite: {
        const fs::path file = sandbox_.DatabaseFile(dsn_);
        fs::rename(file, file.string() + ".away");
        fs::create_directory(file);
        break;
      }
      case OdbcBackend::PostgreSQL:
        testsupport::PostgresCluster::Get()->Stop();
        stopped_ = true;
        break;
    }
  }
  void MakeReachable() {
    switch (backend_) {
      case OdbcBackend::PostgreSQL:
        if (std::exchange(stopped_, false)) testsupport::PostgresCluster::Get()->Start();
        break;
      case OdbcBackend::SQLite: {
        const fs::path file = sandbox_.DatabaseFile(dsn_);
        std::error_code ec;
        if (!fs::exists(file.string() + ".away", ec)) return;
        fs::remove(file, ec);
        fs::rename(file.string() + ".away", file);
        break;
      }
    }
  }

 private:
  static std::map<std::string, OdbcBackend>& Added() {
    static std::map<std::string, OdbcBackend> added;
    return added;
  }

  testsupport::OdbcSandbox& sandbox_ = testsupport::OdbcSandbox::Instance();
  OdbcBackend backend_;
  std::string dsn_;
  bool created_ = false;
  bool stopped_ = false;
};

// Each order once: how many orders were paid more than once, and how many not at all.
struct Tally {
  int paidTwice = 0;
  int lost = 0;
};
Tally TallyOf(const std::multiset<std::string>& journal, const std::set<std::string>& due) {
  Tally tally;
  for (const std::string& id : due) {
    const auto count = journal.count(id);
    if (count == 0) ++tally.lost;
    if (count > 1) tally.paidTwice += static_cast<int>(count - 1);
  }
  return tally;
}

// ---- the service on the test backends --------------------------------------------------------------

constexpr platform::GUID kHookedPaymentClsid =
    platform::GuidLiteral("{5D2B8E41-7A3C-4F19-B6E0-2C8D4A1F9E31}");

// Every Run the payment components of a test saw, and the test's hook: called before the order is
// settled with the id and the call's number (from 1), it may act (stop the service, take the
// database away) and may refuse the payment by returning a failure, or throw.
struct PaymentCalls {
  using Hook = std::function<HRESULT(const std::string& orderId, std::size_t call)>;

  Texts Ids() const {
    std::lock_guard lock(mutex);
    return ids;
  }
  std::size_t Count() const {
    std::lock_guard lock(mutex);
    return ids.size();
  }
  void SetHook(Hook newHook) {
    std::lock_guard lock(mutex);
    hook = std::move(newHook);
  }

  mutable std::mutex mutex;
  Texts ids;
  Hook hook;
};

// The test's payment component: the hook, then a fresh reference component settles the order.
class HookedPayment final : public platform::ComObject<platform::IPayment> {
 public:
  HookedPayment(PaymentCalls& calls, platform::Registry& settings, platform::ado::DataAccess& data)
      : calls_(calls), settle_(components::MakeCCPayment(settings, data)) {}

  HRESULT Run(std::string_view orderId, short* result) override {
    PaymentCalls::Hook hook;
    std::size_t call;
    {
      std::lock_guard lock(calls_.mutex);
      calls_.ids.emplace_back(orderId);
      call = calls_.ids.size();
      hook = calls_.hook;
    }
    if (hook) {
      const HRESULT refusal = hook(std::string(orderId), call);
      if (platform::Failed(refusal)) return refusal;
    }
    return settle_->Run(orderId, result);
  }

 private:
  PaymentCalls& calls_;
  platform::ComPtr<platform::IPayment> settle_;
};

// The order query's data access: a hook runs as the query creates its recordset, when the cycle holds
// the run guard and has no list yet.
class HookedDataAccess final : public platform::ado::DataAccess {
 public:
  explicit HookedDataAccess(platform::ado::DataAccess& inner) : inner_(inner) {}

  void SetHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
  }

  std::unique_ptr<platform::ado::Connection> NewConnection() override { return inner_.NewConnection(); }
  std::unique_ptr<platform::ado::Recordset> NewRecordset() override {
    std::function<void()> hook;
    {
      std::lock_guard lock(mutex_);
      hook = hook_;
    }
    if (hook) hook();
    return inner_.NewRecordset();
  }

 private:
  platform::ado::DataAccess& inner_;
  std::mutex mutex_;
  std::function<void()> hook_;
};

class ServiceFaults : public ServiceHarness, public ::testing::WithParamInterface<OdbcBackend> {
 protected:
  ServiceFaults() {
    EXPECT_EQ(settings_->CreateKey(platform::RootKey::LocalMachine, components::kCCPaymentSettingsKey), 0);
    EXPECT_EQ(settings_->SetValue(platform::RootKey::LocalMachine, components::kCCPaymentSettingsKey,
                                  "ConnectionString",
                                  platform::RegistryValue::String(database_.ConnectionString())),
              0);
    classes_.Register(
        platform::kPaymentProgId, kHookedPaymentClsid, [this](const platform::GUID& iid, void** out) {
          return platform::MakeComObject<HookedPayment>(calls_, *settings_, *odbc_)->QueryInterface(iid, out);
        });
    payment_ = std::make_unique<PaymentBatchWork>(queryData_, classes_, database_.ConnectionString());
  }

  void SetUp() override { TESSERY_SKIP_UNLESS_BACKEND_AVAILABLE(GetParam()); }

  void TearDown() override {
    calls_.SetHook(nullptr);
    queryData_.SetHook(nullptr);
    if (exited_ || !process_.joinable()) return;
    EXPECT_TRUE(scm_.DeliverControl(platform::svc::kControlStop));
    WaitForExit();
  }

  // A new run of the service, as a restarted process on the same machine: a new ServiceModule on the
  // same backends, registered as a service; waits until it runs with its timer armed.
  void StartRun() {
    const auto runningBefore = RunningReports();
    module_ =
        std::make_unique<ServiceModule>(ServicePlatform{*registry_, scm_, eventLog_, *threading_, messaging_,
                                                        com_, console_, boxes_, out_, kModulePath},
                                        *payment_);
    exited_ = false;
    Register(true);
    StartProcess();
    ASSERT_TRUE(Eventually([&] { return RunningReports() > runningBefore; })) << "the run did not start";
    ASSERT_TRUE(WaitForTimer());
  }
  std::size_t RunningReports() const {
    const auto states = scm_.States();
    return static_cast<std::size_t>(std::count(states.begin(), states.end(), kServiceRunning));
  }

  // One whole cycle: the timer fires, the cycle runs, the timer is armed again.
  bool RunCycle() {
    const auto timer = WaitForTimer();
    if (!timer) return false;
    FireTimer();
    return WaitForRearm(timer->id).has_value();
  }

  void Stop() { EXPECT_TRUE(scm_.DeliverControl(platform::svc::kControlStop)); }

  // Reports after the start message.
  Texts Problems() const {
    Texts problems;
    for (const std::string& report : Reports()) {
      if (report.rfind("Service started", 0) != 0 && report != "Service stopped") problems.push_back(report);
    }
    return problems;
  }

  OrderDatabase database_{GetParam(), testsupport::OdbcSandbox::Instance().NewDsnName("Faults")};
  std::unique_ptr<platform::ado::DataAccess> odbc_ = platform::ado::OpenOdbcDataAccess();
  HookedDataAccess queryData_{*odbc_};
  std::unique_ptr<platform::Registry> settings_ = platform::OpenMemoryRegistry();
  platform::testing::ComClassTable classes_;
  PaymentCalls calls_;
  std::unique_ptr<PaymentBatchWork> payment_;
};

// A seed from $TESSERY_FAULT_SEED (to replay a run), else a fresh one.
unsigned SeedOf() {
  if (const char* text = std::getenv("TESSERY_FAULT_SEED"); text != nullptr && *text != '\0')
    return static_cast<unsigned>(std::strtoul(text, nullptr, 10));
  return std::random_device{}();
}

// 200 runs, each stopped at a random point: before its first cycle, as its cycle starts the order
// query, at a random payment of its cycle, or after the cycle; sometimes twice, sometimes with a new
// order arriving at that moment. New orders come between the runs; every run is a restart after the
// previous stop. A stop must never cut a cycle short (every order of the cycle's list is settled
// before the service reports STOPPED), no order may be handed out twice, and a last run settles
// whatever is left.
TEST_P(ServiceFaults, StopsAtRandomPointsOfTwoHundredCyclesLoseNoOrderAndPayNoneTwice) {
  const unsigned seed = SeedOf();
  std::printf("seed %u (TESSERY_FAULT_SEED=%u replays this run)\n", seed, seed);
  std::mt19937 random(seed);
  auto uniform = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };

  constexpr int kStops = 200;
  std::set<std::string> due;      // every order that awaits payment at some point
  std::set<std::string> pending;  // the orders the next cycle should find
  int nextOrder = 0, notDue = 0;
  auto newOrders = [&](int count) {
    std::vector<std::pair<std::string, int>> orders;
    for (int i = 0; i < count; ++i) {
      const std::string id = "S-" + std::to_string(++nextOrder);
      orders.push_back({id, 3 + nextOrder % 3});
      due.insert(id);
      pending.insert(id);
    }
    // Orders that are not due are never handed out.
    ++notDue;
    orders.push_back({"X-" + std::to_string(notDue), notDue % 3});
    database_.CreateOrders(orders);
  };
  newOrders(4);

  enum Point { Idle, AtQuery, AtPayment, AfterCycle };
  int cycles = 0, cutShort = 0, extraHandOuts = 0;
  std::map<Point, int> stopsAt;
  for (int stop = 0; stop < kStops && !HasFatalFailure(); ++stop) {
    newOrders(uniform(0, 2));
    SetParameters(std::nullopt, static_cast<std::uint32_t>(uniform(1, 4)));
    const std::size_t callsBefore = calls_.Count();
    std::set<std::string> listed = pending;
    const int draw = uniform(0, 19);
    Point point = draw < 2 ? Idle : draw < 5 ? AtQuery : draw < 8 ? AfterCycle : AtPayment;
    if (point == AtPayment && listed.empty()) point = AtQuery;
    ++stopsAt[point];
    const std::size_t stopAt =
        callsBefore + static_cast<std::size_t>(uniform(1, std::max(1, static_cast<int>(listed.size()))));
    // A second stop only while the cycle holds the run: a stop that finds the service gone would
    // wait in the manager for the next run.
    const bool twice = (point == AtQuery || point == AtPayment) && uniform(0, 3) == 0;
    const std::string late = uniform(0, 2) == 0 ? "L-" + std::to_string(stop) : "";
    auto stopHere = [&, twice, late] {
      Stop();
      if (twice) Stop();
      if (!late.empty()) database_.CreateOrders({{late, 4}});
    };
    if (point == AtQuery) {
      // The order arrives before the query runs: this cycle's list holds it.
      queryData_.SetHook(stopHere);
      if (!late.empty()) listed.insert(late);
    }
    if (point == AtPayment) {
      // The order arrives after the query: the next run settles it.
      calls_.SetHook([&, stopAt, stopHere](const std::string&, std::size_t call) {
        if (call == stopAt) stopHere();
        return platform::hr::S_OK;
      });
    }

    StartRun();
    if (HasFatalFailure()) break;
    if (point == Idle) {
      stopHere();
    } else if (point == AfterCycle) {
      ASSERT_TRUE(RunCycle()) << "stop " << stop;
      stopHere();
    } else {
      FireTimer();
      if (!Eventually([&] { return exited_.load(); })) {
        ADD_FAILURE() << "stop " << stop << ": the stop never came (point " << point << ", payment "
                      << stopAt - callsBefore << " of " << listed.size() << ", calls "
                      << calls_.Count() - callsBefore << ")";
        Stop();
      }
    }
    WaitForExit();
    calls_.SetHook(nullptr);
    queryData_.SetHook(nullptr);
    cycles += point != Idle;

    Texts handed = calls_.Ids();
    handed.erase(handed.begin(), handed.begin() + static_cast<std::ptrdiff_t>(callsBefore));
    const std::set<std::string> handedSet(handed.begin(), handed.end());
    extraHandOuts += static_cast<int>(handed.size() - handedSet.size());
    for (const std::string& id : handedSet) extraHandOuts += listed.count(id) == 0;
    if (!late.empty()) {
      due.insert(late);
      pending.insert(late);
    }
    if (point == Idle) {
      EXPECT_TRUE(handed.empty()) << "a run stopped before its first cycle paid";
    } else {
      const std::set<std::string> left = database_.Pending();
      int missed = 0;
      for (const std::string& id : listed) missed += left.count(id) != 0;
      cutShort += missed != 0;
      EXPECT_EQ(missed, 0) << "stop " << stop << " (point " << point << ", payment " << stopAt - callsBefore
                           << " of " << listed.size() << ") left orders of its cycle unpaid";
      for (const std::string& id : listed) {
        if (left.count(id) == 0) pending.erase(id);
      }
    }
  }

  // A last run without a stop during its cycle settles what the stopped ones left.
  calls_.SetHook(nullptr);
  StartRun();
  ASSERT_TRUE(RunCycle());
  Stop();
  WaitForExit();
  ++cycles;

  const std::multiset<std::string> journal = database_.Journal();
  const Tally tally = TallyOf(journal, due);
  std::printf(
      "FIGURE: seed %u stops %d (idle %d, at the query %d, at a payment %d, after the cycle %d) cycles %d "
      "orders %zu lost %d paid twice %d handed out twice %d cycles cut short %d\n",
      seed, kStops, stopsAt[Idle], stopsAt[AtQuery], stopsAt[AtPayment], stopsAt[AfterCycle], cycles,
      due.size(), tally.lost, tally.paidTwice, extraHandOuts, cutShort);
  EXPECT_GT(stopsAt[AtPayment], kStops / 5) << "too few stops came during payments to show anything";
  EXPECT_EQ(tally.lost, 0);
  EXPECT_EQ(tally.paidTwice, 0);
  EXPECT_EQ(extraHandOuts, 0);
  EXPECT_EQ(journal.size(), due.size()) << "a payment for an order that was not due";
  EXPECT_EQ(database_.Count("HEADERBILLINGSTATUS IN (3,4,5)"), 0);
  EXPECT_EQ(database_.Count("ORDERID LIKE 'X-%' AND HEADERBILLINGSTATUS IN (0,1,2)"), notDue);
  EXPECT_TRUE(Problems().empty()) << Problems().front();
  EXPECT_TRUE(RunGuardIsFree());
}

// The database is taken away in the middle of a cycle's payments and stays away for three more
// cycles. The payments it breaks are reported one by one and their orders stay due; each cycle
// without it reports the query's failure once and goes on; the cycle after its return settles the
// rest, each order once.
TEST_P(ServiceFaults, AnUnreachableDatabaseIsReportedOncePerCycleAndEverythingIsSettledWhenItComesBack) {
  std::vector<std::pair<std::string, int>> orders;
  std::set<std::string> due;
  for (int i = 1; i <= 12; ++i) {
    const std::string id = "U-" + std::to_string(i);
    orders.push_back({id, 3 + i % 3});
    due.insert(id);
  }
  orders.push_back({"U-done", 6});
  orders.push_back({"U-new", 1});
  database_.CreateOrders(orders);
  SetParameters(std::nullopt, 1);  // one worker: the first three payments go through, then it is gone
  calls_.SetHook([&](const std::string&, std::size_t call) {
    if (call == 4) database_.MakeUnreachable();
    return platform::hr::S_OK;
  });
  StartRun();

  ASSERT_TRUE(RunCycle());
  calls_.SetHook(nullptr);
  const Texts broken = Problems();
  ASSERT_EQ(broken.size(), 9u) << "each payment that could not reach the database is reported";
  for (const std::string& problem : broken)
    EXPECT_THAT(problem, StartsWith("Error calling Run() on cs.CCPayment (order U-"));

  constexpr int kCyclesAway = 3;
  for (int cycle = 0; cycle < kCyclesAway; ++cycle) {
    const std::size_t created = static_cast<std::size_t>(classes_.CreatedCount());
    ASSERT_TRUE(RunCycle()) << "the service stopped cycling";
    EXPECT_EQ(static_cast<std::size_t>(classes_.CreatedCount()), created)
        << "orders handed out without a list";
    EXPECT_EQ(Problems().size(), broken.size() + cycle + 1) << "one report per cycle";
    EXPECT_THAT(Problems().back(), StartsWith("Pending-order query failed: "));
    EXPECT_TRUE(RunGuardIsFree());
  }
  EXPECT_EQ(scm_.States().back(), kServiceRunning);

  database_.MakeReachable();
  ASSERT_TRUE(RunCycle());
  const std::size_t reports = Problems().size() - broken.size();
  const Tally tally = TallyOf(database_.Journal(), due);
  std::printf(
      "FIGURE: unreachable cycles %d query reports %zu broken payments reported %zu orders %zu "
      "lost %d paid twice %d\n",
      kCyclesAway, reports, broken.size(), due.size(), tally.lost, tally.paidTwice);
  EXPECT_EQ(reports, static_cast<std::size_t>(kCyclesAway));
  EXPECT_EQ(tally.lost, 0);
  EXPECT_EQ(tally.paidTwice, 0);
  EXPECT_EQ(database_.Journal().size(), due.size());
  EXPECT_EQ(database_.Settled().size(), due.size() + 1);
}

// A payment component that fails for every third order: half of those fail by their result, half
// throw. The other orders are settled; each failure is reported with its order once per cycle, its
// order stays due and the next cycle tries it again; nothing is settled twice.
TEST_P(ServiceFaults, APaymentComponentFailingForAThirdOfTheOrdersSettlesTheRestAndReportsEachFailure) {
  constexpr int kOrders = 30;
  std::vector<std::pair<std::string, int>> orders;
  std::set<std::string> failing, succeeding;
  for (int i = 1; i <= kOrders; ++i) {
    const std::string id = "F-" + std::to_string(i);
    orders.push_back({id, 3 + i % 3});
    (i % 3 == 0 ? failing : succeeding).insert(id);
  }
  database_.CreateOrders(orders);
  constexpr HRESULT kDeclined = platform::hr::Code(0x80040B07);
  calls_.SetHook([](const std::string& id, std::size_t) -> HRESULT {
    const int number = std::stoi(id.substr(2));
    if (number % 3 != 0) return platform::hr::S_OK;
    if (number % 2 == 0) throw std::runtime_error("card processor connection reset");
    return kDeclined;
  });
  SetParameters(std::nullopt, 4);
  StartRun();

  auto expectEachFailureReportedOnce = [&](const Texts& reports) {
    ASSERT_EQ(reports.size(), failing.size());
    for (const std::string& id : failing) {
      const int number = std::stoi(id.substr(2));
      const std::string expected =
          number % 2 == 0 ? "Payment of order " + id + " failed: card processor connection reset"
                          : "Error calling Run() on cs.CCPayment (order " + id + ", error 0x80040B07)";
      EXPECT_EQ(std::count(reports.begin(), reports.end(), expected), 1) << expected;
    }
  };
  ASSERT_TRUE(RunCycle());
  const Texts first = Problems();
  expectEachFailureReportedOnce(first);
  // The supervisor's status line counts both kinds of failure.
  EXPECT_THAT(scm_.StatusTexts(), ::testing::ElementsAre(::testing::MatchesRegex(
                                      "Last cycle [0-9:]{8}: 30 orders, 20 paid, 10 failed; next in 60 s")));
  EXPECT_EQ(database_.Pending(), failing) << "a failed payment counted as settled, or a good one was lost";
  EXPECT_EQ(database_.Settled(), succeeding);
  EXPECT_TRUE(RunGuardIsFree());

  // The next cycle hands out exactly the failed orders again.
  const std::size_t before = calls_.Count();
  ASSERT_TRUE(RunCycle());
  Texts again = calls_.Ids();
  again.erase(again.begin(), again.begin() + static_cast<std::ptrdiff_t>(before));
  EXPECT_EQ(std::set<std::string>(again.begin(), again.end()), failing);
  EXPECT_EQ(again.size(), failing.size());
  Texts second = Problems();
  second.erase(second.begin(), second.begin() + static_cast<std::ptrdiff_t>(first.size()));
  expectEachFailureReportedOnce(second);

  const Tally tally = TallyOf(database_.Journal(), succeeding);
  std::printf(
      "FIGURE: orders %d settled %zu failed %zu reported %zu (each once per cycle) paid twice %d "
      "failed orders paid %zu\n",
      kOrders, database_.Settled().size(), failing.size(), first.size(), tally.paidTwice,
      database_.Journal().size() - succeeding.size());
  EXPECT_EQ(tally.lost, 0);
  EXPECT_EQ(tally.paidTwice, 0);
  EXPECT_EQ(database_.Journal().size(), succeeding.size());
  EXPECT_EQ(classes_.CreatedCount(), static_cast<int>(calls_.Count())) << "one component per order";
}

TESSERY_INSTANTIATE_FOR_EVERY_BACKEND(ServiceFaults);

// ---- the built tillmoor ----------------------------------------------------------------------------

// tillmoor in local-server mode with the reference payment component, each test in a temporary folder
// with its own registry file and lock folder; the order database is the data source "Velmar".
class ProcessFaults : public ::testing::TestWithParam<OdbcBackend> {
 protected:
  void SetUp() override {
    TESSERY_SKIP_UNLESS_BACKEND_AVAILABLE(GetParam());
    ASSERT_EQ(testsupport::ChildProcess({REGSVR_EXECUTABLE, CCPAYMENT_MODULE}, Path("regsvr"), Environment())
                  .Wait(),
              0);
    ASSERT_EQ(testsupport::ChildProcess({TILLMOOR_EXECUTABLE, "-RegServer"}, Path("register"), Environment())
                  .Wait(),
              0);
  }

  fs::path Path(const std::string& name) const { return folder_.Path() / name; }

  std::map<std::string, std::string> Environment(std::map<std::string, std::string> more = {}) const {
    more["TESSERY_REGISTRY"] = Path("registry.reg").string();
    more["TESSERY_LOCK_DIR"] = Path("locks").string();
    more["TESSERY_SYSTEMD_UNIT_DIR"] = folder_.Path().string();
    return more;
  }

  // ThreadCount of the service; the reference component's delay and the orders it declines.
  void Configure(std::uint32_t threadCount, std::uint32_t delayMs, const std::string& failOrders = "") {
    auto registry = platform::OpenFileRegistry(Path("registry.reg"));
    const std::string parameters = "SYSTEM\\CurrentControlSet\\Services\\Tillmoor\\Parameters";
    EXPECT_EQ(registry->CreateKey(platform::RootKey::LocalMachine, parameters), 0);
    EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, parameters, "ThreadCount",
                                 platform::RegistryValue::DWord(threadCount)),
              0);
    const std::string settings(components::kCCPaymentSettingsKey);
    EXPECT_EQ(registry->CreateKey(platform::RootKey::LocalMachine, settings), 0);
    EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, settings, "ConnectionString",
                                 platform::RegistryValue::String(database_.ConnectionString())),
              0);
    EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, settings, "DelayMilliseconds",
                                 platform::RegistryValue::DWord(delayMs)),
              0);
    if (!failOrders.empty()) {
      EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, settings, "FailOrders",
                                   platform::RegistryValue::String(failOrders)),
                0);
    }
  }

  // A run of tillmoor with a cycle every 60000 / `timeScale` ms; its output goes to NAME.out.
  std::unique_ptr<testsupport::ChildProcess> StartService(const std::string& name,
                                                          const std::string& timeScale) {
    return std::make_unique<testsupport::ChildProcess>(std::vector<std::string>{TILLMOOR_EXECUTABLE},
                                                       Path(name),
                                                       Environment({{"TESSERY_TIME_SCALE", timeScale}}));
  }

  std::string Output(const std::string& name) const {
    return testsupport::ReadWholeFile(Path(name + ".out"));
  }

  // The settled orders, or -1 while the database is busy beyond the wait.
  int SettledCount() const {
    try {
      return database_.Count("HEADERBILLINGSTATUS = 6");
    } catch (const std::exception&) {
      return -1;
    }
  }

  testsupport::TempFolder folder_;
  OrderDatabase database_{GetParam(), "Velmar"};  // the service's own data source
};

// tillmoor is killed (SIGKILL) three times in the middle of a cycle and started again. Each new run's
// first cycle must get the run guard the killed process held (a guard left held would skip every
// cycle) and settle on; at the end every order is paid exactly once and each order's status and its
// journal entry agree.
TEST_P(ProcessFaults, KilledDuringACycleARestartedServiceRunsItsNextCycleAndSettlesTheRest) {
  constexpr int kOrders = 60;
  std::vector<std::pair<std::string, int>> orders;
  std::set<std::string> due;
  for (int i = 1; i <= kOrders; ++i) {
    const std::string id = "K-" + std::to_string(i);
    orders.push_back({id, 3 + i % 3});
    due.insert(id);
  }
  orders.push_back({"K-open", 2});
  database_.CreateOrders(orders);
  Configure(2, 50);  // about 40 payments a second: a kill comes well before the cycle ends

  std::vector<int> settledAtKill;
  for (int kill = 1; kill <= 3; ++kill) {
    auto service = StartService("run" + std::to_string(kill), "6000");
    const int target = kill * kOrders / 6;
    ASSERT_TRUE(Eventually([&] { return SettledCount() >= target; })) << "run " << kill << " settled nothing";
    service->Signal(SIGKILL);
    ASSERT_EQ(service->Wait(), 128 + SIGKILL);
    const int settled = SettledCount();
    settledAtKill.push_back(settled);
    ASSERT_LT(settled, kOrders) << "the kill came after the cycle; make payments slower";
    // What a killed payment did is all or nothing: every settled order has its one journal entry.
    const std::multiset<std::string> journal = database_.Journal();
    EXPECT_EQ(journal.size(), static_cast<std::size_t>(settled));
    EXPECT_EQ(std::set<std::string>(journal.begin(), journal.end()), database_.Settled());
  }

  auto last = StartService("last", "6000");
  ASSERT_TRUE(Eventually([&] { return SettledCount() == kOrders; }))
      << "the restarted service settled no more";
  last->Signal(SIGTERM);
  EXPECT_EQ(last->Wait(), 0);
  EXPECT_EQ(Output("last"), "Service started with interval(minutes): 1\n")
      << "the restarted run reported problems";
  EXPECT_EQ(testsupport::ReadWholeFile(Path("last.err")), "");

  const Tally tally = TallyOf(database_.Journal(), due);
  std::printf("FIGURE: kills 3 settled at each kill %d %d %d of %d, after restart %d lost %d paid twice %d\n",
              settledAtKill[0], settledAtKill[1], settledAtKill[2], kOrders, SettledCount(), tally.lost,
              tally.paidTwice);
  EXPECT_EQ(tally.lost, 0);
  EXPECT_EQ(tally.paidTwice, 0);
  EXPECT_EQ(database_.Journal().size(), due.size());
  EXPECT_EQ(database_.Count("ORDERID = 'K-open' AND HEADERBILLINGSTATUS = 2"), 1);
}

// Resident set size (kB) and open file descriptors of a process.
struct Footprint {
  long rssKb = -1;
  long fds = -1;
};
Footprint FootprintOf(pid_t pid) {
  Footprint footprint;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) footprint.rssKb = std::strtol(line.c_str() + 6, nullptr, 10);
  }
  std::error_code ec;
  footprint.fds = 0;
  for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
       !ec && it != fs::directory_iterator(); it.increment(ec)) {
    ++footprint.fds;
  }
  return footprint;
}

// 1,000 cycles one millisecond apart, each with a query, two workers one after the other and two
// payments the component declines (so each cycle reports two lines, which count the cycles), after
// a first cycle that settles fifty orders. Memory and open files stay flat from cycle 100 on.
TEST_P(ProcessFaults, AThousandFastCyclesKeepMemoryAndOpenFilesFlat) {
  std::vector<std::pair<std::string, int>> orders{{"M-stuck-1", 3}, {"M-stuck-2", 4}};
  for (int i = 1; i <= 50; ++i) orders.push_back({"M-" + std::to_string(i), 5});
  database_.CreateOrders(orders);
  Configure(1, 0, "M-stuck-1;M-stuck-2");

  auto service = StartService("fast", "60000");
  auto cycles = [&] {
    // Read the growing output every 10 ms, not at the watchdog's pace: the reading competes with the
    // service for the processor.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string out = Output("fast");
    std::size_t count = 0;
    for (std::size_t at = 0; (at = out.find("(order M-stuck-2,", at)) != std::string::npos; ++at) ++count;
    return static_cast<int>(count);
  };
  int atFirst = 0, atLast = 0;
  Footprint first, last;
  const auto watchdog = std::chrono::seconds(120);  // a thousand cycles under a sanitizer
  ASSERT_TRUE(Eventually([&] { return (atFirst = cycles()) >= 100; }, watchdog));
  first = FootprintOf(service->Pid());
  ASSERT_TRUE(Eventually([&] { return (atLast = cycles()) >= 1000; }, watchdog));
  last = FootprintOf(service->Pid());
  service->Signal(SIGTERM);
  EXPECT_EQ(service->Wait(), 0);
  EXPECT_EQ(testsupport::ReadWholeFile(Path("fast.err")), "");

  const long growth = last.rssKb - first.rssKb;
  std::printf(
      "FIGURE: rss after %d cycles %ld kB after %d cycles %ld kB growth %ld kB; open files %ld then %ld\n",
      atFirst, first.rssKb, atLast, last.rssKb, growth, first.fds, last.fds);
  EXPECT_EQ(database_.Count("HEADERBILLINGSTATUS = 6"), 50);
  EXPECT_EQ(database_.Journal().size(), 50u);
  EXPECT_LE(last.fds, first.fds + 8) << "open files grow with the cycles";
#if !defined(TESSERY_SANITIZED)
  EXPECT_LT(growth, 4096) << "memory grows with the cycles";
#endif
}

TESSERY_INSTANTIATE_FOR_EVERY_BACKEND(ProcessFaults);

}  // namespace
}  // namespace tillmoor::testing
