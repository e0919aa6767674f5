// Type-library registration records, written and removed through the Registry interface.
#include "platform/TypeLibrary.h"

#include <cstdio>
#include <vector>

#include "runtime/Ascii.h"

namespace platform {

namespace {

std::string Hex(std::uint32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(number));
  return text;
}

// The platform writes a library id's hex digits in upper case, whatever case it was given in; any
// other character of the id is kept as given.
std::string LibraryKey(std::string_view id) {
  std::string key = "TypeLib\\";
  for (char c : id) key.push_back(IsAsciiHexDigit(c) ? AsciiToUpper(c) : c);
  return key;
}

}  // namespace

std::string TypeLibraryVersionKey(std::string_view id, std::uint16_t majorVersion,
                                  std::uint16_t minorVersion) {
  return LibraryKey(id) + "\\" + Hex(majorVersion) + "." + Hex(minorVersion);
}

HRESULT RegisterTypeLibrary(Registry& registry, const TypeLibraryAttributes& library, std::string_view path,
                            std::string_view helpDirectory) {
  const std::string version = TypeLibraryVersionKey(library.id, library.majorVersion, library.minorVersion);
  const std::string file = version + "\\" + Hex(library.lcid) + "\\win32";
  const std::vector<std::pair<std::string, std::string>> keys = {
      {version, library.helpString.empty() ? library.name : library.helpString},
      {file, std::string(path)},
      {version + "\\FLAGS", std::to_string(library.flags)},
      {version + "\\HELPDIR", std::string(helpDirectory)},
  };
  for (const auto& [key, text] : keys) {
    if (registry.CreateKey(RootKey::ClassesRoot, key) != win32::Success ||
        registry.SetValue(RootKey::ClassesRoot, key, "", RegistryValue::String(text)) != win32::Success) {
      return kTypeERegistryAccess;
    }
  }
  return 0;
}

HRESULT UnregisterTypeLibrary(Registry& registry, std::string_view id, std::uint16_t majorVersion,
                              std::uint16_t minorVersion, std::uint32_t lcid) {
  const std::string version = TypeLibraryVersionKey(id, majorVersion, minorVersion);
  if (registry.OpenKey(RootKey::ClassesRoot, version + "\\" + Hex(lcid)) != win32::Success) {
    return kTypeERegistryAccess;
  }
  if (registry.DeleteTree(RootKey::ClassesRoot, version) != win32::Success) return kTypeERegistryAccess;
  std::vector<std::string> versions;
  if (registry.EnumKeys(RootKey::ClassesRoot, LibraryKey(id), versions) == win32::Success &&
      versions.empty()) {
    IgnoreResult(registry.DeleteKey(RootKey::ClassesRoot, LibraryKey(id)),
                 "the version is unregistered; an empty library key left behind names no file");
  }
  return 0;
}

}  // namespace platform
