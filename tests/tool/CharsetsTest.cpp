// The bundled character sets: what the code page holds, nothing of other
// alphabets, and look-alike groups drawn from the set itself.
#include <gtest/gtest.h>

#include <set>

#include "Charsets.h"
#include "Text.h"
#include "core/Error.h"

namespace kytdcr {
namespace {

std::set<char32_t> Set(const std::string& utf8) {
  const std::u32string s = Utf8ToCodePoints(utf8);
  return std::set<char32_t>(s.begin(), s.end());
}

const std::u32string kPunctuation = U"\u00AB\u00BB\u201E\u201C\u201D\u2018\u2019\u2013\u2014\u2026\u2116";

TEST(Charsets, LatinIsPrintableAsciiAndTheCodePagesPunctuation) {
  const std::u32string chars = Utf8ToCodePoints(NamedCharset("latin"));
  const std::set<char32_t> set(chars.begin(), chars.end());
  EXPECT_EQ(set.size(), chars.size()) << "a character is listed twice";
  for (char32_t c = 33; c <= 126; ++c) EXPECT_TRUE(set.count(c)) << char(c);
  for (char32_t c : kPunctuation) EXPECT_TRUE(set.count(c)) << DescribeCodePoint(c);
  EXPECT_EQ(set.size(), size_t(94 + kPunctuation.size()));
  EXPECT_EQ(chars[0], U'e');  // most frequent first
}

TEST(Charsets, RussianHoldsItsAlphabetAndNoOtherLetters) {
  const std::u32string chars = Utf8ToCodePoints(NamedCharset("russian"));
  const std::set<char32_t> set(chars.begin(), chars.end());
  EXPECT_EQ(set.size(), chars.size()) << "a character is listed twice";
  for (char32_t c = 0x410; c <= 0x44F; ++c) EXPECT_TRUE(set.count(c)) << DescribeCodePoint(c);
  EXPECT_TRUE(set.count(0x401));
  EXPECT_TRUE(set.count(0x451));
  for (char32_t c = U'0'; c <= U'9'; ++c) EXPECT_TRUE(set.count(c));
  for (char32_t c : kPunctuation) EXPECT_TRUE(set.count(c)) << DescribeCodePoint(c);
  for (char32_t c : set) {
    const bool latin = (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
    const bool otherCyrillic = c >= 0x400 && c <= 0x4FF && !(c >= 0x410 && c <= 0x44F) && c != 0x401 && c != 0x451;
    EXPECT_FALSE(latin || otherCyrillic) << DescribeCodePoint(c);
  }
  EXPECT_EQ(chars[0], U'\u043E');
}

TEST(Charsets, EverythingFitsTheCodePageAndGroupsStayInTheirSet) {
  for (const std::string name : {"latin", "russian"}) {
    const std::set<char32_t> set = Set(NamedCharset(name));
    for (char32_t c : set) EXPECT_GE(CodePointToCp1251(c), 0) << name << " " << DescribeCodePoint(c);
    std::set<char32_t> grouped;
    for (char32_t c : Utf8ToCodePoints(NamedAlikeGroups(name))) {
      if (c == U' ') continue;
      EXPECT_TRUE(set.count(c)) << name << ": look-alike " << DescribeCodePoint(c) << " is not in the set";
      EXPECT_TRUE(grouped.insert(c).second) << name << ": " << DescribeCodePoint(c) << " is in two groups";
    }
  }
  EXPECT_THROW(NamedCharset("greek"), kyt::Error);
  EXPECT_THROW(NamedAlikeGroups("greek"), kyt::Error);
}

}  // namespace
}  // namespace kytdcr
