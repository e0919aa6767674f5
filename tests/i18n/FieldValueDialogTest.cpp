// The field-value dialog: its grid, change register and what OK writes.
#include <gmock/gmock.h>

#include "DialogFixture.h"

namespace i18n::testing {
namespace {

using Prompts = std::vector<std::string>;

class FieldValueDialogTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Text("KRMVA0100", "Order number");
    Text("KRMVA2000", "Open");
    Text("KRMVA2001", "Paid");
    Sql("INSERT INTO I18NFIELDVALUES VALUES ('KRMOrders', 'drav', 'STATUS', '1', 'KRMVA2000');"
        "INSERT INTO I18NFIELDVALUES VALUES ('KRMOrders', 'drav', 'STATUS', '2', 'KRMVA2001')");
  }

  SpecifyI18NFieldValueDialog& Open(const std::string& field = "STATUS") {
    SpecifyI18NFieldValueDialog& d = dialogs.FieldValues();
    d.FieldNameText.SetText(field);
    d.SetBISType("drav");
    d.SetProvidername("KRMOrders");
    d.Init();
    return d;
  }

  // The designer edits the value cell of `row`: clicks it, types `text` and leaves it for the grid.
  void TypeValue(SpecifyI18NFieldValueDialog& d, std::int32_t row, const std::string& text) {
    d.form.SetFocus(d.I18NFieldValuesGrid);
    d.I18NFieldValuesGrid.SetRow(row);
    d.I18NFieldValuesGrid.SetCol(1);
    d.I18NFieldValuesGrid_Click();
    d.EditText.SetText(text);
    d.form.SetFocus(d.I18NFieldValuesGrid);
  }

  void ChooseLabel(SpecifyI18NFieldValueDialog& d, std::int32_t row, const std::string& label) {
    d.I18NFieldValuesGrid.SetRow(row);
    d.I18NFieldValuesGrid.SetCol(2);
    d.I18NFieldValuesGrid_Click();
    const auto& items = d.LabelsCombo.Items();
    d.LabelsCombo.SetListIndex(
        static_cast<std::int32_t>(std::find(items.begin(), items.end(), label) - items.begin()));
  }

  std::string Stored() { return Sql("SELECT FIELDVALUE, LABEL FROM I18NFIELDVALUES ORDER BY FIELDVALUE"); }

  TranslationDialogs dialogs{Services()};
};

TEST_P(FieldValueDialogTest, InitShowsTheStoredValuesMarkedAndTheKRMVALabels) {
  SpecifyI18NFieldValueDialog& d = Open();
  const platform::FlexGrid& grid = d.I18NFieldValuesGrid;
  ASSERT_EQ(grid.Rows(), 3);
  EXPECT_EQ(grid.TextMatrix(0, 3), "Translation");
  EXPECT_EQ(grid.TextMatrix(1, 0), "*");
  EXPECT_EQ(grid.TextMatrix(2, 1), "2");
  EXPECT_EQ(grid.TextMatrix(2, 3), "Paid");
  EXPECT_EQ(d.LabelsCombo.Items(), (std::vector<std::string>{"KRMVA0100", "KRMVA2000", "KRMVA2001"}));
  EXPECT_EQ(grid.ColWidth(3), 6000 - 3100);

  // A field without stored values: one empty data row.
  Open("REMARKS");
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.TextMatrix(1, 1), "");
  EXPECT_TRUE(d.Register().Entries().empty());
}

TEST_P(FieldValueDialogTest, RenamingAStoredValueDeletesItAndInsertsTheNewOneOnOK) {
  SpecifyI18NFieldValueDialog& d = Open();
  TypeValue(d, 1, "9");
  EXPECT_FALSE(d.EditText.Visible());
  EXPECT_EQ(Stored(), "1|KRMVA2000\n2|KRMVA2001\n");  // nothing before OK
  d.OKButton_Click();
  EXPECT_EQ(Stored(), "2|KRMVA2001\n9|KRMVA2000\n");
  EXPECT_TRUE(boxes.Prompts().empty());
}

TEST_P(FieldValueDialogTest, AddThenDeleteWritesNothingAndLabelChoiceUpdatesAStoredValue) {
  SpecifyI18NFieldValueDialog& d = Open();
  d.AddCommand_Click();
  EXPECT_EQ(d.MarkedRow(), 3);
  TypeValue(d, 3, "3");
  ChooseLabel(d, 3, "KRMVA2000");
  d.DeleteCommand_Click();
  ChooseLabel(d, 2, "KRMVA0100");
  EXPECT_EQ(d.I18NFieldValuesGrid.TextMatrix(2, 3), "Order number");
  d.OKButton_Click();
  EXPECT_EQ(Stored(), "1|KRMVA2000\n2|KRMVA0100\n");
}

