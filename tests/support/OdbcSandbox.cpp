// The test process's own ODBC configuration: odbcinst.ini and odbc.ini in a temporary folder, data
// sources added on SQLite files or PostgreSQL databases, and test SQL run through sqlite3 or psql.
#include "support/OdbcSandbox.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace testsupport {

namespace {

void WriteFile(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

void AppendFile(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::app);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

// The library the machine's odbcinst.ini names for the driver `section` when it exists, else
// `library` in the usual library folders.
std::filesystem::path InstalledDriverPath(const std::string& section, std::string library,
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
  throw std::runtime_error("the ODBC driver " + library + " is not installed (Debian package " + package +
                           ")");
}

}  // namespace

const char* OdbcBackendName(OdbcBackend backend) {
  return backend == OdbcBackend::SQLite ? "SQLite" : "PostgreSQL";
}

OdbcSandbox& OdbcSandbox::Instance() {
  static OdbcSandbox sandbox;
  return sandbox;
}

std::string OdbcSandbox::AddSqliteDsn(const std::string& dsn) {
  std::filesystem::remove(DatabaseFile(dsn));
  return AddDsn(dsn, "SQLite3", DatabaseFile(dsn));
}

std::string OdbcSandbox::AddPostgresDsn(const std::string& dsn) {
  if (const std::string reason = Unavailable(OdbcBackend::PostgreSQL); !reason.empty())
    throw std::runtime_error(reason);
  PostgresCluster& cluster = *PostgresCluster::Get();
  const std::string database = PostgresDatabaseName(dsn);
  cluster.CreateDatabase(database);
  std::call_once(postgresDriver_, [&] { AddDriver(kPostgresDriver, PostgresDriverPath()); });
  WriteDsn(dsn, OdbcBackend::PostgreSQL,
           std::string("Driver=") + kPostgresDriver +
               "\nServername=127.0.0.1\nPort=" + std::to_string(cluster.Port()) + "\nDatabase=" + database +
               "\nUsername=" + PostgresCluster::kUser + "\n");
  return "DSN=" + dsn;
}

std::string OdbcSandbox::AddDsn(OdbcBackend backend, const std::string& dsn) {
  return backend == OdbcBackend::SQLite ? AddSqliteDsn(dsn) : AddPostgresDsn(dsn);
}

std::string OdbcSandbox::Unavailable(OdbcBackend backend) {
  if (backend == OdbcBackend::SQLite) return "";
  if (!PostgresCluster::Get()) return "PostgreSQL cannot be started: " + PostgresCluster::Failure();
  try {
    PostgresDriverPath();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "";
}

std::string OdbcSandbox::AddDsn(const std::string& dsn, const std::string& driver,
                                const std::filesystem::path& database) {
  WriteDsn(dsn, OdbcBackend::SQLite,
           "Driver=" + driver + "\nDatabase=" + database.string() + "\nTimeout=5000\n");
  return "DSN=" + dsn;
}

bool OdbcSandbox::Added(const std::string& dsn) const {
  std::lock_guard lock(mutex_);
  return backends_.count(dsn) != 0;
}

OdbcBackend OdbcSandbox::BackendOf(const std::string& dsn) const {
  std::lock_guard lock(mutex_);
  const auto found = backends_.find(dsn);
  return found == backends_.end() ? OdbcBackend::SQLite : found->second;
}

std::string OdbcSandbox::Sql(const std::string& dsn, const std::string& sql) const {
  if (BackendOf(dsn) == OdbcBackend::PostgreSQL)
    return PostgresCluster::Get()->Psql(PostgresDatabaseName(dsn), sql);
  return Sqlite(dsn, ".timeout 5000\n" + sql);
}

bool OdbcSandbox::HasTable(const std::string& dsn, const std::string& table) const {
  if (BackendOf(dsn) == OdbcBackend::PostgreSQL)
    return Sql(dsn, "SELECT to_regclass('" + table + "') IS NOT NULL") == "t\n";
  return !Sql(dsn,
              "SELECT name FROM sqlite_master WHERE type = 'table' AND name = '" + table + "' COLLATE NOCASE")
              .empty();
}

void OdbcSandbox::AddDriver(const std::string& name, const std::filesystem::path& library) {
  AppendFile(folder_ / "odbcinst.ini", "[" + name + "]\nDriver=" + library.string() + "\n\n");
}

std::string OdbcSandbox::Sqlite(const std::string& dsn, const std::string& sql) const {
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

void OdbcSandbox::CreateOrderHeader(const std::string& dsn,
                                    const std::vector<std::pair<std::string, int>>& orders,
                                    const std::string& idType) const {
  std::string sql = "CREATE TABLE ORDERHEADER (ORDERID " + idType + ", HEADERBILLINGSTATUS INTEGER);\n";
  for (const auto& [id, status] : orders) {
    sql += "INSERT INTO ORDERHEADER VALUES (" + id + ", " + std::to_string(status) + ");\n";
  }
  Sql(dsn, sql);
}

std::filesystem::path OdbcSandbox::SqliteDriverPath() {
  return InstalledDriverPath("SQLite3", "libsqlite3odbc.so", "libsqliteodbc");
}

std::filesystem::path OdbcSandbox::PostgresDriverPath() {
  return InstalledDriverPath(kPostgresDriver, "psqlodbcw.so", "odbc-postgresql");
}

std::string OdbcSandbox::PostgresDatabaseName(const std::string& dsn) {
  std::string name = "tessery_";
  for (char c : dsn) {
    const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    name += alphanumeric ? static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) : '_';
  }
  return name;
}

void OdbcSandbox::WriteDsn(const std::string& dsn, OdbcBackend backend, const std::string& body) {
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

OdbcSandbox::OdbcSandbox() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tessery-odbc-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create the ODBC sandbox folder");
  folder_ = pattern;
  WriteFile(folder_ / "odbcinst.ini",
            "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=" + SqliteDriverPath().string() + "\n\n");
  WriteFile(folder_ / "odbc.ini", "");
  setenv("ODBCSYSINI", folder_.c_str(), 1);
  setenv("ODBCINI", (folder_ / "odbc.ini").c_str(), 1);
}

OdbcSandbox::~OdbcSandbox() {
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

}  // namespace testsupport
