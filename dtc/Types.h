// Small types shared by the control's parts.
#pragma once

#include <cstdint>
#include <string_view>

namespace dtc {

// The side an operation works on.
enum class ProviderKind : std::int16_t { EAI = 1, DRAV = 2, EAILink = 4, DRAVLink = 5 };

// The kind of a criterion value (the control's type library enumeration).
enum SpecificationType : std::int32_t { CONSTANT = 0, INCLUDEFUNCTION = 1, USERSCRIPT = 2 };

// The two provider kinds that own controls, in the order the control walks them.
inline constexpr ProviderKind kProviderKinds[] = {ProviderKind::DRAV, ProviderKind::EAI};

// "DRAV" for the DRAV sides (2 and 5), "EAI" for the EAI sides (1 and 4).
constexpr std::string_view KindPrefix(ProviderKind kind) {
  return kind == ProviderKind::DRAV || kind == ProviderKind::DRAVLink ? "DRAV" : "EAI";
}

}  // namespace dtc
