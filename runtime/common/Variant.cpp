// The variant's conversions and loose comparison, as the platform converts text, numbers and dates.
#include "runtime/Variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "runtime/Ascii.h"
#include "runtime/Error.h"

// Text forms chosen here:
//   - A Double is written with the fewest significant digits that read back to the same value
//     ("0.1", "1.5", "0.30000000000000004"), never with trailing zeros. Decimal exponents from -4 to
//     14 are written positionally ("0.0001", "100000000000000"); others in exponent form with an
//     upper-case E, a sign and at least two exponent digits ("1E-05", "1.5E+20").
//   - A Date is written as "YYYY-MM-DD", plus " HH:MM:SS" when its time, rounded to the second, is not
//     midnight. Following the platform's serial numbers, the whole part is the day (negative serials
//     count backwards from 1899-12-30) and the absolute fraction is the time of that day, so -1.25 is
//     1899-12-29 06:00:00. Dates outside 0100-01-01 .. 9999-12-31 are an Overflow.
//   - Text that holds a number too large for a Double converts with Overflow; one too small reads
//     as 0. Hexadecimal, thousands separators and currency signs are not numbers.

namespace platform {
namespace {

// Serial day numbers of 0100-01-01 and of 10000-01-01.
constexpr double kFirstSerial = -657434.0;
constexpr double kEndSerial = 2958466.0;
// 1899-12-30 counted from 1970-01-01.
constexpr long long kSerialEpochOffset = -25569;

std::string FormatDouble(double value) {
  if (!std::isfinite(value)) Raise(err::Overflow);
  if (value == 0) return "0";  // also -0

  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  std::string_view text(buffer, static_cast<std::size_t>(end - buffer));  // [-]d[.ddd]e(+|-)dd
  const bool negative = text.front() == '-';
  if (negative) text.remove_prefix(1);
  const std::size_t e = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e)) {
    if (c != '.') digits += c;
  }
  int exponent = 0;
  const std::string_view exponentText = text.substr(e + 2);
  std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
  if (text[e + 1] == '-') exponent = -exponent;

  std::string out = negative ? "-" : "";
  if (exponent >= -4 && exponent <= 14) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    } else {
      const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= integerDigits) {
        out += digits;
        out.append(integerDigits - digits.size(), '0');
      } else {
        out += digits.substr(0, integerDigits);
        out += '.';
        out += digits.substr(integerDigits);
      }
    }
  } else {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out += digits.substr(1);
    }
    out += exponent < 0 ? "E-" : "E+";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) out += '0';
    out += std::to_string(magnitude);
  }
  return out;
}

std::string FormatDate(double serial) {
  const double day = std::trunc(serial);
  long long days = static_cast<long long>(day);
  long long seconds = std::llround(std::fabs(serial - day) * 86400.0);
  if (seconds >= 86400) {
    ++days;
    seconds -= 86400;
  }

  // Days since 1970-01-01 to the proleptic Gregorian calendar date.
  long long z = days + kSerialEpochOffset + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long d = doy - (153 * mp + 2) / 5 + 1;
  const long long m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);

  char buffer[160];
  if (seconds == 0) {
    std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lld", y, m, d);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", y, m, d, seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
  }
  return buffer;
}

[[noreturn]] void RaiseInvalidUseOfNull() {
  Raise(err::InvalidUseOfNull, "Invalid use of Null");
}

// Rounds half to even (the default floating-point rounding mode) and checks the range.
template <typename Int>
Int RoundToRange(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min()) &&
        rounded <= static_cast<double>(std::numeric_limits<Int>::max()))) {
    Raise(err::Overflow);
  }
  return static_cast<Int>(rounded);
}

}  // namespace

Variant Variant::FromDate(double serial) {
  if (!(serial > kFirstSerial - 1 && serial < kEndSerial)) Raise(err::Overflow);
  Variant v;
  v.value_ = DateValue{serial};
  return v;
}

Variant Variant::Null() {
  Variant v;
  v.value_ = NullValue{};
  return v;
}

VarType Variant::Type() const noexcept {
  return static_cast<VarType>(value_.index());
}

