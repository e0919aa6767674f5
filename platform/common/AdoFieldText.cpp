// How a field's value is read from its text (AdoFieldText.h).
#include "AdoFieldText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "runtime/Ascii.h"

namespace platform::ado {
namespace {

// Whole numbers below this size are exact as a Double and written with every digit by ToString.
constexpr double kExactWholeLimit = 1e15;
// Decimal texts with at most this many significant digits read back unchanged from a Double.
constexpr int kExactDigits = 15;

// [+-]digits: the column's integer type when the value fits it, then Long, then Double while it is
// exact, and beyond that the text itself, so no digit is lost.
std::optional<Variant> WholeNumber(std::string_view text, bool small) {
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsAsciiDigit)) return std::nullopt;
  std::string_view parsed = text.front() == '+' ? text.substr(1) : text;
  long long value = 0;
  const auto [end, ec] = std::from_chars(parsed.data(), parsed.data() + parsed.size(), value);
  if (ec != std::errc() || end != parsed.data() + parsed.size()) return Variant(text);
  if (small && value >= std::numeric_limits<std::int16_t>::min() &&
      value <= std::numeric_limits<std::int16_t>::max())
    return Variant(static_cast<std::int16_t>(value));
  if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max())
    return Variant(static_cast<std::int32_t>(value));
  if (std::fabs(static_cast<double>(value)) < kExactWholeLimit) return Variant(static_cast<double>(value));
  return Variant(text);
}

// [+-](digits[.digits]|.digits)[(e|E)[+-]digits]; counts the significant digits of the mantissa.
bool IsDecimalText(std::string_view text, int& significantDigits, bool& whole) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool anyDigit = false;
  bool leading = true;
  significantDigits = 0;
  whole = true;
  auto digit = [&](char c) {
    anyDigit = true;
    if (c != '0') leading = false;
    if (!leading) ++significantDigits;
  };
  for (; i < text.size() && IsAsciiDigit(text[i]); ++i) digit(text[i]);
  if (i < text.size() && text[i] == '.') {
    whole = false;
    for (++i; i < text.size() && IsAsciiDigit(text[i]); ++i) digit(text[i]);
  }
  if (!anyDigit) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    whole = false;
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i == text.size()) return false;
    while (i < text.size() && IsAsciiDigit(text[i])) ++i;
  }
  return i == text.size();
}

std::optional<Variant> DecimalNumber(std::string_view text, bool exactColumn) {
  int significant = 0;
  bool whole = false;
  if (!IsDecimalText(text, significant, whole)) return std::nullopt;
  if (exactColumn) {
    if (whole) return WholeNumber(text, false);
    if (significant > kExactDigits) return Variant(text);
  }
  std::string_view parsed = text.front() == '+' ? text.substr(1) : text;
  double value = 0;
  const auto [end, ec] = std::from_chars(parsed.data(), parsed.data() + parsed.size(), value);
  if (ec != std::errc() || end != parsed.data() + parsed.size() || !std::isfinite(value))
    return Variant(text);
  return Variant(value);
}

// Days from 1970-01-01 to a proleptic Gregorian date.
long long DaysFromCivil(long long y, long long m, long long d) {
  y -= m <= 2 ? 1 : 0;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool ReadFixed(std::string_view text, std::size_t& at, std::size_t width, int& out) {
  if (at + width > text.size()) return false;
  out = 0;
  for (std::size_t i = 0; i < width; ++i) {
    const char c = text[at + i];
    if (!IsAsciiDigit(c)) return false;
    out = out * 10 + (c - '0');
  }
  at += width;
  return true;
}

bool Expect(std::string_view text, std::size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

// "HH:MM[:SS[.fraction]]" from `at` to the end, as seconds since midnight.
bool ReadTime(std::string_view text, std::size_t at, double& seconds) {
  int hour = 0, minute = 0, second = 0;
  if (!ReadFixed(text, at, 2, hour) || !Expect(text, at, ':') || !ReadFixed(text, at, 2, minute))
    return false;
  double fraction = 0;
  if (at < text.size()) {
    if (!Expect(text, at, ':') || !ReadFixed(text, at, 2, second)) return false;
    if (at < text.size()) {
      if (!Expect(text, at, '.') || at == text.size()) return false;
      double scale = 0.1;
      for (; at < text.size(); ++at, scale /= 10) {
        if (!IsAsciiDigit(text[at])) return false;
        fraction += (text[at] - '0') * scale;
      }
    }
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  seconds = hour * 3600.0 + minute * 60.0 + second + fraction;
  return true;
}

// An ISO date, date and time, or time as the platform's serial day number.
std::optional<double> DateSerial(std::string_view text) {
  constexpr long long kSerialEpoch = -25569;  // 1899-12-30 counted from 1970-01-01
  double seconds = 0;
  if (text.size() >= 5 && text[2] == ':') {
    if (!ReadTime(text, 0, seconds)) return std::nullopt;
    return seconds / 86400.0;
  }
  std::size_t at = 0;
  int year = 0, month = 0, day = 0;
  if (!ReadFixed(text, at, 4, year) || !Expect(text, at, '-') || !ReadFixed(text, at, 2, month) ||
      !Expect(text, at, '-') || !ReadFixed(text, at, 2, day)) {
    return std::nullopt;
  }
  static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 100 || month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1] ||
      (month == 2 && day == 29 && !leap)) {
    return std::nullopt;
  }
  if (at < text.size()) {
    if (text[at] != ' ' && text[at] != 'T') return std::nullopt;
    if (!ReadTime(text, at + 1, seconds)) return std::nullopt;
  }
  const double days = static_cast<double>(DaysFromCivil(year, month, day) - kSerialEpoch);
  // Before the epoch the whole part counts back and the time still counts forward from that day.
  const double time = seconds / 86400.0;
  return days < 0 ? days - time : days + time;
}

}  // namespace

Variant FieldFromText(ColumnKind kind, std::string&& text) {
  std::optional<Variant> value;
  switch (kind) {
    case ColumnKind::SmallInteger:
      value = WholeNumber(text, true);
      break;
    case ColumnKind::Integer:
      value = WholeNumber(text, false);
      break;
    case ColumnKind::Exact:
      value = DecimalNumber(text, true);
      break;
    case ColumnKind::Float:
      value = DecimalNumber(text, false);
      break;
    case ColumnKind::Bit:
      if (text == "1" || text == "0") value = Variant(text == "1");
      break;
    case ColumnKind::DateTime:
      if (const auto serial = DateSerial(text)) value = Variant::FromDate(*serial);
      break;
    case ColumnKind::Binary:
    case ColumnKind::Text:
      break;
  }
  return value ? std::move(*value) : Variant(std::move(text));
}

}  // namespace platform::ado
