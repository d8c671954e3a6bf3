// Glyph normalisation into the network grid and the network input encoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/Error.h"
#include "recognition/BackPropCls.h"
#include "recognition/GlobalMdl.h"

namespace kyt {
namespace {

struct Size {
  int32_t w, h;
};

Bitmap Solid(int32_t w, int32_t h) { return Bitmap(w, h, kBlack); }

// Number of black cells of the grid and whether all others are white.
int32_t BlackCells(const Bitmap& grid, bool* twoColoured = nullptr) {
  int32_t black = 0;
  bool ok = true;
  for (int32_t y = 0; y < grid.Height(); ++y)
    for (int32_t x = 0; x < grid.Width(); ++x) {
      if (grid.Pixel(x, y) == kBlack) ++black;
      else if (grid.Pixel(x, y) != kWhite) ok = false;
    }
  if (twoColoured) *twoColoured = ok;
  return black;
}

bool BlackExactlyIn(const Bitmap& grid, int32_t width, int32_t height) {
  for (int32_t y = 0; y < grid.Height(); ++y)
    for (int32_t x = 0; x < grid.Width(); ++x)
      if ((grid.Pixel(x, y) == kBlack) != (x < width && y < height)) return false;
  return true;
}

TEST(GlyphDestination, KeepsTheAspectRatioAndRoundsUp) {
  struct Case {
    Size box, expected;
  } cases[] = {
      {{1, 1}, {20, 20}}, {{10, 10}, {20, 20}}, {{10, 2}, {20, 4}},  {{2, 10}, {4, 20}},
      {{7, 3}, {20, 9}},  {{3, 7}, {9, 20}},    {{40, 1}, {20, 1}},  {{1, 40}, {1, 20}},
      {{21, 20}, {20, 20}}, {{20, 21}, {20, 20}},
  };
  for (const Case& c : cases) {
    const GlyphRect r = GlyphDestination(c.box.w, c.box.h, 20, 20);
    EXPECT_EQ(r.Width, c.expected.w) << c.box.w << " x " << c.box.h;
    EXPECT_EQ(r.Height, c.expected.h) << c.box.w << " x " << c.box.h;
  }
  const GlyphRect odd = GlyphDestination(3, 1, 10, 5);  // h = 3.33...
  EXPECT_EQ(odd.Width, 10);
  EXPECT_EQ(odd.Height, 4);
}

TEST(GlyphDestination, ExtendedPrecisionOvershootsForSomeLargeBoxes) {
  // 20 / 75 * 75 lands just above 20 with a 64-bit mantissa: the second branch,
  // and 21 columns.
  GlyphRect r = GlyphDestination(75, 75, 20, 20);
  EXPECT_EQ(r.Width, 21);
  EXPECT_EQ(r.Height, 20);
  // 20 / 68 * 51 comes out just above 15.
  r = GlyphDestination(51, 68, 20, 20);
  EXPECT_EQ(r.Width, 16);
  EXPECT_EQ(r.Height, 20);
}

TEST(GlyphDestination, BoxesBelow68PixelsMatchExactArithmetic) {
  for (int32_t bw = 1; bw < 68; ++bw)
    for (int32_t bh = 1; bh < 68; ++bh) {
      // Exact: full width when the box is at least as wide as high.
      const int32_t w = bw >= bh ? 20 : (20 * bw + bh - 1) / bh;
      const int32_t h = bw >= bh ? (20 * bh + bw - 1) / bw : 20;
      const GlyphRect r = GlyphDestination(bw, bh, 20, 20);
      ASSERT_EQ(r.Width, w) << bw << " x " << bh;
      ASSERT_EQ(r.Height, h) << bw << " x " << bh;
    }
}

TEST(GlyphDestination, AnEmptyBoxIsAnError) {
  EXPECT_THROW(GlyphDestination(0, 5, 20, 20), Error);
  EXPECT_THROW(GlyphDestination(5, -1, 20, 20), Error);
}

TEST(NormalizeGlyph, ASinglePixelFillsTheGrid) {
  const Bitmap grid = NormalizeGlyph(Solid(1, 1), 20, 20);
  ASSERT_EQ(grid.Width(), 20);
  ASSERT_EQ(grid.Height(), 20);
  EXPECT_EQ(BlackCells(grid), 400);
  TLayer layer(401, 0.0f);
  TBackProp::BitmapToInput(grid, layer);
  for (size_t i = 1; i <= 400; ++i) ASSERT_EQ(layer[i], 1.0f) << i;
}

TEST(NormalizeGlyph, ATenByTenGlyphDoublesEveryPixel) {
  Bitmap glyph(10, 10, kWhite);
  std::mt19937 random(7);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x)
      if (random() % 2) glyph.SetPixel(x, y, kBlack);
  // Ink in all four border lines, so the box is the whole bitmap.
  glyph.SetPixel(0, 0, kBlack);
  glyph.SetPixel(9, 9, kBlack);
  const Bitmap grid = NormalizeGlyph(glyph, 20, 20);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 20; ++x) ASSERT_EQ(grid.Pixel(x, y), glyph.Pixel(x / 2, y / 2)) << x << "," << y;
}

