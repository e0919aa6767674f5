// ADODB.Connection over unixODBC against SQLite databases in a sandbox folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "platform/Ado.h"
#include "support/ErrorNumber.h"
#include "support/OdbcBackendTest.h"
#include "support/OdbcSandbox.h"

namespace platform::ado {
namespace {

using ::testing::HasSubstr;
using testsupport::ErrorNumberOf;
using testsupport::OdbcSandbox;

template <typename F>
DataAccessError DataAccessErrorOf(F&& call) {
  try {
    call();
  } catch (const DataAccessError& e) {
    return e;
  }
  ADD_FAILURE() << "no DataAccessError raised";
  return DataAccessError({});
}

class AdoConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dsn_ = sandbox_.NewDsnName("Conn");
    connectionString_ = sandbox_.AddSqliteDsn(dsn_) + ";UID=WWWapps;PWD=";
    sandbox_.Sqlite(dsn_, "CREATE TABLE ORDERS (ID INTEGER, STATUS INTEGER, NOTE TEXT)");
  }

  std::unique_ptr<Connection> Open() {
    auto connection = data_->NewConnection();
    connection->Open(connectionString_);
    return connection;
  }

  OdbcSandbox& sandbox_ = OdbcSandbox::Instance();
  std::unique_ptr<DataAccess> data_ = OpenOdbcDataAccess();
  std::string dsn_;
  std::string connectionString_;
};

TEST_F(AdoConnectionTest, ExecuteReportsAffectedRecordsAndZeroWhenNothingMatches) {
  auto connection = Open();
  std::int32_t affected = -7;
  connection->Execute("INSERT INTO ORDERS VALUES (1, 3, 'a'), (2, 4, 'b'), (3, 6, 'c')", &affected);
  EXPECT_EQ(affected, 3);
  connection->Execute("UPDATE ORDERS SET STATUS = 6 WHERE ID = 99", &affected);
  EXPECT_EQ(affected, 0);
  connection->Execute("DELETE FROM ORDERS WHERE ID = 99", &affected);
  EXPECT_EQ(affected, 0);
  connection->Execute("UPDATE ORDERS SET STATUS = 5 WHERE STATUS < 6", &affected);
  EXPECT_EQ(affected, 2);
  EXPECT_EQ(sandbox_.Sqlite(dsn_, "SELECT ID, STATUS FROM ORDERS ORDER BY ID"), "1|5\n2|5\n3|6\n");
}

TEST_F(AdoConnectionTest, ExecuteOfQueryGivesForwardOnlyRowsAndOfStatementAClosedRecordset) {
  sandbox_.Sqlite(dsn_, "INSERT INTO ORDERS VALUES (1, 3, 'a'), (2, 4, 'b')");
  auto connection = Open();
  std::int32_t affected = 0;
  auto rows = connection->Execute("SELECT ID FROM ORDERS ORDER BY ID", &affected);
  EXPECT_EQ(affected, -1);
  ASSERT_EQ(rows->State(), adStateOpen);
  EXPECT_EQ(rows->RecordCount(), -1);
  EXPECT_EQ(rows->Field("ID").ToString(), "1");
  rows->MoveNext();
  EXPECT_EQ(rows->Field("ID").ToString(), "2");
  EXPECT_EQ(ErrorNumberOf([&] { rows->MoveFirst(); }), hr::CannotScrollBackwards);
  rows->MoveNext();
  EXPECT_TRUE(rows->Eof());

  // The rows outlive the connection they came from.
  connection->Close();
  EXPECT_TRUE(rows->Eof());

  connection = Open();
  auto none = connection->Execute("UPDATE ORDERS SET STATUS = 6");
  EXPECT_EQ(none->State(), adStateClosed);
  EXPECT_EQ(ErrorNumberOf([&] { none->Eof(); }), hr::ObjectClosed);
  EXPECT_EQ(connection->Execute("SELECT ID FROM ORDERS", nullptr, adCmdText | adExecuteNoRecords)->State(),
            adStateClosed);
  EXPECT_EQ(ErrorNumberOf([&] { connection->Execute("SELECT 1", nullptr, 2); }), hr::InvalidArgument);
}

