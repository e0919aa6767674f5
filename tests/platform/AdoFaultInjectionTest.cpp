// The fault-injecting data-access backend, wrapped around the real one on a SQLite sandbox.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Ado.h"
#include "platform/testing/AdoFaultInjection.h"
#include "support/ErrorNumber.h"
#include "support/OdbcSandbox.h"

namespace platform::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testsupport::ErrorNumberOf;
using testsupport::OdbcSandbox;

class AdoFaultInjectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dsn_ = sandbox_.NewDsnName("Faults");
    connectionString_ = sandbox_.AddSqliteDsn(dsn_);
    sandbox_.CreateOrderHeader(dsn_, {{"'A'", 3}, {"'B'", 4}, {"'C'", 5}, {"'D'", 5}, {"'E'", 6}});
  }

  // The order query's walk; the ids read before a failure stay in `ids`.
  void ReadPendingOrders(std::vector<std::string>& ids) {
    auto rs = faulty_.NewRecordset();
    rs->Open("SELECT ORDERID FROM ORDERHEADER WHERE HEADERBILLINGSTATUS IN (3,4,5)", connectionString_,
             ado::adOpenStatic, ado::adLockOptimistic, ado::adCmdText);
    if (!rs->Eof()) {
      rs->MoveLast();
      ids.reserve(static_cast<std::size_t>(rs->RecordCount()));
      rs->MoveFirst();
    }
    for (; !rs->Eof(); rs->MoveNext()) ids.push_back(rs->Field("ORDERID").ToString());
    rs->Close();
  }

  OdbcSandbox& sandbox_ = OdbcSandbox::Instance();
  std::unique_ptr<ado::DataAccess> real_ = ado::OpenOdbcDataAccess();
  FaultInjectingDataAccess faulty_{*real_};
  std::string dsn_;
  std::string connectionString_;
};

TEST_F(AdoFaultInjectionTest, WithoutFaultsEverythingReachesTheRealObjects) {
  std::vector<std::string> ids;
  ReadPendingOrders(ids);
  EXPECT_THAT(ids, ElementsAre("A", "B", "C", "D"));
  EXPECT_EQ(faulty_.Calls(AdoStep::RecordsetOpen), 1);
  EXPECT_EQ(faulty_.Calls(AdoStep::MoveNext), 4);
  EXPECT_EQ(faulty_.Calls(AdoStep::Field), 4);
}

TEST_F(AdoFaultInjectionTest, FailsTheNthCallOnceLikeTheDataSourceWould) {
  faulty_.FailAt(AdoStep::RecordsetOpen, 2);
  std::vector<std::string> ids;
  ReadPendingOrders(ids);
  ids.clear();
  try {
    ReadPendingOrders(ids);
    FAIL() << "the second open succeeded";
  } catch (const ado::DataAccessError& e) {
    EXPECT_EQ(e.Number(), ado::hr::Fail);
    EXPECT_THAT(e.Description(), HasSubstr("[injected] Recordset.Open failed"));
  }
  EXPECT_TRUE(ids.empty());
  ReadPendingOrders(ids);  // once only
  EXPECT_EQ(ids.size(), 4u);
}

TEST_F(AdoFaultInjectionTest, MoveNextFailingAfterKRowsKeepsTheRowsReadBefore) {
  faulty_.FailAt(AdoStep::MoveNext, 2);
  std::vector<std::string> ids;
  EXPECT_EQ(ErrorNumberOf([&] { ReadPendingOrders(ids); }), ado::hr::Fail);
  EXPECT_THAT(ids, ElementsAre("A", "B"));
}

TEST_F(AdoFaultInjectionTest, PersistentFaultsAndChosenErrorsUntilCleared) {
  const Error refused(static_cast<HRESULT>(0x80040E4Du), "Login failed");
  faulty_.FailAt(AdoStep::ConnectionOpen, 1, refused, Persistence::FromThenOn);
  auto connection = faulty_.NewConnection();
  for (int attempt = 0; attempt < 3; ++attempt) {
    try {
      connection->Open(connectionString_);
      FAIL() << "opened";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), refused.Number());
      EXPECT_EQ(e.Description(), "Login failed");
    }
  }
  EXPECT_EQ(connection->State(), ado::adStateClosed);
  EXPECT_EQ(faulty_.Calls(AdoStep::ConnectionOpen), 3);
  faulty_.Clear();
  connection->Open(connectionString_);
  EXPECT_EQ(connection->State(), ado::adStateOpen);
}

// A payment that fails between its two statements leaves the order as it was.
TEST_F(AdoFaultInjectionTest, ExecuteFailingInsideATransactionLeavesTheDatabaseUnchanged) {
  auto connection = faulty_.NewConnection();
  connection->Open(connectionString_);
  connection->Execute("CREATE TABLE PAYMENTJOURNAL (ORDERID VARCHAR(50), PAIDAT TEXT)");
  faulty_.FailAt(AdoStep::Execute, 2);
  connection->BeginTrans();
  connection->Execute("UPDATE ORDERHEADER SET HEADERBILLINGSTATUS = 6 WHERE ORDERID = 'A'");
  EXPECT_EQ(ErrorNumberOf([&] { connection->Execute("INSERT INTO PAYMENTJOURNAL VALUES ('A', 'now')"); }),
            ado::hr::Fail);
  connection->RollbackTrans();
  EXPECT_EQ(sandbox_.Sqlite(dsn_, "SELECT HEADERBILLINGSTATUS FROM ORDERHEADER WHERE ORDERID = 'A'"), "3\n");
  EXPECT_EQ(sandbox_.Sqlite(dsn_, "SELECT COUNT(*) FROM PAYMENTJOURNAL"), "0\n");

  // Recordsets that Execute returns are wrapped too.
  faulty_.FailAt(AdoStep::Field, 1);
  auto rows = connection->Execute("SELECT ORDERID FROM ORDERHEADER");
  EXPECT_EQ(ErrorNumberOf([&] { rows->Field("ORDERID"); }), ado::hr::Fail);
  EXPECT_EQ(rows->Field("ORDERID").ToString(), "A");
}

TEST_F(AdoFaultInjectionTest, CreationCanFail) {
  faulty_.FailAt(AdoStep::NewRecordset, 1);
  faulty_.FailAt(AdoStep::NewConnection, 1);
  EXPECT_EQ(ErrorNumberOf([&] { faulty_.NewRecordset(); }), ado::hr::Fail);
  EXPECT_EQ(ErrorNumberOf([&] { faulty_.NewConnection(); }), ado::hr::Fail);
  EXPECT_NE(faulty_.NewRecordset(), nullptr);
}

}  // namespace
}  // namespace platform::testing
