#pragma once
// Host-facing texts written as readable UTF-8 in the source and turned into
// code page 1251 bytes at compile time, over the one table of core/Cp1251.h:
// "Отменить"_cp1251 is a const char* to the eight bytes CE F2 EC E5 ED E8 F2 FC.
// A character the code page does not have stops the compilation.
#include <cstddef>

#include "core/Cp1251.h"

namespace kyt::text {

template <size_t N>
struct Cp1251Literal {
  char Bytes[N] = {};

  consteval Cp1251Literal(const char (&utf8)[N]) {
    size_t out = 0;
    for (size_t i = 0; i + 1 < N;) {
      const unsigned char c = static_cast<unsigned char>(utf8[i]);
      char32_t code = 0;
      size_t length = 0;
      if (c < 0x80) {
        code = c;
        length = 1;
      } else if ((c & 0xE0) == 0xC0) {
        code = c & 0x1Fu;
        length = 2;
      } else if ((c & 0xF0) == 0xE0) {
        code = c & 0x0Fu;
        length = 3;
      } else {
        throw "a character of four UTF-8 bytes has no code page 1251 byte";
      }
      if (i + length >= N) throw "a UTF-8 sequence is cut off";
      for (size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
        if ((next & 0xC0) != 0x80) throw "a UTF-8 sequence is malformed";
        code = (code << 6) | (next & 0x3Fu);
      }
      i += length;
      const int byte = CodePointToCp1251(code);
      if (byte < 0) throw "character outside code page 1251";
      Bytes[out++] = static_cast<char>(byte);
    }
    Bytes[out] = '\0';
  }
};

template <Cp1251Literal Text>
consteval const char* operator""_cp1251() {
  return Text.Bytes;
}

}  // namespace kyt::text

namespace kyt {
using text::operator""_cp1251;
}  // namespace kyt
