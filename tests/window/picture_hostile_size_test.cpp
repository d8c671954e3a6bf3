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
// exits with what happened; a refusal's text goes to the standard error.
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
  } catch (const Error& e) {
    std::fputs(e.what(), stderr);
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

// libpng takes a chunk's claimed length in memory before reading it: a text
// chunk claiming 256 MB in a file of a hundred bytes is refused by the chunk
// walk, before libpng is asked (whose own refusal would come after taking it).
TEST(HostilePictureSizes, PngChunkClaimingMoreThanTheFileIsRefusedBeforeLibpngTakesIt) {
  const std::vector<uint8_t> good = ClaimingPng(5, 3, false, 3);
  std::vector<uint8_t> hostile(good.begin(), good.begin() + 33);  // signature and header chunk
  Put32BE(hostile, 0x10000000u);
  hostile.insert(hostile.end(), {'t', 'E', 'X', 't', 'k', 'e', 'y', 0, 'v'});
  hostile.insert(hostile.end(), good.begin() + 33, good.end());
  EXPECT_EXIT(DecodeUnderLimit(hostile, "png"), testing::ExitedWithCode(kRefused), "^The PNG picture is truncated\\.$");
  // Bytes after the end chunk are no chunk and change nothing.
  std::vector<uint8_t> trailing = good;
  trailing.insert(trailing.end(), {0xFF, 0xFF, 0xFF, 0xFF, 'j', 'u', 'n', 'k', 1, 2, 3});
  EXPECT_EQ(DecodePng(trailing).Width(), 5);
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

// What the memory budget says when a file claims more than it can hold.
constexpr const char* kClaimsTooMuch = "claims more pixels \\([0-9]+ x [0-9]+\\) than its [0-9]+ bytes can hold";

// A little-endian one-strip TIFF claiming width x height whose strip holds
// `dataLength` bytes of `fill`, compressed with `compression`.
std::vector<uint8_t> ClaimingCompressedTiff(uint32_t width, uint32_t height, uint16_t compression,
                                            uint16_t bitsPerSample, uint32_t dataLength, uint8_t fill) {
  pictest::ByteWriter b;
  b.Text("II").U16(42).U32(8);
  const uint32_t entries[][4] = {{256, 4, 1, width}, {257, 4, 1, height},       {258, 3, 1, bitsPerSample},
                                 {259, 3, 1, compression}, {262, 3, 1, 1},      {273, 4, 1, 0},
                                 {277, 3, 1, 1},     {278, 4, 1, height},      {279, 4, 1, dataLength}};
  b.U16(uint16_t(std::size(entries)));
  const size_t dataOffsetAt = b.Size() + 5 * 12 + 8;
  for (const auto& e : entries) b.U16(e[0]).U16(e[1]).U32(e[2]).U32(e[3]);
  b.U32(0);
  b.Put32(dataOffsetAt, uint32_t(b.Size()));
  b.data.insert(b.data.end(), dataLength, fill);
  return b.data;
}

// An EPS file with the DOS header whose only preview is `tiff`.
std::vector<uint8_t> EpsWithTiffPreview(const std::vector<uint8_t>& tiff) {
  pictest::ByteWriter b;
  b.Bytes({0xC5, 0xD0, 0xD3, 0xC6}).U32(0).U32(0).U32(0).U32(0).U32(30).U32(uint32_t(tiff.size())).U16(0xFFFF);
  b.Bytes(tiff);
  return b.data;
}

TEST(HostilePictureSizes, CompressedTiffClaimingHugeSizesIsRefusedByTheBudget) {
  // CCITT G4 (whose rows may cost a bit each), LZW and PackBits: 130 to 200
  // bytes claiming 16384 x 16384 pixels took the raster (and more) first.
  const auto g4 = ClaimingCompressedTiff(16384, 16384, 4, 1, 24, 0x00);
  EXPECT_LT(g4.size(), 200u);
  EXPECT_EXIT(DecodeUnderLimit(g4, "tif"), testing::ExitedWithCode(kRefused), kClaimsTooMuch);
  const auto lzw = ClaimingCompressedTiff(16384, 16384, 5, 8, 24, 0x80);
  EXPECT_EXIT(DecodeUnderLimit(lzw, "tif"), testing::ExitedWithCode(kRefused), kClaimsTooMuch);
  const auto packBits = ClaimingCompressedTiff(16384, 16384, 32773, 8, 24, 0x81);
  EXPECT_EXIT(DecodeUnderLimit(packBits, "tif"), testing::ExitedWithCode(kRefused), kClaimsTooMuch);
  // A picture that PackBits and LZW could just about hold, but whose data is
  // still far too short for its rows at the codec's largest expansion.
  EXPECT_EXIT(DecodeUnderLimit(ClaimingCompressedTiff(1000, 1000, 32773, 8, 2000, 0x81), "tif"),
              testing::ExitedWithCode(kRefused), kClaimsTooMuch);
  EXPECT_EXIT(DecodeUnderLimit(ClaimingCompressedTiff(3000, 3000, 5, 8, 1500, 0x80), "tif"),
              testing::ExitedWithCode(kRefused), kClaimsTooMuch);
  // The same TIFF as the preview of an EPS file.
  EXPECT_EXIT(DecodeUnderLimit(EpsWithTiffPreview(lzw), "eps"), testing::ExitedWithCode(kRefused), kClaimsTooMuch);
}

// A little-endian, uncompressed 8-bit grey TIFF of `strips` strips of one
// row each, all of which name the same stored row of `width` bytes 0, 1, 2, ...
std::vector<uint8_t> TiffStripsSharingOneRow(uint32_t width, uint32_t strips) {
  pictest::ByteWriter b;
  b.Text("II").U16(42).U32(8);
  const uint32_t offsetsAt = 8 + 2 + 9 * 12 + 4, countsAt = offsetsAt + 4 * strips, rowAt = countsAt + 4 * strips;
  const uint32_t entries[][4] = {{256, 4, 1, width},        {257, 4, 1, strips}, {258, 3, 1, 8},
                                 {259, 3, 1, 1},            {262, 3, 1, 1},      {273, 4, strips, offsetsAt},
                                 {277, 3, 1, 1},            {278, 4, 1, 1},      {279, 4, strips, countsAt}};
  b.U16(uint16_t(std::size(entries)));
  for (const auto& e : entries) b.U16(e[0]).U16(e[1]).U32(e[2]).U32(e[3]);
  b.U32(0);
  for (uint32_t i = 0; i < strips; ++i) b.U32(rowAt);
  for (uint32_t i = 0; i < strips; ++i) b.U32(width);
  for (uint32_t x = 0; x < width; ++x) b.U8(x & 0xFF);
  return b.data;
}

// Strips may legally share their bytes, but shared bytes count once: 8192
// strips naming one 4096-byte row (70 KB) claimed 33 million pixels from the
// sum of their lengths and decoded to them.
TEST(HostilePictureSizes, TiffStripsSharingTheirBytesCountTheFileOnce) {
  const auto hostile = TiffStripsSharingOneRow(4096, 8192);
  EXPECT_LT(hostile.size(), 72000u);
  EXPECT_EXIT(DecodeUnderLimit(hostile, "tif"), testing::ExitedWithCode(kRefused), kClaimsTooMuch);
  // A picture of that layout in proportion to its file decodes, every row the shared one.
  const Bitmap shared = DecodePicture(TiffStripsSharingOneRow(64, 32), "tif");
  ASSERT_EQ(shared.Width(), 64);
  ASSERT_EQ(shared.Height(), 32);
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(shared.Pixel(x, y), MakeColor(uint8_t(x), uint8_t(x), uint8_t(x)));
}

// A bottom-up RLE8 bitmap claiming width x height with one palette entry and `pixels` as its data.
std::vector<uint8_t> ClaimingRleBmp(int32_t width, int32_t height, const std::vector<uint8_t>& pixels) {
  pictest::ByteWriter dib;
  dib.U32(40).I32(width).I32(height).U16(1).U16(8).U32(1).U32(uint32_t(pixels.size())).U32(0).U32(0).U32(1).U32(0);
  dib.U8(0xFF).U8(0xFF).U8(0xFF).U8(0);
  pictest::ByteWriter file;
  file.Text("BM").U32(uint32_t(14 + dib.Size() + pixels.size())).U32(0).U32(uint32_t(14 + dib.Size()));
  file.Bytes(dib.data).Bytes(pixels);
  return file.data;
}

TEST(HostilePictureSizes, RleBitmapClaimingHugeSizesIsRefusedByTheBudget) {
  // 60 bytes: the end-of-bitmap mark at once, which leaves every pixel in colour 0.
  const auto ended = ClaimingRleBmp(16384, 16384, {0, 1});
  EXPECT_EQ(ended.size(), 60u);
  EXPECT_EXIT(DecodeUnderLimit(ended, "rle"), testing::ExitedWithCode(kRefused), kClaimsTooMuch);
  // Data that stops inside the picture was found truncated only after the picture was taken.
  std::vector<uint8_t> runs;
  for (int i = 0; i < 10; ++i) runs.insert(runs.end(), {255, 0});
  EXPECT_EXIT(DecodeUnderLimit(ClaimingRleBmp(9000, 10000, runs), "bmp"), testing::ExitedWithCode(kRefused),
              kClaimsTooMuch);
  // A small RLE picture whose rows all end early still decodes.
  std::vector<uint8_t> rows;
  for (int y = 0; y < 300; ++y) rows.insert(rows.end(), {2, 0, 0, 0});
  const Bitmap decoded = DecodeBmp(ClaimingRleBmp(400, 300, rows));
  EXPECT_EQ(decoded.Width(), 400);
  EXPECT_EQ(decoded.Height(), 300);
}

TEST(HostilePictureSizes, OneBitPngThatItsDeflateDataCouldHoldIsStillBoundByTheBudget) {
  // About 33 KB of deflated zeros are enough for 16384 rows of 16384 one-bit
  // pixels, which were then taken at 7 bytes a pixel.
  const auto png = ClaimingPng(16384, 16384, true, 16384);
  EXPECT_LT(png.size(), 40000u);
  EXPECT_EXIT(DecodeUnderLimit(png, "png"), testing::ExitedWithCode(kRefused), kClaimsTooMuch);
  // A one-bit page of a good size in a few kilobytes still loads.
  const Bitmap page = DecodePng(ClaimingPng(2480, 3508, true, 3508));
  EXPECT_EQ(page.Width(), 2480);
  EXPECT_EQ(page.Pixel(2479, 3507), kBlack);
}

// An RLE SGI picture of one 8-bit channel whose rows all point at one record of white runs.
std::vector<uint8_t> SgiSharingOneRow(uint16_t width, uint16_t height) {
  std::vector<uint8_t> b(512, 0);
  b[0] = 0x01, b[1] = 0xDA, b[2] = 1, b[3] = 1;  // magic 474, RLE, one byte per channel
  b[4] = 0, b[5] = 2;                           // two dimensions
  b[6] = uint8_t(width >> 8), b[7] = uint8_t(width), b[8] = uint8_t(height >> 8), b[9] = uint8_t(height);
  b[10] = 0, b[11] = 1;
  std::vector<uint8_t> record;
  for (unsigned left = width; left > 0;) {
    const unsigned n = left < 127 ? left : 127;
    record.insert(record.end(), {uint8_t(n), 0xFF});
    left -= n;
  }
  record.push_back(0);
  const uint32_t at = uint32_t(512 + 8 * uint32_t(height));
  for (int table = 0; table < 2; ++table)
    for (unsigned y = 0; y < height; ++y) Put32BE(b, table == 0 ? at : uint32_t(record.size()));
  b.insert(b.end(), record.begin(), record.end());
  return b;
}

// An 8-bit grey RLA picture whose scan lines all point at one record.
std::vector<uint8_t> RlaSharingOneLine(int16_t width, int16_t height) {
  std::vector<uint8_t> b(740, 0);
  auto put16 = [&](size_t at, int v) {
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
  };
  put16(8, 0), put16(10, width - 1), put16(12, 0), put16(14, height - 1);  // active window
  put16(20, 1);                                                            // one channel
  put16(658, 8);
  std::vector<uint8_t> record;
  for (int left = width; left > 0; left -= 128) record.insert(record.end(), {uint8_t((left < 128 ? left : 128) - 1), 0x7F});
  const uint32_t at = uint32_t(740 + 4 * height);
  for (int y = 0; y < height; ++y) Put32BE(b, at);
  b.push_back(uint8_t(record.size() >> 8));
  b.push_back(uint8_t(record.size()));
  b.insert(b.end(), record.begin(), record.end());
  return b;
}

TEST(HostilePictureSizes, RowsSharingOneRecordAreBoundByTheBudget) {
  EXPECT_EXIT(DecodeUnderLimit(SgiSharingOneRow(16384, 16384), "sgi"), testing::ExitedWithCode(kRefused),
              kClaimsTooMuch);
  EXPECT_EXIT(DecodeUnderLimit(RlaSharingOneLine(16384, 16384), "rla"), testing::ExitedWithCode(kRefused),
              kClaimsTooMuch);
  // Sharing is legal: a picture in proportion to its file decodes.
  const Bitmap sgi = DecodePicture(SgiSharingOneRow(1000, 800), "sgi");
  EXPECT_EQ(sgi.Height(), 800);
  EXPECT_EQ(sgi.Pixel(999, 799), kWhite);
  const Bitmap rla = DecodePicture(RlaSharingOneLine(1000, 800), "rla");
  EXPECT_EQ(rla.Width(), 1000);
  EXPECT_EQ(rla.Pixel(0, 0), MakeColor(0x7F, 0x7F, 0x7F));
}

}  // namespace
}  // namespace kyt
