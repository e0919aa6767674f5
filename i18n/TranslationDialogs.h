// The translation dialogs of the control: the question before a field-name translation is added,
// the field-name dialog, the field-value dialog and the new-label dialog.
//
// Each dialog is a form of its own with the controls named below, created on first use and kept
// by TranslationDialogs: OK and Cancel hide a dialog, and the next use shows the same instance with
// what it held. Every procedure runs under the control's common error trap with its own name; an
// operation on the I18N database opens its own connection (I18NDatabase.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "i18n/I18NDatabase.h"
#include "platform/Ado.h"
#include "platform/Com.h"
#include "runtime/Forms.h"
#include "runtime/MessageBox.h"

namespace i18n {

// What the dialogs work with.
struct TranslationServices {
  platform::MessageBoxes& messageBoxes;
  // Creates "Corvane.DatasourceConnection" (none: it cannot be created).
  platform::ComponentCreator* components = nullptr;
  // The ADO objects (none: the ODBC backend, opened at the first operation).
  platform::ado::DataAccess* dataAccess = nullptr;
  // The form whose modal loop the dialogs run in, the editor's (none: a dialog closes as soon as it
  // is shown, as if cancelled).
  platform::Form* owner = nullptr;
  // Today's date as DATECHANGED text (empty: TodayShortDate).
  std::function<std::string()> today;
};

using platform::Label;

class TranslationDialogs;

// A dialog form: shown modally, hidden by its own buttons.
class Dialog {
 public:
  Dialog(TranslationDialogs& owner, std::string name, std::string caption);
  virtual ~Dialog() = default;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  const std::string& Caption() const noexcept { return caption_; }
  bool Shown() const noexcept { return form.Shown(); }
  // Shows the dialog, paints it and runs its modal loop; returns when it is hidden.
  void ShowModal();
  void Hide() { form.Hide(); }
  // The form is drawn (shown, or uncovered again).
  virtual void Form_Paint() {}

  platform::Form form;

 protected:
  TranslationDialogs& owner_;
  platform::MessageBoxes& Boxes() const;
  // Runs `body` under the common trap with the procedure's name; false when an error ended it.
  bool Trapped(std::string_view procedure, const std::function<void()>& body);

 private:
  std::string caption_;
};

class AddI18NFieldQuestionDialog : public Dialog {
 public:
  explicit AddI18NFieldQuestionDialog(TranslationDialogs& owner);

  // Writing the field name also withdraws an earlier "Yes".
  void SetFieldname(std::string fieldname);
  bool UserAgrees() const noexcept { return userAgrees_; }

  void Form_Paint() override;
  void OKButton_Click();
  void CancelButton_Click();

  Label& QuestionTextLabel;
  platform::CommandButton& OKButton;
  platform::CommandButton& CancelButton;

 private:
  std::string fieldname_;
  bool userAgrees_ = false;
};

class AddLabelDialog : public Dialog {
 public:
  explicit AddLabelDialog(TranslationDialogs& owner);

  void OKButton_Click();
  void CancelButton_Click();

  platform::TextBox& LabelNameText;
  platform::TextBox& LabelValueText;
  platform::CommandButton& OKButton;
  platform::CommandButton& CancelButton;
};

class SpecifyI18NFieldnameDialog : public Dialog {
 public:
  explicit SpecifyI18NFieldnameDialog(TranslationDialogs& owner);

  void SetProvidername(std::string name) { providername_ = std::move(name); }
  void SetBISType(std::string type) { bisType_ = std::move(type); }

  void Form_Paint() override;
  void UpdateLabels();
  void LabelsCombo_LostFocus();
  void AddLabelCommand_Click();
  void OKButton_Click();
  void CancelButton_Click();

  platform::TextBox& FieldNameText;
  platform::ComboBox& LabelsCombo;
  platform::TextBox& TranslationText;
  platform::CommandButton& AddLabelCommand;
  platform::CommandButton& OKButton;
  platform::CommandButton& CancelButton;

 private:
  std::string providername_;
  std::string bisType_;
};

// The states of the field-value dialog's change register.
enum class ValueState : std::int8_t {
  Stored = 0,   // stored, unchanged: nothing is written
  New = 1,      // new in this dialog: inserted (S10)
  Changed = 2,  // stored, label changed: updated (S9)
  Deleted = 3,  // stored, deleted: deleted (S8)
};

// One entry per field value that is or was in the grid, in the order the values were registered.
class ChangeRegister {
 public:
  std::optional<ValueState> Find(std::string_view value) const;
  void Set(std::string_view value, ValueState state);  // adds or replaces
  void Remove(std::string_view value);
  void Clear() { entries_.clear(); }
  const std::vector<std::pair<std::string, ValueState>>& Entries() const noexcept { return entries_; }

