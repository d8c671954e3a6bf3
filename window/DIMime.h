#pragma once
// Base64 block decoder (RFC 4648 alphabet). Text arrives in blocks of any size;
// the state carries an unfinished group of four characters from one block to
// the next. Bytes outside the alphabet ('=', blanks, line breaks, anything
// else) are skipped without complaint.
#include <cstddef>
#include <cstdint>

namespace kyt {

struct Base64DecodeState {
  uint32_t Accumulator = 0;  // bits of the characters of the current group
  int32_t Remaining = 4;     // characters the current group still lacks
};

// The most bytes that Base64DecodeChunk can write for a block of `length` characters.
constexpr size_t Base64MaxDecodedSize(size_t length) { return length / 4 * 3 + 3; }

// Decodes `length` characters of `text` into `output` (room for
// Base64MaxDecodedSize(length) bytes) and returns the number of bytes written.
size_t Base64DecodeChunk(const char* text, size_t length, uint8_t* output, Base64DecodeState& state);

// Writes the bytes of an unfinished group (two for three pending characters,
// one for two, none otherwise) into `output` (room for 2 bytes), returns their
// number and resets the state for a new text.
size_t Base64DecodeFinish(uint8_t* output, Base64DecodeState& state);

}  // namespace kyt
