// Type-library registration records in the registry.
//
// Keeps: what registering a type library writes, as the platform stores it:
//   HKCR\TypeLib\{id}\<major>.<minor>              default value = the help string (the library
//                                                  name when there is none)
//   HKCR\TypeLib\{id}\<major>.<minor>\<lcid>\win32 default value = the file the library came from
//                                                  (<lcid> in hexadecimal without leading zeros)
//   HKCR\TypeLib\{id}\<major>.<minor>\FLAGS        default value = the library flags in decimal
//   HKCR\TypeLib\{id}\<major>.<minor>\HELPDIR      default value = the help folder
// The id is written in upper case, as the platform formats it. Unregistering goes by id, version and locale,
// which removes the version key and the id key when no other version is left. Failures return
// TYPE_E_REGISTRYACCESS. Leaves out: reading type libraries from files (a library is described by its
// attributes, which the program carries with it) and the interface keys of a library's type descriptions (the
// libraries registered here have none).
//
// One implementation over any Registry (the file registry on Linux, the memory registry in tests).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Registry.h"
#include "runtime/Error.h"

namespace platform {

inline constexpr HRESULT kTypeERegistryAccess = static_cast<HRESULT>(0x8002801Cu);  // TYPE_E_REGISTRYACCESS

struct TypeLibraryAttributes {
  std::string id;  // "{...}"
  std::uint16_t majorVersion = 1;
  std::uint16_t minorVersion = 0;
  std::uint32_t lcid = 0;
  std::uint16_t flags = 0;
  std::string name;
  std::string helpString;
};

// The registry key of one version of a library, below HKEY_CLASSES_ROOT.
std::string TypeLibraryVersionKey(std::string_view id, std::uint16_t majorVersion,
                                  std::uint16_t minorVersion);

[[nodiscard]] HRESULT RegisterTypeLibrary(Registry& registry, const TypeLibraryAttributes& library,
                                          std::string_view path, std::string_view helpDirectory);
[[nodiscard]] HRESULT UnregisterTypeLibrary(Registry& registry, std::string_view id,
                                            std::uint16_t majorVersion, std::uint16_t minorVersion,
                                            std::uint32_t lcid);

}  // namespace platform
