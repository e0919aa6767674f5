// Saving and loading the configuration: what the stored pages of live sites depend on.
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "PageTextFixture.h"
#include "platform/PropertyBagFile.h"
#include "support/TempFolder.h"

namespace dtc::testing {
namespace {

using platform::MemoryPropertyBag;
using platform::Variant;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A bag's names and values as its file stores them, in name order: what makes two bags the same to
// a page (a count saved as Integer reads back from the file as Long).
std::map<std::string, std::string> Stored(const MemoryPropertyBag& bag) {
  std::map<std::string, std::string> stored;
  for (const auto& [name, value] : bag.Entries()) {
    MemoryPropertyBag one;
    one.WriteProperty(name, value);
    stored[name] = platform::FormatPropertyBagJson(one);
  }
  return stored;
}

// ---- whole configurations ----

TEST_F(ControlTest, EveryItemOfAFullConfigurationSurvivesSaveAndLoad) {
  auto original = NewControl();
  original->UserControl_InitProperties();
  BuildSampleConfiguration(*original);
  const std::string before = DescribeConfiguration(*original);

  MemoryPropertyBag saved;
  ASSERT_TRUE(original->UserControl_WriteProperties(saved));
  EXPECT_EQ(DescribeConfiguration(*original), before) << "save must not change the configuration";

  // Through the JSON form a page stores.
  MemoryPropertyBag reread = platform::ParsePropertyBagJson(platform::FormatPropertyBagJson(saved));
  auto loaded = NewControl();
  ASSERT_TRUE(loaded->UserControl_ReadProperties(reread));
  EXPECT_EQ(DescribeConfiguration(*loaded), before);
  EXPECT_TRUE(boxes.Messages().empty()) << boxes.Prompts().front();

  // The sample holds digit keys that would collide with entry names, selections, links and scripts.
  EXPECT_EQ(loaded->CriteriaTypes(ProviderKind::EAI).Find("2")->ToLong(), CONSTANT);
  EXPECT_EQ(loaded->UserDefinedScripts()->Find("LastOrder")->ToString(),
            "Function LastOrder()\r\n\tLastOrder = Session(\"LastOrder\")\r\nEnd Function");
  EXPECT_EQ(loaded->LinkedProviderName(), "KRMCustomers");
  EXPECT_EQ(loaded->CurrentDataProvider(), "KRMOrders");
}

TEST_F(ControlTest, SmallConfigurationIsStoredUnderTheFixedNames) {
  auto control = NewControl();
  control->UserControl_InitProperties();
  EditorForm& ui = control->Editor();
  ui.DataProvidersCombo.SetListIndex(0);
  ui.DRAV.DataProviderText.SetText("KRMOrders");  // the DRAV tab shows this provider already
  ui.DRAV.SelectedFieldsList.AddItem(" 1 - ORDERID");
  ui.DRAV.I18NFieldnamesList.AddItem(" 1 - ORDERID");
  ui.DRAV.I18NFieldnamesList.SetSelected(0, true);
  ui.DRAV.KeyFieldsCombo.AddItem("ORDERID");
  ui.DRAV.CriteriaGrid.SetTextMatrix(1, 1, "ORDERID");
  ui.DRAV.CriteriaGrid.SetTextMatrix(1, 2, "0");
  std::int16_t tab = 2, row = 1;
  std::string value = "Today", script = "Function Today()\r\nEnd Function";
  SpecificationType type = USERSCRIPT;
  control->SetKeyValue(tab, row, value, script, type);
  ui.DRAV.CriteriaGrid.AddItem("");
  ui.IncludeASPList.AddItem("include/a.asp");
  ui.EnableExtraFiltersCheck.SetValue(1);

  MemoryPropertyBag bag;
  ASSERT_TRUE(control->UserControl_WriteProperties(bag));
  EXPECT_EQ(platform::FormatPropertyBagJson(bag), ReadFile(TESSERY_TEST_DATA "/small_bag.json"));
}

// Every golden bag, opened and saved unchanged where the catalog lists none of its providers, comes
// back the same, and its page names the stored providers.
TEST_F(PageTextTest, GoldenBagsComeBackUnchangedWhenTheCatalogLacksTheirProviders) {
  const testsupport::TempFolder folder;
  PointAtCatalog(*registry, folder.Put("dataproviders.json", R"({ "providers": [] })").string());
  PutTemplate("NewDataProvider(\"<DATAPROVIDER>\")\r\nNewDataProvider(\"<LINKED_DATAPROVIDER>\")\r\n");
  std::vector<std::filesystem::path> golden;
  for (const char* goldenFolder : {TESSERY_TEST_DATA, TESSERY_DEMO_PAGES}) {
    for (const auto& entry : std::filesystem::directory_iterator(goldenFolder)) {
      const std::filesystem::path& file = entry.path();
      if (file.extension() == ".json" && file.filename() != "dataproviders.json") golden.push_back(file);
    }
  }
  ASSERT_GE(golden.size(), 2u);
  for (const std::filesystem::path& file : golden) {
    SCOPED_TRACE(file.string());
    MemoryPropertyBag bag = platform::ReadPropertyBagFile(file);
    auto page = NewControl();
    ASSERT_EQ(page->Editor().DataProvidersCombo.ListCount(), 0);
    ASSERT_TRUE(page->UserControl_ReadProperties(bag));
    MemoryPropertyBag saved;
    ASSERT_TRUE(page->UserControl_WriteProperties(saved));
    EXPECT_EQ(Stored(saved), Stored(bag));
    std::string text;
    ASSERT_TRUE(page->GetRuntimeText(text));
    EXPECT_EQ(text, "NewDataProvider(\"" + bag.ReadProperty("DataProvider", Variant("")).ToString() +
                        "\")\r\nNewDataProvider(\"" +
                        bag.ReadProperty("LinkedDataProvider", Variant("")).ToString() + "\")\r\n");
  }
}

TEST_F(ControlTest, NewControlSavedWithoutEditsLoadsAsNew) {
  auto fresh = NewControl();
  fresh->UserControl_InitProperties();
  auto loaded = RoundTrip(*fresh);
  EXPECT_EQ(DescribeConfiguration(*loaded), DescribeConfiguration(*fresh));
  EXPECT_EQ(loaded->Editor().XSLFilenameText.Text(), "xsl/Generic.xsl");
  EXPECT_EQ(loaded->Editor().DRAV.CriteriaGrid.Rows(), 2);
  EXPECT_EQ(loaded->Editor().EAI.LinksGrid.Rows(), 2);
}

// ---- element texts, counts and defaults ----

TEST_F(ControlTest, ElementTextZeroIsNotStoredButReadsBackAndEmptyIsStored) {
  auto control = NewControl();
  control->Editor().DRAV.FieldsList.AddItem("0");
  control->Editor().DRAV.FieldsList.AddItem("");
  MemoryPropertyBag bag;
  ASSERT_TRUE(control->UserControl_WriteProperties(bag));
  EXPECT_FALSE(bag.Contains("DRAVAvailableFields0"));
  EXPECT_TRUE(bag.Contains("DRAVAvailableFields1"));

  auto loaded = NewControl();
  ASSERT_TRUE(loaded->UserControl_ReadProperties(bag));
  EXPECT_EQ(loaded->Editor().DRAV.FieldsList.Items(), (std::vector<std::string>{"0", ""}));
}

TEST_F(ControlTest, ReturnFieldsReappearInTranslationListsAndFromCombos) {
  MemoryPropertyBag bag;
  bag.WriteProperty("EAIReturnFieldCount", Variant(2));
  bag.WriteProperty("EAIReturnFields0", Variant("Order.Number"));
  bag.WriteProperty("EAIReturnFields1", Variant("Order.Date"));
  auto control = NewControl();
  ASSERT_TRUE(control->UserControl_ReadProperties(bag));
  const ProviderControls& eai = control->Editor().EAI;
  const std::vector<std::string> expected{"Order.Number", "Order.Date"};
  EXPECT_EQ(eai.SelectedFieldsList.Items(), expected);
  EXPECT_EQ(eai.I18NFieldnamesList.Items(), expected);
  EXPECT_EQ(eai.I18NFieldValuesList.Items(), expected);
  EXPECT_EQ(eai.FromLinkFieldsCombo.Items(), expected);
  EXPECT_TRUE(control->Editor().DRAV.FromLinkFieldsCombo.Items().empty());
}

TEST_F(ControlTest, CountsAreStoredAsTheFormatDefinesThem) {
  auto control = NewControl();
  EditorForm& ui = control->Editor();
  ui.DRAV.CriteriaGrid.AddItem("");
  ui.DRAV.CriteriaGrid.AddItem("");  // header, two criteria, entry row
  ui.DRAV.CriteriaGrid.SetTextMatrix(3, 4, "x");
  ui.DRAV.I18NFieldnamesList.AddItem("a");
  ui.DRAV.I18NFieldnamesList.AddItem("b");
  ui.DRAV.I18NFieldnamesList.SetSelected(1, true);
  MemoryPropertyBag bag;
  ASSERT_TRUE(control->UserControl_WriteProperties(bag));
  EXPECT_EQ(bag.ReadProperty("DRAVCriteriaCount").ToLong(), 4);
  EXPECT_TRUE(bag.Contains("DRAVCriteria3_4"));
  EXPECT_FALSE(bag.Contains("DRAVCriteria4_1"));
  EXPECT_EQ(bag.ReadProperty("NrOfDRAVI18NFieldnames").ToLong(), 1) << "the stored count is the selection's";
  EXPECT_EQ(bag.ReadProperty("DRAVI18NFieldnames0").ToString(), "b");
  EXPECT_EQ(control->GetProperty("NrOfDRAVI18NFieldnames").ToLong(), 2) << "the property counts all items";

  auto loaded = NewControl();
  ASSERT_TRUE(loaded->UserControl_ReadProperties(bag));
  EXPECT_EQ(loaded->Editor().DRAV.CriteriaGrid.Rows(), 4);
}

// ---- the data provider and the linked provider ----

TEST_F(ControlTest, ProviderThatIsNoLongerOfferedIsShownButNotChosen) {
  MemoryPropertyBag bag;
  bag.WriteProperty("DataProvider", Variant("KRMRetired"));
  auto control = NewControl();
  ASSERT_TRUE(control->UserControl_ReadProperties(bag));
  EXPECT_EQ(control->Editor().DRAV.DataProviderText.Text(), "KRMRetired");
  EXPECT_EQ(control->Editor().EAI.DataProviderText.Text(), "KRMRetired");
  EXPECT_EQ(control->Editor().DataProvidersCombo.ListIndex(), -1);
  EXPECT_EQ(control->CurrentDataProvider(), "");

  MemoryPropertyBag offered;
  offered.WriteProperty("DataProvider", Variant("KRMArticles"));
  auto chosen = NewControl();
  ASSERT_TRUE(chosen->UserControl_ReadProperties(offered));
  EXPECT_EQ(chosen->CurrentDataProvider(), "KRMArticles");
}

// The catalog no longer lists the page's providers: they stay the combos' texts and the designer
// is told once per name; looking at every tab fetches nothing and clears nothing, so the bag comes
// back as it was; choosing other providers replaces them.
TEST_F(ControlTest, ProvidersTheCatalogLacksAreKeptUntilOthersAreChosen) {
  MemoryPropertyBag bag = platform::ParsePropertyBagJson(R"({
    "DRAVReturnFields0": " 1 - ORDERID", "DRAVCriteriaCount": 2, "EAICriteriaCount": 2,
    "DRAVReturnFieldCount": 1, "DataProvider": "KRMRetired", "EAIAvailableFieldsCount": 1,
    "EAIAvailableFields0": "Order.Gone", "LinkedDataProvider": "KRMGone",
    "NrOfDRAVAvailableFieldsLinked": 1, "DRAVAvailableFieldsLinked0": "1 - GONEID",
    "DRAVLinkFromFields1": "", "DRAVLinkToFields1": "", "EAILinkFromFields1": "", "EAILinkToFields1": ""})");
  auto control = NewControl();
  EditorForm& ui = control->Editor();
  ASSERT_TRUE(control->UserControl_ReadProperties(bag));
  EXPECT_EQ(boxes.Prompts(),
            (std::vector<std::string>{
                "Data provider 'KRMRetired' is not installed; the page keeps it until another one is chosen",
                "Data provider 'KRMGone' is not installed; the page keeps it until another one is chosen"}));
  EXPECT_EQ(ui.DataProvidersCombo.Text(), "KRMRetired");
  EXPECT_EQ(ui.DataProvidersCombo.ListCount(), 4) << "the list stays the catalog's";
  for (ProviderKind kind : kProviderKinds) {
    EXPECT_EQ(ui.Side(kind).LinkedDataProvidersCombo.Text(), "KRMGone");
    EXPECT_EQ(ui.Side(kind).LinkedDataProvidersCombo.ListIndex(), -1);
  }

