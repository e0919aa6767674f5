// ASCII letters, digits, case and blanks, the one place they are written. The names the system
// compares without regard to case (registry keys, ProgIDs, field names, drive paths, command-line
// switches, property names) are matched letter by letter in ASCII, as the platform matches them: A-Z
// and a-z are one another's case, every other byte (digits, punctuation, each byte of a UTF-8
// sequence) is its own and only equal to itself. Nothing here depends on the C library's locale,
// which an ODBC driver may change under a running process; <cctype> would.
//
// It sits in the runtime model, the lowest layer, so that every folder above it can include it:
// the runtime's own objects (Variant's comparisons, the editor site), the OS seams and their backends,
// and the system.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

constexpr bool IsAsciiUpper(char c) noexcept {
  return c >= 'A' && c <= 'Z';
}
constexpr bool IsAsciiLower(char c) noexcept {
  return c >= 'a' && c <= 'z';
}
constexpr bool IsAsciiAlpha(char c) noexcept {
  return IsAsciiUpper(c) || IsAsciiLower(c);
}
constexpr bool IsAsciiDigit(char c) noexcept {
  return c >= '0' && c <= '9';
}
constexpr bool IsAsciiAlnum(char c) noexcept {
  return IsAsciiAlpha(c) || IsAsciiDigit(c);
}
// The value of a hex digit in either case, -1 for any other byte.
constexpr int AsciiHexDigitValue(char c) noexcept {
  return IsAsciiDigit(c)          ? c - '0'
         : (c >= 'a' && c <= 'f') ? c - 'a' + 10
         : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                  : -1;
}
constexpr bool IsAsciiHexDigit(char c) noexcept {
  return AsciiHexDigitValue(c) >= 0;
}
// The blanks that surround a word on a line: space and tab (a line break is not one).
constexpr bool IsAsciiBlank(char c) noexcept {
  return c == ' ' || c == '\t';
}

// The other case of an ASCII letter; any other byte unchanged.
constexpr char AsciiToLower(char c) noexcept {
  return IsAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char AsciiToUpper(char c) noexcept {
  return IsAsciiLower(c) ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiToLower(a[i]) != AsciiToLower(b[i])) return false;
  }
  return true;
}

constexpr bool StartsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix) noexcept {
  return text.size() >= prefix.size() && EqualsIgnoreAsciiCase(text.substr(0, prefix.size()), prefix);
}

// `text` without the blanks at its start and end.
constexpr std::string_view TrimAsciiBlanks(std::string_view text) noexcept {
  while (!text.empty() && IsAsciiBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsAsciiBlank(text.back())) text.remove_suffix(1);
  return text;
}

inline std::string AsciiLowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = AsciiToLower(c);
  return lowered;
}

// Orders as AsciiLowered(a) < AsciiLowered(b) would (bytes compared unsigned, a prefix first),
// without building the lowered texts.
struct LessIgnoreAsciiCase {
  bool operator()(std::string_view a, std::string_view b) const noexcept {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return static_cast<unsigned char>(AsciiToLower(x)) < static_cast<unsigned char>(AsciiToLower(y));
    });
  }
};

}  // namespace platform
