// Kodak Photo-CD decoding: the Base image's PhotoYCC layout and colours, the
// orientation, and refusal of short or foreign files.
#include <gtest/gtest.h>

#include "rare_helpers.h"
#include "window/decoders/RareFormats.h"

namespace kyt::test {
namespace {

constexpr size_t kBase = 0x30000;
constexpr size_t kPair = 768 * 3;  // two luma rows and both chroma rows

// A neutral image pac: luma 100 everywhere, chroma at its zero points (156, 137).
std::vector<uint8_t> NeutralPac(unsigned orientation = 0) {
  Bytes b;
  b.PadTo(0x800).Text("PCD_IPI").PadTo(0x0E02).U8(orientation).PadTo(kBase);
  for (int pair = 0; pair < 256; ++pair) b.Fill(768 * 2, 100).Fill(384, 156).Fill(384, 137);
  return b.data;
}

uint8_t& Luma(std::vector<uint8_t>& f, size_t x, size_t y) { return f[kBase + (y / 2) * kPair + (y % 2) * 768 + x]; }
uint8_t& C1(std::vector<uint8_t>& f, size_t cx, size_t pair) { return f[kBase + pair * kPair + 1536 + cx]; }
uint8_t& C2(std::vector<uint8_t>& f, size_t cx, size_t pair) { return f[kBase + pair * kPair + 1536 + 384 + cx]; }

// Luma 100 scales to 135.84; neutral chroma adds nothing.
const Color kNeutral = MakeColor(136, 136, 136);

TEST(RarePhotoCd, YccColoursOfTheBaseImage) {
  std::vector<uint8_t> f = NeutralPac();
  Luma(f, 0, 0) = 0;    // black
  Luma(f, 1, 0) = 188;  // 255.4: white
  C2(f, 5, 0) = 187;    // pixels 10, 11 of rows 0, 1: C2 + 50 -> red up, green down
  C1(f, 6, 0) = 196;    // pixels 12, 13: C1 + 40 -> blue up, green down
  const Bitmap b = DecodePhotoCd(f);
  ASSERT_EQ(b.Width(), 768);
  ASSERT_EQ(b.Height(), 512);
  EXPECT_EQ(b.Pixel(0, 0), kBlack);
  EXPECT_EQ(b.Pixel(1, 0), kWhite);
  EXPECT_EQ(b.Pixel(2, 0), kNeutral);
  // R = 135.84 + 1.8215 * 50 = 226.9; G = 135.84 - 0.509 * 91.075 = 89.5
  EXPECT_EQ(b.Pixel(10, 0), MakeColor(227, 89, 136));
  // B = 135.84 + 2.2179 * 40 = 224.6; G = 135.84 - 0.194 * 88.716 = 118.6
  EXPECT_EQ(b.Pixel(12, 0), MakeColor(136, 119, 225));
}

TEST(RarePhotoCd, ChromaCoversTwoByTwoPixels) {
  std::vector<uint8_t> f = NeutralPac();
  C2(f, 5, 1) = 187;     // pixels 10, 11 of rows 2, 3
  Luma(f, 7, 3) = 0;     // second luma row of the second pair
  const Bitmap b = DecodePhotoCd(f);
  const Color red = MakeColor(227, 89, 136);
  for (int y = 0; y < 6; ++y)
    for (int x = 8; x < 14; ++x) {
      const bool tinted = (x == 10 || x == 11) && (y == 2 || y == 3);
      EXPECT_EQ(b.Pixel(x, y), tinted ? red : kNeutral) << x << "," << y;
    }
  EXPECT_EQ(b.Pixel(7, 3), kBlack);
  EXPECT_EQ(b.Pixel(7, 2), kNeutral);
  EXPECT_EQ(b.Pixel(6, 3), kNeutral);
}

TEST(RarePhotoCd, OrientationTurnsThePicture) {
  // Marks: top-left corner black, top-right corner white.
  auto marked = [](unsigned orientation) {
    std::vector<uint8_t> f = NeutralPac(orientation);
    Luma(f, 0, 0) = 0;
    Luma(f, 767, 0) = 255;
    return DecodePhotoCd(f);
  };
  const Bitmap left = marked(1);  // a quarter turn anticlockwise: top-right comes to top-left
  ASSERT_EQ(left.Width(), 512);
  ASSERT_EQ(left.Height(), 768);
  EXPECT_EQ(left.Pixel(0, 0), kWhite);
  EXPECT_EQ(left.Pixel(0, 767), kBlack);
  const Bitmap upside = marked(2);
  ASSERT_EQ(upside.Width(), 768);
  EXPECT_EQ(upside.Pixel(767, 511), kBlack);
  EXPECT_EQ(upside.Pixel(0, 511), kWhite);
  const Bitmap right = marked(3);  // a quarter turn clockwise: top-left comes to top-right
  ASSERT_EQ(right.Width(), 512);
  EXPECT_EQ(right.Pixel(511, 0), kBlack);
  EXPECT_EQ(right.Pixel(511, 767), kWhite);
  EXPECT_EQ(right.Pixel(0, 0), kNeutral);
  // Only the two low bits count.
  EXPECT_EQ(marked(4).Width(), 768);
}

TEST(RarePhotoCd, ShortAndForeignFilesAreRefused) {
  const std::vector<uint8_t> good = NeutralPac();
  for (size_t length : {size_t(0), size_t(1), size_t(0x800), size_t(0x802), size_t(0x0E02), size_t(0x0E03), kBase,
                        kBase + 1, kBase + kPair * 100 + 7, good.size() - 1}) {
    EXPECT_TRUE(RaisesError(DecodePhotoCd, std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(length))))
        << length;
  }
  std::vector<uint8_t> foreign = good;
  foreign[0x800] = 'X';
  std::string message;
  EXPECT_TRUE(RaisesError(DecodePhotoCd, foreign, &message));
  EXPECT_NE(message.find("Photo-CD"), std::string::npos);
  std::vector<uint8_t> overview = good;
  for (size_t i = 0; i < 7; ++i) overview[i] = uint8_t("PCD_OPA"[i]);
  EXPECT_TRUE(RaisesError(DecodePhotoCd, overview));
}

}  // namespace
}  // namespace kyt::test
