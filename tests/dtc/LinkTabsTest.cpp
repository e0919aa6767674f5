// The link tabs, driven through their controls' events as the designer drives them: the linked
// provider shared by both tabs, removing the link, the linked-field lists, the links grid with its
// marker, its in-place combos and the room column 2 leaves for the scroll bar.
#include <algorithm>

#include "ControlFixture.h"

namespace dtc::testing {
namespace {

using Items = std::vector<std::string>;

class LinkTabsTest : public ControlTest {
 protected:
  LinkTabsTest() : control(NewControl()), ui(control->Editor()) {}

  static EditorTab TabOf(ProviderKind kind) { return IsDRAVSide(kind) ? kDRAVLinkTab : kEAILinkTab; }

  // The designer shows the link tab of `kind` and picks `provider` in its linked-provider combo.
  void Choose(ProviderKind kind, const std::string& provider) {
    ui.SSTab1.ClickTab(TabOf(kind));
    platform::ComboBox& combo = ui.Side(kind).LinkedDataProvidersCombo;
    const auto& items = combo.Items();
    combo.SetListIndex(
        static_cast<std::int32_t>(std::find(items.begin(), items.end(), provider) - items.begin()));
  }

  // The designer clicks cell (row, column) of the links grid and picks `item` in the combo it opens.
  platform::ComboBox& OpenAndPick(ProviderKind kind, std::int32_t row, std::int32_t column,
                                  const std::string& item) {
    ProviderControls& side = ui.Side(kind);
    side.LinksGrid.SetCol(column);
    side.LinksGrid.SetRow(row);
    side.LinksGrid.Click.Raise();
    platform::ComboBox& combo = column == 1 ? side.FromLinkFieldsCombo : side.ToLinkFieldsCombo;
    const auto& items = combo.Items();
    combo.SetListIndex(
        static_cast<std::int32_t>(std::find(items.begin(), items.end(), item) - items.begin()));
    return combo;
  }

