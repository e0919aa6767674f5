// The property bag's write defaults and positions, and its JSON text for every value type.
#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>

#include "runtime/PropertyBag.h"
#include "support/ErrorNumber.h"

namespace platform {
namespace {

using Names = std::vector<std::string>;

Names NamesOf(const MemoryPropertyBag& bag) {
  Names names;
  for (const auto& entry : bag.Entries()) names.push_back(entry.first);
  return names;
}

using testsupport::ErrorOf;

TEST(MemoryPropertyBagWrite, ValueEqualToWriteDefaultIsNotStored) {
  MemoryPropertyBag bag;
  bag.WriteProperty("Caption", "Hello", Variant(""));
  bag.WriteProperty("Count", "0", Variant(std::int32_t{0}));
  bag.WriteProperty("Enabled", true, Variant(std::int32_t{-1}));
  EXPECT_EQ(NamesOf(bag), (Names{"Caption"}));
  EXPECT_EQ(bag.ReadProperty("Count", std::int32_t{5}).ToLong(), 5);
  EXPECT_TRUE(bag.ReadProperty("Missing").IsEmpty());
}

TEST(MemoryPropertyBagWrite, RewriteKeepsPositionAndDefaultErasesEarlierValue) {
  MemoryPropertyBag bag;
  bag.WriteProperty("A", std::int32_t{1});
  bag.WriteProperty("B", std::int32_t{2});
  bag.WriteProperty("C", std::int32_t{3});
  bag.WriteProperty("D", std::int32_t{4});
  bag.WriteProperty("A", std::int32_t{10});
  EXPECT_EQ(NamesOf(bag), (Names{"A", "B", "C", "D"}));
  bag.WriteProperty("B", std::int32_t{0}, Variant(std::int32_t{0}));  // erases B
  EXPECT_FALSE(bag.Contains("B"));
  EXPECT_EQ(NamesOf(bag), (Names{"A", "C", "D"}));
  // The names after the erased one must still find their own values.
  EXPECT_EQ(bag.ReadProperty("C").ToLong(), 3);
  EXPECT_EQ(bag.ReadProperty("D").ToLong(), 4);
  bag.WriteProperty("D", std::int32_t{40});
  bag.WriteProperty("B", std::int32_t{20});
  EXPECT_EQ(NamesOf(bag), (Names{"A", "C", "D", "B"}));
  EXPECT_EQ(bag.ReadProperty("D").ToLong(), 40);
  bag.WriteProperty("A", Variant());  // Empty is never stored
  EXPECT_EQ(NamesOf(bag), (Names{"C", "D", "B"}));
  EXPECT_EQ(bag.ReadProperty("B").ToLong(), 20);
  bag.WriteProperty("a", std::int32_t{1});  // names compare byte for byte
  EXPECT_EQ(NamesOf(bag), (Names{"C", "D", "B", "a"}));
}

TEST(PropertyBagJson, RoundTripsEveryValueType) {
  MemoryPropertyBag bag;
  bag.WriteProperty("Int", std::int16_t{-3});
  bag.WriteProperty("Long", std::int32_t{2147483647});
  bag.WriteProperty("Double", 0.1);
  bag.WriteProperty("Whole", 2.0);
  bag.WriteProperty("Bool", false);
  bag.WriteProperty("When", Variant::FromDate(46363.5));
  bag.WriteProperty("Text", std::string("Zoë \"q\" \\ \t\n\x01 ✓"));
  bag.WriteProperty("Empty", "");
  const std::string json = FormatPropertyBagJson(bag);
  EXPECT_EQ(json.substr(0, 18), "{\n  \"Int\": -3,\n  \"");
  EXPECT_NE(json.find("\"Zoë \\\"q\\\" \\\\ \\t\\n\\u0001 ✓\""), std::string::npos) << json;
  EXPECT_EQ(json.back(), '\n');

  const MemoryPropertyBag back = ParsePropertyBagJson(json);
  EXPECT_EQ(NamesOf(back), NamesOf(bag));
  EXPECT_EQ(back.Entries()[0].second, Variant(std::int32_t{-3}));  // Integer reads back as Long
  EXPECT_EQ(back.Entries()[1].second, Variant(std::int32_t{2147483647}));
  EXPECT_EQ(back.Entries()[2].second, Variant(0.1));
  EXPECT_EQ(back.Entries()[3].second, Variant(2.0));
  EXPECT_EQ(back.Entries()[4].second, Variant(false));
  EXPECT_EQ(back.Entries()[5].second, Variant("2026-12-07 12:00:00"));
  EXPECT_EQ(back.Entries()[6].second, bag.Entries()[6].second);
  EXPECT_EQ(back.Entries()[7].second, Variant(""));
  EXPECT_EQ(FormatPropertyBagJson(MemoryPropertyBag()), "{}\n");
}

TEST(PropertyBagJson, NumbersReadAsLongOnlyWhenIntegralAndInRange) {
  const MemoryPropertyBag bag =
      ParsePropertyBagJson(R"({"a": -2147483648, "b": 2147483648, "c": 1e3, "d": 1.5})");
  EXPECT_EQ(bag.Entries()[0].second, Variant(std::int32_t{-2147483647 - 1}));
  EXPECT_EQ(bag.Entries()[1].second, Variant(2147483648.0));
  EXPECT_EQ(bag.Entries()[2].second, Variant(1000.0));
  EXPECT_EQ(bag.Entries()[3].second, Variant(1.5));
}

TEST(PropertyBagJson, RejectsWhatIsNotABag) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"", "not valid JSON"},
      {R"({"a": 1,})", "line 1, column 9"},
      {R"({"a": 1} x)", "not valid JSON"},
      {"[1, 2]", "an array"},
      {"\"text\"", "a string"},
      {"12", "a number"},
      {R"({"a": 1, "b": 2, "a": 3})", "duplicate property name 'a'"},
      {R"({"list": [1]})", "property 'list' holds an array"},
      {R"({"inner": {"x": 1}})", "property 'inner' holds an object"},
      {R"({"none": null})", "property 'none' holds null"},
  };
  for (const auto& c : cases) {
    const Error e = ErrorOf([&] { ParsePropertyBagJson(c.text); });
    EXPECT_EQ(e.Number(), err::BadPropertyBag) << c.text;
    EXPECT_NE(e.Description().find(c.expected), std::string::npos) << c.text << " -> " << e.Description();
  }
}

