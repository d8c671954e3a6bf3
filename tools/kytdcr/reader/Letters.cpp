#include "Letters.h"
#include "core/Cp1251Text.h"

#include <cstring>

namespace kytdcr::reader {

using kyt::operator""_cp1251;

namespace {

// Code page 1251 letters outside the two 32-letter Cyrillic blocks: capital, small.
constexpr unsigned char kPairs[][2] = {
    {0xA8, 0xB8}, {0xB2, 0xB3}, {0xAF, 0xBF}, {0xAA, 0xBA}, {0xA5, 0xB4}, {0xA1, 0xA2}, {0xA3, 0xBC},
    {0xBD, 0xBE}, {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E},
    {0x8F, 0x9F},
};

bool In(const char* set, unsigned char c) { return c != 0 && std::strchr(set, char(c)) != nullptr; }

}  // namespace

bool IsLetter(unsigned char c) { return OtherCase(c) != c; }

bool IsUpper(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return true;
  if (c >= 0xC0 && c <= 0xDF) return true;
  for (const auto& p : kPairs)
    if (p[0] == c) return true;
  return false;
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

unsigned char OtherCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xC0 && c <= 0xDF) return c + 32;
  if (c >= 0xE0) return c - 32;
  for (const auto& p : kPairs) {
    if (p[0] == c) return p[1];
    if (p[1] == c) return p[0];
  }
  return c;
}

bool IsXHeightLetter(unsigned char c) {
  // a c e m n o r s u v w x z; а в г е ж з и к л м н о п с т х ч ш ъ ы ь э ю я
  return In("acemnorsuvwxz", c) ||
         In("авгежзиклмнопстхчшъыьэюя"_cp1251, c);
}

bool SitsOnBaseline(unsigned char c) {
  if (IsDigit(c)) return true;
  if (!IsLetter(c)) return false;
  // g j p q y; д р у ф ц щ
  return !In("gjpqy", c) && !In("друфцщ"_cp1251, c) && c != 'Q' && c != 'J';
}

bool IsLookAlike(unsigned char c) {
  const unsigned char small = IsUpper(c) ? OtherCase(c) : c;
  // c o s v w x z; в г д ж з и й к л м н о п с т х ц ч ш щ ъ ы ь э ю я
  return In("cosvwxz", small) ||
         In("вгджзийклмнопстхцчшщъыьэюя"_cp1251,
            small);
}

bool HasMark(unsigned char c) {
  // i j; ё Ё й Й ї Ї і (І has none), the accented capitals of the code page
  return In("ij", c) || In("ёЁйЙїЇі"_cp1251, c);
}

bool IsRareLetter(unsigned char c) {
  if (c == 0xA8 || c == 0xB8) return false;  // Ё ё
  for (const auto& p : kPairs)
    if (p[0] == c || p[1] == c) return true;
  return false;
}

Reach ReachOf(unsigned char c) {
  if (IsDigit(c)) return Reach::Tall;
  if (!IsLetter(c) || IsLookAlike(c)) return Reach::Either;
  // a e m n r u g p q y; а е р у
  if (In("aemnrugpqy", c) || In("аеру"_cp1251, c)) return Reach::Small;
  // b d f h k l and the capitals; б ф and the capitals
  if (In("bdfhkl", c) || c == 0xE1 || c == 0xF4) return Reach::Tall;
  if (IsUpper(c) && c != 0xA8 && c != 0xC9 /* Ё Й carry marks */) return Reach::Tall;
  return Reach::Either;
}

Depth DepthOf(unsigned char c) {
  if (IsDigit(c)) return Depth::None;
  if (!IsLetter(c)) return Depth::Either;
  // g j p q y; р у ф
  if (In("gjpqy", c) || In("руф"_cp1251, c)) return Depth::Below;
  // Q J; д ц щ Д Ц Щ: short tails, or none, by type
  if (In("QJ", c) || In("дцщДЦЩ"_cp1251, c)) return Depth::Either;
  return Depth::None;
}

}  // namespace kytdcr::reader
