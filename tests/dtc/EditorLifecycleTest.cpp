// The editor lifecycle against the reference data-provider components: start-up, the tab protocol,
// tab preparation from the provider metadata, and the link-tab updates.
#include "ControlFixture.h"

namespace dtc::testing {
namespace {

using platform::testing::ComStep;
using Items = std::vector<std::string>;

class LifecycleTest : public ControlTest {
 protected:
  LifecycleTest() : control(NewControl()), ui(control->Editor()) {}

  // The designer picks a provider on the General tab and clicks tab `tab`.
  void ChooseProviderAndEnter(const std::string& provider, EditorTab tab) {
    ui.SSTab1.ClickTab(kGeneralTab);
    ui.DataProvidersCombo.SetText(provider);
    ui.DataProvidersCombo.SetListIndex(ui.DataProvidersCombo.ListIndex());  // the click on the item
    ui.SSTab1.ClickTab(tab);
  }

  std::unique_ptr<HeaderDTC> control;
  EditorForm& ui;
};

TEST_F(LifecycleTest, DRAVItemsArePaddedToTheWidthOfTheFieldCount) {
  ChooseProviderAndEnter("KRMOrders", kDRAVTab);
  const Items& items = ui.DRAV.FieldsList.Items();
  ASSERT_EQ(items.size(), 12u);
  EXPECT_EQ(items[0], " 1 - ORDERID");
  EXPECT_EQ(items[8], " 9 - SHIPPING");
  EXPECT_EQ(items[9], "10 - TOTAL");
  EXPECT_EQ(items[11], "12 - REMARKS");
  EXPECT_EQ(ui.DRAV.KeyFieldsCombo.Items(), (Items{"ORDERID", "CUSTOMERID"}));
  EXPECT_EQ(ui.DRAV.DataProviderText.Text(), "KRMOrders");
  EXPECT_TRUE(ui.DRAV.AddField.Enabled());
  EXPECT_FALSE(ui.DRAV.RemoveField.Enabled());

  // Keys longer than the width keep their length: two fields numbered 7 and 8 give width 1.
  ChooseProviderAndEnter("KRMArticles", kDRAVTab);
  EXPECT_EQ(ui.DRAV.FieldsList.Items(), (Items{"7 - ARTICLE", "8 - PRICE"}));
}

TEST_F(LifecycleTest, EAIItemsAreObjectAndFieldInMapOrder) {
  ChooseProviderAndEnter("KRMOrders", kEAITab);
  EXPECT_EQ(ui.EAI.FieldsList.Items(),
            (Items{"Order.Number", "Order.Status", "Customer.Name", "Customer.Street"}));
  EXPECT_EQ(ui.EAI.KeyFieldsCombo.Items(), (Items{"Order.Number"}));
  EXPECT_TRUE(boxes.Prompts().empty());
}

TEST_F(LifecycleTest, ClickingTheTabAlreadyShownRunsNeitherSaveNorPrepare) {
  ui.DataProvidersCombo.SetText("KRMOrders");  // typed: no click, so not yet the current provider
  ui.SSTab1.ClickTab(kGeneralTab);
  EXPECT_EQ(control->CurrentDataProvider(), "") << "SaveGeneralState did not run";
  ui.SSTab1.ClickTab(kDRAVTab);
  EXPECT_EQ(control->CurrentDataProvider(), "KRMOrders") << "leaving the General tab saves it";
  EXPECT_EQ(ui.DRAV.FieldsList.ListCount(), 12);

  ui.DRAV.FieldsList.RemoveItem(0);
  const int created = components.CreatedCount();
  ui.SSTab1.ClickTab(kDRAVTab);
  EXPECT_EQ(components.CreatedCount(), created);
  EXPECT_EQ(ui.DRAV.FieldsList.ListCount(), 11);
}

TEST_F(LifecycleTest, AnotherProviderStartsTheProviderTabsOverWhenTheyAreEntered) {
  ChooseProviderAndEnter("KRMOrders", kDRAVTab);
  ProviderControls& drav = ui.DRAV;
  for (platform::ItemList* list : std::initializer_list<platform::ItemList*>{
           &drav.SelectedFieldsList, &drav.I18NFieldnamesList, &drav.I18NFieldValuesList}) {
    list->AddItem(" 1 - ORDERID");
  }
  drav.CriteriaGrid.SetTextMatrix(1, 1, "ORDERID");
  drav.CriteriaGrid.AddItem("\tCUSTOMERID\t==\t7");
  drav.KeyFieldValueText.SetText("42");

  // Entering again without a change leaves everything as it is.
  ui.SSTab1.ClickTab(kGeneralTab);
  ui.SSTab1.ClickTab(kDRAVTab);
  EXPECT_EQ(drav.SelectedFieldsList.ListCount(), 1);
  EXPECT_EQ(drav.KeyFieldValueText.Text(), "42");
  EXPECT_TRUE(drav.RemoveField.Enabled());

  ChooseProviderAndEnter("KRMCustomers", kDRAVTab);
  EXPECT_EQ(drav.FieldsList.Items(), (Items{"1 - CUSTOMERID", "2 - CITY", "3 - COUNTRY"}));
  EXPECT_EQ(drav.KeyFieldsCombo.Items(), (Items{"CUSTOMERID"}));
  EXPECT_EQ(drav.SelectedFieldsList.ListCount() + drav.I18NFieldnamesList.ListCount() +
                drav.I18NFieldValuesList.ListCount(),
            0);
  EXPECT_EQ(drav.KeyFieldValueText.Text(), "");
  EXPECT_EQ(drav.CriteriaGrid.Rows(), 3) << "the rows stay, their cells are emptied";
  for (std::int32_t cell = 0; cell < drav.CriteriaGrid.Rows() * kCriteriaColumns; ++cell) {
    const std::string expected = cell == 1 ? "Key" : cell == 3 ? "Value" : "";
    EXPECT_EQ(drav.CriteriaGrid.TextArray(cell), expected) << cell;
  }
  EXPECT_FALSE(drav.RemoveField.Enabled());

  // The EAI tab is started over only when it is entered.
  EXPECT_EQ(ui.EAI.DataProviderText.Text(), "");
  ui.SSTab1.ClickTab(kEAITab);
  EXPECT_EQ(ui.EAI.FieldsList.Items(), (Items{"Customer.ID", "Customer.City", "Customer.Country"}));
  EXPECT_TRUE(boxes.Prompts().empty());
}

TEST_F(LifecycleTest, PrepareGeneralTabFillsTheProviderCombosOnce) {
  ui.SSTab1.ClickTab(kEAITab);
  ui.SSTab1.ClickTab(kGeneralTab);
  control->PrepareGeneralTab();
  for (const platform::ComboBox* combo :
       {&ui.DataProvidersCombo, &ui.DRAV.LinkedDataProvidersCombo, &ui.EAI.LinkedDataProvidersCombo}) {
    EXPECT_EQ(combo->Items(), (Items{"KRMOrders", "KRMCustomers", "KRMArticles", "KRMStock"}))
        << combo->Name();
  }
}

TEST_F(LifecycleTest, ACatalogThatCannotBeCreatedIsTriedAgainOnTheNextEntry) {
  components.InjectFault(ComStep::Creation, platform::hr::REGDB_E_CLASSNOTREG);
  auto fresh = NewControl();
  EXPECT_EQ(boxes.Prompts(), (Items{"Error in 'PrepareGeneralTab': ActiveX component can't create object: "
                                    "Class not registered (429)"}));
  EditorForm& editor = fresh->Editor();
  EXPECT_EQ(editor.DataProvidersCombo.ListCount(), 0);
  EXPECT_EQ(editor.XSLFilenameText.Text(), "xsl/Generic.xsl") << "start-up went on";
  editor.SSTab1.ClickTab(kI18NTab);
  editor.SSTab1.ClickTab(kGeneralTab);
  EXPECT_EQ(editor.DataProvidersCombo.ListCount(), 4);
  EXPECT_EQ(boxes.Prompts().size(), 1u);
}

// A later fill of the combo keeps the provider a page holds: emptying the list empties the text.
TEST_F(LifecycleTest, ACatalogCreatedLateKeepsTheProviderTheComboShows) {
  components.InjectFault(ComStep::Creation, platform::hr::REGDB_E_CLASSNOTREG);
  auto fresh = NewControl();
  platform::MemoryPropertyBag bag;
  bag.WriteProperty("DataProvider", platform::Variant("KRMRetired"));
  ASSERT_TRUE(fresh->UserControl_ReadProperties(bag));
  fresh->Editor().SSTab1.ClickTab(kI18NTab);
  fresh->Editor().SSTab1.ClickTab(kGeneralTab);
  EXPECT_EQ(fresh->Editor().DataProvidersCombo.ListCount(), 4);
  EXPECT_EQ(fresh->Editor().DataProvidersCombo.Text(), "KRMRetired");
}

TEST_F(LifecycleTest, ACatalogThatCannotBeReadIsKeptAndNotAskedAgain) {
  PointAtCatalog(*registry, "/nonexistent/dataproviders.json");
  auto fresh = NewControl();
  EXPECT_EQ(boxes.Prompts(),
            (Items{"Error in 'PrepareGeneralTab': Data provider catalog cannot be read (-2147218941)"}));
  PointAtCatalog(*registry, std::string(TESSERY_TEST_DATA) + "/dataproviders.json");
  fresh->Editor().SSTab1.ClickTab(kEAITab);
  fresh->Editor().SSTab1.ClickTab(kGeneralTab);
  EXPECT_EQ(fresh->Editor().DataProvidersCombo.ListCount(), 0);
}

TEST_F(LifecycleTest, AProviderWithoutADefinitionLeavesTheTabPartlyFilledAndTheEditorUsable) {
  ChooseProviderAndEnter("KRMOrders", kDRAVTab);
  ChooseProviderAndEnter("KRMStock", kDRAVTab);
  EXPECT_EQ(boxes.Prompts(), (Items{"Error in 'PrepareDRAVTab': Data provider not found (-2147218943)"}));
  EXPECT_EQ(ui.DRAV.DataProviderText.Text(), "KRMStock");
  EXPECT_EQ(ui.DRAV.FieldsList.ListCount(), 0);
  EXPECT_EQ(ui.DRAV.KeyFieldsCombo.Items(), (Items{"ORDERID", "CUSTOMERID"})) << "step 4 never ran";

  ui.SSTab1.ClickTab(kGeneralTab);
  ui.SSTab1.ClickTab(kDRAVTab);
  EXPECT_EQ(boxes.Prompts().size(), 1u) << "not tried again until the provider changes";
  ui.SSTab1.ClickTab(kEAITab);
  EXPECT_EQ(ui.EAI.FieldsList.Items(), (Items{"Stock.Article", "Stock.Quantity"}));
}

TEST_F(LifecycleTest, ASourceThatCannotBeCreatedIsReported) {
  components.InjectFault(ComStep::ClassObject, platform::hr::CO_E_DLLNOTFOUND);
  ChooseProviderAndEnter("KRMOrders", kEAITab);
  ASSERT_EQ(boxes.Prompts().size(), 1u);
  EXPECT_EQ(boxes.Prompts()[0].rfind("Error in 'PrepareEAITab': ActiveX component can't create object: ", 0),
            0u);
  EXPECT_EQ(ui.EAI.DataProviderText.Text(), "KRMOrders");
}

TEST_F(LifecycleTest, SetKeyValuePreparesTheTabOfItsKind) {
  ui.DataProvidersCombo.SetListIndex(1);
  std::int16_t tab = static_cast<std::int16_t>(ProviderKind::EAI), row = 1;
  std::string value = "7", script;
  SpecificationType type = CONSTANT;
  control->SetKeyValue(tab, row, value, script, type);
  EXPECT_EQ(ui.EAI.FieldsList.ListCount(), 3);
  EXPECT_EQ(ui.EAI.CriteriaGrid.TextMatrix(1, 3), "") << "the new provider starts the grid over";
}

TEST_F(LifecycleTest, PrepareI18NTabDropsTranslationsOfATabNotYetStartedOver) {
  ChooseProviderAndEnter("KRMOrders", kDRAVTab);
  for (ProviderKind kind : kProviderKinds) ui.Side(kind).I18NFieldnamesList.AddItem("x");
  ui.SSTab1.ClickTab(kI18NTab);
  EXPECT_EQ(ui.I18NDataProviderText.Text(), "KRMOrders");
  EXPECT_EQ(ui.DRAV.I18NFieldnamesList.ListCount(), 1) << "the DRAV tab has this provider";
  EXPECT_EQ(ui.EAI.I18NFieldnamesList.ListCount(), 0) << "the EAI tab still shows the old one";
}

TEST_F(LifecycleTest, UpdatesWithoutALinkedProviderChangeNothing) {
  for (ProviderKind kind : kProviderKinds) {
    ProviderControls& side = ui.Side(kind);
    side.LinkedFieldsList.AddItem("kept");
    side.SelectedLinkedFieldsList.AddItem("kept");
    side.ToLinkFieldsCombo.AddItem("kept");
    side.AddLinkedField.SetEnabled(false);
    side.RemoveLinkedField.SetEnabled(true);
  }
  const int created = components.CreatedCount();
  control->UpdateDRAVLinkTab();
  control->UpdateEAILinkTab();
  ui.SSTab1.ClickTab(kEAILinkTab);
  ui.SSTab1.ClickTab(kDRAVLinkTab);
  EXPECT_EQ(components.CreatedCount(), created);
  for (ProviderKind kind : kProviderKinds) {
    const ProviderControls& side = ui.Side(kind);
    EXPECT_EQ(side.LinkedFieldsList.ListCount() + side.SelectedLinkedFieldsList.ListCount() +
                  side.ToLinkFieldsCombo.ListCount(),
              3);
    EXPECT_FALSE(side.AddLinkedField.Enabled());
    EXPECT_TRUE(side.RemoveLinkedField.Enabled());
  }
}

TEST_F(LifecycleTest, EnteringALinkTabKeepsTheSelectedLinkedFields) {
  platform::MemoryPropertyBag bag;
  bag.WriteProperty("LinkedDataProvider", platform::Variant("KRMCustomers"));
  bag.WriteProperty("NrOfSelectedDRAVLinkedFields", platform::Variant(std::int16_t{1}));
  bag.WriteProperty("DRAVSelectedLinkedFields0", platform::Variant("2 - CITY"));
  auto loaded = NewControl();
  ASSERT_TRUE(loaded->UserControl_ReadProperties(bag));
  EditorForm& editor = loaded->Editor();
  editor.SSTab1.ClickTab(kDRAVLinkTab);
  EXPECT_EQ(editor.DRAV.SelectedLinkedFieldsList.Items(), (Items{"2 - CITY"}));

  // A provider the combos do not offer is kept as their text: the tab finds it in effect, asks it
  // for nothing and keeps the fields; the designer saw only the load's note.
  platform::MemoryPropertyBag retired;
  retired.WriteProperty("LinkedDataProvider", platform::Variant("KRMRetired"));
  retired.WriteProperty("NrOfSelectedEAILinkedFields", platform::Variant(std::int16_t{1}));
  retired.WriteProperty("EAISelectedLinkedFields0", platform::Variant("Stock.Gone"));
  auto other = NewControl();
  ASSERT_TRUE(other->UserControl_ReadProperties(retired));
  other->Editor().SSTab1.ClickTab(kEAILinkTab);
  EXPECT_EQ(other->Editor().EAI.SelectedLinkedFieldsList.Items(), (Items{"Stock.Gone"}));
  EXPECT_EQ(
      boxes.Prompts(),
      (Items{"Data provider 'KRMRetired' is not installed; the page keeps it until another one is chosen"}));
}

TEST_F(LifecycleTest, AKeyOnTheControlItselfShowsAMessage) {
  std::int16_t key = 'x';
  ui.form.KeyPress.Raise(key);
  EXPECT_EQ(boxes.Prompts(), (Items{"keypress"}));
}

}  // namespace
}  // namespace dtc::testing
