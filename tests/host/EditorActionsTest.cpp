// The action layer beyond what editor scripts reach: Shift+click ranges, and refusals that change
// nothing (no focus move, no event) whichever check refuses.
#include <gtest/gtest.h>

#include "host/EditorActions.h"

namespace host::actions {
namespace {

TEST(EditorActionsTest, ShiftClickSelectsFromTheFocusedItemToTheClickedOneInThatDirection) {
  platform::Form form("Editor");
  auto& list = form.Add<platform::ListBox>("FieldsList", platform::ListBox::MultiSelect::Extended);
  for (const char* item : {"a", "b", "c", "d", "e"}) list.AddItem(item);
  std::string clicks;
  list.Click.Connect([&] { clicks += std::to_string(list.ListIndex()); });
  Select(form, "FieldsList", Item::Text("d"), true);
  SelectRange(form, "FieldsList", Item::At(Number::Of(1)));
  EXPECT_EQ(clicks, "321")
      << "from the focused item (clicked again: no change, no Click) towards the clicked one";
  for (int i = 0; i < 5; ++i) EXPECT_EQ(list.Selected(i), i >= 1 && i <= 3) << i;
  EXPECT_EQ(list.ListIndex(), 1);
}

TEST(EditorActionsTest, RefusalsComeBeforeAnyChangeButAPickThatOpensNoCombo) {
  platform::Form form("Editor");
  auto& list = form.Add<platform::ListBox>("FieldsList", platform::ListBox::MultiSelect::Extended);
  auto& grid = form.Add<platform::FlexGrid>("Grid", 3, 3, 1, 1);
  auto& text = form.Add<platform::TextBox>("NameText");
  list.AddItem("a");
  form.SetFocus(text);
  std::string events;
  for (platform::Control* c : std::initializer_list<platform::Control*>{&list, &grid, &text}) {
    c->GotFocus.Connect([&events, c] { events += "+" + c->Name(); });
    c->LostFocus.Connect([&events, c] { events += "-" + c->Name(); });
  }
  const auto refused = [](auto action) {
    try {
      action();
    } catch (const Refused& e) {
      return std::string(e.what());
    }
    return std::string("not refused");
  };
  EXPECT_EQ(refused([&] { Select(form, "FieldsList", Item::Text("z"), true); }), "no item 'z'");
  EXPECT_EQ(refused([&] { DblClick(form, "FieldsList", Item::At(Number::Parse("x"))); }),
            "'x' is not a number from 0 to 0");
  EXPECT_EQ(refused([&] { Cell(form, "Grid", Number::Of(1), Number::Of(3)); }),
            "'3' is not a number from 0 to 2");
  EXPECT_EQ(refused([&] { Pick(form, "Grid", Number::Of(1), Number::Of(1), Item::At(Number::Of(0))); }),
            "a click on cell 1 1 of 'Grid' opened no combo");
  grid.SetVisible(false);
  EXPECT_EQ(refused([&] { Cell(form, "Grid", Number::Of(1), Number::Of(1)); }),
            "control 'Grid' is not visible");
  // The pick moved the focus to the grid before its click opened nothing; every other refusal came first.
  EXPECT_EQ(events, "-NameText+Grid");
  EXPECT_FALSE(list.Selected(0));
}

}  // namespace
}  // namespace host::actions