TEST_F(AdoConnectionTest, StateRulesOfOpenCloseAndConnectionString) {
  auto connection = data_->NewConnection();
  EXPECT_EQ(connection->State(), adStateClosed);
  EXPECT_EQ(ErrorNumberOf([&] { connection->Execute("SELECT 1"); }), hr::ObjectClosed);
  EXPECT_EQ(ErrorNumberOf([&] { connection->Close(); }), hr::ObjectClosed);
  EXPECT_EQ(ErrorNumberOf([&] { connection->BeginTrans(); }), hr::ObjectClosed);
  EXPECT_EQ(ErrorNumberOf([&] { connection->Property("DBMS Name"); }), hr::ObjectClosed);

  connection->SetConnectionString(connectionString_);
  connection->Open();
  EXPECT_EQ(connection->State(), adStateOpen);
  EXPECT_EQ(connection->Property("dbms name"), "SQLite");
  EXPECT_THAT(connection->Property("Driver Name"), HasSubstr("sqlite"));
  EXPECT_EQ(ErrorNumberOf([&] { connection->Property("Provider"); }), hr::ItemNotFound);
  EXPECT_EQ(connection->ConnectionString(), connectionString_);
  EXPECT_EQ(ErrorNumberOf([&] { connection->Open(); }), hr::ObjectOpen);
  EXPECT_EQ(ErrorNumberOf([&] { connection->SetConnectionString("DSN=Other"); }), hr::ObjectOpen);
  connection->Close();
  connection->Open();  // opens again with the string it kept
  EXPECT_EQ(connection->State(), adStateOpen);
}

TEST_F(AdoConnectionTest, FailuresCarryTheDriverManagersAndDriversText) {
  auto connection = data_->NewConnection();
  const DataAccessError unknown =
      DataAccessErrorOf([&] { connection->Open("DSN=NoSuchSource;UID=WWWapps;PWD="); });
  EXPECT_EQ(unknown.Number(), hr::Fail);
  ASSERT_FALSE(unknown.Diagnostics().empty());
  EXPECT_EQ(unknown.Diagnostics()[0].sqlState, "IM002");
  EXPECT_THAT(unknown.Description(), HasSubstr("Data source name not found"));
  EXPECT_THAT(unknown.Description(), HasSubstr("(SQLSTATE IM002, native error 0)"));
  EXPECT_EQ(connection->State(), adStateClosed);

  const std::string missingDriver = sandbox_.NewDsnName("MissingDriver");
  sandbox_.AddDriver("Vanished", sandbox_.Folder() / "libvanished.so");
  const std::string brokenSource = sandbox_.AddDsn(missingDriver, "Vanished", sandbox_.Folder() / "x.db");
  EXPECT_THAT(DataAccessErrorOf([&] { connection->Open(brokenSource); }).Description(),
              HasSubstr("libvanished.so"));

  connection->Open(connectionString_);
  const DataAccessError syntax = DataAccessErrorOf([&] { connection->Execute("SELEC ID FROM ORDERS"); });
  EXPECT_EQ(syntax.Number(), hr::Fail);
  EXPECT_THAT(syntax.Description(), HasSubstr("syntax error"));
  EXPECT_THAT(syntax.Description(), HasSubstr("SQLSTATE HY000, native error 1"));
  EXPECT_THAT(DataAccessErrorOf([&] { connection->Execute("SELECT * FROM MISSING"); }).Description(),
              HasSubstr("no such table: MISSING"));
  // The connection stays usable after a failed statement.
  std::int32_t affected = 0;
  connection->Execute("INSERT INTO ORDERS VALUES (1, 3, 'a')", &affected);
  EXPECT_EQ(affected, 1);
}

