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

#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "support/PostgresCluster.h"

namespace testsupport {

// Where a data source keeps its tables.
enum class OdbcBackend { SQLite, PostgreSQL };

inline const char* OdbcBackendName(OdbcBackend backend) {
  return backend == OdbcBackend::SQLite ? "SQLite" : "PostgreSQL";
}

class OdbcSandbox {
 public:
  static OdbcSandbox& Instance() {
    static OdbcSandbox sandbox;
    return sandbox;
  }

  OdbcSandbox(const OdbcSandbox&) = delete;
  OdbcSandbox& operator=(const OdbcSandbox&) = delete;

  const std::filesystem::path& Folder() const { return folder_; }

  // The SQLite file a data source added by AddSqliteDsn works on.
  std::filesystem::path DatabaseFile(const std::string& dsn) const { return folder_ / (dsn + ".db"); }

  // A data-source name not used before in this process: `prefix` and a number.
  std::string NewDsnName(const std::string& prefix) { return prefix + std::to_string(++names_); }

  // Adds the data source `dsn` on a new, empty SQLite file (an earlier file of that name is removed),
  // with a 5000 ms busy timeout, and returns its connection string "DSN=<dsn>".
  std::string AddSqliteDsn(const std::string& dsn) {
    std::filesystem::remove(DatabaseFile(dsn));
    return AddDsn(dsn, "SQLite3", DatabaseFile(dsn));
  }

  // Adds the data source `dsn` on a new, empty database of the process's PostgreSQL cluster (started
  // now when it is the first use; an earlier database of that name is dropped). Connections log in as
  // PostgresCluster::kUser unless their string names another user. Returns "DSN=<dsn>"; throws
  // std::runtime_error when the cluster or the driver is not there (Unavailable says so beforehand).
  std::string AddPostgresDsn(const std::string& dsn) {
    if (const std::string reason = Unavailable(OdbcBackend::PostgreSQL); !reason.empty())
      throw std::runtime_error(reason);
    PostgresCluster& cluster = *PostgresCluster::Get();
    const std::string database = PostgresDatabaseName(dsn);
    cluster.CreateDatabase(database);
    std::call_once(postgresDriver_, [&] { AddDriver(kPostgresDriver, PostgresDriverPath()); });
    WriteDsn(dsn, OdbcBackend::PostgreSQL,
             std::string("Driver=") + kPostgresDriver + "\nServername=127.0.0.1\nPort=" +
                 std::to_string(cluster.Port()) + "\nDatabase=" + database + "\nUsername=" +
                 PostgresCluster::kUser + "\n");
    return "DSN=" + dsn;
  }

  // Adds the data source `dsn` on a new, empty database of `backend`.
  std::string AddDsn(OdbcBackend backend, const std::string& dsn) {
    return backend == OdbcBackend::SQLite ? AddSqliteDsn(dsn) : AddPostgresDsn(dsn);
  }

  // Why data sources of `backend` cannot be added in this process, or "" when they can. For
  // PostgreSQL this starts the process's cluster on first use.
  static std::string Unavailable(OdbcBackend backend) {
    if (backend == OdbcBackend::SQLite) return "";
    if (!PostgresCluster::Get()) return "PostgreSQL cannot be started: " + PostgresCluster::Failure();
    try {
      PostgresDriverPath();
    } catch (const std::exception& error) {
      return error.what();
    }
    return "";
  }

  // Adds the data source `dsn` with the driver `driver` (a name in odbcinst.ini, or one that is not
  // there) on `database`.
  std::string AddDsn(const std::string& dsn, const std::string& driver,
                     const std::filesystem::path& database) {
    WriteDsn(dsn, OdbcBackend::SQLite,
             "Driver=" + driver + "\nDatabase=" + database.string() + "\nTimeout=5000\n");
    return "DSN=" + dsn;
  }

  // Whether `dsn` was added here before. The driver manager keeps the first definition of a name it
  // has read for the rest of the process, so a name added again on another backend reaches the new
  // database only from processes started afterwards (such as the service under test).
  bool Added(const std::string& dsn) const {
    std::lock_guard lock(mutex_);
    return backends_.count(dsn) != 0;
  }

