// GetRuntimeText as a whole: the template read, the order of the steps, the whole page against its
// golden file, and how failures end the request.
#include <cstdlib>
#include <fstream>

#include "PageTextFixture.h"
#include "dtc/TextFunctions.h"
#include "support/TempFolder.h"

namespace dtc::testing {
namespace {

using Prompts = std::vector<std::string>;

std::string TestData(const char* name) {
  return std::string(TESSERY_TEST_DATA) + "/" + name;
}

class WholePageTest : public PageTextTest {
 protected:
  void AddScriptedCriterion(ProviderKind kind, std::int16_t row, std::string key, std::string op,
                            std::string value, std::string script, SpecificationType type) {
    Criterion(kind, row, std::move(key), std::move(op), "");
    std::int16_t tab = static_cast<std::int16_t>(kind);
    control->SetKeyValue(tab, row, value, script, type);
  }

  // A page as a designer leaves it: every builder has something to say.
  void FillPageConfiguration() {
    EditorForm& ui = Ui();
    ui.DataProvidersCombo.SetListIndex(0);  // KRMOrders
    // Both provider tabs show it already, so SetKeyValue's preparation keeps what is filled here.
    ui.DRAV.DataProviderText.SetText("KRMOrders");
    ui.EAI.DataProviderText.SetText("KRMOrders");
    ui.EnableExtraFiltersCheck.SetValue(platform::CheckBox::Grayed);
    ui.IncludeASPList.AddItem("include/orderfunctions.asp");
    ui.IncludeASPList.AddItem("include/Currency Helpers.asp");
    ui.XSLFilenameText.SetText("xsl/Orders.xsl");

    ReturnFields(ProviderKind::DRAV, {" 1 - ORDERID", " 2 - CUSTOMERNAME", "10 - TOTAL \"gross\""});
    ui.DRAV.KeyFieldsCombo.AddItem("ORDERID");
    ui.DRAV.KeyFieldsCombo.AddItem("CUSTOMERID");
    Criterion(ProviderKind::DRAV, 1, "ORDERID", ">=", "1042");
    AddScriptedCriterion(ProviderKind::DRAV, 2, "CUSTOMERID", "==", "GetCustomerID", "", INCLUDEFUNCTION);
    AddScriptedCriterion(ProviderKind::DRAV, 3, "ORDERDATE", "<=", " LastWeek ",
                         "Function LastWeek()\r\n\r\n\tLastWeek = DateAdd(\"d\", -7, Date())\r\n"
                         "End Function 'LastWeek()",
                         USERSCRIPT);
    ui.DRAV.CriteriaGrid.AddItem("");  // the entry row
    ui.DRAV.I18NFieldnamesList.SetSelected(0, true);
    ui.DRAV.I18NFieldnamesList.SetSelected(2, true);
    ui.DRAV.I18NFieldValuesList.SetSelected(1, true);

    ReturnFields(ProviderKind::EAI, {"Order.Number", "Order.Status"});
    ui.EAI.KeyFieldsCombo.AddItem("Order.Number");
    Criterion(ProviderKind::EAI, 1, "Order.Status", "==", "open");
    AddScriptedCriterion(
        ProviderKind::EAI, 2, "Order.Number", "=>", "MaxOrder",
        "Function MaxOrder()\r\n\r\n\tMaxOrder = <DATAPROVIDER_VARNAME>.Max(\"Order.Number\")\r\n"
        "End Function 'MaxOrder()",
        USERSCRIPT);
    ui.EAI.I18NFieldValuesList.SetSelected(1, true);

    ui.DRAV.LinkedDataProvidersCombo.SetListIndex(1);  // KRMCustomers
    ui.DRAV.SelectedLinkedFieldsList.AddItem("3 - COUNTRY");
    ui.EAI.SelectedLinkedFieldsList.AddItem("Customer.Country");
    ui.EAI.SelectedLinkedFieldsList.AddItem("Customer.City");
    Link(ProviderKind::DRAVLink, 1, " 2 - CUSTOMERNAME", "NAME");
    Link(ProviderKind::EAILink, 1, "Order.Customer", "Customer.ID");
    Link(ProviderKind::EAILink, 2, "Order.Number", "Customer.LastOrder");
    Link(ProviderKind::EAILink, 3, "", "");

    SetSite("/shop/", "/shop/orders/list.asp");
    boxes.Clear();
    container.Clear();  // ticking the I18N lists reports the return fields as changed
  }
};

TEST_F(WholePageTest, APageMatchesItsGoldenFileByteForByte) {
  PutTemplate(testsupport::ReadWholeFile(TestData("page_template.asp")));
  FillPageConfiguration();
  const std::string description = DescribeConfiguration(*control);

  std::string text;
  EXPECT_TRUE(control->GetRuntimeText(text));
  if (std::getenv("TESSERY_UPDATE_GOLDEN") != nullptr)
    testsupport::TempFolder().Put(TestData("page_expected.asp"), text);
  EXPECT_EQ(text, testsupport::ReadWholeFile(TestData("page_expected.asp")));
  EXPECT_EQ(boxes.Prompts(), Prompts{"Unknown operator '=>' on criterion 2"});

  // Generation changes nothing and tells the container nothing; a second request gives the same.
  EXPECT_EQ(DescribeConfiguration(*control), description);
  EXPECT_TRUE(container.Changed().empty());
  EXPECT_EQ(control->GetRuntimeText(), text);
  EXPECT_EQ(files.OpenCount(), 0);
}

TEST_F(WholePageTest, EveryPlaceholderIsReplaced) {
  std::string all;
  for (std::string_view placeholder : kPagePlaceholders) all.append(placeholder).append("\r\n");
  PutTemplate(all);
  FillPageConfiguration();
  const std::string text = control->GetRuntimeText();
  for (std::string_view placeholder : kPagePlaceholders) {
    EXPECT_EQ(UCase(text).find(placeholder), std::string::npos) << placeholder;
  }
}

TEST_F(PageTextTest, TemplateWithoutPlaceholdersComesBackWithCrLfLineEnds) {
  PutTemplate("<html>\r\n<body>\rtext\n more\r\n</html>");
  EXPECT_EQ(control->GetRuntimeText(), "<html>\r\n<body>\r\ntext\n more\r\n</html>\r\n");
  PutTemplate("");
  EXPECT_EQ(control->GetRuntimeText(), "");
  PutTemplate("\r\n");
  EXPECT_EQ(control->GetRuntimeText(), "\r\n");
}

TEST_F(PageTextTest, PlaceholdersMatchWithoutRegardToCaseEveryTime) {
  PutTemplate(
      "<dataprovider>|<DataProvider>|<DATAPROVIDER>|<DefaultPageSize><defaultpagesize>|<DATAPROVIDER_"
      "varname>");
  Ui().DataProvidersCombo.SetListIndex(1);
  EXPECT_EQ(control->GetRuntimeText(), "KRMCustomers|KRMCustomers|KRMCustomers|1010|mDataProvider\r\n");
}

TEST_F(PageTextTest, InsertedTextIsSeenByLaterStepsOnly) {
  PutTemplate("<USER_DEFINED_SCRIPTS><XSL_FILENAME>|<ENABLE_EXTRA_FILTERS>");
  Ui().DataProvidersCombo.SetListIndex(0);
  Ui().XSLFilenameText.SetText("<DATAPROVIDER>/<LINKED_DATAPROVIDER>.xsl");
  std::int16_t tab = 2, row = 1;
  std::string name = "S", script =
                              "Function S()\r\n\r\n\tS = <dataprovider_varname>.Count & \"<DATAPROVIDER>\" & "
                              "\"<USER_DEFINED_SCRIPTS>\"\r\nEnd Function 'S()";
  SpecificationType type = USERSCRIPT;
  control->SetKeyValue(tab, row, name, script, type);
  Ui().DRAV.LinkedDataProvidersCombo.SetListIndex(2);
  // Steps 5 and 8 ran before their placeholders came in; steps 26 and 28 after.
  EXPECT_EQ(
      control->GetRuntimeText(),
      "Function S()\r\n\r\n\tS = mDataProvider.Count & \"<DATAPROVIDER>\" & \"<USER_DEFINED_SCRIPTS>\"\r\n"
      "End Function 'S()\r\n\r\n"
      "<DATAPROVIDER>/KRMArticles.xsl|false\r\n");
}

TEST_F(PageTextTest, WithoutSiteTheMessageComesOnceAndIncludesCarryNoPrefix) {
  PutTemplate("<PATH_TO_ROOT>x\r\n<EXTRA_INCLUDES><path_to_root>y");
  Ui().IncludeASPList.AddItem("inc/a.asp");
  EXPECT_EQ(control->GetRuntimeText(), "x\r\n<!--#INCLUDE file =\"inc/a.asp\" -->\r\ny\r\n");
  EXPECT_EQ(boxes.Prompts(), Prompts{"Not running in DevStudio..."});

  boxes.Clear();
  SetSite("/site/", "/site/sub/page.asp");
  EXPECT_EQ(control->GetRuntimeText(), "../x\r\n<!--#INCLUDE file =\"../inc/a.asp\" -->\r\n../y\r\n");
  EXPECT_TRUE(boxes.Prompts().empty());
}

TEST_F(PageTextTest, BuildersSpeakEvenWhenTheTemplateLacksTheirPlaceholder) {
  PutTemplate("plain");
  Criterion(ProviderKind::DRAV, 1, "ORDERID", "", "1");
  EXPECT_EQ(control->GetRuntimeText(), "plain\r\n");
  EXPECT_EQ(boxes.Prompts(),
            (Prompts{"Not running in DevStudio...", "Incomplete criterion on line 1 on the DRAV tab"}));
}

// ---- failures ----

TEST_F(PageTextTest, ATemplateThatCannotBeOpenedEndsTheRequestWithAnEmptyText) {
  std::string text = "left over";
  EXPECT_FALSE(control->GetRuntimeText(text));
  EXPECT_EQ(text, "");
  files.AddFolder("C:\\Prog\\Vistelle\\Include");
  EXPECT_FALSE(control->GetRuntimeText(text));
  EXPECT_EQ(text, "");
  EXPECT_EQ(boxes.Prompts(), (Prompts{"Error in 'IProvideRuntimeText_GetRuntimeText': Path not found(76)",
                                      "Error in 'IProvideRuntimeText_GetRuntimeText': File not found(53)"}));

  boxes.Clear();
  HeaderDTC withoutFiles(HeaderDTCServices{
      .messageBoxes = boxes, .container = &container, .components = &components, .registry = registry.get()});
  EXPECT_EQ(withoutFiles.GetRuntimeText(), "");
  EXPECT_EQ(boxes.Prompts(), Prompts{"Error in 'IProvideRuntimeText_GetRuntimeText': File not found(53)"});
}

TEST_F(PageTextTest, WithoutInstallDirTheTemplateIsLookedForBelowTheWorkingFolder) {
  EXPECT_EQ(registry->DeleteValue(platform::RootKey::LocalMachine, kInstallKey, "InstallDir"), 0);
  PutTemplate("installed");
  files.Put("vistelle/include/dtc_template.asp", "relative");
  EXPECT_EQ(control->GetRuntimeText(), "relative\r\n");
  EXPECT_EQ(boxes.Prompts().front(),
            "Can not find REGKEY 'HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\InstallDir'");
}

TEST_F(PageTextTest, AReadFailureLeavesTheLinesReadSoFarAndClosesTheFile) {
  PutTemplate("first <DATAPROVIDER>\r\nsecond\r\nthird\r\n");
  files.FailReadsAfter(30, platform::Error(57, "Device I/O error"));
  std::string text;
  EXPECT_FALSE(control->GetRuntimeText(text));
  EXPECT_EQ(text, "first <DATAPROVIDER>\r\nsecond\r\n");
  EXPECT_EQ(boxes.Prompts(), Prompts{"Error in 'IProvideRuntimeText_GetRuntimeText': Device I/O error(57)"});
  EXPECT_EQ(files.OpenCount(), 0);
}

TEST_F(PageTextTest, AFailingStepLeavesTheStepsBeforeItApplied) {
  PutTemplate("<DATAPROVIDER>|<SPECIFY_DRAV_KEYFIELDS>|<ADD_DRAV_RETURN_FIELDS>|<DATAPROVIDER_VARNAME>");
  Ui().DataProvidersCombo.SetListIndex(0);
  ReturnFields(ProviderKind::DRAV, {"12 Description"});
  Criterion(ProviderKind::EAI, 1, "Order.Number", "", "1");  // step 11: reported
  Criterion(ProviderKind::DRAV, 1, "ORDERID", "", "1");      // step 16: never reached
  std::string text;
  EXPECT_FALSE(control->GetRuntimeText(text));
  EXPECT_EQ(text, "KRMOrders|Array()|<ADD_DRAV_RETURN_FIELDS>|<DATAPROVIDER_VARNAME>\r\n");
  EXPECT_EQ(boxes.Prompts(),
            (Prompts{"Not running in DevStudio...", "Incomplete criterion on line 1 on the EAI tab",
                     "Error in 'IProvideRuntimeText_GetRuntimeText': Subscript out of range(9)"}));
}

}  // namespace
}  // namespace dtc::testing
