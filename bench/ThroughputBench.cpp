// Throughput of the payment cycle against the card gateway's latency: 5,000 pending orders, the
// reference payment component with "DelayMilliseconds" 20 standing for the gateway, 64 payment
// workers, on an SQLite file and on PostgreSQL (the throw-away cluster of the tests). No cycle can be
// faster than 5,000 / 64 x 20 ms = 1.5625 s, the latency bound; the figure is the cycle's wall time
// divided by it (target on PostgreSQL: at most 1.3).
//
// The cycle runs as tillmoor runs it, in this process (bench/ServiceCycles.h): the registry is a
// registry file in a temporary folder, the payment component is the module libCCPayment.so registered
// in it and created through the registry for every order, the order query and the settlements go
// through unixODBC to the data source. ORDERHEADER has ORDERID as its primary key, as an order
// database has (without one every settlement scans the whole table), and holds as many settled
// orders as pending ones. Each iteration is one round: one cycle on each backend, the order of the
// backends alternating (bench/Rounds.h); SQLite takes part in the first three of the five. After each round,
// outside the timing, every order must have been settled once and the service must have reported nothing;
// then the orders are made pending again and the journal emptied. Every cycle starts without pooled
// connections, as tillmoor's cycles do a minute or more apart: a round begins by waiting out the
// module's idle limit (untimed), and each of the 64 workers connects to the database anew. Reported per
// backend: the median ratio with its spread (sqlite, sqlite_low, sqlite_high; postgresql, ...) and the median
// seconds per cycle.
//
// The floor: in each round pgbench, the server's own load client (libpq, two threads handling
// every connection by turns, nothing between one statement and the next), does the same payments on
// the same PostgreSQL database: 64 clients, each 78 times the gateway's 20 ms and then the statements
// the ODBC driver sends for a settlement, in as many round trips ("BEGIN;UPDATE ...", "SAVEPOINT
// ...;INSERT ...", "COMMIT"). Its time, its connections included, over its own latency bound
// (78 x 20 ms) is what this machine leaves of the bound before any of the service's own work:
// postgresql_floor. postgresql_over_floor is the cycle's time over the floor's,
// round by round: the share of the cycle that is the service's and the component's own.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Rounds.h"
#include "ServiceCycles.h"
#include "Setup.h"
#include "components/CCPayment.h"
#include "platform/Ado.h"
#include "platform/Com.h"
#include "platform/Registry.h"
#include "runtime/Ascii.h"
#include "service/PaymentBatchWork.h"
#include "support/OdbcSandbox.h"
#include "support/PostgresCluster.h"
#include "support/TempFolder.h"

namespace {

using testsupport::OdbcBackend;

constexpr int kOrders = 5000;
constexpr std::uint32_t kWorkers = 64;
constexpr std::uint32_t kGatewayMs = 20;
constexpr double kLatencyBound = kOrders / static_cast<double>(kWorkers) * kGatewayMs / 1000.0;
// Rounds: PostgreSQL's cycles take seconds; SQLite's ten times as long (a commit waits for the disk),
// and its figure has no target, so it takes part in the first rounds only.
constexpr int kRounds = 5;
constexpr int kSqliteRounds = 3;
// Payments per client of the floor (64 clients): 64 x 78 = 4,992 of the 5,000 orders.
constexpr int kFloorPayments = kOrders / kWorkers;
constexpr double kFloorBound = kFloorPayments * kGatewayMs / 1000.0;

// One backend's order database and the service that pays its orders, set up as an administrator
// sets up tillmoor: the component registered with its settings in the registry file.
class PaymentService {
 public:
  explicit PaymentService(OdbcBackend backend) : backend_(backend) {
    auto& sandbox = testsupport::OdbcSandbox::Instance();
    dsn_ = sandbox.NewDsnName(std::string("Throughput") + testsupport::OdbcBackendName(backend));
    const std::string connection = sandbox.AddDsn(backend, dsn_) + ";UID=WWWapps;PWD=";
    // The pending orders, as many settled ones around them, and the component's journal.
    sandbox.Sql(
        dsn_,
        "CREATE TABLE ORDERHEADER (ORDERID VARCHAR(34) PRIMARY KEY, HEADERBILLINGSTATUS INTEGER);\n"
        "CREATE TABLE PAYMENTJOURNAL (ORDERID VARCHAR(255) NOT NULL, PAIDAT TIMESTAMP NOT NULL);\n"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
            std::to_string(2 * kOrders) +
            ") INSERT INTO ORDERHEADER SELECT 'PAY-' || i, CASE WHEN i % 2 = 0 THEN 3 + i % 3 ELSE 6 END "
            "FROM n");
    registry_ = platform::OpenFileRegistry(folder_.Path() / "registry.reg");
    std::string message;
    if (platform::Failed(platform::RegisterModule(*registry_, CCPAYMENT_MODULE, &message)))
      throw std::runtime_error("the payment component cannot be registered: " + message);
    bench::SetRegistryValue(*registry_, platform::RootKey::LocalMachine, components::kCCPaymentSettingsKey,
                            "ConnectionString", platform::RegistryValue::String(connection));
    bench::SetRegistryValue(*registry_, platform::RootKey::LocalMachine, components::kCCPaymentSettingsKey,
                            "DelayMilliseconds", platform::RegistryValue::DWord(kGatewayMs));
    components_ = platform::OpenComponentCreator(*registry_);
    work_ = std::make_unique<tillmoor::PaymentBatchWork>(*data_, *components_, connection);
    service_ = std::make_unique<bench::ServiceCycles>(*registry_, *work_, kWorkers);
  }

