// ZSoft Paintbrush (PCX) pictures: monochrome, 4-, 8- and 16-colour planar or
// packed images with the header's palette, 256-colour images with the VGA
// palette at the end of the file (greyscale when it is missing), and 24-bit
// images in three planes (a fourth plane, alpha, is ignored). Run-length
// encoded or raw scan lines.
#include <algorithm>
#include <array>

#include "core/Error.h"
#include "core/ByteReader.h"
#include "window/decoders/RareFormats.h"

namespace kyt {
namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kVgaPaletteSize = 768;

// The standard 16 colours of the EGA, for files that carry no palette of their own.
constexpr std::array<Color, 16> kEgaPalette = {
    MakeColor(0x00, 0x00, 0x00), MakeColor(0x00, 0x00, 0xAA), MakeColor(0x00, 0xAA, 0x00), MakeColor(0x00, 0xAA, 0xAA),
    MakeColor(0xAA, 0x00, 0x00), MakeColor(0xAA, 0x00, 0xAA), MakeColor(0xAA, 0x55, 0x00), MakeColor(0xAA, 0xAA, 0xAA),
    MakeColor(0x55, 0x55, 0x55), MakeColor(0x55, 0x55, 0xFF), MakeColor(0x55, 0xFF, 0x55), MakeColor(0x55, 0xFF, 0xFF),
    MakeColor(0xFF, 0x55, 0x55), MakeColor(0xFF, 0x55, 0xFF), MakeColor(0xFF, 0xFF, 0x55), MakeColor(0xFF, 0xFF, 0xFF),
};

// Unpacks the scan lines one at a time; a run may carry over into the next line.
class LineReader {
 public:
  LineReader(ByteReader& in, bool rle) : in_(in), rle_(rle) {}

  void Read(uint8_t* line, size_t length) {
    size_t done = 0;
    while (done < length) {
      if (runLeft_ > 0) {
        const size_t n = std::min(runLeft_, length - done);
        std::fill(line + done, line + done + n, runValue_);
        done += n;
        runLeft_ -= n;
        continue;
      }
      const uint8_t b = in_.U8();
      if (rle_ && (b & 0xC0) == 0xC0) {
        runLeft_ = b & 0x3F;
        runValue_ = in_.U8();
      } else {
        line[done++] = b;
      }
    }
  }
  // A run still pending after the last line goes past the end of the picture.
  void Finish() const {
    if (runLeft_ > 0) in_.Corrupt("a run goes past the end of the picture");
  }

 private:
  ByteReader& in_;
  bool rle_;
  size_t runLeft_ = 0;
  uint8_t runValue_ = 0;
};

}  // namespace

Bitmap DecodePcx(const std::vector<uint8_t>& bytes) {
  ByteReader header(bytes, "PCX");
  if (header.U8() != 0x0A) header.Corrupt("it does not start with the PCX mark");
  const unsigned version = header.U8();
  const unsigned encoding = header.U8();
  const unsigned bits = header.U8();
  const int32_t xMin = header.U16LE(), yMin = header.U16LE(), xMax = header.U16LE(), yMax = header.U16LE();
  header.Skip(4);  // resolution
  const uint8_t* headerPalette = header.Take(48);
  header.Skip(1);
  const unsigned planes = header.U8();
  const size_t bytesPerLine = header.U16LE();
  header.Seek(kHeaderSize);

  if (encoding > 1) header.Unsupported("encoding " + std::to_string(encoding));
  if (xMax < xMin || yMax < yMin) header.Corrupt("the picture's window is empty");
  const int32_t width = xMax - xMin + 1, height = yMax - yMin + 1;
  header.CheckSize(width, height);
  const bool packed = planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8);
  const bool egaPlanes = bits == 1 && planes >= 2 && planes <= 4;
  const bool rgbPlanes = bits == 8 && (planes == 3 || planes == 4);
  if (!packed && !egaPlanes && !rgbPlanes)
    header.Unsupported(std::to_string(planes) + " planes of " + std::to_string(bits) + " bits");
  if (bytesPerLine * 8 < uint64_t(width) * bits) header.Corrupt("the scan lines are shorter than the picture");

  // The palette: VGA palette at the end for 256 colours, else the header's 16 entries.
  std::array<Color, 256> palette{};
  size_t dataEnd = bytes.size();
  if (packed && bits == 8) {
    const bool hasVga = bytes.size() >= kHeaderSize + 1 + kVgaPaletteSize && bytes[bytes.size() - kVgaPaletteSize - 1] == 0x0C;
    if (hasVga) {
      dataEnd = bytes.size() - kVgaPaletteSize - 1;
      const uint8_t* p = bytes.data() + dataEnd + 1;
      for (size_t i = 0; i < 256; ++i) palette[i] = MakeColor(p[3 * i], p[3 * i + 1], p[3 * i + 2]);
    } else {
      for (unsigned i = 0; i < 256; ++i) palette[i] = MakeColor(uint8_t(i), uint8_t(i), uint8_t(i));
    }
  } else if (bits == 1 && planes == 1) {
    palette[0] = kBlack;
    palette[1] = kWhite;
  } else {
    // Version 3 files carry no palette; an all-zero one is taken as missing too.
    const bool missing = version == 3 || std::all_of(headerPalette, headerPalette + 48, [](uint8_t v) { return v == 0; });
    for (size_t i = 0; i < 16; ++i)
      palette[i] = missing ? kEgaPalette[i]
                           : MakeColor(headerPalette[3 * i], headerPalette[3 * i + 1], headerPalette[3 * i + 2]);
  }

  ByteReader in(bytes.data(), dataEnd, "PCX");
  in.Seek(kHeaderSize);
  const size_t lineBytes = bytesPerLine * planes;
  // Two bytes of a run unpack to at most 63: refuse what cannot be in the file before taking memory.
  const uint64_t total = uint64_t(lineBytes) * uint64_t(height);
  if (encoding == 1 ? in.Remaining() < (total + 62) / 63 * 2 : in.Remaining() < total) in.Truncated();

  Bitmap bitmap(width, height);
  std::vector<uint8_t> line(lineBytes);
  LineReader lines(in, encoding == 1);
  for (int32_t y = 0; y < height; ++y) {
    lines.Read(line.data(), lineBytes);
    Color* out = bitmap.Row(y);
    for (int32_t x = 0; x < width; ++x) {
      const size_t ux = size_t(x);
      if (rgbPlanes) {
        out[x] = MakeColor(line[ux], line[bytesPerLine + ux], line[2 * bytesPerLine + ux]);
      } else if (egaPlanes) {
        unsigned index = 0;
        for (unsigned p = 0; p < planes; ++p) index |= ((line[p * bytesPerLine + ux / 8] >> (7 - ux % 8)) & 1u) << p;
        out[x] = palette[index];
      } else {
        const size_t bit = ux * bits;
        const unsigned index = (line[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        out[x] = palette[index];
      }
    }
  }
  lines.Finish();
  return bitmap;
}

}  // namespace kyt
