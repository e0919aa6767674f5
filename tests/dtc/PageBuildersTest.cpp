// The fragments of the page text, byte for byte, and the two lookups generation starts with.
#include <gmock/gmock.h>

#include "PageTextFixture.h"
#include "support/ErrorNumber.h"

namespace dtc::testing {
namespace {

using testsupport::ErrorNumberOf;
using Prompts = std::vector<std::string>;

// ---- key fields ----

TEST_F(PageTextTest, KeyFieldsAreAnArrayOfQuotedNames) {
  EXPECT_EQ(control->GetKeyFieldsRuntimeText(ProviderKind::DRAV), "Array()");
  Ui().EAI.KeyFieldsCombo.AddItem("Order.Number");
  EXPECT_EQ(control->GetKeyFieldsRuntimeText(ProviderKind::EAI), "Array(\"Order.Number\")");
  Ui().EAI.KeyFieldsCombo.AddItem("Customer.ID");
  EXPECT_EQ(control->GetKeyFieldsRuntimeText(ProviderKind::EAI), "Array(\"Order.Number\", \"Customer.ID\")");
  EXPECT_TRUE(boxes.Prompts().empty());

  // Its own trap: the message and an empty text.
  EXPECT_EQ(control->GetKeyFieldsRuntimeText(ProviderKind::DRAVLink), "");
  EXPECT_EQ(boxes.Prompts(),
            Prompts{"Error in 'GetKeyFieldsRuntimeText': Invalid procedure call or argument(5)"});
}

// ---- return fields ----

TEST_F(PageTextTest, DravReturnFieldsWriteTheNumberBareAndTheNameQuoted) {
  ReturnFields(ProviderKind::DRAV, {"12 - Description", " 1 - ORDERID", "3 - A - B", "4 -  spaced "});
  EXPECT_EQ(control->GetReturnFieldsRuntimeText(ProviderKind::DRAV),
            "<RETURN_FIELDS_VARNAME>.Add 12, \"Description\"\r\n\t\t\t"
            "<RETURN_FIELDS_VARNAME>.Add  1, \"ORDERID\"\r\n\t\t\t"
            "<RETURN_FIELDS_VARNAME>.Add 3, \"A\"\r\n\t\t\t"
            "<RETURN_FIELDS_VARNAME>.Add 4, \" spaced \"\r\n\t\t\t");
}

TEST_F(PageTextTest, EaiReturnFieldsUseTheWholeItemTwice) {
  EXPECT_EQ(control->GetReturnFieldsRuntimeText(ProviderKind::EAI), "");
  ReturnFields(ProviderKind::EAI, {"Order.Number", "Customer.Name"});
  EXPECT_EQ(control->GetReturnFieldsRuntimeText(ProviderKind::EAI),
            "<RETURN_FIELDS_VARNAME>.Add \"Order.Number\", \"Order.Number\"\r\n\t\t\t"
            "<RETURN_FIELDS_VARNAME>.Add \"Customer.Name\", \"Customer.Name\"\r\n\t\t\t");
}

TEST_F(PageTextTest, LinkedReturnFieldsUseTheLinkedVariableInTheFormOfTheirSide) {
  Ui().DRAV.SelectedLinkedFieldsList.AddItem("3 - COUNTRY");
  Ui().EAI.SelectedLinkedFieldsList.AddItem("Customer.Country");
  EXPECT_EQ(control->GetLinkedReturnFieldsRuntimeText(ProviderKind::DRAVLink),
            "<LINKED_RETURN_FIELDS_VARNAME>.Add 3, \"COUNTRY\"\r\n\t\t\t");
  EXPECT_EQ(control->GetLinkedReturnFieldsRuntimeText(ProviderKind::EAILink),
            "<LINKED_RETURN_FIELDS_VARNAME>.Add \"Customer.Country\", \"Customer.Country\"\r\n\t\t\t");
}

TEST_F(PageTextTest, FieldItemsWithoutTheirSeparatorFailTheBuilder) {
  ReturnFields(ProviderKind::DRAV, {"12 Description"});
  EXPECT_EQ(ErrorNumberOf([&] { control->GetReturnFieldsRuntimeText(ProviderKind::DRAV); }),
            platform::err::SubscriptOutOfRange);
  Ui().DRAV.I18NFieldnamesList.SetSelected(0, true);
  EXPECT_EQ(ErrorNumberOf([&] { control->GetI18NFieldnamesRuntimeText(ProviderKind::DRAV); }),
            platform::err::SubscriptOutOfRange);
  Link(ProviderKind::EAILink, 1, "NoDot", "Customer.ID");
  EXPECT_EQ(ErrorNumberOf([&] { control->GetLinkedFieldsRuntimeText(ProviderKind::EAILink); }),
            platform::err::SubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { control->GetReturnFieldsRuntimeText(ProviderKind::EAILink); }),
            platform::err::InvalidProcedureCall);
}

// ---- criteria ----

TEST_F(PageTextTest, CriteriaWriteConstantsQuotedAndFunctionsAsCalls) {
  Criterion(ProviderKind::DRAV, 1, "  Status ", "==", "A");
  Criterion(ProviderKind::DRAV, 2, "ORDERID", "<=", "GetLastOrder");
  Criterion(ProviderKind::DRAV, 3, "ORDERID", ">=", "Today");
  Criterion(ProviderKind::DRAV, 4, "CUSTOMERID", "==", " A ");
  control->CriteriaTypes(ProviderKind::DRAV)
      .Add("GetLastOrder", platform::Variant(std::int32_t{INCLUDEFUNCTION}));
  control->CriteriaTypes(ProviderKind::DRAV).Add("Today", platform::Variant("2"));  // as text, from a bag
  EXPECT_EQ(control->GetCriteriaRuntimeText(ProviderKind::DRAV),
            "<DATAPROVIDER_VARNAME>.SetKeyValue \"Status\", 0, \"A\"\r\n\t\t\t"
            "<DATAPROVIDER_VARNAME>.SetKeyValue \"ORDERID\", 1, GetLastOrder()\r\n\t\t\t"
            "<DATAPROVIDER_VARNAME>.SetKeyValue \"ORDERID\", 2, Today()\r\n\t\t\t"
            "<DATAPROVIDER_VARNAME>.SetKeyValue \"CUSTOMERID\", 0, \" A \"\r\n\t\t\t");
  EXPECT_TRUE(boxes.Prompts().empty());
  EXPECT_EQ(control->CriteriaTypes(ProviderKind::DRAV).Count(), 2) << "looking a value up adds no entry";

  // All rows with the same value text share its kind.
  control->CriteriaTypes(ProviderKind::DRAV).Add("A", platform::Variant(std::int32_t{USERSCRIPT}));
  EXPECT_THAT(control->GetCriteriaRuntimeText(ProviderKind::DRAV),
              ::testing::StartsWith("<DATAPROVIDER_VARNAME>.SetKeyValue \"Status\", 0, A()\r\n\t\t\t<DATA"));
}

TEST_F(PageTextTest, CriteriaProblemsAreReportedPerRowAndProduceNoLine) {
  Criterion(ProviderKind::EAI, 1, "Order.Status", "", "A");    // incomplete
  Criterion(ProviderKind::EAI, 2, "", "==", "A");              // no key: skipped silently
  Criterion(ProviderKind::EAI, 3, "Order.Number", ">=", "7");  // a good row between bad ones
  Criterion(ProviderKind::EAI, 4, "Order.Number", " ==", "8");
  Criterion(ProviderKind::EAI, 5, "Order.Number", "   ", "9");
  Criterion(ProviderKind::EAI, 6, "Order.Number", "=", "10");
  Criterion(ProviderKind::EAI, 7, "Order.Number", "==", "");  // incomplete
  // Row 8 stays empty: the entry row.
  Ui().EAI.CriteriaGrid.AddItem("");
  EXPECT_EQ(control->GetCriteriaRuntimeText(ProviderKind::EAI),
            "<DATAPROVIDER_VARNAME>.SetKeyValue \"Order.Number\", 2, \"7\"\r\n\t\t\t");
  EXPECT_EQ(boxes.Prompts(), (Prompts{
                                 "Incomplete criterion on line 1 on the EAI tab",
                                 "Unknown operator ' ==' on criterion 4",
                                 "Specify operator on criterion 5",
                                 "Unknown operator '=' on criterion 6",
                                 "Incomplete criterion on line 7 on the EAI tab",
                             }));

  boxes.Clear();
  Criterion(ProviderKind::DRAV, 1, "ORDERID", "==", "");
  EXPECT_EQ(control->GetCriteriaRuntimeText(ProviderKind::DRAV), "");
  EXPECT_EQ(boxes.Prompts(), Prompts{"Incomplete criterion on line 1 on the DRAV tab"});
}

// ---- translations ----

TEST_F(PageTextTest, TranslatedFieldNamesListTheSelectedNames) {
  ReturnFields(ProviderKind::DRAV, {" 1 - ORDERID", " 2 - CUSTOMERNAME", "10 - TOTAL "});
  EXPECT_EQ(control->GetI18NFieldnamesRuntimeText(ProviderKind::DRAV), "") << "items but none selected";

  platform::ListBox& names = Ui().DRAV.I18NFieldnamesList;
  names.SetSelected(2, true);
  EXPECT_EQ(control->GetI18NFieldnamesRuntimeText(ProviderKind::DRAV),
            "<DATAPROVIDER_VARNAME>.setTranslatedFieldNames( Array( _\r\n"
            "\t\t\t\t\"TOTAL\" _\r\n"
            "\t\t\t))");
  names.SetSelected(0, true);
  EXPECT_EQ(control->GetI18NFieldnamesRuntimeText(ProviderKind::DRAV),
            "<DATAPROVIDER_VARNAME>.setTranslatedFieldNames( Array( _\r\n"
            "\t\t\t\t\"ORDERID\",  _\r\n"
            "\t\t\t\t\"TOTAL\" _\r\n"
            "\t\t\t))");
  EXPECT_EQ(control->GetI18NFieldValuesRuntimeText(ProviderKind::DRAV), "") << "the value list is apart";
}

TEST_F(PageTextTest, TranslatedFieldValuesOfTheEaiSide) {
  ReturnFields(ProviderKind::EAI, {"T.Status", "T.Type", "T.Other"});
  Ui().EAI.I18NFieldValuesList.SetSelected(0, true);
  Ui().EAI.I18NFieldValuesList.SetSelected(1, true);
  EXPECT_EQ(control->GetI18NFieldValuesRuntimeText(ProviderKind::EAI),
            "<DATAPROVIDER_VARNAME>.setTranslatedFieldValues( Array( _\r\n"
            "\t\t\t\t\"Status\",  _\r\n"
            "\t\t\t\t\"Type\" _\r\n"
            "\t\t\t))");
}

// ---- links ----

TEST_F(PageTextTest, LinkPairsEndTheFirstLineWithCrLfAndLaterOnesWithTabs) {
  EXPECT_EQ(control->GetLinkedFieldsRuntimeText(ProviderKind::DRAVLink), "");
  Link(ProviderKind::DRAVLink, 1, " 2 - CUSTOMERNAME", "CUSTOMERID");
  EXPECT_EQ(control->GetLinkedFieldsRuntimeText(ProviderKind::DRAVLink),
            "<LINKED_FIELDS_VARNAME>.Add \"CUSTOMERNAME\", \"CUSTOMERID\"\r\n");
  Link(ProviderKind::DRAVLink, 2, "", "ignored");
  Link(ProviderKind::DRAVLink, 3, "10 - TOTAL", "");
  EXPECT_EQ(control->GetLinkedFieldsRuntimeText(ProviderKind::DRAVLink),
            "<LINKED_FIELDS_VARNAME>.Add \"CUSTOMERNAME\", \"CUSTOMERID\"\r\n"
            "<LINKED_FIELDS_VARNAME>.Add \"TOTAL\", \"\"\r\n\t\t\t");

  Link(ProviderKind::EAILink, 1, "Order.Customer", "Customer.ID");
  EXPECT_EQ(control->GetLinkedFieldsRuntimeText(ProviderKind::EAILink),
            "<LINKED_FIELDS_VARNAME>.Add \"Customer\", \"Customer.ID\"\r\n");
  EXPECT_TRUE(boxes.Prompts().empty());
}

// ---- relative path root ----

TEST_F(PageTextTest, RelativePathRootClimbsOneFolderPerSlashBeyondTheBase) {
  const struct {
    const char* base;
    const char* page;
    const char* root;
  } cases[] = {
      {"/site/", "/site/sub/page.asp", "../"},    {"/site", "/site/sub/page.asp", "../../"},
      {"/site/", "/site/page.asp", ""},           {"", "/sub/page.asp", "../../../"},
      {"/sité/", "/sité/a/b/page.asp", "../../"},
  };
  for (const auto& c : cases) {
    SetSite(c.base, c.page);
    EXPECT_EQ(control->GetRelativePathRoot(), c.root) << c.base << " " << c.page;
  }
  EXPECT_TRUE(boxes.Prompts().empty());
}

TEST_F(PageTextTest, RelativePathRootWithoutSiteOrWithABadOne) {
  EXPECT_EQ(control->GetRelativePathRoot(), "");
  control->SetDesignTimeControlSite(nullptr);
  EXPECT_EQ(control->GetRelativePathRoot(), "");
  SetSite("/site/sub/", "/site/");
  EXPECT_EQ(control->GetRelativePathRoot(), "");
  EXPECT_EQ(boxes.Prompts(),
            (Prompts{"Not running in DevStudio...", "Not running in DevStudio...",
                     "Error in 'GetRelativePathRoot': Invalid procedure call or argument(5)"}));
}

// A site that records the calls made on it and hands out nothing where told to.
class RecordingSite : public platform::DesignTimeControlSite {
 public:
  explicit RecordingSite(std::shared_ptr<platform::DesignTimeControlSite> inner) : inner_(std::move(inner)) {}
  std::shared_ptr<platform::SiteContext> GetContext(std::string_view name) override {
    calls.push_back("GetContext " + std::string(name));
    return inner_->GetContext(name);
  }
  std::shared_ptr<platform::SiteObjectModel> SecondObjectModel() override {
    calls.push_back("SecondObjectModel");
    return withoutObjectModel ? nullptr : inner_->SecondObjectModel();
  }
  std::vector<std::string> calls;
  bool withoutObjectModel = false;