TEST_F(AdoConnectionTest, CommittedWorkIsSeenByOthersAndRolledBackWorkIsGone) {
  auto payer = Open();
  auto observer = Open();
  payer->Execute("INSERT INTO ORDERS VALUES (1, 3, 'a'), (2, 4, 'b')");

  EXPECT_EQ(payer->BeginTrans(), 1);
  payer->Execute("UPDATE ORDERS SET STATUS = 6 WHERE ID = 1");
  payer->Execute("INSERT INTO ORDERS VALUES (10, 0, 'journal')");
  payer->CommitTrans();
  EXPECT_EQ(observer->Execute("SELECT COUNT(*) AS N FROM ORDERS WHERE STATUS IN (0, 6)")->Field("N").ToLong(),
            2);

  payer->BeginTrans();
  payer->Execute("UPDATE ORDERS SET STATUS = 6 WHERE ID = 2");
  payer->RollbackTrans();
  EXPECT_EQ(sandbox_.Sqlite(dsn_, "SELECT STATUS FROM ORDERS WHERE ID = 2"), "4\n");

  // After a transaction every statement commits on its own again.
  payer->Execute("UPDATE ORDERS SET NOTE = 'x' WHERE ID = 2");
  EXPECT_EQ(observer->Execute("SELECT NOTE FROM ORDERS WHERE ID = 2")->Field("NOTE").ToString(), "x");
}

TEST_F(AdoConnectionTest, ClosingOrDroppingAConnectionRollsItsTransactionBack) {
  auto connection = Open();
  connection->BeginTrans();
  connection->Execute("INSERT INTO ORDERS VALUES (1, 3, 'closed')");
  connection->Close();
  {
    auto dropped = Open();
    dropped->BeginTrans();
    dropped->Execute("INSERT INTO ORDERS VALUES (2, 3, 'dropped')");
  }
  EXPECT_EQ(sandbox_.Sqlite(dsn_, "SELECT COUNT(*) FROM ORDERS"), "0\n");
}

TEST_F(AdoConnectionTest, OneTransactionAtATime) {
  auto connection = Open();
  EXPECT_EQ(ErrorNumberOf([&] { connection->CommitTrans(); }), hr::NoTransaction);
  EXPECT_EQ(ErrorNumberOf([&] { connection->RollbackTrans(); }), hr::NoTransaction);
  connection->BeginTrans();
  EXPECT_EQ(ErrorNumberOf([&] { connection->BeginTrans(); }), hr::TransactionExists);
  connection->CommitTrans();
  EXPECT_EQ(ErrorNumberOf([&] { connection->CommitTrans(); }), hr::NoTransaction);
  EXPECT_EQ(connection->BeginTrans(), 1);
  connection->RollbackTrans();
}

// Every worker opens its own connection; two of them write the same database file at once.
TEST_F(AdoConnectionTest, TwoThreadsWithTheirOwnConnectionsShareOneDatabaseFile) {
  constexpr int kRowsPerThread = 40;
  auto worker = [this](int first) {
    auto connection = Open();
    for (int i = 0; i < kRowsPerThread; ++i) {
      connection->BeginTrans();
      connection->Execute("INSERT INTO ORDERS VALUES (" + std::to_string(first + i) + ", 3, 'w')");
      connection->CommitTrans();
      auto count = data_->NewRecordset();
      count->Open("SELECT COUNT(*) AS N FROM ORDERS", connectionString_, adOpenStatic, adLockOptimistic,
                  adCmdText);
      if (count->Field("N").ToLong() < i + 1) return false;
    }
    connection->Close();
    return true;
  };
  auto a = std::async(std::launch::async, worker, 0);
  auto b = std::async(std::launch::async, worker, 1000);
  ASSERT_EQ(a.wait_for(std::chrono::seconds(60)), std::future_status::ready) << "watchdog";
  ASSERT_EQ(b.wait_for(std::chrono::seconds(60)), std::future_status::ready) << "watchdog";
  EXPECT_TRUE(a.get());
  EXPECT_TRUE(b.get());
  EXPECT_EQ(sandbox_.Sqlite(dsn_, "SELECT COUNT(DISTINCT ID) FROM ORDERS"),
            std::to_string(2 * kRowsPerThread) + "\n");
}

