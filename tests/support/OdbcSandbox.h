// An ODBC configuration of a test process's own: a temporary folder holding odbcinst.ini (the SQLite3
// driver) and odbc.ini (data sources on SQLite files in the same folder).
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
#pragma once

#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace testsupport {

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

  // Adds the data source `dsn` with the driver `driver` (a name in odbcinst.ini, or one that is not
  // there) on `database`.
  std::string AddDsn(const std::string& dsn, const std::string& driver,
                     const std::filesystem::path& database) {
    AppendFile(folder_ / "odbc.ini",
               "[" + dsn + "]\nDriver=" + driver + "\nDatabase=" + database.string() + "\nTimeout=5000\n\n");
    return "DSN=" + dsn;
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

  // Creates ORDERHEADER (ORDERID <idType>, HEADERBILLINGSTATUS INTEGER) in the database of `dsn` and
  // inserts one row per order in the order given: an SQL literal for the id ("'A-1'", "123", "NULL")
  // and the billing status.
  void CreateOrderHeader(const std::string& dsn, const std::vector<std::pair<std::string, int>>& orders,
                         const std::string& idType = "VARCHAR(50)") const {
    std::string sql = "CREATE TABLE ORDERHEADER (ORDERID " + idType + ", HEADERBILLINGSTATUS INTEGER);\n";
    for (const auto& [id, status] : orders) {
      sql += "INSERT INTO ORDERHEADER VALUES (" + id + ", " + std::to_string(status) + ");\n";
    }
    Sqlite(dsn, sql);
  }

  // The installed SQLite ODBC driver library: the one the machine's odbcinst.ini names for "SQLite3"
  // when it exists, else libsqlite3odbc.so in the usual library folders.
  static std::filesystem::path SqliteDriverPath() {
    namespace fs = std::filesystem;
    std::string library = "libsqlite3odbc.so";
    std::ifstream machine("/etc/odbcinst.ini");
    bool inSection = false;
    for (std::string line; std::getline(machine, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty() && line.front() == '[') {
        inSection = line == "[SQLite3]";
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
    throw std::runtime_error("the SQLite ODBC driver " + library +
                             " is not installed (Debian package libsqliteodbc)");
  }

 private:
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
};

}  // namespace testsupport
