// The control kit's text functions, ReplaceNoCase held against its plain definition on random texts.
#include <gtest/gtest.h>

#include <random>

#include "controlkit/TextFunctions.h"
#include "support/ErrorNumber.h"
#include "support/PlainReplace.h"

namespace controlkit {
namespace {

using testsupport::ErrorNumberOf;

using testsupport::PlainReplace;

TEST(ReplaceNoCase, AgreesWithThePlainDefinitionOnRandomTexts) {
  std::mt19937 random(20240607);
  const std::string alphabet = "<>aAbB_\r\n\t\xC3\xA4 ";
  const auto randomText = [&](std::size_t maxLength) {
    std::string text(random() % (maxLength + 1), ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    return text;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string text = randomText(40), find = randomText(4), replacement = randomText(5);
    std::string replaced = text;
    ReplaceNoCase(replaced, find, replacement);
    ASSERT_EQ(replaced, PlainReplace(text, find, replacement))
        << "text '" << text << "' find '" << find << "' replacement '" << replacement << "'";
  }
}

TEST(ReplaceNoCase, ScansOnceFromTheFirstCharacter) {
  std::string text = "<a><A><a>>";
  ReplaceNoCase(text, "<A>", "<a");
  EXPECT_EQ(text, "<a<a<a>") << "inserted text is not scanned again";
  text = "aaa";
  ReplaceNoCase(text, "aa", "b");
  EXPECT_EQ(text, "ba");
}

TEST(TextFunctions, SplitPieceUcaseTrimAndRight) {
  EXPECT_EQ(SplitPiece("12 - A - B", " - ", 1), "A");
  EXPECT_EQ(SplitPiece("12 - ", " - ", 1), "");
  EXPECT_EQ(SplitPiece("12", " - ", 0), "12");
  EXPECT_EQ(ErrorNumberOf([] { SplitPiece("12", " - ", 1); }), platform::err::SubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([] { SplitPiece("", ".", 0); }), platform::err::SubscriptOutOfRange);

  EXPECT_EQ(UCase("c:\\prog\\r\xC3\xA4ume"), "C:\\PROG\\R\xC3\xA4UME");
  EXPECT_EQ(TrimSpaces("  a b \t "), "a b \t");
  EXPECT_EQ(TrimSpaces("   "), "");

  EXPECT_EQ(CharacterCount("s\xC3\xA9t"), 3);
  EXPECT_EQ(RightCharacters("/s\xC3\xA9t/a", 2), "/a");
  EXPECT_EQ(RightCharacters("\xC3\xA9/a", 3), "\xC3\xA9/a");
  EXPECT_EQ(RightCharacters("ab", 5), "ab");
  EXPECT_EQ(ErrorNumberOf([] { RightCharacters("ab", -1); }), platform::err::InvalidProcedureCall);
}

}  // namespace
}  // namespace controlkit
