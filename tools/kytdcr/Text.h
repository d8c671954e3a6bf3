#pragma once
// Text conversions of the command-line tool: the knowledge base stores pattern
// names in code page 1251, the terminal speaks UTF-8.
#include <string>
#include <string_view>

#include "core/Cp1251.h"

namespace kytdcr {

// The library's table: Cp1251ToCodePoint (0 for the unassigned byte 0x98) and
// CodePointToCp1251 (-1 when the code page has no such character).
using kyt::Cp1251ToCodePoint;
using kyt::CodePointToCp1251;

// Code page 1251 -> UTF-8. The unassigned byte becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view text);

// UTF-8 -> code page 1251. Raises kyt::Error for malformed UTF-8 or for a
// character that the code page cannot hold, naming it.
std::string Utf8ToCp1251(std::string_view text);

// UTF-8 -> code points. Raises kyt::Error for malformed UTF-8.
std::u32string Utf8ToCodePoints(std::string_view text);

// One code point -> UTF-8.
std::string CodePointToUtf8(char32_t codePoint);

// A name for messages: the UTF-8 text, or U+XXXX for what cannot be shown.
std::string DescribeCodePoint(char32_t codePoint);

}  // namespace kytdcr
