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

// How high a letter or digit stands above the baseline, and whether it goes
// below it, as common types draw it. Either: it varies (look-alikes whose case
// is decided from the height, t, letters with dots or accents, symbols).
enum class Reach { Small, Tall, Either };
enum class Depth { None, Below, Either };
Reach ReachOf(unsigned char c);
Depth DepthOf(unsigned char c);

// Letters of code page 1251 outside the Latin and the Russian alphabets
// (і ї є ґ ў ј ѕ ђ ѓ љ њ ќ ћ џ and their capitals).
bool IsRareLetter(unsigned char c);

// Letters drawn with a mark apart above their body: i j ё й ї і and capitals.
bool HasMark(unsigned char c);

// The single byte of a one-character name, or 0.
inline unsigned char Single(const std::string& name) {
  return name.size() == 1 ? static_cast<unsigned char>(name[0]) : 0;
}

}  // namespace kytdcr::reader
