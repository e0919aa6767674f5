// The criterion value dialog and its opener, HeaderDTC::ShowCriteriumDialog.
//
// The overview (ScriptText) is what OK stores as the local script's function text, so it follows
// both the body and the name: a name typed for a new value reaches the stored function, instead of
// the name the overview happened to hold at the last body change. It is rebuilt on a name change
// only while "Local script" is chosen; for the other kinds it shows "(Not applicable)".
//
// A failure while OK reports the value (SetKeyValue) is shown by the common error trap under
// "OKButton_Click"; the dialog then stays open, so the designer can correct it or cancel.
#include "dtc/CriteriumDialog.h"

#include "dtc/ErrorTrap.h"
#include "dtc/HeaderDTC.h"
#include "dtc/TextFunctions.h"

namespace dtc {
namespace {

constexpr std::string_view kCrLf = "\r\n";

}  // namespace

std::string LocalScriptFunctionText(std::string_view name, std::string_view body) {
  // Built piece by piece rather than by replacing placeholders, so that a name or body that happens
  // to contain a placeholder's text is kept as typed.
  std::string text = "Function ";
  text.append(name).append("()").append(kCrLf).append(kCrLf);
  text.append(body).append(kCrLf);
  text.append("End Function '").append(name).append("()");
  return text;
}

std::string UnpackScriptBody(std::string_view functionText) {
  // Every line end becomes one break: CR LF, a lone CR and a lone LF alike.
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= functionText.size(); ++i) {
    if (i == functionText.size() || functionText[i] == '\r' || functionText[i] == '\n') {
      lines.push_back(functionText.substr(start, i - start));
      if (i + 1 < functionText.size() && functionText[i] == '\r' && functionText[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  std::string body;
  for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
    if (!TrimSpaces(lines[i]).empty()) body.append(lines[i]).append(kCrLf);
  }
  return body;
}

SpecifyCriteriumDialog::SpecifyCriteriumDialog()
    : form("SpecifyCriteriumDialog"),
      NameText(form.Add<platform::TextBox>("NameText")),
      ConstantOption(form.Add<platform::OptionButton>("ConstantOption", "Constant")),
      IncludedScriptOption(form.Add<platform::OptionButton>("IncludedScriptOption", "Included script")),
      LocalScriptOption(form.Add<platform::OptionButton>("LocalScriptOption", "Local script")),
      ScriptBodyText(form.Add<platform::TextBox>("ScriptBodyText")),
      ScriptText(form.Add<platform::TextBox>("ScriptText")),
      OKButton(form.Add<platform::CommandButton>("OKButton", "OK")),
      CancelButton(form.Add<platform::CommandButton>("CancelButton", "Cancel")) {
  ScriptText.SetEnabled(false);
  form.SetCaption(std::string(kCaption));
  // Where a host that draws the dialog shows its controls (twips).
  form.Add<platform::Label>("NameLabel", "Name:").Move(120, 165, 1000, 255);
  NameText.Move(1200, 120, 3600, 285);
  ConstantOption.Move(1200, 540, 1800, 285);
  IncludedScriptOption.Move(1200, 870, 1800, 285);
  LocalScriptOption.Move(1200, 1200, 1800, 285);
  form.Add<platform::Label>("ScriptBodyLabel", "Script body:").Move(120, 1665, 1000, 255);
  ScriptBodyText.Move(1200, 1620, 3600, 1200);
  form.Add<platform::Label>("ScriptLabel", "Overview:").Move(120, 2985, 1000, 255);
  ScriptText.Move(1200, 2940, 3600, 1500);
  ScriptBodyText.SetMultiLine(true);
  ScriptText.SetMultiLine(true);
  OKButton.Move(2460, 4620, 1095, 375);
  CancelButton.Move(3705, 4620, 1095, 375);
  ConstantOption.Click.Connect([this] { ConstantOption_Click(); });
  IncludedScriptOption.Click.Connect([this] { IncludedScriptOption_Click(); });
  LocalScriptOption.Click.Connect([this] { LocalScriptOption_Click(); });
  ScriptBodyText.Change.Connect([this] { ScriptBodyText_Change(); });
  NameText.Change.Connect([this] { NameText_Change(); });
  OKButton.Click.Connect([this] { OKButton_Click(); });
  CancelButton.Click.Connect([this] { CancelButton_Click(); });
}

void SpecifyCriteriumDialog::SetValueKind(std::int32_t kind) {
  valueKind_ = kind;
  switch (kind) {
    case CONSTANT:
      ConstantOption.SetValue(true);
      break;
    case INCLUDEFUNCTION:
      IncludedScriptOption.SetValue(true);
      break;
    case USERSCRIPT:
      LocalScriptOption.SetValue(true);
      break;
    default:
      break;
  }
}

void SpecifyCriteriumDialog::SetValueName(const std::string& name) {
  NameText.SetText(name);
  if (!name.empty()) NameText.SetEnabled(false);
}

void SpecifyCriteriumDialog::SetScriptBody(const std::string& functionText) {
  ScriptBodyText.SetText(UnpackScriptBody(functionText));
}

void SpecifyCriteriumDialog::ShowNotApplicable() {
  ScriptBodyText.SetText(std::string(kNotApplicable));
  ScriptBodyText.SetEnabled(false);
  ScriptText.SetText(std::string(kNotApplicable));
  ScriptText.SetEnabled(false);
}

void SpecifyCriteriumDialog::ConstantOption_Click() {
  ShowNotApplicable();
}

void SpecifyCriteriumDialog::IncludedScriptOption_Click() {
  ShowNotApplicable();
}

void SpecifyCriteriumDialog::LocalScriptOption_Click() {
  if (ScriptBodyText.Text() == kNotApplicable || ScriptBodyText.Text().empty()) {
    ScriptBodyText.SetText("");
    // An empty body raises no change when it was empty already; the overview shows it all the same.
    RebuildOverview();
  }
  ScriptBodyText.SetEnabled(true);
}

void SpecifyCriteriumDialog::RebuildOverview() {
  ScriptText.SetText(LocalScriptFunctionText(NameText.Text(), ScriptBodyText.Text()));
}

void SpecifyCriteriumDialog::ScriptBodyText_Change() {
  RebuildOverview();
}

void SpecifyCriteriumDialog::NameText_Change() {
  if (LocalScriptOption.Value()) RebuildOverview();
}

void SpecifyCriteriumDialog::OKButton_Click() {
  if (OwnerControl == nullptr) return;  // nobody to report to: the dialog stays open
  RunTrapped(OwnerControl->MessageBoxes(), "OKButton_Click", [&] {
    SpecificationType kind = static_cast<SpecificationType>(valueKind_);
    if (LocalScriptOption.Value()) {
      kind = USERSCRIPT;
    } else if (IncludedScriptOption.Value()) {
      kind = INCLUDEFUNCTION;
    } else if (ConstantOption.Value()) {
      kind = CONSTANT;
    }
    std::int16_t tab = CriteriaKind;
    std::int16_t row = CriteriaRow;
    std::string representation = NameText.Text();
    std::string value = ScriptText.Text();
    OwnerControl->SetKeyValue(tab, row, representation, value, kind);
    form.Hide();
  });
}

void SpecifyCriteriumDialog::CancelButton_Click() {
  ScriptText.SetText("");
  ScriptBodyText.SetText("");
  form.Hide();
}

// ---------------------------------------------------------------------------------------------------

void HeaderDTC::ShowCriteriumDialog(std::int16_t kind, std::int16_t row, const std::string& value,
                                    const std::string& body, const platform::Variant& valueKind) {
  SpecifyCriteriumDialog dialog;
  dialog.OwnerControl = this;
  dialog.CriteriaKind = kind;
  dialog.CriteriaRow = row;
  dialog.SetValueKind(valueKind.IsEmpty() ? 0 : valueKind.ToLong());
  if (value.empty()) {
    dialog.SetValueName("");
    dialog.SetScriptBody("");
  } else {
    dialog.SetValueName(value);
    dialog.SetScriptBody(body);
  }
  dialog.form.ShowModal(context_.ui.form);
}

}  // namespace dtc
