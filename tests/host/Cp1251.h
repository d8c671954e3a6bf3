#pragma once
// Converts UTF-8 text (ASCII and two-byte characters) to code page 1251, so that
// the tests can state the plug-in's Russian texts readably and still compare
// them byte for byte.
#include <stdexcept>
#include <string>

#include "core/Cp1251.h"

namespace kyt::test {

inline std::string Cp1251(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += char(c);
      ++i;
      continue;
    }
    if ((c & 0xE0) != 0xC0 || i + 1 >= utf8.size()) throw std::invalid_argument("Cp1251: unsupported text");
    const unsigned cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
    i += 2;
    const int byte = CodePointToCp1251(cp);
    if (byte < 0) throw std::invalid_argument("Cp1251: unsupported letter");
    out += char(byte);
  }
  return out;
}

}  // namespace kyt::test
