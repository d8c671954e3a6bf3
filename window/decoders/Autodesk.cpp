// Autodesk Animator CEL and PIC pictures: a 32-byte header marked 0x9119, a
// palette of 256 colours and one byte per pixel, top row first.
#include "core/Error.h"
#include "core/ByteReader.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

Bitmap DecodeAutodesk(const std::vector<uint8_t>& bytes) {
  ByteReader in(bytes, "Autodesk");
  if (in.U16LE() != 0x9119) in.Corrupt("it does not start with the Autodesk mark");
  const int32_t width = in.U16LE();
  const int32_t height = in.U16LE();
  in.Skip(4);  // position on the screen
  const unsigned depth = in.U8();
  const unsigned compression = in.U8();
  in.Seek(32);
  in.CheckSize(width, height);
  if (depth != 8) in.Unsupported(std::to_string(depth) + "-bit pixels");
  if (compression != 0) in.Unsupported("compression " + std::to_string(compression));

  // The palette holds VGA values of 0 to 63; a palette with larger values is
  // taken as 8-bit already.
  const uint8_t* map = in.Take(768);
  bool sixBits = true;
  for (size_t i = 0; i < 768; ++i) sixBits = sixBits && map[i] <= 63;
  Color palette[256];
  for (size_t i = 0; i < 256; ++i) {
    uint8_t rgb[3];
    for (size_t k = 0; k < 3; ++k) rgb[k] = sixBits ? uint8_t((map[3 * i + k] * 255 + 31) / 63) : map[3 * i + k];
    palette[i] = MakeColor(rgb[0], rgb[1], rgb[2]);
  }

  const uint8_t* pixels = in.Take(uint64_t(width) * uint64_t(height));
  Bitmap bitmap{width, height};
  for (int32_t y = 0; y < height; ++y) {
    Color* out = bitmap.Row(y);
    const uint8_t* row = pixels + size_t(y) * size_t(width);
    for (int32_t x = 0; x < width; ++x) out[x] = palette[row[x]];
  }
  return bitmap;
}

}  // namespace kyt
