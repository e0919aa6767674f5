// The I18N lists of HeaderDTC with the question and the field-name dialog, and the new-label dialog.
#include <gmock/gmock.h>

#include "DialogFixture.h"
#include "dtc/HeaderDTC.h"
#include "runtime/testing/RecordingContainer.h"

namespace i18n::testing {
namespace {

using Prompts = std::vector<std::string>;

class FieldnameListTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Text("KRMVA2000", "Open");
    Text("KRMVA2001", "Order status");
    control = std::make_unique<dtc::HeaderDTC>(dtc::HeaderDTCServices{
        .messageBoxes = boxes, .container = &container, .components = &table, .dataAccess = access.get()});
    control->Editor().form.SetModalLoop(modal.Loop());
    control->Editor().SSTab1.SetTab(dtc::kI18NTab);
    control->Editor().DRAV.I18NFieldnamesList.AddItem(" 5 - STATUS");
    control->Editor().DRAV.I18NFieldnamesList.AddItem("NOSEPARATOR");
    control->Editor().EAI.I18NFieldnamesList.AddItem("Order.Status");
    boxes.Clear();
    container.Clear();
  }

  std::string FieldNames() { return Sql("SELECT * FROM I18NFIELDNAMES"); }

  platform::testing::RecordingContainer container;
  std::unique_ptr<dtc::HeaderDTC> control;
};

TEST_P(FieldnameListTest, TickingAFieldAsksAboutItsNameAndTheDialogWritesTheChosenLabel) {
  modal.steps.push_back([&](platform::Form& form) {
    auto& question = control->TranslationDialogs().Question();
    EXPECT_EQ(&form, &question.form);
    EXPECT_EQ(question.QuestionTextLabel.Caption(), "Do you want to add the translation for field 'STATUS'?");
    Press(form, question.OKButton);
  });
  modal.steps.push_back([&](platform::Form& form) {
    auto& dialog = control->TranslationDialogs().Fieldname();
    EXPECT_FALSE(dialog.FieldNameText.Enabled());
    EXPECT_EQ(dialog.FieldNameText.Text(), "STATUS");
    EXPECT_EQ(dialog.LabelsCombo.Items(), (std::vector<std::string>{"KRMVA2000", "KRMVA2001"}));
    dialog.Form_Paint();  // painted again: the list is not doubled
    EXPECT_EQ(dialog.LabelsCombo.ListCount(), 2);
    form.SetFocus(dialog.LabelsCombo);
    dialog.LabelsCombo.SetListIndex(1);
    Press(form, dialog.OKButton);  // leaving the combo shows the label's text
    EXPECT_EQ(dialog.TranslationText.Text(), "Order status");
  });
  control->Editor().DRAV.I18NFieldnamesList.ClickItem(0, true);
  EXPECT_EQ(modal.shown,
            (std::vector<std::string>{"AddI18NFieldQuestionDialog", "SpecifyI18NFieldnameDialog"}));
  EXPECT_EQ(FieldNames(), "|drav|STATUS|KRMVA2001\n");  // no provider chosen on this control
  EXPECT_EQ(container.Changed(), std::vector<std::string>{"DRAVReturnFields"});

  // Ticked again: the translation exists, nothing is asked. Unticking asks nothing either.
  control->Editor().DRAV.I18NFieldnamesList.ClickItem(0, false);
  control->Editor().DRAV.I18NFieldnamesList.ClickItem(0, true);
  EXPECT_EQ(modal.shown.size(), 2u);
  EXPECT_TRUE(boxes.Prompts().empty());
}

TEST_P(FieldnameListTest, NoWritesNothingAndEAIEntriesGiveTheFieldAfterTheDot) {
  modal.steps.push_back([&](platform::Form& form) {
    auto& question = control->TranslationDialogs().Question();
    EXPECT_EQ(question.QuestionTextLabel.Caption(), "Do you want to add the translation for field 'Status'?");
    Press(form, question.CancelButton);
  });
  control->Editor().EAI.I18NFieldnamesList.ClickItem(0, true);
  EXPECT_EQ(modal.shown, std::vector<std::string>{"AddI18NFieldQuestionDialog"});
  EXPECT_EQ(FieldNames(), "");
  EXPECT_EQ(container.Changed(), std::vector<std::string>{"EAIReturnFields"});
}

TEST_P(FieldnameListTest, HiddenListsAndEntriesWithoutSeparatorAskNothing) {
  control->Editor().DRAV.I18NFieldnamesList.ClickItem(1, true);
  EXPECT_EQ(boxes.Prompts(), Prompts{"Error in 'DRAVI18NFieldnamesList_Click': Subscript out of range (9)"});
  control->Editor().SSTab1.SetTab(dtc::kGeneralTab);
  control->Editor().DRAV.I18NFieldnamesList.SetSelected(0, true);
  EXPECT_TRUE(modal.shown.empty());
  EXPECT_EQ(container.Changed(), (std::vector<std::string>{"DRAVReturnFields", "DRAVReturnFields"}));
}

