// Dr. Halo CUT pictures: a 6-byte header (width, height, reserved) and one
// run-length encoded line after another, each led by its byte count. The
// colours live in a separate palette file that a picture in memory does not
// have, so the indices are shown as grey levels.
#include "core/Error.h"
#include "core/ByteReader.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

Bitmap DecodeHaloCut(const std::vector<uint8_t>& bytes) {
  ByteReader in(bytes, "Dr. Halo");
  const int32_t width = in.U16LE();
  const int32_t height = in.U16LE();
  in.Skip(2);
  in.CheckSize(width, height);
  // Each line needs its count and two bytes for every 127 pixels: refuse what
  // cannot be in the file before taking memory.
  if (!in.Has(uint64_t(height) * (2 + 2 * ((uint64_t(width) + 126) / 127)))) in.Truncated();

  Bitmap bitmap{width, height};
  for (int32_t y = 0; y < height; ++y) {
    const uint16_t count = in.U16LE();
    ByteReader line(in.Take(count), count, in.Format());
    Color* out = bitmap.Row(y);
    int32_t x = 0;
    // A code byte c: its low 7 bits n = 0 end the line; with the top bit set
    // the next byte is repeated n times, else n bytes follow as they are.
    while (!line.AtEnd()) {
      const unsigned c = line.U8();
      const int32_t n = int32_t(c & 0x7F);
      if (n == 0) break;
      if (n > width - x) line.Corrupt("a run goes past the end of a line");
      if (c & 0x80) {
        const uint8_t v = line.U8();
        for (int32_t i = 0; i < n; ++i) out[x++] = MakeColor(v, v, v);
      } else {
        const uint8_t* p = line.Take(uint64_t(n));
        for (int32_t i = 0; i < n; ++i) out[x++] = MakeColor(p[i], p[i], p[i]);
      }
    }
    if (x != width) in.Corrupt("a line is shorter than the picture");
  }
  return bitmap;
}

}  // namespace kyt
