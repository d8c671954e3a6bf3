// Photoshop documents (psd, pdd, and the large-document variant): the
// flattened composite image at the end of the file, raw or PackBits, in
// bitmap, greyscale, duotone (shown as its grey data), indexed, RGB and CMYK
// modes of 1, 8 or 16 bits. 16-bit values keep their high byte; extra
// channels (alpha, spot colours) are ignored. Layers are not read.
#include <cstring>

#include "core/Error.h"
#include "core/ByteReader.h"
#include "window/decoders/RareFormats.h"

namespace kyt {
namespace {

enum Mode : uint16_t {
  kBitmapMode = 0,
  kGreyscaleMode = 1,
  kIndexedMode = 2,
  kRgbMode = 3,
  kCmykMode = 4,
  kDuotoneMode = 8,
};

// One row of PackBits: a count n of 0..127 copies n + 1 bytes, -1..-127 repeats
// the next byte 1 - n times, -128 is nothing.
void UnpackRow(ByteReader& in, uint8_t* out, size_t length) {
  size_t done = 0;
  while (done < length) {
    const int n = in.S8();
    if (n >= 0) {
      const size_t count = size_t(n) + 1;
      if (count > length - done) in.Corrupt("a run goes past the end of a row");
      std::memcpy(out + done, in.Take(count), count);
      done += count;
    } else if (n != -128) {
      const size_t count = size_t(1 - n);
      if (count > length - done) in.Corrupt("a run goes past the end of a row");
      std::memset(out + done, in.U8(), count);
      done += count;
    }
  }
}

}  // namespace

Bitmap DecodePsd(const std::vector<uint8_t>& bytes) {
  ByteReader in(bytes, "Photoshop");
  const uint8_t* mark = in.Take(4);
  if (std::memcmp(mark, "8BPS", 4) != 0) in.Corrupt("it does not start with the Photoshop mark");
  const unsigned version = in.U16BE();
  if (version != 1 && version != 2) in.Unsupported("version " + std::to_string(version));
  const bool large = version == 2;
  in.Skip(6);
  const unsigned channels = in.U16BE();
  const uint32_t height = in.U32BE();
  const uint32_t width = in.U32BE();
  const unsigned depth = in.U16BE();
  const unsigned mode = in.U16BE();

  if (channels < 1 || channels > 56) in.Corrupt(std::to_string(channels) + " channels");
  in.CheckSize(width, height);
  unsigned used = 0;
  switch (mode) {
    case kBitmapMode:
      if (depth != 1) in.Corrupt("a bitmap-mode picture of " + std::to_string(depth) + " bits");
      used = 1;
      break;
    case kGreyscaleMode:
    case kDuotoneMode:
    case kIndexedMode:
      used = 1;
      break;
    case kRgbMode:
      used = 3;
      break;
    case kCmykMode:
      used = 4;
      break;
    default:
      in.Unsupported("colour mode " + std::to_string(mode));
  }
  if (mode != kBitmapMode && depth != 8 && depth != 16) in.Unsupported(std::to_string(depth) + "-bit channels");
  if (mode == kIndexedMode && depth != 8) in.Corrupt("an indexed picture of " + std::to_string(depth) + " bits");
  if (channels < used) in.Corrupt("too few channels for the colour mode");

  // Colour mode data: the palette of an indexed picture, 256 reds, 256 greens, 256 blues.
  const uint32_t modeDataLength = in.U32BE();
  const uint8_t* modeData = in.Take(modeDataLength);
  Color palette[256];
  if (mode == kIndexedMode) {
    if (modeDataLength < 768) in.Corrupt("the palette is missing");
    for (size_t i = 0; i < 256; ++i) palette[i] = MakeColor(modeData[i], modeData[256 + i], modeData[512 + i]);
  }
  in.Skip(in.U32BE());                        // image resources
  in.Skip(large ? in.U64BE() : in.U32BE());   // layers and masks

  const unsigned compression = in.U16BE();
  if (compression > 1) in.Unsupported("compression " + std::to_string(compression));
  const size_t rowBytes = depth == 1 ? (size_t(width) + 7) / 8 : size_t(width) * (depth / 8);
  const uint64_t rows = uint64_t(height) * used;

  // RLE: the byte count of every row of every channel comes first.
  const unsigned countSize = large ? 4 : 2;
  const uint8_t* counts = nullptr;
  if (compression == 1) counts = in.Take(uint64_t(height) * channels * countSize);
  // Refuse what cannot be in the file before taking memory (a PackBits pair yields at most 128 bytes).
  if (compression == 0 ? in.Remaining() < rows * rowBytes : in.Remaining() < rows * ((rowBytes + 127) / 128) * 2)
    in.Truncated();

  Bitmap bitmap(int32_t(width), int32_t(height), kWhite);
  std::vector<uint8_t> unpacked(rowBytes);
  const size_t step = depth == 16 ? 2 : 1;  // the high byte of a 16-bit value comes first
  for (unsigned c = 0; c < used; ++c) {
    for (uint32_t y = 0; y < height; ++y) {
      const uint8_t* row;
      if (compression == 0) {
        row = in.Take(rowBytes);
      } else {
        const uint8_t* p = counts + (uint64_t(c) * height + y) * countSize;
        const uint32_t length = large ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                                      : uint32_t(p[0] << 8 | p[1]);
        ByteReader packed(in.Take(length), length, in.Format());
        UnpackRow(packed, unpacked.data(), rowBytes);
        row = unpacked.data();
      }
      Color* out = bitmap.Row(int32_t(y));
      for (uint32_t x = 0; x < width; ++x) {
        if (mode == kBitmapMode) {
          out[x] = (row[x / 8] >> (7 - x % 8)) & 1 ? kBlack : kWhite;  // a set bit is black
          continue;
        }
        const uint8_t v = row[x * step];
        switch (mode) {
          case kIndexedMode:
            out[x] = palette[v];
            break;
          case kGreyscaleMode:
          case kDuotoneMode:
            out[x] = MakeColor(v, v, v);
            break;
          case kRgbMode:
            out[x] = (out[x] & ~(Color(0xFF) << (8 * c))) | (Color(v) << (8 * c));
            break;
          case kCmykMode:
            // Ink is stored inverted (255 is none): cyan, magenta and yellow set
            // red, green and blue, and black darkens all three.
            if (c < 3) {
              out[x] = (out[x] & ~(Color(0xFF) << (8 * c))) | (Color(v) << (8 * c));
            } else {
              const Color k = out[x];
              out[x] = MakeColor(uint8_t((RedOf(k) * v + 127) / 255), uint8_t((GreenOf(k) * v + 127) / 255),
                                 uint8_t((BlueOf(k) * v + 127) / 255));
            }
            break;
        }
      }
    }
  }
  return bitmap;
}

}  // namespace kyt
