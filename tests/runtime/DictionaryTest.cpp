// The dictionary's order, its errors, its absent-key lookup and its copies.
#include <gtest/gtest.h>

#include "runtime/Dictionary.h"
#include "runtime/Error.h"
#include "support/ErrorNumber.h"

namespace platform {
namespace {

using Keys = std::vector<std::string>;

using testsupport::ErrorNumberOf;

TEST(DictionaryOrder, RemoveAndReAddMovesTheKeyToTheEnd) {
  Dictionary d;
  d.Add("a", std::int32_t{1});
  d.Add("b", std::int32_t{2});
  d.Add("c", std::int32_t{3});
  d.Remove("a");
  d.Add("a", std::int32_t{4});
  EXPECT_EQ(d.Keys(), (Keys{"b", "c", "a"}));
  EXPECT_EQ(d.Count(), 3);
  EXPECT_EQ(d.Find("a")->ToLong(), 4);
  d.RemoveAll();
  EXPECT_EQ(d.Count(), 0);
  EXPECT_FALSE(d.Exists("b"));
  d.Add("b", {});
  EXPECT_EQ(d.Keys(), (Keys{"b"}));
}

TEST(DictionaryErrors, DuplicateAddAndAbsentRemove) {
  Dictionary d;
  d.Add("Key", std::int32_t{1});
  EXPECT_EQ(ErrorNumberOf([&] { d.Add("Key", std::int32_t{2}); }), err::KeyAlreadyExists);
  EXPECT_EQ(d.Find("Key")->ToLong(), 1);
  d.Add("key", std::int32_t{3});  // keys compare byte for byte
  EXPECT_EQ(d.Count(), 2);
  EXPECT_EQ(ErrorNumberOf([&] { d.Remove("missing"); }), err::ElementNotFound);
  EXPECT_EQ(d.Count(), 2);
}

TEST(DictionaryAbsentKey, ItemAddsEmptyButFindDoesNot) {
  Dictionary d;
  EXPECT_EQ(d.Find("x"), nullptr);
  EXPECT_FALSE(d.Exists("x"));
  EXPECT_TRUE(d.Item("x").IsEmpty());
  EXPECT_TRUE(d.Exists("x"));
  d.Item("y") = "set";
  EXPECT_EQ(d.Keys(), (Keys{"x", "y"}));
  EXPECT_EQ(d.Find("y")->ToString(), "set");
}

TEST(DictionaryCopy, CopiesAreIndependent) {
  Dictionary original;
  original.Add("a", std::int32_t{1});
  original.Add("b", std::int32_t{2});
  Dictionary copy(original);
  copy.Item("a") = std::int32_t{10};
  copy.Remove("b");
  copy.Add("c", std::int32_t{3});
  EXPECT_EQ(original.Find("a")->ToLong(), 1);
  EXPECT_EQ(original.Keys(), (Keys{"a", "b"}));
  EXPECT_EQ(copy.Keys(), (Keys{"a", "c"}));

  Dictionary assigned;
  assigned.Add("z", {});
  assigned = copy;
  copy.RemoveAll();  // the assigned dictionary must not reach into copy's entries
  EXPECT_EQ(assigned.Keys(), (Keys{"a", "c"}));
  EXPECT_EQ(assigned.Find("a")->ToLong(), 10);
  assigned.Remove("a");
  EXPECT_EQ(assigned.Keys(), (Keys{"c"}));

  Dictionary moved(std::move(assigned));
  moved.Remove("c");
  EXPECT_EQ(moved.Count(), 0);
}

}  // namespace
}  // namespace platform
