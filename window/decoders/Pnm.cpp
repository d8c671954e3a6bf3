// Portable bitmaps, grey maps and pixmaps (ppm, pgm, pbm): P1 to P6, plain
// (text) and raw (binary), any maximum value up to 65535.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/ByteReader.h"
#include "core/Error.h"
#include "window/decoders/Decoders.h"

namespace kyt {

namespace {

constexpr const char* kWhat = "portable map";

bool IsBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The text parts of a map (header numbers, plain samples) over the bounds-checked reader.
class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : in_(bytes, kWhat) {}

  // Skips blanks and comments (from '#' to the end of the line).
  void SkipBlanks() {
    while (!in_.AtEnd()) {
      const uint8_t c = in_.Peek();
      if (IsBlank(c)) {
        in_.Skip(1);
      } else if (c == '#') {
        while (!in_.AtEnd() && in_.Peek() != '\n' && in_.Peek() != '\r') in_.Skip(1);
      } else {
        break;
      }
    }
  }

  // A decimal number after blanks and comments; `limit` is the largest value allowed.
  uint32_t Number(uint32_t limit, const char* what) {
    SkipBlanks();
    if (!IsDigit(in_.Peek())) throw Error(std::string("The portable map has an invalid ") + what);
    uint64_t value = 0;
    while (!in_.AtEnd() && IsDigit(in_.Peek())) {
      value = value * 10 + uint64_t(in_.U8() - '0');
      if (value > limit) throw Error(std::string("The portable map has an invalid ") + what);
    }
    return uint32_t(value);
  }

  // One '0' or '1' of a plain bitmap; the digits need no blanks between them.
  uint32_t Bit() {
    SkipBlanks();
    const uint8_t c = in_.U8();
    if (c != '0' && c != '1') throw Error("The portable bitmap holds an invalid pixel");
    return c - '0';
  }

  // The single blank that ends the header of a raw map.
  void HeaderEnd() {
    if (!IsBlank(in_.U8())) throw Error("The portable map header is not ended by a blank");
  }

  const uint8_t* Take(uint64_t count) { return in_.Take(count); }
  uint64_t Left() const { return in_.Remaining(); }
  [[noreturn]] void Truncated() const { in_.Truncated(); }

 private:
  static bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
  ByteReader in_;
};

uint8_t Scale(uint32_t value, uint32_t maxValue) {
  return uint8_t((uint64_t(value) * 255u + maxValue / 2) / maxValue);
}

}  // namespace

Bitmap DecodePnm(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6')
    throw Error("The data is not a portable bitmap, grey map or pixmap");
  const int kind = bytes[1] - '0';
  Reader in(bytes);
  in.Take(2);
  const uint32_t width = in.Number(uint32_t(Bitmap::kMaxPixels), "width");
  const uint32_t height = in.Number(uint32_t(Bitmap::kMaxPixels), "height");
  if (width == 0 || height == 0 || uint64_t(width) * height > uint64_t(Bitmap::kMaxPixels))
    throw Error("The portable map has an invalid size (" + std::to_string(width) + " x " + std::to_string(height) + ")");
  const bool bitmap = kind == 1 || kind == 4;
  const uint32_t maxValue = bitmap ? 1 : in.Number(65535, "maximum value");
  if (maxValue == 0) throw Error("The portable map has an invalid maximum value");
  const bool plain = kind <= 3;
  const uint32_t channels = (kind == 3 || kind == 6) ? 3 : 1;
  const uint64_t pixels = uint64_t(width) * height;

  // Check the data is long enough before taking memory for the picture.
  uint64_t needed = 0;
  const uint32_t sampleBytes = maxValue < 256 ? 1 : 2;
  if (plain) {
    needed = pixels * channels;  // at least one character per sample
  } else {
    in.HeaderEnd();
    needed = kind == 4 ? (uint64_t(width) + 7) / 8 * height : pixels * channels * sampleBytes;
  }
  if (in.Left() < needed) in.Truncated();

  Bitmap picture(static_cast<int32_t>(width), static_cast<int32_t>(height));
  if (plain) {
    for (uint32_t y = 0; y < height; ++y) {
      Color* out = picture.Row(int32_t(y));
      for (uint32_t x = 0; x < width; ++x) {
        if (kind == 1) {
          out[x] = in.Bit() ? kBlack : kWhite;
        } else if (kind == 2) {
          const uint8_t v = Scale(in.Number(maxValue, "sample"), maxValue);
          out[x] = MakeColor(v, v, v);
        } else {
          const uint8_t r = Scale(in.Number(maxValue, "sample"), maxValue);
          const uint8_t g = Scale(in.Number(maxValue, "sample"), maxValue);
          const uint8_t b = Scale(in.Number(maxValue, "sample"), maxValue);
          out[x] = MakeColor(r, g, b);
        }
      }
    }
    return picture;
  }

  if (kind == 4) {
    const uint64_t stride = (uint64_t(width) + 7) / 8;
    for (uint32_t y = 0; y < height; ++y) {
      const uint8_t* src = in.Take(stride);
      Color* out = picture.Row(int32_t(y));
      for (uint32_t x = 0; x < width; ++x) out[x] = (src[x / 8] & (0x80 >> (x % 8))) ? kBlack : kWhite;
    }
    return picture;
  }

  const uint64_t stride = uint64_t(width) * channels * sampleBytes;
  if (sampleBytes == 1) {
    // One byte per sample: every value scaled once, looked up per pixel.
    uint8_t level[256] = {};
    for (uint32_t v = 0; v <= maxValue && v < 256; ++v) level[v] = Scale(v, maxValue);
    for (uint32_t y = 0; y < height; ++y) {
      const uint8_t* src = in.Take(stride);
      Color* out = picture.Row(int32_t(y));
      uint8_t largest = 0;
      if (channels == 1) {
        for (uint32_t x = 0; x < width; ++x) {
          const uint8_t v = src[x];
          largest = std::max(largest, v);
          const Color grey = level[v];
          out[x] = grey | (grey << 8) | (grey << 16);
        }
      } else {
        for (uint32_t x = 0; x < width; ++x, src += 3) {
          largest = std::max({largest, src[0], src[1], src[2]});
          out[x] = MakeColor(level[src[0]], level[src[1]], level[src[2]]);
        }
      }
      if (largest > maxValue) throw Error("The portable map holds a sample above its maximum value");
    }
    return picture;
  }
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* src = in.Take(stride);
    Color* out = picture.Row(int32_t(y));
    uint8_t sample[3] = {0, 0, 0};
    for (uint32_t x = 0; x < width; ++x) {
      for (uint32_t c = 0; c < channels; ++c) {
        const uint32_t v = sampleBytes == 1 ? src[0] : (uint32_t(src[0]) << 8) | src[1];
        src += sampleBytes;
        if (v > maxValue) throw Error("The portable map holds a sample above its maximum value");
        sample[c] = Scale(v, maxValue);
      }
      out[x] = channels == 3 ? MakeColor(sample[0], sample[1], sample[2]) : MakeColor(sample[0], sample[0], sample[0]);
    }
  }
  return picture;
}

}  // namespace kyt
