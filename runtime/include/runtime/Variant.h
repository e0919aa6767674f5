// The platform's variant: one value of one of a few types, with the platform's conversions.
//
// Keeps: Empty, Integer (16-bit), Long (32-bit), Double, Boolean, Date, String and Null, the
// conversions to text and numbers that values read from property bags and databases go through
// (Overflow 6, Type mismatch 13 and Invalid use of Null 94 as the platform raises them), and the
// comparison a property bag uses to decide that a value equals its write default. Leaves out:
// arrays, objects, Currency, Decimal.
//
// Null is what a database field without a value reads as. It is not Empty: it converts to no text
// and no number (every conversion raises Invalid use of Null), so a missing value never turns into
// "" or 0 unnoticed; callers ask IsNull() first. It equals nothing under the loose comparison.
//
// Text of numbers and Booleans is the invariant form ("12", "1.5", "True"). A Date is held as the
// platform's serial day number (days since 1899-12-30, time as the fraction) and is written as text
// in ISO 8601 ("2026-12-07" or "2026-12-07 13:05:09"), a form every database reads the same way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace platform {

// Null comes last so that the other kinds keep their numbers.
enum class VarType : std::uint8_t { Empty, Integer, Long, Double, Boolean, Date, String, Null };

namespace err {
inline constexpr std::int32_t InvalidUseOfNull = 94;  // "Invalid use of Null"
}  // namespace err

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(std::int16_t value) : value_(value) {}
  Variant(std::int32_t value) : value_(value) {}
  Variant(double value) : value_(value) {}
  Variant(bool value) : value_(value) {}
  Variant(std::string value) : value_(std::move(value)) {}
  Variant(std::string_view value) : value_(std::string(value)) {}
  Variant(const char* value) : value_(std::string(value)) {}

  // A Date from the platform's serial day number.
  static Variant FromDate(double serial);
  // The Null value.
  static Variant Null();

  VarType Type() const noexcept;
  bool IsEmpty() const noexcept { return Type() == VarType::Empty; }
  bool IsNull() const noexcept { return Type() == VarType::Null; }

  // Conversions (the platform's CStr, CInt, CLng, CDbl, CBool). Text converts to a number when it
  // holds a decimal number, surrounded by spaces or not; Integer and Long round halves to even.
  // Empty converts to "" and 0. Failures throw Error 13 (not a number) or 6 (out of range); Null
  // throws Error 94 from every conversion.
  std::string ToString() const;
  std::int16_t ToInteger() const;
  std::int32_t ToLong() const;
  double ToDouble() const;
  bool ToBoolean() const;
  double ToDateSerial() const;  // a Date's serial day number; Type mismatch for anything else

  // Same type and same value.
  friend bool operator==(const Variant& a, const Variant& b) = default;

 private:
  struct DateValue {
    double serial;
    friend bool operator==(const DateValue&, const DateValue&) = default;
  };
  struct NullValue {
    friend bool operator==(const NullValue&, const NullValue&) = default;
  };
  // The alternatives are in VarType's order.
  std::variant<std::monostate, std::int16_t, std::int32_t, double, bool, DateValue, std::string, NullValue>
      value_;
};

// The platform's loose comparison (`a = b` between variants): numbers and Booleans compare by value
// (True is -1); a text compares with a number by the number it holds, and is unequal when it holds
// none; texts compare byte for byte; Empty equals 0, False and ""; Null equals nothing, not even Null.
bool LooselyEqual(const Variant& a, const Variant& b);

// Parses a decimal number as the platform does for text-to-number conversion: optional spaces,
// sign, digits with an optional fraction and exponent. Nothing when `text` holds none.
[[nodiscard]] std::optional<double> ParseNumber(std::string_view text);

}  // namespace platform
