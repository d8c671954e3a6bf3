#pragma once
// The memory budget of picture decoding, one rule for every decoder.
//
// 1. Before it takes memory for a picture, a decoder proves that its input can
//    hold the picture it claims:
//    - per codec, the stored data times the largest expansion that codec
//      allows must reach the bytes the picture needs (CheckExpansion): every
//      byte for uncompressed data, 64 times for PackBits-style runs of two
//      bytes, 1032 times for deflate, 2730 times for 12-bit LZW, and so on;
//    - and for every format, also those whose rows may legally share data or
//      whose codes may cover a whole row in a few bits (run-length records
//      that several rows point to, bitmap RLE deltas, CCITT fax codes), the
//      picture may hold at most kMaxPixelsPerInputByte pixels per byte of the
//      input (CheckPixelBudget). That is about what deflate makes of a
//      one-bit picture at its best.
// 2. Memory follows the input: a picture may have kFreePixels pixels, plus
//    kPixelsPerInputByte for every byte of the input (so a file under 1 MB
//    never decodes to more than about 25 million pixels).
// 3. Besides the input, a decoder takes at most the final picture (4 bytes a
//    pixel) and one working copy of at most 4 bytes a pixel: no more than
//    three times the picture at 24 bits a pixel.
//
// A picture outside the budget is refused with kyt::Error saying that the
// file claims more pixels than it can hold.
#include <algorithm>
#include <cstdint>
#include <string>

#include "core/Bitmap.h"
#include "core/Error.h"

namespace kyt::budget {

inline constexpr uint64_t kMaxPixelsPerInputByte = 8192;
inline constexpr uint64_t kFreePixels = uint64_t(1) << 24;
inline constexpr uint64_t kPixelsPerInputByte = 8;

// The largest expansions of the codecs, stored bytes to unpacked bytes.
inline constexpr uint64_t kStoredRatio = 1;
inline constexpr uint64_t kPackBitsRatio = 64;  // two bytes repeat one byte up to 128 times
inline constexpr uint64_t kDeflateRatio = 1032;
inline constexpr uint64_t kLzwRatio = 2730;     // a 12-bit code stands for at most 4094 bytes

// The most pixels an input of `inputBytes` may decode to.
constexpr uint64_t MaxPixels(uint64_t inputBytes) {
  const uint64_t n = std::min(inputBytes, uint64_t(1) << 40);
  return std::min({n * kMaxPixelsPerInputByte, kFreePixels + n * kPixelsPerInputByte, uint64_t(Bitmap::kMaxPixels)});
}

inline bool WithinPixelBudget(uint64_t width, uint64_t height, uint64_t inputBytes) {
  return width == 0 || height <= MaxPixels(inputBytes) / width;
}

inline std::string ClaimsTooMuchText(const char* format, uint64_t width, uint64_t height, uint64_t inputBytes) {
  return std::string("The ") + format + " picture claims more pixels (" + std::to_string(width) + " x " +
         std::to_string(height) + ") than its " + std::to_string(inputBytes) + " bytes can hold.";
}

[[noreturn]] inline void ClaimsTooMuch(const char* format, uint64_t width, uint64_t height, uint64_t inputBytes) {
  throw Error(ClaimsTooMuchText(format, width, height, inputBytes));
}

// Refuses a picture of width x height from `inputBytes` of input.
inline void CheckPixelBudget(const char* format, uint64_t width, uint64_t height, uint64_t inputBytes) {
  if (!WithinPixelBudget(width, height, inputBytes)) ClaimsTooMuch(format, width, height, inputBytes);
}

// Refuses when `storedBytes` of data that expand at most `ratio` times cannot
// yield `neededBytes`.
inline void CheckExpansion(const char* format, uint64_t width, uint64_t height, uint64_t storedBytes,
                           uint64_t ratio, uint64_t neededBytes) {
  if (storedBytes < neededBytes / ratio + (neededBytes % ratio != 0)) ClaimsTooMuch(format, width, height, storedBytes);
}

}  // namespace kyt::budget