 private:
  std::vector<std::pair<std::string, ValueState>> entries_;
};

class SpecifyI18NFieldValueDialog : public Dialog {
 public:
  // Grid columns.
  static constexpr std::int32_t kMarkerColumn = 0, kValueColumn = 1, kLabelColumn = 2, kTranslationColumn = 3;
  // The key code that opens a cell's editor with the cell's own text.
  static constexpr std::int16_t kEnterKey = 13;
  // Column 3 gives up this much while the vertical scroll bar shows.
  static constexpr std::int32_t kScrollBarAllowance = 300;

  explicit SpecifyI18NFieldValueDialog(TranslationDialogs& owner);

  void SetProvidername(std::string name) { providername_ = std::move(name); }
  void SetBISType(std::string type) { bisType_ = std::move(type); }

  // Empties the grid and the register and reads the field's stored values.
  void Init();
  void MoveAsterisk(std::int32_t row);
  void I18NFieldValuesGrid_Click();
  void I18NFieldValuesGrid_Edit(std::int16_t keyAscii);
  void EditText_LostFocus();
  void LabelsCombo_Click();
  void UpdateTranslation(std::int32_t row);
  void UpdateLabels();
  void AddCommand_Click();
  void DeleteCommand_Click();
  void AddLabelCommand_Click();
  void OKButton_Click();
  void CancelButton_Click();

  const ChangeRegister& Register() const noexcept { return register_; }
  std::int32_t MarkedRow() const noexcept { return markedRow_; }

  platform::TextBox& FieldNameText;
  platform::FlexGrid& I18NFieldValuesGrid;
  platform::TextBox& EditText;
  platform::ComboBox& LabelsCombo;
  platform::CommandButton& AddCommand;
  platform::CommandButton& DeleteCommand;
  platform::CommandButton& AddLabelCommand;
  platform::CommandButton& OKButton;
  platform::CommandButton& CancelButton;

 private:
  void WriteHeaders();
  void ApplyScrollBarAllowance();
  void OverlayCell(platform::Control& editor, std::int32_t row, std::int32_t col);
  [[nodiscard]] bool DeleteFieldValueTranslation(const std::string& field, const std::string& value);
  [[nodiscard]] bool ChangeFieldValueTranslation(const std::string& field, const std::string& value,
                                                 const std::string& label);
  [[nodiscard]] bool InsertFieldValueTranslation(const std::string& field, const std::string& value,
                                                 const std::string& label);

  std::string providername_;
  std::string bisType_;
  ChangeRegister register_;
  std::int32_t markedRow_ = -1;
  std::int32_t translationWidth_ = 0;  // column 3 while every row fits
  bool choosingLabel_ = false;         // the editor is selecting the cell's label, not the designer
};

// The single instances of the dialogs, and the services they share.
class TranslationDialogs {
 public:
  explicit TranslationDialogs(TranslationServices services);
  ~TranslationDialogs();

  AddI18NFieldQuestionDialog& Question();
  SpecifyI18NFieldnameDialog& Fieldname();
  SpecifyI18NFieldValueDialog& FieldValues();
  AddLabelDialog& AddLabel();

  platform::MessageBoxes& Boxes() const noexcept { return services_.messageBoxes; }
  platform::Form* Owner() const noexcept { return services_.owner; }
  // A new connection with the string the data-source connection component gives.
  std::unique_ptr<I18NConnection> ConnectThroughComponent();
  // A new connection with a fixed connection string.
  std::unique_ptr<I18NConnection> Connect(std::string_view connectionString);
  std::string Today() const;

 private:
  TranslationServices services_;
  std::unique_ptr<platform::ado::DataAccess> ownAccess_;
  std::unique_ptr<AddI18NFieldQuestionDialog> question_;
  std::unique_ptr<SpecifyI18NFieldnameDialog> fieldname_;
  std::unique_ptr<SpecifyI18NFieldValueDialog> fieldValues_;
  std::unique_ptr<AddLabelDialog> addLabel_;
};

}  // namespace i18n
