// Encapsulated PostScript, shown by its embedded preview (PostScript itself
// is not rendered): the TIFF or Windows metafile preview of a file with the
// DOS binary header (C5 D0 D3 C6), or the device-independent hex bitmap
// between %%BeginPreview and %%EndPreview (EPSI).
#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/ByteReader.h"
#include "core/Error.h"
#include "window/decoders/Decoders.h"
#include "window/decoders/RareFormats.h"

namespace kyt {
namespace {

constexpr uint8_t kDosMagic[4] = {0xC5, 0xD0, 0xD3, 0xC6};
constexpr size_t kDosHeaderSize = 30;
constexpr std::string_view kBeginPreview = "%%BeginPreview:";
constexpr std::string_view kEndPreview = "%%EndPreview";

[[noreturn]] void NoPreview() { throw Error("The EPS file has no preview picture."); }

struct Section {
  const uint8_t* Data = nullptr;
  size_t Size = 0;
  bool Present() const { return Size > 0; }
  std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(Data, Data + Size); }
};

Section ReadSection(ByteReader& in, const std::vector<uint8_t>& file) {
  const uint32_t offset = in.U32LE();
  const uint32_t length = in.U32LE();
  if (length == 0) return {};
  if (offset > file.size() || length > file.size() - offset) in.Corrupt("a section lies outside the file");
  return {file.data() + offset, length};
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a non-negative whole number after blanks; false when there is none or it is too large.
bool ReadNumber(std::string_view text, size_t& pos, int64_t& value) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  const size_t start = pos;
  value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos++] - '0');
    if (value > INT32_MAX) return false;
  }
  return pos > start;
}

// The EPSI preview: "%%BeginPreview: width height depth lines", then lines of
// hex digits, each led by "%", the top row first, every row starting on a
// byte. 0 is white and the largest value black.
Bitmap DecodeEpsi(std::string_view text) {
  const size_t begin = text.find(kBeginPreview);
  if (begin == std::string_view::npos) NoPreview();
  ByteReader check(reinterpret_cast<const uint8_t*>(text.data()), text.size(), "EPS");
  size_t pos = begin + kBeginPreview.size();
  int64_t width, height, depth, lines;
  if (!ReadNumber(text, pos, width) || !ReadNumber(text, pos, height) || !ReadNumber(text, pos, depth) ||
      !ReadNumber(text, pos, lines))
    check.Corrupt("the preview's dimensions cannot be read");
  check.CheckSize(width, height);
  if (depth != 1 && depth != 2 && depth != 4 && depth != 8) check.Unsupported("previews of " + std::to_string(depth) + " bits");
  const uint64_t rowBytes = (uint64_t(width) * uint64_t(depth) + 7) / 8;
  const uint64_t needed = rowBytes * uint64_t(height);
  // Every byte takes two hex digits: refuse what cannot be in the text before taking memory.
  if (needed > (text.size() - pos) / 2) check.Truncated();

  // Collect the hex digits line by line (the end mark's letters are hex digits too).
  std::vector<uint8_t> data;
  data.reserve(size_t(needed));
  pos = text.find('\n', pos);
  int high = -1;
  while (pos != std::string_view::npos && data.size() < needed) {
    ++pos;
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    if (line.substr(0, kEndPreview.size()) == kEndPreview) break;
    for (size_t i = line.substr(0, 1) == "%" ? 1 : 0; i < line.size() && data.size() < needed; ++i) {
      const int v = HexValue(line[i]);
      if (v < 0) continue;
      if (high < 0) {
        high = v;
      } else {
        data.push_back(uint8_t(high << 4 | v));
        high = -1;
      }
    }
    pos = end < text.size() ? end : std::string_view::npos;
  }
  if (data.size() < needed) check.Truncated();

  const unsigned bits = unsigned(depth), max = (1u << bits) - 1;
  Bitmap bitmap{int32_t(width), int32_t(height)};
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = data.data() + size_t(y) * rowBytes;
    Color* out = bitmap.Row(y);
    for (int32_t x = 0; x < width; ++x) {
      const size_t bit = size_t(x) * bits;
      const unsigned v = (row[bit / 8] >> (8 - bits - bit % 8)) & max;
      const uint8_t level = uint8_t(255 - v * 255 / max);
      out[x] = MakeColor(level, level, level);
    }
  }
  return bitmap;
}

std::string_view AsText(const uint8_t* data, size_t size) { return {reinterpret_cast<const char*>(data), size}; }

}  // namespace

Bitmap DecodeEps(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 4 || std::memcmp(bytes.data(), kDosMagic, 4) != 0) return DecodeEpsi(AsText(bytes.data(), bytes.size()));

  ByteReader in(bytes, "EPS");
  if (!in.Has(kDosHeaderSize)) in.Truncated();
  in.Skip(4);
  const Section postScript = ReadSection(in, bytes);
  const Section metafile = ReadSection(in, bytes);
  const Section tiff = ReadSection(in, bytes);

  if (tiff.Present()) {
    try {
      return DecodeTiff(tiff.Bytes());
    } catch (const Error& e) {
      if (!metafile.Present()) throw Error(std::string("The EPS file's TIFF preview cannot be shown. ") + e.what());
    }
  }
  if (metafile.Present()) {
    Bitmap picture;
    if (!DrawMetafile(metafile.Bytes(), picture))
      throw Error("The EPS file's metafile preview cannot be drawn on this system.");
    if (picture.Empty()) throw Error("The EPS file's metafile preview is empty.");
    return picture;
  }
  if (postScript.Present()) return DecodeEpsi(AsText(postScript.Data, postScript.Size));
  NoPreview();
}

}  // namespace kyt
