// An ODBC configuration of a test process's own: a temporary folder holding odbcinst.ini (the SQLite3
// driver, and the PostgreSQL one once it is used) and odbc.ini (data sources on SQLite files in the same
// folder, or on databases of the process's PostgreSQL cluster, tests/support/PostgresCluster.h).
//
// The driver manager fixes where it reads its configuration at the first ODBC call of a process, so
// there is one sandbox per process: Instance() creates it and points ODBCSYSINI and ODBCINI at it.
// Call it before anything touches ODBC. The folder is removed when the process ends.
//
// Add every data source before its name is first used: the driver manager keeps a name it once
// looked up without success unknown for the rest of the process, even when it is added later.
// Adding data sources and drivers is set-up work for one thread; Sqlite() may run on any thread.
//
//   auto& sandbox = testsupport::OdbcSandbox::Instance();
//   const std::string velmar = sandbox.AddSqliteDsn("Velmar");            // "DSN=Velmar"
//   sandbox.CreateOrderHeader("Velmar", {{"'A-1'", 3}, {"123", 4}, {"NULL", 5}, {"'B-2'", 6}});
//   sandbox.Sqlite("Velmar", "SELECT COUNT(*) FROM ORDERHEADER");        // "4\n"
//
// Suites that run on every backend add their data sources with AddDsn(backend, dsn) and work on them
// with Sql(dsn, sql), which goes through the sqlite3 shell or psql as the data source's backend asks
// and prints the same way for both:
//
//   sandbox.AddDsn(testsupport::OdbcBackend::PostgreSQL, "Orders1");      // a new empty database
//   sandbox.CreateOrderHeader("Orders1", {{"'A-1'", 3}});
//   sandbox.Sql("Orders1", "SELECT ORDERID FROM ORDERHEADER");            // "A-1\n"
#pragma once

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "support/PostgresCluster.h"

namespace testsupport {

// Where a data source keeps its tables.
enum class OdbcBackend { SQLite, PostgreSQL };

const char* OdbcBackendName(OdbcBackend backend);

class OdbcSandbox {
 public:
  static OdbcSandbox& Instance();

  OdbcSandbox(const OdbcSandbox&) = delete;
  OdbcSandbox& operator=(const OdbcSandbox&) = delete;

  const std::filesystem::path& Folder() const { return folder_; }

  // The SQLite file a data source added by AddSqliteDsn works on.
  std::filesystem::path DatabaseFile(const std::string& dsn) const { return folder_ / (dsn + ".db"); }

  // A data-source name not used before in this process: `prefix` and a number.
  std::string NewDsnName(const std::string& prefix) { return prefix + std::to_string(++names_); }

  // Adds the data source `dsn` on a new, empty SQLite file (an earlier file of that name is removed),
  // with a 5000 ms busy timeout, and returns its connection string "DSN=<dsn>".
  std::string AddSqliteDsn(const std::string& dsn);

  // Adds the data source `dsn` on a new, empty database of the process's PostgreSQL cluster (started
  // now when it is the first use; an earlier database of that name is dropped). Connections log in as
  // PostgresCluster::kUser unless their string names another user. Returns "DSN=<dsn>"; throws
  // std::runtime_error when the cluster or the driver is not there (Unavailable says so beforehand).
  std::string AddPostgresDsn(const std::string& dsn);

  // Adds the data source `dsn` on a new, empty database of `backend`.
  std::string AddDsn(OdbcBackend backend, const std::string& dsn);

  // Why data sources of `backend` cannot be added in this process, or "" when they can. For
  // PostgreSQL this starts the process's cluster on first use.
  static std::string Unavailable(OdbcBackend backend);

  // Adds the data source `dsn` with the driver `driver` (a name in odbcinst.ini, or one that is not
  // there) on `database`.
  std::string AddDsn(const std::string& dsn, const std::string& driver,
                     const std::filesystem::path& database);

  // Whether `dsn` was added here before. The driver manager keeps the first definition of a name it
  // has read for the rest of the process, so a name added again on another backend reaches the new
  // database only from processes started afterwards (such as the service under test).
  bool Added(const std::string& dsn) const;

  // The backend of a data source added here; SQLite for names added otherwise.
  OdbcBackend BackendOf(const std::string& dsn) const;

  // Runs `sql` on the database of `dsn`, independently of the code under test: through the sqlite3
  // shell (waiting up to 5000 ms for a database locked by the code under test) or psql. Prints the
  // same way for both: columns separated by "|", one line per row, no headers, NULL as nothing.
  // Throws std::runtime_error with the tool's output when a statement fails.
  std::string Sql(const std::string& dsn, const std::string& sql) const;

  // Whether the database of `dsn` has the table `table` (named as unquoted SQL names it).
  bool HasTable(const std::string& dsn, const std::string& table) const;

  // Registers a further driver in odbcinst.ini, e.g. one whose library is missing.
  void AddDriver(const std::string& name, const std::filesystem::path& library);

  // Runs `sql` on the SQLite file of `dsn` with the sqlite3 shell, independently of the code under test,
  // and returns what it prints (list mode: columns separated by "|", one line per row). Throws
  // std::runtime_error with the shell's output when a statement fails.
  std::string Sqlite(const std::string& dsn, const std::string& sql) const;

  // Creates ORDERHEADER (ORDERID <idType>, HEADERBILLINGSTATUS INTEGER) in the database of `dsn`, on
  // its backend, and inserts one row per order in the order given: an SQL literal for the id ("'A-1'",
  // "123", "NULL") and the billing status.
  void CreateOrderHeader(const std::string& dsn, const std::vector<std::pair<std::string, int>>& orders,
                         const std::string& idType = "VARCHAR(50)") const;

  // The installed SQLite ODBC driver library: the one the machine's odbcinst.ini names for "SQLite3"
  // when it exists, else libsqlite3odbc.so in the usual library folders.
  static std::filesystem::path SqliteDriverPath();

  // The installed PostgreSQL ODBC driver library, the same way ("PostgreSQL Unicode", psqlodbcw.so).
  static std::filesystem::path PostgresDriverPath();

  // The name of the PostgreSQL database behind a data source added by AddPostgresDsn: "tessery_" and
  // the name in lower case with other characters than letters and digits as '_'.
  static std::string PostgresDatabaseName(const std::string& dsn);

  static constexpr const char* kPostgresDriver = "PostgreSQL Unicode";

 private:
  OdbcSandbox();
  ~OdbcSandbox();

  // Writes the data source's section to odbc.ini, replacing an earlier section of that name, so that a
  // name added again (on another backend) means the new database for processes started from now on.
  // This process's driver manager keeps the definition it read first. The file is replaced by rename,
  // so the driver manager never reads half of it.
  void WriteDsn(const std::string& dsn, OdbcBackend backend, const std::string& body);

  std::filesystem::path folder_;
  mutable std::atomic<int> scripts_{0};
  std::atomic<int> names_{0};
  mutable std::mutex mutex_;
  std::map<std::string, OdbcBackend> backends_;
  std::once_flag postgresDriver_;
};

}  // namespace testsupport
