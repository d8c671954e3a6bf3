#include "platform/win32/Win32Text.h"

#include "core/Cp1251.h"

namespace kyt::win32 {

namespace {
// The byte the code page leaves unassigned travels as the control character
// of the same number, as the system's own conversion does.
constexpr unsigned char kUnassigned = 0x98;
}  // namespace

std::wstring FromCp1251(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    out += byte == kUnassigned ? wchar_t(kUnassigned) : wchar_t(Cp1251ToCodePoint(byte));
  }
  return out;
}

std::string ToCp1251(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t c : text) {
    const int byte = c == wchar_t(kUnassigned) ? int(kUnassigned) : CodePointToCp1251(char32_t(c));
    out += byte < 0 ? '?' : char(byte);
  }
  return out;
}

}  // namespace kyt::win32