TEST_P(FieldValueDialogTest, RetypingADeletedValueCancelsTheDeletion) {
  SpecifyI18NFieldValueDialog& d = Open();
  d.I18NFieldValuesGrid.SetRow(2);
  d.DeleteCommand_Click();  // stored "2" deleted
  d.AddCommand_Click();
  TypeValue(d, 2, "2");                                   // typed again into the new row
  EXPECT_EQ(d.I18NFieldValuesGrid.TextMatrix(2, 1), "");  // the row keeps its previous value
  TypeValue(d, 1, "2");                                   // now a value in the grid: refused
  EXPECT_EQ(boxes.Prompts(), Prompts{"Value is already translated"});
  EXPECT_EQ(d.I18NFieldValuesGrid.TextMatrix(1, 1), "1");
  d.OKButton_Click();
  EXPECT_EQ(Stored(), "1|KRMVA2000\n2|KRMVA2001\n");
}

TEST_P(FieldValueDialogTest, LabelCellsNeedAValueAndALabelWithoutTextShowsEmpty) {
  Text("KRMVA2002", "Verzonden", 1043);
  Sql("INSERT INTO I18NTEXT VALUES ('KRMVA2003', 'x', 1043, '2020-01-01', 0)");
  SpecifyI18NFieldValueDialog& d = Open();
  d.AddCommand_Click();
  d.I18NFieldValuesGrid.SetCol(2);
  d.I18NFieldValuesGrid_Click();
  EXPECT_EQ(boxes.Prompts(), Prompts{"Enter a value first..."});
  EXPECT_FALSE(d.LabelsCombo.Visible());

  // A label typed into the combo that has no English text.
  TypeValue(d, 3, "5");
  d.I18NFieldValuesGrid.SetRow(3);
  d.I18NFieldValuesGrid.SetCol(2);
  std::int16_t key = 'K';
  d.I18NFieldValuesGrid.KeyPress.Raise(key);
  EXPECT_TRUE(d.LabelsCombo.Visible());
  EXPECT_EQ(d.LabelsCombo.Text(), "K");
  EXPECT_EQ(d.LabelsCombo.Left(), 120 + 250 + 1300);
  EXPECT_EQ(d.LabelsCombo.Width(), 1350);
  d.LabelsCombo.SetText("KRMVA2002");
  d.LabelsCombo.Click.Raise();
  EXPECT_EQ(d.I18NFieldValuesGrid.TextMatrix(3, 3), "<EMPTY>");
}

TEST_P(FieldValueDialogTest, ColumnThreeGivesWayToTheScrollBarWhileRowsDoNotFit) {
  SpecifyI18NFieldValueDialog& d = Open();  // 3 rows of 240 in 1695 twips
  const std::int32_t wide = d.I18NFieldValuesGrid.ColWidth(3);
  for (int i = 0; i < 4; ++i) d.AddCommand_Click();  // 7 rows fit
  EXPECT_EQ(d.I18NFieldValuesGrid.ColWidth(3), wide);
  d.AddCommand_Click();  // 8 rows do not
  EXPECT_EQ(d.I18NFieldValuesGrid.ColWidth(3), wide - 300);
  d.AddCommand_Click();
  EXPECT_EQ(d.I18NFieldValuesGrid.ColWidth(3), wide - 300);
  d.DeleteCommand_Click();
  d.DeleteCommand_Click();
  EXPECT_EQ(d.I18NFieldValuesGrid.ColWidth(3), wide);
}

TEST_P(FieldValueDialogTest, AFailureInOKStopsWithTheDialogOpenAndARepeatWritesTheRestOnce) {
  SpecifyI18NFieldValueDialog& d = Open();
  d.I18NFieldValuesGrid.SetRow(1);
  d.DeleteCommand_Click();  // "1" deleted
  d.AddCommand_Click();
  TypeValue(d, 2, "7");
  ChooseLabel(d, 2, "KRMVA2000");
  modal.steps.push_back([&](platform::Form&) {
    RejectFieldValue("7");
    Press(d.form, d.OKButton);
    EXPECT_TRUE(d.Shown());
    ASSERT_EQ(boxes.Prompts().size(), 1u);
    EXPECT_THAT(boxes.Prompts()[0], ::testing::StartsWith("Error in 'InsertFieldValueTranslation': "));
    EXPECT_EQ(Stored(), "2|KRMVA2001\n");  // the deletion ran and stays
    AcceptFieldValues();
    Press(d.form, d.OKButton);
    EXPECT_FALSE(d.Shown());
  });
  d.ShowModal();
  EXPECT_EQ(Stored(), "2|KRMVA2001\n7|KRMVA2000\n");
}

TESSERY_INSTANTIATE_FOR_EVERY_BACKEND(FieldValueDialogTest);

}  // namespace
}  // namespace i18n::testing