TEST(NormalizeGlyph, FlatAndNarrowBoxesFillOnlyTheirRectangle) {
  struct Case {
    Size box, filled;
  } cases[] = {{{10, 2}, {20, 4}}, {{2, 10}, {4, 20}}, {{7, 3}, {20, 9}}, {{51, 68}, {16, 20}}};
  for (const Case& c : cases) {
    const Bitmap grid = NormalizeGlyph(Solid(c.box.w, c.box.h), 20, 20);
    EXPECT_TRUE(BlackExactlyIn(grid, c.filled.w, c.filled.h)) << c.box.w << " x " << c.box.h;
  }
  // The inputs of the 10 x 2 box: the top 4 rows +1, the other 16 rows -1.
  TLayer layer(401, 0.0f);
  TBackProp::BitmapToInput(NormalizeGlyph(Solid(10, 2), 20, 20), layer);
  for (size_t i = 1; i <= 400; ++i) ASSERT_EQ(layer[i], i <= 80 ? 1.0f : -1.0f) << i;
}

TEST(NormalizeGlyph, TheColumnPastTheGridIsCutOff) {
  // 75 x 75 is stretched to 21 columns: the grid shows about the left 20/21 of
  // the glyph, so a stripe in its last three columns is not in the grid.
  Bitmap glyph(75, 75, kWhite);
  glyph.SetPixel(0, 0, kBlack);
  glyph.FillRect(72, 0, 75, 75, kBlack);
  const Bitmap grid = NormalizeGlyph(glyph, 20, 20);
  for (int32_t y = 0; y < 20; ++y) EXPECT_EQ(grid.Pixel(19, y), kWhite) << y;
  EXPECT_EQ(grid.Pixel(0, 0), kBlack);
  // With the whole glyph black, the grid is black all over.
  EXPECT_EQ(BlackCells(NormalizeGlyph(Solid(75, 75), 20, 20)), 400);
}

TEST(NormalizeGlyph, CropsToTheInkAndIgnoresNonBlackPixels) {
  Bitmap glyph(30, 25, kWhite);
  glyph.FillRect(5, 7, 15, 17, kBlack);             // a 10 x 10 square
  glyph.SetPixel(1, 1, MakeColor(1, 0, 0));         // nearly black is not ink
  glyph.SetPixel(29, 24, MakeColor(128, 128, 128));
  const Bitmap grid = NormalizeGlyph(glyph, 20, 20);
  EXPECT_EQ(BlackCells(grid), 400);
  EXPECT_EQ(glyph.Pixel(1, 1), MakeColor(1, 0, 0));  // the input is left alone
}

TEST(NormalizeGlyph, StaysTwoColouredForAnyShape) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    const int32_t w = 1 + int32_t(random() % 90), h = 1 + int32_t(random() % 90);
    Bitmap glyph(w, h, kWhite);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        if (random() % 3 == 0) glyph.SetPixel(x, y, kBlack);
    glyph.SetPixel(int32_t(random() % uint32_t(w)), int32_t(random() % uint32_t(h)), kBlack);
    bool twoColoured = false;
    const Bitmap grid = NormalizeGlyph(glyph, 20, 20);
    ASSERT_EQ(grid.Width(), 20);
    ASSERT_EQ(grid.Height(), 20);
    BlackCells(grid, &twoColoured);
    ASSERT_TRUE(twoColoured) << w << " x " << h;
  }
}

