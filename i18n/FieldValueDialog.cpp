// SpecifyI18NFieldValueDialog: the stored values of one field with their labels, edited in a grid
// through two editors laid over its cells, and written to the I18N database on OK.
//
// The change register records what OK has to write for each value that is or was in the grid
// (ValueState). OK first deletes, then inserts and changes in grid order, each statement on its own
// connection; a value whose statement has run is registered as stored from then on, so an OK that
// an error stopped half way can be repeated without writing anything twice.
#include <algorithm>
#include <string>

#include "controlkit/TextFunctions.h"
#include "i18n/TranslationDialogs.h"

namespace i18n {

// ---------------------------------------------------------------------------------------------------
// ChangeRegister

std::optional<ValueState> ChangeRegister::Find(std::string_view value) const {
  for (const auto& [key, state] : entries_) {
    if (key == value) return state;
  }
  return std::nullopt;
}

void ChangeRegister::Set(std::string_view value, ValueState state) {
  for (auto& [key, current] : entries_) {
    if (key == value) {
      current = state;
      return;
    }
  }
  entries_.emplace_back(std::string(value), state);
}

void ChangeRegister::Remove(std::string_view value) {
  std::erase_if(entries_, [&](const auto& entry) { return entry.first == value; });
}

// ---------------------------------------------------------------------------------------------------
// Layout and events

namespace {

constexpr std::int32_t kGridLeft = 120, kGridTop = 600, kGridWidth = 6000, kGridHeight = 1695;
constexpr std::int32_t kRowHeight = 240;
constexpr const char* kNoText = "<EMPTY>";

}  // namespace

SpecifyI18NFieldValueDialog::SpecifyI18NFieldValueDialog(TranslationDialogs& owner)
    : Dialog(owner, "SpecifyI18NFieldValueDialog", "Specify translation"),
      FieldNameText(form.Add<platform::TextBox>("FieldNameText")),
      I18NFieldValuesGrid(form.Add<platform::FlexGrid>("I18NFieldValuesGrid", 2, 4, 1, 1)),
      EditText(form.Add<platform::TextBox>("EditText")),
      LabelsCombo(form.Add<platform::ComboBox>("LabelsCombo")),
      AddCommand(form.Add<platform::CommandButton>("AddCommand", "Add")),
      DeleteCommand(form.Add<platform::CommandButton>("DeleteCommand", "Delete")),
      AddLabelCommand(form.Add<platform::CommandButton>("AddLabelCommand", "Add label...")),
      OKButton(form.Add<platform::CommandButton>("OKButton", "OK")),
      CancelButton(form.Add<platform::CommandButton>("CancelButton", "Cancel")) {
  form.Add<Label>("FieldNameLabel", "Fieldname:").Move(120, 120, 1000, 285);
  form.Add<Label>("ValuesLabel", "Values:").Move(120, 420, 1000, 285);
  FieldNameText.Move(1200, 120, 3000, 285);
  I18NFieldValuesGrid.Move(kGridLeft, kGridTop, kGridWidth, kGridHeight);
  I18NFieldValuesGrid.SetRowHeightMin(kRowHeight);
  AddCommand.Move(6240, 600, 1095, 375);
  DeleteCommand.Move(6240, 1080, 1095, 375);
  AddLabelCommand.Move(6240, 1560, 1095, 375);
  OKButton.Move(4920, 2460, 1095, 375);
  CancelButton.Move(6240, 2460, 1095, 375);
  EditText.SetVisible(false);
  LabelsCombo.SetVisible(false);

  // Column widths as the dialog is loaded; column 3 takes what the first three leave.
  I18NFieldValuesGrid.SetColWidth(kMarkerColumn, 250);
  I18NFieldValuesGrid.SetColWidth(kValueColumn, 1300);
  I18NFieldValuesGrid.SetColWidth(kLabelColumn, 1350);
  translationWidth_ = I18NFieldValuesGrid.Width() - 3100;
  I18NFieldValuesGrid.SetColWidth(kTranslationColumn, translationWidth_);

  I18NFieldValuesGrid.Click.Connect([this] { I18NFieldValuesGrid_Click(); });
  I18NFieldValuesGrid.KeyPress.Connect([this](std::int16_t& key) { I18NFieldValuesGrid_Edit(key); });
  I18NFieldValuesGrid.EnterCell.Connect([this] { MoveAsterisk(I18NFieldValuesGrid.Row()); });
  I18NFieldValuesGrid.GotFocus.Connect([this] { MoveAsterisk(I18NFieldValuesGrid.Row()); });
  EditText.LostFocus.Connect([this] { EditText_LostFocus(); });
  LabelsCombo.Click.Connect([this] { LabelsCombo_Click(); });
  AddCommand.Click.Connect([this] { AddCommand_Click(); });
  DeleteCommand.Click.Connect([this] { DeleteCommand_Click(); });
  AddLabelCommand.Click.Connect([this] { AddLabelCommand_Click(); });
  OKButton.Click.Connect([this] { OKButton_Click(); });
  CancelButton.Click.Connect([this] { CancelButton_Click(); });
}

void SpecifyI18NFieldValueDialog::WriteHeaders() {
  I18NFieldValuesGrid.SetTextMatrix(0, kValueColumn, "Value");
  I18NFieldValuesGrid.SetTextMatrix(0, kLabelColumn, "Label");
  I18NFieldValuesGrid.SetTextMatrix(0, kTranslationColumn, "Translation");
}

// Column 3 is narrower by the allowance exactly while the rows do not fit the grid's height (the
// vertical scroll bar shows then). Set from the row count each time, so the width follows however
// the rows came and went, stored values read by Init included.
void SpecifyI18NFieldValueDialog::ApplyScrollBarAllowance() {
  platform::FlexGrid& grid = I18NFieldValuesGrid;
  const bool fit = grid.Height() > grid.Rows() * grid.RowHeightMin();
  grid.SetColWidth(kTranslationColumn, translationWidth_ - (fit ? 0 : kScrollBarAllowance));
}

// Places an editor over a cell: the cell's left edge and width, its row's top.
void SpecifyI18NFieldValueDialog::OverlayCell(platform::Control& editor, std::int32_t row, std::int32_t col) {
  const platform::FlexGrid& grid = I18NFieldValuesGrid;
  std::int32_t left = grid.Left();
  for (std::int32_t c = 0; c < col; ++c) left += grid.ColWidth(c);
  editor.Move(left, grid.Top() + row * grid.RowHeightMin(), grid.ColWidth(col), grid.RowHeightMin());
  editor.SetVisible(true);
  form.SetFocus(editor);
}

// ---------------------------------------------------------------------------------------------------
// Procedures

void SpecifyI18NFieldValueDialog::Init() {
  Trapped("Init", [&] {
    platform::FlexGrid& grid = I18NFieldValuesGrid;
    EditText.SetVisible(false);
    LabelsCombo.SetVisible(false);
    grid.Clear();
    LabelsCombo.Clear();
    grid.SetRows(2);
    grid.SetRow(1);
    WriteHeaders();
    register_.Clear();

    auto db = owner_.ConnectThroughComponent();
    for (std::string& label : db->KRMVALabels()) LabelsCombo.AddItem(std::move(label));
    std::int32_t row = 1;
    for (const FieldValueTranslation& stored :
         db->FieldValueTranslations(providername_, bisType_, FieldNameText.Text())) {
      if (row >= grid.Rows()) grid.AddItem();
      register_.Set(stored.value, ValueState::Stored);
      grid.SetTextMatrix(row, kValueColumn, stored.value);
      grid.SetTextMatrix(row, kLabelColumn, stored.label);
      grid.SetTextMatrix(row, kTranslationColumn, stored.text);
      ++row;
    }
    db->Close();
    ApplyScrollBarAllowance();
    MoveAsterisk(grid.Row());
  });
}

void SpecifyI18NFieldValueDialog::MoveAsterisk(std::int32_t row) {
  Trapped("MoveAsterisk", [&] {
    platform::FlexGrid& grid = I18NFieldValuesGrid;
    if (markedRow_ >= 1 && markedRow_ < grid.Rows()) grid.SetTextMatrix(markedRow_, kMarkerColumn, "");
    grid.SetTextMatrix(row, kMarkerColumn, "*");
    markedRow_ = row;
  });
}

void SpecifyI18NFieldValueDialog::I18NFieldValuesGrid_Click() {
  Trapped("I18NFieldValuesGrid_Click", [&] { I18NFieldValuesGrid_Edit(kEnterKey); });
}

void SpecifyI18NFieldValueDialog::I18NFieldValuesGrid_Edit(std::int16_t keyAscii) {
  Trapped("I18NFieldValuesGrid_Edit", [&] {
    platform::FlexGrid& grid = I18NFieldValuesGrid;
    const std::int32_t row = grid.Row(), col = grid.Col();
    if (row < 1) return;  // the header row holds no values
    if (col == kValueColumn) {
      if (keyAscii == kEnterKey) {
        EditText.SetText(grid.TextMatrix(row, col));
      } else {
        EditText.SetText(std::string(1, static_cast<char>(keyAscii)));
      }
      OverlayCell(EditText, row, col);
    } else if (col == kLabelColumn) {
      if (grid.TextMatrix(row, kValueColumn).empty()) {
        Boxes().Show("Enter a value first...");
        return;
      }
      if (keyAscii == kEnterKey) {
        // Showing the cell's label in the combo is not a choice of the designer's: the selection's
        // Click must not mark the value as changed.
        const auto& items = LabelsCombo.Items();
        const auto found = std::find(items.begin(), items.end(), grid.TextMatrix(row, col));
        choosingLabel_ = true;
        try {
          LabelsCombo.SetListIndex(found == items.end() ? -1
                                                        : static_cast<std::int32_t>(found - items.begin()));
        } catch (...) {
          choosingLabel_ = false;
          throw;
        }
        choosingLabel_ = false;
      } else {
        LabelsCombo.SetText(std::string(1, static_cast<char>(keyAscii)));
      }
      OverlayCell(LabelsCombo, row, col);
    }
  });
}

// An empty text clears the row's value: the old value is dropped as if its row were deleted, and
// nothing is registered for the empty cell, so OK never writes an empty field value.
void SpecifyI18NFieldValueDialog::EditText_LostFocus() {
  Trapped("EditText_LostFocus", [&] {
    platform::FlexGrid& grid = I18NFieldValuesGrid;
    const std::int32_t row = markedRow_;
    if (row >= 1 && row < grid.Rows()) {
      const std::string old = grid.TextMatrix(row, kValueColumn);
      const std::string typed = EditText.Text();
      if (typed != old) {
        if (const auto state = register_.Find(typed)) {
          if (*state == ValueState::Deleted) {
            register_.Set(typed, ValueState::Changed);  // the deletion is cancelled
          } else {
            Boxes().Show("Value is already translated");
          }
        } else {
          if (const auto oldState = register_.Find(old)) {
            if (*oldState == ValueState::New) {
              register_.Remove(old);
            } else {
              register_.Set(old, ValueState::Deleted);
            }
          }
          if (!typed.empty()) register_.Set(typed, ValueState::New);
          grid.SetTextMatrix(row, kValueColumn, typed);
        }
      }
    }
    EditText.SetText("");
    EditText.SetVisible(false);
  });
}

void SpecifyI18NFieldValueDialog::LabelsCombo_Click() {
  if (choosingLabel_) return;
  Trapped("LabelsCombo_Click", [&] {
    platform::FlexGrid& grid = I18NFieldValuesGrid;
    const std::int32_t row = markedRow_;
    if (row < 1 || row >= grid.Rows()) return;
    const std::string value = grid.TextMatrix(row, kValueColumn);
    if (!value.empty()) {
      register_.Set(value, register_.Find(value) == ValueState::New ? ValueState::New : ValueState::Changed);
      grid.SetTextMatrix(row, kLabelColumn, LabelsCombo.Text());
    }
    LabelsCombo.SetVisible(false);
    UpdateTranslation(row);
  });
}

void SpecifyI18NFieldValueDialog::UpdateTranslation(std::int32_t row) {
  Trapped("UpdateTranslation", [&] {
    platform::FlexGrid& grid = I18NFieldValuesGrid;
    auto db = owner_.ConnectThroughComponent();
    const std::optional<std::string> text = db->LabelText(grid.TextMatrix(row, kLabelColumn));
    db->Close();
    grid.SetTextMatrix(row, kTranslationColumn, text.value_or(kNoText));
  });
}

void SpecifyI18NFieldValueDialog::UpdateLabels() {
  Trapped("UpdateLabels", [&] {
    auto db = owner_.ConnectThroughComponent();
    std::vector<std::string> labels = db->LabelsAfterKRMVA1999();
    db->Close();
    LabelsCombo.Clear();
    for (std::string& label : labels) LabelsCombo.AddItem(std::move(label));
  });
}

void SpecifyI18NFieldValueDialog::AddCommand_Click() {
  Trapped("AddCommand_Click", [&] {
    platform::FlexGrid& grid = I18NFieldValuesGrid;
    grid.AddItem();
    grid.SetRow(grid.Rows() - 1);
    ApplyScrollBarAllowance();
    MoveAsterisk(grid.Row());
  });
}

void SpecifyI18NFieldValueDialog::DeleteCommand_Click() {
  Trapped("DeleteCommand_Click", [&] {
    platform::FlexGrid& grid = I18NFieldValuesGrid;
    const std::int32_t row = markedRow_;
    if (row < 1 || row >= grid.Rows()) return;
    const std::string value = grid.TextMatrix(row, kValueColumn);
    if (const auto state = register_.Find(value)) {
      if (*state == ValueState::New) {
        register_.Remove(value);
      } else {
        register_.Set(value, ValueState::Deleted);
      }
    }
    if (grid.Rows() > 2) {
      grid.RemoveItem(row);
    } else {
      grid.Clear();  // the only data row stays, emptied
      WriteHeaders();
    }
    ApplyScrollBarAllowance();
    MoveAsterisk(grid.Row());
  });
}

void SpecifyI18NFieldValueDialog::AddLabelCommand_Click() {
  Trapped("AddLabelCommand_Click", [&] {
    owner_.AddLabel().ShowModal();
    UpdateLabels();
  });
}

bool SpecifyI18NFieldValueDialog::DeleteFieldValueTranslation(const std::string& field,
                                                              const std::string& value) {
  return Trapped("DeleteFieldValueTranslation", [&] {
    auto db = owner_.ConnectThroughComponent();
    db->DeleteFieldValueTranslation(providername_, bisType_, field, value);
    db->Close();
  });
}

bool SpecifyI18NFieldValueDialog::ChangeFieldValueTranslation(const std::string& field,
                                                              const std::string& value,
                                                              const std::string& label) {
  return Trapped("ChangeFieldValueTranslation", [&] {
    auto db = owner_.ConnectThroughComponent();
    db->ChangeFieldValueTranslation(providername_, bisType_, field, value, label);
    db->Close();
  });
}

bool SpecifyI18NFieldValueDialog::InsertFieldValueTranslation(const std::string& field,
                                                              const std::string& value,
                                                              const std::string& label) {
  return Trapped("InsertFieldValueTranslation", [&] {
    auto db = owner_.ConnectThroughComponent();
    db->InsertFieldValueTranslation(providername_, bisType_, field, value, label);
    db->Close();
  });
}

// A statement that fails has shown its own procedure's message; OK stops there with the dialog open.
void SpecifyI18NFieldValueDialog::OKButton_Click() {
  Trapped("OKButton_Click", [&] {
    const std::string field(controlkit::TrimSpaces(FieldNameText.Text()));
    const auto entries = register_.Entries();
    for (const auto& [value, state] : entries) {
      if (state != ValueState::Deleted) continue;
      if (!DeleteFieldValueTranslation(field, value)) return;
      register_.Remove(value);
    }
    platform::FlexGrid& grid = I18NFieldValuesGrid;
    for (std::int32_t row = 1; row < grid.Rows(); ++row) {
      const std::string value = grid.TextMatrix(row, kValueColumn);
      const std::string label = grid.TextMatrix(row, kLabelColumn);
      const auto state = register_.Find(value);
      if (state == ValueState::New) {
        if (!InsertFieldValueTranslation(field, value, label)) return;
      } else if (state == ValueState::Changed) {
        if (!ChangeFieldValueTranslation(field, value, label)) return;
      } else {
        continue;
      }
      register_.Set(value, ValueState::Stored);
    }
    Hide();
  });
}

void SpecifyI18NFieldValueDialog::CancelButton_Click() {
  Hide();
}

}  // namespace i18n