  std::unique_ptr<HeaderDTC> control;
  EditorForm& ui;
};

TEST_F(LinkTabsTest, ChoosingAnotherProviderRefillsBothTabsInEachTabsOrderAndKeepsTheLinkRows) {
  Choose(ProviderKind::EAI, "KRMCustomers");
  EXPECT_EQ(control->LinkedProviderName(), "KRMCustomers");
  EXPECT_EQ(ui.DRAV.LinkedFieldsList.Items(), (Items{"1 - CUSTOMERID", "2 - CITY", "3 - COUNTRY"}));
  EXPECT_EQ(ui.EAI.LinkedFieldsList.Items(), (Items{"Customer.ID", "Customer.City", "Customer.Country"}));
  EXPECT_EQ(ui.DRAV.ToLinkFieldsCombo.Items(), (Items{"CUSTOMERID"}));
  EXPECT_EQ(ui.EAI.ToLinkFieldsCombo.Items(), (Items{"Customer.ID"}));
  EXPECT_EQ(ui.DRAV.LinkedDataProvidersCombo.Text(), "KRMCustomers") << "the twin shows the choice too";

  // A choice on the EAI tab alone is what the page stores.
  EXPECT_EQ(RoundTrip(*control)->LinkedProviderName(), "KRMCustomers");

  for (ProviderKind kind : kProviderKinds) {
    ui.Side(kind).SelectedLinkedFieldsList.AddItem("chosen");
    ui.Side(kind).LinksGrid.SetTextMatrix(1, 1, "kept");
  }
  const int created = components.CreatedCount();
  Choose(ProviderKind::EAI, "KRMCustomers");
  Choose(ProviderKind::DRAV, "KRMCustomers");  // entering the tab finds its combo already in step
  EXPECT_EQ(components.CreatedCount(), created) << "the provider in effect changes nothing";
  EXPECT_EQ(ui.DRAV.SelectedLinkedFieldsList.Items(), (Items{"chosen"}));

  Choose(ProviderKind::DRAV, "KRMOrders");
  EXPECT_EQ(control->LinkedProviderName(), "KRMOrders");
  EXPECT_EQ(ui.EAI.LinkedDataProvidersCombo.Text(), "KRMOrders");
  EXPECT_EQ(ui.DRAV.LinkedFieldsList.ListCount(), 12);
  EXPECT_EQ(ui.EAI.LinkedFieldsList.ListCount(), 4);
  for (ProviderKind kind : kProviderKinds) {
    EXPECT_EQ(ui.Side(kind).SelectedLinkedFieldsList.ListCount(), 0);
    EXPECT_EQ(ui.Side(kind).LinksGrid.TextMatrix(1, 1), "kept");
  }
  EXPECT_TRUE(boxes.Prompts().empty());
}

TEST_F(LinkTabsTest, RemovingTheLinkFromEitherTabResetsBoth) {
  for (ProviderKind removedOn : kProviderKinds) {
    Choose(ProviderKind::DRAV, "KRMCustomers");
    for (ProviderKind kind : kProviderKinds) {
      ProviderControls& side = ui.Side(kind);
      side.SelectedLinkedFieldsList.AddItem("chosen");
      side.LinksGrid.SetRows(3);
      side.LinksGrid.SetTextMatrix(2, 2, "CUSTOMERID");
    }
    ui.SSTab1.ClickTab(TabOf(removedOn));
    ui.Side(removedOn).DeleteLinkCommand.Click.Raise();

    EXPECT_EQ(control->LinkedProviderName(), "");
    EXPECT_FALSE(control->DeletingLink());
    for (ProviderKind kind : kProviderKinds) {
      const ProviderControls& side = ui.Side(kind);
      EXPECT_EQ(side.LinkedFieldsList.ListCount() + side.SelectedLinkedFieldsList.ListCount() +
                    side.ToLinkFieldsCombo.ListCount(),
                0);
      EXPECT_EQ(side.LinksGrid.Rows(), 3);
      EXPECT_EQ(side.LinksGrid.TextMatrix(2, 2), "");
      EXPECT_EQ(side.LinksGrid.TextMatrix(0, 1) + side.LinksGrid.TextMatrix(0, 2), "FromTo");
      EXPECT_EQ(side.LinkedDataProvidersCombo.ListIndex(), -1);
      EXPECT_EQ(side.LinkedDataProvidersCombo.Text(), "");
    }
  }
  Choose(ProviderKind::EAI, "KRMCustomers");
  EXPECT_EQ(control->LinkedProviderName(), "KRMCustomers") << "the EAI tab takes choices again";
  EXPECT_TRUE(boxes.Prompts().empty());
}

TEST_F(LinkTabsTest, ARemovalThatFailsOnBothTabsStillEndsWithDeletingLinkFalse) {
  for (ProviderKind kind : kProviderKinds) {
    ui.Side(kind).LinkedDataProvidersCombo.Click.Connect(
        [] { platform::Raise(platform::err::InternalError); });
  }
  ui.SSTab1.ClickTab(kDRAVLinkTab);
  ui.DRAV.DeleteLinkCommand.Click.Raise();
  EXPECT_EQ(boxes.Prompts().size(), 2u);
  EXPECT_EQ(boxes.Prompts().front().rfind("Error in 'EAIDeleteLinkCommand_Click': ", 0), 0u);
  EXPECT_FALSE(control->DeletingLink());
}

TEST_F(LinkTabsTest, LinkedFieldListOperations) {
  Choose(ProviderKind::DRAV, "KRMCustomers");
  ProviderControls& drav = ui.DRAV;

  // "Add" with nothing selected: nothing at all, not even the buttons.
  drav.AddLinkedField.SetEnabled(false);
  drav.RemoveLinkedField.SetEnabled(true);
  control->AddLinkedField_Click(ProviderKind::DRAV);
  EXPECT_FALSE(drav.AddLinkedField.Enabled());
  EXPECT_TRUE(drav.RemoveLinkedField.Enabled());
  EXPECT_EQ(drav.LinkedFieldsList.ListCount(), 3);

  drav.LinkedFieldsList.ClickItem(0);
  drav.LinkedFieldsList.ClickItem(2);
  control->AddLinkedField_Click(ProviderKind::DRAV);
  EXPECT_EQ(drav.SelectedLinkedFieldsList.Items(), (Items{"1 - CUSTOMERID", "3 - COUNTRY"}));
  EXPECT_EQ(drav.LinkedFieldsList.Items(), (Items{"2 - CITY"}));
  EXPECT_EQ(drav.LinkedFieldsList.ListIndex(), 0) << "index 2 is past the end: the last item";
  EXPECT_TRUE(drav.LinkedFieldsList.Selected(0));
  EXPECT_EQ(ui.form.ActiveControl(), &drav.LinkedFieldsList);
  EXPECT_TRUE(drav.AddLinkedField.Enabled());
  EXPECT_TRUE(drav.RemoveLinkedField.Enabled());

  drav.LinkedFieldsList.DblClick.Raise();
  EXPECT_EQ(drav.SelectedLinkedFieldsList.Items(), (Items{"1 - CUSTOMERID", "3 - COUNTRY", "2 - CITY"}));
  EXPECT_FALSE(drav.AddLinkedField.Enabled());

  // Removing walks from the end: the selected items reach the available list last first.
  drav.SelectedLinkedFieldsList.ClickItem(0);
  drav.SelectedLinkedFieldsList.ClickItem(2);
  drav.RemoveLinkedField.Click.Raise();
  EXPECT_EQ(drav.LinkedFieldsList.Items(), (Items{"2 - CITY", "1 - CUSTOMERID"}));
  EXPECT_EQ(drav.SelectedLinkedFieldsList.Items(), (Items{"3 - COUNTRY"}));
  EXPECT_EQ(drav.SelectedLinkedFieldsList.ListIndex(), 0);

  // Moving only moves the focused index with the item (here on the EAI tab's own buttons).
  ui.SSTab1.ClickTab(kEAILinkTab);
  platform::ListBox& selected = ui.EAI.SelectedLinkedFieldsList;
  for (const char* item : {"a", "b", "c"}) selected.AddItem(item);
  selected.SetListIndex(2);
  ui.EAI.MoveUpLinkedField.Click.Raise();
  EXPECT_EQ(selected.Items(), (Items{"a", "c", "b"}));
  EXPECT_EQ(selected.ListIndex(), 1);
  EXPECT_FALSE(selected.Selected(1));
  ui.EAI.MoveDownLinkedField.Click.Raise();
  ui.EAI.MoveDownLinkedField.Click.Raise();  // already last
  EXPECT_EQ(selected.Items(), (Items{"a", "b", "c"}));
  EXPECT_EQ(selected.ListIndex(), 2);
  EXPECT_EQ(ui.EAI.MoveUpLinkedField.Name(), "EAIMoveUpLinkedField");
  EXPECT_EQ(drav.MoveUpLinkedField.Name(), "DRAVMoveUpLinkdFieldCommand");
  EXPECT_TRUE(boxes.Prompts().empty());

  // Focusing a list of a tab that is not shown fails into the trap, named as the tab's procedure.
  ui.SSTab1.ClickTab(kGeneralTab);
  drav.LinkedFieldsList.SetSelected(0, true);
  control->AddLinkedField_Click(ProviderKind::DRAV);
  ASSERT_EQ(boxes.Prompts().size(), 1u);
  EXPECT_EQ(boxes.Prompts()[0].rfind("Error in 'DRAVAddLinkedField_Click': ", 0), 0u);
}

TEST_F(LinkTabsTest, RemovingAReturnFieldTakesItOutOfTheFromCombo) {
  ProviderControls& drav = ui.DRAV;
  if (!drav.RemoveField.Click) GTEST_SKIP() << "the provider tab's handlers are not part of this build";
  ui.DataProvidersCombo.SetText("KRMOrders");
  ui.SSTab1.ClickTab(kDRAVTab);
  drav.FieldsList.ClickItem(0);
  drav.AddField.Click.Raise();
  ASSERT_EQ(drav.FromLinkFieldsCombo.Items(), (Items{" 1 - ORDERID"}));
  drav.LinkedFieldsList.AddItem(" 1 - ORDERID");
  drav.SelectedFieldsList.ClickItem(0);
  drav.RemoveField.Click.Raise();
  EXPECT_EQ(drav.FromLinkFieldsCombo.ListCount(), 0);
  EXPECT_EQ(drav.LinkedFieldsList.Items(), (Items{" 1 - ORDERID"})) << "the linked fields are not touched";
}

TEST_F(LinkTabsTest, ColumnTwoLeavesRoomForTheScrollBarWhileTheGridShowsIt) {
  for (ProviderKind kind : kProviderKinds) {
    ui.SSTab1.ClickTab(TabOf(kind));
    ProviderControls& side = ui.Side(kind);
    platform::FlexGrid& grid = side.LinksGrid;
    for (int i = 0; i < 3; ++i) side.AddLink.Click.Raise();
    EXPECT_EQ(grid.ColWidth(2), 2315) << "five rows fit";
    side.AddLink.Click.Raise();
    side.AddLink.Click.Raise();
    EXPECT_EQ(grid.Rows(), 7);
    EXPECT_EQ(grid.ColWidth(2), 2315 - 255) << "narrowed once";
    EXPECT_EQ(grid.TextMatrix(6, 0), "*");
    EXPECT_EQ(grid.TextMatrix(5, 0), "");

    side.RemoveLink.Click.Raise();
    EXPECT_EQ(grid.ColWidth(2), 2315 - 255);
    side.RemoveLink.Click.Raise();
    EXPECT_EQ(grid.Rows(), 5);
    EXPECT_EQ(grid.ColWidth(2), 2315) << "widened once";
  }
  EXPECT_TRUE(boxes.Prompts().empty());
}

TEST_F(LinkTabsTest, RemovingTheOnlyLinkRowLeavesAnEmptyRowAndTheHeaders) {
  ui.SSTab1.ClickTab(kEAILinkTab);
  platform::FlexGrid& grid = ui.EAI.LinksGrid;
  ui.form.SetFocus(grid);  // marks row 1
  grid.SetTextMatrix(1, 1, "Order.Number");
  grid.SetTextMatrix(1, 2, "Customer.ID");
  ui.EAI.RemoveLink.Click.Raise();
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.TextMatrix(0, 1) + "|" + grid.TextMatrix(0, 2), "From|To");
  EXPECT_EQ(grid.TextMatrix(1, 0) + "|" + grid.TextMatrix(1, 1) + "|" + grid.TextMatrix(1, 2), "*||");