  boxes.Clear();
  const int created = components.CreatedCount();
  for (EditorTab tab : {kDRAVTab, kEAITab, kI18NTab, kEAILinkTab, kDRAVLinkTab, kGeneralTab})
    ui.SSTab1.ClickTab(tab);
  EXPECT_EQ(components.CreatedCount(), created) << "no provider was asked for fields";
  EXPECT_TRUE(boxes.Messages().empty()) << boxes.Prompts().front();
  MemoryPropertyBag saved;
  ASSERT_TRUE(control->UserControl_WriteProperties(saved));
  EXPECT_EQ(Stored(saved), Stored(bag));

  MemoryPropertyBag same;  // one name for both providers: told once
  same.WriteProperty("DataProvider", Variant("KRMRetired"));
  same.WriteProperty("LinkedDataProvider", Variant("KRMRetired"));
  ASSERT_TRUE(NewControl()->UserControl_ReadProperties(same));
  EXPECT_EQ(boxes.Prompts().size(), 1u);

  ui.DataProvidersCombo.SetListIndex(0);
  ui.SSTab1.ClickTab(kDRAVLinkTab);
  ui.DRAV.LinkedDataProvidersCombo.SetListIndex(1);
  MemoryPropertyBag replaced;
  ASSERT_TRUE(control->UserControl_WriteProperties(replaced));
  EXPECT_EQ(replaced.ReadProperty("DataProvider"), Variant("KRMOrders"));
  EXPECT_EQ(replaced.ReadProperty("LinkedDataProvider"), Variant("KRMCustomers"));
}

TEST_F(ControlTest, LinkedProviderSelectsBothCombosWithoutRefillingTheLinkTabs) {
  MemoryPropertyBag bag;
  bag.WriteProperty("LinkedDataProvider", Variant("KRMCustomers"));
  auto control = NewControl();
  const int created = components.CreatedCount();
  ASSERT_TRUE(control->UserControl_ReadProperties(bag));
  EXPECT_EQ(control->LinkedProviderName(), "KRMCustomers");
  EXPECT_EQ(control->Editor().DRAV.LinkedDataProvidersCombo.ListIndex(), 1);
  EXPECT_EQ(control->Editor().EAI.LinkedDataProvidersCombo.ListIndex(), 1);
  EXPECT_EQ(components.CreatedCount(), created) << "the combos' click finds the provider unchanged";
  EXPECT_EQ(control->Editor().DRAV.LinkedFieldsList.ListCount(), 0);
}

// ---- translation selections ----

TEST_F(ControlTest, StoredSelectionsOnlyMarkFieldsThatAreStillReturnFields) {
  MemoryPropertyBag bag;
  bag.WriteProperty("DRAVReturnFieldCount", Variant(3));
  bag.WriteProperty("DRAVReturnFields0", Variant("1 - A"));
  bag.WriteProperty("DRAVReturnFields1", Variant("2 - B"));
  bag.WriteProperty("DRAVReturnFields2", Variant("1 - A"));
  bag.WriteProperty("NrOfDRAVI18NFieldValues", Variant(2));
  bag.WriteProperty("DRAVI18NFieldValues0", Variant("1 - A"));
  bag.WriteProperty("DRAVI18NFieldValues1", Variant("9 - GONE"));
  auto control = NewControl();
  ASSERT_TRUE(control->UserControl_ReadProperties(bag));
  const platform::ListBox& values = control->Editor().DRAV.I18NFieldValuesList;
  EXPECT_TRUE(values.Selected(0));
  EXPECT_FALSE(values.Selected(1));
  EXPECT_TRUE(values.Selected(2));
  EXPECT_EQ(control->Editor().DRAV.I18NFieldnamesList.SelCount(), 0);
}

// ---- value kinds and scripts ----

TEST_F(ControlTest, ValueKindsAreReadForCriteriaRowsOnly) {
  MemoryPropertyBag bag;
  bag.WriteProperty("DRAVCriteriaCount", Variant(3));  // two rows: entries 1 and 2 are read
  bag.WriteProperty("DRAVCriteriaType1", Variant(""));
  bag.WriteProperty("DRAVCriteriaType2", Variant("GetID()"));
  bag.WriteProperty("DRAVCriteriaType3", Variant("Beyond"));
  bag.WriteProperty("DRAVCriteriaTypeBeyond", Variant(1));
  auto control = NewControl();
  ASSERT_TRUE(control->UserControl_ReadProperties(bag));
  const platform::Dictionary& types = control->CriteriaTypes(ProviderKind::DRAV);
  ASSERT_EQ(types.Count(), 1) << "an empty key is skipped and entry 3 lies beyond the rows";
  EXPECT_EQ(types.Find("GetID()")->ToLong(), CONSTANT) << "a kind that was not stored";
}

TEST_F(ControlTest, DuplicateMapKeysStopTheLoadAtTheSecondEntry) {
  MemoryPropertyBag bag;
  bag.WriteProperty("EnableExtraFilters", Variant(1));
  bag.WriteProperty("NrOfUserDefinedScripts", Variant(2));
  bag.WriteProperty("UserDefinedScript1", Variant("Twice"));
  bag.WriteProperty("UserDefinedScript2", Variant("Twice"));
  bag.WriteProperty("NrOfExtraIncludes", Variant(1));
  bag.WriteProperty("ExtraIncludes0", Variant("include/late.asp"));
  bag.WriteProperty("XSLFilename", Variant("xsl/Late.xsl"));
  auto control = NewControl();
  EXPECT_FALSE(control->UserControl_ReadProperties(bag));
  EXPECT_EQ(boxes.Prompts(),
            (std::vector<std::string>{
                "Error in 'UserControl_ReadProperties': This key is already associated with an "
                "element of this collection (457)"}));
  EXPECT_EQ(control->Editor().EnableExtraFiltersCheck.Value(), 1) << "what came before the fault stays";
  EXPECT_EQ(control->UserDefinedScripts()->Count(), 1);
  EXPECT_EQ(control->Editor().IncludeASPList.ListCount(), 0) << "nothing after the fault is loaded";
  EXPECT_EQ(control->Editor().XSLFilenameText.Text(), "xsl/Generic.xsl");
}

// Map keys made of digits coincide with entry names; they are kept apart and bags written with
// plain value names keep loading.
TEST_F(ControlTest, DigitKeysNeverCollideWithEntryNames) {
  auto control = NewControl();
  auto scripts = std::make_shared<platform::Dictionary>();
  for (const char* key : {"2", "1", "", "007", "10", "x"})
    scripts->Add(key, Variant(std::string("script ") + key));
  for (const char* key : {"2", "1", "007", "10", "x"}) {
    control->CriteriaTypes(ProviderKind::DRAV).Add(key, Variant(std::int32_t{USERSCRIPT}));
  }
  control->CriteriaTypes(ProviderKind::EAI).Add("1", Variant(std::int32_t{CONSTANT}));
  control->LetUserDefinedScripts(scripts);
  control->LetProperty("NrOfUserDefinedScripts", std::nullopt, Variant(std::int16_t{6}));
  for (int i = 0; i < 6; ++i) control->Editor().DRAV.CriteriaGrid.AddItem("");
  control->Editor().EAI.CriteriaGrid.AddItem("");

  MemoryPropertyBag bag;
  ASSERT_TRUE(control->UserControl_WriteProperties(bag));
  EXPECT_EQ(bag.ReadProperty("#DRAVCriteriaType2"), Variant(std::int32_t{USERSCRIPT}));
  EXPECT_EQ(bag.ReadProperty("DRAVCriteriaType2"), Variant("1")) << "entry 2 keeps its key";
  EXPECT_TRUE(bag.Contains("DRAVCriteriaType10")) << "beyond every entry read: the ordinary name";
  EXPECT_TRUE(bag.Contains("#EAICriteriaType1")) << "stored apart even when equal to its write default";
  EXPECT_EQ(bag.ReadProperty("#UserDefinedScript1"), Variant("script 1"));
  EXPECT_TRUE(bag.Contains("UserDefinedScript007"));

  auto loaded = NewControl();
  ASSERT_TRUE(loaded->UserControl_ReadProperties(bag));
  EXPECT_EQ(DescribeConfiguration(*loaded), DescribeConfiguration(*control));
  EXPECT_TRUE(boxes.Messages().empty());

  MemoryPropertyBag older;  // a key "5" beyond the entry numbers, value under the plain name
  older.WriteProperty("DRAVCriteriaCount", Variant(3));
  older.WriteProperty("DRAVCriteriaType1", Variant("5"));
  older.WriteProperty("DRAVCriteriaType5", Variant(2));
  auto fromOlder = NewControl();
  ASSERT_TRUE(fromOlder->UserControl_ReadProperties(older));
  EXPECT_EQ(fromOlder->CriteriaTypes(ProviderKind::DRAV).Find("5")->ToLong(), USERSCRIPT);
}

// ---- links grids ----

TEST_F(ControlTest, LinksGridRowsAndCountsFollowTheFormat) {
  auto empty = NewControl();
  MemoryPropertyBag bag;
  ASSERT_TRUE(empty->UserControl_WriteProperties(bag));
  EXPECT_FALSE(bag.Contains("NrOfLinkedDRAVFields")) << "one row is the count's write default";

  auto twoRows = NewControl();
  platform::FlexGrid& grid = twoRows->Editor().DRAV.LinksGrid;
  grid.SetTextMatrix(1, 1, "1 - A");
  grid.SetTextMatrix(1, 2, "ID");
  grid.AddItem("");
  MemoryPropertyBag stored;
  ASSERT_TRUE(twoRows->UserControl_WriteProperties(stored));
  EXPECT_EQ(stored.ReadProperty("NrOfLinkedDRAVFields").ToLong(), 2);
  auto loaded = NewControl();
  ASSERT_TRUE(loaded->UserControl_ReadProperties(stored));
  EXPECT_EQ(loaded->Editor().DRAV.LinksGrid.Rows(), 3);
  EXPECT_EQ(loaded->Editor().DRAV.LinksGrid.TextMatrix(1, 1), "1 - A");
}

TEST_F(ControlTest, LinkInTheOnlyRowIsNotLost) {
  for (ProviderKind kind : kProviderKinds) {
    auto control = NewControl();
    platform::FlexGrid& grid = control->Editor().Side(kind).LinksGrid;
    grid.SetTextMatrix(1, 1, "Order.Customer");
    grid.SetTextMatrix(1, 2, "0");  // a text equal to the cells' write default
    auto loaded = RoundTrip(*control);
    const platform::FlexGrid& back = loaded->Editor().Side(kind).LinksGrid;
    EXPECT_EQ(back.Rows(), 2);
    EXPECT_EQ(back.TextMatrix(1, 1), "Order.Customer") << KindPrefix(kind);
    EXPECT_EQ(back.TextMatrix(1, 2), "0") << KindPrefix(kind);
  }

  MemoryPropertyBag none;  // a bag without link entries loads an empty row
  auto control = NewControl();
  ASSERT_TRUE(control->UserControl_ReadProperties(none));
  for (ProviderKind kind : kProviderKinds) {
    EXPECT_EQ(control->Editor().Side(kind).LinksGrid.TextMatrix(1, 1), "");
    EXPECT_EQ(control->Editor().Side(kind).LinksGrid.TextMatrix(1, 2), "");
  }
}

// ---- faults ----

TEST_F(ControlTest, ValueOfTheWrongTypeStopsTheLoadWithItsMessage) {
  MemoryPropertyBag bag;
  bag.WriteProperty("DataProvider", Variant("KRMOrders"));
  bag.WriteProperty("DRAVReturnFieldCount", Variant("many"));
  auto control = NewControl();
  EXPECT_FALSE(control->UserControl_ReadProperties(bag));
  EXPECT_EQ(boxes.Prompts(),
            (std::vector<std::string>{"Error in 'UserControl_ReadProperties': Type mismatch (13)"}));
  EXPECT_EQ(control->CurrentDataProvider(), "KRMOrders");

  boxes.Clear();
  MemoryPropertyBag huge;
  huge.WriteProperty("EAIReturnFieldCount", Variant(40000));
  EXPECT_FALSE(NewControl()->UserControl_ReadProperties(huge));
  EXPECT_EQ(boxes.Prompts(),
            (std::vector<std::string>{"Error in 'UserControl_ReadProperties': Overflow (6)"}));
}

// A links count of the largest Long overflowed when the grid's entry row was added to it (the
// property-bag fuzz target's corpus keeps that bag as seed-links-count-overflow).
TEST_F(ControlTest, LinksCountsThatLeaveNoRoomForTheGridStopTheLoad) {
  const auto loadWithLinks = [&](const Variant& count) {
    boxes.Clear();
    MemoryPropertyBag bag;
    bag.WriteProperty("NrOfLinkedEAIFields", count);
    EXPECT_FALSE(NewControl()->UserControl_ReadProperties(bag));
    return boxes.Prompts();
  };
  EXPECT_EQ(loadWithLinks(Variant(std::int32_t{2147483647})),
            (std::vector<std::string>{"Error in 'UserControl_ReadProperties': Overflow (6)"}));
  EXPECT_EQ(loadWithLinks(Variant("2147483646")),
            (std::vector<std::string>{"Error in 'UserControl_ReadProperties': Invalid property value (380)"}))
      << "a grid of that many rows cannot be addressed";
  EXPECT_EQ(
      loadWithLinks(Variant(std::int32_t{0})),
      (std::vector<std::string>{"Error in 'UserControl_ReadProperties': Invalid property value (380)"}));
}

TEST_F(ControlTest, BagThatCouldNotBeReadIsReportedByLoad) {
  platform::FailingPropertyBag bag(
      platform::Error(platform::err::BadPropertyBag, "duplicate property name 'X'"));
  auto control = NewControl();
  EXPECT_FALSE(control->UserControl_ReadProperties(bag));
  ASSERT_EQ(boxes.Messages().size(), 1u);
  EXPECT_EQ(boxes.Messages()[0].prompt,
            "Error in 'UserControl_ReadProperties': duplicate property name 'X' (" +
                std::to_string(platform::err::BadPropertyBag) + ")");
}

TEST_F(ControlTest, SaveStopsAtTheFirstErrorAndKeepsWhatItStored) {
  auto control = NewControl();
  for (int i = 0; i < 32768; ++i) control->Editor().EAI.SelectedFieldsList.AddItem("f");
  MemoryPropertyBag bag;
  EXPECT_FALSE(control->UserControl_WriteProperties(bag));
  EXPECT_EQ(boxes.Prompts(),
            (std::vector<std::string>{"Error in 'UserControl_WriteProperties': Overflow (6)"}));
  EXPECT_TRUE(bag.Contains("EAIReturnFields32767")) << "items come before their count";
  EXPECT_FALSE(bag.Contains("DataProvider"));
}

}  // namespace
}  // namespace dtc::testing
