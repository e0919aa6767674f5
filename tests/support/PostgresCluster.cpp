// The test processes' throw-away PostgreSQL server: the cluster copied from a model, started on a free
// port, and the guardian process that removes it when the test process ends.
#include "support/PostgresCluster.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "support/OtherUser.h"

extern char** environ;

namespace testsupport {

namespace {

// Runs `command` with sh; its standard output and error go to `output`. True on exit status 0.
bool Shell(const std::string& command, std::string& output) {
  output.clear();
  std::FILE* pipe = ::popen((command + " 2>&1 </dev/null").c_str(), "r");
  if (!pipe) {
    output = "cannot run a shell";
    return false;
  }
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = ::pclose(pipe);
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}
std::string Quote(const std::filesystem::path& path) {
  return Quote(path.string());
}

// Clusters live in memory (/dev/shm) where that can be written: a throw-away cluster needs no disk,
// and on a busy disk copying the model took seconds where memory takes a fraction of one.
std::filesystem::path ClusterParent() {
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK | X_OK) == 0)
    return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

// $TESSERY_POSTGRES_BIN when set; else the newest /usr/lib/postgresql/<version>/bin holding initdb,
// else the folder of initdb on PATH.
std::filesystem::path FindBinaries() {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (const char* chosen = std::getenv("TESSERY_POSTGRES_BIN"); chosen && *chosen) {
    if (!fs::exists(fs::path(chosen) / "initdb", ec))
      throw std::runtime_error(std::string("no initdb in TESSERY_POSTGRES_BIN (") + chosen + ")");
    return chosen;
  }
  fs::path best;
  int bestVersion = -1;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
    if (fs::exists(entry.path() / "bin" / "initdb", ec) && std::stoi(name) > bestVersion) {
      bestVersion = std::stoi(name);
      best = entry.path() / "bin";
    }
  }
  if (!best.empty()) return best;
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "";
  for (std::size_t start = 0; start <= folders.size();) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const fs::path folder = folders.substr(start, end - start);
    if (!folder.empty() && fs::exists(folder / "initdb", ec) && fs::exists(folder / "pg_ctl", ec))
      return fs::canonical(folder / "initdb", ec).parent_path();
    start = end + 1;
  }
  throw std::runtime_error(
      "PostgreSQL is not installed: no initdb in /usr/lib/postgresql/*/bin or on PATH (Debian package "
      "postgresql)");
}

// A port of 127.0.0.1 that nothing listens on at the moment.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("cannot open a socket to find a free port");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  ::close(fd);
  if (!ok) throw std::runtime_error("cannot find a free port on 127.0.0.1");
  return ntohs(address.sin_port);
}

}  // namespace

struct PostgresCluster::State {
  std::once_flag once;
  std::unique_ptr<PostgresCluster> cluster;
  std::string failure;
  std::mutex settings;
  int maxConnections = 50;
};

PostgresCluster::State& PostgresCluster::TheState() {
  static State state;
  return state;
}

PostgresCluster* PostgresCluster::Get() {
  State& state = TheState();
  std::call_once(state.once, [&] {
    try {
      state.cluster.reset(new PostgresCluster());
    } catch (const std::exception& error) {
      state.failure = error.what();
    }
  });
  return state.cluster.get();
}

void PostgresCluster::RequestMaxConnections(int connections) {
  State& state = TheState();
  std::lock_guard lock(state.settings);
  state.maxConnections = std::max(state.maxConnections, connections);
}

std::string PostgresCluster::Failure() {
  Get();
  return TheState().failure;
}

bool PostgresCluster::Required() {
  const char* value = std::getenv("TESSERY_REQUIRE_POSTGRES");
  return value != nullptr && std::string(value) == "1";
}

void PostgresCluster::CreateDatabase(const std::string& name) {
  Psql("postgres", "DROP DATABASE IF EXISTS " + name + ";\nCREATE DATABASE " + name + ";");
}