TEST(PropertyBagJson, WritesWhatTheJsonLibraryWritesForTheObject) {
  MemoryPropertyBag bag;
  bag.WriteProperty("Long", std::int32_t{-2147483647 - 1});
  bag.WriteProperty("Double", -0.1);
  bag.WriteProperty("Big", 1e300);
  bag.WriteProperty("Bool", true);
  bag.WriteProperty("When", Variant::FromDate(46363.5));
  bag.WriteProperty("Text \"q\"", std::string("Zo\xC3\xAB \\ \t\r\n\x01\x7F \xE2\x9C\x93"));
  bag.WriteProperty("", "");
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["Long"] = -2147483647 - 1;
  object["Double"] = -0.1;
  object["Big"] = 1e300;
  object["Bool"] = true;
  object["When"] = "2026-12-07 12:00:00";
  object["Text \"q\""] = "Zo\xC3\xAB \\ \t\r\n\x01\x7F \xE2\x9C\x93";
  object[""] = "";
  EXPECT_EQ(FormatPropertyBagJson(bag), object.dump(2) + "\n");

  MemoryPropertyBag one;
  one.WriteProperty("a", std::int16_t{1});
  EXPECT_EQ(FormatPropertyBagJson(one), "{\n  \"a\": 1\n}\n");
}

TEST(PropertyBagJson, TextThatIsNotUtf8CannotBeWrittenAndIsNamed) {
  MemoryPropertyBag bag;
  bag.WriteProperty("fine", "ok");
  bag.WriteProperty("bad", std::string("\xC3("));
  const Error error = ErrorOf([&] { FormatPropertyBagJson(bag); });
  EXPECT_EQ(error.Number(), err::InvalidPropertyValue);
  EXPECT_NE(error.Description().find("'bad'"), std::string::npos) << error.Description();

  MemoryPropertyBag name;
  name.WriteProperty(std::string("\xFF"), std::int32_t{1});
  name.WriteProperty("infinite", std::numeric_limits<double>::infinity());
  EXPECT_NE(ErrorOf([&] { FormatPropertyBagJson(name); }).Description().find("infinite number"),
            std::string::npos)
      << "a value no bag file can hold is reported first";
}

TEST(PropertyBagJson, NonFiniteDoubleCannotBeWritten) {
  MemoryPropertyBag bag;
  bag.WriteProperty("x", std::numeric_limits<double>::infinity());
  EXPECT_EQ(ErrorOf([&] { FormatPropertyBagJson(bag); }).Number(), err::InvalidPropertyValue);
}

}  // namespace
}  // namespace platform
