// SpecifyCriteriumDialog: the modal dialog in which the designer chooses what a criterion value is
// (a constant, a function of an included file, or a local script whose body is written here) and
// confirms it. HeaderDTC::ShowCriteriumDialog opens one for a criteria grid row; OK reports through
// HeaderDTC::SetKeyValue, Cancel reports nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/Forms.h"

namespace dtc {

class HeaderDTC;

// The function text of a local script: head line, an empty line, the body, an empty line, end line.
std::string LocalScriptFunctionText(std::string_view name, std::string_view body);

// The body of a stored function text: every line end made CR LF, the head and end lines dropped,
// blank lines dropped, each kept line ending in CR LF. Fewer than three lines give an empty body.
std::string UnpackScriptBody(std::string_view functionText);

class SpecifyCriteriumDialog {
 public:
  static constexpr std::string_view kCaption = "Specify script";
  static constexpr std::string_view kNotApplicable = "(Not applicable)";

  SpecifyCriteriumDialog();
  SpecifyCriteriumDialog(const SpecifyCriteriumDialog&) = delete;
  SpecifyCriteriumDialog& operator=(const SpecifyCriteriumDialog&) = delete;

  platform::Form form;
  platform::TextBox& NameText;  // the value: a constant or a function name ("Name:")
  platform::OptionButton& ConstantOption;
  platform::OptionButton& IncludedScriptOption;
  platform::OptionButton& LocalScriptOption;
  platform::TextBox& ScriptBodyText;  // a local script's body ("Script body:")
  platform::TextBox& ScriptText;      // the whole function text ("Overview:"), never edited directly
  platform::CommandButton& OKButton;
  platform::CommandButton& CancelButton;

  // Set by the opener before the dialog is shown, in this order.
  HeaderDTC* OwnerControl = nullptr;
  std::int16_t CriteriaKind = 0;  // ProviderKind code of the grid: 1 EAI, 2 DRAV
  std::int16_t CriteriaRow = 0;
  std::int32_t ValueKind() const noexcept { return valueKind_; }
  // Selects the option of a SpecificationType (another number selects none).
  void SetValueKind(std::int32_t kind);
  // An existing value keeps its name: a non-empty name disables NameText.
  void SetValueName(const std::string& name);
  // Unpacks a stored function text into the body box.
  void SetScriptBody(const std::string& functionText);

  void ConstantOption_Click();
  void IncludedScriptOption_Click();
  void LocalScriptOption_Click();
  void ScriptBodyText_Change();
  void NameText_Change();
  void OKButton_Click();
  void CancelButton_Click();

 private:
  void ShowNotApplicable();
  void RebuildOverview();

  std::int32_t valueKind_ = 0;
};

}  // namespace dtc
