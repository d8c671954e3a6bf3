#pragma once
// Letters of code page 1251 as the reader's line rules see them: case pairs
// and where a letter sits between baseline, x-height and capital height.
#include <string>

namespace kytdcr::reader {

bool IsLetter(unsigned char c);
bool IsUpper(unsigned char c);
bool IsDigit(unsigned char c);
// The other case of a letter, or the byte itself when it has none.
unsigned char OtherCase(unsigned char c);
// Small letters of x-height, without ascender, descender or marks.
bool IsXHeightLetter(unsigned char c);
// Letters and digits whose foot stands on the baseline.
bool SitsOnBaseline(unsigned char c);
// Letters whose small and capital forms differ mainly in size.
bool IsLookAlike(unsigned char c);

// The single byte of a one-character name, or 0.
inline unsigned char Single(const std::string& name) {
  return name.size() == 1 ? static_cast<unsigned char>(name[0]) : 0;
}

}  // namespace kytdcr::reader
