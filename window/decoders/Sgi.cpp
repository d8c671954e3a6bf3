// SGI image files (sgi, rgb, rgba, bw): one to four channels of 8 or 16 bits,
// verbatim or run-length encoded rows, stored bottom row first. 16-bit values
// keep their high byte; an alpha channel that is not zero throughout is
// composed over white.
#include "core/Error.h"
#include "core/ByteReader.h"
#include "window/decoders/RareFormats.h"

namespace kyt {
namespace {

constexpr size_t kHeaderSize = 512;
constexpr uint16_t kMagic = 474;

uint8_t Over(uint8_t v, uint8_t a) { return uint8_t((v * a + 255 * (255 - a) + 127) / 255); }

class SgiRows {
 public:
  SgiRows(ByteReader& in, bool rle, unsigned bpc, int32_t width, int32_t height, unsigned planes)
      : in_(in), rle_(rle), bpc_(bpc), width_(width), height_(height), planes_(planes) {}

  // Unpacks row `y` (counted from the bottom) of channel `z` into `out` (width values, high bytes).
  void Read(int32_t y, unsigned z, uint8_t* out) {
    const uint64_t row = uint64_t(z) * uint64_t(height_) + uint64_t(y);
    if (!rle_) {
      in_.Seek(kHeaderSize + row * uint64_t(width_) * bpc_);
      const uint8_t* p = in_.Take(uint64_t(width_) * bpc_);
      for (int32_t x = 0; x < width_; ++x) out[x] = p[size_t(x) * bpc_];
      return;
    }
    const uint64_t tableEntries = uint64_t(height_) * planes_;
    in_.Seek(kHeaderSize + row * 4);
    const uint32_t start = in_.U32BE();
    in_.Seek(kHeaderSize + (tableEntries + row) * 4);
    const uint32_t length = in_.U32BE();
    if (uint64_t(start) + length > in_.Size()) in_.Truncated();
    ByteReader data(in_.Data() + start, length, in_.Format());
    int32_t x = 0;
    for (;;) {
      const unsigned code = Value(data);
      const int32_t count = int32_t(code & 0x7F);
      if (count == 0) break;
      if (count > width_ - x) data.Corrupt("a run goes past the end of a row");
      if (code & 0x80) {
        for (int32_t i = 0; i < count; ++i) out[x++] = uint8_t(Value(data) >> (8 * (bpc_ - 1)));
      } else {
        const uint8_t v = uint8_t(Value(data) >> (8 * (bpc_ - 1)));
        for (int32_t i = 0; i < count; ++i) out[x++] = v;
      }
    }
    if (x != width_) in_.Corrupt("a row is shorter than the picture");
  }

 private:
  unsigned Value(ByteReader& data) const { return bpc_ == 1 ? data.U8() : data.U16BE(); }

  ByteReader& in_;
  bool rle_;
  unsigned bpc_;
  int32_t width_, height_;
  unsigned planes_;
};

}  // namespace

Bitmap DecodeSgi(const std::vector<uint8_t>& bytes) {
  ByteReader in(bytes, "SGI");
  if (in.U16BE() != kMagic) in.Corrupt("it does not start with the SGI mark");
  const unsigned storage = in.U8();
  const unsigned bpc = in.U8();
  const unsigned dimension = in.U16BE();
  const int32_t width = in.U16BE();
  int32_t height = in.U16BE();
  unsigned planes = in.U16BE();
  in.Seek(104);
  const uint32_t colormap = in.U32BE();
  if (in.Size() < kHeaderSize) in.Truncated();

  if (storage > 1) in.Corrupt("unknown storage " + std::to_string(storage));
  if (bpc != 1 && bpc != 2) in.Unsupported(std::to_string(bpc) + " bytes per channel");
  if (dimension < 1 || dimension > 3) in.Corrupt("dimension " + std::to_string(dimension));
  if (colormap != 0) in.Unsupported("colour map kind " + std::to_string(colormap));
  if (dimension == 1) height = 1;
  if (dimension < 3) planes = 1;
  if (planes == 0) in.Corrupt("the picture has no channels");
  in.CheckSize(width, height);

  // The channels used: grey, grey and alpha, RGB or RGBA; further ones are ignored.
  const unsigned used = planes > 4 ? 3 : planes;
  const bool rle = storage == 1;
  // Refuse what cannot be in the file before taking memory: the whole of the
  // used planes when verbatim, the two offset tables when encoded.
  const uint64_t needed = rle ? uint64_t(height) * planes * 8 : uint64_t(height) * used * uint64_t(width) * bpc;
  if (in.Size() - kHeaderSize < needed) in.Truncated();

  SgiRows rows(in, rle, bpc, width, height, planes);
  std::vector<uint8_t> channel[4];
  for (unsigned z = 0; z < used; ++z) channel[z].resize(size_t(width));
  const bool hasAlpha = used == 2 || used == 4;
  std::vector<uint8_t> alpha;  // all rows of alpha, to find out whether any is not zero
  Bitmap bitmap(width, height);
  bool anyAlpha = false;
  for (int32_t y = 0; y < height; ++y) {
    for (unsigned z = 0; z < used; ++z) rows.Read(y, z, channel[z].data());
    Color* out = bitmap.Row(height - 1 - y);
    for (int32_t x = 0; x < width; ++x) {
      const size_t ux = size_t(x);
      out[x] = used >= 3 ? MakeColor(channel[0][ux], channel[1][ux], channel[2][ux])
                         : MakeColor(channel[0][ux], channel[0][ux], channel[0][ux]);
    }
    if (hasAlpha) {
      const std::vector<uint8_t>& a = channel[used - 1];
      alpha.insert(alpha.end(), a.begin(), a.end());
      for (uint8_t v : a) anyAlpha = anyAlpha || v != 0;
    }
  }
  if (anyAlpha) {
    for (int32_t y = 0; y < height; ++y) {
      Color* out = bitmap.Row(height - 1 - y);
      const uint8_t* a = alpha.data() + size_t(y) * size_t(width);
      for (int32_t x = 0; x < width; ++x)
        out[x] = MakeColor(Over(RedOf(out[x]), a[x]), Over(GreenOf(out[x]), a[x]), Over(BlueOf(out[x]), a[x]));
    }
  }
  return bitmap;
}

}  // namespace kyt
