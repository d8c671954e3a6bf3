#include "Text.h"

#include <array>
#include <cstdio>

#include "core/Error.h"

namespace kytdcr {
namespace {

// Bytes 0x80..0xFF of code page 1251; 0x98 is unassigned.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

}  // namespace

char32_t Cp1251ToCodePoint(unsigned char byte) {
  if (byte < 0x80) return byte;
  return kHighHalf[byte - 0x80];
}

int CodePointToCp1251(char32_t codePoint) {
  if (codePoint < 0x80) return int(codePoint);
  if (codePoint >= 0x0410 && codePoint <= 0x044F) return int(codePoint - 0x0410 + 0xC0);
  for (size_t i = 0; i < 0x40; ++i) {
    if (kHighHalf[i] != 0 && kHighHalf[i] == codePoint) return int(0x80 + i);
  }
  return -1;
}

std::string CodePointToUtf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
  return out;
}

std::string Cp1251ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (unsigned char b : text) {
    char32_t c = Cp1251ToCodePoint(b);
    out += CodePointToUtf8(c == 0 && b != 0 ? char32_t(0xFFFD) : c);
  }
  return out;
}

std::u32string Utf8ToCodePoints(std::string_view text) {
  std::u32string out;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    int extra;
    char32_t c;
    if (b < 0x80) {
      extra = 0, c = b;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07;
    } else {
      throw kyt::Error("malformed UTF-8 text (byte " + std::to_string(b) + " at offset " + std::to_string(i) + ")");
    }
    if (i + size_t(extra) >= text.size()) {
      throw kyt::Error("malformed UTF-8 text (cut short at offset " + std::to_string(i) + ")");
    }
    for (int k = 1; k <= extra; ++k) {
      unsigned char n = static_cast<unsigned char>(text[i + size_t(k)]);
      if ((n & 0xC0) != 0x80) {
        throw kyt::Error("malformed UTF-8 text (bad continuation at offset " + std::to_string(i + size_t(k)) + ")");
      }
      c = (c << 6) | (n & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      throw kyt::Error("malformed UTF-8 text (invalid sequence at offset " + std::to_string(i) + ")");
    }
    out += c;
    i += size_t(extra) + 1;
  }
  return out;
}

std::string DescribeCodePoint(char32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", unsigned(c));
  if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return buf;
  return "'" + CodePointToUtf8(c) + "' (" + buf + ")";
}

std::string Utf8ToCp1251(std::string_view text) {
  std::string out;
  for (char32_t c : Utf8ToCodePoints(text)) {
    int b = CodePointToCp1251(c);
    if (b < 0) throw kyt::Error("code page 1251 has no character " + DescribeCodePoint(c));
    out += char(b);
  }
  return out;
}

}  // namespace kytdcr
