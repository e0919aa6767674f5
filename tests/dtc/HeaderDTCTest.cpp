// The control's start-up state, its public interface and SetKeyValue.
#include "ControlFixture.h"
#include "support/ErrorNumber.h"

namespace dtc::testing {
namespace {

using platform::Variant;

TEST_F(ControlTest, StartUpLaysOutTheEditor) {
  auto control = NewControl();
  const EditorForm& ui = control->Editor();
  for (ProviderKind kind : kProviderKinds) {
    const ProviderControls& s = ui.Side(kind);
    EXPECT_EQ(s.OperatorsCombo.Items(), (std::vector<std::string>{"==", "<=", ">="}));
    EXPECT_EQ(s.CriteriaGrid.Cols(), 5);
    EXPECT_EQ(s.CriteriaGrid.Rows(), 2);
    EXPECT_EQ(s.CriteriaGrid.RowHeightMin(), 323);
    EXPECT_EQ(s.CriteriaGrid.ColWidth(3), 2052);
    EXPECT_EQ(s.CriteriaGrid.TextArray(1), "Key");
    EXPECT_EQ(s.CriteriaGrid.TextArray(3), "Value");
    EXPECT_EQ(s.LinksGrid.Cols(), 3);
    EXPECT_EQ(s.LinksGrid.ColWidth(2), 2315);
    EXPECT_EQ(s.LinksGrid.TextArray(control->LinksCellIndex(0, 1)), "From");
    EXPECT_EQ(s.LinksGrid.TextArray(control->LinksCellIndex(0, 2)), "To");
    EXPECT_EQ(control->CriteriaTypes(kind).Count(), 0);
  }
  EXPECT_EQ(ui.XSLFilenameText.Text(), "xsl/Generic.xsl");
  EXPECT_EQ(control->UserDefinedScripts()->Count(), 0);
  EXPECT_EQ(ui.DataProvidersCombo.Items(),
            (std::vector<std::string>{"KRMOrders", "KRMCustomers", "KRMArticles", "KRMStock"}));
  EXPECT_EQ(ui.SSTab1.Tab(), kGeneralTab);
  EXPECT_TRUE(boxes.Prompts().empty());
  EXPECT_EQ(control->CriteriaCellIndex(2, 3), 13);
  EXPECT_EQ(control->LinksCellIndex(2, 1), 7);
}

// ---- SetKeyValue ----

TEST_F(ControlTest, SetKeyValueTrimsTheValueAndKeysTheMapsWithIt) {
  auto control = NewControl();
  std::int16_t tab = static_cast<std::int16_t>(ProviderKind::EAI), row = 1;
  std::string value = "  Lookup Order  ", script = "Function Lookup()\r\nEnd Function";
  SpecificationType type = USERSCRIPT;
  control->SetKeyValue(tab, row, value, script, type);

  EXPECT_EQ(value, "Lookup Order") << "the caller's variable is trimmed too";
  EXPECT_EQ(control->Editor().EAI.CriteriaGrid.TextMatrix(1, 3), "Lookup Order");
  EXPECT_EQ(control->CriteriaTypes(ProviderKind::EAI).Find("Lookup Order")->ToLong(), USERSCRIPT);
  EXPECT_EQ(control->UserDefinedScripts()->Find("Lookup Order")->ToString(), script);
  EXPECT_EQ(control->CriteriaTypes(ProviderKind::DRAV).Count(), 0);

  // The same value as a constant replaces its kind, keeps its map position and drops the script.
  control->CriteriaTypes(ProviderKind::EAI).Add("Other", Variant(0));
  value = "Lookup Order";
  type = CONSTANT;
  control->SetKeyValue(tab, row, value, script, type);
  EXPECT_EQ(control->CriteriaTypes(ProviderKind::EAI).Keys(),
            (std::vector<std::string>{"Other", "Lookup Order"}));
  EXPECT_EQ(control->CriteriaTypes(ProviderKind::EAI).Find("Lookup Order")->ToLong(), CONSTANT);
  EXPECT_FALSE(control->UserDefinedScripts()->Exists("Lookup Order"));
}

TEST_F(ControlTest, SetKeyValueForAnotherSideTouchesOnlyTheScripts) {
  auto control = NewControl();
  std::int16_t tab = static_cast<std::int16_t>(ProviderKind::DRAVLink), row = 1;
  std::string value = "Script", script = "Function Script()\r\nEnd Function";
  SpecificationType type = USERSCRIPT;
  control->Editor().DataProvidersCombo.SetListIndex(0);
  const int created = components.CreatedCount();
  control->SetKeyValue(tab, row, value, script, type);
  EXPECT_EQ(control->UserDefinedScripts()->Count(), 1);
  EXPECT_EQ(control->CriteriaTypes(ProviderKind::DRAV).Count(), 0);
  EXPECT_EQ(control->Editor().DRAV.CriteriaGrid.TextMatrix(1, 3), "");
  EXPECT_EQ(components.CreatedCount(), created) << "no tab is prepared";
}

TEST_F(ControlTest, SetKeyValueIntoARowBeyondTheGridReachesTheCaller) {
  auto control = NewControl();
  std::int16_t tab = 2, row = 7;
  std::string value = "x", script;
  SpecificationType type = CONSTANT;
  EXPECT_THROW(control->SetKeyValue(tab, row, value, script, type), platform::Error);
  EXPECT_TRUE(boxes.Messages().empty());
}

// ---- public properties ----

TEST_F(ControlTest, EveryLetReportsTheChangeUnderThePropertysOwnName) {
  auto control = NewControl();
  for (const PublicProperty& p : HeaderDTC::PublicProperties()) {
    if (!p.canLet || p.name == "UserDefinedScripts") continue;
    container.Clear();
    const std::optional<std::int32_t> index =
        p.index == PublicProperty::Index::None ? std::nullopt : std::optional<std::int32_t>(0);
    const bool rowCount = p.name.find("Count") != std::string::npos || p.name.rfind("NrOf", 0) == 0;
    control->LetProperty(p.name, index, rowCount ? Variant(3) : Variant("text"));
    EXPECT_EQ(container.Changed(), std::vector<std::string>{p.name});
  }
  container.Clear();
  control->LetUserDefinedScripts(std::make_shared<platform::Dictionary>());
  EXPECT_EQ(container.Changed(), std::vector<std::string>{"UserDefinedScripts"});
}

TEST_F(ControlTest, PropertiesReachTheControlsThatHoldTheItems) {
  auto control = NewControl();
  control->LetProperty("DRAVReturnFields", 0, Variant(" 1 - ID"));  // an index equal to the count appends
  control->LetProperty("EAICriteria", control->CriteriaCellIndex(1, 1), Variant("Order.Number"));
  control->LetProperty("NrOfLinkedEAIFields", std::nullopt, Variant(4));
  control->LetProperty("eailinktofields", control->LinksCellIndex(3, 2), Variant("Customer.ID"));
  control->LetProperty("DataProvider", std::nullopt, Variant("KRMArticles"));
  control->LetProperty("LinkedDataProvider", std::nullopt, Variant("KRMOrders"));

  const EditorForm& ui = control->Editor();
  EXPECT_EQ(ui.DRAV.SelectedFieldsList.List(0), " 1 - ID");
  EXPECT_EQ(ui.EAI.CriteriaGrid.TextMatrix(1, 1), "Order.Number");
  EXPECT_EQ(ui.EAI.LinksGrid.TextMatrix(3, 2), "Customer.ID");
  EXPECT_EQ(ui.DataProvidersCombo.Text(), "KRMArticles");
  EXPECT_EQ(control->LinkedProviderName(), "") << "the property sets the combo's text, not the member";
  EXPECT_EQ(ui.DRAV.LinkedDataProvidersCombo.Text(), "KRMOrders");

  EXPECT_EQ(control->GetProperty("DRAVReturnFieldCount"), Variant(std::int16_t{1}));
  EXPECT_EQ(control->GetProperty("NrOfLinkedEAIFields"), Variant(4));
  EXPECT_EQ(control->GetProperty("DRAVAvailableFieldsCount"), Variant(0)) << "a 32-bit count";
}

TEST_F(ControlTest, PropertyMisuseRaisesThePlatformsErrors) {
  auto control = NewControl();
  auto number = [](auto&& call) { return testsupport::ErrorNumberOf(call); };
  EXPECT_EQ(number([&] { control->GetProperty("NoSuchThing"); }), platform::err::NoSuchPropertyOrMethod);
  EXPECT_EQ(number([&] { control->GetProperty("DRAVReturnFields"); }), platform::err::WrongArguments);
  EXPECT_EQ(number([&] { control->GetProperty("DataProvider", 0); }), platform::err::WrongArguments);
  EXPECT_EQ(number([&] { control->LetProperty("DRAVReturnFieldCount", std::nullopt, Variant(1)); }),
            platform::err::PropertyIsReadOnly);
  EXPECT_EQ(number([&] { control->GetProperty("DRAVReturnFields", 40000); }), platform::err::Overflow);
  EXPECT_EQ(number([&] { control->GetProperty("DRAVReturnFields", 0); }),
            platform::err::InvalidPropertyArrayIndex);
  EXPECT_TRUE(container.Changed().empty());
}

TEST_F(ControlTest, TypeLibraryDescribesTheProperties) {
  std::map<std::string, std::string_view> described;
  for (const PublicProperty& p : HeaderDTC::PublicProperties()) described[p.name] = p.description;
  EXPECT_EQ(described.size(), 42u);
  EXPECT_EQ(described["EAIKeyFieldnames"], "Returns/sets the items contained in a control's list portion.");
  EXPECT_EQ(described["DRAVLinkToFields"],
            "Returns/sets the text contents of an arbitrary cell (single subscript).");
  EXPECT_EQ(described["NrOfSelectedEAILinkedFields"],
            "Returns the number of items in the list portion of a control.");
  EXPECT_EQ(described["NrOfLinkedDRAVFields"],
            "Determines the total number of columns or rows in a FlexGrid.");
  EXPECT_EQ(described["LinkedDataProvider"], "Returns/sets the text contained in the control.");
  EXPECT_EQ(described["NrOfUserDefinedScripts"], "");
}

// ---- the provider choices ----

TEST_F(ControlTest, ChoosingAnotherProviderEmptiesTheFromCombos) {
  auto control = NewControl();
  EditorForm& ui = control->Editor();
  ui.DataProvidersCombo.SetListIndex(0);
  ui.DRAV.FromLinkFieldsCombo.AddItem("1 - A");
  ui.EAI.FromLinkFieldsCombo.AddItem("Order.A");
  ui.DataProvidersCombo.SetListIndex(0);
  EXPECT_EQ(ui.DRAV.FromLinkFieldsCombo.ListCount(), 1) << "the provider already current";
  ui.DataProvidersCombo.SetListIndex(2);
  EXPECT_EQ(ui.DRAV.FromLinkFieldsCombo.ListCount(), 0);
  EXPECT_EQ(ui.EAI.FromLinkFieldsCombo.ListCount(), 0);
  EXPECT_EQ(control->CurrentDataProvider(), "KRMArticles");
}

TEST_F(ControlTest, ChoosingTheLinkedProviderUpdatesBothLinkTabs) {
  auto control = NewControl();
  EditorForm& ui = control->Editor();
  ui.DRAV.LinkedDataProvidersCombo.SetListIndex(1);
  EXPECT_EQ(ui.DRAV.LinkedFieldsList.Items(),
            (std::vector<std::string>{"1 - CUSTOMERID", "2 - CITY", "3 - COUNTRY"}));
  EXPECT_EQ(ui.EAI.LinkedFieldsList.Items(),
            (std::vector<std::string>{"Customer.ID", "Customer.City", "Customer.Country"}));
  EXPECT_EQ(ui.DRAV.ToLinkFieldsCombo.Items(), (std::vector<std::string>{"CUSTOMERID"}));
  EXPECT_EQ(ui.EAI.ToLinkFieldsCombo.Items(), (std::vector<std::string>{"Customer.ID"}));

  ui.EAI.SelectedLinkedFieldsList.AddItem("Customer.City");
  const int created = components.CreatedCount();
  ui.EAI.LinkedDataProvidersCombo.SetListIndex(1);
  EXPECT_EQ(components.CreatedCount(), created) << "the provider already in effect";
  EXPECT_EQ(ui.EAI.SelectedLinkedFieldsList.ListCount(), 1);

  // The EAI update runs first and fails (no EAI definition); the DRAV update still runs.
  ui.EAI.LinkedDataProvidersCombo.SetListIndex(2);
  EXPECT_EQ(control->LinkedProviderName(), "KRMArticles");
  EXPECT_EQ(boxes.Prompts(),
            (std::vector<std::string>{"Error in 'UpdateEAILinkTab': Data provider not found (-2147218943)"}));
  EXPECT_EQ(ui.DRAV.LinkedFieldsList.Items(), (std::vector<std::string>{"7 - ARTICLE", "8 - PRICE"}));
  EXPECT_EQ(ui.EAI.SelectedLinkedFieldsList.ListCount(), 0) << "cleared before the failing call";
}

}  // namespace
}  // namespace dtc::testing
