// The General tab: provider choice, extra filters, the include list, the browse buttons with
// SiteRelativePath, and the "Save" button.
#include "ControlFixture.h"
#include "dtc/GeneralTab.h"

namespace dtc::testing {
namespace {

using Items = std::vector<std::string>;

constexpr char kInstallKey[] = "SOFTWARE\\Tessery\\Tessery Corvane";

class GeneralTabTest : public ControlTest {
 protected:
  GeneralTabTest() {
    EXPECT_EQ(registry->CreateKey(platform::RootKey::LocalMachine, kInstallKey), 0);
    EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, kInstallKey, "InstallDir",
                                 platform::RegistryValue::String("c:\\Tessery\\Site")),
              0);
    control = NewControl();
  }
  EditorForm& Ui() { return control->Editor(); }
  void AddInclude(const std::string& text) {
    Ui().IncludeASPText.SetText(text);
    Ui().IncludeASPAddCommand.Click.Raise();
  }

  std::unique_ptr<HeaderDTC> control;
};

TEST(SiteRelativePathTest, BelowTheRootOnlyWithoutRegardToCase) {
  EXPECT_EQ(SiteRelativePath("C:\\SITE\\inc\\a.asp", "C:\\SITE\\"), "inc/a.asp");
  EXPECT_EQ(SiteRelativePath("c:\\Site\\xsl\\Orders.xsl", "C:\\SITE\\"), "xsl/Orders.xsl")
      << "only the path is upper-cased";
  EXPECT_EQ(SiteRelativePath("C:\\SITE2\\a.asp", "C:\\SITE\\"), std::nullopt);
  EXPECT_EQ(SiteRelativePath("C:\\SIT", "C:\\SITE\\"), std::nullopt) << "shorter than the root";
  EXPECT_EQ(SiteRelativePath("C:\\SITE\\", "C:\\SITE\\"), "");
  EXPECT_EQ(SiteRelativePath("D:\\other\\b.asp", ""), "D:/other/b.asp") << "an empty root takes every file";
}

TEST_F(GeneralTabTest, IncludeAddKeepsDistinctTextsAndReportsTheChange) {
  AddInclude("inc/a.asp");
  AddInclude("INC/A.asp");
  AddInclude(" inc/a.asp");
  EXPECT_EQ(Ui().IncludeASPList.Items(), (Items{"inc/a.asp", "INC/A.asp", " inc/a.asp"}));
  EXPECT_EQ(container.Changed(), (Items{"ExtraIncludes", "ExtraIncludes", "ExtraIncludes"}));
  EXPECT_EQ(Ui().IncludeASPText.Text(), "");

  container.Clear();
  AddInclude("inc/a.asp");
  EXPECT_EQ(boxes.Prompts(), (Items{"ASP already included"}));
  EXPECT_EQ(Ui().IncludeASPText.Text(), "") << "emptied after the message too";
  EXPECT_TRUE(container.Changed().empty());

  AddInclude("   ");
  EXPECT_EQ(Ui().IncludeASPText.Text(), "   ") << "blank text: nothing happens";
  EXPECT_EQ(Ui().IncludeASPList.ListCount(), 3);
}

TEST_F(GeneralTabTest, IncludeDeleteSelectsTheNextItemAndEmptiesTheText) {
  platform::ListBox& list = Ui().IncludeASPList;
  for (const char* item : {"a.asp", "b.asp", "c.asp"}) AddInclude(item);
  container.Clear();

  Ui().IncludeASPDeleteCommand.Click.Raise();  // nothing selected
  EXPECT_EQ(list.ListCount(), 3);
  EXPECT_TRUE(container.Changed().empty());

  list.SetListIndex(1);
  EXPECT_EQ(Ui().IncludeASPText.Text(), "b.asp") << "the list click fills the text box";
  Ui().IncludeASPDeleteCommand.Click.Raise();
  EXPECT_EQ(list.Items(), (Items{"a.asp", "c.asp"}));
  EXPECT_EQ(list.ListIndex(), 1);
  EXPECT_EQ(Ui().IncludeASPText.Text(), "");

  Ui().IncludeASPDeleteCommand.Click.Raise();  // the last item of a longer list
  EXPECT_EQ(list.Items(), (Items{"a.asp"}));
  EXPECT_EQ(list.ListIndex(), 0) << "the first item is selected";
  EXPECT_EQ(Ui().IncludeASPText.Text(), "");

  Ui().IncludeASPDeleteCommand.Click.Raise();
  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_EQ(Ui().IncludeASPText.Text(), "");
  EXPECT_EQ(container.Changed(), (Items{"ExtraIncludes", "ExtraIncludes", "ExtraIncludes"}));
}

