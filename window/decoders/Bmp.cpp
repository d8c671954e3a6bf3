// Windows bitmaps: the DIB reader shared with icons, and the bitmap file
// (bmp, rle, dib) around it. Handles the core and info headers and their
// later versions, 1/2/4/8-bit palettes, 16/24/32-bit pixels with or without
// colour masks, RLE8 and RLE4 compression (bottom-up only, as Windows has
// it), and bottom-up and top-down rows.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "core/ByteReader.h"
#include "core/Error.h"
#include "core/DecodeBudget.h"
#include "window/decoders/Decoders.h"

namespace kyt {

namespace {
constexpr const char* kWhat = "bitmap";
}  // namespace

namespace dib {

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

// One colour channel given by a bit mask, scaled to 8 bits.
class Channel {
 public:
  Channel() = default;
  explicit Channel(uint32_t mask) : mask_(mask) {
    if (mask == 0) return;
    shift_ = std::countr_zero(mask);
    const uint32_t run = mask >> shift_;
    bits_ = std::countr_one(run);
    // A mask of all 32 bits has no bits left above its run.
    if (bits_ < 32 && (run >> bits_) != 0) throw Error("The bitmap has a colour mask with gaps");
    max_ = bits_ >= 32 ? 0xFFFFFFFFu : (1u << bits_) - 1;
  }
  uint8_t Extract(uint32_t value) const {
    if (bits_ == 0) return 0;
    const uint32_t c = (value & mask_) >> shift_;
    if (bits_ >= 8) return static_cast<uint8_t>(c >> (bits_ - 8));
    return static_cast<uint8_t>((c * 255u + max_ / 2) / max_);
  }
  bool Used() const { return bits_ != 0; }

