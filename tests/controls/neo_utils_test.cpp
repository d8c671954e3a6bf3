// The colour and drawing routines against their formulas, on a headless canvas.
#include <cmath>

#include "controls/NeoBookPanel.h"
#include "tests/controls/ControlsTestSupport.h"

namespace kyt::controls {
namespace {

using testing::ControlsTest;
using testing::Hex;

class NeoUtilsTest : public ControlsTest {
 protected:
  Bitmap b{12, 10, kBlack};
  headless::HeadlessCanvas canvas{b};
};

TEST_F(NeoUtilsTest, MixColorsTakesPercentBelowHundredAndPerMilleFromHundred) {
  const Color a = MakeColor(200, 100, 0), c = MakeColor(0, 0, 255);
  EXPECT_EQ(Hex(MixColors(a, c, 50)), Hex(MakeColor(100, 50, 128)));
  EXPECT_EQ(Hex(MixColors(a, c, 500)), Hex(MixColors(a, c, 50)));
  EXPECT_EQ(Hex(MixColors(kWhite, MakeColor(230, 139, 44), 25)), Hex(MakeColor(236, 168, 97)));
  // 99 is 99 %, 100 is 100 per mille.
  EXPECT_EQ(Hex(MixColors(MakeColor(255, 0, 0), kBlack, 99)), Hex(MakeColor(252, 0, 0)));
  EXPECT_EQ(Hex(MixColors(MakeColor(255, 0, 0), kBlack, 100)), Hex(MakeColor(26, 0, 0)));
  EXPECT_EQ(Hex(MixColors(a, c, 0)), Hex(c));
  EXPECT_EQ(Hex(MixColors(a, c, 1000)), Hex(a));
}

TEST_F(NeoUtilsTest, ShiftColorClampsEachChannel) {
  EXPECT_EQ(Hex(ShiftColor(MakeColor(10, 250, 128), 20)), Hex(MakeColor(30, 255, 148)));
  EXPECT_EQ(Hex(ShiftColor(MakeColor(10, 250, 128), -20)), Hex(MakeColor(0, 230, 108)));
  EXPECT_EQ(Hex(ShiftColor(kBaseGrey, 20)), Hex(kLightGrey));
}

TEST_F(NeoUtilsTest, SystemColoursAreResolvedFirst) {
  graphics.colors[kColorBtnFace] = MakeColor(10, 20, 30);
  EXPECT_EQ(Hex(MixColors(clBtnFace, kBlack, 50)), Hex(MakeColor(5, 10, 15)));
  EXPECT_EQ(Hex(ShiftColor(clBtnFace, 5)), Hex(MakeColor(15, 25, 35)));
  FillGradient(canvas, Rect{0, 0, 1, 2}, clBtnFace, clBtnFace, true);
  EXPECT_COLOR(b, 0, 0, MakeColor(10, 20, 30));
  PutAlphaPixel(canvas, 5, 5, 255, clBtnFace);
  EXPECT_COLOR(b, 5, 5, MakeColor(10, 20, 30));
  EXPECT_FLOAT_EQ(WeightedColorDistance(clBtnFace, MakeColor(10, 20, 30)), 0.0f);
}

TEST_F(NeoUtilsTest, GradientStripsCountFromTheEndEdgeAndTruncate) {
  // Five rows from (100, 50, 7) at the top to black at the bottom.
  FillGradient(canvas, Rect{0, 0, 3, 5}, kBlack, MakeColor(100, 50, 7), true);
  EXPECT_COLOR(b, 0, 0, MakeColor(100, 50, 7));
  EXPECT_COLOR(b, 2, 1, MakeColor(75, 37, 5));
  EXPECT_COLOR(b, 1, 2, MakeColor(50, 25, 3));
  EXPECT_COLOR(b, 0, 3, MakeColor(25, 12, 1));
  EXPECT_COLOR(b, 0, 4, kBlack);
  EXPECT_COLOR(b, 3, 0, kBlack);  // right of the rectangle
  // A falling channel truncates towards zero: 10 + 2 * (0 - 10) / 3 = 4, not 3.
  FillGradient(canvas, Rect{5, 0, 9, 1}, MakeColor(10, 10, 10), kBlack, false);
  EXPECT_COLOR(b, 5, 0, kBlack);
  EXPECT_COLOR(b, 6, 0, MakeColor(4, 4, 4));
  EXPECT_COLOR(b, 7, 0, MakeColor(7, 7, 7));
  EXPECT_COLOR(b, 8, 0, MakeColor(10, 10, 10));
}

TEST_F(NeoUtilsTest, GradientOfOneStripOrNoneIsSafe) {
  FillGradient(canvas, Rect{0, 0, 4, 1}, MakeColor(9, 9, 9), MakeColor(200, 0, 0), true);
  const Color one = b.Pixel(0, 0);
  EXPECT_TRUE(one == MakeColor(9, 9, 9) || one == MakeColor(200, 0, 0)) << Hex(one);
  EXPECT_EQ(Hex(b.Pixel(3, 0)), Hex(one));
  const Bitmap before = b;
  FillGradient(canvas, Rect{2, 2, 2, 8}, kWhite, kWhite, true);
  FillGradient(canvas, Rect{2, 5, 8, 3}, kWhite, kWhite, false);
  EXPECT_TRUE(b == before);
}

TEST_F(NeoUtilsTest, AlphaPixelOpacities) {
  b.SetPixel(0, 0, MakeColor(40, 50, 60));
  PutAlphaPixel(canvas, 0, 0, 0, kWhite);
  EXPECT_COLOR(b, 0, 0, MakeColor(40, 50, 60));
  PutAlphaPixel(canvas, 1, 0, 255, MakeColor(1, 2, 3));
  EXPECT_COLOR(b, 1, 0, MakeColor(1, 2, 3));
  // 128 counts as 129: (255 * 129 + 127) div 256 = 128, where 128 itself would give 127.
  PutAlphaPixel(canvas, 2, 0, 128, kWhite);
  EXPECT_COLOR(b, 2, 0, MakeColor(128, 128, 128));
  PutAlphaPixel(canvas, 3, 0, 127, kWhite);
  EXPECT_COLOR(b, 3, 0, MakeColor(127, 127, 127));
  b.SetPixel(4, 0, MakeColor(100, 0, 200));
  PutAlphaPixel(canvas, 4, 0, 64, MakeColor(200, 255, 0));
  EXPECT_COLOR(b, 4, 0, MakeColor((200 * 64 + 100 * 192 + 127) / 256, (255 * 64 + 127) / 256, (200 * 192 + 127) / 256));
  // A pixel that cannot be read is left alone, whatever the opacity below 255.
  canvas.Save();
  canvas.Clip(Rect{0, 5, 12, 10});
  b.SetPixel(5, 0, MakeColor(7, 7, 7));
  PutAlphaPixel(canvas, 5, 0, 100, kWhite);
  PutAlphaPixel(canvas, 40, 40, 100, kWhite);
  canvas.Restore();
  EXPECT_COLOR(b, 5, 0, MakeColor(7, 7, 7));
}

TEST_F(NeoUtilsTest, SoftCornersAndTheirMirrorImages) {
  DrawSoftCorner(canvas, 0, 0, kWhite, Corner::TopLeft);
  const int top[3][3] = {{30, 80, 200}, {80, 200, 60}, {200, 60, 0}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(RedOf(b.Pixel(x, y)), top[y][x]) << x << "," << y;
  DrawSoftCorner(canvas, 5, 5, kWhite, Corner::BottomRight);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(RedOf(b.Pixel(5 + x, 5 + y)), top[2 - y][2 - x]) << x << "," << y;
  DrawSoftCorner(canvas, 9, 0, kWhite, Corner::TopRight);
  EXPECT_EQ(RedOf(b.Pixel(11, 0)), 30);
  EXPECT_EQ(RedOf(b.Pixel(9, 0)), 200);
  EXPECT_EQ(RedOf(b.Pixel(9, 2)), 0);
  DrawSoftCorner(canvas, 0, 7, kWhite, Corner::BottomLeft);
  EXPECT_EQ(RedOf(b.Pixel(0, 9)), 30);
  EXPECT_EQ(RedOf(b.Pixel(2, 7)), 0);
}

TEST_F(NeoUtilsTest, RingFrameMixesTheTwoOddCorners) {
  const Color a = MakeColor(200, 0, 0), c = MakeColor(0, 0, 100);
  DrawRingFrame(canvas, Rect{1, 1, 6, 5}, a, c);
  EXPECT_COLOR(b, 1, 1, a);
  EXPECT_COLOR(b, 3, 1, a);
  EXPECT_COLOR(b, 1, 3, a);
  EXPECT_COLOR(b, 5, 4, c);
  EXPECT_COLOR(b, 5, 2, c);
  EXPECT_COLOR(b, 3, 4, c);
  EXPECT_COLOR(b, 5, 1, MixColors(a, c, 50));
  EXPECT_COLOR(b, 1, 4, MixColors(a, c, 50));
  EXPECT_COLOR(b, 3, 2, kBlack);  // inside untouched
}

TEST_F(NeoUtilsTest, SoftOutlineStopsThreePixelsShortOfEachCorner) {
  const Color ink = MakeColor(0, 200, 0);
  DrawSoftOutline(canvas, Rect{0, 0, 10, 8}, ink);
  for (int x = 3; x <= 6; ++x) {
    EXPECT_COLOR(b, x, 0, ink);
    EXPECT_COLOR(b, x, 7, ink);
  }
  for (int y = 3; y <= 4; ++y) {
    EXPECT_COLOR(b, 0, y, ink);
    EXPECT_COLOR(b, 9, y, ink);
  }
  EXPECT_EQ(GreenOf(b.Pixel(2, 0)), (200 * 201 + 127) / 256);  // the corner's 200
  EXPECT_EQ(GreenOf(b.Pixel(0, 0)), (200 * 30 + 127) / 256);
  EXPECT_EQ(GreenOf(b.Pixel(9, 7)), (200 * 30 + 127) / 256);
  EXPECT_COLOR(b, 2, 2, kBlack);
}

TEST_F(NeoUtilsTest, ContrastDistanceAndThreshold) {
  EXPECT_NEAR(WeightedColorDistance(kWhite, kBlack), std::sqrt(195.0 * 195 + 390.0 * 390 + 65.0 * 65), 1e-3);
  EXPECT_NEAR(WeightedColorDistance(MakeColor(255, 0, 0), kBlack), 195.0, 1e-3);
  EXPECT_NEAR(WeightedColorDistance(MakeColor(0, 0, 51), MakeColor(0, 0, 0)), 13.0, 1e-3);
  EXPECT_FLOAT_EQ(ContrastThreshold(175, 220), 175);
  EXPECT_FLOAT_EQ(ContrastThreshold(175, 400), 175);
  EXPECT_FLOAT_EQ(ContrastThreshold(175, 110), 262.5f);
  EXPECT_FLOAT_EQ(ContrastThreshold(175, 0), 350);
  EXPECT_TRUE(HasContrast(kWhite, kBlack, false, 440));
  EXPECT_FALSE(HasContrast(kWhite, kBlack, false, 441));
  // Against black the threshold doubles.
  EXPECT_TRUE(HasContrast(MakeColor(255, 0, 0), kBlack, false, 175));
  EXPECT_FALSE(HasContrast(MakeColor(255, 0, 0), kBlack, true, 175));
}

TEST_F(NeoUtilsTest, ContrastPushLandsOnTheThreshold) {
  // A dark highlight against black text goes lighter until it is 350 away.
  const Color dark = MakeColor(10, 36, 106);
  ASSERT_FALSE(HasContrast(dark, kBlack, true, 175));
  const Color lighter = EnsureContrast(dark, kBlack, 175);
  EXPECT_NEAR(WeightedColorDistance(lighter, kBlack), 350.0, 1.5) << Hex(lighter);
  EXPECT_GT(RedOf(lighter), RedOf(dark));
  EXPECT_GT(BlueOf(lighter), BlueOf(dark));
  // A light grey on white goes darker until it is 100 away.
  const Color grey = MakeColor(200, 200, 200);
  const Color darker = EnsureContrast(grey, kWhite, 100);
  EXPECT_NEAR(WeightedColorDistance(darker, kWhite), 100.0, 1.5) << Hex(darker);
  EXPECT_LT(RedOf(darker), 200);
  // Colours with enough contrast stay.
  EXPECT_EQ(Hex(EnsureContrast(kBlack, kWhite, 175)), Hex(kBlack));
  EXPECT_EQ(Hex(EnsureContrast(clWindowText, clWindow, 175)), Hex(kBlack));
  // Asking more than the colour's line can give ends at the nearest point, not at a broken colour.
  const Color far = PushContrast(MakeColor(255, 0, 0), MakeColor(0, 0, 255), 400);
  EXPECT_LE(WeightedColorDistance(far, MakeColor(0, 0, 255)), 441.0f);
}

TEST_F(NeoUtilsTest, AccentFromDesktopOrHighlightStandsOffTheButtonText) {
  // The colorization colour's alpha byte goes.
  EXPECT_EQ(Hex(AccentFrom(0xC0FFFFFFu, clHighlight, clBtnText)), Hex(kWhite));
  EXPECT_EQ(AccentFrom(0xC0FFFFFFu, clHighlight, clBtnText) >> 24, 0u);
  // Without composition the highlight colour is used, pushed off black text.
  graphics.colors[kColorHighlight] = MakeColor(10, 36, 106);
  const Color a = AccentFrom(std::nullopt, clHighlight, clBtnText);
  EXPECT_NEAR(WeightedColorDistance(a, kBlack), 350.0, 1.5);
  // A highlight that already stands off light button text stays.
  graphics.colors[kColorBtnText] = kWhite;
  EXPECT_EQ(Hex(AccentFrom(std::nullopt, clHighlight, clBtnText)), Hex(MakeColor(10, 36, 106)));
}

TEST_F(NeoUtilsTest, ColourCountAndModes) {
  EXPECT_EQ(ColorCountFromBits(1), 2);
  EXPECT_EQ(ColorCountFromBits(4), 16);
  EXPECT_EQ(ColorCountFromBits(8), 256);
  EXPECT_EQ(ColorCountFromBits(9), 16777216);
  EXPECT_EQ(ColorCountFromBits(32), 16777216);
  UseColors(256);
  EXPECT_TRUE(LowColorMode());
  UseColors(16);
  EXPECT_TRUE(LowColorMode());
  UseColors(65536);
  EXPECT_FALSE(LowColorMode());
}

}  // namespace
}  // namespace kyt::controls
