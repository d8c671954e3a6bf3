#include "window/DIMime.h"

#include <array>

namespace kyt {

namespace {

constexpr int8_t kNotInAlphabet = -1;

constexpr std::array<int8_t, 256> MakeDecodeTable() {
  std::array<int8_t, 256> table{};
  for (auto& entry : table) entry = kNotInAlphabet;
  constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  return table;
}

constexpr std::array<int8_t, 256> kDecodeTable = MakeDecodeTable();

}  // namespace

size_t Base64DecodeChunk(const char* text, size_t length, uint8_t* output, Base64DecodeState& state) {
  uint32_t accumulator = state.Accumulator;
  int32_t remaining = state.Remaining;
  // A state from outside (never produced here) still decodes sanely.
  if (remaining < 1 || remaining > 4) {
    accumulator = 0;
    remaining = 4;
  }
  uint8_t* out = output;
  for (size_t i = 0; i < length; ++i) {
    const int8_t value = kDecodeTable[static_cast<uint8_t>(text[i])];
    if (value == kNotInAlphabet) continue;
    accumulator = (accumulator << 6) | static_cast<uint32_t>(value);
    if (--remaining == 0) {
      *out++ = static_cast<uint8_t>(accumulator >> 16);
      *out++ = static_cast<uint8_t>(accumulator >> 8);
      *out++ = static_cast<uint8_t>(accumulator);
      accumulator = 0;
      remaining = 4;
    }
  }
  state.Accumulator = accumulator;
  state.Remaining = remaining;
  return static_cast<size_t>(out - output);
}

size_t Base64DecodeFinish(uint8_t* output, Base64DecodeState& state) {
  size_t written = 0;
  switch (state.Remaining) {
    case 1:  // three characters, 18 bits
      output[0] = static_cast<uint8_t>(state.Accumulator >> 10);
      output[1] = static_cast<uint8_t>(state.Accumulator >> 2);
      written = 2;
      break;
    case 2:  // two characters, 12 bits
      output[0] = static_cast<uint8_t>(state.Accumulator >> 4);
      written = 1;
      break;
    default:  // nothing pending, or one dangling character that carries no whole byte
      break;
  }
  state = Base64DecodeState{};
  return written;
}

}  // namespace kyt
