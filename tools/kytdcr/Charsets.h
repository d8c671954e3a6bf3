#pragma once
// The character sets of the bundled knowledge bases, most frequent first: when
// two characters look the same once normalised, the earlier one wins.
#include <string>

namespace kytdcr {

// UTF-8 text of a named set ("latin", "russian"), or raises kyt::Error.
std::string NamedCharset(const std::string& name);

// The look-alike groups of a named set, UTF-8, groups separated by blanks:
// characters whose glyphs differ, once cropped and scaled to the grid, at most
// in stroke weight and proportion in the common fonts (lower and upper case of
// o, c, s, u, v, w, x, z, and l, I and |; most Cyrillic lower-case letters are
// small capitals).
std::string NamedAlikeGroups(const std::string& name);

// Frequent letter pairs of the set's language, UTF-8, separated by blanks: the
// pairs worth a pattern of their own where they touch in text.
std::string NamedPairs(const std::string& name);

}  // namespace kytdcr
