// Editor scripts: reading (words, quotes, comments, checks before anything runs) and the actions a
// designer takes, on a small form of the test's own.
#include <gtest/gtest.h>

#include <sstream>

#include "host/EditScript.h"
#include "runtime/Error.h"

namespace host {
namespace {

using platform::MsgBoxResult;

class EditScriptTest : public ::testing::Test {
 protected:
  EditScriptTest() {
    AddEditorActions(actions);
    tabs.SetTabCaption(0, "General");
    tabs.SetTabCaption(1, "DRAV Link");
    for (platform::Control* c : std::initializer_list<platform::Control*>{&button, &text, &list})
      c->PlaceOnTab(tabs, 0);
    grid.PlaceOnTab(tabs, 1);
    for (const char* item : {"a", "b", "#1"}) list.AddItem(item);
    for (auto* c : std::initializer_list<platform::Control*>{&button, &text, &list, &tabs, &grid}) {
      c->GotFocus.Connect([this, c] { log += "+" + c->Name() + " "; });
      c->LostFocus.Connect([this, c] { log += "-" + c->Name() + " "; });
    }
    button.Click.Connect([this] { log += "click "; });
    list.Click.Connect([this] { log += "list " + std::to_string(list.ListIndex()) + " "; });
    tabs.Click.Connect([this](std::int16_t previous) { log += "tab " + std::to_string(previous) + " "; });
    grid.EnterCell.Connect([this] { log += "cell "; });
  }

  std::vector<ScriptLine> Parse(const std::string& script) {
    std::istringstream in(script);
    return ParseScript(in, actions);
  }
  void Run(const std::string& script) { RunScript(Parse(script), actions, context); }
  // The message of the ScriptError `script` ends with.
  std::string Fault(const std::string& script) {
    try {
      Run(script);
    } catch (const ScriptError& e) {
      return e.what();
    }
    return "no fault";
  }