  // The backend of a data source added here; SQLite for names added otherwise.
  OdbcBackend BackendOf(const std::string& dsn) const {
    std::lock_guard lock(mutex_);
    const auto found = backends_.find(dsn);
    return found == backends_.end() ? OdbcBackend::SQLite : found->second;
  }

  // Runs `sql` on the database of `dsn`, independently of the code under test: through the sqlite3
  // shell (waiting up to 5000 ms for a database locked by the code under test) or psql. Prints the
  // same way for both: columns separated by "|", one line per row, no headers, NULL as nothing.
  // Throws std::runtime_error with the tool's output when a statement fails.
  std::string Sql(const std::string& dsn, const std::string& sql) const {
    if (BackendOf(dsn) == OdbcBackend::PostgreSQL)
      return PostgresCluster::Get()->Psql(PostgresDatabaseName(dsn), sql);
    return Sqlite(dsn, ".timeout 5000\n" + sql);
  }

  // Whether the database of `dsn` has the table `table` (named as unquoted SQL names it).
  bool HasTable(const std::string& dsn, const std::string& table) const {
    if (BackendOf(dsn) == OdbcBackend::PostgreSQL)
      return Sql(dsn, "SELECT to_regclass('" + table + "') IS NOT NULL") == "t\n";
    return !Sql(dsn, "SELECT name FROM sqlite_master WHERE type = 'table' AND name = '" + table + "' COLLATE NOCASE")
                .empty();
  }

  // Registers a further driver in odbcinst.ini, e.g. one whose library is missing.
  void AddDriver(const std::string& name, const std::filesystem::path& library) {
    AppendFile(folder_ / "odbcinst.ini", "[" + name + "]\nDriver=" + library.string() + "\n\n");
  }

  // Runs `sql` on the SQLite file of `dsn` with the sqlite3 shell, independently of the code under test,
  // and returns what it prints (list mode: columns separated by "|", one line per row). Throws
  // std::runtime_error with the shell's output when a statement fails.
  std::string Sqlite(const std::string& dsn, const std::string& sql) const {
    const std::filesystem::path script = folder_ / ("script-" + std::to_string(++scripts_) + ".sql");
    {
      std::ofstream out(script, std::ios::binary | std::ios::trunc);
      out << sql << (sql.empty() || sql.back() != ';' ? ";\n" : "\n");
    }
    const std::string command =
        "sqlite3 -batch -bail '" + DatabaseFile(dsn).string() + "' < '" + script.string() + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run sqlite3");
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pclose(pipe);
    std::error_code ec;
    std::filesystem::remove(script, ec);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      throw std::runtime_error("sqlite3 failed on '" + sql + "': " + output);
    }
    return output;
  }

  // Creates ORDERHEADER (ORDERID <idType>, HEADERBILLINGSTATUS INTEGER) in the database of `dsn`, on
  // its backend, and inserts one row per order in the order given: an SQL literal for the id ("'A-1'",
  // "123", "NULL") and the billing status.
  void CreateOrderHeader(const std::string& dsn, const std::vector<std::pair<std::string, int>>& orders,
                         const std::string& idType = "VARCHAR(50)") const {
    std::string sql = "CREATE TABLE ORDERHEADER (ORDERID " + idType + ", HEADERBILLINGSTATUS INTEGER);\n";
    for (const auto& [id, status] : orders) {
      sql += "INSERT INTO ORDERHEADER VALUES (" + id + ", " + std::to_string(status) + ");\n";
    }
    Sql(dsn, sql);
  }

  // The installed SQLite ODBC driver library: the one the machine's odbcinst.ini names for "SQLite3"
  // when it exists, else libsqlite3odbc.so in the usual library folders.
  static std::filesystem::path SqliteDriverPath() {
    return InstalledDriverPath("SQLite3", "libsqlite3odbc.so", "libsqliteodbc");
  }

