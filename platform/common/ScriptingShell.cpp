// The scripting shell's RegRead over any Registry: the name split into root, key and value, the value typed.
#include "platform/ScriptingShell.h"

#include <string>

#include "platform/Win32Error.h"
#include "runtime/Error.h"

namespace platform {

Variant ScriptingShell::RegRead(std::string_view name) const {
  const auto quoted = [&] { return "\"" + std::string(name) + "\""; };

  const std::size_t rootEnd = name.find('\\');
  const std::optional<RootKey> root = ParseRootKey(name.substr(0, rootEnd));
  if (!root) Raise(HResultFromWin32(win32::FileNotFound), "Invalid root in registry key " + quoted() + ".");

  // Everything between the root and the last backslash is the key; after it, the value's name (empty
  // when the name ends in a backslash: the key's default value).
  const std::string_view rest =
      rootEnd == std::string_view::npos ? std::string_view() : name.substr(rootEnd + 1);
  const std::size_t valueStart = rest.rfind('\\');
  const std::string_view keyPath =
      valueStart == std::string_view::npos ? std::string_view() : rest.substr(0, valueStart);
  const std::string_view valueName =
      valueStart == std::string_view::npos ? rest : rest.substr(valueStart + 1);

  RegistryValue value;
  const long code = registry_.QueryValue(*root, keyPath, valueName, value);
  if (code == win32::FileNotFound) {
    Raise(HResultFromWin32(code), "Unable to open registry key " + quoted() + " for reading.");
  }
  if (code != win32::Success) {
    Raise(HResultFromWin32(code), "Unable to read registry key " + quoted() + ": " + ErrorDescription(code));
  }

  switch (value.type) {
    case kRegSz:
    case kRegExpandSz:
      return Variant(value.AsString());
    case kRegDword:
      if (const auto number = value.AsDWord()) return Variant(static_cast<std::int32_t>(*number));
      break;
    default:
      break;
  }
  Raise(err::TypeMismatch);
}

}  // namespace platform
