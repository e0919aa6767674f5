// Small types shared by the control's parts and its hosts: the provider kinds with their names, and
// the kinds of criterion values. How the control treats the two kinds differently is the kind table
// (dtc/ProviderKinds.h), which only the control's own code includes.
#pragma once

#include <cstdint>
#include <string_view>

namespace dtc {

// The side an operation works on. Each code is also its tab's index on the editor's SSTab1: 2 DRAV
// and 1 EAI name the provider tabs (and SetKeyValue's iTab), 5 DRAV Link and 4 EAI Link the link tabs.
enum class ProviderKind : std::int16_t { EAI = 1, DRAV = 2, EAILink = 4, DRAVLink = 5 };

// The two provider kinds that own controls, in the order the control walks them.
inline constexpr ProviderKind kProviderKinds[] = {ProviderKind::DRAV, ProviderKind::EAI};

// True for the DRAV side's codes (2 and 5), false for the EAI side's (1 and 4).
constexpr bool IsDRAVSide(ProviderKind kind) {
  return kind == ProviderKind::DRAV || kind == ProviderKind::DRAVLink;
}

// The kind's name, which prefixes its controls, procedures, public properties and stored names:
// "DRAV" for the DRAV sides (2 and 5), "EAI" for the EAI sides (1 and 4).
constexpr std::string_view KindPrefix(ProviderKind kind) {
  return IsDRAVSide(kind) ? "DRAV" : "EAI";
}

// The kind of a criterion value (the control's type library enumeration).
enum SpecificationType : std::int32_t { CONSTANT = 0, INCLUDEFUNCTION = 1, USERSCRIPT = 2 };

}  // namespace dtc
