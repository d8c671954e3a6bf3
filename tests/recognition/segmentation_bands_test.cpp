// The segmentation over the bit-packed picture against the four stages
// written cell by cell on a plain column-by-row array, on random pictures
// whose lines and words cross the 64-row bands of the packed picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "recognition/DCRFra.h"
#include "recognition/FindChars.h"

namespace kyt {
namespace {

using Cells = std::vector<std::vector<uint8_t>>;  // [x][y]

Cells ReferenceBinarize(const Bitmap& picture, int32_t threshold) {
  Cells cells(size_t(picture.Width()), std::vector<uint8_t>(size_t(picture.Height()), 0));
  for (int32_t x = 0; x < picture.Width(); ++x)
    for (int32_t y = 0; y < picture.Height(); ++y)
      cells[size_t(x)][size_t(y)] = double(threshold) > TDCRFrame::Luminance(picture.Pixel(x, y)) ? 1 : 0;
  return cells;
}

TLines ReferenceSegment(const Cells& cells, int32_t height, int32_t spaceWidth, int32_t noise) {
  const int32_t width = int32_t(cells.size());
  TLines lines;
  bool open = false;
  for (int32_t y = 0; y < height; ++y) {
    bool ink = false;
    for (int32_t x = 0; x < width && !ink; ++x) ink = cells[size_t(x)][size_t(y)] == 1;
    if (ink && !open) {
      lines.push_back(TLine{y, 0, {}});
      open = true;
    } else if (!ink && open) {
      lines.back().Bottom = y - 1;
      open = false;
    }
  }
  if (open) lines.back().Bottom = height - 1;
  for (TLine& line : lines) {
    bool wordOpen = false;
    int32_t gap = 0;
    for (int32_t x = 0; x < width; ++x) {
      ++gap;
      for (int32_t y = line.Top; y <= line.Bottom; ++y) {
        if (cells[size_t(x)][size_t(y)] != 1) continue;
        gap = 0;
        if (!wordOpen) line.Words.push_back(TWord{x, 0, {}}), wordOpen = true;
        break;
      }
      if (wordOpen && gap >= spaceWidth) line.Words.back().Right = x - gap, wordOpen = false;
    }
    if (wordOpen) line.Words.back().Right = width - 1;
    const int32_t h = line.Bottom - line.Top + 1;
    for (TWord& word : line.Words) {
      const int32_t w = word.Right - word.Left + 1;
      std::vector<std::vector<int32_t>> label(size_t(w) + 1, std::vector<int32_t>(size_t(h) + 2, kNoLabel));
      TPixelLabels eq;
      for (int32_t i = 1; i <= w; ++i) {
        for (int32_t j = 1; j <= h; ++j) {
          if (cells[size_t(word.Left + i - 1)][size_t(line.Top + j - 1)] != 1) continue;
          const int32_t n4[4] = {label[size_t(i)][size_t(j - 1)], label[size_t(i - 1)][size_t(j - 1)],
                                 label[size_t(i - 1)][size_t(j)], label[size_t(i - 1)][size_t(j + 1)]};
          int32_t current = kNoLabel;
          for (int32_t n : n4) {
            if (n == kNoLabel) continue;
            if (current == kNoLabel) {
              current = eq[size_t(n)];
              label[size_t(i)][size_t(j)] = current;
            } else {
              eq[size_t(n)] = current;
            }
          }
          if (current == kNoLabel) {
            label[size_t(i)][size_t(j)] = int32_t(eq.size());
            eq.push_back(int32_t(eq.size()));
          }
        }
      }
      labels::ResolveEquivalences(eq);
      const int32_t glyphs = labels::RenumberEquivalences(eq);
      word.Chars.assign(size_t(glyphs), TChar{{}, {kNoLabel, kNoLabel}, {0, 0}, false});
      for (int32_t i = 1; i <= w; ++i) {
        for (int32_t j = 1; j <= h; ++j) {
          if (label[size_t(i)][size_t(j)] == kNoLabel) continue;
          TChar& c = word.Chars[size_t(eq[size_t(label[size_t(i)][size_t(j)])])];
          c.Pixels.push_back({i, j});
          c.TopLeft = {std::min(c.TopLeft.X, i), std::min(c.TopLeft.Y, j)};
          c.BottomRight = {std::max(c.BottomRight.X, i), std::max(c.BottomRight.Y, j)};
        }
      }
      // Nested pieces as first described: A's pixels appended to B's, A kept whole.
      for (size_t k = 0; k + 1 < word.Chars.size(); ++k) {
        TChar& a = word.Chars[k];
        TChar& b = word.Chars[k + 1];
        const bool nested = (a.TopLeft.X >= b.TopLeft.X && a.BottomRight.X <= b.BottomRight.X) ||
                            (b.TopLeft.X >= a.TopLeft.X && b.BottomRight.X <= a.BottomRight.X);
        if (!nested) continue;
        b.Pixels.insert(b.Pixels.end(), a.Pixels.begin(), a.Pixels.end());
        b.TopLeft = {std::min(a.TopLeft.X, b.TopLeft.X), std::min(a.TopLeft.Y, b.TopLeft.Y)};
        b.BottomRight = {std::max(a.BottomRight.X, b.BottomRight.X), std::max(a.BottomRight.Y, b.BottomRight.Y)};
        a.Skipped = true;
      }
      for (TChar& c : word.Chars)
        if (!c.Skipped) c.Skipped = int64_t(c.Pixels.size()) < int64_t(noise);
    }
  }
  return lines;
}

// Text-like blobs, vertical strokes across band edges and scattered specks.
Bitmap RandomPage(std::mt19937& random, int32_t width, int32_t height) {
  Bitmap picture(width, height, kWhite);
  const Color inks[] = {kBlack, MakeColor(120, 120, 120), MakeColor(200, 40, 10), MakeColor(195, 195, 195)};
  const int blobs = int(random() % 40);
  for (int b = 0; b < blobs; ++b) {
    const int32_t x = int32_t(random() % uint32_t(width)), y = int32_t(random() % uint32_t(height));
    const int32_t w = 1 + int32_t(random() % 9), h = 1 + int32_t(random() % 90);
    picture.FillRect(x, y, x + w, y + h, inks[random() % 4]);
  }
  const int specks = int(random() % 200);
  for (int s = 0; s < specks; ++s)
    picture.SetPixel(int32_t(random() % uint32_t(width)), int32_t(random() % uint32_t(height)), kBlack);
  return picture;
}

TEST(SegmentationBands, TheStagesOverPackedBitsMatchTheCellByCellStages) {
  std::mt19937 random(64);
  const int32_t heights[] = {1, 2, 63, 64, 65, 127, 128, 129, 191, 200};
  for (int trial = 0; trial < 300; ++trial) {
    const int32_t width = 1 + int32_t(random() % 90);
    const int32_t height = heights[size_t(trial) % std::size(heights)];
    TDCRFrame frame;
    frame.Picture = RandomPage(random, width, height);
    frame.BWThreshold = int32_t(random() % 260);
    frame.SpaceWidth = int32_t(random() % 12) - 1;
    frame.NoiseThreshold = int32_t(random() % 12);
    frame.Binarize();
    frame.FindLines();
    frame.FindWords();
    frame.FindChars();

    const Cells cells = ReferenceBinarize(frame.Picture, frame.BWThreshold);
    ASSERT_EQ(frame.ImageArray.size(), cells.size());
    for (int32_t x = 0; x < width; ++x) {
      ASSERT_EQ(frame.ImageArray[size_t(x)].size(), size_t(height));
      for (int32_t y = 0; y < height; ++y)
        ASSERT_EQ(frame.ImageArray[size_t(x)][size_t(y)], cells[size_t(x)][size_t(y)]) << trial << " " << x << "," << y;
    }
    const TLines expected = ReferenceSegment(cells, height, frame.SpaceWidth, frame.NoiseThreshold);
    ASSERT_EQ(frame.Lines.size(), expected.size()) << trial;
    for (size_t l = 0; l < expected.size(); ++l) {
      const TLine &got = frame.Lines[l], &want = expected[l];
      ASSERT_EQ(std::make_pair(got.Top, got.Bottom), std::make_pair(want.Top, want.Bottom)) << trial;
      ASSERT_EQ(got.Words.size(), want.Words.size()) << trial;
      for (size_t w = 0; w < want.Words.size(); ++w) {
        const TWord &gw = got.Words[w], &ww = want.Words[w];
        ASSERT_EQ(std::make_pair(gw.Left, gw.Right), std::make_pair(ww.Left, ww.Right)) << trial;
        ASSERT_EQ(gw.Chars.size(), ww.Chars.size()) << trial;
        for (size_t c = 0; c < ww.Chars.size(); ++c) {
          const TChar &gc = gw.Chars[c], &wc = ww.Chars[c];
          EXPECT_EQ(gc.TopLeft, wc.TopLeft) << trial;
          EXPECT_EQ(gc.BottomRight, wc.BottomRight) << trial;
          EXPECT_EQ(gc.Skipped, wc.Skipped) << trial;
          // A piece handed on keeps its own pixels only; the last of a chain holds them all.
          if (!wc.Skipped || gc.Pixels.size() == wc.Pixels.size()) {
            ASSERT_EQ(gc.Pixels, wc.Pixels) << trial;
          }
        }
      }
    }
  }
}

TEST(SegmentationBands, CellsCanBeWrittenAndReadOneByOne) {
  TImageArray image(3, 130);
  EXPECT_EQ(image.size(), 3u);
  EXPECT_EQ(image.Bands(), 3);
  image.SetInk(2, 129);
  image.SetInk(0, 63);
  image.SetInk(0, 64);
  EXPECT_EQ(image[2][129], 1);
  EXPECT_EQ(image[2][128], 0);
  EXPECT_TRUE(image.AnyInk(0, 63, 63));
  EXPECT_TRUE(image.AnyInk(0, 64, 100));
  EXPECT_FALSE(image.AnyInk(0, 65, 129));
  EXPECT_FALSE(image.AnyInk(1, 0, 129));
  std::vector<int32_t> rows;
  image.ForEachInk(0, 0, 129, [&](int32_t y) { rows.push_back(y); });
  EXPECT_EQ(rows, (std::vector<int32_t>{63, 64}));
  image.SetInk(0, 63, false);
  EXPECT_EQ(image[0][63], 0);
  size_t columns = 0;
  for (const auto& column : image) columns += column.size() == 130u;
  EXPECT_EQ(columns, 3u);
}

}  // namespace
}  // namespace kyt
