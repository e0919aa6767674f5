// The service's real batch work against order databases on each backend (SQLite, PostgreSQL) through
// unixODBC: the pending-order query, the payment worker's hand-over to components of an in-process
// class table, and whole batch cycles on the test backends with the reference payment component
// settling in the database. The service's query is the same on both backends.
#include <gmock/gmock.h>

#include <algorithm>
#include <set>

#include "ServiceHarness.h"
#include "components/CCPayment.h"
#include "interfaces/Payment.h"
#include "platform/testing/AdoFaultInjection.h"
#include "platform/testing/ComClassTable.h"
#include "service/PaymentBatchWork.h"
#include "support/OdbcBackendTest.h"

namespace tillmoor::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Texts = std::vector<std::string>;
using platform::HRESULT;
using testsupport::OdbcBackend;
using testsupport::OdbcSandbox;

constexpr platform::GUID kRecordingClsid = platform::GuidLiteral("{3C8A1F52-9B0E-4E27-8D14-6A5B7C9E0F21}");
constexpr platform::GUID kNoPaymentClsid = platform::GuidLiteral("{3C8A1F52-9B0E-4E27-8D14-6A5B7C9E0F22}");

// What the payment components of a test saw: each Run with the order id and the serial number of the
// instance it was called on, and how many instances are alive.
struct PaymentLog {
  struct Call {
    std::string orderId;
    int instance;
  };
  std::vector<Call> Calls() const {
    std::lock_guard lock(mutex);
    return calls;
  }
  Texts Ids() const {
    Texts ids;
    for (const Call& call : Calls()) ids.push_back(call.orderId);
    std::sort(ids.begin(), ids.end());  // workers run side by side
    return ids;
  }

  mutable std::mutex mutex;
  std::vector<Call> calls;
  std::atomic<int> instances{0};
  std::atomic<int> alive{0};
  std::atomic<HRESULT> runResult{platform::hr::S_OK};
  platform::IPayment* settle = nullptr;  // when set, Run hands the order on to it
};

class RecordingPayment final : public platform::ComObject<platform::IPayment> {
 public:
  explicit RecordingPayment(PaymentLog& log) : log_(log), serial_(++log.instances) { ++log_.alive; }
  ~RecordingPayment() override { --log_.alive; }

  HRESULT Run(std::string_view orderId, short* result) override {
    {
      std::lock_guard lock(log_.mutex);
      log_.calls.push_back({std::string(orderId), serial_});
    }
    if (log_.settle != nullptr) return log_.settle->Run(orderId, result);
    *result = 0;
    return log_.runResult;
  }

 private:
  PaymentLog& log_;
  int serial_;
};

// A component that has no payment interface.
class IOther : public platform::IUnknown {
 public:
  static constexpr platform::GUID kIid = platform::GuidLiteral("{3C8A1F52-9B0E-4E27-8D14-6A5B7C9E0F23}");

 protected:
  ~IOther() = default;
};
class NoPayment final : public platform::ComObject<IOther> {};

class PaymentWork : public ServiceHarness, public ::testing::WithParamInterface<OdbcBackend> {
 protected:
  void SetUp() override {
    TESSERY_SKIP_UNLESS_BACKEND_AVAILABLE(GetParam());
    dsn_ = sandbox_.NewDsnName("Orders");
    connection_ = sandbox_.AddDsn(GetParam(), dsn_) + ";UID=WWWapps;PWD=";
    EXPECT_EQ(settings_->CreateKey(platform::RootKey::LocalMachine, components::kCCPaymentSettingsKey), 0);
    EXPECT_EQ(settings_->SetValue(platform::RootKey::LocalMachine, components::kCCPaymentSettingsKey,
                                  "ConnectionString", platform::RegistryValue::String(connection_)),
              0);
    RegisterRecordingPayment();
    payment_ = std::make_unique<PaymentBatchWork>(data_, classes_, connection_);
    module_ =
        std::make_unique<ServiceModule>(ServicePlatform{*registry_, scm_, eventLog_, *threading_, messaging_,
                                                        com_, console_, boxes_, out_, kModulePath},
                                        *payment_);
  }

  void TearDown() override {
    if (exited_ || !process_.joinable()) return;
    EXPECT_TRUE(scm_.DeliverControl(platform::svc::kControlStop));
    WaitForExit();
  }

