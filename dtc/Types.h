// Small types shared by the control's parts and its hosts.
#pragma once

#include <cstdint>

#include "dtc/ProviderKinds.h"

namespace dtc {

// The kind of a criterion value (the control's type library enumeration).
enum SpecificationType : std::int32_t { CONSTANT = 0, INCLUDEFUNCTION = 1, USERSCRIPT = 2 };

}  // namespace dtc