  // Makes the orders pending again and empties the journal (on PostgreSQL also clears the dead rows
  // the cycle left, so that every round starts alike).
  void Reset() {
    testsupport::OdbcSandbox::Instance().Sql(
        dsn_,
        "UPDATE ORDERHEADER SET HEADERBILLINGSTATUS = 3 + CAST(SUBSTR(ORDERID, 5) AS INTEGER) % 3 "
        "WHERE CAST(SUBSTR(ORDERID, 5) AS INTEGER) % 2 = 0;\nDELETE FROM PAYMENTJOURNAL" +
            std::string(backend_ == OdbcBackend::PostgreSQL
                            ? ";\nVACUUM ANALYZE ORDERHEADER;\nVACUUM ANALYZE PAYMENTJOURNAL"
                            : ""));
  }

  // Runs one cycle; empty when it ended and the service reported nothing, else what went wrong.
  std::string Cycle() {
    const std::size_t reportsBefore = service_->Reports().size();
    if (!service_->RunCycle()) return "the cycle did not end";
    const std::vector<std::string> reports = service_->Reports();
    if (reports.size() > reportsBefore)
      return reports[reportsBefore] + " (" + std::to_string(reports.size() - reportsBefore) + " reports)";
    return "";
  }

  // Empty when the last cycle paid every order once, else what it left.
  std::string Check() {
    auto& sandbox = testsupport::OdbcSandbox::Instance();
    const std::string counts = sandbox.Sql(
        dsn_,
        "SELECT (SELECT COUNT(*) FROM ORDERHEADER WHERE HEADERBILLINGSTATUS IN (3,4,5)), "
        "(SELECT COUNT(*) FROM PAYMENTJOURNAL), (SELECT COUNT(DISTINCT ORDERID) FROM PAYMENTJOURNAL)");
    const std::string expected = "0|" + std::to_string(kOrders) + "|" + std::to_string(kOrders) + "\n";
    if (counts != expected) return "pending|journal|distinct after the cycle: " + counts;
    return "";
  }

  // The floor's time (see the top of the file) on this database, which it leaves as it found it:
  // seconds for kWorkers x kFloorPayments payments, its connections included.
  double FloorSeconds() {
    const std::string script =
        "\\set n :n + 1\n"
        "\\set i 2 * (:client_id * " +
        std::to_string(kFloorPayments) +
        " + :n)\n"
        "\\sleep " +
        std::to_string(kGatewayMs) +
        " ms\n"
        "BEGIN \\; UPDATE ORDERHEADER SET HEADERBILLINGSTATUS = 6 WHERE ORDERID = 'PAY-' || :i "
        "AND HEADERBILLINGSTATUS IN (3,4,5);\n"
        "SAVEPOINT s \\; INSERT INTO PAYMENTJOURNAL (ORDERID, PAIDAT) VALUES ('PAY-' || :i, "
        "CURRENT_TIMESTAMP);\n"
        "COMMIT;\n";
    const std::string output = testsupport::PostgresCluster::Get()->Pgbench(
        testsupport::OdbcSandbox::PostgresDatabaseName(dsn_), script,
        "-D n=0 -c " + std::to_string(kWorkers) + " -j 2 -t " + std::to_string(kFloorPayments));
    Reset();
    // "initial connection time = 141.839 ms", "tps = 2542.265417 (without initial connection time)"
    auto number = [&](const std::string& label) {
      const std::size_t at = output.find(label);
      const double value = at == std::string::npos ? 0.0 : std::atof(output.c_str() + at + label.size());
      if (value <= 0.0) throw std::runtime_error("pgbench printed no " + label + output);
      return value;
    };
    return number("initial connection time = ") / 1000.0 + kWorkers * kFloorPayments / number("tps = ");
  }

