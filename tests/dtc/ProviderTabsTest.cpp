// The DRAV and EAI tabs: return-field lists kept in step, ordering, the criteria grid's marking, its
// in-place editors and their write-back, adding and removing criteria, and the value button.
#include "ControlFixture.h"
#include "dtc/CriteriumDialog.h"

namespace dtc::testing {
namespace {

using Items = std::vector<std::string>;
using platform::FlexGrid;

std::string Marks(const FlexGrid& grid, std::int32_t col) {
  std::string marks;
  for (std::int32_t r = 1; r < grid.Rows(); ++r)
    marks += grid.TextMatrix(r, col).empty() ? '.' : grid.TextMatrix(r, col)[0];
  return marks;
}

class ProviderTabTest : public ControlTest, public ::testing::WithParamInterface<ProviderKind> {
 protected:
  ProviderTabTest() : control(NewControl()), ui(control->Editor()), side(ui.Side(GetParam())) {
    ui.DataProvidersCombo.SetText("KRMOrders");
    ui.DataProvidersCombo.SetListIndex(ui.DataProvidersCombo.ListIndex());
    ui.SSTab1.ClickTab(GetParam() == ProviderKind::DRAV ? kDRAVTab : kEAITab);
  }

  FlexGrid& Grid() { return side.CriteriaGrid; }
  // The designer clicks cell (row, col): the grid takes the focus, then the current cell moves.
  void ClickCell(std::int32_t row, std::int32_t col) {
    ui.form.SetFocus(Grid());
    Grid().SetRow(row);
    Grid().SetCol(col);
    Grid().Click.Raise();
  }
  void Key(platform::Control& target, std::int16_t code) { target.KeyPress.Raise(code); }
  void KeyDown(std::int16_t code) { side.KeyFieldValueText.KeyDown.Raise(code, 0); }
  void AddRows(int n) {
    for (int i = 0; i < n; ++i) side.AddCriteriumCommand.Click.Raise();
  }
  std::vector<std::string> Prompts() { return boxes.Prompts(); }

