// The compile-time conversion of UTF-8 source text to code page 1251: every
// character of the code page gives its byte, and the host texts now written
// as readable text give the very bytes they were written as before.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "core/Cp1251.h"
#include "core/Cp1251Text.h"
#include "window/DcrWindowLook.h"

namespace kyt {
namespace {

// UTF-8 of every assigned character of the code page's upper half, in byte order.
struct Utf8Text {
  char Bytes[3 * 128 + 1];
  size_t Length;
};

constexpr Utf8Text UpperHalfAsUtf8() {
  Utf8Text text{};
  for (size_t i = 0; i < 128; ++i) {
    const char32_t c = kCp1251HighHalf[i];
    if (c == 0) continue;
    if (c < 0x800) {
      text.Bytes[text.Length++] = char(0xC0 | (c >> 6));
    } else {
      text.Bytes[text.Length++] = char(0xE0 | (c >> 12));
      text.Bytes[text.Length++] = char(0x80 | ((c >> 6) & 0x3F));
    }
    text.Bytes[text.Length++] = char(0x80 | (c & 0x3F));
  }
  return text;
}

constexpr Utf8Text kUpperHalf = UpperHalfAsUtf8();
constexpr text::Cp1251Literal kConverted(kUpperHalf.Bytes);

TEST(Cp1251Text, EveryCharacterOfTheCodePageGivesItsByte) {
  std::string expected;
  for (int byte = 0x80; byte <= 0xFF; ++byte)
    if (byte != 0x98) expected += char(byte);
  EXPECT_EQ(std::string(kConverted.Bytes), expected);
  EXPECT_EQ(std::string("plain ASCII, 0-9 ~"_cp1251), "plain ASCII, 0-9 ~");
  EXPECT_EQ(std::string("Ёё №«»–—"_cp1251), "\xA8\xB8 \xB9\xAB\xBB\x96\x97");
}

TEST(Cp1251Text, TheHostTextsKeepTheirBytes) {
  // Each as it was written before, byte by byte.
  const std::pair<const char*, const char*> texts[] = {
      {"Создать DCR-окно."_cp1251, "\xD1\xEE\xE7\xE4\xE0\xF2\xFC DCR-\xEE\xEA\xED\xEE."},
      {"Удалить DCR-окно и базу знаний."_cp1251,
       "\xD3\xE4\xE0\xEB\xE8\xF2\xFC DCR-\xEE\xEA\xED\xEE \xE8 \xE1\xE0\xE7\xF3 \xE7\xED\xE0\xED\xE8\xE9."},
      {"Загрузить базу знаний с параметрами в DCR-окно."_cp1251,
       "\xC7\xE0\xE3\xF0\xF3\xE7\xE8\xF2\xFC \xE1\xE0\xE7\xF3 \xE7\xED\xE0\xED\xE8\xE9 \xF1 "
       "\xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xE0\xEC\xE8 \xE2 DCR-\xEE\xEA\xED\xEE."},
      {"Загрузите изображение из файла или потока в DCR-окно."_cp1251,
       "\xC7\xE0\xE3\xF0\xF3\xE7\xE8\xF2\xE5 \xE8\xE7\xEE\xE1\xF0\xE0\xE6\xE5\xED\xE8\xE5 \xE8\xE7 "
       "\xF4\xE0\xE9\xEB\xE0 \xE8\xEB\xE8 \xEF\xEE\xF2\xEE\xEA\xE0 \xE2 DCR-\xEE\xEA\xED\xEE."},
      {"Распознать текст в загруженном изображении и сохранить в переменной."_cp1251,
       "\xD0\xE0\xF1\xEF\xEE\xE7\xED\xE0\xF2\xFC \xF2\xE5\xEA\xF1\xF2 \xE2 "
       "\xE7\xE0\xE3\xF0\xF3\xE6\xE5\xED\xED\xEE\xEC \xE8\xE7\xEE\xE1\xF0\xE0\xE6\xE5\xED\xE8\xE8 \xE8 "
       "\xF1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xE2 \xEF\xE5\xF0\xE5\xEC\xE5\xED\xED\xEE\xE9."},
      {"Плагин для распознавания символов."_cp1251,
       "\xCF\xEB\xE0\xE3\xE8\xED \xE4\xEB\xFF \xF0\xE0\xF1\xEF\xEE\xE7\xED\xE0\xE2\xE0\xED\xE8\xFF "
       "\xF1\xE8\xEC\xE2\xEE\xEB\xEE\xE2."},
      {"Объект с именем"_cp1251, "\xCE\xE1\xFA\xE5\xEA\xF2 \xF1 \xE8\xEC\xE5\xED\xE5\xEC"},
      {" не существует."_cp1251, " \xED\xE5 \xF1\xF3\xF9\xE5\xF1\xF2\xE2\xF3\xE5\xF2."},
      {"Формат файла "_cp1251, "\xD4\xEE\xF0\xEC\xE0\xF2 \xF4\xE0\xE9\xEB\xE0 "},
      {" не поддерживается!"_cp1251, " \xED\xE5 \xEF\xEE\xE4\xE4\xE5\xF0\xE6\xE8\xE2\xE0\xE5\xF2\xF1\xFF!"},
      {kDcrWindowLook.TitleCaption,
       "\xC8\xE7\xEE\xE1\xF0\xE0\xE6\xE5\xED\xE8\xE5 \xF1 \xF2\xE5\xEA\xF1\xF2\xEE\xEC"},
  };
  for (const auto& [now, before] : texts) EXPECT_EQ(std::string(now), std::string(before));
}

}  // namespace
}  // namespace kyt
