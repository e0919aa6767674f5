// The statements and operations of the I18N database against SQLite and PostgreSQL through unixODBC.
#include <gmock/gmock.h>

#include "I18NFixture.h"
#include "i18n/I18NDatabase.h"

namespace i18n::testing {
namespace {

using ::testing::ElementsAre;

TEST(I18NStatements, KeepTheirSpacingAndDoubleQuotesInsideValues) {
  EXPECT_EQ(S6("KRMVA2000", "KRMOrders", "drav", "STATUS"),
            "UPDATE I18NFIELDNAMES SET LABEL = 'KRMVA2000' WHERE  PROVIDERNAME = 'KRMOrders' AND BISTYPE = "
            "'drav' AND FIELDNAME = 'STATUS'");
  EXPECT_EQ(
      S7("P", "eai", "F", "L"),
      "INSERT INTO I18NFIELDNAMES (PROVIDERNAME, BISTYPE, FIELDNAME, LABEL)  VALUES ('P', 'eai', 'F', 'L')");
  EXPECT_EQ(S10("P", "drav", "F", "V", "L"),
            "INSERT INTO I18NFIELDVALUES (PROVIDERNAME, BISTYPE, FIELDNAME, FIELDVALUE, LABEL) VALUES ('P', "
            "'drav', 'F', 'V', 'L')");
  EXPECT_EQ(S11("Paid", "2024-03-04", "KRMVA2001"),
            "UPDATE I18NTEXT SET TEXT = 'Paid', DATECHANGED = '2024-03-04', STATUS = 0 WHERE  LABEL = "
            "'KRMVA2001' AND LOCALEID = 1033");
  EXPECT_EQ(S12("KRMVA2001", "Paid", "2024-03-04"),
            "INSERT INTO I18NTEXT (LABEL, TEXT, LOCALEID, DATECHANGED, STATUS)  VALUES ('KRMVA2001', 'Paid', "
            "1033, '2024-03-04', 0)");
  EXPECT_EQ(S4("it's"), "SELECT TEXT FROM I18NTEXT WHERE LOCALEID = 1033 AND LABEL = 'it''s'");
  EXPECT_EQ(SqlText("''"), "''''");
  EXPECT_EQ(ShortDate(2024, 3, 4), "2024-03-04");
}

TEST_P(I18NDatabaseTest, LabelListsLieOnEitherSideOfKRMVA1999InTextOrder) {
  for (const char* label : {"KRMVA999", "KRMVA1999", "KRMVA2000", "KRMVA10000", "ZZZ"}) Text(label, "t");
  Text("KRMVA2001", "Dutch only", 1043);
  I18NConnection db(*access, connectionString);
  EXPECT_THAT(db.LabelsAfterKRMVA1999(), ElementsAre("KRMVA999", "KRMVA2000", "ZZZ"));
  EXPECT_THAT(db.KRMVALabels(), ElementsAre("KRMVA999", "KRMVA1999", "KRMVA2000", "KRMVA10000"));
  EXPECT_EQ(db.LabelText("KRMVA2000"), "t");
  EXPECT_EQ(db.LabelText("KRMVA2001"), std::nullopt);  // no English text
}

TEST_P(I18NDatabaseTest, FieldValuesWithoutAnEnglishTextAreNotListed) {
  Text("KRMVA2000", "Open");
  Text("KRMVA2001", "Betaald", 1043);
  Sql("INSERT INTO I18NFIELDVALUES VALUES ('KRMOrders', 'drav', 'STATUS', '1', 'KRMVA2000');"
      "INSERT INTO I18NFIELDVALUES VALUES ('KRMOrders', 'drav', 'STATUS', '2', 'KRMVA2001');"
      "INSERT INTO I18NFIELDVALUES VALUES ('KRMOrders', 'eai', 'STATUS', '3', 'KRMVA2000')");
  I18NConnection db(*access, connectionString);
  const auto values = db.FieldValueTranslations("KRMOrders", "drav", "STATUS");
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].value, "1");
  EXPECT_EQ(values[0].label, "KRMVA2000");
  EXPECT_EQ(values[0].text, "Open");
}

