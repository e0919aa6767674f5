// A provider tab, DRAV or EAI: the return fields chosen from the provider's available fields and
// ordered, and the criteria grid with its in-place editors and the value button that opens the
// criterion dialog. Its procedures carry the kind's prefix ("DRAVAddField_Click", "PrepareDRAVTab").
// HeaderDTC holds one per kind; each holds its kind's state (the criteria value kinds and the grid's editing
// state) and takes its kind's row of the kind table (dtc/ProviderKinds.h) where the two tabs differ.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dtc/ControlContext.h"
#include "dtc/ProviderKinds.h"
#include "runtime/Dictionary.h"
#include "runtime/Variant.h"

namespace dtc {

// Enables the add / remove buttons of a kind's field lists by whether the lists hold items.
void ApplyFieldButtonRule(ProviderControls& side);

class ProviderTab {
 public:
  // The marking of the criteria grid: the row with "*" (DRAVCriteriaMarkedRow), the row marked
  // before it (the edit row), and whether the value editor still warns about the Del key.
  struct CriteriaMarks {
    std::int16_t markedRow = -1;
    std::int16_t editRow = -1;
    bool valueWarningArmed = true;
  };
  // The row each in-place editor was opened in; its write-back goes there (-1: not opened).
  struct CriteriaEditorRows {
    std::int16_t key = -1;
    std::int16_t op = -1;
    std::int16_t value = -1;
  };
  // Opens the criterion dialog for a row of this tab's grid (HeaderDTC::ShowCriteriumDialog).
  using CriteriumDialogOpener =
      std::function<void(std::int16_t row, const std::string& value, const std::string& body,
                         const platform::Variant& valueKind)>;

  // Connects the tab's handlers to its controls' events.
  ProviderTab(ControlContext& control, ProviderKind kind, CriteriumDialogOpener openCriteriumDialog);
  ProviderTab(const ProviderTab&) = delete;
  ProviderTab& operator=(const ProviderTab&) = delete;

  // Start-up: the grid's editing state reset, the operators combo filled, the grid laid out, the
  // value kinds emptied.
  void Start();
  // The tab protocol: PrepareDRAVTab / PrepareEAITab and SaveDRAVState / SaveEAIState.
  void Prepare();
  void SaveState();

  // The handlers; the trap shows them under their kind's procedure names ("DRAVAddField_Click").
  void AddField_Click();
  void FieldsList_DblClick();
  void RemoveField_Click();
  void MoveUpCommand_Click();
  void MoveDownCommand_Click();
  void AddCriteriumCommand_Click();
  void RemoveCriteriumCommand_Click();
  void CriteriaGrid_Click();
  void CriteriaGrid_DblClick();
  void CriteriaGrid_EnterCell();
  void CriteriaGrid_GotFocus();
  void CriteriaGrid_KeyPress(std::int16_t& KeyAscii);
  void CriteriaGrid_Scroll();
  void KeyFieldsCombo_LostFocus();
  void OperatorsCombo_LostFocus();
  void KeyFieldValueText_KeyDown(std::int16_t& KeyCode, std::int16_t Shift);
  void KeyFieldValueText_KeyPress(std::int16_t& KeyAscii);
  void KeyFieldValueText_LostFocus();

  // Marks `row` of the criteria grid ("*", "..."); the row marked before becomes the edit row.
  void MoveCriteriaAsterisk(std::int16_t row);
  // Opens the in-place editor of the grid's current cell; KeyAscii 13 opens it on the cell's text.
  void CriteriaGridEdit(std::int16_t row, std::int16_t column, std::int16_t KeyAscii);

  // DRAVCriteriaTypes / EAICriteriaTypes: value text -> SpecificationType.
  platform::Dictionary& CriteriaTypes() noexcept { return criteriaTypes_; }
  const platform::Dictionary& CriteriaTypes() const noexcept { return criteriaTypes_; }
  CriteriaMarks& Marks() noexcept { return marks_; }
  const CriteriaEditorRows& EditorRows() const noexcept { return opened_; }

 private:
  ControlContext& control_;
  const KindVariation& kind_;
  ProviderControls& side_;
  CriteriumDialogOpener openCriteriumDialog_;

  platform::Dictionary criteriaTypes_;
  CriteriaMarks marks_;
  CriteriaEditorRows opened_;
};

}  // namespace dtc
