// The headless form controls: item lists, selection, and the events each assignment raises.
#include <gtest/gtest.h>

#include "runtime/Error.h"
#include "runtime/Forms.h"
#include "support/ErrorNumber.h"

namespace platform {
namespace {

// The number of the error `action` raises (0: none).
template <class F>
std::int32_t ErrorOf(F&& action) {
  return testsupport::ErrorNumberOf(std::forward<F>(action));
}

// Counts the raises of `event`; the count lives as long as the handler.
int* Count(Event<>& event) {
  auto count = std::make_shared<int>(0);
  event.Connect([count] { ++*count; });
  return count.get();
}

std::string Selection(const ListBox& list) {
  std::string flags;
  for (std::int32_t i = 0; i < list.ListCount(); ++i) flags += list.Selected(i) ? 'x' : '.';
  return flags;
}

class FormsTest : public ::testing::Test {
 protected:
  ListBox& List(ListBox::MultiSelect mode = ListBox::MultiSelect::None) {
    auto& list = form.Add<ListBox>("list" + std::to_string(form.Controls().size()), mode);
    for (const char* item : {"a", "b", "c", "d"}) list.AddItem(item);
    return list;
  }
  Form form{"frm"};
};

TEST_F(FormsTest, ItemListBoundsAndAppendAtCount) {
  auto& list = List();
  EXPECT_EQ(ErrorOf([&] { list.List(4); }), err::InvalidPropertyArrayIndex);
  EXPECT_EQ(ErrorOf([&] { list.SetList(5, "x"); }), err::InvalidPropertyArrayIndex);
  EXPECT_EQ(ErrorOf([&] { list.AddItem("x", -2); }), err::InvalidProcedureCall);
  EXPECT_EQ(ErrorOf([&] { list.RemoveItem(4); }), err::InvalidProcedureCall);
  list.SetList(4, "e");
  list.AddItem("z", 0);
  list.AddItem("f", 6);
  EXPECT_EQ(list.Items(), (std::vector<std::string>{"z", "a", "b", "c", "d", "e", "f"}));
}

TEST_F(FormsTest, SelectionBookkeepingAcrossInsertRemoveAndClear) {
  auto& single = List();
  single.SetSelected(2, true);
  single.SetSelected(1, false);  // not the selected item: nothing changes
  single.AddItem("x", 2);        // at the selected item: pushes it down
  single.RemoveItem(0);
  EXPECT_EQ(Selection(single), "..x.");
  single.RemoveItem(2);
  EXPECT_EQ(Selection(single), "...");

  auto& multi = List(ListBox::MultiSelect::Extended);
  multi.SetSelected(1, true);
  multi.SetSelected(3, true);
  multi.SetListIndex(2);  // the caret does not select
  multi.AddItem("x", 0);
  multi.RemoveItem(3);  // the caret's item
  EXPECT_EQ(Selection(multi), "..xx");
  EXPECT_EQ(multi.ListIndex(), -1);
  multi.Clear();
  multi.AddItem("y");
  EXPECT_EQ(multi.SelCount(), 0);
}

TEST_F(FormsTest, EventsOnlyForTheAssignmentsThatRaiseThem) {
  auto& single = List();
  auto& multi = List(ListBox::MultiSelect::Simple);
  auto& text = form.Add<TextBox>("text");
  auto& check = form.Add<CheckBox>("check");
  int *singleClicks = Count(single.Click), *multiClicks = Count(multi.Click);
  int *changes = Count(text.Change), *checkClicks = Count(check.Click);
  for (bool selected : {true, true, false, false}) single.SetSelected(1, selected);  // 2 clicks
  single.SetListIndex(0);
  single.SetListIndex(0);
  single.AddItem("x", 0);
  single.RemoveItem(1);
  single.Clear();
  for (bool selected : {true, true, false, false}) multi.SetSelected(0, selected);  // 2 clicks
  multi.SetListIndex(1);
  for (const char* value : {"", "a", "a"}) text.SetText(value);
  check.SetValue(CheckBox::Grayed);
  check.SetValue(CheckBox::Grayed);
  EXPECT_EQ(ErrorOf([&] { check.SetValue(3); }), err::InvalidPropertyValue);
  EXPECT_EQ(*singleClicks, 3);
  EXPECT_EQ(*multiClicks, 3);
  EXPECT_EQ(*changes, 1);
  EXPECT_EQ(*checkClicks, 1);
}

TEST_F(FormsTest, ComboTextAndListIndexAreCoupled) {
  auto& combo = form.Add<ComboBox>("combo");
  for (const char* item : {"red", "green", "blue"}) combo.AddItem(item);
  int *clicks = Count(combo.Click), *changes = Count(combo.Change);
  combo.SetListIndex(1);
  combo.SetListIndex(1);  // Click even when unchanged
  EXPECT_EQ(combo.Text(), "green");
  combo.SetText("purple");
  combo.AddItem("purple");
  combo.SetText("purple");  // same text, now an item
  EXPECT_EQ(combo.ListIndex(), 3);
  combo.SetListIndex(0);
  combo.RemoveItem(0);
  EXPECT_EQ(combo.ListIndex(), -1);
  EXPECT_EQ(combo.Text(), "red");
  EXPECT_EQ(*clicks, 3);
  EXPECT_EQ(*changes, 1);

  auto& list = form.Add<ComboBox>("dropdown", ComboBox::Style::DropdownList);
  list.AddItem("one");
  list.AddItem("two");
  EXPECT_EQ(ErrorOf([&] { list.SetText("three"); }), err::InvalidPropertyValue);
  list.SetText("two");
  EXPECT_EQ(list.ListIndex(), 1);
  // A Click handler may clear its own list and replace itself while it runs.
  int first = 0, later = 0;
  list.Click.Connect([&] {
    list.Clear();
    list.Click.Connect([&] { ++later; });
    ++first;
  });
  list.SetListIndex(0);
  list.SetListIndex(-1);
  EXPECT_EQ(first + later, 2);
}

TEST_F(FormsTest, GridLinearIndexResizeAndCurrentCell) {
  auto& grid = form.Add<FlexGrid>("grid", 3, 4, 1, 1);
  grid.SetTextMatrix(1, 3, "x");
  grid.SetTextArray(5, "y");
  EXPECT_EQ(grid.TextArray(1 * 4 + 3), "x");
  EXPECT_EQ(grid.TextMatrix(1, 1), "y");
  EXPECT_EQ(ErrorOf([&] { grid.TextArray(12); }), err::InvalidPropertyArrayIndex);
  grid.SetColWidth(1, 900);
  grid.SetRow(2);
  grid.SetCol(3);
  grid.SetCols(2);
  grid.SetRows(2);
  EXPECT_EQ(grid.Row(), 1);
  EXPECT_EQ(grid.Col(), 1);
  grid.SetCols(5);
  EXPECT_EQ(grid.TextMatrix(1, 1), "y");
  EXPECT_EQ(grid.TextMatrix(1, 3), "");  // dropped by the narrower grid
  EXPECT_EQ(grid.ColWidth(1), 900);
  EXPECT_EQ(grid.ColWidth(4), -1);  // automatic
  EXPECT_EQ(ErrorOf([&] { grid.SetRows(1); }), err::InvalidPropertyValue);
  EXPECT_EQ(ErrorOf([&] { grid.SetRow(2); }), err::InvalidRowValue);
}

TEST_F(FormsTest, GridAddItemPiecesAndRemoveLastNonFixedRow) {
  auto& grid = form.Add<FlexGrid>("grid", 2, 3, 1, 1);
  grid.SetTextMatrix(1, 0, "last");
  grid.AddItem("a\tb", 1);
  grid.AddItem("p\tq\tr\ts");
  for (std::int32_t row : {1, 2, 3}) EXPECT_EQ(grid.TextArray(row * 3 + 2), row == 3 ? "r" : "");
  EXPECT_EQ(grid.TextMatrix(1, 1) + grid.TextMatrix(2, 0), "blast");
  EXPECT_EQ(ErrorOf([&] { grid.RemoveItem(0); }), err::InvalidRowValue);
  grid.SetRow(3);
  grid.RemoveItem(1);
  grid.RemoveItem(1);
  EXPECT_EQ(grid.Row(), 1);
  EXPECT_EQ(grid.Text(), "q");  // the current cell (1, 1) now holds the last row added
  EXPECT_EQ(ErrorOf([&] { grid.RemoveItem(1); }), err::CannotRemoveLastNonFixedRow);
}

TEST_F(FormsTest, UniqueNamesAndFocusOrder) {
  auto& a = form.Add<TextBox>("a");
  auto& b = form.Add<TextBox>("b");
  auto& c = form.Add<TextBox>("c");
  EXPECT_EQ(ErrorOf([&] { form.Add<CheckBox>("a"); }), err::InvalidProcedureCall);
  EXPECT_EQ(form.Find("B"), nullptr);
  std::string log;
  for (auto* control : {&a, &b, &c}) {
    control->GotFocus.Connect([&, control] { log += "+" + control->Name(); });
    control->LostFocus.Connect([&, control] { log += "-" + control->Name() + form.ActiveControl()->Name(); });
  }
  for (auto* control : {&a, &a, &b}) form.SetFocus(*control);
  EXPECT_EQ(log, "+a-ab+b");
  // A LostFocus handler that keeps the focus: the control it was moving to gets no event.
  b.LostFocus.Connect([&] { form.SetFocus(b); });
  form.SetFocus(c);
  EXPECT_EQ(log, "+a-ab+b+b");
  c.SetVisible(false);
  EXPECT_EQ(ErrorOf([&] { form.SetFocus(c); }), err::InvalidProcedureCall);
  {
    Form closing;
    closing.Add<TextBox>("text").LostFocus.Connect([&] { log += "!"; });
    closing.SetFocus(*closing.Find("text"));
  }
  EXPECT_EQ(log, "+a-ab+b+b");  // destroying a form raises nothing
}

TEST_F(FormsTest, ClickingAnItemFocusesItAndRaisesOneClick) {
  auto& multi = List(ListBox::MultiSelect::Extended);
  int* clicks = Count(multi.Click);
  multi.ClickItem(2);
  multi.ClickItem(1);
  multi.ClickItem(1);  // nothing changes
  EXPECT_EQ(Selection(multi), ".xx.");
  EXPECT_EQ(multi.ListIndex(), 1);
  multi.ClickItem(2, false);
  EXPECT_EQ(Selection(multi), ".x..");
  EXPECT_EQ(multi.ListIndex(), 2);
  EXPECT_EQ(*clicks, 3);

  auto& single = List();
  single.ClickItem(3);
  single.ClickItem(0, false);  // not the selected item
  EXPECT_EQ(single.ListIndex(), 3);
  single.ClickItem(3, false);
  EXPECT_EQ(single.ListIndex(), -1);
  EXPECT_EQ(ErrorOf([&] { single.ClickItem(4); }), err::InvalidPropertyArrayIndex);
}

TEST_F(FormsTest, TabControlShowsOneTabAndReportsThePreviousOne) {
  auto& tabs = form.Add<TabControl>("tabs", 3);
  auto& general = form.Add<TextBox>("general");
  auto& other = form.Add<CommandButton>("other");
  general.PlaceOnTab(tabs, 0);
  other.PlaceOnTab(tabs, 2);
  std::vector<int> previous;
  tabs.Click.Connect([&](std::int16_t p) { previous.push_back(p); });

  EXPECT_TRUE(general.Visible());
  EXPECT_FALSE(other.Visible());
  tabs.SetTab(0);  // unchanged: no click
  tabs.SetTab(2);
  EXPECT_FALSE(general.Visible());
  EXPECT_TRUE(other.Visible());
  EXPECT_EQ(ErrorOf([&] { form.SetFocus(general); }), err::InvalidProcedureCall) << "on a hidden tab";
  tabs.ClickTab(2);  // the designer clicks the tab already shown: reported all the same
  tabs.ClickTab(1);
  EXPECT_EQ(previous, (std::vector<int>{0, 2, 2}));
  EXPECT_FALSE(general.Visible() || other.Visible());
  tabs.SetTab(0);
  tabs.SetVisible(false);
  EXPECT_FALSE(general.Visible()) << "a hidden tab control hides its pages";

  EXPECT_EQ(ErrorOf([&] { tabs.SetTab(3); }), err::InvalidPropertyValue);
  EXPECT_EQ(ErrorOf([&] { tabs.ClickTab(-1); }), err::InvalidPropertyValue);
  EXPECT_EQ(ErrorOf([&] { general.PlaceOnTab(tabs, 3); }), err::InvalidPropertyValue);
  Form elsewhere;
  EXPECT_EQ(ErrorOf([&] { elsewhere.Add<TextBox>("x").PlaceOnTab(tabs, 0); }), err::InvalidPropertyValue);
}

TEST_F(FormsTest, ClickingATabTakesTheFocusBeforeTheTabChanges) {
  auto& tabs = form.Add<TabControl>("tabs", 2);
  auto& text = form.Add<TextBox>("text");
  text.PlaceOnTab(tabs, 0);
  std::string log;
  text.LostFocus.Connect([&] { log += "lost on tab " + std::to_string(tabs.Tab()) + ";"; });
  tabs.GotFocus.Connect([&] { log += "tabs got;"; });
  tabs.Click.Connect([&](std::int16_t p) { log += "click " + std::to_string(p) + ";"; });
  form.SetFocus(text);
  tabs.ClickTab(1);
  EXPECT_EQ(log, "lost on tab 0;tabs got;click 0;");
  EXPECT_EQ(form.ActiveControl(), &tabs);
}

TEST_F(FormsTest, GridEnterCellOnlyWhenTheCurrentCellMoves) {
  auto& grid = form.Add<FlexGrid>("grid", 3, 3, 1, 1);
  int* entered = Count(grid.EnterCell);
  grid.SetRow(1);  // already there
  grid.SetCol(2);
  grid.SetRow(2);
  EXPECT_EQ(*entered, 2);
  EXPECT_EQ(ErrorOf([&] { grid.SetRow(3); }), err::InvalidRowValue);
  EXPECT_EQ(*entered, 2);
}

TEST_F(FormsTest, KeyHandlersMayChangeTheKey) {
  auto& text = form.Add<TextBox>("text");
  text.KeyPress.Connect([](std::int16_t& key) { key = 0; });
  std::int16_t key = 'a';
  text.KeyPress.Raise(key);
  EXPECT_EQ(key, 0);
}

}  // namespace
}  // namespace platform