TEST_P(I18NDatabaseTest, FieldnameLabelUpdatesOneRowAndInsertsOtherwise) {
  I18NConnection db(*access, connectionString);
  EXPECT_FALSE(db.FieldnameTranslationExists("KRMOrders", "drav", "STATUS"));
  db.SetFieldnameLabel("KRMOrders", "drav", "STATUS", "KRMVA2000");  // no row: S7 inserts
  EXPECT_TRUE(db.FieldnameTranslationExists("KRMOrders", "drav", "STATUS"));
  db.SetFieldnameLabel("KRMOrders", "drav", "STATUS", "KRMVA2001");  // one row: S6 updates it
  EXPECT_EQ(Sql("SELECT LABEL FROM I18NFIELDNAMES"), "KRMVA2001\n");

  // Duplicate keys: S6 changes both, and S7 adds a third row all the same.
  Sql("INSERT INTO I18NFIELDNAMES VALUES ('KRMOrders', 'drav', 'STATUS', 'KRMVA2001')");
  db.SetFieldnameLabel("KRMOrders", "drav", "STATUS", "KRMVA2002");
  EXPECT_EQ(Sql("SELECT LABEL FROM I18NFIELDNAMES"), "KRMVA2002\nKRMVA2002\nKRMVA2002\n");
}

TEST_P(I18NDatabaseTest, QuotedAndUnusualValuesRoundTripAndInjectionIsStoredAsText) {
  const std::string provider = "O'Brien's";
  const std::string field = "x' OR '1'='1";
  const std::string value = "'; DROP TABLE I18NTEXT; --";
  const std::string label = "KRMVA2%'5";
  const std::string text = "Größe 100% ; \"quoted\" l'été";
  {
    I18NConnection db(*access, connectionString);
    db.InsertFieldValueTranslation(provider, "drav", field, value, label);
    EXPECT_TRUE(db.WriteLabelText(label, text, "2024-03-04").written);
  }
  I18NConnection db(*access, connectionString);
  const auto values = db.FieldValueTranslations(provider, "drav", field);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].value, value);
  EXPECT_EQ(values[0].label, label);
  EXPECT_EQ(values[0].text, text);
  EXPECT_EQ(db.LabelText(label), text);
  // The injected condition matches nothing: only the exact field name finds the row.
  EXPECT_TRUE(db.FieldValueTranslations(provider, "drav", "x").empty());
  db.ChangeFieldValueTranslation(provider, "drav", field, value, "KRMVA2000");
  EXPECT_EQ(Sql("SELECT PROVIDERNAME, FIELDNAME, FIELDVALUE, LABEL FROM I18NFIELDVALUES"),
            provider + "|" + field + "|" + value + "|KRMVA2000\n");
  db.DeleteFieldValueTranslation(provider, "drav", field, value);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM I18NFIELDVALUES"), "0\n");
}

TEST_P(I18NDatabaseTest, LabelTextUpdatesAnExistingLabelAndInsertsANewOne) {
  Text("KRMVA2000", "Old");
  I18NConnection db(*access, connectionString);
  const LabelTextWrite updated = db.WriteLabelText("KRMVA2000", "New", "2024-03-04");
  EXPECT_TRUE(updated.written);
  EXPECT_EQ(updated.statement, S11("New", "2024-03-04", "KRMVA2000"));
  const LabelTextWrite inserted = db.WriteLabelText("KRMVA2005", "Fresh", "2024-03-04");
  EXPECT_TRUE(inserted.written);
  EXPECT_EQ(inserted.statement, S12("KRMVA2005", "Fresh", "2024-03-04"));
  EXPECT_EQ(Sql("SELECT * FROM I18NTEXT ORDER BY LABEL"),
            "KRMVA2000|New|1033|2024-03-04|0\nKRMVA2005|Fresh|1033|2024-03-04|0\n");
}

TEST_P(I18NDatabaseTest, FailuresSurfaceAsRunTimeErrors) {
  EXPECT_THROW(I18NConnection(*access, "DSN=NoSuchI18NSource"), platform::ado::DataAccessError);
  I18NConnection db(*access, connectionString);
  Sql("ALTER TABLE I18NTEXT RENAME TO I18NTEXT_AWAY");
  EXPECT_THROW(db.LabelsAfterKRMVA1999(), platform::ado::DataAccessError);
  Sql("ALTER TABLE I18NTEXT_AWAY RENAME TO I18NTEXT");
  try {
    I18NConnectionString(nullptr);
    FAIL();
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.Number(), 429);
  }
}

TESSERY_INSTANTIATE_FOR_EVERY_BACKEND(I18NDatabaseTest);

}  // namespace
}  // namespace i18n::testing
