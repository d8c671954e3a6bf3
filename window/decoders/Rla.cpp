// Alias/Wavefront RLA and RPF pictures: a 740-byte header, a table of scan
// line offsets (bottom line first), and in each scan line one run-length
// encoded record per channel. The colour channels are read (one channel is
// grey, three and more are red, green and blue); matte and auxiliary channels
// are skipped. 16-bit channels are stored as two byte planes, high bytes
// first, of which the high one is used.
#include "core/Error.h"
#include "core/ByteReader.h"
#include "window/decoders/RareFormats.h"

namespace kyt {
namespace {

constexpr size_t kHeaderSize = 740;
constexpr size_t kChannelBitsAt = 658;

// One channel record of a scan line: a count c of 0..127 repeats the next
// byte c + 1 times, a negative count is followed by -c bytes as they are.
void UnpackChannel(ByteReader& in, uint8_t* out, size_t length) {
  size_t done = 0;
  while (done < length) {
    const int c = in.S8();
    if (c >= 0) {
      const size_t count = size_t(c) + 1;
      if (count > length - done) in.Corrupt("a run goes past the end of a scan line");
      const uint8_t v = in.U8();
      for (size_t i = 0; i < count; ++i) out[done++] = v;
    } else {
      const size_t count = size_t(-c);
      if (count > length - done) in.Corrupt("a run goes past the end of a scan line");
      const uint8_t* p = in.Take(count);
      for (size_t i = 0; i < count; ++i) out[done++] = p[i];
    }
  }
}

}  // namespace

Bitmap DecodeRla(const std::vector<uint8_t>& bytes) {
  ByteReader in(bytes, "RLA");
  if (in.Size() < kHeaderSize) in.Truncated();
  in.Seek(8);  // the active window: left, right, bottom, top
  const int32_t left = in.S16BE(), right = in.S16BE(), bottom = in.S16BE(), top = in.S16BE();
  in.Skip(4);  // frame, storage type
  const int32_t channels = in.S16BE();
  in.Seek(kChannelBitsAt);
  int32_t channelBits = in.S16BE();
  if (channelBits == 0) channelBits = 8;  // early files leave it out

  const int64_t width = int64_t(right) - left + 1, height = int64_t(top) - bottom + 1;
  in.CheckSize(width, height);
  if (channels < 1) in.Corrupt("the picture has no colour channels");
  if (channelBits != 8 && channelBits != 16) in.Unsupported(std::to_string(channelBits) + "-bit channels");
  const size_t channelBytes = size_t(channelBits) / 8;
  const int32_t used = channels >= 3 ? 3 : 1;

  // The offset table must be whole before any memory is taken.
  in.Seek(kHeaderSize);
  if (!in.Has(uint64_t(height) * 4)) in.Truncated();

  const size_t lineLength = size_t(width) * channelBytes;
  std::vector<uint8_t> channel[3];
  for (int32_t c = 0; c < used; ++c) channel[c].resize(lineLength);
  Bitmap bitmap{int32_t(width), int32_t(height)};
  for (int64_t line = 0; line < height; ++line) {
    in.Seek(kHeaderSize + uint64_t(line) * 4);
    in.Seek(in.U32BE());
    for (int32_t c = 0; c < used; ++c) {
      const uint16_t length = in.U16BE();
      ByteReader record(in.Take(length), length, in.Format());
      UnpackChannel(record, channel[c].data(), lineLength);
    }
    Color* out = bitmap.Row(int32_t(height - 1 - line));
    for (int64_t x = 0; x < width; ++x) {
      const size_t ux = size_t(x);  // the high-byte plane comes first
      out[x] = used == 3 ? MakeColor(channel[0][ux], channel[1][ux], channel[2][ux])
                         : MakeColor(channel[0][ux], channel[0][ux], channel[0][ux]);
    }
  }
  return bitmap;
}

}  // namespace kyt
