// The question, the field-name dialog, the new-label dialog and the dialogs' shared services.
#include "i18n/TranslationDialogs.h"

#include "controlkit/ErrorTrap.h"

namespace i18n {

// ---------------------------------------------------------------------------------------------------
// Dialog

Dialog::Dialog(TranslationDialogs& owner, std::string name, std::string caption)
    : form(std::move(name)), owner_(owner), caption_(std::move(caption)) {
  form.SetCaption(caption_);
}

platform::MessageBoxes& Dialog::Boxes() const {
  return owner_.Boxes();
}

bool Dialog::Trapped(std::string_view procedure, const std::function<void()>& body) {
  return controlkit::RunTrapped(Boxes(), procedure, body);
}

void Dialog::ShowModal() {
  Form_Paint();
  // Without an owner nobody is at the dialog: it closes as it stands.
  if (platform::Form* owner = owner_.Owner()) form.ShowModal(*owner);
}

// ---------------------------------------------------------------------------------------------------
// AddI18NFieldQuestionDialog

AddI18NFieldQuestionDialog::AddI18NFieldQuestionDialog(TranslationDialogs& owner)
    : Dialog(owner, "AddI18NFieldQuestionDialog", "Question"),
      QuestionTextLabel(form.Add<Label>("QuestionTextLabel")),
      OKButton(form.Add<platform::CommandButton>("OKButton", "Yes")),
      CancelButton(form.Add<platform::CommandButton>("CancelButton", "No")) {
  QuestionTextLabel.Move(120, 120, 4500, 600);
  OKButton.Move(1200, 840, 1095, 375);
  CancelButton.Move(2520, 840, 1095, 375);
  OKButton.Click.Connect([this] { OKButton_Click(); });
  CancelButton.Click.Connect([this] { CancelButton_Click(); });
}

void AddI18NFieldQuestionDialog::SetFieldname(std::string fieldname) {
  fieldname_ = std::move(fieldname);
  userAgrees_ = false;
}

void AddI18NFieldQuestionDialog::Form_Paint() {
  Trapped("Form_Paint", [&] {
    QuestionTextLabel.SetCaption("Do you want to add the translation for field '" + fieldname_ + "'?");
  });
}

void AddI18NFieldQuestionDialog::OKButton_Click() {
  userAgrees_ = true;
  Hide();
}

void AddI18NFieldQuestionDialog::CancelButton_Click() {
  Hide();
}

// ---------------------------------------------------------------------------------------------------
// AddLabelDialog

AddLabelDialog::AddLabelDialog(TranslationDialogs& owner)
    : Dialog(owner, "AddLabelDialog", "Add label"),
      LabelNameText(form.Add<platform::TextBox>("LabelNameText")),
      LabelValueText(form.Add<platform::TextBox>("LabelValueText")),
      OKButton(form.Add<platform::CommandButton>("OKButton", "OK")),
      CancelButton(form.Add<platform::CommandButton>("CancelButton", "Cancel")) {
  form.Add<Label>("LabelNameLabel", "Label:").Move(120, 120, 1500, 285);
  form.Add<Label>("LabelValueLabel", "Value (English):").Move(120, 540, 1500, 285);
  LabelNameText.Move(1680, 120, 3000, 285);
  LabelValueText.Move(1680, 540, 3000, 285);
  OKButton.Move(2280, 1020, 1095, 375);
  CancelButton.Move(3600, 1020, 1095, 375);
  OKButton.Click.Connect([this] { OKButton_Click(); });
  CancelButton.Click.Connect([this] { CancelButton_Click(); });
}

void AddLabelDialog::OKButton_Click() {
  Trapped("OKButton_Click", [&] {
    auto db = owner_.Connect(kVistelleConnectionString);
    const LabelTextWrite write =
        db->WriteLabelText(LabelNameText.Text(), LabelValueText.Text(), owner_.Today());
    if (write.written) {
      Boxes().Show("Warning: Don't forget to translate the (new) label to other languages",
                   platform::mb::OKOnly);
    } else {
      Boxes().Show("Error: No records affected using SQL command '" + write.statement + "'");
    }
    db->Close();
    Hide();
  });
}

void AddLabelDialog::CancelButton_Click() {
  Hide();
}

// ---------------------------------------------------------------------------------------------------
// SpecifyI18NFieldnameDialog

SpecifyI18NFieldnameDialog::SpecifyI18NFieldnameDialog(TranslationDialogs& owner)
    : Dialog(owner, "SpecifyI18NFieldnameDialog", "Specify translation"),
      FieldNameText(form.Add<platform::TextBox>("FieldNameText")),
      LabelsCombo(form.Add<platform::ComboBox>("LabelsCombo")),
      TranslationText(form.Add<platform::TextBox>("TranslationText")),
      AddLabelCommand(form.Add<platform::CommandButton>("AddLabelCommand", "Add label...")),
      OKButton(form.Add<platform::CommandButton>("OKButton", "OK")),
      CancelButton(form.Add<platform::CommandButton>("CancelButton", "Cancel")) {
  form.Add<Label>("FieldNameLabel", "Fieldname:").Move(120, 120, 2200, 285);
  form.Add<Label>("LabelsLabel", "Label:").Move(120, 540, 2200, 285);
  form.Add<Label>("TranslationLabel", "Translation (USA English):").Move(120, 960, 2200, 285);
  FieldNameText.Move(2400, 120, 3000, 285);
  LabelsCombo.Move(2400, 540, 3000, 315);
  TranslationText.Move(2400, 960, 3000, 285);
  AddLabelCommand.Move(120, 1440, 1395, 375);
  OKButton.Move(3000, 1440, 1095, 375);
  CancelButton.Move(4320, 1440, 1095, 375);
  LabelsCombo.LostFocus.Connect([this] { LabelsCombo_LostFocus(); });
  AddLabelCommand.Click.Connect([this] { AddLabelCommand_Click(); });
  OKButton.Click.Connect([this] { OKButton_Click(); });
  CancelButton.Click.Connect([this] { CancelButton_Click(); });
}

void SpecifyI18NFieldnameDialog::Form_Paint() {
  Trapped("Form_Paint", [&] { UpdateLabels(); });
}

// The list is filled anew; the label the combo shows stays, so the dialog keeps what it showed.
void SpecifyI18NFieldnameDialog::UpdateLabels() {
  Trapped("UpdateLabels", [&] {
    auto db = owner_.ConnectThroughComponent();
    std::vector<std::string> labels = db->LabelsAfterKRMVA1999();
    db->Close();
    const std::string shown = LabelsCombo.Text();
    LabelsCombo.Clear();
    for (std::string& label : labels) LabelsCombo.AddItem(std::move(label));
    LabelsCombo.SetText(shown);
  });
}

void SpecifyI18NFieldnameDialog::LabelsCombo_LostFocus() {
  Trapped("LabelsCombo_LostFocus", [&] {
    auto db = owner_.ConnectThroughComponent();
    TranslationText.SetText(db->LabelText(LabelsCombo.Text()).value_or(std::string()));
    db->Close();
  });
}

void SpecifyI18NFieldnameDialog::AddLabelCommand_Click() {
  Trapped("AddLabelCommand_Click", [&] {
    owner_.AddLabel().ShowModal();
    UpdateLabels();
  });
}

void SpecifyI18NFieldnameDialog::OKButton_Click() {
  Trapped("OKButton_Click", [&] {
    auto db = owner_.ConnectThroughComponent();
    db->SetFieldnameLabel(providername_, bisType_, FieldNameText.Text(), LabelsCombo.Text());
    db->Close();
    Hide();
  });
}

void SpecifyI18NFieldnameDialog::CancelButton_Click() {
  Hide();
}

// ---------------------------------------------------------------------------------------------------
// TranslationDialogs

TranslationDialogs::TranslationDialogs(TranslationServices services) : services_(std::move(services)) {}

TranslationDialogs::~TranslationDialogs() = default;

AddI18NFieldQuestionDialog& TranslationDialogs::Question() {
  if (!question_) question_ = std::make_unique<AddI18NFieldQuestionDialog>(*this);
  return *question_;
}

SpecifyI18NFieldnameDialog& TranslationDialogs::Fieldname() {
  if (!fieldname_) fieldname_ = std::make_unique<SpecifyI18NFieldnameDialog>(*this);
  return *fieldname_;
}

SpecifyI18NFieldValueDialog& TranslationDialogs::FieldValues() {
  if (!fieldValues_) fieldValues_ = std::make_unique<SpecifyI18NFieldValueDialog>(*this);
  return *fieldValues_;
}

AddLabelDialog& TranslationDialogs::AddLabel() {
  if (!addLabel_) addLabel_ = std::make_unique<AddLabelDialog>(*this);
  return *addLabel_;
}

std::unique_ptr<I18NConnection> TranslationDialogs::Connect(std::string_view connectionString) {
  platform::ado::DataAccess* access = services_.dataAccess;
  if (access == nullptr) {
    if (!ownAccess_) ownAccess_ = platform::ado::OpenOdbcDataAccess();
    access = ownAccess_.get();
  }
  return std::make_unique<I18NConnection>(*access, connectionString);
}

std::unique_ptr<I18NConnection> TranslationDialogs::ConnectThroughComponent() {
  return Connect(I18NConnectionString(services_.components));
}

std::string TranslationDialogs::Today() const {
  return services_.today ? services_.today() : TodayShortDate();
}

}  // namespace i18n