  // The installed PostgreSQL ODBC driver library, the same way ("PostgreSQL Unicode", psqlodbcw.so).
  static std::filesystem::path PostgresDriverPath() {
    return InstalledDriverPath(kPostgresDriver, "psqlodbcw.so", "odbc-postgresql");
  }

  // The name of the PostgreSQL database behind a data source added by AddPostgresDsn: "tessery_" and
  // the name in lower case with other characters than letters and digits as '_'.
  static std::string PostgresDatabaseName(const std::string& dsn) {
    std::string name = "tessery_";
    for (char c : dsn) {
      const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      name += alphanumeric ? static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) : '_';
    }
    return name;
  }

  static constexpr const char* kPostgresDriver = "PostgreSQL Unicode";

 private:
  // The library the machine's odbcinst.ini names for the driver `section` when it exists, else
  // `library` in the usual library folders.
  static std::filesystem::path InstalledDriverPath(const std::string& section, std::string library,
                                                   const std::string& package) {
    namespace fs = std::filesystem;
    std::ifstream machine("/etc/odbcinst.ini");
    bool inSection = false;
    for (std::string line; std::getline(machine, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty() && line.front() == '[') {
        inSection = line == "[" + section + "]";
      } else if (inSection && line.rfind("Driver", 0) == 0 && line.find('=') != std::string::npos) {
        std::string value = line.substr(line.find('=') + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        std::error_code ec;
        if (fs::path(value).is_absolute() && fs::exists(value, ec)) return value;
        if (!value.empty()) library = fs::path(value).filename().string();
      }
    }
    std::vector<fs::path> folders = {"/usr/lib/odbc",       "/usr/lib64/odbc", "/usr/lib64",
                                     "/usr/local/lib/odbc", "/usr/local/lib",  "/usr/lib"};
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib", ec)) {
      if (entry.is_directory(ec) && entry.path().filename().string().find("-linux-") != std::string::npos) {
        folders.insert(folders.begin(), entry.path() / "odbc");
      }
    }
    for (const fs::path& folder : folders) {
      if (fs::exists(folder / library, ec)) return folder / library;
    }
    throw std::runtime_error("the ODBC driver " + library + " is not installed (Debian package " + package + ")");
  }

  // Writes the data source's section to odbc.ini, replacing an earlier section of that name, so that a
  // name added again (on another backend) means the new database for processes started from now on.
  // This process's driver manager keeps the definition it read first. The file is replaced by rename,
  // so the driver manager never reads half of it.
  void WriteDsn(const std::string& dsn, OdbcBackend backend, const std::string& body) {
    std::lock_guard lock(mutex_);
    std::ifstream in(folder_ / "odbc.ini");
    std::string kept;
    bool skipping = false;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.front() == '[') skipping = line == "[" + dsn + "]";
      if (!skipping) kept += line + "\n";
    }
    in.close();
    const std::filesystem::path temporary = folder_ / "odbc.ini.new";
    WriteFile(temporary, kept + "[" + dsn + "]\n" + body + "\n");
    std::filesystem::rename(temporary, folder_ / "odbc.ini");
    backends_[dsn] = backend;
  }

  OdbcSandbox() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessery-odbc-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create the ODBC sandbox folder");
    folder_ = pattern;
    WriteFile(folder_ / "odbcinst.ini",
              "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=" + SqliteDriverPath().string() + "\n\n");
    WriteFile(folder_ / "odbc.ini", "");
    setenv("ODBCSYSINI", folder_.c_str(), 1);
    setenv("ODBCINI", (folder_ / "odbc.ini").c_str(), 1);
  }

  ~OdbcSandbox() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

  static void WriteFile(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + file.string());
  }

  static void AppendFile(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + file.string());
  }

  std::filesystem::path folder_;
  mutable std::atomic<int> scripts_{0};
  std::atomic<int> names_{0};
  mutable std::mutex mutex_;
  std::map<std::string, OdbcBackend> backends_;
  std::once_flag postgresDriver_;
};

}  // namespace testsupport
