// Win32 error codes and their HRESULT form, as registry, service-manager and component calls return
// them. The service uses them as process exit codes, so the numbers are the platform's own.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

namespace win32 {
inline constexpr long Success = 0;
inline constexpr long FileNotFound = 2;          // ERROR_FILE_NOT_FOUND: no such key or value
inline constexpr long PathNotFound = 3;          // ERROR_PATH_NOT_FOUND
inline constexpr long AccessDenied = 5;          // ERROR_ACCESS_DENIED
inline constexpr long InvalidHandle = 6;         // ERROR_INVALID_HANDLE
inline constexpr long NotEnoughMemory = 8;       // ERROR_NOT_ENOUGH_MEMORY
inline constexpr long InvalidData = 13;          // ERROR_INVALID_DATA
inline constexpr long InvalidParameter = 87;     // ERROR_INVALID_PARAMETER
inline constexpr long MoreData = 234;            // ERROR_MORE_DATA: data longer than the buffer
inline constexpr long NoMoreItems = 259;         // ERROR_NO_MORE_ITEMS
inline constexpr long RegistryCorrupt = 1015;    // ERROR_BADDB: the registry file cannot be parsed
inline constexpr long RegistryIoFailed = 1016;   // ERROR_REGISTRY_IO_FAILED: the file cannot be read or written
}  // namespace win32

// HRESULT_FROM_WIN32: 0 stays 0, other codes become 0x8007xxxx.
constexpr std::int32_t HResultFromWin32(long code) {
  return code <= 0 ? static_cast<std::int32_t>(code)
                   : static_cast<std::int32_t>((static_cast<std::uint32_t>(code) & 0xFFFFu) | 0x80070000u);
}

// A short English text for a Win32 error code, for messages ("The system cannot find the file
// specified." for 2); "Error <code>" for codes it does not know.
std::string Win32ErrorText(long code);

}  // namespace platform