  ScriptActions actions;
  platform::Form form{"Editor"};
  platform::TabControl& tabs = form.Add<platform::TabControl>("Tabs", 2);
  platform::CommandButton& button = form.Add<platform::CommandButton>("AddCommand");
  platform::TextBox& text = form.Add<platform::TextBox>("NameText");
  platform::ListBox& list =
      form.Add<platform::ListBox>("FieldsList", platform::ListBox::MultiSelect::Extended);
  platform::FlexGrid& grid = form.Add<platform::FlexGrid>("LinksGrid", 3, 3, 1, 1);
  std::ostringstream shown;
  QueuedMessageBoxes boxes{shown, "Test"};
  platform::ScriptedFileDialogs dialogs;
  ScriptContext context{form, boxes, dialogs};
  std::string log;
  std::vector<MsgBoxResult> answers;
  std::vector<std::string> files;
};

TEST_F(EditScriptTest, WordsQuotesAndCommentsAreReadWithTheirLineNumbers) {
  const auto lines =
      Parse("# a 5\" disk\n\n  text  NameText  \"say \"\"hi\"\" \"\t\r\n  # \"open\nselect FieldsList #1\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].number, 3);
  EXPECT_EQ(lines[0].args[1].text, "say \"hi\" ");
  EXPECT_TRUE(lines[0].args[1].quoted);
  EXPECT_EQ(lines[1].number, 5);
  EXPECT_FALSE(lines[1].args[1].quoted);

  const std::pair<const char*, const char*> faulty[] = {
      {"tab General\nfrobnicate X\n", "script line 2: unknown action 'frobnicate'"},
      {"click\n", "script line 1: wrong number of words; use: click CONTROL"},
      {"text NameText \"open\n", "script line 1: a quoted word is not closed"},
      {"text NameText ab\"c\"\n", "script line 1: a quote inside a word; quote the whole word"},
      {"text NameText \"a\"b\n", "script line 1: a quoted word must be followed by a space"},
  };
  for (const auto& [script, message] : faulty) {
    EXPECT_EQ(Fault(script), message) << script;
  }
  EXPECT_EQ(log, "") << "a faulty script runs no line";
}

TEST_F(EditScriptTest, TheDesignersActionsMoveTheFocusFirst) {
  Run("click AddCommand\ntype NameText ab\nselect FieldsList b\nselect FieldsList \"#1\"\ndeselect "
      "FieldsList b\n");
  EXPECT_EQ(log, "+AddCommand click -AddCommand +NameText -NameText +FieldsList list 1 list 2 list 1 ");
  EXPECT_EQ(text.Text(), "ab");
  EXPECT_TRUE(list.Selected(2));
  EXPECT_FALSE(list.Selected(1));

  log.clear();
  Run("tab \"DRAV Link\"\ncell LinksGrid 2 2\ntab 0\n");
  EXPECT_EQ(log, "-FieldsList +Tabs tab 0 -Tabs +LinksGrid cell cell -LinksGrid +Tabs tab 1 ");
}

TEST_F(EditScriptTest, KeysMayBeSwallowedAndReachTheFormsSurface) {
  text.KeyPress.Connect([](std::int16_t& key) {
    if (key == 'x') key = 0;
    if (key == 'a') key = 'A';
  });
  std::vector<std::pair<int, int>> downs;
  text.KeyDown.Connect([&](std::int16_t& key, std::int16_t shift) { downs.emplace_back(key, shift); });
  int surface = 0;
  form.KeyPress.Connect([&](std::int16_t& key) { surface = key; });
  Run("type NameText axb\nkeydown NameText 46 1\nkeypress Editor 13\n");
  EXPECT_EQ(text.Text(), "Ab");
  EXPECT_EQ(downs, (std::vector<std::pair<int, int>>{{46, 1}}));
  EXPECT_EQ(surface, 13);
}

TEST_F(EditScriptTest, OnlyWhatTheDesignerCanReachIsActedOn) {
  EXPECT_EQ(Fault("click Nothing\n"), "script line 1: the editor has no control named 'Nothing'");
  EXPECT_EQ(Fault("cell LinksGrid 1 1\n"), "script line 1: control 'LinksGrid' is not visible");
  button.SetEnabled(false);
  EXPECT_EQ(Fault("click AddCommand\n"), "script line 1: control 'AddCommand' is disabled");
  EXPECT_EQ(Fault("click NameText\n"), "script line 1: 'click' does not apply to control 'NameText'");
  EXPECT_EQ(Fault("select FieldsList z\n"), "script line 1: no item 'z'");
  EXPECT_EQ(Fault("select FieldsList #7\n"), "script line 1: '7' is not a number from 0 to 2");
  EXPECT_EQ(Fault("tab Other\n"), "script line 1: no tab 'Other'");
  EXPECT_EQ(Fault("keypress NameText 300\n"), "script line 1: '300' is not a number from 0 to 255");
}

TEST_F(EditScriptTest, AnswersGoToTheDialogsInOrderAndMustAllBeTaken) {
  button.Click.Connect([this] {
    answers.push_back(boxes.Show("Sure?", platform::mb::YesNo));
    platform::CommonDialog dialog(&dialogs);
    dialog.ShowOpen();
    files.push_back(dialog.FileName());
  });
  Run("answer no\nanswer file \"C:\\a b.asp\"\nclick AddCommand\nanswer FILE\nclick AddCommand\n");
  EXPECT_EQ(answers, (std::vector<MsgBoxResult>{MsgBoxResult::No, MsgBoxResult::Yes}));
  EXPECT_EQ(files, (std::vector<std::string>{"C:\\a b.asp", ""}));
  EXPECT_EQ(shown.str(), "Test: Sure?\nTest: Sure?\n");

  EXPECT_EQ(Fault("answer ok\nanswer file x.asp\nanswer yes\nclick AddCommand\n"),
            "script line 3: no dialog took this answer");
  EXPECT_EQ(Fault("answer maybe\n"),
            "script line 1: unknown answer 'maybe' (file, ok, cancel, yes, no, abort, retry or ignore)");
}

TEST_F(EditScriptTest, ARunTimeErrorEscapingAnActionFailsItsLine) {
  button.Click.Connect([] { platform::Raise(platform::err::InvalidPropertyValue); });
  EXPECT_EQ(Fault("tab 0\nclick AddCommand\n"), "script line 2: click failed: Invalid property value (380)");
}

}  // namespace
}  // namespace host
