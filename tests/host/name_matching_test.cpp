// How object names and file names are compared and derived.
#include <gtest/gtest.h>

#include "Cp1251.h"
#include "host/ActionTable.h"
#include "host/NameMatching.h"

namespace kyt::test {
namespace {

TEST(NameMatching, OnlyLatinLettersAreFolded) {
  EXPECT_TRUE(SameObjectName("Rect1", "RECT1"));
  EXPECT_TRUE(SameObjectName("rect_1", "RECT_1"));
  EXPECT_TRUE(SameObjectName("", ""));
  EXPECT_FALSE(SameObjectName("Rect1", "Rect1 "));
  EXPECT_FALSE(SameObjectName("Rect1", "Rect2"));
  // Pairs that differ by 0x20 but are no Latin letters.
  EXPECT_FALSE(SameObjectName("a[", "A{"));
  EXPECT_FALSE(SameObjectName("@", "`"));
  EXPECT_FALSE(SameObjectName("^", "~"));
  EXPECT_FALSE(SameObjectName("1", "\x11"));
  // Code page 1251 letters must match exactly.
  EXPECT_FALSE(SameObjectName(Cp1251("Окно"), Cp1251("ОКНО")));
  EXPECT_FALSE(SameObjectName(Cp1251("ё"), Cp1251("Ё")));
  EXPECT_TRUE(SameObjectName(Cp1251("Окно") + "a", Cp1251("Окно") + "A"));
}

TEST(IniFileName, TheModulesExtensionBecomesIni) {
  EXPECT_EQ(ChangeFileExt("C:\\Program Files\\NeoBook\\PlugIns\\kytDCR.nbp", ".ini"),
            "C:\\Program Files\\NeoBook\\PlugIns\\kytDCR.ini");
  EXPECT_EQ(ChangeFileExt("/usr/lib/libkytDCR.so", ".ini"), "/usr/lib/libkytDCR.ini");
  EXPECT_EQ(ChangeFileExt("C:\\dir.v2\\kytDCR", ".ini"), "C:\\dir.v2\\kytDCR.ini");
  EXPECT_EQ(ChangeFileExt("/opt/dir.v2/kytDCR", ".ini"), "/opt/dir.v2/kytDCR.ini");
  EXPECT_EQ(ChangeFileExt("kytDCR.tar.nbp", ".ini"), "kytDCR.tar.ini");
  EXPECT_EQ(PipesToLineBreaks("|a||b|"), "\r\na\r\n\r\nb\r\n");
}

}  // namespace
}  // namespace kyt::test
