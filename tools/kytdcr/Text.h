#pragma once
// Text conversions of the command-line tool: the knowledge base stores pattern
// names in code page 1251, the terminal speaks UTF-8.
#include <string>
#include <string_view>

namespace kytdcr {

// Unicode code point of one code page 1251 byte; 0 for the one unassigned byte (0x98).
char32_t Cp1251ToCodePoint(unsigned char byte);

// The code page 1251 byte of a code point, or -1 when the code page has none.
int CodePointToCp1251(char32_t codePoint);

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
