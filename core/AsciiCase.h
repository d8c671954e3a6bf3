#pragma once
// ASCII case folding: only a-z and A-Z change, whatever the locale and the
// code page (so that Cyrillic letters of code page 1251 stay as they are).
#include <string>

namespace kyt {

constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

inline std::string AsciiUpper(std::string text) {
  for (char& c : text) c = AsciiUpper(c);
  return text;
}

inline std::string AsciiLower(std::string text) {
  for (char& c : text) c = AsciiLower(c);
  return text;
}

}  // namespace kyt
