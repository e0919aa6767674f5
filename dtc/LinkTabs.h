// The DRAV Link and EAI Link tabs: the linked data provider, its returned fields and the links grid
// of From / To field pairs. One implementation (dtc/LinkTabs.cpp, members of HeaderDTC) serves both
// tabs; the ways the EAI tab differs from its DRAV twin are the named variations below.
#pragma once

#include <string_view>

#include "dtc/Types.h"
#include "runtime/Forms.h"

namespace dtc {

struct LinkTabVariation {
  // Name parts of the move buttons of the selected linked fields (controls and procedures):
  // "DRAVMoveUpLinkdFieldCommand" on the DRAV tab, "EAIMoveUpLinkedField" on the EAI tab.
  std::string_view moveUpName;
  std::string_view moveDownName;
  // Choosing the linked provider: the EAI combo's handler stands aside while a removal of the link
  // runs, and has the error trap; the DRAV one runs always (it then finds nothing changed) and
  // leaves failures to the traps of the tab updates it runs.
  bool choiceWaitsForLinkRemoval;
  // The From combo writes back on Click as well as on losing the focus, and marks the grid's
  // current row before each write-back; without this it writes back only on losing the focus,
  // unmarked, so it stays open after a pick.
  bool fromComboWritesOnClick;
  // The To combo also writes back (and closes) on every key pressed in it, before the key changes it.
  bool toComboWritesOnKeyPress;
};

// The variation of the link tab of `kind` (DRAV for 2 and 5, EAI for 1 and 4).
const LinkTabVariation& LinkTabVariationOf(ProviderKind kind);

// The other link tab's kind: EAI for DRAV, DRAV for EAI.
constexpr ProviderKind OtherLinkTab(ProviderKind kind) {
  return KindPrefix(kind) == "DRAV" ? ProviderKind::EAI : ProviderKind::DRAV;
}


// Column 2 of a links grid gives up this many twips while the grid shows its scroll bar.
inline constexpr std::int32_t kLinksScrollBarAllowance = 255;

}  // namespace dtc
