// ASCII case and classes: only A-Z and a-z have another case; the bytes next to them and every byte of
// a UTF-8 sequence are only equal to themselves, whatever the C library's locale.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/Ascii.h"

namespace platform {
namespace {

TEST(Ascii, OnlyLettersHaveAnotherCase) {
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    const bool upper = byte >= 'A' && byte <= 'Z';
    const bool lower = byte >= 'a' && byte <= 'z';
    EXPECT_EQ(AsciiToLower(c), upper ? static_cast<char>(byte + 32) : c) << byte;
    EXPECT_EQ(AsciiToUpper(c), lower ? static_cast<char>(byte - 32) : c) << byte;
    EXPECT_EQ(IsAsciiAlpha(c), upper || lower) << byte;
    EXPECT_EQ(IsAsciiAlnum(c), upper || lower || (byte >= '0' && byte <= '9')) << byte;
    EXPECT_EQ(IsAsciiHexDigit(c),
              (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'f') || (byte >= 'A' && byte <= 'F'))
        << byte;
  }
  EXPECT_EQ(AsciiHexDigitValue('0'), 0);
  EXPECT_EQ(AsciiHexDigitValue('9'), 9);
  EXPECT_EQ(AsciiHexDigitValue('a'), 10);
  EXPECT_EQ(AsciiHexDigitValue('F'), 15);
  EXPECT_EQ(AsciiHexDigitValue('g'), -1);
}

TEST(Ascii, ComparesWithoutCaseOnlyTheLetters) {
  EXPECT_TRUE(EqualsIgnoreAsciiCase("HKEY_Local_Machine", "hkey_local_MACHINE"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("a", "ab"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("@[`{", "`{@["));          // the neighbours of the letters
  EXPECT_FALSE(EqualsIgnoreAsciiCase("\xc3\x84", "\xc3\xa4"));  // Ä and ä in UTF-8
  EXPECT_TRUE(StartsWithIgnoreAsciiCase("DWORD:1f", "dword:"));
  EXPECT_FALSE(StartsWithIgnoreAsciiCase("dw", "dword:"));
  EXPECT_EQ(AsciiLowered("Orders\xc3\x84.ASP"), "orders\xc3\x84.asp");

  // Sorted as their lowered texts would be: a prefix first, bytes above ASCII after it.
  std::vector<std::string> names = {"b", "\xc3\xa4", "AB", "a", "_", "Z"};
  std::sort(names.begin(), names.end(), LessIgnoreAsciiCase{});
  EXPECT_EQ(names, (std::vector<std::string>{"_", "a", "AB", "b", "Z", "\xc3\xa4"}));
}

}  // namespace
}  // namespace platform
