// Windows icons (and cursors): the largest image of the file, either a DIB
// with its AND mask or an embedded PNG. Transparent pixels come out white.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "core/ByteReader.h"
#include "core/Error.h"
#include "window/decoders/Decoders.h"

namespace kyt {

namespace {

constexpr const char* kWhat = "icon";
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct Entry {
  uint32_t Width = 0, Height = 0, BitCount = 0;
  uint32_t Offset = 0, Length = 0;
};

Color OverWhite(Color c, uint32_t alpha) {
  auto mix = [alpha](uint32_t v) { return uint8_t((v * alpha + 255u * (255u - alpha) + 127u) / 255u); };
  return MakeColor(mix(RedOf(c)), mix(GreenOf(c)), mix(BlueOf(c)));
}

Bitmap DecodeDibImage(const uint8_t* data, size_t size) {
  dib::ReadOptions options;
  options.HalfHeight = true;
  options.KeepAlpha = true;
  dib::Image image = dib::Read(data, size, options);
  Bitmap& picture = image.Picture;
  const int32_t width = picture.Width(), height = picture.Height();

  if (!image.Alpha.empty()) {  // 32-bit image with alpha: the mask is not needed
    for (int32_t y = 0; y < height; ++y) {
      Color* row = picture.Row(y);
      for (int32_t x = 0; x < width; ++x) row[x] = OverWhite(row[x], image.Alpha[size_t(y) * size_t(width) + size_t(x)]);
    }
    return picture;
  }

  const uint64_t stride = (uint64_t(width) + 31) / 32 * 4;
  const uint64_t maskStart = image.PixelsEnd;
  if (maskStart > size || size - maskStart < stride * uint64_t(height)) ByteReader::Truncated(kWhat);
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* mask = data + maskStart + stride * uint64_t(row);
    Color* out = picture.Row(image.TopDown ? row : height - 1 - row);
    for (int32_t x = 0; x < width; ++x)
      if (mask[x / 8] & (0x80 >> (x % 8))) out[x] = kWhite;
  }
  return picture;
}

}  // namespace

Bitmap DecodeIco(const std::vector<uint8_t>& bytes) {
  const uint8_t* data = bytes.data();
  const size_t size = bytes.size();
  const ByteReader in(bytes, kWhat);
  const uint16_t reserved = in.U16LEAt(0);
  const uint16_t type = in.U16LEAt(2);
  const uint16_t count = in.U16LEAt(4);
  if (reserved != 0 || (type != 1 && type != 2)) throw Error("The data is not a Windows icon");
  if (count == 0) throw Error("The icon holds no image");
  if (size - 6 < size_t(count) * 16) ByteReader::Truncated(kWhat);

  // The largest image wins; among equals the deepest colour, then the first.
  bool found = false;
  Entry best;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = 6 + size_t(i) * 16;
    Entry e;
    e.Width = data[at] ? data[at] : 256;
    e.Height = data[at + 1] ? data[at + 1] : 256;
    e.BitCount = in.U16LEAt(at + 6);
    e.Length = in.U32LEAt(at + 8);
    e.Offset = in.U32LEAt(at + 12);
    if (e.Length == 0 || e.Offset > size || size - e.Offset < e.Length) continue;  // image outside the file
    const uint64_t area = uint64_t(e.Width) * e.Height, bestArea = uint64_t(best.Width) * best.Height;
    if (!found || area > bestArea || (area == bestArea && e.BitCount > best.BitCount)) {
      best = e;
      found = true;
    }
  }
  if (!found) ByteReader::Truncated(kWhat);

  const uint8_t* image = data + best.Offset;
  if (best.Length >= sizeof kPngSignature && std::equal(std::begin(kPngSignature), std::end(kPngSignature), image))
    return DecodePng(std::vector<uint8_t>(image, image + best.Length));
  return DecodeDibImage(image, best.Length);
}

}  // namespace kyt