  // A marked row that is not a link row: "Delete" does nothing.
  grid.SetRows(4);
  grid.SetTextMatrix(3, 1, "kept");
  control->GridEditors(ProviderKind::EAI).linksMarkedRow = 0;
  ui.EAI.RemoveLink.Click.Raise();
  EXPECT_EQ(grid.Rows(), 4);
}

// The grid keeps the focus while the designer moves to another row and opens a combo there: its
// pick lands in that row, not in the row marked before.
TEST_F(LinkTabsTest, APickLandsInTheRowWhereItsComboOpened) {
  for (ProviderKind kind : kProviderKinds) {
    ui.SSTab1.ClickTab(TabOf(kind));
    ProviderControls& side = ui.Side(kind);
    platform::FlexGrid& grid = side.LinksGrid;
    side.FromLinkFieldsCombo.AddItem("from");
    side.ToLinkFieldsCombo.AddItem("to");
    grid.SetRows(4);
    for (std::int32_t column : {1, 2}) {
      grid.SetRow(1);
      ui.form.SetFocus(grid);
      OpenAndPick(kind, 3, column, column == 1 ? "from" : "to");
      ui.form.SetFocus(grid);
    }
    EXPECT_EQ(grid.TextMatrix(3, 1) + "|" + grid.TextMatrix(3, 2), "from|to") << KindPrefix(kind);
    EXPECT_EQ(grid.TextMatrix(1, 1) + grid.TextMatrix(1, 2), "") << KindPrefix(kind);
    EXPECT_FALSE(side.FromLinkFieldsCombo.Visible() || side.ToLinkFieldsCombo.Visible());
  }
  EXPECT_TRUE(boxes.Prompts().empty());
}

TEST_F(LinkTabsTest, AWriteBackIntoARowBeyondTheGridIsTrapped) {
  ui.SSTab1.ClickTab(kDRAVLinkTab);
  ProviderControls& drav = ui.DRAV;
  drav.ToLinkFieldsCombo.AddItem("CUSTOMERID");
  drav.FromLinkFieldsCombo.AddItem(" 1 - ORDERID");
  drav.LinksGrid.SetRows(4);
  drav.LinksGrid.SetRow(3);
  drav.LinksGrid.SetCol(2);
  drav.LinksGrid.Click.Raise();
  drav.LinksGrid.SetRows(2);  // e.g. the row count set through the public property meanwhile

  drav.ToLinkFieldsCombo.SetListIndex(0);
  EXPECT_EQ(boxes.Prompts(),
            (Items{"Error in 'DRAVToLinkFieldsCombo_Click': Invalid property array index (381)"}));
  EXPECT_TRUE(drav.ToLinkFieldsCombo.Visible());
  EXPECT_EQ(drav.LinksGrid.TextMatrix(1, 2), "");

  // The From combo writes only into a row the grid has.
  drav.LinksGrid.SetRows(4);
  drav.LinksGrid.SetRow(3);
  drav.LinksGrid.SetCol(1);
  drav.LinksGrid.Click.Raise();  // the To combo loses the focus and writes into its row, there again
  drav.LinksGrid.SetRows(2);
  drav.FromLinkFieldsCombo.SetListIndex(0);
  ui.form.SetFocus(drav.LinksGrid);
  EXPECT_EQ(drav.LinksGrid.TextMatrix(1, 1), "");
  EXPECT_FALSE(drav.FromLinkFieldsCombo.Visible());
  EXPECT_EQ(boxes.Prompts().size(), 1u);
}

TEST_F(LinkTabsTest, OpeningACombo) {
  ui.SSTab1.ClickTab(kDRAVLinkTab);
  ProviderControls& drav = ui.DRAV;
  platform::FlexGrid& grid = drav.LinksGrid;
  for (const char* item : {" 1 - ORDERID", " 2 - CUSTOMERNAME"}) drav.FromLinkFieldsCombo.AddItem(item);
  drav.ToLinkFieldsCombo.AddItem("CUSTOMERID");
  grid.SetRows(3);
  grid.SetTextMatrix(2, 1, " 2 - CUSTOMERNAME");
  grid.SetTextMatrix(2, 2, "CUSTOMERID");

  // A click is Enter: the cell's text is selected, and the combo lies over the cell.
  grid.SetRow(2);
  grid.SetCol(1);
  grid.Click.Raise();
  EXPECT_EQ(drav.FromLinkFieldsCombo.ListIndex(), 1);
  EXPECT_TRUE(drav.FromLinkFieldsCombo.Visible());
  EXPECT_EQ(ui.form.ActiveControl(), &drav.FromLinkFieldsCombo);
  EXPECT_EQ(drav.FromLinkFieldsCombo.Left(), grid.Left() + 200);
  EXPECT_EQ(drav.FromLinkFieldsCombo.Top(), grid.Top() + 2 * 323);
  EXPECT_EQ(drav.FromLinkFieldsCombo.Width(), 2315);

  // Another key opens the combo without touching its selection; column 0 opens nothing.
  ui.form.SetFocus(grid);
  grid.SetCol(2);
  std::int16_t key = 'c';
  grid.KeyPress.Raise(key);
  EXPECT_TRUE(drav.ToLinkFieldsCombo.Visible());
  EXPECT_EQ(drav.ToLinkFieldsCombo.ListIndex(), -1);
  ui.form.SetFocus(grid);
  grid.SetCol(0);
  grid.Click.Raise();
  EXPECT_EQ(ui.form.ActiveControl(), &grid);
}

TEST_F(LinkTabsTest, TheTwinsDifferOnlyWhenTheirCombosWriteBack) {
  for (ProviderKind kind : kProviderKinds) {
    ui.SSTab1.ClickTab(TabOf(kind));
    ProviderControls& side = ui.Side(kind);
    const bool eai = kind == ProviderKind::EAI;
    side.FromLinkFieldsCombo.AddItem("from");
    side.ToLinkFieldsCombo.AddItem("to");
    ui.form.SetFocus(side.LinksGrid);

    platform::ComboBox& from = OpenAndPick(kind, 1, 1, "from");
    EXPECT_EQ(from.Visible(), !eai) << "the DRAV From combo stays open after a pick";
    EXPECT_EQ(side.LinksGrid.TextMatrix(1, 1), eai ? "from" : "");

    ui.form.SetFocus(side.LinksGrid);
    side.LinksGrid.SetCol(2);
    std::int16_t key = 'x';
    side.LinksGrid.KeyPress.Raise(key);  // opens the To combo, selection unchanged
    side.ToLinkFieldsCombo.SetText("typed");
    side.ToLinkFieldsCombo.KeyPress.Raise(key);
    EXPECT_EQ(side.LinksGrid.TextMatrix(1, 2), eai ? "typed" : "") << "the EAI To combo writes on keys";
    EXPECT_EQ(side.ToLinkFieldsCombo.Visible(), !eai);
  }
  EXPECT_TRUE(boxes.Prompts().empty());
}

}  // namespace
}  // namespace dtc::testing
