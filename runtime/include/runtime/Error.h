// Run-time errors as the platform reports them.
//
// Keeps: an error is a number and a description. Numbers are the platform's own: small run-time
// error numbers (9 "Subscript out of range", 13 "Type mismatch", ...) for operations of the form
// controls, the variant and the dictionary, and HRESULTs (negative 32-bit values such as E_FAIL) for
// component and data-access failures. Platform operations that fail throw `platform::Error`; the
// system's error traps catch it and show "Error in '<procedure>': <description> (<number>)".
// Leaves out: help files, help contexts and the error's source object.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace platform {

using HRESULT = std::int32_t;

class Error : public std::runtime_error {
 public:
  Error(std::int32_t number, std::string description);

  std::int32_t Number() const noexcept { return number_; }
  const std::string& Description() const noexcept { return description_; }

 private:
  std::int32_t number_;
  std::string description_;
};

// Run-time error numbers the runtime model and the platform raise.
namespace err {
inline constexpr std::int32_t InvalidProcedureCall = 5;         // "Invalid procedure call or argument"
inline constexpr std::int32_t Overflow = 6;                     // "Overflow"
inline constexpr std::int32_t OutOfMemory = 7;                  // "Out of memory"
inline constexpr std::int32_t SubscriptOutOfRange = 9;          // "Subscript out of range"
inline constexpr std::int32_t TypeMismatch = 13;                // "Type mismatch"
inline constexpr std::int32_t InternalError = 51;               // "Internal error"
inline constexpr std::int32_t FileNotFound = 53;                // "File not found"
inline constexpr std::int32_t InputPastEndOfFile = 62;          // "Input past end of file"
inline constexpr std::int32_t PermissionDenied = 70;            // "Permission denied"
inline constexpr std::int32_t PathFileAccessError = 75;         // "Path/File access error"
inline constexpr std::int32_t PathNotFound = 76;                // "Path not found"
inline constexpr std::int32_t InvalidPropertyValue = 380;       // "Invalid property value"
inline constexpr std::int32_t InvalidPropertyArrayIndex = 381;  // "Invalid property array index"
inline constexpr std::int32_t PropertyIsReadOnly = 383;         // "Property is read-only"
inline constexpr std::int32_t NoSuchPropertyOrMethod =
    438;  // "Object doesn't support this property or method"
inline constexpr std::int32_t WrongArguments =
    450;  // "Wrong number of arguments or invalid property assignment"
inline constexpr std::int32_t KeyAlreadyExists =
    457;  // "This key is already associated with an element of this collection"
inline constexpr std::int32_t InvalidRowValue = 30009;              // "Invalid Row value"
inline constexpr std::int32_t InvalidColValue = 30010;              // "Invalid Col value"
inline constexpr std::int32_t CannotRemoveLastNonFixedRow = 30015;  // "Cannot remove last non-fixed row"
inline constexpr std::int32_t ElementNotFound = 32811;              // "Element not found"
inline constexpr std::int32_t BadPropertyBag = 0x1F00;              // a property-bag file that cannot be used
}  // namespace err

// The platform's standard description of a run-time error number ("Application-defined or
// object-defined error" for numbers it does not know).
std::string StandardDescription(std::int32_t number);

// Drops a result on purpose. Functions that return a code (a Win32 code, an HRESULT, a bool that says
// whether they succeeded) are [[nodiscard]]; where a caller has a reason not to look at one, it passes
// the result here with that reason, so the drop is named and can be found:
//   IgnoreResult(queue.KillTimer(id), "the timer may have fired already; either way it is gone");
// A cast to void does not do: the compiler warns about it for virtual functions all the same.
template <class Result>
constexpr void IgnoreResult(const Result& /*result*/, const char* /*why*/) noexcept {}

// Throws the error `number` with its standard description, or with `description` when given.
[[noreturn]] void Raise(std::int32_t number);
[[noreturn]] void Raise(std::int32_t number, std::string description);

}  // namespace platform