TEST_F(GeneralTabTest, IncludeBrowseTakesFilesInsideTheSiteOnly) {
  dialogs.Choose("c:\\tessery\\site\\Include\\Orders.asp");
  dialogs.Choose("C:\\Other\\x.asp");
  dialogs.Cancel();
  Ui().BrowseForIncludeASPCommand.Click.Raise();
  EXPECT_EQ(Ui().IncludeASPText.Text(), "Include/Orders.asp");
  ASSERT_EQ(dialogs.Shown().size(), 1u);
  EXPECT_EQ(dialogs.Shown()[0].initDir, "C:\\TESSERY\\SITE\\");
  EXPECT_EQ(dialogs.Shown()[0].filter, "ASP files (*.asp)|*.asp");
  EXPECT_EQ(Ui().IncludeASPList.ListCount(), 0) << "only the add button adds";

  Ui().BrowseForIncludeASPCommand.Click.Raise();
  EXPECT_EQ(boxes.Prompts(), (Items{"Can not include a file outside the Corvane site"}));
  EXPECT_EQ(Ui().IncludeASPText.Text(), "Include/Orders.asp");

  Ui().BrowseForIncludeASPCommand.Click.Raise();  // cancelled
  EXPECT_EQ(Ui().IncludeASPText.Text(), "Include/Orders.asp");
  EXPECT_EQ(boxes.Prompts().size(), 1u);
  EXPECT_TRUE(container.Changed().empty());
}

TEST_F(GeneralTabTest, XSLBrowseNamesTheRootWhenItRefusesAFile) {
  dialogs.Choose("C:\\TESSERY\\SITE\\xsl\\Orders.xsl");
  dialogs.Choose("C:\\xsl\\Orders.xsl");
  Ui().BrowseForXSLFileCommand.Click.Raise();
  EXPECT_EQ(Ui().XSLFilenameText.Text(), "xsl/Orders.xsl");
  EXPECT_EQ(dialogs.Shown()[0].initDir, "C:\\TESSERY\\SITE\\/xsl");
  EXPECT_EQ(dialogs.Shown()[0].filter, "XSL files (*.xsl)|*.xsl");
  Ui().BrowseForXSLFileCommand.Click.Raise();
  EXPECT_EQ(boxes.Prompts(),
            (Items{"Can not include a file outside the Corvane site 'C:\\TESSERY\\SITE\\'"}));
  EXPECT_EQ(Ui().XSLFilenameText.Text(), "xsl/Orders.xsl");
}

TEST_F(GeneralTabTest, WithoutAnInstallDirectoryEveryFileIsInsideTheSite) {
  EXPECT_EQ(registry->DeleteValue(platform::RootKey::LocalMachine, kInstallKey, "InstallDir"), 0);
  dialogs.Choose("D:\\files\\My.xsl");
  Ui().BrowseForXSLFileCommand.Click.Raise();
  EXPECT_EQ(boxes.Prompts(),
            (Items{"Can not find REGKEY 'HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\InstallDir'"}));
  EXPECT_EQ(Ui().XSLFilenameText.Text(), "D:/files/My.xsl");
}

TEST_F(GeneralTabTest, ExtraFiltersClickReevaluatesTheEAIFieldButtons) {
  Ui().EAI.AddField.SetEnabled(true);
  Ui().EAI.RemoveField.SetEnabled(true);
  Ui().EAI.SelectedFieldsList.AddItem("Order.Number");
  Ui().EnableExtraFiltersCheck.SetValue(platform::CheckBox::Checked);
  EXPECT_FALSE(Ui().EAI.AddField.Enabled());
  EXPECT_TRUE(Ui().EAI.RemoveField.Enabled());
  EXPECT_TRUE(container.Changed().empty());
}

TEST_F(GeneralTabTest, SaveButtonWritesThePageTextToTheDebugFile) {
  files.Put("C:\\TESSERY\\SITE\\Vistelle\\include\\DTC_TEMPLATE.ASP", "Provider <DATAPROVIDER>\r\n");
  Ui().DataProvidersCombo.SetListIndex(1);
  Ui().SaveCommand.Click.Raise();
  EXPECT_EQ(boxes.Prompts(), (Items{"Error in 'SaveCommand_Click': Path not found (76)"}))
      << "c:\\temp does not exist: the click ends before any page text is made";

  boxes.Clear();
  files.AddFolder("C:\\temp");
  Ui().SaveCommand.Click.Raise();
  EXPECT_EQ(files.Content("c:\\temp\\DTC.TXT"), "Provider KRMCustomers\r\n\r\n");
  EXPECT_EQ(boxes.Prompts(), (Items{"Not running in DevStudio..."}));
  EXPECT_TRUE(container.Changed().empty());
}

}  // namespace
}  // namespace dtc::testing
