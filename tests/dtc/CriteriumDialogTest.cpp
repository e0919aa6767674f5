// The criterion value dialog: opening for each kind of value, unpacking and rebuilding the function
// text, switching kinds, OK through SetKeyValue (and a failure inside it), Cancel.
#include "ControlFixture.h"
#include "dtc/CriteriumDialog.h"

namespace dtc::testing {
namespace {

using platform::Form;

constexpr char kCrLf[] = "\r\n";

TEST(ScriptBodyTest, UnpackingDropsHeadEndAndBlankLinesWhateverTheLineEnds) {
  EXPECT_EQ(UnpackScriptBody(""), "");
  EXPECT_EQ(UnpackScriptBody("Function F()"), "");
  EXPECT_EQ(UnpackScriptBody("Function F()\r\nEnd Function"), "");
  EXPECT_EQ(UnpackScriptBody("Function F()\r\n\r\n  a = 1\r  \nb = 2\n\r\nEnd Function 'F()"),
            "  a = 1\r\nb = 2\r\n");
  const std::string text = LocalScriptFunctionText("GetStatus", "x = 1\r\n");
  EXPECT_EQ(text, "Function GetStatus()\r\n\r\nx = 1\r\n\r\nEnd Function 'GetStatus()");
  EXPECT_EQ(UnpackScriptBody(text), "x = 1\r\n");
  EXPECT_EQ(LocalScriptFunctionText("<BODY>", "b"), "Function <BODY>()\r\n\r\nb\r\nEnd Function '<BODY>()");
}

class CriteriumDialogTest : public ControlTest {
 protected:
  CriteriumDialogTest() : control(NewControl()), grid(control->Editor().DRAV.CriteriaGrid) {
    control->Editor().form.SetModalLoop([this](Form& dialog) {
      ++openings;
      if (act) act(dialog);
    });
  }

  template <class T>
  static T& Get(Form& dialog, const char* name) {
    return *dynamic_cast<T*>(dialog.Find(name));
  }
  static platform::TextBox& Box(Form& d, const char* name) { return Get<platform::TextBox>(d, name); }
  static void Press(Form& d, const char* name) { Get<platform::CommandButton>(d, name).Click.Raise(); }
  static void Choose(Form& d, const char* name) { Get<platform::OptionButton>(d, name).SetValue(true); }

  // Opens the dialog for DRAV row 1 as the value button does.
  void Open() {
    const std::string value = grid.TextMatrix(1, 3);
    const platform::Variant* script = control->UserDefinedScripts()->Find(value);
    const platform::Variant* kind = control->CriteriaTypes(ProviderKind::DRAV).Find(value);
    control->ShowCriteriumDialog(2, 1, value, script ? script->ToString() : "",
                                 kind ? *kind : platform::Variant());
  }
  std::string Script(const std::string& name) {
    const platform::Variant* script = control->UserDefinedScripts()->Find(name);
    return script ? script->ToString() : "<none>";
  }

