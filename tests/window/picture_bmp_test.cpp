// Windows bitmap files: every header kind, bit depth and compression the
// decoder accepts, and the refusal of bad headers and short data.
#include <gtest/gtest.h>

#include "picture_support.h"
#include "window/decoders/Decoders.h"

namespace kyt {
namespace {

using pictest::ByteWriter;
using pictest::PictureOf;
using pictest::SamePicture;

const Color R = MakeColor(255, 0, 0), G = MakeColor(0, 255, 0), B = MakeColor(0, 0, 255), W = kWhite, K = kBlack;

struct BmpSpec {
  uint32_t HeaderSize = 40;
  int32_t Width = 1, Height = 1;
  uint16_t BitCount = 24;
  uint32_t Compression = 0;
  uint32_t ColorsUsed = 0;
  std::vector<Color> Palette;
  std::vector<uint32_t> Masks;  // in the header from 52 bytes on, else after it
  std::vector<uint8_t> Pixels;
  bool ZeroPixelOffset = false;
};

std::vector<uint8_t> BuildBmp(const BmpSpec& s) {
  ByteWriter header;
  if (s.HeaderSize == 12) {
    header.U32(12).U16(uint32_t(s.Width)).U16(uint32_t(s.Height)).U16(1).U16(s.BitCount);
    for (Color c : s.Palette) header.U8(BlueOf(c)).U8(GreenOf(c)).U8(RedOf(c));
  } else {
    header.U32(s.HeaderSize).I32(s.Width).I32(s.Height).U16(1).U16(s.BitCount).U32(s.Compression);
    header.U32(uint32_t(s.Pixels.size())).U32(2835).U32(2835).U32(s.ColorsUsed).U32(0);
    if (s.HeaderSize >= 52) {
      for (size_t i = 0; i < 4 && 40 + 4 * i < s.HeaderSize; ++i) header.U32(i < s.Masks.size() ? s.Masks[i] : 0);
      header.Zeros(s.HeaderSize - header.Size());
    } else {
      for (uint32_t m : s.Masks) header.U32(m);
    }
    for (Color c : s.Palette) header.U8(BlueOf(c)).U8(GreenOf(c)).U8(RedOf(c)).U8(0);
  }
  ByteWriter file;
  const uint32_t offset = s.ZeroPixelOffset ? 0 : uint32_t(14 + header.Size());
  file.Text("BM").U32(uint32_t(14 + header.Size() + s.Pixels.size())).U32(0).U32(offset);
  file.Bytes(header.data).Bytes(s.Pixels);
  return file.data;
}

TEST(BmpDecoder, TwentyFourBitBottomUpAndTopDown) {
  const Bitmap picture = pictest::MakeTestPicture(5, 3);  // 15 bytes a row: one byte of padding
  EXPECT_TRUE(SamePicture(DecodeBmp(pictest::MakeBmp24(picture)), picture));

  BmpSpec s;
  s.Width = 2;
  s.Height = -2;  // top row first
  s.Pixels = {0, 0, 255, 0, 255, 0, 0, 0, /**/ 255, 0, 0, 255, 255, 255, 0, 0};
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), PictureOf(2, 2, {R, G, B, W})));
  s.Height = 2;
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), PictureOf(2, 2, {B, W, R, G})));
}

TEST(BmpDecoder, PaletteDepths) {
  BmpSpec one;  // 10 pixels a row cross a byte boundary
  one.Width = 10;
  one.Height = 2;
  one.BitCount = 1;
  one.Palette = {R, B};
  one.Pixels = {0b11110000, 0b01000000, 0, 0, /**/ 0b10101100, 0b11000000, 0, 0};
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(one)),
                          PictureOf(10, 2, {B, R, B, R, B, B, R, R, B, B, /**/ B, B, B, B, R, R, R, R, R, B})));

  BmpSpec four;  // three palette entries; index 15 lies outside and reads black
  four.Width = 3;
  four.Height = 1;
  four.BitCount = 4;
  four.ColorsUsed = 3;
  four.Palette = {R, G, B};
  four.Pixels = {0x21, 0xF0, 0, 0};
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(four)), PictureOf(3, 1, {B, G, K})));

  BmpSpec two;
  two.Width = 5;
  two.Height = 1;
  two.BitCount = 2;
  two.Palette = {R, G, B, W};
  two.Pixels = {0b00011011, 0b10000000, 0, 0};
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(two)), PictureOf(5, 1, {R, G, B, W, B})));

  BmpSpec eight;
  eight.Width = 5;
  eight.Height = 1;
  eight.BitCount = 8;
  eight.Palette.assign(256, K);
  eight.Palette[7] = R;
  eight.Palette[200] = G;
  eight.Palette[255] = W;
  eight.Pixels = {7, 200, 255, 0, 7, 0, 0, 0};
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(eight)), PictureOf(5, 1, {R, G, W, K, R})));
  // The pixels follow the palette when the file header's offset is 0.
  eight.ZeroPixelOffset = true;
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(eight)), PictureOf(5, 1, {R, G, W, K, R})));
}

