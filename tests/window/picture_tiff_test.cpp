// TIFF pictures read from memory: sample layouts, compressions, alpha,
// several pages, and damaged files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picture_support.h"
#include "window/decoders/Decoders.h"

#if defined(KYT_HAVE_TIFF)
#include <tiffio.h>
#endif

namespace kyt {
namespace {

using pictest::PictureOf;
using pictest::SamePicture;

#if defined(KYT_HAVE_TIFF)

struct TiffPage {
  uint32_t Width = 0, Height = 0;
  uint16_t Samples = 3;          // 1 grey or bilevel, 3 RGB, 4 RGBA
  uint16_t Bits = 8;
  uint16_t Photometric = PHOTOMETRIC_RGB;
  uint16_t Compression = COMPRESSION_NONE;
  uint32_t RowsPerStrip = 1;
  std::vector<uint8_t> Rows;     // packed rows, top first
};

// Writes the pages with libtiff into a file of the test folder and returns its bytes.
std::vector<uint8_t> WriteTiff(const std::string& name, const std::vector<TiffPage>& pages) {
  const std::string path = pictest::TempFolder("tiff-" + name) + "/p.tif";
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  EXPECT_NE(tiff, nullptr);
  if (!tiff) return {};
  for (const TiffPage& page : pages) {
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.Width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.Height);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.Samples);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, page.Bits);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.Photometric);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.Compression);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.RowsPerStrip);
    if (page.Samples == 4) {
      const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
      TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (pages.size() > 1) TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    const size_t stride = (size_t(page.Width) * page.Samples * page.Bits + 7) / 8;
    for (uint32_t y = 0; y < page.Height; ++y) {
      std::vector<uint8_t> row(page.Rows.begin() + std::ptrdiff_t(stride * y),
                               page.Rows.begin() + std::ptrdiff_t(stride * (y + 1)));
      EXPECT_EQ(TIFFWriteScanline(tiff, row.data(), y, 0), 1);
    }
    TIFFWriteDirectory(tiff);
  }
  TIFFClose(tiff);
  return pictest::ReadFile(path);
}

TiffPage RgbPage(const Bitmap& picture, uint16_t compression = COMPRESSION_NONE) {
  TiffPage page;
  page.Width = uint32_t(picture.Width());
  page.Height = uint32_t(picture.Height());
  page.Compression = compression;
  for (int32_t y = 0; y < picture.Height(); ++y)
    for (int32_t x = 0; x < picture.Width(); ++x) {
      const Color c = picture.Pixel(x, y);
      page.Rows.insert(page.Rows.end(), {RedOf(c), GreenOf(c), BlueOf(c)});
    }
  return page;
}

std::string ErrorText(const std::vector<uint8_t>& bytes) {
  try {
    DecodeTiff(bytes);
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

TEST(TiffDecoder, RgbUncompressedAndLzw) {
  const Bitmap picture = pictest::MakeTestPicture(9, 6);
  EXPECT_TRUE(SamePicture(DecodeTiff(WriteTiff("rgb", {RgbPage(picture)})), picture));
  EXPECT_TRUE(SamePicture(DecodeTiff(WriteTiff("lzw", {RgbPage(picture, COMPRESSION_LZW)})), picture));
}

TEST(TiffDecoder, GreyBilevelFaxAndAlpha) {
  TiffPage grey;
  grey.Width = 3;
  grey.Height = 1;
  grey.Samples = 1;
  grey.Photometric = PHOTOMETRIC_MINISBLACK;
  grey.Rows = {0, 77, 255};
  EXPECT_TRUE(SamePicture(DecodeTiff(WriteTiff("grey", {grey})),
                          PictureOf(3, 1, {kBlack, MakeColor(77, 77, 77), kWhite})));

  TiffPage fax;  // bilevel, 1 is black, CCITT group 4
  fax.Width = 10;
  fax.Height = 2;
  fax.Samples = 1;
  fax.Bits = 1;
  fax.Photometric = PHOTOMETRIC_MINISWHITE;
  fax.Compression = COMPRESSION_CCITTFAX4;
  fax.RowsPerStrip = 2;
  fax.Rows = {0b11000000, 0b01000000, 0b00000000, 0b10000000};
  const Color K = kBlack, W = kWhite;
  EXPECT_TRUE(SamePicture(DecodeTiff(WriteTiff("fax", {fax})),
                          PictureOf(10, 2, {K, K, W, W, W, W, W, W, W, K, /**/ W, W, W, W, W, W, W, W, K, W})));

  TiffPage alpha;
  alpha.Width = 2;
  alpha.Height = 1;
  alpha.Samples = 4;
  alpha.Rows = {255, 0, 0, 0, 0, 0, 255, 255};  // transparent red, opaque blue
  EXPECT_TRUE(SamePicture(DecodeTiff(WriteTiff("alpha", {alpha})), PictureOf(2, 1, {kWhite, MakeColor(0, 0, 255)})));
}

TEST(TiffDecoder, FirstPageOfSeveral) {
  const Bitmap first = pictest::MakeTestPicture(4, 3);
  const Bitmap second = pictest::MakeBlockPicture(7, 5);
  EXPECT_TRUE(SamePicture(DecodeTiff(WriteTiff("pages", {RgbPage(first), RgbPage(second)})), first));
}

TEST(TiffDecoder, RefusesDamagedFiles) {
  const std::vector<uint8_t> good = WriteTiff("damaged", {RgbPage(pictest::MakeTestPicture(30, 20))});
  ASSERT_NO_THROW(DecodeTiff(good));
  EXPECT_NE(ErrorText({'G', 'I', 'F', '8'}).find("not a TIFF"), std::string::npos);
  EXPECT_NE(ErrorText({'I', 'I', 42, 0, 0xF0, 0xFF, 0xFF, 0x0F}).find("TIFF"), std::string::npos);
  // libtiff writes the directory after the strips: a cut file loses it.
  const std::vector<uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2));
  EXPECT_NE(ErrorText(cut).find("TIFF"), std::string::npos);
}

#else

TEST(TiffDecoder, RefusedWithAClearErrorWithoutLibtiff) {
  try {
    DecodeTiff({'I', 'I', 42, 0});
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("TIFF"), std::string::npos);
  }
}

#endif

}  // namespace
}  // namespace kyt
