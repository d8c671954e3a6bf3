// Paint Shop Pro images (psp): the file header, then blocks. The general image
// attributes give size, depth and compression; the colour block the palette;
// the layer bank holds the layer with its channels. One raster layer of 1-,
// 4- or 8-bit paletted or greyscale, or 24-bit RGB pixels is read, raw, RLE or
// LZ77 (zlib) compressed; the area the layer does not cover is white. Several
// layers, JPEG compression and 48-bit pixels are refused.
#include <zlib.h>

#include <array>
#include <cstring>
#include <optional>

#include "core/Error.h"
#include "core/ByteReader.h"
#include "window/decoders/RareFormats.h"

namespace kyt {
namespace {

constexpr char kSignature[] = "Paint Shop Pro Image File\n\x1a";
constexpr size_t kSignatureLength = sizeof(kSignature) - 1;
constexpr size_t kFileHeaderSize = 32;

enum BlockId : uint16_t {
  kImageAttributesBlock = 0,
  kColorBlock = 2,
  kLayerStartBlock = 3,
  kLayerBlock = 4,
  kChannelBlock = 5,
};
enum Compression : uint16_t { kNone = 0, kRle = 1, kLz77 = 2, kJpeg = 3 };
constexpr uint16_t kImageBitmap = 0;  // bitmap type of the layer's own pixels (not a mask)

struct Block {
  uint16_t Id = 0;
  size_t Start = 0;      // first byte after the block header
  size_t End = 0;        // one past the block's last byte
  uint32_t InitialLength = 0;  // files of major version 3: length of the block's fixed data
};

struct Attributes {
  int32_t Width = 0, Height = 0;
  uint16_t Compression = 0, Depth = 0;
  bool Grey = false;
  uint16_t LayerCount = 0;
};

struct LayerRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class PspReader {
 public:
  explicit PspReader(const std::vector<uint8_t>& bytes) : in_(bytes, "Paint Shop Pro") {}

  Bitmap Decode() {
    if (!in_.Has(kFileHeaderSize + 4)) in_.Truncated();
    if (std::memcmp(in_.Take(kSignatureLength), kSignature, kSignatureLength) != 0)
      in_.Corrupt("it does not start with the Paint Shop Pro header");
    in_.Seek(kFileHeaderSize);
    major_ = in_.U16LE();
    in_.Skip(2);  // minor version
    if (major_ < 3) in_.Unsupported("file version " + std::to_string(major_));

    while (!in_.AtEnd()) {
      const Block block = ReadBlockHeader(in_.Size());
      switch (block.Id) {
        case kImageAttributesBlock:
          ReadAttributes(block);
          break;
        case kColorBlock:
          ReadPalette(block);
          break;
        case kLayerStartBlock:
          ReadLayers(block);
          break;
        default:
          break;
      }
      in_.Seek(block.End);
    }
    if (!bitmap_) in_.Corrupt("the file holds no layer");
    return std::move(*bitmap_);
  }

 private:
  // The header of the block at the reader's position, which must end by `limit`.
  Block ReadBlockHeader(size_t limit) {
    const uint8_t* mark = in_.Take(4);
    if (std::memcmp(mark, "~BK\0", 4) != 0) in_.Corrupt("a block mark is missing");
    Block block;
    block.Id = in_.U16LE();
    if (major_ < 4) block.InitialLength = in_.U32LE();
    const uint32_t total = in_.U32LE();
    block.Start = in_.Position();
    if (block.Start > limit) in_.Corrupt("a block goes past the end of the block holding it");
    if (total > limit - block.Start) in_.Truncated();
    block.End = block.Start + total;
    if (major_ < 4 && block.InitialLength > total) in_.Corrupt("a block's fixed data is longer than the block");
    return block;
  }

  // Where a block's variable part begins: after its leading chunk (whose first
  // four bytes give its length) or, in version 3 files, after its fixed data.
  size_t AfterChunk(const Block& block) {
    if (major_ < 4) return block.Start + block.InitialLength;
    in_.Seek(block.Start);
    const uint32_t chunk = in_.U32LE();
    if (chunk < 4 || chunk > block.End - block.Start) in_.Corrupt("a chunk is longer than its block");
    return block.Start + chunk;
  }

