// PNG and JPEG decoding (and the PNG writer): exact round trips, colour
// types, transparency over white, and refusal of damaged data.
#include <gtest/gtest.h>

#include <png.h>

#include <string>
#include <vector>

#include "picture_support.h"
#include "window/PictureLoader.h"
#include "window/decoders/Decoders.h"

namespace kyt {
namespace {

using pictest::PictureOf;
using pictest::SamePicture;

std::string ErrorText(Bitmap (*decode)(const std::vector<uint8_t>&), const std::vector<uint8_t>& bytes) {
  try {
    decode(bytes);
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

// A PNG written by libpng from raw samples in the given format.
std::vector<uint8_t> WritePng(uint32_t width, uint32_t height, uint32_t format, const std::vector<uint8_t>& samples,
                              const std::vector<uint8_t>& colormap = {}, uint32_t colormapEntries = 0) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = format;
  image.colormap_entries = colormapEntries;
  png_alloc_size_t size = 0;
  const void* map = colormap.empty() ? nullptr : colormap.data();
  EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, samples.data(), 0, map)) << image.message;
  std::vector<uint8_t> png(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, png.data(), &size, 0, samples.data(), 0, map)) << image.message;
  png.resize(size);
  return png;
}

TEST(PngCodec, EncodeAndDecodeAreExactInverses) {
  const Bitmap picture = pictest::MakeTestPicture(13, 7);
  const std::vector<uint8_t> png = EncodePng(picture);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png[1], 'P');
  EXPECT_TRUE(SamePicture(DecodePng(png), picture));
  EXPECT_THROW(EncodePng(Bitmap()), Error);
}

TEST(PngCodec, SavePngWritesADecodableFile) {
  const std::string dir = pictest::TempFolder("png-save");
  const Bitmap picture = pictest::MakeTestPicture(4, 9);
  SavePng(picture, dir + "/out.png");
  EXPECT_TRUE(SamePicture(DecodePng(pictest::ReadFile(dir + "/out.png")), picture));
  EXPECT_THROW(SavePng(picture, dir + "/no-such-folder/out.png"), Error);
}

TEST(PngCodec, TransparencyIsComposedOverWhite) {
  const std::vector<uint8_t> rgba = {255, 0, 0, 0,  // fully transparent red
                                     0, 0, 0, 255,  // opaque black
                                     0, 0, 255, 255, 0, 0, 0, 128};
  const Bitmap got = DecodePng(WritePng(4, 1, PNG_FORMAT_RGBA, rgba));
  ASSERT_EQ(got.Width(), 4);
  EXPECT_EQ(got.Pixel(0, 0), kWhite);
  EXPECT_EQ(got.Pixel(1, 0), kBlack);
  EXPECT_EQ(got.Pixel(2, 0), MakeColor(0, 0, 255));
  // Half-covered black over white is a mid grey (composition follows the sRGB curve).
  EXPECT_GT(RedOf(got.Pixel(3, 0)), 100);
  EXPECT_LT(RedOf(got.Pixel(3, 0)), 220);
  EXPECT_EQ(RedOf(got.Pixel(3, 0)), BlueOf(got.Pixel(3, 0)));

  const Bitmap grey = DecodePng(WritePng(2, 1, PNG_FORMAT_GA, {10, 255, 10, 0}));
  EXPECT_TRUE(SamePicture(grey, PictureOf(2, 1, {MakeColor(10, 10, 10), kWhite})));
}

TEST(PngCodec, GreyAndPaletteImages) {
  EXPECT_TRUE(SamePicture(DecodePng(WritePng(3, 1, PNG_FORMAT_GRAY, {0, 100, 255})),
                          PictureOf(3, 1, {kBlack, MakeColor(100, 100, 100), kWhite})));
  const std::vector<uint8_t> colormap = {255, 0, 0, 0, 0, 255, 30, 60, 90};
  EXPECT_TRUE(SamePicture(DecodePng(WritePng(4, 1, PNG_FORMAT_RGB_COLORMAP, {2, 0, 1, 2}, colormap, 3)),
                          PictureOf(4, 1, {MakeColor(30, 60, 90), MakeColor(255, 0, 0), MakeColor(0, 0, 255),
                                           MakeColor(30, 60, 90)})));
}