 private:
  uint32_t mask_ = 0;
  int shift_ = 0;
  int bits_ = 0;
  uint32_t max_ = 1;
};

struct Header {
  uint32_t Size = 0;
  int64_t Width = 0;
  int64_t Height = 0;  // of the picture, positive
  bool TopDown = false;
  uint32_t BitCount = 0;
  uint32_t Compression = kBiRgb;
  uint32_t ColorsUsed = 0;
  bool Os2 = false;             // OS/2 2.x header (16 or 64 bytes)
  bool CorePalette = false;     // 3-byte palette entries
  uint32_t Masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool HasMasks = false;
  uint64_t PaletteStart = 0;    // offset of the palette
};

Header ReadHeader(const uint8_t* data, size_t size, bool halfHeight) {
  const ByteReader in(data, size, kWhat);
  Header h;
  h.Size = in.U32LEAt(0);
  int64_t height = 0;
  if (h.Size == 12) {
    h.Width = in.U16LEAt(4);
    height = in.U16LEAt(6);
    h.BitCount = in.U16LEAt(10);
    h.CorePalette = true;
  } else if (h.Size == 16 || h.Size == 40 || h.Size == 52 || h.Size == 56 || h.Size == 64 ||
             h.Size == 108 || h.Size == 124) {
    if (size < h.Size) ByteReader::Truncated(kWhat);
    h.Os2 = h.Size == 16 || h.Size == 64;
    h.Width = static_cast<int32_t>(in.U32LEAt(4));
    height = static_cast<int32_t>(in.U32LEAt(8));
    h.BitCount = in.U16LEAt(14);
    if (h.Size >= 40) {
      h.Compression = in.U32LEAt(16);
      h.ColorsUsed = in.U32LEAt(32);
    }
  } else {
    throw Error("The bitmap has an unknown header size (" + std::to_string(h.Size) + ")");
  }

  if (h.Os2 && h.Compression != kBiRgb && h.Compression != kBiRle8 && h.Compression != kBiRle4)
    throw Error("The bitmap uses an OS/2 compression that is not supported");
  h.PaletteStart = h.Size;
  if (!h.Os2 && (h.Compression == kBiBitfields || h.Compression == kBiAlphaBitfields)) {
    h.HasMasks = true;
    if (h.Size >= 52) {
      for (int i = 0; i < 3; ++i) h.Masks[i] = in.U32LEAt(40 + 4 * size_t(i));
      if (h.Size >= 56) h.Masks[3] = in.U32LEAt(52);
    } else {
      const int count = h.Compression == kBiAlphaBitfields ? 4 : 3;
      for (int i = 0; i < count; ++i) h.Masks[i] = in.U32LEAt(h.Size + 4 * size_t(i));
      h.PaletteStart += 4u * uint32_t(count);
    }
  } else if (h.Size >= 56 && h.Compression == kBiRgb && h.BitCount == 32) {
    // Later headers name the alpha mask even without colour masks.
    h.Masks[3] = in.U32LEAt(52);
  }

  if (h.Width <= 0) throw Error("The bitmap has an invalid width (" + std::to_string(h.Width) + ")");
  if (height == 0 || height == INT32_MIN)
    throw Error("The bitmap has an invalid height (" + std::to_string(height) + ")");
  h.TopDown = height < 0;
  h.Height = height < 0 ? -height : height;
  if (halfHeight) {
    h.Height /= 2;
    if (h.Height == 0) throw Error("The icon image has an invalid height");
  }
  if (h.Width * h.Height > Bitmap::kMaxPixels)
    throw Error("The bitmap is too large (" + std::to_string(h.Width) + " x " + std::to_string(h.Height) + ")");

  switch (h.Compression) {
    case kBiRgb:
      if (h.BitCount != 1 && h.BitCount != 2 && h.BitCount != 4 && h.BitCount != 8 && h.BitCount != 16 &&
          h.BitCount != 24 && h.BitCount != 32)
        throw Error("The bitmap has an unsupported bit count (" + std::to_string(h.BitCount) + ")");
      break;
    case kBiRle8:
      if (h.BitCount != 8) throw Error("An RLE8 bitmap must have 8 bits per pixel");
      if (h.TopDown) throw Error("A compressed bitmap cannot be stored top row first");
      break;
    case kBiRle4:
      if (h.BitCount != 4) throw Error("An RLE4 bitmap must have 4 bits per pixel");
      if (h.TopDown) throw Error("A compressed bitmap cannot be stored top row first");
      break;
    case kBiBitfields:
    case kBiAlphaBitfields:
      if (h.BitCount != 16 && h.BitCount != 32)
        throw Error("A bitmap with colour masks must have 16 or 32 bits per pixel");
      break;
    default:
      throw Error("The bitmap uses an unsupported compression (" + std::to_string(h.Compression) + ")");
  }
  if (!h.HasMasks) {
    if (h.BitCount == 16) {
      h.Masks[0] = 0x7C00;
      h.Masks[1] = 0x03E0;
      h.Masks[2] = 0x001F;
    } else if (h.BitCount == 32) {
      h.Masks[0] = 0x00FF0000;
      h.Masks[1] = 0x0000FF00;
      h.Masks[2] = 0x000000FF;
      if (h.Masks[3] == 0) h.Masks[3] = 0xFF000000;
    }
  }
  return h;
}

using Palette = std::vector<Color>;

// Reads the palette; entries that would run into the pixels or past the data are left out.
Palette ReadPalette(const uint8_t* data, size_t size, const Header& h, uint64_t pixelOffset, uint64_t& paletteEnd) {
  const uint64_t entrySize = h.CorePalette ? 3 : 4;
  const uint64_t addressable = h.BitCount <= 8 ? (uint64_t(1) << h.BitCount) : 0;
  // Entries stored in the file; a palette may be longer than the pixels can address.
  const uint64_t stored = (h.CorePalette || h.ColorsUsed == 0) ? addressable : h.ColorsUsed;
  paletteEnd = h.PaletteStart + stored * entrySize;

  Palette palette;
  if (h.BitCount > 8) return palette;
  uint64_t wanted = std::min(stored, addressable);
  uint64_t limit = size;
  if (pixelOffset != 0) limit = std::min<uint64_t>(limit, pixelOffset);
  if (h.PaletteStart + wanted * entrySize > limit) {
    if (pixelOffset == 0 || h.PaletteStart + wanted * entrySize > size) ByteReader::Truncated(kWhat);
    wanted = (limit - std::min(limit, h.PaletteStart)) / entrySize;  // the writer left entries out
  }
  palette.reserve(size_t(wanted));
  for (uint64_t i = 0; i < wanted; ++i) {
    const uint8_t* e = data + h.PaletteStart + i * entrySize;
    palette.push_back(MakeColor(e[2], e[1], e[0]));
  }
  return palette;
}

Color PaletteColor(const Palette& palette, uint32_t index) {
  return index < palette.size() ? palette[index] : kBlack;
}

void ReadUncompressed(const uint8_t* data, size_t size, const Header& h, const Palette& palette,
                      uint64_t pixelOffset, bool keepAlpha, Image& image) {
  const uint64_t stride = (uint64_t(h.Width) * h.BitCount + 31) / 32 * 4;
  const uint64_t lastRow = (uint64_t(h.Width) * h.BitCount + 7) / 8;
  const uint64_t needed = stride * uint64_t(h.Height - 1) + lastRow;
  if (pixelOffset > size || size - pixelOffset < needed) ByteReader::Truncated(kWhat);
  image.PixelsEnd = size_t(std::min<uint64_t>(pixelOffset + stride * uint64_t(h.Height), size));

  const int32_t width = int32_t(h.Width), height = int32_t(h.Height);
  image.Picture = Bitmap(width, height, kBlack);
  const Channel red(h.Masks[0]), green(h.Masks[1]), blue(h.Masks[2]), alpha(h.Masks[3]);
  const bool wantAlpha = keepAlpha && h.BitCount == 32 && alpha.Used();
  if (wantAlpha) image.Alpha.assign(size_t(width) * size_t(height), 0);

  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* src = data + pixelOffset + stride * uint64_t(row);
    const int32_t y = h.TopDown ? row : height - 1 - row;
    Color* out = image.Picture.Row(y);
    switch (h.BitCount) {
      case 1:
      case 2:
      case 4:
      case 8: {
        const uint32_t bits = h.BitCount, perByte = 8 / bits, mask = (1u << bits) - 1;
        for (int32_t x = 0; x < width; ++x) {
          const uint32_t byte = src[uint32_t(x) / perByte];
          const uint32_t shift = 8 - bits * (uint32_t(x) % perByte + 1);
          out[x] = PaletteColor(palette, (byte >> shift) & mask);
        }
        break;
      }
      case 16:
        for (int32_t x = 0; x < width; ++x) {
          const uint32_t v = uint32_t(src[2 * x]) | (uint32_t(src[2 * x + 1]) << 8);
          out[x] = MakeColor(red.Extract(v), green.Extract(v), blue.Extract(v));
        }
        break;
      case 24:
        for (int32_t x = 0; x < width; ++x) out[x] = MakeColor(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        break;
      case 32:
        for (int32_t x = 0; x < width; ++x) {
          const uint8_t* p = src + 4 * x;
          const uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
          out[x] = MakeColor(red.Extract(v), green.Extract(v), blue.Extract(v));
          if (wantAlpha) image.Alpha[size_t(y) * size_t(width) + size_t(x)] = alpha.Extract(v);
        }
        break;
    }
  }
  if (wantAlpha && std::all_of(image.Alpha.begin(), image.Alpha.end(), [](uint8_t a) { return a == 0; }))
    image.Alpha.clear();  // an unused alpha channel: the picture is opaque
}

void ReadRle(const uint8_t* data, size_t size, const Header& h, const Palette& palette, uint64_t pixelOffset,
             Image& image) {
  if (pixelOffset > size) ByteReader::Truncated(kWhat);
  const bool rle4 = h.Compression == kBiRle4;
  const int64_t width = h.Width, height = h.Height;
  // Deltas and the end mark may skip whole rows: only the pixel budget bounds
  // what compressed data can claim.
  budget::CheckPixelBudget(kWhat, uint64_t(width), uint64_t(height), size);
  // Pixels that the data skips keep colour 0 of the palette.
  image.Picture = Bitmap(int32_t(width), int32_t(height), PaletteColor(palette, 0));
  auto put = [&](int64_t x, int64_t row, uint32_t index) {
    if (x < width && row < height) image.Picture.SetPixel(int32_t(x), int32_t(height - 1 - row), PaletteColor(palette, index));
  };

  size_t p = size_t(pixelOffset);
  int64_t x = 0, row = 0;
  for (;;) {
    if (size - p < 2) {
      if (row >= height) break;  // every row is there, only the end marker is missing
      ByteReader::Truncated(kWhat);
    }
    const uint32_t count = data[p], code = data[p + 1];
    p += 2;
    if (count > 0) {  // a run of one index (RLE8) or of two alternating indices (RLE4)
      for (uint32_t i = 0; i < count; ++i, ++x)
        put(x, row, rle4 ? ((i & 1) ? (code & 0x0F) : (code >> 4)) : code);
      continue;
    }
    if (code == 0) {  // end of line
      x = 0;
      ++row;
    } else if (code == 1) {  // end of bitmap
      break;
    } else if (code == 2) {  // delta
      if (size - p < 2) ByteReader::Truncated(kWhat);
      x += data[p];
      row += data[p + 1];
      p += 2;
    } else {  // absolute run of `code` indices, padded to a 16-bit boundary
      const size_t stored = rle4 ? (code + 1) / 2 : code;
      if (size - p < stored) ByteReader::Truncated(kWhat);
      for (uint32_t i = 0; i < code; ++i, ++x)
        put(x, row, rle4 ? ((i & 1) ? (data[p + i / 2] & 0x0F) : (data[p + i / 2] >> 4)) : data[p + i]);
      p += std::min(size - p, stored + (stored & 1));
    }
  }
  image.PixelsEnd = p;
}

}  // namespace

Image Read(const uint8_t* data, size_t size, const ReadOptions& options) {
  const Header h = ReadHeader(data, size, options.HalfHeight);
  uint64_t paletteEnd = 0;
  const Palette palette = ReadPalette(data, size, h, options.PixelOffset, paletteEnd);
  const uint64_t pixelOffset = options.PixelOffset != 0 ? options.PixelOffset : paletteEnd;
  Image image;
  image.TopDown = h.TopDown;
  if (h.Compression == kBiRle8 || h.Compression == kBiRle4)
    ReadRle(data, size, h, palette, pixelOffset, image);
  else
    ReadUncompressed(data, size, h, palette, pixelOffset, options.KeepAlpha, image);
  return image;
}

}  // namespace dib

Bitmap DecodeBmp(const std::vector<uint8_t>& bytes) {
  const uint8_t* data = bytes.data();
  const size_t size = bytes.size();
  if (size < 2 || data[0] != 'B' || data[1] != 'M') throw Error("The data is not a Windows bitmap");
  constexpr size_t kFileHeader = 14;
  const ByteReader in(bytes, kWhat);
  const uint32_t offBits = in.U32LEAt(10);
  if (size <= kFileHeader) in.Truncated();
  const uint32_t headerSize = in.U32LEAt(kFileHeader);
  dib::ReadOptions options;
  // Some writers leave the pixel offset at 0 or let it point into the header: the pixels then follow the palette.
  if (offBits >= kFileHeader + uint64_t(headerSize)) {
    if (offBits > size) in.Truncated();
    options.PixelOffset = offBits - kFileHeader;
  }
  return dib::Read(data + kFileHeader, size - kFileHeader, options).Picture;
}

}  // namespace kyt