  void ReadAttributes(const Block& block) {
    if (major_ >= 4) AfterChunk(block);  // checks the chunk's length
    in_.Seek(block.Start + (major_ >= 4 ? 4 : 0));
    Attributes a;
    a.Width = in_.S32LE();
    a.Height = in_.S32LE();
    in_.Skip(8 + 1);  // resolution and its unit
    a.Compression = in_.U16LE();
    a.Depth = in_.U16LE();
    in_.Skip(2 + 4);  // plane count, colour count
    a.Grey = in_.U8() != 0;
    in_.Skip(4 + 4);  // total image size, active layer
    a.LayerCount = in_.U16LE();
    if (in_.Position() > block.End) in_.Truncated();

    in_.CheckSize(a.Width, a.Height);
    if (a.Compression == kJpeg) in_.Unsupported("JPEG compression");
    if (a.Compression > kLz77) in_.Corrupt("unknown compression " + std::to_string(a.Compression));
    if (a.Depth != 1 && a.Depth != 4 && a.Depth != 8 && a.Depth != 24) in_.Unsupported(std::to_string(a.Depth) + "-bit pixels");
    if (a.LayerCount > 1) in_.Unsupported("pictures of more than one layer");
    attributes_ = a;
  }

  void ReadPalette(const Block& block) {
    in_.Seek(block.Start + (major_ >= 4 ? 4 : 0));
    const uint32_t count = in_.U32LE();
    in_.Seek(AfterChunk(block));
    if (count > 256 || !in_.Has(uint64_t(count) * 4) || in_.Position() + count * 4 > block.End)
      in_.Corrupt("the palette does not fit in its block");
    palette_.assign(count, kBlack);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* e = in_.Take(4);  // blue, green, red, unused
      palette_[i] = MakeColor(e[2], e[1], e[0]);
    }
  }

  void ReadLayers(const Block& bank) {
    if (!attributes_) in_.Corrupt("the layers come before the image attributes");
    in_.Seek(bank.Start);
    while (in_.Position() < bank.End) {
      const Block layer = ReadBlockHeader(bank.End);
      if (layer.Id == kLayerBlock) ReadLayer(layer);
      in_.Seek(layer.End);
    }
  }