  OdbcBackend Backend() const { return backend_; }

 private:
  OdbcBackend backend_;
  std::string dsn_;
  testsupport::TempFolder folder_;
  std::unique_ptr<platform::Registry> registry_;
  std::unique_ptr<platform::ado::DataAccess> data_ = platform::ado::OpenOdbcDataAccess();
  std::unique_ptr<platform::ComponentCreator> components_;
  std::unique_ptr<tillmoor::PaymentBatchWork> work_;
  std::unique_ptr<bench::ServiceCycles> service_;
};

void PaymentCycle(benchmark::State& state) {
  // 64 workers each hold a connection while they settle (kept for a while after the cycle), and the
  // floor's 64 clients theirs; the tests' cluster allows 50.
  testsupport::PostgresCluster::RequestMaxConnections(160);
  if (const std::string reason = testsupport::OdbcSandbox::Unavailable(OdbcBackend::PostgreSQL);
      !reason.empty()) {
    state.SkipWithError(reason.c_str());
    return;
  }
  std::vector<std::unique_ptr<PaymentService>> services;
  services.push_back(std::make_unique<PaymentService>(OdbcBackend::SQLite));
  services.push_back(std::make_unique<PaymentService>(OdbcBackend::PostgreSQL));
  std::vector<bench::Ratios> ratios(services.size()), seconds(services.size());
  std::vector<std::string> failures(services.size());
  PaymentService& postgres = *services.back();
  bench::Ratios floor, overFloor;
  for (auto _ : state) {
    // The floor runs before the cycles in odd rounds and after them in even ones.
    const bool floorFirst = state.iterations() % 2 == 1;
    double floorSeconds = 0.0;
    if (floorFirst) {
      state.PauseTiming();
      floorSeconds = postgres.FloorSeconds();
      state.ResumeTiming();
    }
    state.PauseTiming();
    std::this_thread::sleep_for(components::kConnectionIdleLimit + std::chrono::seconds(1));
    state.ResumeTiming();
    // The services that take part in this round, and their cycles.
    std::vector<std::size_t> taking;
    std::vector<std::function<void()>> cycles;
    for (std::size_t i = 0; i < services.size(); ++i) {
      if (state.iterations() >= (services[i]->Backend() == OdbcBackend::SQLite ? kSqliteRounds : kRounds))
        continue;
      taking.push_back(i);
      cycles.push_back([&, i] { failures[i] = services[i]->Cycle(); });
    }
    const std::vector<double> times = bench::TimeRound(state.iterations(), bench::WallSeconds, cycles);
    state.PauseTiming();
    for (std::size_t k = 0; k < taking.size(); ++k) {
      const std::size_t i = taking[k];
      if (failures[i].empty()) failures[i] = services[i]->Check();
      if (!failures[i].empty()) {
        state.SkipWithError(
            (testsupport::OdbcBackendName(services[i]->Backend()) + (": " + failures[i])).c_str());
        return;
      }
      ratios[i].Add(times[k] / kLatencyBound);
      seconds[i].Add(times[k]);
      services[i]->Reset();
    }
    if (!floorFirst) floorSeconds = postgres.FloorSeconds();
    floor.Add(floorSeconds / kFloorBound);
    overFloor.Add(seconds.back().Last() / floorSeconds);
    state.ResumeTiming();
  }
  for (std::size_t i = 0; i < services.size(); ++i) {
    const std::string name = platform::AsciiLowered(testsupport::OdbcBackendName(services[i]->Backend()));
    ratios[i].Report(state, name);
    state.counters[name + "_seconds"] = seconds[i].Median();
  }
  floor.Report(state, "postgresql_floor");
  overFloor.Report(state, "postgresql_over_floor");
}
BENCHMARK(PaymentCycle)->Iterations(kRounds)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
