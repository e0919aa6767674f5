// The pending-order query over 100,000 pending rows: the order query's walk through an ADO recordset
// (static cursor, EOF, MoveLast, RecordCount, MoveFirst, ORDERID of every row as text, MoveNext, Close)
// against reading the same rows through the sqlite3 C API, both in every iteration of one run.
// Reported: the recordset's time per query (the iteration time) and the counter "ratio" = recordset
// time / sqlite3 time over the run; the target is a ratio of at most 3.
//
// for the ODBC sandbox (support/OdbcSandbox.h).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

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
  using Clock = std::chrono::steady_clock;
  const std::string connectionString = "DSN=" + BenchDsn() + ";UID=WWWapps;PWD=";
  const std::string file = testsupport::OdbcSandbox::Instance().DatabaseFile(BenchDsn()).string();
  const auto data = platform::ado::OpenOdbcDataAccess();
  Clock::duration recordsetTime{}, sqliteTime{};
  for (auto _ : state) {
    const auto start = Clock::now();
    const auto viaRecordset = QueryThroughRecordset(*data, connectionString);
    const auto middle = Clock::now();
    const auto viaSqlite = QueryThroughSqlite3(file);
    const auto end = Clock::now();
    if (viaRecordset.size() != kPendingOrders || viaRecordset != viaSqlite) {
      state.SkipWithError("the two reads differ");
      break;
    }
    recordsetTime += middle - start;
    sqliteTime += end - middle;
    state.SetIterationTime(std::chrono::duration<double>(middle - start).count());
  }
  if (sqliteTime.count() > 0) {
    state.counters["ratio"] =
        std::chrono::duration<double>(recordsetTime) / std::chrono::duration<double>(sqliteTime);
  }
  state.SetItemsProcessed(state.iterations() * kPendingOrders);
}
BENCHMARK(PendingOrderQuery)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
