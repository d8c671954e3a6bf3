#pragma once
// Host-facing texts written as readable UTF-8 in the source and turned into
// code page 1251 bytes at compile time: "Отменить"_cp1251 is a const char*.
#include <cstddef>

namespace kyt::text {

template <size_t N>
struct Cp1251Literal {
  char Bytes[N] = {};

  consteval Cp1251Literal(const char (&utf8)[N]) {
    size_t out = 0;
    for (size_t i = 0; i + 1 < N;) {
      const unsigned char c = static_cast<unsigned char>(utf8[i]);
      unsigned code = 0;
      if (c < 0x80) {
        code = c;
        i += 1;
      } else if ((c & 0xE0) == 0xC0 && i + 2 < N) {
        code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
        i += 2;
      } else {
        throw "only ASCII and two-byte UTF-8 sequences are converted";
      }
      Bytes[out++] = static_cast<char>(ToCp1251(code));
    }
    Bytes[out] = '\0';
  }

  static consteval unsigned ToCp1251(unsigned code) {
    if (code < 0x80) return code;
    if (code >= 0x0410 && code <= 0x044F) return code - 0x0410 + 0xC0;  // А..я
    if (code == 0x0401) return 0xA8;                                    // Ё
    if (code == 0x0451) return 0xB8;                                    // ё
    if (code == 0x00A0) return 0xA0;
    if (code == 0x00AB) return 0xAB;
    if (code == 0x00BB) return 0xBB;
    throw "character outside code page 1251's Cyrillic range";
  }
};

template <Cp1251Literal Text>
consteval const char* operator""_cp1251() {
  return Text.Bytes;
}

}  // namespace kyt::text
