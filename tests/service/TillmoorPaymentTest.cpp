// End to end: the built tillmoor in local-server mode with the reference payment component, registered
// with regsvr into a registry file of the test's own, settles the pending orders of an order database
// reached through the data source "Velmar", on each backend (an SQLite file, a PostgreSQL server); a
// SIGTERM stop lets the running cycle finish.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <set>
#include <sstream>

#include "platform/Registry.h"
#include "support/OdbcBackendTest.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testsupport::Eventually;
using testsupport::OdbcBackend;

// A child process with the test's environment; killed when the test leaves it running.
class Child {
 public:
  Child(std::vector<std::string> arguments, const fs::path& output) {
    std::vector<char*> argv;
    for (auto& text : arguments) argv.push_back(text.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, (output.string() + ".out").c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::posix_spawn_file_actions_addopen(&actions, 2, (output.string() + ".err").c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    EXPECT_EQ(::posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ), 0);
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  void Signal(int signal) { ::kill(pid_, signal); }

  // The exit status, or -1 when the process did not end within the watchdog.
  int Wait() {
    int status = 0;
    if (!Eventually([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; })) return -1;
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

std::set<std::string> Lines(const std::string& text) {
  std::set<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.insert(line);
  return lines;
}

class TillmoorPayment : public ::testing::TestWithParam<OdbcBackend> {
 protected:
  void SetUp() override { TESSERY_SKIP_UNLESS_BACKEND_AVAILABLE(GetParam()); }
};

TEST_P(TillmoorPayment, EveryPendingOrderIsSettledExactlyOnceAndASigtermStopLetsTheCycleFinish) {
  testsupport::TempFolder temp;
  const fs::path folder = temp.Path();
  auto& sandbox = testsupport::OdbcSandbox::Instance();
  // The service's data source; added anew on each backend (the child reads odbc.ini when it starts).
  sandbox.AddDsn(GetParam(), "Velmar");
  std::vector<std::pair<std::string, int>> orders;
  std::set<std::string> pending;
  for (int i = 0; i < 120; ++i) {
    const std::string id = i % 7 == 0 ? "O'" + std::to_string(1000 + i) : std::to_string(1000 + i);
    std::string literal;
    for (char c : id) literal += c == '\'' ? std::string("''") : std::string(1, c);
    orders.push_back({"'" + literal + "'", i % 10});
    if (i % 10 >= 3 && i % 10 <= 5) pending.insert(id);
  }
  sandbox.CreateOrderHeader("Velmar", orders);
  const std::string settledBefore =
      sandbox.Sql("Velmar", "SELECT ORDERID FROM ORDERHEADER WHERE HEADERBILLINGSTATUS = 6");

  ::setenv("TESSERY_REGISTRY", (folder / "registry.reg").c_str(), 1);
  ::setenv("TESSERY_LOCK_DIR", (folder / "locks").c_str(), 1);
  ::setenv("TESSERY_SYSTEMD_UNIT_DIR", folder.c_str(), 1);
  ::setenv("TESSERY_TIME_SCALE", "6000", 1);
  ::unsetenv("NOTIFY_SOCKET");
  testsupport::TsanSuppressionsForChildren(folder);
  ASSERT_EQ(Child({REGSVR_EXECUTABLE, CCPAYMENT_MODULE}, folder / "regsvr").Wait(), 0);
  ASSERT_EQ(Child({TILLMOOR_EXECUTABLE, "-RegServer"}, folder / "register").Wait(), 0);
  {
    auto registry = platform::OpenFileRegistry(folder / "registry.reg");
    const std::string parameters = "SYSTEM\\CurrentControlSet\\Services\\Tillmoor\\Parameters";
    registry->CreateKey(platform::RootKey::LocalMachine, parameters);
    registry->SetValue(platform::RootKey::LocalMachine, parameters, "ThreadCount",
                       platform::RegistryValue::DWord(4));
    // Each payment takes a little while, so the stop below comes while the cycle still runs.
    registry->CreateKey(platform::RootKey::LocalMachine, "SOFTWARE\\Tessery\\CCPayment");
    registry->SetValue(platform::RootKey::LocalMachine, "SOFTWARE\\Tessery\\CCPayment", "DelayMilliseconds",
                       platform::RegistryValue::DWord(20));
  }

  Child service({TILLMOOR_EXECUTABLE}, folder / "service");
  auto settledCount = [&] {
    try {
      return std::stoi(
          sandbox.Sql("Velmar", "SELECT COUNT(*) FROM ORDERHEADER WHERE HEADERBILLINGSTATUS = 6"));
    } catch (const std::exception&) {
      return 0;  // the database was busy past the timeout; ask again
    }
  };
  const int before = static_cast<int>(Lines(settledBefore).size());
  ASSERT_TRUE(Eventually([&] { return settledCount() > before; })) << "no order was ever settled";
  service.Signal(SIGTERM);
  ASSERT_EQ(service.Wait(), 0);

  // The cycle under way when the stop came handed out and finished its whole list.
  EXPECT_EQ(settledCount(), before + static_cast<int>(pending.size()));
  const std::string journal = sandbox.Sql("Velmar", "SELECT ORDERID FROM PAYMENTJOURNAL");
  EXPECT_EQ(Lines(journal), pending);
  EXPECT_EQ(std::count(journal.begin(), journal.end(), '\n'), static_cast<long>(pending.size()))
      << "an order was paid twice";
  EXPECT_EQ(sandbox.Sql("Velmar",
                           "SELECT COUNT(*) FROM ORDERHEADER WHERE HEADERBILLINGSTATUS IN (3,4,5) OR "
                           "HEADERBILLINGSTATUS NOT IN (0,1,2,3,4,5,6,7,8,9)"),
            "0\n");
  EXPECT_EQ(testsupport::ReadWholeFile(folder / "service.out"),
            "Service started with interval(minutes): 1\n");
  EXPECT_EQ(testsupport::ReadWholeFile(folder / "service.err"), "");
}

TESSERY_INSTANTIATE_FOR_EVERY_BACKEND(TillmoorPayment);

}  // namespace