std::string PostgresCluster::Psql(const std::string& database, const std::string& sql) const {
  const std::filesystem::path script = folder_ / ("script-" + std::to_string(++scripts_) + ".sql");
  {
    std::ofstream out(script, std::ios::binary | std::ios::trunc);
    out << sql << (sql.empty() || sql.back() != ';' ? ";\n" : "\n");
  }
  std::string output;
  // Notices ("... does not exist, skipping") would mix with the rows: only warnings and errors.
  const bool ok =
      Shell("PGCLIENTENCODING=UTF8 PGOPTIONS='-c client_min_messages=warning' " + Quote(bin_ / "psql") +
                " -X -q -A -t -F'|' -v ON_ERROR_STOP=1 -h " + Quote(folder_) + " -p " +
                std::to_string(port_) + " -U " + kUser + " -d " + database + " -f " + Quote(script),
            output);
  std::error_code ec;
  std::filesystem::remove(script, ec);
  if (!ok) throw std::runtime_error("psql failed on '" + sql + "': " + output);
  return output;
}

std::string PostgresCluster::Pgbench(const std::string& database, const std::string& script,
                                     const std::string& options) const {
  const std::filesystem::path file = folder_ / ("bench-" + std::to_string(++scripts_) + ".sql");
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << script;
  }
  std::string output;
  const bool ok = Shell(Quote(bin_ / "pgbench") + " -n -h 127.0.0.1 -p " + std::to_string(port_) + " -U " +
                            kUser + " -f " + Quote(file) + " " + options + " " + database,
                        output);
  std::error_code ec;
  std::filesystem::remove(file, ec);
  if (!ok) throw std::runtime_error("pgbench failed: " + output);
  return output;
}

void PostgresCluster::Stop() {
  std::lock_guard lock(mutex_);
  std::string output;
  if (!AsServerUser(Quote(bin_ / "pg_ctl") + " stop -w -m fast -D " + Quote(Data()), output))
    throw std::runtime_error("cannot stop the PostgreSQL server: " + output);
}

void PostgresCluster::Start() {
  std::lock_guard lock(mutex_);
  std::string output;
  if (!StartServer(output)) throw std::runtime_error("cannot start the PostgreSQL server: " + output);
}

PostgresCluster::~PostgresCluster() {
  Shutdown();
}

PostgresCluster::PostgresCluster() {
  {
    std::lock_guard lock(TheState().settings);
    maxConnections_ = TheState().maxConnections;
  }
  bin_ = FindBinaries();
  ChooseServerUser();
  std::string pattern = (ClusterParent() / "tessery-pg-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create the PostgreSQL cluster folder");
  folder_ = pattern;
  StartGuardian();
  try {
    MakeAndStart();
  } catch (...) {
    Shutdown();
    throw;
  }
}

void PostgresCluster::Shutdown() {
  if (guardianPipe_ >= 0) ::close(guardianPipe_);
  guardianPipe_ = -1;
  if (guardian_ > 0) ::waitpid(guardian_, nullptr, 0);
  guardian_ = -1;
}

void PostgresCluster::MakeAndStart() {
  if (::chown(folder_.c_str(), uid_, gid_) != 0)
    throw std::runtime_error("cannot hand " + folder_.string() + " to the server's user");

  std::string output;
  const std::filesystem::path model = ModelCluster();
  if (!AsServerUser("cp -a " + Quote(model / "data") + " " + Quote(Data()), output))
    throw std::runtime_error("cannot copy the model cluster " + model.string() + ": " + output);
  // Only this machine connects: the socket in the folder and loopback TCP, all trusted.
  {
    std::ofstream hba(Data() / "pg_hba.conf", std::ios::trunc);
    hba << "local all all trust\nhost all all 127.0.0.1/32 trust\n";
    if (!hba) throw std::runtime_error("cannot write pg_hba.conf");
  }
  // A port found free may be taken by another process before the server binds it: try a few.
  for (int attempt = 0; attempt < 5; ++attempt) {
    port_ = FreePort();
    if (StartServer(output)) return;
  }
  throw std::runtime_error("the PostgreSQL server did not start: " + output);
}

