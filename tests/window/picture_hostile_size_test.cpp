// Small files that claim huge pictures: the decoders refuse them from the data
// they hold, before taking memory for the claimed size. Each case runs in a
// child process whose address space is limited to a little more than it
// already uses, so taking hundreds of megabytes shows as std::bad_alloc.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "picture_support.h"
#include "window/PictureLoader.h"
#include "window/decoders/Decoders.h"

namespace kyt {
namespace {

constexpr int kRefused = 0;
constexpr int kOutOfMemory = 1;
constexpr int kAccepted = 2;
constexpr uint64_t kHeadroom = uint64_t(384) << 20;

// Decodes in the (forked) current process under the address-space limit and
// exits with what happened.
[[noreturn]] void DecodeUnderLimit(const std::vector<uint8_t>& bytes, const char* extension) {
  unsigned long pages = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  const rlim_t limit = rlim_t(pages) * 4096 + kHeadroom;
  rlimit r{limit, limit};
  setrlimit(RLIMIT_AS, &r);
  int outcome = kAccepted;
  try {
    DecodePicture(bytes, extension);
  } catch (const std::bad_alloc&) {
    outcome = kOutOfMemory;
  } catch (const Error&) {
    outcome = kRefused;
  }
  std::_Exit(outcome);
}

void Put32BE(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

void PngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  Put32BE(out, uint32_t(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  Put32BE(out, uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

// A PNG whose header claims width x height (8-bit RGB or 1-bit grey) and whose
// image data is `rows` compressed rows of zeros.
std::vector<uint8_t> ClaimingPng(uint32_t width, uint32_t height, bool oneBitGrey, uint32_t rows) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  Put32BE(header, width);
  Put32BE(header, height);
  header.insert(header.end(), {uint8_t(oneBitGrey ? 1 : 8), uint8_t(oneBitGrey ? 0 : 2), 0, 0, 0});
  PngChunk(out, "IHDR", header);
  const size_t rowBytes = 1 + (oneBitGrey ? (size_t(width) + 7) / 8 : size_t(width) * 3);
  std::vector<uint8_t> raw(rowBytes * rows, 0);
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(size);
  compress2(packed.data(), &size, raw.data(), uLong(raw.size()), 9);
  packed.resize(size);
  PngChunk(out, "IDAT", packed);
  PngChunk(out, "IEND", {});
  return out;
}

void JpegSegment(std::vector<uint8_t>& out, uint8_t marker, const std::vector<uint8_t>& data) {
  out.insert(out.end(), {0xFF, marker, uint8_t((data.size() + 2) >> 8), uint8_t(data.size() + 2)});
  out.insert(out.end(), data.begin(), data.end());
}

// A grey JPEG (baseline or progressive) whose frame claims width x height and
// whose only scan ends after four bytes of entropy data.
std::vector<uint8_t> ClaimingJpeg(uint16_t width, uint16_t height, bool progressive) {
  std::vector<uint8_t> out = {0xFF, 0xD8};
  std::vector<uint8_t> table(65, 1);
  table[0] = 0;
  JpegSegment(out, 0xDB, table);
  for (uint8_t cls : {uint8_t(0x00), uint8_t(0x10)}) {
    std::vector<uint8_t> huffman(18, 0);
    huffman[0] = cls;
    huffman[1] = 1;  // one code of one bit, for symbol 0
    JpegSegment(out, 0xC4, huffman);
  }
  JpegSegment(out, progressive ? 0xC2 : 0xC0,
              {8, uint8_t(height >> 8), uint8_t(height), uint8_t(width >> 8), uint8_t(width), 1, 1, 0x11, 0});
  JpegSegment(out, 0xDA, {1, 1, 0, 0, uint8_t(progressive ? 0 : 63), 0});
  out.insert(out.end(), {0, 0, 0, 0, 0xFF, 0xD9});
  return out;
}

// A little-endian, uncompressed 8-bit grey TIFF claiming width x height in one
// strip whose stated length is the full picture but whose data is 64 bytes.
std::vector<uint8_t> ClaimingTiff(uint32_t width, uint32_t height) {
  pictest::ByteWriter b;
  b.Text("II").U16(42).U32(8);
  const uint32_t entries[][4] = {{256, 4, 1, width}, {257, 4, 1, height}, {258, 3, 1, 8},
                                 {259, 3, 1, 1},     {262, 3, 1, 1},      {273, 4, 1, 200},
                                 {277, 3, 1, 1},     {278, 4, 1, height}, {279, 4, 1, width * height}};
  b.U16(uint16_t(std::size(entries)));
  for (const auto& e : entries) b.U16(e[0]).U16(e[1]).U32(e[2]).U32(e[3]);
  b.U32(0);
  b.data.resize(200 + 64, 0);
  return b.data;
}

TEST(HostilePictureSizes, PngClaimingMoreThanItsDataCanHoldIsRefusedUpFront) {
  EXPECT_EXIT(DecodeUnderLimit(ClaimingPng(16384, 16384, false, 1), "png"), testing::ExitedWithCode(kRefused), "");
  EXPECT_EXIT(DecodeUnderLimit(ClaimingPng(16384, 16384, true, 1), "png"), testing::ExitedWithCode(kRefused), "");
  // A real, highly compressible picture of a good size still loads, and a
  // small one with all its rows decodes exactly.
  EXPECT_EXIT(DecodeUnderLimit(ClaimingPng(4000, 4000, false, 4000), "png"), testing::ExitedWithCode(kAccepted), "");
  const Bitmap white = DecodePng(ClaimingPng(37, 5, true, 5));
  EXPECT_EQ(white.Width(), 37);
  EXPECT_EQ(white.Height(), 5);
  EXPECT_EQ(white.Pixel(36, 4), kBlack);
}

TEST(HostilePictureSizes, JpegWhoseDataStopsEarlyIsRefusedBeforeThePictureIsTaken) {
  EXPECT_EXIT(DecodeUnderLimit(ClaimingJpeg(16384, 16384, false), "jpg"), testing::ExitedWithCode(kRefused), "");
  EXPECT_EXIT(DecodeUnderLimit(ClaimingJpeg(4000, 4000, false), "jpg"), testing::ExitedWithCode(kRefused), "");
  EXPECT_EXIT(DecodeUnderLimit(ClaimingJpeg(4000, 4000, true), "jpg"), testing::ExitedWithCode(kRefused), "");
  // A complete file of a good size loads.
  EXPECT_EXIT(DecodeUnderLimit(pictest::MakeJpeg(Bitmap(3000, 3000)), "jpg"), testing::ExitedWithCode(kAccepted),
              "");
}

TEST(HostilePictureSizes, TiffStripBeyondTheFileIsRefusedUpFront) {
  EXPECT_EXIT(DecodeUnderLimit(ClaimingTiff(16384, 16384), "tif"), testing::ExitedWithCode(kRefused), "");
}

}  // namespace
}  // namespace kyt
