// The reference payment component against order databases on each backend (SQLite, PostgreSQL) through
// unixODBC: in process (its settings in a memory registry, faults injected into its data access) and as
// the module regsvr registers. The component's statements are the same on both backends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "components/CCPayment.h"
#include "platform/testing/AdoFaultInjection.h"
#include "support/OdbcBackendTest.h"
#include "support/TempFolder.h"

namespace components {
namespace {

using namespace platform;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using testsupport::OdbcBackend;
using testsupport::OdbcSandbox;

class CCPaymentTest : public ::testing::TestWithParam<OdbcBackend> {
 protected:
  void SetUp() override {
    TESSERY_SKIP_UNLESS_BACKEND_AVAILABLE(GetParam());
    UseNewDatabase();
  }

  // A new, empty database of the test's backend, which Run settles in from now on.
  void UseNewDatabase() {
    dsn_ = sandbox_.NewDsnName("Pay");
    connection_ = sandbox_.AddDsn(GetParam(), dsn_) + ";UID=WWWapps;PWD=";
    SetSetting("ConnectionString", RegistryValue::String(connection_));
  }

  void SetSetting(std::string_view name, const RegistryValue& value) {
    EXPECT_EQ(registry_->CreateKey(RootKey::LocalMachine, kCCPaymentSettingsKey), 0);
    EXPECT_EQ(registry_->SetValue(RootKey::LocalMachine, kCCPaymentSettingsKey, name, value), 0);
  }

  bool OnPostgres() const { return GetParam() == OdbcBackend::PostgreSQL; }
  std::string Sql(const std::string& sql) { return sandbox_.Sql(dsn_, sql); }
  // Sorted: PostgreSQL gives no order without ORDER BY, and an updated row moves.
  std::string Statuses() {
    return Sql(
        "SELECT ORDERID || '=' || COALESCE(CAST(HEADERBILLINGSTATUS AS VARCHAR(10)), 'NULL') "
        "FROM ORDERHEADER ORDER BY ORDERID, HEADERBILLINGSTATUS");
  }
  std::string Journal() {
    return sandbox_.HasTable(dsn_, "PAYMENTJOURNAL")
               ? Sql("SELECT ORDERID FROM PAYMENTJOURNAL ORDER BY ORDERID")
               : "";
  }

  HRESULT Run(std::string_view orderId, ado::DataAccess* data = nullptr) {
    ComPtr<IPayment> payment = MakeCCPayment(*registry_, data ? *data : *data_);
    short result = -1;
    const HRESULT outcome = payment->Run(orderId, &result);
    if (Succeeded(outcome)) {
      EXPECT_EQ(result, 0);
    }
    return outcome;
  }