  void RegisterRecordingPayment() {
    classes_.Register(platform::kPaymentProgId, kRecordingClsid,
                      [this](const platform::GUID& iid, void** out) {
                        return platform::MakeComObject<RecordingPayment>(log_)->QueryInterface(iid, out);
                      });
  }
  // Runs go on to the reference component, which settles in the test's database.
  void SettleInTheDatabase() { log_.settle = settle_.Get(); }

  Texts Query(PaymentBatchWork& work) {
    OrderList list;
    work.QueryPendingOrders(Module(), list);
    return list.Ids();
  }
  Texts Query() { return Query(*payment_); }

  std::optional<TestMessaging::Timer> RunCycle() {
    const auto timer = WaitForTimer();
    if (!timer) return std::nullopt;
    FireTimer();
    return WaitForRearm(timer->id);
  }

  // Reports after the start message.
  Texts Problems() const {
    Texts reports = Reports();
    if (!reports.empty() && reports.front().rfind("Service started", 0) == 0) reports.erase(reports.begin());
    return reports;
  }

  bool OnPostgres() const { return GetParam() == OdbcBackend::PostgreSQL; }
  std::string Sql(const std::string& sql) { return sandbox_.Sql(dsn_, sql); }
  std::string Journal() { return Sql("SELECT ORDERID FROM PAYMENTJOURNAL ORDER BY ORDERID"); }

  OdbcSandbox& sandbox_ = OdbcSandbox::Instance();
  std::string dsn_;
  std::string connection_;
  std::unique_ptr<platform::ado::DataAccess> odbc_ = platform::ado::OpenOdbcDataAccess();
  platform::testing::FaultInjectingDataAccess data_{*odbc_};
  platform::testing::ComClassTable classes_;
  PaymentLog log_;
  std::unique_ptr<platform::Registry> settings_ = platform::OpenMemoryRegistry();
  platform::ComPtr<platform::IPayment> settle_ = components::MakeCCPayment(*settings_, *odbc_);
  std::unique_ptr<PaymentBatchWork> payment_;
};

// ---- the pending-order query -----------------------------------------------------------------------

TEST_P(PaymentWork, QuerySelectsStatusesThreeFourAndFiveInTheDatabasesOrder) {
  sandbox_.CreateOrderHeader(dsn_, {{"'Z5'", 5},
                                    {"'S0'", 0},
                                    {"'S1'", 1},
                                    {"'A3'", 3},
                                    {"'S2'", 2},
                                    {"'M4'", 4},
                                    {"'S6'", 6},
                                    {"'S7'", 7},
                                    {"'B3'", 3},
                                    {"'S9'", 9}});
  Sql("INSERT INTO ORDERHEADER VALUES ('SN', NULL)");
  EXPECT_EQ(Query(), (Texts{"Z5", "A3", "M4", "B3"}));
  EXPECT_TRUE(Problems().empty());
}

TEST_P(PaymentWork, NumericIdsBecomeTheirDigits) {
  // The backend's 64-bit integer type: SQLite's INTEGER, PostgreSQL's BIGINT (its INTEGER has 32 bits).
  sandbox_.CreateOrderHeader(dsn_, {{"123", 3}, {"0", 4}, {"123456789012345", 5}, {"12345678901234567", 3}},
                             OnPostgres() ? "BIGINT" : "INTEGER");
  EXPECT_EQ(Query(), (Texts{"123", "0", "123456789012345", "12345678901234567"}));
}

TEST_P(PaymentWork, UnusableIdsAreReportedAndSkippedWhileTheRestGoesOn) {
  const std::string id34(34, 'x');
  const std::string id35 = std::string(34, 'y') + "z";
  std::string wide;  // 18 two-byte characters, 36 bytes
  for (int i = 0; i < 18; ++i) wide += "\xC3\x9C";
  sandbox_.CreateOrderHeader(dsn_, {{"'A'", 3},
                                    {"NULL", 4},
                                    {"''", 5},
                                    {"'" + id34 + "'", 3},
                                    {"'" + id35 + "'", 4},
                                    {"'" + wide + "'", 5},
                                    {"'A'", 5}});
  EXPECT_EQ(Query(), (Texts{"A", id34, "A"})) << "repeated ids are handed out as often as they come";
  EXPECT_EQ(Problems(),
            (Texts{"Order with a NULL id not handed out", "Order with an empty id not handed out",
                   "Order id longer than 34 bytes not handed out: " + std::string(34, 'y') + "...",
                   "Order id longer than 34 bytes not handed out: " + wide.substr(0, 34) + "..."}));
}

