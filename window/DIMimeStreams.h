#pragma once
// Base64 decoding of a whole text stream into bytes, block by block.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <vector>

namespace kyt {

// Characters read from the text stream at a time: a multiple of four, so a
// block yields at most 2052 bytes.
inline constexpr size_t kBase64StreamBlock = 2736;

// Decodes the whole remaining text of `text` and appends the bytes to `bytes`.
// Raises kyt::Error when the text stream fails while being read.
void Base64DecodeStream(std::istream& text, std::vector<uint8_t>& bytes);

}  // namespace kyt