  OdbcSandbox& sandbox_ = OdbcSandbox::Instance();
  std::unique_ptr<ado::DataAccess> data_ = ado::OpenOdbcDataAccess();
  std::unique_ptr<Registry> registry_ = OpenMemoryRegistry();
  std::string dsn_;
  std::string connection_;
};

TEST_P(CCPaymentTest, SettlesEachPendingStatusOnceAndJournalsIt) {
  sandbox_.CreateOrderHeader(dsn_, {{"'A'", 3}, {"'B'", 4}, {"'C'", 5}, {"'D'", 3}});
  EXPECT_EQ(Run("A"), hr::S_OK);
  EXPECT_EQ(Run("B"), hr::S_OK);
  EXPECT_EQ(Run("C"), hr::S_OK);
  EXPECT_EQ(Statuses(), "A=6\nB=6\nC=6\nD=3\n");
  EXPECT_EQ(Journal(), "A\nB\nC\n");
  // Seconds are enough: PostgreSQL's timestamps carry microseconds, SQLite's do not.
  EXPECT_THAT(Sql("SELECT CAST(PAIDAT AS VARCHAR(19)) FROM PAYMENTJOURNAL WHERE ORDERID = 'A'"),
              MatchesRegex("20[0-9][0-9]-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\n"));

  // Paid once: the second Run finds the order no longer pending and changes nothing.
  EXPECT_EQ(Run("A"), kOrderNotPending);
  EXPECT_EQ(Statuses(), "A=6\nB=6\nC=6\nD=3\n");
  EXPECT_EQ(Journal(), "A\nB\nC\n");
}

TEST_P(CCPaymentTest, OrdersThatAreNotPendingAreRefusedUntouched) {
  sandbox_.CreateOrderHeader(dsn_, {{"'S0'", 0}, {"'S2'", 2}, {"'S6'", 6}, {"'S7'", 7}, {"'SN'", 3}});
  Sql("UPDATE ORDERHEADER SET HEADERBILLINGSTATUS = NULL WHERE ORDERID = 'SN'");
  const std::string before = Statuses();
  for (const char* id : {"S0", "S2", "S6", "S7", "SN", "nobody", "s0"})
    EXPECT_EQ(Run(id), kOrderNotPending) << id;
  EXPECT_EQ(Statuses(), before);
  EXPECT_EQ(Journal(), "");
}

TEST_P(CCPaymentTest, IdsAreQuotedSoTheyNeverChangeTheStatement) {
  sandbox_.CreateOrderHeader(dsn_, {{"'O''Brien-1'", 3}, {"'X'", 4}, {"'Y'", 5}});
  EXPECT_EQ(Run("X' OR '1'='1"), kOrderNotPending);
  EXPECT_EQ(Run("X'; DELETE FROM ORDERHEADER; --"), kOrderNotPending);
  EXPECT_EQ(Statuses(), "O'Brien-1=3\nX=4\nY=5\n");
  EXPECT_EQ(Run("O'Brien-1"), hr::S_OK);
  EXPECT_EQ(Statuses(), "O'Brien-1=6\nX=4\nY=5\n");
  EXPECT_EQ(Journal(), "O'Brien-1\n");
  EXPECT_EQ(SqlLiteral("a'b''"), "'a''b'''''");
}

TEST_P(CCPaymentTest, NumericIdColumnsMatchTheirDigits) {
  sandbox_.CreateOrderHeader(dsn_, {{"123", 3}, {"124", 6}, {"125", 4}}, "INTEGER");
  EXPECT_EQ(Run("123"), hr::S_OK);
  EXPECT_EQ(Run("124"), kOrderNotPending);
  // An id that is no number names no order. SQLite compares it and finds no row; PostgreSQL refuses to
  // compare it with a number column (invalid input syntax for type integer), so the payment fails. The
  // service never hands out such an id for a number column: its ids are that column's values.
  EXPECT_EQ(Run("125x"), OnPostgres() ? hr::E_FAIL : kOrderNotPending);
  EXPECT_EQ(Statuses(), "123=6\n124=6\n125=4\n");
  EXPECT_EQ(Journal(), "123\n");
}

TEST_P(CCPaymentTest, AFailingStepRollsTheWholeSettlementBack) {
  sandbox_.CreateOrderHeader(dsn_, {{"'A'", 3}});
  platform::testing::FaultInjectingDataAccess faulty(*data_);
  // Statements: creating the journal, the guarded update, the journal row.
  faulty.FailAt(platform::testing::AdoStep::Execute, 3);
  EXPECT_EQ(Run("A", &faulty), hr::E_FAIL);
  EXPECT_EQ(Statuses(), "A=3\n");
  EXPECT_EQ(Journal(), "");

  faulty.FailAt(platform::testing::AdoStep::CommitTrans, 1);
  EXPECT_EQ(Run("A", &faulty), hr::E_FAIL);
  EXPECT_EQ(Statuses(), "A=3\n");
  EXPECT_EQ(Journal(), "");

  faulty.FailAt(platform::testing::AdoStep::ConnectionOpen, 1);
  EXPECT_EQ(Run("A", &faulty), hr::E_FAIL);

  EXPECT_EQ(Run("A", &faulty), hr::S_OK);
  EXPECT_EQ(Statuses(), "A=6\n");
  EXPECT_EQ(Journal(), "A\n");
}

TEST_P(CCPaymentTest, DeclinedOrdersAndIdsOfSeveralOrdersStayPending) {
  sandbox_.CreateOrderHeader(dsn_, {{"'A'", 3}, {"'B'", 4}, {"'C'", 5}, {"'D'", 3}, {"'D'", 4}, {"'E'", 6}});
  SetSetting("FailOrders", RegistryValue::String(" B ; C;E"));
  EXPECT_EQ(Run("B"), kPaymentDeclined);
  EXPECT_EQ(Run("C"), kPaymentDeclined);
  EXPECT_EQ(Run("E"), kOrderNotPending) << "only a pending order can be declined";
  EXPECT_EQ(Run("D"), kOrderAmbiguous);
  EXPECT_EQ(Run("A"), hr::S_OK);

  // One id per string of a multi-string value.
  RegistryValue multi{kRegMultiSz, {'A', 0, 'C', 0, 0}};
  SetSetting("FailOrders", multi);
  EXPECT_EQ(Run("C"), kPaymentDeclined);
  EXPECT_EQ(Run("B"), hr::S_OK);
  EXPECT_EQ(Statuses(), "A=6\nB=6\nC=5\nD=3\nD=4\nE=6\n");
  EXPECT_EQ(Journal(), "A\nB\n");
}

TEST_P(CCPaymentTest, ConcurrentRunsForOneOrderPayItOnceAndOthersAllSettle) {
  std::vector<std::pair<std::string, int>> orders{{"'SAME'", 4}};
  for (int i = 0; i < 8; ++i) orders.push_back({"'O" + std::to_string(i) + "'", 3 + i % 3});
  sandbox_.CreateOrderHeader(dsn_, orders);
  // One connection first, as in the service, whose query always connects before its workers do: the
  // driver manager's installer library fills a static buffer at the first data-source lookup of a
  // process without a lock.
  EXPECT_EQ(Run("nobody"), kOrderNotPending);
  std::atomic<int> paid{0}, refused{0}, other{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] {
      for (const std::string& id : {std::string("SAME"), "O" + std::to_string(i)}) {
        const HRESULT outcome = Run(id);
        (outcome == hr::S_OK ? paid : outcome == kOrderNotPending ? refused : other)++;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(paid, 9);
  EXPECT_EQ(refused, 7);
  EXPECT_EQ(other, 0);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM PAYMENTJOURNAL WHERE ORDERID = 'SAME'"), "1\n");
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM PAYMENTJOURNAL"), "9\n");
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM ORDERHEADER WHERE HEADERBILLINGSTATUS <> 6"), "0\n");
}

TEST_P(CCPaymentTest, TheFirstSettlementsOfADatabaseRunningSideBySideAllCreateTheJournalAndSettle) {
  // Each round a database without PAYMENTJOURNAL and one order per thread; every Run creates the
  // journal when it is missing, so the first ones race to create it.
  for (int round = 0; round < 5; ++round) {
    if (round > 0) UseNewDatabase();
    std::vector<std::pair<std::string, int>> orders;
    for (int i = 0; i < 6; ++i) orders.push_back({"'F" + std::to_string(i) + "'", 3});
    sandbox_.CreateOrderHeader(dsn_, orders);
    // One connection first, for the driver manager's first data-source lookup (see the next test).
    std::unique_ptr<ado::Connection> first = data_->NewConnection();
    first->Open(connection_);
    first->Close();
    std::vector<HRESULT> outcomes(6, hr::S_FALSE);
    std::vector<std::thread> threads;
    for (int i = 0; i < 6; ++i) threads.emplace_back([&, i] { outcomes[i] = Run("F" + std::to_string(i)); });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(outcomes, std::vector<HRESULT>(6, hr::S_OK)) << "round " << round;
    EXPECT_EQ(Journal(), "F0\nF1\nF2\nF3\nF4\nF5\n");
  }
}

// A process makes sure of the journal once per database and then counts on it: a journal dropped
// meanwhile is made again and the order settled anew, and an insert that fails once on a journal it
// counted on is undone and done again; either way the order is paid and journalled once.
TEST_P(CCPaymentTest, AJournalThatWentAwayIsMadeAgainAndTheOrderSettledOnce) {
  sandbox_.CreateOrderHeader(dsn_, {{"'A'", 3}, {"'B'", 4}, {"'C'", 5}});
  EXPECT_EQ(Run("A"), hr::S_OK);
  Sql("DROP TABLE PAYMENTJOURNAL");
  EXPECT_EQ(Run("B"), hr::S_OK);
  platform::testing::FaultInjectingDataAccess faulty(*data_);
  faulty.FailAt(platform::testing::AdoStep::Execute, 2);  // the journal row
  EXPECT_EQ(Run("C", &faulty), hr::S_OK);
  EXPECT_EQ(Statuses(), "A=6\nB=6\nC=6\n");
  EXPECT_EQ(Journal(), "B\nC\n");
}

TEST_P(CCPaymentTest, SettingsAndArgumentsThatCannotBeUsed) {
  sandbox_.CreateOrderHeader(dsn_, {{"'A'", 3}});
  ComPtr<IPayment> payment = MakeCCPayment(*registry_, *data_);
  EXPECT_EQ(payment->Run("A", nullptr), hr::E_POINTER);
  short result = 0;
  EXPECT_EQ(payment->Run("", &result), hr::E_INVALIDARG);
  EXPECT_EQ(payment->Run(std::string_view("A\0B", 3), &result), hr::E_INVALIDARG);

  SetSetting("ConnectionString", RegistryValue::String("DSN=NoSuchSource"));
  EXPECT_EQ(Run("A"), hr::E_FAIL);

  // Unreadable settings never fall back to the default database.
  testsupport::TempFolder folder;
  const auto file = folder.Put("registry.reg", "this is no registry\n");
  auto broken = OpenFileRegistry(file);
  short ignored = 0;
  EXPECT_EQ(MakeCCPayment(*broken, *data_)->Run("A", &ignored), hr::REGDB_E_READREGDB);
  EXPECT_EQ(Statuses(), "A=3\n");
}

TEST_P(CCPaymentTest, WithoutAConnectionStringItUsesTheVelmarDataSource) {
  // The data source "Velmar" is added once in this process (the driver manager keeps names it looked
  // up); this is the only test that uses it. A whole run of this program adds it for the first backend
  // only; ctest runs each test in a process of its own.
  if (sandbox_.Added("Velmar")) GTEST_SKIP() << "\"Velmar\" names another backend's database in this process";
  sandbox_.AddDsn(GetParam(), "Velmar");
  sandbox_.CreateOrderHeader("Velmar", {{"'V'", 5}});
  EXPECT_EQ(registry_->DeleteValue(RootKey::LocalMachine, kCCPaymentSettingsKey, "ConnectionString"), 0);
  EXPECT_EQ(Run("V"), hr::S_OK);
  EXPECT_EQ(sandbox_.Sql("Velmar", "SELECT HEADERBILLINGSTATUS FROM ORDERHEADER"), "6\n");
}

TEST_P(CCPaymentTest, TheModuleRegistersAndSettlesThroughTheComponentCreator) {
  testsupport::TempFolder folder;
  auto registry = OpenFileRegistry(folder.Path() / "registry.reg");
  std::string message;
  ASSERT_EQ(RegisterModule(*registry, CCPAYMENT_MODULE, &message), hr::S_OK) << message;
  RegistryValue value;
  ASSERT_EQ(registry->QueryValue(RootKey::ClassesRoot, "CVOrderProcess.CCPayment\\CLSID", "", value), 0);
  EXPECT_EQ(value.AsString(), FormatGuid(kCCPaymentClsid));

  sandbox_.CreateOrderHeader(dsn_, {{"'M1'", 3}, {"'M2'", 4}});
  EXPECT_EQ(registry->CreateKey(RootKey::LocalMachine, kCCPaymentSettingsKey), 0);
  EXPECT_EQ(registry->SetValue(RootKey::LocalMachine, kCCPaymentSettingsKey, "ConnectionString",
                               RegistryValue::String("DSN=" + dsn_)),
            0);
  EXPECT_EQ(registry->SetValue(RootKey::LocalMachine, kCCPaymentSettingsKey, "FailOrders",
                               RegistryValue::String("M2")),
            0);
  auto creator = OpenComponentCreator(*registry);
  ComPtr<IPayment> first, second;
  ASSERT_EQ(creator->CreateInstance(kPaymentProgId, CLSCTX_ALL, first), hr::S_OK);
  ASSERT_EQ(creator->CreateInstance(kPaymentProgId, CLSCTX_ALL, second), hr::S_OK);
  EXPECT_NE(first.Get(), second.Get());
  short result = -1;
  EXPECT_EQ(first->Run("M1", &result), hr::S_OK);
  EXPECT_EQ(second->Run("M1", &result), kOrderNotPending);
  EXPECT_EQ(second->Run("M2", &result), kPaymentDeclined);
  EXPECT_EQ(Statuses(), "M1=6\nM2=4\n");
  EXPECT_EQ(Journal(), "M1\n");

  ASSERT_EQ(UnregisterModule(*registry, CCPAYMENT_MODULE), hr::S_OK);
  EXPECT_EQ(creator->CreateInstance(kPaymentProgId, CLSCTX_ALL, first), hr::CO_E_CLASSSTRING);
}

TESSERY_INSTANTIATE_FOR_EVERY_BACKEND(CCPaymentTest);

}  // namespace
}  // namespace components
