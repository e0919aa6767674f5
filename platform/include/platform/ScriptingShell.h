// The scripting shell object ("Wscript.Shell") as the system uses it: its registry read.
//
// Keeps: RegRead of a name "ROOT\key\...\value": the root as its long name or abbreviation (HKLM,
// HKCU, HKCR, HKU, HKCC; any case); key and value names compared without regard to case; a name
// ending in "\" reads the key's default value. REG_SZ and REG_EXPAND_SZ (unexpanded) come back as
// text, REG_DWORD as a 32-bit integer. A missing key or value and an unknown root raise the shell's
// error 0x80070002 (the HRESULT of Win32 error 2), a registry that cannot be read the HRESULT of the
// registry's own code, each with a description naming the registry name.
// Leaves out: arrays: REG_BINARY and REG_MULTI_SZ values raise Type mismatch (13) here, which is
// what every use of their value as text does; RegWrite, RegDelete, Run, the environment and the
// special folders.
//
// The shell is written once over the Registry interface, so it reads whatever registry backend it
// is given (the registry file on Linux, the memory tree in tests).
#pragma once

#include <string_view>

#include "platform/Registry.h"
#include "runtime/Variant.h"

namespace platform {

class ScriptingShell {
 public:
  explicit ScriptingShell(Registry& registry) : registry_(registry) {}

  Variant RegRead(std::string_view name) const;

 private:
  Registry& registry_;
};

}  // namespace platform
