// The DRAV Link and EAI Link tabs: the linked data provider, its returned fields and the links grid
// of From / To field pairs. One implementation (dtc/LinkTabs.cpp, members of HeaderDTC) serves both
// tabs; the ways the EAI tab differs from its DRAV twin are in the kind table (dtc/ProviderKinds.h).
#pragma once

#include <cstdint>

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

}  // namespace dtc
