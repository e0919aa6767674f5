// A field's value from the text a driver returns (platform/common/AdoFieldText.h), without a driver.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../../platform/common/AdoFieldText.h"

namespace platform::ado {
namespace {

Variant Read(ColumnKind kind, std::string text) {
  return FieldFromText(kind, std::move(text));
}

// Texts that must come back as themselves for a column of `kind`.
void ExpectKeptAsText(ColumnKind kind, const std::vector<std::string>& texts) {
  for (const std::string& text : texts) EXPECT_EQ(Read(kind, text), Variant(text)) << '"' << text << '"';
}

TEST(AdoFieldText, WholeNumbersTakeTheSmallestTypeThatHoldsThemAndKeepEveryDigit) {
  EXPECT_EQ(Read(ColumnKind::SmallInteger, "32767"), Variant(std::int16_t{32767}));
  EXPECT_EQ(Read(ColumnKind::SmallInteger, "-32768"), Variant(std::int16_t{-32768}));
  EXPECT_EQ(Read(ColumnKind::SmallInteger, "32768"), Variant(std::int32_t{32768}));
  EXPECT_EQ(Read(ColumnKind::SmallInteger, "-32769"), Variant(std::int32_t{-32769}));
  EXPECT_EQ(Read(ColumnKind::SmallInteger, "+007"), Variant(std::int16_t{7}));
  EXPECT_EQ(Read(ColumnKind::Integer, "7"), Variant(std::int32_t{7}));
  EXPECT_EQ(Read(ColumnKind::Integer, "-0"), Variant(std::int32_t{0}));
  EXPECT_EQ(Read(ColumnKind::Integer, "2147483647"), Variant(std::int32_t{2147483647}));
  EXPECT_EQ(Read(ColumnKind::Integer, "-2147483648"), Variant(std::int32_t{-2147483647 - 1}));
  EXPECT_EQ(Read(ColumnKind::Integer, "2147483648"), Variant(2147483648.0));
  EXPECT_EQ(Read(ColumnKind::Integer, "-2147483649"), Variant(-2147483649.0));
  EXPECT_EQ(Read(ColumnKind::Integer, "999999999999999"), Variant(999999999999999.0));
  EXPECT_EQ(Read(ColumnKind::Integer, "-999999999999999"), Variant(-999999999999999.0));
  // From 1e15 on a Double no longer shows every digit, beyond 64 bits it cannot be read: the text.
  ExpectKeptAsText(ColumnKind::Integer, {"1000000000000000", "-1000000000000000", "9223372036854775807",
                                         "99999999999999999999", "-99999999999999999999"});
  ExpectKeptAsText(ColumnKind::Integer,
                   {"", "+", "-", "+-1", "--1", "1.0", "1e3", " 1", "1 ", "0x10", "ABC"});
  ExpectKeptAsText(ColumnKind::SmallInteger, {"1.5", "-", "7a"});
}

TEST(AdoFieldText, DecimalsAreDoublesWhileTheirDigitsSurviveOne) {
  EXPECT_EQ(Read(ColumnKind::Exact, "12.5"), Variant(12.5));
  EXPECT_EQ(Read(ColumnKind::Exact, "-0.5"), Variant(-0.5));
  EXPECT_EQ(Read(ColumnKind::Exact, "+.5"), Variant(0.5));
  EXPECT_EQ(Read(ColumnKind::Exact, "5."), Variant(5.0));
  EXPECT_EQ(Read(ColumnKind::Exact, "1E-2"), Variant(0.01));
  EXPECT_EQ(Read(ColumnKind::Exact, "-1e+3"), Variant(-1000.0));
  EXPECT_EQ(Read(ColumnKind::Exact, "123"), Variant(std::int32_t{123}));  // whole: as an integer column
  EXPECT_EQ(Read(ColumnKind::Exact, "5000000000"), Variant(5000000000.0));
  // 15 significant digits read back unchanged; leading zeros are not significant.
  EXPECT_EQ(Read(ColumnKind::Exact, "0.000123456789012345"), Variant(0.000123456789012345));
  EXPECT_EQ(Read(ColumnKind::Exact, "-12345678901234.5"), Variant(-12345678901234.5));
  ExpectKeptAsText(ColumnKind::Exact, {"1234567890.1234567891", "-123456789012345.6", "1.50000000000000000",
                                       "12345678901234567"});
  // A float column has no digits to keep: any decimal that fits a Double is one.
  EXPECT_EQ(Read(ColumnKind::Float, "1234567890.1234567891"), Variant(1234567890.1234567891));
  EXPECT_EQ(Read(ColumnKind::Float, "-1.5e308"), Variant(-1.5e308));
  EXPECT_EQ(Read(ColumnKind::Float, "42"), Variant(42.0));
  // Beyond a Double's range the text, never an infinity or a zero.
  ExpectKeptAsText(ColumnKind::Float, {"1e309", "-1e309", "1e99999999999999999999", "1e-400"});
  ExpectKeptAsText(ColumnKind::Float, {"", ".", "-.", "e5", "1e", "1e+", "1e-", "1.2.3", "1,5", "inf", "nan",
                                       "-inf", "1.5 ", " 1.5", "0x1p3", "1e5x", "++1"});
}

TEST(AdoFieldText, BitsAreOnlyOneAndZero) {
  EXPECT_EQ(Read(ColumnKind::Bit, "1"), Variant(true));
  EXPECT_EQ(Read(ColumnKind::Bit, "0"), Variant(false));
  ExpectKeptAsText(ColumnKind::Bit, {"", "yes", "01", "-1", "true", "2"});
}

TEST(AdoFieldText, DatesAndTimesAreSerialDays) {
  EXPECT_EQ(Read(ColumnKind::DateTime, "2024-01-31"), Variant::FromDate(45322));
  EXPECT_EQ(Read(ColumnKind::DateTime, "1899-12-30"), Variant::FromDate(0));
  EXPECT_EQ(Read(ColumnKind::DateTime, "2000-02-29"), Variant::FromDate(36585));
  EXPECT_EQ(Read(ColumnKind::DateTime, "0100-01-01"), Variant::FromDate(-657434));
  EXPECT_EQ(Read(ColumnKind::DateTime, "9999-12-31"), Variant::FromDate(2958465));
  EXPECT_EQ(Read(ColumnKind::DateTime, "2024-01-31 12:00"), Variant::FromDate(45322.5));
  EXPECT_EQ(Read(ColumnKind::DateTime, "2024-01-31T06:00:00"), Variant::FromDate(45322.25));
  // Before day 0 the day counts back and the time forward from it.
  EXPECT_EQ(Read(ColumnKind::DateTime, "1850-06-15 06:00:00"), Variant::FromDate(-18095.25));
  EXPECT_EQ(Read(ColumnKind::DateTime, "1899-12-29 12:00:00"), Variant::FromDate(-1.5));
  // A time alone is on day 0; fractions of a second are kept, to any number of digits.
  EXPECT_EQ(Read(ColumnKind::DateTime, "13:05:09"), Variant::FromDate((13 * 3600 + 5 * 60 + 9) / 86400.0));
  EXPECT_EQ(Read(ColumnKind::DateTime, "13:05"), Variant::FromDate((13 * 3600 + 5 * 60) / 86400.0));
  EXPECT_DOUBLE_EQ(Read(ColumnKind::DateTime, "2024-01-31 00:00:00.5").ToDateSerial(), 45322 + 0.5 / 86400);
  EXPECT_DOUBLE_EQ(Read(ColumnKind::DateTime, "23:59:59.125").ToDateSerial(), 86399.125 / 86400);
  EXPECT_DOUBLE_EQ(Read(ColumnKind::DateTime, "12:00:00.000000000000000000000001").ToDateSerial(), 0.5);
  EXPECT_EQ(Read(ColumnKind::DateTime, "2024-01-31 13:05:09").ToString(), "2024-01-31 13:05:09");

  ExpectKeptAsText(
      ColumnKind::DateTime,
      {// days that do not exist, years before 100
       "2023-02-29", "1900-02-29", "2024-04-31", "2024-13-01", "2024-00-10", "2024-01-00", "2024-01-32",
       "0099-12-31", "0000-01-01",
       // times out of range or cut short
       "24:00", "12:60", "12:00:60", "12:00:00.", "12:00:00.5x", "12:5", "1:00", "12:00:", "12:00:0",
       // other forms
       "", "2024-1-31", "31.01.2024", "2024/01/31", "2024-01-31 ", "2024-01-31X12:00", "2024-01-31T",
       "-2024-01-31", "+2024-01-31", "2024-01-31 12", "now"});
}

TEST(AdoFieldText, TextAndBytesAreKeptAsTheyAre) {
  EXPECT_EQ(Read(ColumnKind::Text, "42"), Variant("42"));
  EXPECT_EQ(Read(ColumnKind::Text, "2024-01-31"), Variant("2024-01-31"));
  const std::string bytes(
      "\0\xff"
      "A",
      3);
  EXPECT_EQ(Read(ColumnKind::Binary, bytes), Variant(bytes));
}

}  // namespace
}  // namespace platform::ado