TEST(BmpDecoder, CoreHeaderWithThreeBytePalette) {
  BmpSpec s;
  s.HeaderSize = 12;
  s.Width = 3;
  s.Height = 2;
  s.BitCount = 8;
  s.Palette.assign(256, K);
  s.Palette[1] = R;
  s.Palette[2] = B;
  s.Pixels = {1, 2, 1, 0, /**/ 2, 2, 0, 0};
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), PictureOf(3, 2, {B, B, K, R, B, R})));
}

TEST(BmpDecoder, SixteenBitDefaultAndMaskedLayouts) {
  BmpSpec s;  // 5-5-5
  s.Width = 4;
  s.Height = 1;
  s.BitCount = 16;
  s.Pixels = {0xFF, 0x7F, 0x00, 0x7C, 0x01, 0x00, 0xE0, 0x03};
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)),
                          PictureOf(4, 1, {W, R, MakeColor(0, 0, 8), G})));  // 1 of 31 scales to 8

  s.Compression = 3;  // 5-6-5 through colour masks
  s.Masks = {0xF800, 0x07E0, 0x001F};
  s.Pixels = {0x00, 0xF8, 0xE0, 0x07, 0x20, 0x00, 0x1F, 0x00};
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), PictureOf(4, 1, {R, G, MakeColor(0, 4, 0), B})));
}

TEST(BmpDecoder, ThirtyTwoBitIgnoresAlphaAndHonoursMasks) {
  BmpSpec s;
  s.Width = 2;
  s.Height = 1;
  s.BitCount = 32;
  s.Pixels = {0x30, 0x20, 0x10, 0x00, 0xFF, 0xFF, 0xFF, 0x00};  // alpha 0 does not make it transparent
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), PictureOf(2, 1, {MakeColor(0x10, 0x20, 0x30), W})));

  s.Compression = 3;  // red in the lowest byte
  s.Masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), PictureOf(2, 1, {MakeColor(0x30, 0x20, 0x10), W})));

  for (uint32_t size : {52u, 56u, 108u, 124u}) {  // later headers carry the masks inside
    s.HeaderSize = size;
    EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), PictureOf(2, 1, {MakeColor(0x30, 0x20, 0x10), W})))
        << "header of " << size << " bytes";
  }
}

TEST(BmpDecoder, MaskOfAllThirtyTwoBitsIsOneChannelWithoutGaps) {
  BmpSpec s;
  s.Width = 2;
  s.Height = 1;
  s.BitCount = 32;
  s.Compression = 3;
  s.Masks = {0xFFFFFFFF, 0, 0};  // red takes every bit: its top eight are the colour
  s.Pixels = {0x30, 0x20, 0x10, 0xAB, 0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), PictureOf(2, 1, {MakeColor(0xAB, 0, 0), MakeColor(0x7F, 0, 0)})));
  s.HeaderSize = 56;  // the same masks inside a later header, alpha mask 0
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), PictureOf(2, 1, {MakeColor(0xAB, 0, 0), MakeColor(0x7F, 0, 0)})));
  // A mask with a gap is still refused.
  s.Masks = {0xFF00FF00, 0x000000FF, 0};
  EXPECT_THROW(DecodeBmp(BuildBmp(s)), Error);
}

TEST(BmpDecoder, Rle8RunsAbsoluteRunsDeltaAndSkippedPixels) {
  BmpSpec s;
  s.Width = 6;
  s.Height = 3;
  s.BitCount = 8;
  s.Compression = 1;
  s.ColorsUsed = 4;
  s.Palette = {G, R, B, W};
  s.Pixels = {
      3, 1, 0, 3, 2, 3, 2, 0, 0, 0,  // bottom row: run of three, absolute run of three padded to even
      2, 3, 0, 2, 2, 1,              // middle row: run of two, then a move 2 right and 1 up
      2, 2, 0, 1,                    // top row from x = 4: run of two; end of bitmap
  };
  const Bitmap expected = PictureOf(6, 3, {G, G, G, G, B, B, /**/ W, W, G, G, G, G, /**/ R, R, R, B, W, B});
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), expected));

  // Without the end marker the picture is still whole once every row has ended.
  s.Pixels = {6, 1, 0, 0, 6, 2, 0, 0, 6, 3, 0, 0};
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), PictureOf(6, 3, {W, W, W, W, W, W, B, B, B, B, B, B, R, R, R, R, R, R})));
  // ... but data that stops inside the picture is refused.
  s.Pixels = {6, 1, 0, 0, 6, 2};
  EXPECT_THROW(DecodeBmp(BuildBmp(s)), Error);
  // Runs past the right edge and moves past the top are clipped, not written out of bounds.
  s.Pixels = {255, 1, 0, 2, 255, 255, 4, 2, 0, 1};
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), PictureOf(6, 3, {G, G, G, G, G, G, G, G, G, G, G, G, R, R, R, R, R, R})));
}

