// HeaderDTC as a component: its class id and ProgID, and its own interface (the public properties
// and method of the control's type library, and the listing of its configuration). Hosts include
// only this header and the platform's; they create the control through component creation, which
// loads libVistelleDTC.so from the path the registry names.
//
// The object also answers IHostedControl and IPersistPropertyBag (interfaces/HostedControl.h), and
// IDesignTimeControl and IProvideRuntimeText (interfaces/DesignTimeControl.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dtc/Types.h"
#include "platform/Com.h"
#include "runtime/Variant.h"

namespace dtc {

inline constexpr platform::GUID kHeaderDTCClsid =
    platform::GuidLiteral("{B52D7E10-6C4A-4D8B-9E21-3F7A0C5D9E42}");
inline constexpr std::string_view kHeaderDTCProgId = "VistelleDTC.HeaderDTC";

// Run-time errors of the control cross the interface as the HRESULTs the platform gives them:
// 0x800A0000 + the error number for numbers below 0x10000, the number itself otherwise. `error`,
// when given, receives the error's description.
class IHeaderDTC : public platform::IUnknown {
 public:
  static constexpr platform::GUID kIid = platform::GuidLiteral("{B52D7E11-6C4A-4D8B-9E21-3F7A0C5D9E42}");

  [[nodiscard, gnu::warn_unused_result]] virtual platform::HRESULT GetProperty(
      std::string_view name, std::optional<std::int32_t> index, platform::Variant& value,
      std::string* error = nullptr) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual platform::HRESULT LetProperty(
      std::string_view name, std::optional<std::int32_t> index, const platform::Variant& value,
      std::string* error = nullptr) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual platform::HRESULT SetKeyValue(
      std::int16_t& iTab, std::int16_t& iRow, std::string& iRepresentation, std::string& iValue,
      SpecificationType& iType, std::string* error = nullptr) = 0;
  // The configuration, one item per line (dtc/ConfigurationDump.h).
  [[nodiscard, gnu::warn_unused_result]] virtual platform::HRESULT DescribeConfiguration(
      std::string& listing) = 0;

 protected:
  ~IHeaderDTC() = default;
};

// The HRESULT of a run-time error number, and back.
constexpr platform::HRESULT HResultFromErrorNumber(std::int32_t number) {
  return number >= 0 && number < 0x10000
             ? platform::hr::Code(0x800A0000u | static_cast<std::uint32_t>(number))
             : number;
}
constexpr std::int32_t ErrorNumberFromHResult(platform::HRESULT result) {
  const auto bits = static_cast<std::uint32_t>(result);
  return (bits & 0xFFFF0000u) == 0x800A0000u ? static_cast<std::int32_t>(bits & 0xFFFFu) : result;
}

}  // namespace dtc