  void ReadLayer(const Block& layer) {
    if (bitmap_) in_.Unsupported("pictures of more than one layer");
    // The layer's place in the picture and the part of it that holds pixels.
    LayerRect image, saved;
    size_t channels;
    if (major_ < 4) {
      if (layer.InitialLength < 256 + 1 + 32) in_.Corrupt("the layer information is too short");
      in_.Seek(layer.Start + 256 + 1);  // name, type
      image = ReadRect();
      saved = ReadRect();
      channels = layer.Start + layer.InitialLength;
    } else {
      const size_t bitmapChunk = AfterChunk(layer);
      in_.Seek(layer.Start + 4);
      in_.Skip(in_.U16LE() + 1u);  // name, type
      image = ReadRect();
      saved = ReadRect();
      if (in_.Position() > bitmapChunk) in_.Corrupt("the layer information is too short");
      in_.Seek(bitmapChunk);
      const uint32_t chunk = in_.U32LE();
      if (chunk < 4 || chunk > layer.End - bitmapChunk) in_.Corrupt("a chunk is longer than its block");
      channels = bitmapChunk + chunk;
    }
    const int64_t width = int64_t(saved.Right) - saved.Left, height = int64_t(saved.Bottom) - saved.Top;
    const Attributes& a = *attributes_;
    if (width == 0 || height == 0) {  // an empty layer
      bitmap_.emplace(a.Width, a.Height, kWhite);
      return;
    }
    in_.CheckSize(width, height);

    // The channels: one for paletted and grey pictures, red, green and blue for 24 bits.
    const unsigned bits = a.Depth == 24 ? 8 : a.Depth;
    // Each channel has its own row stride: one may be padded and another not.
    std::array<std::vector<uint8_t>, 4> planes;
    std::array<size_t, 4> strides{};
    in_.Seek(channels);
    while (in_.Position() < layer.End) {
      const Block channel = ReadBlockHeader(layer.End);
      if (channel.Id == kChannelBlock) {
        uint16_t bitmapType, channelType;
        size_t rowStride;
        std::vector<uint8_t> data = ReadChannel(channel, width, height, bits, bitmapType, channelType, rowStride);
        if (bitmapType == kImageBitmap && channelType < planes.size()) {
          planes[channelType] = std::move(data);
          strides[channelType] = rowStride;
        }
      }
      in_.Seek(channel.End);
    }

    const int64_t x0 = int64_t(image.Left) + saved.Left, y0 = int64_t(image.Top) + saved.Top;
    if (a.Depth == 24) {
      for (size_t c = 1; c <= 3; ++c)
        if (planes[c].empty()) in_.Corrupt("a colour channel is missing");
    } else if (planes[0].empty()) {
      in_.Corrupt("the layer's pixels are missing");
    }
    bitmap_.emplace(a.Width, a.Height, kWhite);
    // The colours of paletted and greyscale pixels.
    std::vector<Color> colors(size_t(1) << bits, kBlack);
    if (a.Depth != 24) {
      const size_t levels = colors.size();
      for (size_t i = 0; i < levels; ++i) {
        const uint8_t grey = uint8_t(i * 255 / (levels - 1));
        colors[i] = i < palette_.size() ? palette_[i] : (a.Grey || palette_.empty()) ? MakeColor(grey, grey, grey) : kBlack;
      }
    }
    for (int64_t y = 0; y < height; ++y) {
      const int64_t ty = y0 + y;
      if (ty < 0 || ty >= a.Height) continue;
      Color* out = bitmap_->Row(int32_t(ty));
      std::array<size_t, 4> row;
      for (size_t c = 0; c < row.size(); ++c) row[c] = size_t(y) * strides[c];
      for (int64_t x = 0; x < width; ++x) {
        const int64_t tx = x0 + x;
        if (tx < 0 || tx >= a.Width) continue;
        const size_t ux = size_t(x);
        if (a.Depth == 24) {
          out[tx] = MakeColor(planes[1][row[1] + ux], planes[2][row[2] + ux], planes[3][row[3] + ux]);
        } else {
          const size_t bit = ux * bits;
          const unsigned index = (planes[0][row[0] + bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
          out[tx] = colors[index];
        }
      }
    }
  }

  LayerRect ReadRect() {
    LayerRect r;
    r.Left = in_.S32LE();
    r.Top = in_.S32LE();
    r.Right = in_.S32LE();
    r.Bottom = in_.S32LE();
    return r;
  }

  // Unpacks one channel: rows of `bits` per pixel, padded to four bytes or
  // not, as the channel's unpacked length tells.
  std::vector<uint8_t> ReadChannel(const Block& channel, int64_t width, int64_t height, unsigned bits,
                                   uint16_t& bitmapType, uint16_t& channelType, size_t& stride) {
    in_.Seek(channel.Start + (major_ >= 4 ? 4 : 0));
    const uint32_t packedLength = in_.U32LE();
    const uint32_t length = in_.U32LE();
    bitmapType = in_.U16LE();
    channelType = in_.U16LE();
    const size_t start = AfterChunk(channel);
    if (start > channel.End || packedLength > channel.End - start) in_.Corrupt("a channel is longer than its block");

    const uint64_t rowBytes = (uint64_t(width) * bits + 7) / 8;
    const uint64_t padded = (rowBytes + 3) / 4 * 4;
    const uint64_t rows = uint64_t(height);
    const uint64_t size = attributes_->Compression == kNone ? packedLength : length;
    if (size >= rows * padded) stride = size_t(padded);
    else if (size >= rows * rowBytes) stride = size_t(rowBytes);
    else in_.Corrupt("a channel holds too few pixels");
    const size_t needed = size_t(rows * stride);

    in_.Seek(start);
    const uint8_t* packed = in_.Take(packedLength);
    std::vector<uint8_t> out;
    switch (attributes_->Compression) {
      case kNone:
        out.assign(packed, packed + needed);
        break;
      case kRle:
        // Two bytes unpack to at most 127: refuse lengths the data cannot reach.
        if (uint64_t(packedLength) * 64 < length) in_.Corrupt("a channel's lengths disagree");
        out.resize(length);
        UnpackRle(packed, packedLength, out);
        break;
      case kLz77:
        if (uint64_t(packedLength) * 1032 + 64 < length) in_.Corrupt("a channel's lengths disagree");
        out.resize(length);
        Inflate(packed, packedLength, out);
        break;
    }
    return out;
  }

  // A count n above 128 repeats the next byte n - 128 times; otherwise n bytes follow as they are.
  void UnpackRle(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    ByteReader in(data, size, in_.Format());
    size_t done = 0;
    while (done < out.size()) {
      const unsigned n = in.U8();
      const size_t count = n > 128 ? n - 128 : n;
      if (count > out.size() - done) in.Corrupt("a run goes past the end of a channel");
      if (n > 128) std::memset(out.data() + done, in.U8(), count);
      else std::memcpy(out.data() + done, in.Take(count), count);
      done += count;
    }
  }

  void Inflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw Error("The Paint Shop Pro picture cannot be unpacked: out of memory.");
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = uInt(size);
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int result = inflate(&z, Z_FINISH);
    const uLong produced = z.total_out;
    inflateEnd(&z);
    if (result != Z_STREAM_END || produced != out.size()) in_.Corrupt("a channel's compressed data are damaged");
  }

  ByteReader in_;
  unsigned major_ = 0;
  std::optional<Attributes> attributes_;
  std::vector<Color> palette_;
  std::optional<Bitmap> bitmap_;
};

}  // namespace

Bitmap DecodePaintShopPro(const std::vector<uint8_t>& bytes) { return PspReader(bytes).Decode(); }

}  // namespace kyt