TEST(BmpDecoder, RleEndMarkerLeavesTheRestInColourZeroAndTopDownIsRefused) {
  BmpSpec s;
  s.Width = 3;
  s.Height = 50000;
  s.BitCount = 8;
  s.Compression = 1;
  s.ColorsUsed = 2;
  s.Palette = {G, R};
  s.Pixels = {3, 1, 0, 1};  // the bottom row, then the end of the bitmap
  const Bitmap got = DecodeBmp(BuildBmp(s));
  ASSERT_EQ(got.Height(), 50000);
  EXPECT_EQ(got.Pixel(2, 49999), R);
  EXPECT_EQ(got.Pixel(0, 49998), G);
  EXPECT_EQ(got.Pixel(1, 0), G);

  s.Height = -3;  // Windows keeps compressed bitmaps bottom-up only
  EXPECT_THROW(DecodeBmp(BuildBmp(s)), Error);
}

TEST(BmpDecoder, Rle4NibbleRunsAndPaddedAbsoluteRuns) {
  BmpSpec s;
  s.Width = 5;
  s.Height = 2;
  s.BitCount = 4;
  s.Compression = 2;
  s.ColorsUsed = 4;
  s.Palette = {G, R, B, W};
  s.Pixels = {
      5, 0x12, 0, 0,                     // bottom row: alternating 1, 2, 1, 2, 1
      0, 5, 0x31, 0x20, 0x30, 0x00,      // top row: five nibbles in three bytes and one pad byte
      0, 0, 0, 1,
  };
  EXPECT_TRUE(SamePicture(DecodeBmp(BuildBmp(s)), PictureOf(5, 2, {W, R, B, G, W, /**/ R, B, R, B, R})));
}

TEST(BmpDecoder, RefusesBadHeadersAndShortData) {
  auto errorOf = [](const std::vector<uint8_t>& bytes) {
    try {
      DecodeBmp(bytes);
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  BmpSpec good;
  good.Width = 2;
  good.Height = 2;
  good.Pixels.assign(16, 0x80);
  ASSERT_NO_THROW(DecodeBmp(BuildBmp(good)));

  std::vector<uint8_t> notBm = BuildBmp(good);
  notBm[0] = 'B';
  notBm[1] = 'A';
  EXPECT_NE(errorOf(notBm).find("not a Windows bitmap"), std::string::npos);

  BmpSpec s = good;
  s.Width = 0;
  EXPECT_NE(errorOf(BuildBmp(s)).find("width"), std::string::npos);
  s = good;
  s.Height = 0;
  EXPECT_NE(errorOf(BuildBmp(s)).find("height"), std::string::npos);
  s = good;
  s.BitCount = 3;
  EXPECT_NE(errorOf(BuildBmp(s)).find("bit count"), std::string::npos);
  s = good;
  s.Compression = 4;  // JPEG inside a bitmap
  EXPECT_NE(errorOf(BuildBmp(s)).find("compression"), std::string::npos);
  s = good;
  s.Compression = 1;  // RLE8 needs 8 bits
  EXPECT_NE(errorOf(BuildBmp(s)).find("RLE8"), std::string::npos);
  s = good;
  s.BitCount = 32;
  s.Compression = 3;
  s.Masks = {0x0F0F0000, 0xFF00, 0xFF};
  EXPECT_NE(errorOf(BuildBmp(s)).find("mask"), std::string::npos);
  s = good;
  s.HeaderSize = 20;
  EXPECT_NE(errorOf(BuildBmp(s)).find("header size"), std::string::npos);

  s = good;
  s.Pixels.resize(10);  // the second row lacks pixels
  EXPECT_NE(errorOf(BuildBmp(s)).find("truncated"), std::string::npos);
  s.Pixels.resize(14);  // only the last row's padding is missing: accepted
  EXPECT_NO_THROW(DecodeBmp(BuildBmp(s)));

  std::vector<uint8_t> farOffset = BuildBmp(good);
  farOffset[10] = 0xF0;
  farOffset[11] = 0xFF;
  EXPECT_NE(errorOf(farOffset).find("truncated"), std::string::npos);

  // Huge sizes are refused before any memory is taken.
  s = good;
  s.Width = 30000;
  s.Height = 30000;
  EXPECT_NE(errorOf(BuildBmp(s)).find("too large"), std::string::npos);
  s.Width = 16000;
  s.Height = -16000;
  EXPECT_NE(errorOf(BuildBmp(s)).find("truncated"), std::string::npos);

  BmpSpec palette = good;  // 8-bit picture whose palette runs past the end of the file
  palette.BitCount = 8;
  palette.Pixels.clear();
  std::vector<uint8_t> shortPalette = BuildBmp(palette);
  shortPalette.resize(14 + 40 + 100);
  EXPECT_NE(errorOf(shortPalette).find("truncated"), std::string::npos);
}

}  // namespace
}  // namespace kyt
