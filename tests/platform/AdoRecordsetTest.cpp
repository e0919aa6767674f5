// ADODB.Recordset over unixODBC against SQLite: navigation, counts, fields and the values they hold.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/Ado.h"
#include "runtime/PropertyBag.h"
#include "support/ErrorNumber.h"
#include "support/OdbcSandbox.h"

namespace platform::ado {
namespace {

using testsupport::ErrorNumberOf;
using testsupport::OdbcSandbox;

class AdoRecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dsn_ = sandbox_.NewDsnName("Rs");
    connectionString_ = sandbox_.AddSqliteDsn(dsn_) + ";UID=WWWapps;PWD=";
  }

  std::unique_ptr<Recordset> OpenStatic(const std::string& sql) {
    auto recordset = data_->NewRecordset();
    recordset->Open(sql, connectionString_, adOpenStatic, adLockOptimistic, adCmdText);
    return recordset;
  }

  OdbcSandbox& sandbox_ = OdbcSandbox::Instance();
  std::unique_ptr<DataAccess> data_ = OpenOdbcDataAccess();
  std::string dsn_;
  std::string connectionString_;
};

TEST_F(AdoRecordsetTest, StaticCursorCountsEveryRowExactly) {
  sandbox_.Sqlite(dsn_,
                  "CREATE TABLE T (N INTEGER);"
                  "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 2500) "
                  "INSERT INTO T SELECT x FROM c");
  for (const auto& [limit, count] : {std::pair{0, 0}, {1, 1}, {2500, 2500}}) {
    auto rs = OpenStatic("SELECT N FROM T WHERE N <= " + std::to_string(limit));
    EXPECT_EQ(rs->RecordCount(), count) << limit;
    EXPECT_EQ(rs->Eof(), count == 0);
    EXPECT_EQ(rs->Bof(), count == 0);
    int visited = 0;
    for (; !rs->Eof(); rs->MoveNext()) ++visited;
    EXPECT_EQ(visited, count);
    rs->Close();
  }
  auto forwardOnly = data_->NewRecordset();
  forwardOnly->Open("SELECT N FROM T", connectionString_);
  EXPECT_EQ(forwardOnly->RecordCount(), -1);
}

// The order query's walk: EOF, MoveLast, RecordCount, MoveFirst, then every row with MoveNext.
TEST_F(AdoRecordsetTest, NavigatesAndRefusesMovesWithoutACurrentRecord) {
  sandbox_.Sqlite(dsn_, "CREATE TABLE T (N INTEGER); INSERT INTO T VALUES (1), (2), (3)");
  auto rs = OpenStatic("SELECT N FROM T ORDER BY N");
  ASSERT_FALSE(rs->Eof());
  rs->MoveLast();
  EXPECT_EQ(rs->Field("N").ToLong(), 3);
  EXPECT_EQ(rs->RecordCount(), 3);
  rs->MoveFirst();
  EXPECT_EQ(rs->Field("N").ToLong(), 1);
  EXPECT_FALSE(rs->Bof());
  rs->MovePrevious();
  EXPECT_TRUE(rs->Bof());
  EXPECT_EQ(ErrorNumberOf([&] { rs->Field("N"); }), hr::NoCurrentRecord);
  EXPECT_EQ(ErrorNumberOf([&] { rs->MovePrevious(); }), hr::NoCurrentRecord);
  rs->MoveLast();
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(ErrorNumberOf([&] { rs->MoveNext(); }), hr::NoCurrentRecord);
  EXPECT_EQ(ErrorNumberOf([&] { rs->Field("N"); }), hr::NoCurrentRecord);

  auto empty = OpenStatic("SELECT N FROM T WHERE N > 3");
  EXPECT_EQ(ErrorNumberOf([&] { empty->MoveFirst(); }), hr::NoCurrentRecord);
  EXPECT_EQ(ErrorNumberOf([&] { empty->MoveLast(); }), hr::NoCurrentRecord);
  EXPECT_EQ(ErrorNumberOf([&] { empty->MoveNext(); }), hr::NoCurrentRecord);
}

