#include "Text.h"

#include <cstdio>

#include "core/Error.h"

namespace kytdcr {

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
