// The pending-order query over 100,000 pending rows: the order query's walk through an ADO recordset
// (static cursor, EOF, MoveLast, RecordCount, MoveFirst, ORDERID of every row as text, MoveNext, Close)
// against reading the same rows through the sqlite3 C API. Each iteration is one round: one query each
// way, in alternating order (bench/Rounds.h), timed in processor time of the thread (both run on it:
// the driver works in the calling thread, on a database file in the page cache). Reported: the
// recordset's time per query (the iteration time) and the counter "ratio" = the median over the
// rounds of recordset time / sqlite3 time, with its spread; the target is a median of at most 3.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Rounds.h"
#include "platform/Ado.h"
#include "support/OdbcSandbox.h"

namespace {

constexpr int kPendingOrders = 100000;
constexpr const char* kQuery = "SELECT ORDERID FROM ORDERHEADER WHERE HEADERBILLINGSTATUS IN (3,4,5)";

// One order database for the run: the pending rows and as many settled ones around them.
const std::string& BenchDsn() {
  static const std::string dsn = [] {
    auto& sandbox = testsupport::OdbcSandbox::Instance();
    const std::string name = sandbox.NewDsnName("Bench");
    sandbox.AddSqliteDsn(name);
    sandbox.Sqlite(name,
                   "CREATE TABLE ORDERHEADER (ORDERID VARCHAR(34), HEADERBILLINGSTATUS INTEGER);"
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                       std::to_string(2 * kPendingOrders) +
                       ") INSERT INTO ORDERHEADER SELECT printf('WEB-%08d', i), CASE WHEN i % 2 = 0 "
                       "THEN 3 + i % 3 ELSE 6 END FROM n");
    return name;
  }();
  return dsn;
}

std::vector<std::string> QueryThroughRecordset(platform::ado::DataAccess& data,
                                               const std::string& connectionString) {
  std::vector<std::string> ids;
  auto rs = data.NewRecordset();
  rs->Open(kQuery, connectionString, platform::ado::adOpenStatic, platform::ado::adLockOptimistic,
           platform::ado::adCmdText);
  if (!rs->Eof()) {
    rs->MoveLast();
    ids.reserve(static_cast<std::size_t>(rs->RecordCount()));
    rs->MoveFirst();
  }
  for (; !rs->Eof(); rs->MoveNext()) ids.push_back(rs->Field("ORDERID").ToString());
  rs->Close();
  return ids;
}

std::vector<std::string> QueryThroughSqlite3(const std::string& file) {
  std::vector<std::string> ids;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + file);
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, kQuery, -1, &statement, nullptr) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
      ids.emplace_back(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(statement, 0)));
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return ids;
}

void PendingOrderQuery(benchmark::State& state) {
  const std::string connectionString = "DSN=" + BenchDsn() + ";UID=WWWapps;PWD=";
  const std::string file = testsupport::OdbcSandbox::Instance().DatabaseFile(BenchDsn()).string();
  const auto data = platform::ado::OpenOdbcDataAccess();
  bench::Ratios ratios;
  for (auto _ : state) {
    std::vector<std::string> viaRecordset, viaSqlite;
    const std::vector<double> times =
        bench::TimeRound(state.iterations(), bench::ThreadCpuSeconds,
                         {[&] { viaRecordset = QueryThroughRecordset(*data, connectionString); },
                          [&] { viaSqlite = QueryThroughSqlite3(file); }});
    if (viaRecordset.size() != kPendingOrders || viaRecordset != viaSqlite) {
      state.SkipWithError("the two reads differ");
      break;
    }
    ratios.Add(times[0] / times[1]);
    state.SetIterationTime(times[0]);
  }
  ratios.Report(state, "ratio");
  state.SetItemsProcessed(state.iterations() * kPendingOrders);
}
BENCHMARK(PendingOrderQuery)->Iterations(11)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