TEST_F(AdoRecordsetTest, OpenAndCloseRules) {
  sandbox_.Sqlite(dsn_, "CREATE TABLE T (N INTEGER)");
  auto rs = data_->NewRecordset();
  EXPECT_EQ(rs->State(), adStateClosed);
  EXPECT_EQ(ErrorNumberOf([&] { rs->Eof(); }), hr::ObjectClosed);
  EXPECT_EQ(ErrorNumberOf([&] { rs->Close(); }), hr::ObjectClosed);
  EXPECT_EQ(ErrorNumberOf([&] { rs->Open("SELECT N FROM T", ""); }), hr::ConnectionInvalid);
  EXPECT_EQ(ErrorNumberOf(
                [&] { rs->Open("SELECT N FROM T", connectionString_, adOpenStatic, adLockOptimistic, 2); }),
            hr::InvalidArgument);
  EXPECT_EQ(ErrorNumberOf([&] { rs->Open("SELEC N FROM T", connectionString_); }), hr::Fail);
  EXPECT_EQ(ErrorNumberOf([&] { rs->Open("SELECT N FROM T", "DSN=NoSuchSource"); }), hr::Fail);
  EXPECT_EQ(rs->State(), adStateClosed);

  // A statement that returns no rows runs and leaves the recordset closed.
  rs->Open("INSERT INTO T VALUES (7)", connectionString_);
  EXPECT_EQ(rs->State(), adStateClosed);
  EXPECT_EQ(sandbox_.Sqlite(dsn_, "SELECT N FROM T"), "7\n");

  rs->Open("SELECT N FROM T", connectionString_, adOpenStatic);
  EXPECT_EQ(ErrorNumberOf([&] { rs->Open("SELECT N FROM T", connectionString_); }), hr::ObjectOpen);
  rs->Close();
  EXPECT_EQ(rs->State(), adStateClosed);
  rs->Open("SELECT N FROM T", connectionString_, adOpenStatic);  // the object is reusable
  EXPECT_EQ(rs->RecordCount(), 1);
}

TEST_F(AdoRecordsetTest, FieldsByNameInAnyCaseAndByPosition) {
  sandbox_.Sqlite(
      dsn_,
      "CREATE TABLE NAMES (LABEL TEXT, FIELDNAME TEXT); CREATE TABLE TEXTS (LABEL TEXT, TEXT TEXT);"
      "INSERT INTO NAMES VALUES ('KRMVA2000', 'Price'); INSERT INTO TEXTS VALUES ('KRMVA2000', 'Cost')");
  auto rs = OpenStatic("SELECT * FROM NAMES LEFT OUTER JOIN TEXTS ON NAMES.LABEL = TEXTS.LABEL");
  ASSERT_EQ(rs->FieldCount(), 4);
  EXPECT_EQ(rs->FieldName(0), "LABEL");
  EXPECT_EQ(rs->FieldName(3), "TEXT");
  EXPECT_EQ(rs->Field("fieldname").ToString(), "Price");
  EXPECT_EQ(rs->Field("FieldName").ToString(), "Price");
  EXPECT_EQ(rs->Field("label").ToString(), "KRMVA2000");  // the first of the two
  EXPECT_EQ(rs->Field(3).ToString(), "Cost");
  EXPECT_EQ(ErrorNumberOf([&] { rs->Field("ORDERID"); }), hr::ItemNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { rs->Field(4); }), hr::ItemNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { rs->FieldName(-1); }), hr::ItemNotFound);
}

// Values keep a type whose text is what the database holds; nothing turns into 0 or "" unnoticed.
TEST_F(AdoRecordsetTest, ValuesKeepTheirTypeAndText) {
  sandbox_.Sqlite(dsn_,
                  "CREATE TABLE V (I INTEGER, S SMALLINT, B BIGINT, R REAL, N NUMERIC(30,10), T VARCHAR(20), "
                  "D DATE, TS TIMESTAMP, F BIT, X BLOB, TM TIME);"
                  "INSERT INTO V VALUES (123, 7, 5000000000, 1.5, 12.5, 'äöü ''q''', '2024-01-31', "
                  "'2024-01-31 13:05:09', 1, x'00ff41', '13:05:09');"
                  "INSERT INTO V VALUES ('ABC', 70000, 12345678901234567, 'x', 1234567890.1234567891, '42', "
                  "'31.01.2024', '2024-02-30 00:00:00', 'yes', NULL, '1850-06-15 06:00:00');");
  auto rs = OpenStatic("SELECT * FROM V");
  EXPECT_EQ(rs->Field("I"), Variant(std::int32_t{123}));
  EXPECT_EQ(rs->Field("I").ToString(), "123");
  EXPECT_EQ(rs->Field("S"), Variant(std::int16_t{7}));
  EXPECT_EQ(rs->Field("B"), Variant(5000000000.0));
  EXPECT_EQ(rs->Field("B").ToString(), "5000000000");
  EXPECT_EQ(rs->Field("R"), Variant(1.5));
  EXPECT_EQ(rs->Field("N").ToString(), "12.5");
  EXPECT_EQ(rs->Field("T"), Variant("äöü 'q'"));
  EXPECT_EQ(rs->Field("D").Type(), VarType::Date);
  EXPECT_EQ(rs->Field("D").ToString(), "2024-01-31");
  EXPECT_EQ(rs->Field("TS").ToString(), "2024-01-31 13:05:09");
  EXPECT_EQ(rs->Field("F"), Variant(true));
  EXPECT_EQ(rs->Field("TM").ToString(), "1899-12-30 13:05:09");
  EXPECT_EQ(rs->Field("X"), Variant(std::string("\0\xff"
                                                "A",
                                                3)));

  // Values that do not read as their column's type stay as stored, every digit included.
  rs->MoveNext();
  EXPECT_EQ(rs->Field("I"), Variant("ABC"));
  EXPECT_EQ(rs->Field("S"), Variant(std::int32_t{70000}));
  EXPECT_EQ(rs->Field("B"), Variant("12345678901234567"));
  EXPECT_EQ(rs->Field("R"), Variant("x"));
  EXPECT_EQ(rs->Field("N").Type(), VarType::Double);  // SQLite holds NUMERIC as a double
  EXPECT_EQ(rs->Field("T"), Variant("42"));
  EXPECT_EQ(rs->Field("D"), Variant("31.01.2024"));
  EXPECT_EQ(rs->Field("TS"), Variant("2024-02-30 00:00:00"));
  EXPECT_EQ(rs->Field("F"), Variant("yes"));
  EXPECT_TRUE(rs->Field("X").IsNull());
  EXPECT_EQ(rs->Field("TM").ToString(), "1850-06-15 06:00:00");  // before serial day 0
}

