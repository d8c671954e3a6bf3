#pragma once
// Host texts are code page 1251 whatever the system's ANSI code page is; the
// Win32 layer shows them through the wide-character API so that Russian texts
// read correctly on every system.
#include <string>

namespace kyt::win32 {

// Code page 1251 bytes to UTF-16.
std::wstring FromCp1251(const std::string& text);
// UTF-16 to code page 1251; characters outside it become '?'.
std::string ToCp1251(const std::wstring& text);

}  // namespace kyt::win32