 private:
  std::shared_ptr<platform::DesignTimeControlSite> inner_;
};

TEST_F(PageTextTest, RelativePathRootAsksTheSiteInItsOrder) {
  auto site = std::make_shared<RecordingSite>(platform::MakePageLocationSite("/s/", "/s/a/p.asp"));
  control->SetDesignTimeControlSite(site);
  EXPECT_EQ(control->GetRelativePathRoot(), "../");
  EXPECT_EQ(site->calls, (std::vector<std::string>{"GetContext TargetEnvironment", "SecondObjectModel"}));

  site->withoutObjectModel = true;
  EXPECT_EQ(control->GetRelativePathRoot(), "");
  EXPECT_EQ(boxes.Prompts(),
            Prompts{"Error in 'GetRelativePathRoot': Object variable or With block variable not set(91)"});
}

// ---- install directory ----

TEST_F(PageTextTest, InstallDirIsUpperCasedAndEndsInOneBackslash) {
  EXPECT_EQ(control->GetInstallDir(), "C:\\PROG\\");
  SetInstallDir("d:\\Web Sites\\Corvane\\");
  EXPECT_EQ(control->GetInstallDir(), "D:\\WEB SITES\\CORVANE\\");
  EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, kInstallKey, "InstallDir",
                               platform::RegistryValue::DWord(7)),
            0);
  EXPECT_EQ(control->GetInstallDir(), "7\\");
  EXPECT_TRUE(boxes.Prompts().empty());
}

TEST_F(PageTextTest, InstallDirMissingShowsTheRegistryNameAndIsEmpty) {
  const Prompts expected{"Can not find REGKEY 'HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\InstallDir'"};
  SetInstallDir("");
  EXPECT_EQ(control->GetInstallDir(), "");
  EXPECT_EQ(boxes.Prompts(), expected);

  boxes.Clear();
  EXPECT_EQ(registry->DeleteValue(platform::RootKey::LocalMachine, kInstallKey, "InstallDir"), 0);
  EXPECT_EQ(control->GetInstallDir(), "");
  EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, kInstallKey, "InstallDir",
                               platform::RegistryValue::Binary({'c', ':'})),
            0);
  EXPECT_EQ(control->GetInstallDir(), "");
  HeaderDTC withoutRegistry(
      HeaderDTCServices{.messageBoxes = boxes, .container = &container, .components = &components});
  EXPECT_EQ(withoutRegistry.GetInstallDir(), "");
  EXPECT_EQ(boxes.Prompts(), (Prompts{expected[0], expected[0], expected[0]}));
}

}  // namespace
}  // namespace dtc::testing
