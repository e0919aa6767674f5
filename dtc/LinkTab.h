// A link tab, DRAV Link or EAI Link: the linked data provider (one for both tabs), its returned
// fields and the links grid of From / To field pairs. HeaderDTC holds one per kind; each holds its
// grid's editing state, and the two are paired, since choosing the linked provider or removing the
// link on one tab changes the other as well. Its procedures carry the kind's prefix
// ("DRAVAddLink_Click", "EAIMoveUpLinkedField_Click", "PrepareDRAVLinkTab"); where the EAI tab
// differs, the kind table (dtc/ProviderKinds.h) says how.
#pragma once

#include <cstdint>

#include "dtc/ControlContext.h"
#include "dtc/ProviderKinds.h"

namespace dtc {

// The marking of a links grid: the row with "*", the row marked before it (the edit row), and the
// rows the From and To combos were last opened in (their write-backs go there).
struct LinksMarks {
  std::int16_t markedRow = -1;
  std::int16_t editRow = -1;
  std::int32_t fromOpenRow = -1;
  std::int32_t toOpenRow = -1;
};

// Column 2 of a links grid gives up this many twips while the grid shows its scroll bar.
inline constexpr std::int32_t kLinksScrollBarAllowance = 255;

class LinkTab {
 public:
  // Connects the tab's handlers to its controls' events.
  LinkTab(ControlContext& control, ProviderKind kind);
  LinkTab(const LinkTab&) = delete;
  LinkTab& operator=(const LinkTab&) = delete;
  // Makes the two link tabs each other's twin; done once, before any handler runs.
  void PairWith(LinkTab& twin);

  // Start-up: the grid's editing state reset and the grid laid out.
  void Start();
  // The tab protocol: PrepareDRAVLinkTab / PrepareEAILinkTab (refills the tab, by running the
  // Update, only when the linked provider changed), UpdateDRAVLinkTab / UpdateEAILinkTab and
  // SaveDRAVLinkState / SaveEAILinkState.
  void Prepare();
  void Update();
  void SaveState();

  // The handlers; the trap shows them under the tab's procedure names.
  void LinkedDataProvidersCombo_Click();
  void DeleteLinkCommand_Click();
  void AddLinkedField_Click();
  void LinkedFieldsList_DblClick();
  void RemoveLinkedField_Click();
  void MoveUpLinkedField_Click();
  void MoveDownLinkedField_Click();
  void AddLink_Click();
  void RemoveLink_Click();
  void LinksGrid_Click();
  void LinksGrid_KeyPress(std::int16_t& KeyAscii);
  void LinksGrid_EnterCell();
  void LinksGrid_GotFocus();
  void FromLinkFieldsCombo_Click();  // connected where the kind asks for it
  void FromLinkFieldsCombo_LostFocus();
  void ToLinkFieldsCombo_Click();
  void ToLinkFieldsCombo_LostFocus();
  void ToLinkFieldsCombo_KeyPress(std::int16_t& KeyAscii);  // as above

  LinksMarks& Marks() noexcept { return marks_; }

 private:
  void MoveLinksAsterisk();
  void LinksGridEdit(std::int16_t KeyAscii);
  void WriteBackFromCombo();
  void WriteBackToCombo();
  void ShowLinkedProvider();
  void ApplyLinkedFieldButtonRule();

  ControlContext& control_;
  const KindVariation& kind_;
  ProviderControls& side_;
  LinkTab* twin_ = nullptr;
  LinksMarks marks_;
};

}  // namespace dtc