TEST(NormalizeGlyph, OtherGridSizesAndGlyphsWithoutInk) {
  Bitmap grid = NormalizeGlyph(Solid(1, 1), 16, 12);
  EXPECT_EQ(grid.Width(), 16);
  EXPECT_EQ(grid.Height(), 12);
  EXPECT_TRUE(BlackExactlyIn(grid, 12, 12));  // square stays square
  grid = NormalizeGlyph(Solid(4, 1), 8, 8);  // h = 2
  EXPECT_TRUE(BlackExactlyIn(grid, 8, 2));

  for (const Bitmap& blank : {Bitmap(5, 5, kWhite), Bitmap()}) {
    grid = NormalizeGlyph(blank, 20, 20);
    EXPECT_EQ(grid.Width(), 20);
    EXPECT_EQ(BlackCells(grid), 0);
  }
}

TEST(BitmapToInput, ReadsRowByRowFromElementOne) {
  Bitmap grid(3, 2, kWhite);
  grid.SetPixel(2, 0, kBlack);
  grid.SetPixel(0, 1, kBlack);
  grid.SetPixel(1, 1, MakeColor(0, 0, 1));  // not exactly 0
  TLayer layer(9, 5.0f);
  TBackProp::BitmapToInput(grid, layer);
  EXPECT_EQ(layer, (TLayer{5.0f, -1.0f, -1.0f, 1.0f, 1.0f, -1.0f, -1.0f, 5.0f, 5.0f}));
}

TEST(BitmapToInput, ALayerTooShortForTheGridIsAnError) {
  TLayer layer(400, 0.0f);  // one short: element 0 is the bias unit
  EXPECT_THROW(TBackProp::BitmapToInput(Bitmap(20, 20), layer), Error);
  EXPECT_EQ(layer, TLayer(400, 0.0f));
}

TEST(NormalizeGlyph, FromAPixelListGivesTheGridOfTheDrawnBitmap) {
  // The recognition driver scales a glyph straight from its pixel list; the
  // grid must be the one the drawn glyph bitmap gives, for enlarged and
  // shrunk glyphs, both branches of the destination, and odd grids.
  std::mt19937 random(20240607);
  const Size boxes[] = {{1, 1}, {10, 10}, {10, 2}, {2, 10}, {7, 3}, {75, 75}, {51, 68}, {3, 200}, {300, 4}, {41, 97}};
  const Size grids[] = {{20, 20}, {12, 16}, {1, 1}, {5, 30}, {0, 20}};
  for (const Size box : boxes) {
    for (const Size grid : grids) {
      for (int round = 0; round < 4; ++round) {
        // A glyph whose box is exactly `box`: its four corners' edges hold ink.
        Bitmap drawn(box.w, box.h, kWhite);
        std::vector<TPoint> pixels;
        const int density = 1 + round * 30;
        for (int32_t x = 0; x < box.w; ++x)
          for (int32_t y = 0; y < box.h; ++y) {
            const bool edge = (x == 0 && y == 0) || (x == box.w - 1 && y == box.h - 1);
            if (edge || int(random() % 100) < density) {
              drawn.SetPixel(x, y, kBlack);
              pixels.push_back(TPoint{x + 5, y + 3});  // word coordinates
            }
          }
        std::shuffle(pixels.begin(), pixels.end(), random);
        const Bitmap expected = NormalizeGlyph(drawn, grid.w, grid.h);
        const Bitmap got =
            NormalizeGlyphPixels(pixels, TPoint{5, 3}, TPoint{5 + box.w - 1, 3 + box.h - 1}, grid.w, grid.h);
        EXPECT_TRUE(got == expected) << box.w << " x " << box.h << " into " << grid.w << " x " << grid.h
                                     << ", round " << round;
      }
    }
  }
}

}  // namespace
}  // namespace kyt