TEST_P(PaymentWork, AQueryThatCannotRunIsReportedWithTheDriversTextAndGivesNoOrders) {
  // No ORDERHEADER table.
  EXPECT_TRUE(Query().empty());
  // No such data source.
  PaymentBatchWork unknown(data_, classes_, "DSN=NoSuchVelmar;UID=WWWapps;PWD=");
  EXPECT_TRUE(Query(unknown).empty());
  // A data source whose driver library is missing.
  sandbox_.AddDriver("Vanished", sandbox_.Folder() / "libvanished.so");
  const std::string missingDsn = sandbox_.NewDsnName("NoDriver");
  PaymentBatchWork noDriver(data_, classes_,
                            sandbox_.AddDsn(missingDsn, "Vanished", sandbox_.DatabaseFile(missingDsn)));
  EXPECT_TRUE(Query(noDriver).empty());

  const Texts problems = Problems();
  ASSERT_EQ(problems.size(), 3u);
  for (const std::string& problem : problems)
    EXPECT_THAT(problem, StartsWith("Pending-order query failed: "));
  // PostgreSQL folds the unquoted table name to lower case.
  EXPECT_THAT(problems[0], HasSubstr(OnPostgres() ? "relation \"orderheader\" does not exist"
                                                  : "no such table: ORDERHEADER"));
  EXPECT_THAT(problems[0], HasSubstr("(0x80004005)"));
  EXPECT_THAT(problems[1], HasSubstr("Data source name not found"));
  EXPECT_THAT(problems[2], HasSubstr("Can't open lib"));
}

TEST_P(PaymentWork, AFailureAtAnyStepOfTheQueryLeavesTheListEmpty) {
  using platform::testing::AdoStep;
  sandbox_.CreateOrderHeader(dsn_, {{"'A'", 3}, {"'B'", 4}, {"'C'", 5}});
  const std::pair<AdoStep, int> faults[] = {
      {AdoStep::NewRecordset, 1}, {AdoStep::RecordsetOpen, 1}, {AdoStep::Eof, 1},
      {AdoStep::MoveLast, 1},     {AdoStep::RecordCount, 1},   {AdoStep::MoveFirst, 1},
      {AdoStep::Field, 3},        {AdoStep::MoveNext, 2},      {AdoStep::RecordsetClose, 1}};
  for (const auto& [step, nth] : faults) {
    data_.FailAt(step, nth);
    EXPECT_TRUE(Query().empty()) << platform::testing::AdoStepName(step);
    data_.Clear();
  }
  const Texts problems = Problems();
  ASSERT_EQ(problems.size(), std::size(faults));
  for (std::size_t i = 0; i < problems.size(); ++i) {
    EXPECT_EQ(problems[i], "Pending-order query failed: [injected] " +
                               std::string(platform::testing::AdoStepName(faults[i].first)) +
                               " failed (SQLSTATE HY000, native error 0) (0x80004005)");
  }
  EXPECT_EQ(Query(), (Texts{"A", "B", "C"}));
}

// ---- the payment worker ----------------------------------------------------------------------------

TEST_P(PaymentWork, WorkerFailuresReportTheirMessageWithTheOrderIdAndReleaseTheComponent) {
  platform::testing::ComClassTable empty;
  PaymentBatchWork unregistered(data_, empty, connection_);
  unregistered.PayOrder(Module(), "A-1");

  classes_.InjectFault(platform::testing::ComStep::Creation, platform::hr::E_OUTOFMEMORY);
  payment_->PayOrder(Module(), "A-2");
  classes_.ClearFaults();

  log_.runResult = components::kOrderNotPending;
  payment_->PayOrder(Module(), "A-3");
  EXPECT_EQ(log_.alive, 0);

  classes_.Register(platform::kPaymentProgId, kNoPaymentClsid, platform::CreateFunctionFor<NoPayment>());
  payment_->PayOrder(Module(), "A-4");

  EXPECT_EQ(
      Problems(),
      (Texts{"Unable to create instance of cs.CCPayment (order A-1, error 0x800401F3: Invalid class string)",
             "Unable to create instance of cs.CCPayment (order A-2, error 0x8007000E: Not enough memory "
             "resources are available to complete this operation.)",
             "Error calling Run() on cs.CCPayment (order A-3, error 0x80040A01)",
             "Object cs.CCPayment does not support the Run() method (order A-4, error 0x80004002: No such "
             "interface supported)"}));
}

