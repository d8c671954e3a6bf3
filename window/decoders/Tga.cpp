// Truevision TGA pictures: colour-mapped, true-colour (15, 16, 24 and 32 bits)
// and greyscale images, uncompressed or run-length encoded, with the origin at
// any corner. An alpha channel that is declared and not all zero is composed
// over white; otherwise alpha is ignored.
#include <cstring>

#include "core/Error.h"
#include "core/ByteReader.h"
#include "window/decoders/RareFormats.h"

namespace kyt {
namespace {

enum ImageType : uint8_t {
  kNoImage = 0,
  kColorMapped = 1,
  kTrueColor = 2,
  kGrey = 3,
  kRleColorMapped = 9,
  kRleTrueColor = 10,
  kRleGrey = 11,
};

uint8_t Expand5(unsigned v) { return uint8_t((v << 3) | (v >> 2)); }

// A colour with its alpha, as one pixel or palette entry reads.
struct Rgba {
  uint8_t R = 0, G = 0, B = 0, A = 255;
};

// Reads one colour of `bits` bits (15, 16, 24 or 32) stored low byte first.
Rgba ReadColor(const uint8_t* p, unsigned bits) {
  Rgba c;
  if (bits == 15 || bits == 16) {
    unsigned v = unsigned(p[0]) | (unsigned(p[1]) << 8);
    c.B = Expand5(v & 0x1F);
    c.G = Expand5((v >> 5) & 0x1F);
    c.R = Expand5((v >> 10) & 0x1F);
  } else {
    c.B = p[0];
    c.G = p[1];
    c.R = p[2];
    if (bits == 32) c.A = p[3];
  }
  return c;
}

uint8_t Over(uint8_t v, uint8_t a) { return uint8_t((v * a + 255 * (255 - a) + 127) / 255); }

}  // namespace

Bitmap DecodeTga(const std::vector<uint8_t>& bytes) {
  ByteReader in(bytes, "TGA");
  const unsigned idLength = in.U8();
  const unsigned colorMapType = in.U8();
  const unsigned imageType = in.U8();
  const unsigned mapFirst = in.U16LE();
  const unsigned mapLength = in.U16LE();
  const unsigned mapBits = in.U8();
  in.Skip(4);  // x and y origin on the screen
  const int32_t width = in.U16LE();
  const int32_t height = in.U16LE();
  const unsigned depth = in.U8();
  const unsigned descriptor = in.U8();

  if (imageType == kNoImage) throw Error("The TGA file holds no picture.");
  const bool rle = imageType >= 8;
  const unsigned kind = rle ? imageType - 8 : imageType;
  if (kind != kColorMapped && kind != kTrueColor && kind != kGrey)
    in.Unsupported("image type " + std::to_string(imageType));
  if (colorMapType > 1) in.Corrupt("unknown colour map type");
  in.CheckSize(width, height);

  // Pixel depth by image kind.
  if (kind == kColorMapped && depth != 8 && depth != 16) in.Unsupported("colour-mapped pixels of " + std::to_string(depth) + " bits");
  if (kind == kTrueColor && depth != 15 && depth != 16 && depth != 24 && depth != 32)
    in.Unsupported("true-colour pixels of " + std::to_string(depth) + " bits");
  if (kind == kGrey && depth != 8 && depth != 16) in.Unsupported("greyscale pixels of " + std::to_string(depth) + " bits");
  const unsigned pixelBytes = (depth + 7) / 8;

  in.Skip(idLength);

  // The colour map; a true-colour or greyscale picture may carry one that it does not use.
  std::vector<Rgba> palette;
  if (colorMapType == 1) {
    if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32)
      in.Unsupported("colour map entries of " + std::to_string(mapBits) + " bits");
    const unsigned entryBytes = (mapBits + 7) / 8;
    const uint8_t* map = in.Take(uint64_t(mapLength) * entryBytes);
    if (kind == kColorMapped) {
      palette.resize(mapLength);
      for (unsigned i = 0; i < mapLength; ++i) palette[i] = ReadColor(map + i * entryBytes, mapBits);
    }
  } else if (kind == kColorMapped) {
    in.Corrupt("a colour-mapped picture has no colour map");
  }

  // The pixel data, unpacked into the file's own row order.
  const uint64_t pixelCount = uint64_t(width) * uint64_t(height);
  // A run packet of two bytes and more yields at most 128 pixels: refuse what cannot fit in the file.
  if (rle ? in.Remaining() < (pixelCount + 127) / 128 * (1 + pixelBytes) : in.Remaining() < pixelCount * pixelBytes)
    in.Truncated();
  const uint8_t* pixels = nullptr;
  std::vector<uint8_t> unpacked;
  if (!rle) {
    pixels = in.Take(pixelCount * pixelBytes);
  } else {
    unpacked.resize(size_t(pixelCount * pixelBytes));
    uint64_t done = 0;
    while (done < pixelCount) {
      const unsigned header = in.U8();
      const uint64_t count = (header & 0x7F) + 1;
      if (count > pixelCount - done) in.Corrupt("a run goes past the end of the picture");
      uint8_t* out = unpacked.data() + done * pixelBytes;
      if (header & 0x80) {
        const uint8_t* value = in.Take(pixelBytes);
        for (uint64_t i = 0; i < count; ++i) std::memcpy(out + i * pixelBytes, value, pixelBytes);
      } else {
        std::memcpy(out, in.Take(count * pixelBytes), size_t(count * pixelBytes));
      }
      done += count;
    }
    pixels = unpacked.data();
  }

  auto colorAt = [&](size_t i) {
    const uint8_t* p = pixels + i * pixelBytes;
    Rgba c;
    if (kind == kColorMapped) {
      const unsigned index = depth == 8 ? p[0] : unsigned(p[0]) | (unsigned(p[1]) << 8);
      // Indices below the map's first entry or beyond its end show black.
      if (index >= mapFirst && index - mapFirst < palette.size()) c = palette[index - mapFirst];
      else c = Rgba{0, 0, 0, 255};
    } else if (kind == kGrey) {
      c.R = c.G = c.B = p[0];
      if (depth == 16) c.A = p[1];
    } else {
      c = ReadColor(p, depth);
    }
    return c;
  };

  // Alpha counts only when the picture declares it and it is not zero throughout.
  const bool declaresAlpha = (descriptor & 0x0F) != 0 && ((kind == kTrueColor && depth == 32) ||
                                                           (kind == kGrey && depth == 16) ||
                                                           (kind == kColorMapped && mapBits == 32));
  bool composeAlpha = false;
  for (size_t i = 0; declaresAlpha && !composeAlpha && i < pixelCount; ++i) composeAlpha = colorAt(i).A != 0;

  Bitmap bitmap(width, height);
  const bool topDown = (descriptor & 0x20) != 0;
  const bool rightToLeft = (descriptor & 0x10) != 0;
  for (int32_t row = 0; row < height; ++row) {
    Color* out = bitmap.Row(topDown ? row : height - 1 - row);
    const size_t first = size_t(row) * size_t(width);
    for (int32_t col = 0; col < width; ++col) {
      Rgba c = colorAt(first + size_t(col));
      if (composeAlpha) {
        c.R = Over(c.R, c.A);
        c.G = Over(c.G, c.A);
        c.B = Over(c.B, c.A);
      }
      out[rightToLeft ? width - 1 - col : col] = MakeColor(c.R, c.G, c.B);
    }
  }
  return bitmap;
}

}  // namespace kyt