  std::unique_ptr<HeaderDTC> control;
  EditorForm& ui;
  ProviderControls& side;
};

INSTANTIATE_TEST_SUITE_P(BothTabs, ProviderTabTest, ::testing::Values(ProviderKind::DRAV, ProviderKind::EAI),
                         [](const ::testing::TestParamInfo<ProviderKind>& param) {
                           return std::string(KindPrefix(param.param));
                         });

TEST_P(ProviderTabTest, AddAndRemoveKeepTheThreeRepeatingControlsInStep) {
  platform::ListBox& available = side.FieldsList;
  const Items all = available.Items();
  available.ClickItem(1);
  available.SetSelected(0, true);
  side.AddField.Click.Raise();
  const Items chosen{all[0], all[1]};
  EXPECT_EQ(side.SelectedFieldsList.Items(), chosen);
  EXPECT_EQ(side.I18NFieldnamesList.Items(), chosen);
  EXPECT_EQ(side.I18NFieldValuesList.Items(), chosen);
  EXPECT_EQ(side.FromLinkFieldsCombo.Items(), chosen);
  EXPECT_EQ(available.ListIndex(), 1) << "the item now at the old focused position";
  EXPECT_EQ(available.List(1), all[3]);
  EXPECT_TRUE(available.Selected(1));
  EXPECT_EQ(ui.form.ActiveControl(), &available);
  EXPECT_TRUE(side.RemoveField.Enabled());

  // Nothing selected: nothing moves, the focused item is selected again.
  available.SetSelected(1, false);
  side.AddField.Click.Raise();
  EXPECT_EQ(side.SelectedFieldsList.ListCount(), 2);
  EXPECT_TRUE(available.Selected(1));

  // The same text twice among the repeats (left by an earlier load): both go with the field.
  side.I18NFieldnamesList.AddItem(all[1], 2);
  side.SelectedFieldsList.ClickItem(1);
  side.RemoveField.Click.Raise();
  EXPECT_EQ(side.SelectedFieldsList.Items(), Items{all[0]});
  EXPECT_EQ(side.I18NFieldnamesList.Items(), Items{all[0]});
  EXPECT_EQ(side.I18NFieldValuesList.Items(), Items{all[0]});
  EXPECT_EQ(side.FromLinkFieldsCombo.Items(), Items{all[0]});
  EXPECT_EQ(available.Items().back(), all[1]) << "back at the end, not at its old place";
  EXPECT_EQ(side.SelectedFieldsList.ListIndex(), 0) << "past the end: the last item";

  side.SelectedFieldsList.ClickItem(0);
  side.RemoveField.Click.Raise();
  EXPECT_FALSE(side.RemoveField.Enabled());
  EXPECT_TRUE(Prompts().empty());
}

TEST_P(ProviderTabTest, AddFocusesTheLastItemWhenTheFocusedPositionIsGoneAndDoubleClickMovesOne) {
  platform::ListBox& available = side.FieldsList;
  const std::int32_t last = available.ListCount() - 1;
  const std::string lastText = available.List(last);
  available.ClickItem(last);
  side.AddField.Click.Raise();
  EXPECT_EQ(available.ListIndex(), last - 1);
  available.ClickItem(0);
  available.DblClick.Raise();
  EXPECT_EQ(side.SelectedFieldsList.Items().back(), side.FromLinkFieldsCombo.Items().back());
  EXPECT_EQ(side.SelectedFieldsList.Items().front(), lastText);
  EXPECT_EQ(available.ListIndex(), 0);
}

TEST_P(ProviderTabTest, MovesChangeNothingAtTheEndsAndDifferOnlyInSelectionAndFocus) {
  for (int i = 0; i < 3; ++i) {
    side.FieldsList.ClickItem(0);
    side.AddField.Click.Raise();
  }
  platform::ListBox& chosen = side.SelectedFieldsList;
  const Items before = chosen.Items();
  ui.form.SetFocus(side.MoveUpCommand);
  chosen.SetListIndex(0);
  side.MoveUpCommand.Click.Raise();
  chosen.SetListIndex(2);
  side.MoveDownCommand.Click.Raise();
  EXPECT_EQ(chosen.Items(), before);

  const bool eai = GetParam() == ProviderKind::EAI;
  EXPECT_EQ(ui.form.ActiveControl() == &chosen, eai) << "EAI focuses the list also when nothing moved";

  chosen.SetSelected(2, false);
  side.MoveUpCommand.Click.Raise();
  EXPECT_EQ(chosen.Items(), (Items{before[0], before[2], before[1]}));
  EXPECT_EQ(chosen.ListIndex(), 1);
  EXPECT_EQ(chosen.Selected(1), eai);
  side.MoveDownCommand.Click.Raise();
  EXPECT_EQ(chosen.Items(), before);
  EXPECT_EQ(chosen.ListIndex(), 2);
}

TEST_P(ProviderTabTest, MarkingMovesTheStarAndLeavesTheButtonTexts) {
  AddRows(2);
  ClickCell(1, 1);
  EXPECT_EQ(Marks(Grid(), 0), "*..");
  EXPECT_EQ(Marks(Grid(), 4), "...");
  Grid().SetRow(2);
  EXPECT_EQ(Marks(Grid(), 0), ".*.");
  EXPECT_EQ(control->GridEditors(GetParam()).criteriaMarkedRow, 2);
  EXPECT_EQ(control->GridEditors(GetParam()).criteriaEditRow, 1);
}

// Each value lands in the row its editor was opened in, whatever order the focus events come in.
TEST_P(ProviderTabTest, WriteBackGoesToTheRowTheEditorWasOpenedIn) {
  AddRows(3);  // rows 1 .. 4
  ClickCell(2, 3);
  Key(Grid(), 'x');
  ASSERT_TRUE(side.KeyFieldValueText.Visible());
  // The host reports the grid's cell change and GotFocus before the editor's LostFocus.
  Grid().SetRow(3);
  Grid().GotFocus.Raise();
  side.KeyFieldValueText.LostFocus.Raise();
  EXPECT_EQ(Grid().TextMatrix(2, 3), "x");
  EXPECT_EQ(Grid().TextMatrix(3, 3), "");

  // The grid keeps the focus while the designer opens editors in other rows.
  ClickCell(1, 1);
  side.KeyFieldsCombo.SetListIndex(0);
  ui.form.SetFocus(Grid());
  ClickCell(4, 2);
  side.OperatorsCombo.SetListIndex(2);
  Grid().SetRow(1);
  side.OperatorsCombo.LostFocus.Raise();
  EXPECT_EQ(Grid().TextMatrix(1, 1), side.KeyFieldsCombo.List(0));
  EXPECT_EQ(Grid().TextMatrix(4, 2), ">=");
  EXPECT_EQ(Grid().TextMatrix(1, 2), "");

  // Deferred focus events: Down lets them run before the row moves.
  ui.form.SetDeferredFocusEvents(true);
  ui.form.SetFocus(Grid());
  ui.form.DoEvents();
  Grid().SetRow(3);
  Grid().SetCol(3);
  Key(Grid(), 'y');
  ui.form.DoEvents();
  KeyDown(40);
  EXPECT_EQ(Grid().TextMatrix(3, 3), "y");
  EXPECT_EQ(Grid().Row(), 4);
  EXPECT_EQ(ui.form.PendingEvents(), 0u);
  EXPECT_EQ(Marks(Grid(), 0), "...*");
}

TEST_P(ProviderTabTest, AWriteBackIntoARowThatIsGoneIsTrappedAndTheGridStays) {
  AddRows(2);
  ClickCell(3, 3);
  Key(Grid(), 'z');
  Grid().SetRows(3);  // the row went while the editor was open (a property Let, say)
  side.KeyFieldValueText.LostFocus.Raise();
  const std::string prefix = std::string(KindPrefix(GetParam()));
  ASSERT_EQ(Prompts().size(), 2u);  // the Del warning, then the trap
  EXPECT_EQ(Prompts()[1],
            "Error in '" + prefix + "KeyFieldValueText_LostFocus': Invalid property array index (381)");
  EXPECT_TRUE(side.KeyFieldValueText.Visible()) << "an editor whose write-back failed stays";
  EXPECT_EQ(side.KeyFieldValueText.Text(), "z");
  EXPECT_EQ(Grid().Rows(), 3);

  // The key editor: DRAV lets the write fail into the trap, EAI skips it.
  ClickCell(2, 1);  // the value editor loses the focus once more, into the trap again
  Grid().SetRows(2);
  const std::size_t shown = Prompts().size();
  side.KeyFieldsCombo.LostFocus.Raise();
  const bool drav = GetParam() == ProviderKind::DRAV;
  EXPECT_EQ(Prompts().size(), shown + (drav ? 1 : 0));
  EXPECT_EQ(side.KeyFieldsCombo.Visible(), drav) << "EAI hides the combo without writing";
  EXPECT_EQ(Grid().Rows(), 2);
}

TEST_P(ProviderTabTest, ValueEditorKeys) {
  AddRows(1);  // rows 1 and 2
  ClickCell(1, 3);
  Grid().DblClick.Raise();  // Enter: the cell's text, selected
  platform::TextBox& text = side.KeyFieldValueText;
  text.SetText("abc");
  KeyDown(46);
  EXPECT_EQ(text.Text(), "");
  text.SetText("v1");
  std::int16_t enter = 13;
  text.KeyPress.Raise(enter);
  EXPECT_EQ(enter, 0) << "the Enter character never reaches the text";
  KeyDown(13);
  EXPECT_EQ(Grid().TextMatrix(1, 3), "v1");
  EXPECT_FALSE(text.Visible());

  Grid().DblClick.Raise();
  EXPECT_EQ(text.Text(), "v1");
  EXPECT_EQ(text.SelStart(), 0);
  EXPECT_EQ(text.SelLength(), 2);
  text.SetText("v2");
  KeyDown(27);
  EXPECT_EQ(Grid().TextMatrix(1, 3), "v2") << "Escape hides; the focus loss still writes back";

  Key(Grid(), 'q');
  KeyDown(38);
  EXPECT_EQ(Grid().Row(), 1) << "Up in the first row";
  Grid().SetRow(2);
  Key(Grid(), 'w');
  KeyDown(40);
  EXPECT_EQ(Grid().Row(), 2) << "Down in the last row";
  EXPECT_EQ(ui.form.ActiveControl(), &Grid());
  EXPECT_EQ(Grid().TextMatrix(1, 3), "q");
  EXPECT_EQ(Grid().TextMatrix(2, 3), "w");
}

TEST_P(ProviderTabTest, TypingOpensTheEditorOverTheCell) {
  AddRows(1);
  ClickCell(2, 3);
  Key(Grid(), 'G');
  platform::TextBox& text = side.KeyFieldValueText;
  EXPECT_EQ(text.Text(), "G");
  EXPECT_EQ(text.SelStart(), 1);
  EXPECT_EQ(text.Left(), Grid().Left() + 200 + 1800 + 550);
  EXPECT_EQ(text.Top(), Grid().Top() + 2 * 323);
  EXPECT_EQ(text.Width(), 2052);

  ui.form.SetFocus(Grid());
  Grid().SetCol(1);
  side.KeyFieldsCombo.SetListIndex(-1);
  Grid().SetText(side.KeyFieldsCombo.List(0));
  Key(Grid(), 'a');
  EXPECT_TRUE(side.KeyFieldsCombo.Visible());
  EXPECT_EQ(side.KeyFieldsCombo.ListIndex(), -1) << "a typed key leaves the combo's selection";

  // Scrolling hides every editor.
  AddRows(5);
  Grid().SetTopRow(2);
  EXPECT_FALSE(side.KeyFieldsCombo.Visible());
  EXPECT_FALSE(side.KeyFieldValueText.Visible());
}

TEST_P(ProviderTabTest, RemovingTheOnlyRowLeavesOneEmptyMarkedRow) {
  ClickCell(1, 3);
  Key(Grid(), 'v');
  ClickCell(1, 1);
  ui.form.SetFocus(side.RemoveCriteriumCommand);
  side.RemoveCriteriumCommand.Click.Raise();
  EXPECT_EQ(Grid().Rows(), 2);
  EXPECT_EQ(Grid().TextMatrix(0, 1), "Key");
  EXPECT_EQ(Grid().TextMatrix(0, 3), "Value");
  EXPECT_EQ(Grid().TextMatrix(1, 1), "");
  EXPECT_EQ(Grid().TextMatrix(1, 3), "");
  EXPECT_EQ(Grid().TextMatrix(1, 0), "*");
  EXPECT_EQ(Grid().TextMatrix(1, 4), "...");
}

TEST_P(ProviderTabTest, KindMapIsKeyedByTextSoRemovingOneRowDropsTheKindOfBoth) {
  AddRows(1);
  Grid().SetTextMatrix(1, 3, "Lookup");
  Grid().SetTextMatrix(2, 3, "Lookup");
  control->CriteriaTypes(GetParam()).Add("Lookup", platform::Variant(1));
  control->CriteriaTypes(GetParam()).Add("Other", platform::Variant(2));
  ClickCell(2, 1);
  side.RemoveCriteriumCommand.Click.Raise();
  EXPECT_FALSE(control->CriteriaTypes(GetParam()).Exists("Lookup"));
  EXPECT_TRUE(control->CriteriaTypes(GetParam()).Exists("Other"));
  EXPECT_EQ(Grid().TextMatrix(1, 3), "Lookup");
}

TEST_P(ProviderTabTest, ScrollBarAllowanceBothWaysOnce) {
  const std::int32_t wide = Grid().ColWidth(3);
  AddRows(3);  // 5 rows of 323 twips fit the 1695-twip grid
  EXPECT_EQ(Grid().ColWidth(3), wide);
  AddRows(1);  // 6 rows: the scroll bar shows
  EXPECT_EQ(Grid().ColWidth(3), wide - 255);
  AddRows(2);
  EXPECT_EQ(Grid().ColWidth(3), wide - 255) << "narrowed once";
  for (int i = 0; i < 2; ++i) side.RemoveCriteriumCommand.Click.Raise();
  EXPECT_EQ(Grid().ColWidth(3), wide - 255);
  side.RemoveCriteriumCommand.Click.Raise();
  EXPECT_EQ(Grid().Rows(), 5);
  EXPECT_EQ(Grid().ColWidth(3), wide);
  side.RemoveCriteriumCommand.Click.Raise();
  EXPECT_EQ(Grid().ColWidth(3), wide);
}

TEST_P(ProviderTabTest, TheDelWarningShowsOncePerGrid) {
  const std::string warning = "Don't push the 'Del' button, for it will throw away the entire DTC";
  ClickCell(1, 3);
  Key(Grid(), 'a');
  ClickCell(1, 3);
  Grid().DblClick.Raise();
  EXPECT_EQ(Prompts(), Items{warning});
  ProviderControls& other =
      ui.Side(GetParam() == ProviderKind::DRAV ? ProviderKind::EAI : ProviderKind::DRAV);
  ui.SSTab1.ClickTab(GetParam() == ProviderKind::DRAV ? kEAITab : kDRAVTab);
  ui.form.SetFocus(other.CriteriaGrid);
  other.CriteriaGrid.SetCol(3);
  Key(other.CriteriaGrid, 'b');
  EXPECT_EQ(Prompts(), (Items{warning, warning}));
}

TEST_P(ProviderTabTest, ValueButtonOpensTheDialogAndCancelChangesNothing) {
  Grid().SetTextMatrix(1, 3, "  Lookup ");
  control->CriteriaTypes(GetParam()).Add("Lookup", platform::Variant(1));
  std::string name, option;
  bool nameEnabled = true;
  ui.form.SetModalLoop([&](platform::Form& dialog) {
    name = static_cast<platform::TextBox*>(dialog.Find("NameText"))->Text();
    nameEnabled = dialog.Find("NameText")->Enabled();
    option =
        static_cast<platform::OptionButton*>(dialog.Find("IncludedScriptOption"))->Value() ? "included" : "?";
    static_cast<platform::CommandButton*>(dialog.Find("CancelButton"))->Click.Raise();
  });
  ClickCell(1, 4);
  EXPECT_EQ(name, "Lookup");
  EXPECT_FALSE(nameEnabled);
  EXPECT_EQ(option, "included");

  Grid().SetTextMatrix(1, 3, "");
  ClickCell(1, 4);
  EXPECT_EQ(name, "");
  EXPECT_TRUE(nameEnabled);
  EXPECT_EQ(control->UserDefinedScripts()->Count(), 0) << "looking up a value adds no entry";
  EXPECT_EQ(control->CriteriaTypes(GetParam()).Count(), 1);
  EXPECT_EQ(Grid().TextMatrix(1, 3), "");
}

TEST(ProviderTabTwinsTest, DoubleClickOutsideTheValueColumnRepeatsTheClickOnlyOnDRAV) {
  platform::testing::RecordingMessageBoxes boxes;
  HeaderDTC control(HeaderDTCServices{.messageBoxes = boxes});
  int dialogs = 0;
  control.Editor().form.SetModalLoop([&](platform::Form&) { ++dialogs; });
  for (ProviderKind kind : kProviderKinds) {
    EditorForm& ui = control.Editor();
    ui.SSTab1.SetTab(kind == ProviderKind::DRAV ? kDRAVTab : kEAITab);
    FlexGrid& grid = ui.Side(kind).CriteriaGrid;
    ui.form.SetFocus(grid);
    grid.SetCol(4);
    grid.DblClick.Raise();
  }
  EXPECT_EQ(dialogs, 1);
}

}  // namespace
}  // namespace dtc::testing
