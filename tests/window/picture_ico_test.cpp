// Windows icons: the choice of image, the AND mask, alpha and embedded PNG.
#include <gtest/gtest.h>

#include "picture_support.h"
#include "window/PictureLoader.h"
#include "window/decoders/Decoders.h"

namespace kyt {
namespace {

using pictest::ByteWriter;
using pictest::PictureOf;
using pictest::SamePicture;

const Color R = MakeColor(255, 0, 0), G = MakeColor(0, 255, 0), B = MakeColor(0, 0, 255), W = kWhite;

// The DIB of one icon image: colour rows bottom-up, then the AND mask rows.
std::vector<uint8_t> IconDib(const Bitmap& picture, uint16_t bitCount, const std::vector<uint8_t>& alpha,
                             const std::vector<std::vector<int>>& maskTopDown, bool withMask = true) {
  const int32_t w = picture.Width(), h = picture.Height();
  ByteWriter dib;
  dib.U32(40).I32(w).I32(2 * h).U16(1).U16(bitCount).U32(0).U32(0).U32(0).U32(0).U32(0).U32(0);
  const uint32_t bpp = bitCount / 8;
  const uint32_t stride = (uint32_t(w) * bpp + 3) / 4 * 4;
  for (int32_t y = h - 1; y >= 0; --y) {
    for (int32_t x = 0; x < w; ++x) {
      const Color c = picture.Pixel(x, y);
      dib.U8(BlueOf(c)).U8(GreenOf(c)).U8(RedOf(c));
      if (bpp == 4) dib.U8(alpha.empty() ? 0 : alpha[size_t(y) * size_t(w) + size_t(x)]);
    }
    dib.Zeros(stride - uint32_t(w) * bpp);
  }
  if (withMask) {
    const uint32_t maskStride = (uint32_t(w) + 31) / 32 * 4;
    for (int32_t y = h - 1; y >= 0; --y) {
      std::vector<uint8_t> row(maskStride, 0);
      for (int32_t x = 0; x < w; ++x)
        if (!maskTopDown.empty() && maskTopDown[size_t(y)][size_t(x)]) row[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
      dib.Bytes(row);
    }
  }
  return dib.data;
}

struct IconImage {
  int32_t Width, Height;
  uint16_t BitCount;
  std::vector<uint8_t> Data;
};

std::vector<uint8_t> BuildIco(const std::vector<IconImage>& images) {
  ByteWriter file;
  file.U16(0).U16(1).U16(uint32_t(images.size()));
  uint32_t offset = uint32_t(6 + 16 * images.size());
  for (const IconImage& image : images) {
    file.U8(image.Width >= 256 ? 0 : uint32_t(image.Width)).U8(image.Height >= 256 ? 0 : uint32_t(image.Height));
    file.U8(0).U8(0).U16(1).U16(image.BitCount).U32(uint32_t(image.Data.size())).U32(offset);
    offset += uint32_t(image.Data.size());
  }
  for (const IconImage& image : images) file.Bytes(image.Data);
  return file.data;
}

TEST(IcoDecoder, LargestImageWithItsMaskOverWhite) {
  const Bitmap small = PictureOf(2, 2, {R, R, R, R});
  const Bitmap large = PictureOf(3, 2, {R, G, B, B, G, R});
  const std::vector<uint8_t> bytes =
      BuildIco({{2, 2, 24, IconDib(small, 24, {}, {})},
                {3, 2, 24, IconDib(large, 24, {}, {{0, 1, 0}, {0, 0, 1}})},
                {1, 1, 24, IconDib(PictureOf(1, 1, {B}), 24, {}, {})}});
  EXPECT_TRUE(SamePicture(DecodeIco(bytes), PictureOf(3, 2, {R, W, B, B, G, W})));
}

TEST(IcoDecoder, EqualSizesPreferTheDeeperColour) {
  const Bitmap first = PictureOf(2, 1, {R, R});
  const Bitmap second = PictureOf(2, 1, {G, B});
  const std::vector<uint8_t> bytes =
      BuildIco({{2, 1, 24, IconDib(first, 24, {}, {})}, {2, 1, 32, IconDib(second, 32, {255, 255}, {})}});
  EXPECT_TRUE(SamePicture(DecodeIco(bytes), second));
  const std::vector<uint8_t> same =
      BuildIco({{2, 1, 24, IconDib(first, 24, {}, {})}, {2, 1, 24, IconDib(second, 24, {}, {})}});
  EXPECT_TRUE(SamePicture(DecodeIco(same), first));
}

TEST(IcoDecoder, AlphaChannelIsComposedOverWhite) {
  const Bitmap picture = PictureOf(3, 1, {R, MakeColor(0, 0, 0), B});
  const std::vector<uint8_t> bytes = BuildIco({{3, 1, 32, IconDib(picture, 32, {255, 128, 0}, {{1, 1, 1}})}});
  const Bitmap got = DecodeIco(bytes);
  ASSERT_EQ(got.Width(), 3);
  EXPECT_EQ(got.Pixel(0, 0), R);  // opaque, although the mask says transparent: alpha wins
  EXPECT_NEAR(RedOf(got.Pixel(1, 0)), 127, 1);
  EXPECT_EQ(RedOf(got.Pixel(1, 0)), GreenOf(got.Pixel(1, 0)));
  EXPECT_EQ(got.Pixel(2, 0), W);

  // A 32-bit image whose alpha is all zero is opaque where the mask says so.
  const std::vector<uint8_t> noAlpha = BuildIco({{3, 1, 32, IconDib(picture, 32, {0, 0, 0}, {{0, 1, 0}})}});
  EXPECT_TRUE(SamePicture(DecodeIco(noAlpha), PictureOf(3, 1, {R, W, B})));
  // With alpha the mask may be left out.
  const std::vector<uint8_t> maskless = BuildIco({{3, 1, 32, IconDib(picture, 32, {255, 255, 255}, {}, false)}});
  EXPECT_TRUE(SamePicture(DecodeIco(maskless), picture));
}

TEST(IcoDecoder, EmbeddedPng) {
  const Bitmap picture = pictest::MakeTestPicture(6, 4);
  const std::vector<uint8_t> bytes =
      BuildIco({{2, 2, 24, IconDib(PictureOf(2, 2, {R, R, R, R}), 24, {}, {})}, {6, 4, 32, EncodePng(picture)}});
  EXPECT_TRUE(SamePicture(DecodeIco(bytes), picture));
}

TEST(IcoDecoder, RefusesBrokenFiles) {
  const std::vector<uint8_t> good = BuildIco({{2, 1, 24, IconDib(PictureOf(2, 1, {R, G}), 24, {}, {})}});
  ASSERT_NO_THROW(DecodeIco(good));

  std::vector<uint8_t> bytes = good;
  bytes[2] = 5;  // neither icon nor cursor
  EXPECT_THROW(DecodeIco(bytes), Error);
  bytes = good;
  bytes[4] = 0;  // no images
  EXPECT_THROW(DecodeIco(bytes), Error);
  bytes = good;
  bytes[4] = 200;  // more directory entries than the file holds
  EXPECT_THROW(DecodeIco(bytes), Error);
  bytes = good;
  bytes[6 + 12] = 0xFF;  // image offset outside the file
  EXPECT_THROW(DecodeIco(bytes), Error);

  // An image without its AND mask (not 32-bit) is incomplete.
  const std::vector<uint8_t> maskless = BuildIco({{2, 1, 24, IconDib(PictureOf(2, 1, {R, G}), 24, {}, {}, false)}});
  try {
    DecodeIco(maskless);
    ADD_FAILURE() << "an icon without its mask was accepted";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("truncated"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace kyt
