// Win32 error codes and their HRESULT form, as registry, service-manager and component calls return
// them. The service uses them as process exit codes, so the numbers are the platform's own.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

namespace win32 {
inline constexpr long Success = 0;
inline constexpr long FileNotFound = 2;        // ERROR_FILE_NOT_FOUND: no such key or value
inline constexpr long PathNotFound = 3;        // ERROR_PATH_NOT_FOUND
inline constexpr long AccessDenied = 5;        // ERROR_ACCESS_DENIED
inline constexpr long InvalidHandle = 6;       // ERROR_INVALID_HANDLE
inline constexpr long NotEnoughMemory = 8;     // ERROR_NOT_ENOUGH_MEMORY
inline constexpr long InvalidData = 13;        // ERROR_INVALID_DATA
inline constexpr long LockViolation = 33;      // ERROR_LOCK_VIOLATION: a lock stayed held by another process
inline constexpr long NotSupported = 50;       // ERROR_NOT_SUPPORTED
inline constexpr long InvalidParameter = 87;   // ERROR_INVALID_PARAMETER
inline constexpr long MoreData = 234;          // ERROR_MORE_DATA: data longer than the buffer
inline constexpr long NoMoreItems = 259;       // ERROR_NO_MORE_ITEMS
inline constexpr long OperationAborted = 995;  // ERROR_OPERATION_ABORTED: a wait ended by a stop request
inline constexpr long RegistryCorrupt = 1015;  // ERROR_BADDB: the registry file cannot be parsed
inline constexpr long RegistryIoFailed =
    1016;  // ERROR_REGISTRY_IO_FAILED: the file cannot be read or written
}  // namespace win32

// Win32 codes are `long`, HRESULTs `HRESULT` (std::int32_t): two types, so the functions below that
// take a Win32 code refuse an HRESULT (the overloads for std::int32_t are deleted), and HResultText
// (Com.h) refuses a Win32 code. A code of one kind crosses to the other only through HResultFromWin32.

// HRESULT_FROM_WIN32: 0 stays 0, other codes become 0x8007xxxx.
[[nodiscard]] constexpr std::int32_t HResultFromWin32(long code) {
  return code <= 0 ? static_cast<std::int32_t>(code)
                   : static_cast<std::int32_t>((static_cast<std::uint32_t>(code) & 0xFFFFu) | 0x80070000u);
}
constexpr std::int32_t HResultFromWin32(std::int32_t hresult) = delete;  // an HRESULT already

// A short English text for a Win32 error code, for messages ("The system cannot find the file
// specified." for 2); "Error <code>" for codes it does not know.
std::string Win32ErrorText(long code);
std::string Win32ErrorText(std::int32_t hresult) = delete;

// Extended error information of the calling thread, kept beside the code as the platform keeps its
// last error: a backend that fails for a reason its code cannot tell (which file or folder, how long
// it waited) records the details with the code it returns, and the caller asks for them right after
// the failure to word its message.
void SetErrorDetails(long code, std::string details);
void SetErrorDetails(std::int32_t hresult, std::string details) = delete;
// The details this thread recorded last, when they were recorded for `code` (they are then
// forgotten); otherwise Win32ErrorText(code).
std::string ErrorDescription(long code);
std::string ErrorDescription(std::int32_t hresult) = delete;

}  // namespace platform
