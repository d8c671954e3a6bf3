// Kodak Photo-CD image pacs: the Base resolution image (768 x 512) at offset
// 0x30000, stored as PhotoYCC with chroma halved in both directions: two luma
// rows of 768 bytes, then the C1 and C2 rows of 384 bytes for both. The
// orientation in the image pac's header turns portrait pictures upright.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/Error.h"
#include "core/ByteReader.h"
#include "window/decoders/RareFormats.h"

namespace kyt {
namespace {

constexpr size_t kBaseOffset = 0x30000;
constexpr int32_t kBaseWidth = 768, kBaseHeight = 512;
constexpr size_t kSignatureAt = 0x800;
constexpr size_t kOrientationAt = 0x0E02;

uint8_t Clamp(double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

// PhotoYCC to RGB with Kodak's scale factors and chroma offsets (156 and 137).
Color YccToRgb(uint8_t y, uint8_t c1, uint8_t c2) {
  const double l = 1.3584 * y;
  const double cb = 2.2179 * (int(c1) - 156);
  const double cr = 1.8215 * (int(c2) - 137);
  return MakeColor(Clamp(l + cr), Clamp(l - 0.194 * cb - 0.509 * cr), Clamp(l + cb));
}

}  // namespace

Bitmap DecodePhotoCd(const std::vector<uint8_t>& bytes) {
  ByteReader in(bytes, "Photo-CD");
  if (in.Size() >= 7 && std::memcmp(in.Data(), "PCD_OPA", 7) == 0) in.Unsupported("overview pacs hold no full picture");
  in.Seek(kSignatureAt);
  if (std::memcmp(in.Take(3), "PCD", 3) != 0) in.Corrupt("the image pac mark is missing");
  in.Seek(kOrientationAt);
  const unsigned orientation = in.U8() & 3;

  in.Seek(kBaseOffset);
  const uint8_t* data = in.Take(size_t(kBaseWidth) * kBaseHeight * 3 / 2);
  Bitmap base{kBaseWidth, kBaseHeight};
  const size_t pairBytes = size_t(kBaseWidth) * 3;
  for (int32_t y = 0; y < kBaseHeight; ++y) {
    const uint8_t* pair = data + size_t(y / 2) * pairBytes;
    const uint8_t* luma = pair + size_t(y % 2) * kBaseWidth;
    const uint8_t* c1 = pair + 2 * size_t(kBaseWidth);
    const uint8_t* c2 = c1 + kBaseWidth / 2;
    Color* out = base.Row(y);
    for (int32_t x = 0; x < kBaseWidth; ++x) out[x] = YccToRgb(luma[x], c1[x / 2], c2[x / 2]);
  }
  if (orientation == 0) return base;

  // 1: turned a quarter anticlockwise, 2: upside down, 3: a quarter clockwise.
  const bool quarter = orientation != 2;
  Bitmap turned{quarter ? kBaseHeight : kBaseWidth, quarter ? kBaseWidth : kBaseHeight};
  for (int32_t y = 0; y < kBaseHeight; ++y)
    for (int32_t x = 0; x < kBaseWidth; ++x) {
      const Color c = base.Pixel(x, y);
      if (orientation == 1) turned.SetPixel(y, kBaseWidth - 1 - x, c);
      else if (orientation == 2) turned.SetPixel(kBaseWidth - 1 - x, kBaseHeight - 1 - y, c);
      else turned.SetPixel(kBaseHeight - 1 - y, x, c);
    }
  return turned;
}

}  // namespace kyt