std::string Variant::ToString() const {
  switch (Type()) {
    case VarType::Empty:
      return {};
    case VarType::Integer:
      return std::to_string(std::get<std::int16_t>(value_));
    case VarType::Long:
      return std::to_string(std::get<std::int32_t>(value_));
    case VarType::Double:
      return FormatDouble(std::get<double>(value_));
    case VarType::Boolean:
      return std::get<bool>(value_) ? "True" : "False";
    case VarType::Date:
      return FormatDate(std::get<DateValue>(value_).serial);
    case VarType::String:
      return std::get<std::string>(value_);
    case VarType::Null:
      RaiseInvalidUseOfNull();
  }
  return {};
}

double Variant::ToDouble() const {
  switch (Type()) {
    case VarType::Empty:
      return 0;
    case VarType::Integer:
      return std::get<std::int16_t>(value_);
    case VarType::Long:
      return std::get<std::int32_t>(value_);
    case VarType::Double:
      return std::get<double>(value_);
    case VarType::Boolean:
      return std::get<bool>(value_) ? -1 : 0;
    case VarType::Date:
      return std::get<DateValue>(value_).serial;
    case VarType::String: {
      const std::optional<double> number = ParseNumber(std::get<std::string>(value_));
      if (!number) Raise(err::TypeMismatch);
      if (!std::isfinite(*number)) Raise(err::Overflow);
      return *number;
    }
    case VarType::Null:
      RaiseInvalidUseOfNull();
  }
  return 0;
}

std::int16_t Variant::ToInteger() const {
  switch (Type()) {
    case VarType::Integer:
      return std::get<std::int16_t>(value_);
    case VarType::Long: {
      const std::int32_t value = std::get<std::int32_t>(value_);
      if (value < std::numeric_limits<std::int16_t>::min() ||
          value > std::numeric_limits<std::int16_t>::max()) {
        Raise(err::Overflow);
      }
      return static_cast<std::int16_t>(value);
    }
    default:
      return RoundToRange<std::int16_t>(ToDouble());
  }
}

std::int32_t Variant::ToLong() const {
  switch (Type()) {
    case VarType::Integer:
      return std::get<std::int16_t>(value_);
    case VarType::Long:
      return std::get<std::int32_t>(value_);
    default:
      return RoundToRange<std::int32_t>(ToDouble());
  }
}

bool Variant::ToBoolean() const {
  if (Type() == VarType::Boolean) return std::get<bool>(value_);
  if (Type() == VarType::String) {
    const std::string_view text = TrimAsciiBlanks(std::get<std::string>(value_));
    if (EqualsIgnoreAsciiCase(text, "True")) return true;
    if (EqualsIgnoreAsciiCase(text, "False")) return false;
  }
  return ToDouble() != 0;
}

double Variant::ToDateSerial() const {
  if (Type() == VarType::Null) RaiseInvalidUseOfNull();
  if (Type() != VarType::Date) Raise(err::TypeMismatch);
  return std::get<DateValue>(value_).serial;
}

bool LooselyEqual(const Variant& a, const Variant& b) {
  const VarType ta = a.Type();
  const VarType tb = b.Type();
  if (ta == VarType::Null || tb == VarType::Null) return false;
  if (ta == VarType::String && tb == VarType::String) return a.ToString() == b.ToString();
  if (ta == VarType::Empty && tb == VarType::Empty) return true;
  if (ta == VarType::Empty) return tb == VarType::String ? b.ToString().empty() : b.ToDouble() == 0;
  if (tb == VarType::Empty) return ta == VarType::String ? a.ToString().empty() : a.ToDouble() == 0;
  if (ta == VarType::String || tb == VarType::String) {
    const Variant& text = ta == VarType::String ? a : b;
    const Variant& number = ta == VarType::String ? b : a;
    const std::optional<double> held = ParseNumber(text.ToString());
    return held && *held == number.ToDouble();
  }
  return a.ToDouble() == b.ToDouble();
}

std::optional<double> ParseNumber(std::string_view text) {
  text = TrimAsciiBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }

  // Checks the form and finds the decimal order of magnitude of the first significant digit, which
  // tells an overflow from an underflow when the value does not fit a double.
  std::size_t i = 0;
  long long magnitude = 0;
  bool anyDigit = false;
  bool significant = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    anyDigit = true;
    if (text[i] != '0') significant = true;
    if (significant) ++magnitude;
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      anyDigit = true;
      if (!significant) {
        if (text[i] != '0')
          significant = true;
        else
          --magnitude;
      }
    }
  }
  if (!anyDigit) return std::nullopt;
  long long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
    }
    if (negativeExponent) exponent = -exponent;
  }
  if (i != text.size()) return std::nullopt;

  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    value = magnitude + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (ec != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

}  // namespace platform