// initdb takes seconds, copying its result a fraction of that, and every test process needs a
// cluster: the first process of a machine makes a model cluster that later ones copy. It is kept on
// disk in the temporary folder under a name made of the user, the server's version folder and the
// initdb options, and appears there by rename, whole or not at all.
std::filesystem::path PostgresCluster::ModelCluster() const {
  namespace fs = std::filesystem;
  // WAL segments of 1 MB instead of 16 keep each copy small.
  const std::string options =
      std::string("-U ") + kUser + " -A trust -E UTF8 --no-locale --no-sync --wal-segsize=1";
  const std::size_t key = std::hash<std::string>{}(bin_.string() + "\n" + options);
  const fs::path model = fs::temp_directory_path() /
                         ("tessery-pg-model-" + std::to_string(::geteuid()) + "-" + std::to_string(key));
  std::error_code ec;
  if (fs::exists(model / "data" / "PG_VERSION", ec)) return model;

  std::string pattern = model.string() + "-new-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a folder for the model cluster");
  const fs::path fresh = pattern;
  std::string output;
  const bool made =
      ::chown(fresh.c_str(), uid_, gid_) == 0 &&
      AsServerUser(Quote(bin_ / "initdb") + " -D " + Quote(fresh / "data") + " " + options, output);
  // Another process may have put its model in place meanwhile; either is good.
  if (!made ||
      (::rename(fresh.c_str(), model.c_str()) != 0 && !fs::exists(model / "data" / "PG_VERSION", ec))) {
    fs::remove_all(fresh, ec);
    throw std::runtime_error("initdb failed: " + output);
  }
  fs::remove_all(fresh, ec);
  return model;
}

bool PostgresCluster::StartServer(std::string& output) const {
  // Durability is of no use to a throw-away cluster; a small memory footprint lets several test
  // processes run their clusters side by side.
  const std::string options = "-c listen_addresses=127.0.0.1 -p " + std::to_string(port_) + " -k " +
                              folder_.string() +
                              " -c fsync=off -c synchronous_commit=off -c full_page_writes=off"
                              " -c shared_buffers=16MB -c max_connections=" +
                              std::to_string(maxConnections_);
  const bool started = AsServerUser(Quote(bin_ / "pg_ctl") + " start -w -t 60 -D " + Quote(Data()) + " -l " +
                                        Quote(folder_ / "server.log") + " -o " + Quote(options),
                                    output);
  if (!started) output += LogTail();
  return started;
}

std::string PostgresCluster::LogTail() const {
  std::ifstream log(folder_ / "server.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  std::string tail;
  for (std::size_t i = lines.size() > 5 ? lines.size() - 5 : 0; i < lines.size(); ++i)
    tail += lines[i] + "\n";
  return tail.empty() ? "" : "\nserver log:\n" + tail;
}

void PostgresCluster::ChooseServerUser() {
  uid_ = ::geteuid();
  gid_ = ::getegid();
  if (uid_ != 0) return;
  const std::optional<OtherUser> user = OtherUser::Find({"postgres", "nobody"});
  if (!user)
    throw std::runtime_error("running as root and there is no user 'postgres' or 'nobody' to run the server");
  uid_ = user->uid;
  gid_ = user->gid;
  runAs_ = user->ShellPrefix();
}

// A process in a session of its own that waits until the read end of a pipe reports end of file,
// which happens when this process ends however it ends, and then stops the server and removes the
// folder. The write end is closed on exec, so no child of the tests keeps it open.
void PostgresCluster::StartGuardian() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("cannot create the guardian's pipe");
  const std::string script = "cat >/dev/null; cd / && " + runAs_ + Quote(bin_ / "pg_ctl") +
                             " stop -w -m immediate -D " + Quote(Data()) + "; rm -rf " + Quote(folder_);
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  ::posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  ::posix_spawnattr_setsigmask(&attributes, &none);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
  std::string shell = "/bin/sh", dashC = "-c", text = script;
  char* argv[] = {shell.data(), dashC.data(), text.data(), nullptr};
  const int spawned = ::posix_spawn(&guardian_, argv[0], &actions, &attributes, argv, environ);
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(fds[0]);
  if (spawned != 0) {
    ::close(fds[1]);
    guardian_ = -1;
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
    throw std::runtime_error("cannot start the cluster's guardian process");
  }
  guardianPipe_ = fds[1];
}

bool PostgresCluster::AsServerUser(const std::string& command, std::string& output) const {
  return Shell("cd " + Quote(folder_) + " && " + runAs_ + command, output);
}

}  // namespace testsupport
