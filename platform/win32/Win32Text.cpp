#include "platform/win32/Win32Text.h"

#include <windows.h>

namespace kyt::win32 {

namespace {
constexpr UINT kHostCodePage = 1251;
}

std::wstring FromCp1251(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(kHostCodePage, 0, text.data(), int(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(kHostCodePage, 0, text.data(), int(text.size()), out.data(), n);
  return out;
}

std::string ToCp1251(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(kHostCodePage, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(kHostCodePage, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace kyt::win32