// A temporary table lives as long as its session, so it tells whether an Open got the connection a
// Close gave back or a new one.
TEST_F(AdoConnectionTest, APoolingDataAccessReusesOnlyConnectionsClosedClean) {
  const std::unique_ptr<DataAccess> pooling = OpenOdbcDataAccess({.idleLimit = std::chrono::minutes(5)});
  auto open = [&] {
    auto connection = pooling->NewConnection();
    connection->Open(connectionString_);
    return connection;
  };
  auto sameSession = [](Connection& connection) {
    try {
      connection.Execute("SELECT COUNT(*) FROM SESSION_MARK");
      return true;
    } catch (const DataAccessError&) {
      return false;
    }
  };
  auto connection = open();
  connection->Execute("CREATE TEMP TABLE SESSION_MARK (X INTEGER)");
  connection->Close();

  // A transaction left open is rolled back, and the connection comes back committing on its own.
  connection = open();
  ASSERT_TRUE(sameSession(*connection)) << "a clean connection was not reused";
  connection->BeginTrans();
  connection->Execute("INSERT INTO ORDERS VALUES (1, 3, 'left open')");
  connection->Close();
  connection = open();
  EXPECT_TRUE(sameSession(*connection));
  connection->Execute("INSERT INTO ORDERS VALUES (2, 3, 'autocommit')");
  EXPECT_EQ(sandbox_.Sqlite(dsn_, "SELECT ID FROM ORDERS"), "2\n");

  // After a failure the connection is not trusted again.
  EXPECT_THROW(connection->Execute("SELECT * FROM NO_SUCH_TABLE"), DataAccessError);
  connection->Close();
  connection = open();
  EXPECT_FALSE(sameSession(*connection));

  // Nor is one dropped without Close, nor one of another connection string.
  connection->Execute("CREATE TEMP TABLE SESSION_MARK (X INTEGER)");
  connection.reset();
  connection = open();
  EXPECT_FALSE(sameSession(*connection));
  connection->Execute("CREATE TEMP TABLE SESSION_MARK (X INTEGER)");
  connection->Close();
  auto other = pooling->NewConnection();
  other->Open("DSN=" + dsn_);
  EXPECT_FALSE(sameSession(*other));

  // Without pooling every Open connects anew.
  auto plain = Open();
  plain->Execute("CREATE TEMP TABLE SESSION_MARK (X INTEGER)");
  plain->Close();
  plain = Open();
  EXPECT_FALSE(sameSession(*plain));
}

// A pooled connection whose server restarted while it was idle fails at its first statement, and the
// next Open connects anew.
TEST(AdoConnectionPooling, AConnectionBrokenWhileIdleFailsOnceAndIsNotPooledAgain) {
  TESSERY_SKIP_UNLESS_BACKEND_AVAILABLE(testsupport::OdbcBackend::PostgreSQL);
  auto& sandbox = OdbcSandbox::Instance();
  const std::string connectionString =
      sandbox.AddPostgresDsn(sandbox.NewDsnName("Pooled")) + ";UID=WWWapps;PWD=";
  const std::unique_ptr<DataAccess> pooling = OpenOdbcDataAccess({.idleLimit = std::chrono::minutes(5)});
  auto open = [&] {
    auto connection = pooling->NewConnection();
    connection->Open(connectionString);
    return connection;
  };
  auto connection = open();
  connection->Execute("SELECT 1");
  connection->Close();

  testsupport::PostgresCluster::Get()->Stop();
  testsupport::PostgresCluster::Get()->Start();
  connection = open();
  EXPECT_THROW(connection->Execute("SELECT 1"), DataAccessError);
  try {
    connection->Close();
  } catch (const DataAccessError&) {
    // Disconnecting a broken link may report the break once more.
  }
  connection = open();
  EXPECT_EQ(connection->Execute("SELECT 2 AS N")->Field("N").ToLong(), 2);
  connection->Close();
}

}  // namespace
}  // namespace platform::ado
