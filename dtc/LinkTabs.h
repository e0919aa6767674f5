// The DRAV Link and EAI Link tabs: the linked data provider, its returned fields and the links grid
// of From / To field pairs. One implementation (dtc/LinkTabs.cpp, members of HeaderDTC) serves both
// tabs; the ways the EAI tab differs from its DRAV twin are in the kind table (dtc/ProviderKinds.h).
#pragma once

#include <cstdint>

namespace dtc {

// Column 2 of a links grid gives up this many twips while the grid shows its scroll bar.
inline constexpr std::int32_t kLinksScrollBarAllowance = 255;

}  // namespace dtc
