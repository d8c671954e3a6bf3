// Damaged picture files: every decoder, given every truncation of a valid
// file and random byte changes, returns a picture or raises kyt::Error and
// never touches memory outside its data (checked under the sanitizers).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picture_support.h"
#include "window/PictureLoader.h"
#include "window/decoders/Decoders.h"

#if defined(KYT_HAVE_TIFF)
#include <tiffio.h>
#endif

namespace kyt {
namespace {

using pictest::AcceptedTruncations;
using pictest::ByteWriter;
using pictest::SurviveByteFlips;

std::vector<uint8_t> Rle8Bmp() {
  ByteWriter w;
  const std::vector<uint8_t> pixels = {4, 1, 0, 3, 2, 3, 2, 0, 0, 0, 2, 3, 0, 2, 1, 1, 3, 2, 0, 0, 0, 1};
  w.Text("BM").U32(uint32_t(14 + 40 + 16 + pixels.size())).U32(0).U32(14 + 40 + 16);
  w.U32(40).I32(7).I32(3).U16(1).U16(8).U32(1).U32(uint32_t(pixels.size())).U32(0).U32(0).U32(4).U32(0);
  w.Bytes({0, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0, 255, 255, 255, 0}).Bytes(pixels);
  return w.data;
}

std::vector<uint8_t> Rle4Bmp() {
  ByteWriter w;
  const std::vector<uint8_t> pixels = {5, 0x12, 0, 0, 0, 5, 0x31, 0x20, 0x30, 0x00, 0, 0, 0, 1};
  w.Text("BM").U32(uint32_t(14 + 40 + 16 + pixels.size())).U32(0).U32(14 + 40 + 16);
  w.U32(40).I32(5).I32(2).U16(1).U16(4).U32(2).U32(uint32_t(pixels.size())).U32(0).U32(0).U32(4).U32(0);
  w.Bytes({0, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0, 255, 255, 255, 0}).Bytes(pixels);
  return w.data;
}

std::vector<uint8_t> Palette4Bmp() {
  ByteWriter w;
  w.Text("BM").U32(14 + 40 + 64 + 8).U32(0).U32(14 + 40 + 64);
  w.U32(40).I32(5).I32(2).U16(1).U16(4).U32(0).U32(8).U32(0).U32(0).U32(0).U32(0);
  for (int i = 0; i < 16; ++i) w.U8(uint32_t(i * 16)).U8(uint32_t(255 - i * 16)).U8(uint32_t(i * 7)).U8(0);
  w.Bytes({0x01, 0x23, 0x40, 0, 0xFE, 0xDC, 0xB0, 0});
  return w.data;
}

std::vector<uint8_t> Bitfields16Bmp() {
  ByteWriter w;
  w.Text("BM").U32(14 + 40 + 12 + 8).U32(0).U32(14 + 40 + 12);
  w.U32(40).I32(3).I32(-1).U16(1).U16(16).U32(3).U32(8).U32(0).U32(0).U32(0).U32(0);
  w.U32(0xF800).U32(0x07E0).U32(0x001F).Bytes({0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0});
  return w.data;
}

std::vector<uint8_t> IcoWithMask() {
  ByteWriter dib;
  dib.U32(40).I32(3).I32(4).U16(1).U16(24).U32(0).U32(0).U32(0).U32(0).U32(0).U32(0);
  dib.Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 0});
  dib.Bytes({0xA0, 0, 0, 0, 0x40, 0, 0, 0});
  ByteWriter file;
  file.U16(0).U16(1).U16(1).U8(3).U8(2).U8(0).U8(0).U16(1).U16(24).U32(uint32_t(dib.Size())).U32(22);
  file.Bytes(dib.data);
  return file.data;
}

std::vector<uint8_t> IcoWithPng() {
  const std::vector<uint8_t> png = EncodePng(pictest::MakeTestPicture(5, 3));
  ByteWriter file;
  file.U16(0).U16(1).U16(1).U8(5).U8(3).U8(0).U8(0).U16(1).U16(32).U32(uint32_t(png.size())).U32(22);
  file.Bytes(png);
  return file.data;
}

