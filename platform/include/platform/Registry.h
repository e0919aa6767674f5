// The registry: a tree of keys below a few root keys, each key holding named values.
//
// Keeps: keys and values addressed by root key and a backslash-separated path; key and value names
// compared without regard to case (the case they were created with is kept); the default value
// (name ""); REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD and REG_BINARY data as the platform
// stores it (text with its terminating NUL, a DWORD as 4 little-endian bytes); Win32 error codes
// (2 for a missing key or value, 234 for data longer than the caller's buffer, 5 for deleting a key
// that still has subkeys). Leaves out: security, volatile keys, change notification, other value
// types, handles (every call names its key by path; "open" only checks that a key exists).
//
// Backends:
//   - OpenMemoryRegistry(): an in-memory tree; what tests and in-process hosts use.
//   - OpenFileRegistry(path): one UTF-8 text file in the registry export format (header line
//     "Windows Registry Editor Version 5.00", "[HKEY_...\key]" sections, "name"="text" with \\ and \"
//     escapes, dword:, hex:, hex(2):, hex(7):, @ for the default value; CRLF or LF line ends), so people
//     may read and edit it by hand. Each call reads the file under an exclusive lock on "<file>.lock";
//     a call that changes something writes a temporary file and renames it over the old one. A
//     missing file is an empty registry; it is created by the first change. The registry file is
//     0644, its folder 0755 and the lock file 0600 whatever the umask; a folder others may write, or
//     of another user than the caller or root, is refused with ERROR_ACCESS_DENIED. A call waits at
//     most `lockWait` for the lock, then fails with ERROR_LOCK_VIOLATION (33); while a stop signal
//     (SIGINT, SIGTERM) is pending or being honoured, at most 1 s, then it fails with
//     ERROR_OPERATION_ABORTED (995). Failures record details naming the file (ErrorDescription).
//   DefaultRegistryPath() is $TESSERY_REGISTRY, or /var/lib/tessery/registry.reg when it is unset
//   (the machine's registry: the service and the control read it there).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Win32Error.h"

namespace platform {

enum class RootKey { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// "HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE", ...
std::string_view RootKeyName(RootKey root);
// Accepts the long names and the short forms HKCR, HKCU, HKLM, HKU, HKCC, without regard to case.
std::optional<RootKey> ParseRootKey(std::string_view name);

enum RegistryValueType : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
};

// The type's name as the registry names it ("REG_SZ"); "type <n>" for a number it has no name for.
std::string RegistryTypeName(std::uint32_t type);

struct RegistryValue {
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;  // as the platform stores it

  static RegistryValue String(std::string_view text);  // REG_SZ, data = text + NUL
  static RegistryValue DWord(std::uint32_t number);    // REG_DWORD, 4 bytes little-endian
  static RegistryValue Binary(std::vector<std::uint8_t> bytes);

  // The text up to the first NUL (any type); the number when the data is exactly 4 bytes.
  std::string AsString() const;
  std::optional<std::uint32_t> AsDWord() const;

  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

class Registry {
 public:
  virtual ~Registry() = default;

  // 0 when the key exists, 2 when it does not. An empty path is the root key itself.
  [[nodiscard, gnu::warn_unused_result]] virtual long OpenKey(RootKey root, std::string_view path) = 0;
  // Creates the key and every missing key above it; 0 also when it existed.
  [[nodiscard, gnu::warn_unused_result]] virtual long CreateKey(RootKey root, std::string_view path) = 0;
  // The value `name` ("" = the key's default value) of an existing key; 2 when key or value is missing.
  [[nodiscard, gnu::warn_unused_result]] virtual long QueryValue(RootKey root, std::string_view path,
                                                                 std::string_view name,
                                                                 RegistryValue& out) = 0;
  // Sets a value of an existing key (2 when the key is missing), replacing type and data.
  [[nodiscard, gnu::warn_unused_result]] virtual long SetValue(RootKey root, std::string_view path,
                                                               std::string_view name,
                                                               const RegistryValue& value) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual long DeleteValue(RootKey root, std::string_view path,
                                                                  std::string_view name) = 0;
  // Deletes a key without subkeys (5 when it has any, 2 when it is missing) with its values.
  [[nodiscard, gnu::warn_unused_result]] virtual long DeleteKey(RootKey root, std::string_view path) = 0;
  // Deletes a key with all its subkeys and values (2 when it is missing).
  [[nodiscard, gnu::warn_unused_result]] virtual long DeleteTree(RootKey root, std::string_view path) = 0;
  // Names of the subkeys and of the values of an existing key, in the order they were created.
  [[nodiscard, gnu::warn_unused_result]] virtual long EnumKeys(RootKey root, std::string_view path,
                                                               std::vector<std::string>& names) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual long EnumValues(RootKey root, std::string_view path,
                                                                 std::vector<std::string>& names) = 0;
};

// Reads a value the way a caller with a buffer of `bufferSize` bytes does: 234 (ERROR_MORE_DATA) when
// the stored data is longer than the buffer, and then `out` is left unchanged.
[[nodiscard]] long QueryValueLimited(Registry& registry, RootKey root, std::string_view path,
                                     std::string_view name, std::size_t bufferSize, RegistryValue& out);

std::unique_ptr<Registry> OpenMemoryRegistry();
inline constexpr std::chrono::milliseconds kRegistryLockWait{10000};
std::unique_ptr<Registry> OpenFileRegistry(std::filesystem::path file,
                                           std::chrono::milliseconds lockWait = kRegistryLockWait);
std::filesystem::path DefaultRegistryPath();

}  // namespace platform
