// End to end: the built tillmoor in local-server mode with the reference payment component, registered
// with regsvr into a registry file of the test's own, settles the pending orders of an order database
// reached through the data source "Velmar", on each backend (an SQLite file, a PostgreSQL server); a
// SIGTERM stop lets the running cycle finish.
#include <gtest/gtest.h>
#include <signal.h>

#include <set>
#include <sstream>

#include "platform/Registry.h"
#include "support/ChildProcess.h"
#include "support/OdbcBackendTest.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ChildProcess;
using testsupport::Eventually;
using testsupport::OdbcBackend;

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
  const fs::path& folder = temp.Path();
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
  ASSERT_EQ(ChildProcess({REGSVR_EXECUTABLE, CCPAYMENT_MODULE}, folder / "regsvr").Wait(), 0);
  ASSERT_EQ(ChildProcess({TILLMOOR_EXECUTABLE, "-RegServer"}, folder / "register").Wait(), 0);
  {
    auto registry = platform::OpenFileRegistry(folder / "registry.reg");
    const std::string parameters = "SYSTEM\\CurrentControlSet\\Services\\Tillmoor\\Parameters";
    EXPECT_EQ(registry->CreateKey(platform::RootKey::LocalMachine, parameters), 0);
    EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, parameters, "ThreadCount",
                                 platform::RegistryValue::DWord(4)),
              0);
    // Each payment takes a little while, so the stop below comes while the cycle still runs.
    EXPECT_EQ(registry->CreateKey(platform::RootKey::LocalMachine, "SOFTWARE\\Tessery\\CCPayment"), 0);
    EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, "SOFTWARE\\Tessery\\CCPayment",
                                 "DelayMilliseconds", platform::RegistryValue::DWord(20)),
              0);
  }

  ChildProcess service({TILLMOOR_EXECUTABLE}, folder / "service");
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