TEST(PngCodec, RefusesDamagedData) {
  const std::vector<uint8_t> png = EncodePng(pictest::MakeTestPicture(20, 20));
  EXPECT_NE(ErrorText(DecodePng, pictest::MakeBmp24(pictest::MakeTestPicture(2, 2))).find("not a PNG"),
            std::string::npos);
  std::vector<uint8_t> badCrc = png;
  badCrc[29] ^= 0x01;  // the IHDR checksum
  EXPECT_NE(ErrorText(DecodePng, badCrc).find("PNG"), std::string::npos);
  const std::vector<uint8_t> half(png.begin(), png.begin() + std::ptrdiff_t(png.size() / 2));
  EXPECT_NE(ErrorText(DecodePng, half), "no error");
}

TEST(JpegDecoder, ColourGreyAndProgressive) {
  const Bitmap picture = pictest::MakeBlockPicture(64, 48);
  EXPECT_LE(pictest::MaxChannelDifference(DecodeJpeg(pictest::MakeJpeg(picture)), picture), 12);
  pictest::JpegOptions progressive;
  progressive.Progressive = true;
  EXPECT_LE(pictest::MaxChannelDifference(DecodeJpeg(pictest::MakeJpeg(picture, progressive)), picture), 12);

  pictest::JpegOptions grey;
  grey.Gray = true;
  const Bitmap got = DecodeJpeg(pictest::MakeJpeg(picture, grey));
  ASSERT_EQ(got.Width(), 64);
  ASSERT_EQ(got.Height(), 48);
  for (int32_t y = 0; y < got.Height(); ++y)
    for (int32_t x = 0; x < got.Width(); ++x) {
      const Color c = got.Pixel(x, y);
      ASSERT_EQ(RedOf(c), GreenOf(c));
      ASSERT_EQ(RedOf(c), BlueOf(c));
      ASSERT_NEAR(RedOf(c), RedOf(picture.Pixel(x, y)), 12) << x << ", " << y;
    }
}

TEST(JpegDecoder, OddSizeKeepsItsSize) {
  const Bitmap picture = pictest::MakeBlockPicture(17, 9);
  const Bitmap got = DecodeJpeg(pictest::MakeJpeg(picture));
  EXPECT_EQ(got.Width(), 17);
  EXPECT_EQ(got.Height(), 9);
}

// CMYK as Adobe writes it: inverted, 255 meaning no ink.
TEST(JpegDecoder, AdobeCmyk) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = 16;
  info.image_height = 8;
  info.input_components = 4;
  info.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 100, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(16 * 4);
  for (int x = 0; x < 16; ++x) {  // left half red (no cyan, full magenta and yellow), right half white
    const bool red = x < 8;
    row[4 * x] = 255;
    row[4 * x + 1] = red ? 0 : 255;
    row[4 * x + 2] = red ? 0 : 255;
    row[4 * x + 3] = 255;
  }
  for (int y = 0; y < 8; ++y) {
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&info, &p, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  const std::vector<uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);

  const Bitmap got = DecodeJpeg(bytes);
  ASSERT_EQ(got.Width(), 16);
  for (int y = 0; y < 8; ++y) {
    EXPECT_NEAR(RedOf(got.Pixel(2, y)), 255, 6);
    EXPECT_NEAR(GreenOf(got.Pixel(2, y)), 0, 6);
    EXPECT_NEAR(BlueOf(got.Pixel(2, y)), 0, 6);
    EXPECT_NEAR(GreenOf(got.Pixel(13, y)), 255, 6);
  }
}

TEST(JpegDecoder, RefusesTruncatedAndForeignData) {
  const std::vector<uint8_t> jpeg = pictest::MakeJpeg(pictest::MakeTestPicture(40, 40));
  const std::vector<uint8_t> half(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(jpeg.size() * 2 / 3));
  EXPECT_NE(ErrorText(DecodeJpeg, half).find("truncated"), std::string::npos);
  EXPECT_NE(ErrorText(DecodeJpeg, EncodePng(pictest::MakeTestPicture(2, 2))).find("not a JPEG"), std::string::npos);
  EXPECT_NE(ErrorText(DecodeJpeg, {0xFF, 0xD8, 0xFF, 0xD9}).find("JPEG"), std::string::npos);
  std::vector<uint8_t> noFrame = jpeg;
  for (size_t i = 2; i + 1 < noFrame.size(); ++i)
    if (noFrame[i] == 0xFF && noFrame[i + 1] == 0xC0) noFrame[i + 1] = 0xCF;  // an unknown frame type
  EXPECT_NE(ErrorText(DecodeJpeg, noFrame), "no error");
}

}  // namespace
}  // namespace kyt
