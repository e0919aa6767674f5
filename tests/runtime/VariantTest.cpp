// Run-time errors and the variant's conversions: numbers, booleans, doubles, dates, loose equality.
#include <gtest/gtest.h>

#include <cfloat>
#include <limits>
#include <optional>

#include "runtime/Error.h"
#include "runtime/Variant.h"
#include "support/ErrorNumber.h"

namespace platform {
namespace {

using testsupport::ErrorNumberOf;

TEST(ErrorTest, MessageCarriesDescriptionAndNumber) {
  const Error e(err::TypeMismatch, "Type mismatch");
  EXPECT_STREQ(e.what(), "Type mismatch (13)");
  EXPECT_EQ(StandardDescription(err::KeyAlreadyExists),
            "This key is already associated with an element of this collection");
  EXPECT_EQ(StandardDescription(-2147467259), "Application-defined or object-defined error");
  try {
    Raise(err::ElementNotFound);
  } catch (const Error& raised) {
    EXPECT_EQ(raised.Description(), "Element not found");
  }
}

// Text read from bags and databases that is not a clean number must not turn into a count.
TEST(VariantTextToNumber, AcceptsDecimalFormsAndRejectsEverythingElse) {
  EXPECT_EQ(Variant(" 12 ").ToLong(), 12);
  EXPECT_EQ(Variant("\t-7").ToInteger(), -7);
  EXPECT_DOUBLE_EQ(Variant("+1.5").ToDouble(), 1.5);
  EXPECT_DOUBLE_EQ(Variant("-.25").ToDouble(), -0.25);
  EXPECT_DOUBLE_EQ(Variant("5.").ToDouble(), 5.0);
  EXPECT_DOUBLE_EQ(Variant("1e3").ToDouble(), 1000.0);
  EXPECT_DOUBLE_EQ(Variant("2.5E-3").ToDouble(), 0.0025);
  EXPECT_DOUBLE_EQ(Variant("1e-999").ToDouble(), 0.0);
  for (const char* bad :
       {"", "   ", "abc", "12abc", "1e", "1e+", "- 5", "1,5", "&H10", ".", "inf", "nan", "0x1A"}) {
    EXPECT_EQ(ErrorNumberOf([&] { Variant(bad).ToLong(); }), err::TypeMismatch) << '"' << bad << '"';
    EXPECT_FALSE(ParseNumber(bad).has_value()) << '"' << bad << '"';
  }
  EXPECT_EQ(Variant().ToLong(), 0);
  EXPECT_EQ(Variant().ToString(), "");
}

TEST(VariantTextToNumber, OverflowOutsideTheTargetRange) {
  EXPECT_EQ(Variant("32767").ToInteger(), 32767);
  EXPECT_EQ(Variant("-32768").ToInteger(), -32768);
  EXPECT_EQ(ErrorNumberOf([] { Variant("32768").ToInteger(); }), err::Overflow);
  EXPECT_EQ(ErrorNumberOf([] { Variant(std::int32_t{-32769}).ToInteger(); }), err::Overflow);
  EXPECT_EQ(ErrorNumberOf([] { Variant(2147483648.0).ToLong(); }), err::Overflow);
  EXPECT_EQ(ErrorNumberOf([] { Variant("1e999").ToDouble(); }), err::Overflow);
  EXPECT_EQ(ErrorNumberOf([] { Variant(std::numeric_limits<double>::quiet_NaN()).ToLong(); }), err::Overflow);
  EXPECT_EQ(Variant(-2147483648.0).ToLong(), std::numeric_limits<std::int32_t>::min());
}

TEST(VariantTextToNumber, HalvesRoundToEven) {
  EXPECT_EQ(Variant(0.5).ToInteger(), 0);
  EXPECT_EQ(Variant(1.5).ToInteger(), 2);
  EXPECT_EQ(Variant(2.5).ToInteger(), 2);
  EXPECT_EQ(Variant(-2.5).ToLong(), -2);
  EXPECT_EQ(Variant("3.5").ToLong(), 4);
  EXPECT_EQ(Variant(2.6).ToInteger(), 3);
  EXPECT_EQ(Variant(-32768.5).ToInteger(), -32768);
  EXPECT_EQ(ErrorNumberOf([] { Variant(32767.5).ToInteger(); }), err::Overflow);
  EXPECT_EQ(Variant(2147483646.5).ToLong(), 2147483646);
}

TEST(VariantBoolean, TrueIsMinusOneAndTextIsCaseInsensitive) {
  EXPECT_EQ(Variant(true).ToInteger(), -1);
  EXPECT_EQ(Variant(true).ToString(), "True");
  EXPECT_EQ(Variant(false).ToString(), "False");
  EXPECT_TRUE(Variant(" tRUe ").ToBoolean());
  EXPECT_FALSE(Variant("FALSE").ToBoolean());
  EXPECT_FALSE(Variant("0").ToBoolean());
  EXPECT_TRUE(Variant(std::int16_t{2}).ToBoolean());
  EXPECT_EQ(ErrorNumberOf([] { Variant("yes").ToBoolean(); }), err::TypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { Variant("True").ToLong(); }), err::TypeMismatch);
}

TEST(VariantDoubleText, ShortestRoundTripForm) {
  EXPECT_EQ(Variant(1.5).ToString(), "1.5");
  EXPECT_EQ(Variant(0.1).ToString(), "0.1");
  EXPECT_EQ(Variant(100.0).ToString(), "100");
  EXPECT_EQ(Variant(-0.0).ToString(), "0");
  EXPECT_EQ(Variant(0.0001).ToString(), "0.0001");
  EXPECT_EQ(Variant(0.00001).ToString(), "1E-05");
  EXPECT_EQ(Variant(1e14).ToString(), "100000000000000");
  EXPECT_EQ(Variant(1e15).ToString(), "1E+15");
  EXPECT_EQ(Variant(-1.5e20).ToString(), "-1.5E+20");
  EXPECT_EQ(Variant(1e300).ToString(), "1E+300");
  EXPECT_EQ(Variant(0.1 + 0.2).ToString(), "0.30000000000000004");
  for (double value : {1.0 / 3, -2.0 / 3, 123456789012345.67, 1e-300, DBL_MAX, DBL_TRUE_MIN, 6.02214076e23}) {
    const std::optional<double> back = ParseNumber(Variant(value).ToString());
    ASSERT_TRUE(back.has_value()) << Variant(value).ToString();
    EXPECT_EQ(*back, value) << Variant(value).ToString();
  }
}

TEST(VariantDate, IsoTextFromSerialDays) {
  EXPECT_EQ(Variant::FromDate(0).ToString(), "1899-12-30");
  EXPECT_EQ(Variant::FromDate(46363).ToString(), "2026-12-07");
  EXPECT_EQ(Variant::FromDate(46363 + 0.5452430555555555).ToString(), "2026-12-07 13:05:09");
  EXPECT_EQ(Variant::FromDate(45351).ToString(), "2024-02-29");
  EXPECT_EQ(Variant::FromDate(61).ToString(), "1900-03-01");
  EXPECT_EQ(Variant::FromDate(-1.25).ToString(), "1899-12-29 06:00:00");
  EXPECT_EQ(Variant::FromDate(-657434).ToString(), "0100-01-01");
  EXPECT_EQ(Variant::FromDate(2958465).ToString(), "9999-12-31");
  EXPECT_EQ(Variant::FromDate(1.9999999).ToString(), "1900-01-01");  // rounds to the next midnight
  EXPECT_EQ(ErrorNumberOf([] { Variant::FromDate(2958466); }), err::Overflow);
  EXPECT_EQ(ErrorNumberOf([] { Variant(std::int32_t{5}).ToDateSerial(); }), err::TypeMismatch);
  EXPECT_EQ(Variant::FromDate(46363).ToLong(), 46363);
  EXPECT_EQ(Variant::FromDate(46363).Type(), VarType::Date);
}

// Decides whether a property equal to its write default is left out of a bag.
TEST(VariantLooselyEqual, CompareAcrossTypes) {
  EXPECT_TRUE(LooselyEqual(Variant(std::int16_t{0}), Variant("0")));
  EXPECT_TRUE(LooselyEqual(Variant(" 1.50 "), Variant(1.5)));
  EXPECT_TRUE(LooselyEqual(Variant(std::int32_t{-1}), Variant(true)));
  EXPECT_TRUE(LooselyEqual(Variant(std::int16_t{7}), Variant(7.0)));
  EXPECT_TRUE(LooselyEqual(Variant(), Variant(std::int32_t{0})));
  EXPECT_TRUE(LooselyEqual(Variant(), Variant("")));
  EXPECT_TRUE(LooselyEqual(Variant(false), Variant()));
  EXPECT_TRUE(LooselyEqual(Variant(), Variant()));
  EXPECT_FALSE(LooselyEqual(Variant("abc"), Variant(std::int32_t{0})));
  EXPECT_FALSE(LooselyEqual(Variant(), Variant("0")));
  EXPECT_FALSE(LooselyEqual(Variant("a"), Variant("A")));
  EXPECT_FALSE(LooselyEqual(Variant("1"), Variant("1.0")));
  EXPECT_FALSE(LooselyEqual(Variant(true), Variant(std::int32_t{1})));
  EXPECT_FALSE(LooselyEqual(Variant("True"), Variant(true)));  // the text holds no number
}

}  // namespace
}  // namespace platform