TEST_P(FieldnameListTest, AnExistingTranslationGetsItsLabelChangedAndATypedLabelIsWrittenAsItIs) {
  Sql("INSERT INTO I18NFIELDNAMES VALUES ('', 'drav', 'STATUS', 'KRMVA2000')");
  auto& dialog = control->TranslationDialogs().Fieldname();
  dialog.FieldNameText.SetText("STATUS");
  dialog.SetBISType("drav");
  dialog.SetProvidername("");
  modal.steps.push_back([&](platform::Form& form) {
    form.SetFocus(dialog.LabelsCombo);
    dialog.LabelsCombo.SetText("KRMVA7777");
    Press(form, dialog.OKButton);
    EXPECT_EQ(dialog.TranslationText.Text(), "");
  });
  dialog.ShowModal();
  EXPECT_EQ(FieldNames(), "|drav|STATUS|KRMVA7777\n");
}

TEST_P(FieldnameListTest, AnUnreachableDatabaseIsReportedAndTheDialogStaysOpen) {
  EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, components::kDatasourcesKey, "8",
                               platform::RegistryValue::String("DSN=NoI18NHere")),
            0);
  control->Editor().DRAV.I18NFieldnamesList.ClickItem(0, true);
  ASSERT_EQ(boxes.Prompts().size(), 1u);  // the check failed: no question follows
  EXPECT_THAT(boxes.Prompts()[0], ::testing::StartsWith("Error in 'FieldnameTranslationExists': "));
  EXPECT_TRUE(modal.shown.empty());

  auto& dialog = control->TranslationDialogs().Fieldname();
  modal.steps.push_back([&](platform::Form& form) {
    Press(form, dialog.OKButton);
    EXPECT_TRUE(dialog.Shown());
  });
  boxes.Clear();
  dialog.ShowModal();
  EXPECT_THAT(boxes.Prompts(), ::testing::ElementsAre(::testing::StartsWith("Error in 'UpdateLabels': "),
                                                      ::testing::StartsWith("Error in 'OKButton_Click': ")));
}

class AddLabelDialogTest : public DialogTest {
 protected:
  TranslationDialogs dialogs{Services()};
  AddLabelDialog& dialog = dialogs.AddLabel();
  const std::string warning = "Warning: Don't forget to translate the (new) label to other languages";

  void Add(const std::string& label, const std::string& text) {
    modal.steps.push_back([&, label, text](platform::Form& form) {
      dialog.LabelNameText.SetText(label);
      dialog.LabelValueText.SetText(text);
      Press(form, dialog.OKButton);
    });
    dialog.ShowModal();
  }
};

TEST_P(AddLabelDialogTest, NewAndExistingLabelsAreWrittenWithTodaysDateAndTheWarning) {
  Text("KRMVA2000", "Old");
  Add("KRMVA2000", "It's new");
  Add("CUSTOM1", "Größe");
  EXPECT_EQ(Sql("SELECT * FROM I18NTEXT ORDER BY LABEL"),
            "CUSTOM1|Größe|1033|2024-03-04|0\nKRMVA2000|It's new|1033|2024-03-04|0\n");
  EXPECT_EQ(boxes.Prompts(), (Prompts{warning, warning}));
  EXPECT_EQ(boxes.Messages()[0].buttons, platform::mb::OKOnly);

  // A label without the prefix is stored, but the field-name dialog's list does not offer it.
  auto& fieldname = dialogs.Fieldname();
  fieldname.UpdateLabels();
  EXPECT_EQ(fieldname.LabelsCombo.Items(), std::vector<std::string>{"KRMVA2000"});
}

TEST_P(AddLabelDialogTest, CancelKeepsTheTextsAndWritesNothingAndAFailureKeepsTheDialogOpen) {
  modal.steps.push_back([&](platform::Form& form) {
    dialog.LabelNameText.SetText("KRMVA3000");
    dialog.LabelValueText.SetText("Draft");
    Press(form, dialog.CancelButton);
  });
  dialog.ShowModal();
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM I18NTEXT"), "0\n");
  Sql("ALTER TABLE I18NTEXT RENAME TO AWAY");
  modal.steps.push_back([&](platform::Form& form) {
    EXPECT_EQ(dialog.LabelNameText.Text(), "KRMVA3000");
    EXPECT_EQ(dialog.LabelValueText.Text(), "Draft");
    Press(form, dialog.OKButton);
    EXPECT_TRUE(dialog.Shown());
  });
  dialog.ShowModal();
  Sql("ALTER TABLE AWAY RENAME TO I18NTEXT");
  ASSERT_EQ(boxes.Prompts().size(), 1u);
  EXPECT_THAT(boxes.Prompts()[0], ::testing::StartsWith("Error in 'OKButton_Click': "));
}

TESSERY_INSTANTIATE_FOR_EVERY_BACKEND(FieldnameListTest);
TESSERY_INSTANTIATE_FOR_EVERY_BACKEND(AddLabelDialogTest);

}  // namespace
}  // namespace i18n::testing
