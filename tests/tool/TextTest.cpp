// Code page 1251 <-> UTF-8 conversions of the command-line tool.
#include <gtest/gtest.h>

#include "Text.h"
#include "core/Error.h"

namespace kytdcr {
namespace {

TEST(ToolText, EveryAssignedByteRoundTrips) {
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;
    const std::string one(1, char(b));
    const std::string utf8 = Cp1251ToUtf8(one);
    EXPECT_EQ(Utf8ToCp1251(utf8), one) << "byte " << b;
    EXPECT_EQ(CodePointToCp1251(Cp1251ToCodePoint(static_cast<unsigned char>(b))), b);
  }
}

TEST(ToolText, KnownLettersOfTheCodePage) {
  EXPECT_EQ(Cp1251ToUtf8("\xC0\xFF"), "Ая");
  EXPECT_EQ(Cp1251ToUtf8("\xA8\xB8"), "Ёё");
  EXPECT_EQ(Cp1251ToUtf8("\xB9"), "№");
  EXPECT_EQ(Cp1251ToUtf8("\x88"), "€");
  EXPECT_EQ(Utf8ToCp1251("Привет, мир!"), "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0!");
  EXPECT_EQ(Utf8ToCp1251("«—»"), "\xAB\x97\xBB");
  // The one unassigned byte is shown, not lost silently.
  EXPECT_EQ(Cp1251ToUtf8("a\x98z"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(Cp1251ToCodePoint(0x98), 0u);
}

TEST(ToolText, CharactersOutsideTheCodePageAreRefusedByName) {
  try {
    Utf8ToCp1251("ab\xE6\xBC\xA2");  // U+6F22
    FAIL() << "no error";
  } catch (const kyt::Error& e) {
    EXPECT_NE(std::string(e.what()).find("U+6F22"), std::string::npos) << e.what();
  }
  EXPECT_EQ(CodePointToCp1251(U'\u00E9'), -1);  // é is not in code page 1251
}

TEST(ToolText, MalformedUtf8IsAnError) {
  EXPECT_THROW(Utf8ToCodePoints("\xD0"), kyt::Error);              // cut short
  EXPECT_THROW(Utf8ToCodePoints("a\x80"), kyt::Error);             // stray continuation
  EXPECT_THROW(Utf8ToCodePoints("\xC0\xAF"), kyt::Error);          // overlong "/"
  EXPECT_THROW(Utf8ToCodePoints("\xED\xA0\x80"), kyt::Error);      // surrogate
  EXPECT_THROW(Utf8ToCodePoints("\xE2\x82"), kyt::Error);          // three-byte form cut short
  EXPECT_THROW(Utf8ToCodePoints("\xF4\x90\x80\x80"), kyt::Error);  // above U+10FFFF
  EXPECT_EQ(Utf8ToCodePoints("a\xD0\x96\xF0\x9F\x98\x80"), (std::u32string{U'a', U'\u0416', U'\U0001F600'}));
}

TEST(ToolText, CodePointsEncodeInTheShortestForm) {
  for (char32_t c : {char32_t(0x41), char32_t(0x7FF), char32_t(0x800), char32_t(0xFFFD), char32_t(0x10000),
                     char32_t(0x10FFFF)}) {
    EXPECT_EQ(Utf8ToCodePoints(CodePointToUtf8(c)), std::u32string(1, c));
  }
  EXPECT_EQ(CodePointToUtf8(0x7F).size(), 1u);
  EXPECT_EQ(CodePointToUtf8(0x80).size(), 2u);
  EXPECT_EQ(CodePointToUtf8(0x800).size(), 3u);
  EXPECT_EQ(CodePointToUtf8(0x10000).size(), 4u);
}

}  // namespace
}  // namespace kytdcr