// ---- whole cycles ----------------------------------------------------------------------------------

TEST_P(PaymentWork, ACyclePaysEveryPendingOrderOnceAndLaterCyclesNeverHandItOutAgain) {
  SettleInTheDatabase();
  std::vector<std::pair<std::string, int>> orders;
  for (int i = 0; i < 20; ++i) orders.push_back({"'W-" + std::to_string(10 + i) + "'", i % 10});
  orders.push_back({"'Ünï''code 1'", 4});
  sandbox_.CreateOrderHeader(dsn_, orders);
  StartService();
  ASSERT_TRUE(RunCycle());
  const Texts pending{"W-13", "W-14", "W-15", "W-23", "W-24", "W-25", "Ünï'code 1"};
  EXPECT_EQ(log_.Ids(), pending) << "the component gets each id's text exactly";
  EXPECT_EQ(Journal(), "W-13\nW-14\nW-15\nW-23\nW-24\nW-25\nÜnï'code 1\n");
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM ORDERHEADER WHERE HEADERBILLINGSTATUS = 6"), "9\n");

  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(log_.Calls().size(), pending.size()) << "an earlier cycle's ids were handed out again";
  EXPECT_TRUE(Problems().empty());
  EXPECT_TRUE(RunGuardIsFree());
}

TEST_P(PaymentWork, AnEmptyResultStartsNoWorker) {
  sandbox_.CreateOrderHeader(dsn_, {{"'P'", 6}, {"'Q'", 2}});
  StartService();
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(classes_.CreatedCount(), 0);
  EXPECT_TRUE(Problems().empty());
  EXPECT_TRUE(RunGuardIsFree());
}

TEST_P(PaymentWork, TwoEqualIdsGiveTwoCallsOnTwoInstances) {
  sandbox_.CreateOrderHeader(dsn_, {{"'A'", 3}, {"'B'", 6}, {"'A'", 4}});
  StartService();
  ASSERT_TRUE(RunCycle());
  const auto calls = log_.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].orderId, "A");
  EXPECT_EQ(calls[1].orderId, "A");
  EXPECT_NE(calls[0].instance, calls[1].instance);
  EXPECT_EQ(log_.alive, 0);
}

TEST_P(PaymentWork, ADatabaseThatDisappearsAndComesBackMissesOneCycleAndPaysEachOrderOnce) {
  SettleInTheDatabase();
  sandbox_.CreateOrderHeader(dsn_, {{"'A'", 3}, {"'B'", 6}});
  StartService();
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(Journal(), "A\n");

  // The SQLite file is moved away (the driver then opens a new, empty one); the PostgreSQL server stops.
  const auto file = sandbox_.DatabaseFile(dsn_);
  if (OnPostgres()) {
    testsupport::PostgresCluster::Get()->Stop();
  } else {
    std::filesystem::rename(file, file.string() + ".away");
  }
  ASSERT_TRUE(RunCycle());
  ASSERT_EQ(Problems().size(), 1u) << "one report per cycle";
  EXPECT_THAT(Problems()[0], HasSubstr(OnPostgres() ? "Connection refused" : "no such table: ORDERHEADER"));
  EXPECT_TRUE(RunGuardIsFree());

  if (OnPostgres()) {
    testsupport::PostgresCluster::Get()->Start();
  } else {
    std::filesystem::rename(file.string() + ".away", file);
  }
  Sql("INSERT INTO ORDERHEADER VALUES ('C', 5)");
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(Journal(), "A\nC\n");
  EXPECT_EQ(log_.Ids(), (Texts{"A", "C"}));
  EXPECT_EQ(Problems().size(), 1u);
}

TESSERY_INSTANTIATE_FOR_EVERY_BACKEND(PaymentWork);

}  // namespace
}  // namespace tillmoor::testing
