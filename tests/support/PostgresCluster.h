// A throw-away PostgreSQL server for a test process: one cluster per process, made on first use in a
// fresh temporary folder (in /dev/shm where possible), listening on a free port of 127.0.0.1 and on a socket
// in that folder, with every connection from this machine trusted (the order database's connection strings
// carry an empty password). The cluster is stopped and its folder removed when the process ends, also when it
// ends by abort or SIGKILL: a guardian process waits for the test process to go away and then cleans up.
//
// The server's programs come from $TESSERY_POSTGRES_BIN when that is set, else from the newest
// /usr/lib/postgresql/<version>/bin, else from PATH. The server refuses to run as root, so when the
// tests run as root the cluster's folder is handed to the unprivileged account "postgres" (or "nobody"
// where that does not exist) and the server's tools run under it.
//
//   testsupport::PostgresCluster* cluster = testsupport::PostgresCluster::Get();  // null: see Failure()
//   cluster->CreateDatabase("orders1");
//   cluster->Psql("orders1", "SELECT 1");                                        // "1\n"
//   cluster->Stop();   // unreachable until Start()
//   cluster->Start();
#pragma once

#include <sys/types.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>

namespace testsupport {

class PostgresCluster {
 public:
  // The role every test connection uses: the cluster's superuser, as the order database's connection
  // strings name it.
  static constexpr const char* kUser = "WWWapps";

  // The process's cluster, started on the first call; null when it could not be started (Failure()
  // says why). Later calls do not try again.
  static PostgresCluster* Get();

  // The connections the server accepts at once (its max_connections): 50, or more when asked for
  // before the process's cluster starts (a benchmark whose 64 payment workers each hold one).
  static void RequestMaxConnections(int connections);

  // Why the cluster could not be started; empty while none was tried or it runs.
  static std::string Failure();

  // True when TESSERY_REQUIRE_POSTGRES=1: a cluster that cannot be started is then a test failure
  // instead of a skipped test.
  static bool Required();

  PostgresCluster(const PostgresCluster&) = delete;
  PostgresCluster& operator=(const PostgresCluster&) = delete;
  ~PostgresCluster();

  int Port() const { return port_; }
  const std::filesystem::path& Folder() const { return folder_; }

  // Makes an empty database `name` (lower-case letters, digits and '_'), dropping an earlier one.
  void CreateDatabase(const std::string& name);

  // Runs `sql` on `database` with psql, independently of the code under test, and returns what it
  // prints: columns separated by "|", one line per row, no headers or command tags, NULL as nothing.
  // Throws std::runtime_error with psql's output when a statement fails (the rest is not run).
  std::string Psql(const std::string& database, const std::string& sql) const;

  // Runs pgbench on `database` over TCP to 127.0.0.1 (as the data sources connect) with the custom
  // `script` and the further `options`, and returns what it prints. Throws std::runtime_error with its
  // output when it fails.
  std::string Pgbench(const std::string& database, const std::string& script,
                      const std::string& options) const;

  // Stops the server (connections are ended); it is unreachable until Start().
  void Stop();

  // Starts the stopped server again on the same port.
  void Start();

 private:
  struct State;
  static State& TheState();

  PostgresCluster();
  // The guardian stops the server and removes the folder once its pipe closes.
  void Shutdown();
  void MakeAndStart();
  std::filesystem::path Data() const { return folder_ / "data"; }
  std::filesystem::path ModelCluster() const;
  bool StartServer(std::string& output) const;
  std::string LogTail() const;
  void ChooseServerUser();
  void StartGuardian();
  // Runs a command of the server's tools as the server's user, in the cluster's folder.
  bool AsServerUser(const std::string& command, std::string& output) const;

  std::filesystem::path bin_;
  std::filesystem::path folder_;
  std::string runAs_;  // the prefix that runs a tool as the server's user; empty when that is us
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  int port_ = 0;
  int maxConnections_ = 50;
  pid_t guardian_ = -1;
  int guardianPipe_ = -1;
  std::mutex mutex_;
  mutable std::atomic<int> scripts_{0};
};

}  // namespace testsupport