std::vector<uint8_t> Text(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// A string literal with every byte, zeros included.
template <size_t N>
std::vector<uint8_t> Literal(const char (&text)[N]) {
  return std::vector<uint8_t>(text, text + N - 1);
}

std::vector<uint8_t> Raw16Ppm() {
  std::string p = "P6 3 2 65535\n";
  for (int i = 0; i < 3 * 2 * 3; ++i) {
    p += char(i * 13);
    p += char(i * 7);
  }
  return Text(p);
}

// Cuts that end inside the pixel data must be refused; for these formats the
// only bytes that may go missing without harm are the last row's padding or an
// end marker after the last row.
void ExpectTruncationsRefused(const char* name, const pictest::Decoder& decode, const std::vector<uint8_t>& file,
                              size_t harmlessTail) {
  SCOPED_TRACE(name);
  ASSERT_FALSE(pictest::ErrorOf(decode, file)) << "the complete file must decode";
  size_t firstAccepted = 0;
  const size_t accepted = AcceptedTruncations(decode, file, 1, &firstAccepted);
  EXPECT_LE(accepted, harmlessTail);
  if (accepted > 0) {
    EXPECT_GE(firstAccepted, file.size() - harmlessTail);
  }
}

TEST(DamagedPictures, BitmapsIconsAndPortableMaps) {
  ExpectTruncationsRefused("bmp24", DecodeBmp, pictest::MakeBmp24(pictest::MakeTestPicture(5, 3)), 1);
  ExpectTruncationsRefused("bmp rle8", DecodeBmp, Rle8Bmp(), 2);
  ExpectTruncationsRefused("bmp rle4", DecodeBmp, Rle4Bmp(), 2);
  ExpectTruncationsRefused("bmp 4-bit", DecodeBmp, Palette4Bmp(), 1);
  ExpectTruncationsRefused("bmp 16-bit masks", DecodeBmp, Bitfields16Bmp(), 2);
  ExpectTruncationsRefused("ico", DecodeIco, IcoWithMask(), 0);
  ExpectTruncationsRefused("ico png", DecodeIco, IcoWithPng(), 0);
  ExpectTruncationsRefused("pbm plain", DecodePnm, Literal("P1 4 2\n1 0 1 1\n0 1 0 0"), 0);
  ExpectTruncationsRefused("pgm plain", DecodePnm, Literal("P2 2 2 300\n0 299 150 7"), 0);
  ExpectTruncationsRefused("ppm plain", DecodePnm, Literal("P3 2 1 255\n1 2 3 4 5 6"), 0);
  ExpectTruncationsRefused("pbm raw", DecodePnm, Literal("P4 9 2\n\xFF\x80\x01\x00"), 0);
  ExpectTruncationsRefused("pgm raw", DecodePnm, Literal("P5 3 1 200\n\x01\x02\x03"), 0);
  ExpectTruncationsRefused("ppm raw 16", DecodePnm, Raw16Ppm(), 0);

  for (const auto& file : {pictest::MakeBmp24(pictest::MakeTestPicture(5, 3)), Palette4Bmp(), Bitfields16Bmp()})
    SurviveByteFlips(DecodeBmp, file, 3000);
  // Compressed data may rightly describe a picture far larger than itself; the
  // width and height (bytes 18 to 25) stay, so that the sweep stays quick.
  for (const auto& file : {Rle8Bmp(), Rle4Bmp()}) SurviveByteFlips(DecodeBmp, file, 3000, 18, 26);
  SurviveByteFlips(DecodeIco, IcoWithMask(), 3000);
  SurviveByteFlips(DecodeIco, IcoWithPng(), 1000);
  for (const auto& file : {Literal("P1 4 2\n1 0 1 1\n0 1 0 0"), Literal("P2 2 2 300\n0 299 150 7"),
                           Literal("P3 2 1 255\n1 2 3 4 5 6"), Literal("P4 9 2\n\xFF\x80\x01\x00"),
                           Literal("P5 3 1 200\n\x01\x02\x03")})
    SurviveByteFlips(DecodePnm, file, 2000);
  SurviveByteFlips(DecodePnm, Raw16Ppm(), 2000);
}

TEST(DamagedPictures, PngAndJpeg) {
  const std::vector<uint8_t> png = EncodePng(pictest::MakeTestPicture(40, 30));
  // Without the closing IEND chunk (12 bytes) the picture is already whole.
  ExpectTruncationsRefused("png", DecodePng, png, 12);
  SurviveByteFlips(DecodePng, png, 1500);

  const Bitmap picture = pictest::MakeTestPicture(48, 40);
  const std::vector<uint8_t> baseline = pictest::MakeJpeg(picture);
  pictest::JpegOptions progressiveOptions;
  progressiveOptions.Progressive = true;
  const std::vector<uint8_t> progressive = pictest::MakeJpeg(picture, progressiveOptions);
  // Only the end-of-image marker (2 bytes) may go.
  ExpectTruncationsRefused("jpeg", DecodeJpeg, baseline, 2);
  ExpectTruncationsRefused("jpeg progressive", DecodeJpeg, progressive, 2);
  SurviveByteFlips(DecodeJpeg, baseline, 1500);
  SurviveByteFlips(DecodeJpeg, progressive, 1500);
}

#if defined(KYT_HAVE_TIFF)
TEST(DamagedPictures, Tiff) {
  const std::string path = pictest::TempFolder("damaged-tiff") + "/t.tif";
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tiff, nullptr);
  const Bitmap picture = pictest::MakeTestPicture(12, 8);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 12);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 2);
  for (int32_t y = 0; y < 8; ++y) {
    std::vector<uint8_t> row;
    for (int32_t x = 0; x < 12; ++x) row.insert(row.end(), {RedOf(picture.Pixel(x, y)), GreenOf(picture.Pixel(x, y)), BlueOf(picture.Pixel(x, y))});
    TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0);
  }
  TIFFClose(tiff);
  const std::vector<uint8_t> file = pictest::ReadFile(path);
  ExpectTruncationsRefused("tiff", DecodeTiff, file, 0);
  SurviveByteFlips(DecodeTiff, file, 1500);
}
#endif

}  // namespace
}  // namespace kyt