  std::unique_ptr<HeaderDTC> control;
  platform::FlexGrid& grid;
  int openings = 0;
  std::function<void(Form&)> act;
};

TEST_F(CriteriumDialogTest, OpeningForAnEmptyValueAndForAConstant) {
  act = [](Form& d) {
    EXPECT_EQ(Box(d, "NameText").Text(), "");
    EXPECT_TRUE(d.Find("NameText")->Enabled());
    EXPECT_TRUE(Get<platform::OptionButton>(d, "ConstantOption").Value());
    EXPECT_EQ(Box(d, "ScriptBodyText").Text(), "");
    EXPECT_EQ(Box(d, "ScriptText").Text(),
              std::string("Function ()") + kCrLf + kCrLf + kCrLf + "End Function '()");
    Press(d, "CancelButton");
  };
  Open();
  grid.SetTextMatrix(1, 3, "A");
  act = [](Form& d) {
    EXPECT_EQ(Box(d, "NameText").Text(), "A");
    EXPECT_FALSE(d.Find("NameText")->Enabled());
    EXPECT_TRUE(Get<platform::OptionButton>(d, "ConstantOption").Value());
    EXPECT_EQ(Box(d, "ScriptText").Text(), LocalScriptFunctionText("A", ""));
    Press(d, "CancelButton");
  };
  Open();
  EXPECT_EQ(openings, 2);
  EXPECT_EQ(control->CriteriaTypes(ProviderKind::DRAV).Count(), 0) << "Cancel records nothing";
  EXPECT_EQ(control->UserDefinedScripts()->Count(), 0);
  EXPECT_EQ(grid.TextMatrix(1, 3), "A");
}

TEST_F(CriteriumDialogTest, LocalScriptRoundTripIsStableAfterOKTwice) {
  act = [](Form& d) {
    Box(d, "NameText").SetText("GetStatus");
    Choose(d, "LocalScriptOption");
    Box(d, "ScriptBodyText").SetText("x = 1\r\n\r\n  y = 2");
    Press(d, "OKButton");
  };
  Open();
  const std::string first = Script("GetStatus");
  EXPECT_EQ(first, "Function GetStatus()\r\n\r\nx = 1\r\n\r\n  y = 2\r\nEnd Function 'GetStatus()");
  EXPECT_EQ(grid.TextMatrix(1, 3), "GetStatus");
  EXPECT_EQ(control->CriteriaTypes(ProviderKind::DRAV).Find("GetStatus")->ToLong(), USERSCRIPT);

  std::string body;
  act = [&](Form& d) {
    EXPECT_TRUE(Get<platform::OptionButton>(d, "LocalScriptOption").Value());
    EXPECT_FALSE(d.Find("NameText")->Enabled());
    body = Box(d, "ScriptBodyText").Text();
    Press(d, "OKButton");
  };
  Open();
  EXPECT_EQ(body, "x = 1\r\n  y = 2\r\n");
  const std::string second = Script("GetStatus");
  EXPECT_EQ(second, LocalScriptFunctionText("GetStatus", "x = 1\r\n  y = 2\r\n"));
  Open();
  EXPECT_EQ(Script("GetStatus"), second) << "stable from the second OK on";
}

TEST_F(CriteriumDialogTest, SwitchingKindsAndTheNameFollowsIntoTheOverview) {
  act = [](Form& d) {
    Choose(d, "LocalScriptOption");
    Box(d, "ScriptBodyText").SetText("a\r\n");
    Box(d, "NameText").SetText("Late");
    EXPECT_EQ(Box(d, "ScriptText").Text(), LocalScriptFunctionText("Late", "a\r\n"));
    Choose(d, "ConstantOption");
    EXPECT_EQ(Box(d, "ScriptBodyText").Text(), "(Not applicable)");
    EXPECT_EQ(Box(d, "ScriptText").Text(), "(Not applicable)");
    EXPECT_FALSE(d.Find("ScriptBodyText")->Enabled());
    Box(d, "NameText").SetText("Later");
    EXPECT_EQ(Box(d, "ScriptText").Text(), "(Not applicable)");
    Choose(d, "LocalScriptOption");
    EXPECT_EQ(Box(d, "ScriptBodyText").Text(), "");
    EXPECT_TRUE(d.Find("ScriptBodyText")->Enabled());
    EXPECT_EQ(Box(d, "ScriptText").Text(), LocalScriptFunctionText("Later", ""));
    Press(d, "OKButton");
  };
  Open();
  EXPECT_EQ(Script("Later"), LocalScriptFunctionText("Later", ""));
}

TEST_F(CriteriumDialogTest, IncludedOrConstantDropsTheLocalScript) {
  grid.SetTextMatrix(1, 3, "Lookup");
  std::int16_t tab = 2, row = 1;
  std::string name = "Lookup", text = LocalScriptFunctionText("Lookup", "z\r\n");
  SpecificationType type = USERSCRIPT;
  control->SetKeyValue(tab, row, name, text, type);
  act = [](Form& d) {
    Choose(d, "IncludedScriptOption");
    Press(d, "OKButton");
  };
  Open();
  EXPECT_EQ(Script("Lookup"), "<none>");
  EXPECT_EQ(control->CriteriaTypes(ProviderKind::DRAV).Find("Lookup")->ToLong(), INCLUDEFUNCTION);
  act = [](Form& d) {
    Choose(d, "ConstantOption");
    Press(d, "OKButton");
  };
  Open();
  EXPECT_EQ(control->CriteriaTypes(ProviderKind::DRAV).Find("Lookup")->ToLong(), CONSTANT);
}

TEST_F(CriteriumDialogTest, AFailureInsideOKIsReportedAndTheDialogStaysUsable) {
  int presses = 0;
  bool shownAfterFailure = false;
  act = [&](Form& d) {
    Box(d, "NameText").SetText("v");
    Press(d, "OKButton");
    ++presses;
    shownAfterFailure = d.Shown();
    Press(d, "CancelButton");
    EXPECT_FALSE(d.Shown());
  };
  control->ShowCriteriumDialog(2, 40, "", "", platform::Variant());  // no row 40
  EXPECT_EQ(presses, 1);
  EXPECT_TRUE(shownAfterFailure);
  EXPECT_EQ(boxes.Prompts(),
            std::vector<std::string>{"Error in 'OKButton_Click': Invalid property array index (381)"});
}

TEST_F(CriteriumDialogTest, WithoutAModalLoopTheDialogClosesAsCancelled) {
  control->Editor().form.SetModalLoop(nullptr);
  grid.SetTextMatrix(1, 3, "v");
  Open();
  EXPECT_EQ(control->CriteriaTypes(ProviderKind::DRAV).Count(), 0);
  EXPECT_EQ(grid.TextMatrix(1, 3), "v");
}

}  // namespace
}  // namespace dtc::testing