TEST_F(AdoRecordsetTest, LongTextArrivesWhole) {
  std::string text;
  for (int i = 0; text.size() < 100000; ++i) text += "line " + std::to_string(i) + " ü;\n";
  sandbox_.Sqlite(dsn_, "CREATE TABLE L (T TEXT, U)");
  auto connection = data_->NewConnection();
  connection->Open(connectionString_);
  connection->Execute("INSERT INTO L VALUES ('" + text + "', '" + text + "')");
  auto rs = OpenStatic("SELECT T, U FROM L");
  EXPECT_EQ(rs->Field("T").ToString(), text);
  EXPECT_EQ(rs->Field("U").ToString(), text);
}

// A NULL field reads as Null: no text and no number, so it cannot pass for an empty id or a zero.
TEST_F(AdoRecordsetTest, NullFieldsAreNullNotEmpty) {
  sandbox_.Sqlite(dsn_, "CREATE TABLE T (ORDERID VARCHAR(50), N INTEGER); INSERT INTO T VALUES (NULL, NULL)");
  auto rs = OpenStatic("SELECT ORDERID, N FROM T");
  const Variant id = rs->Field("ORDERID");
  EXPECT_TRUE(id.IsNull());
  EXPECT_FALSE(id.IsEmpty());
  EXPECT_EQ(id.Type(), VarType::Null);
  EXPECT_EQ(ErrorNumberOf([&] { id.ToString(); }), err::InvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([&] { rs->Field("N").ToLong(); }), err::InvalidUseOfNull);
}

TEST(VariantNull, ConvertsToNothingAndEqualsNothing) {
  const Variant null = Variant::Null();
  for (auto convert :
       {+[](const Variant& v) { v.ToString(); }, +[](const Variant& v) { v.ToInteger(); },
        +[](const Variant& v) { v.ToLong(); }, +[](const Variant& v) { v.ToDouble(); },
        +[](const Variant& v) { v.ToBoolean(); }, +[](const Variant& v) { v.ToDateSerial(); }}) {
    EXPECT_EQ(ErrorNumberOf([&] { convert(null); }), err::InvalidUseOfNull);
  }
  EXPECT_FALSE(LooselyEqual(null, Variant()));
  EXPECT_FALSE(LooselyEqual(null, Variant("")));
  EXPECT_FALSE(LooselyEqual(Variant(std::int32_t{0}), null));
  EXPECT_FALSE(LooselyEqual(null, null));
  EXPECT_EQ(null, Variant::Null());
  EXPECT_NE(null, Variant());
}

// A bag file has no form for Null that load accepts, so writing one fails instead of making a bag
// that no longer loads.
TEST(VariantNull, PropertyBagFileRefusesNull) {
  MemoryPropertyBag bag;
  bag.WriteProperty("Value", Variant::Null());
  EXPECT_EQ(ErrorNumberOf([&] { FormatPropertyBagJson(bag); }), err::InvalidPropertyValue);
}

}  // namespace
}  // namespace platform::ado
