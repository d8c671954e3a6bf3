// Glyph extraction: connected groups, their numbering, merging and noise,
// and the label-equivalence tables behind them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Error.h"
#include "recognition/DCRFra.h"
#include "recognition/FindChars.h"
#include "segmentation_drawing.h"

namespace kyt {
namespace {

using testing::DrawRows;
using testing::Segment;
using Points = std::vector<TPoint>;

// The glyphs of a picture that is one line of one word.
std::vector<TChar> GlyphsOfOneWord(TDCRFrame& frame, const std::vector<std::string>& rows) {
  Segment(frame, DrawRows(rows));
  EXPECT_EQ(frame.Lines.size(), 1u);
  if (frame.Lines.size() != 1) return {};
  EXPECT_EQ(frame.Lines[0].Words.size(), 1u);
  if (frame.Lines[0].Words.size() != 1) return {};
  return frame.Lines[0].Words[0].Chars;
}

// The same for pictures with empty rows inside the glyphs: a bar to the right
// in a word of its own keeps the rows in one line.
std::vector<TChar> GlyphsBesideABar(TDCRFrame& frame, std::vector<std::string> rows) {
  for (std::string& row : rows) row += "...#";
  frame.SpaceWidth = 3;
  Segment(frame, DrawRows(rows));
  EXPECT_EQ(frame.Lines.size(), 1u);
  if (frame.Lines.size() != 1) return {};
  EXPECT_EQ(frame.Lines[0].Words.size(), 2u);
  if (frame.Lines[0].Words.size() != 2) return {};
  return frame.Lines[0].Words[0].Chars;
}

TEST(FindChars, DiagonalNeighboursAreOneGlyph) {
  TDCRFrame frame;
  frame.NoiseThreshold = 1;
  for (const auto& rows : {std::vector<std::string>{"#.", ".#"}, std::vector<std::string>{".#", "#."},
                           std::vector<std::string>{"..#", ".#.", "#..", ".#.", "..#"}}) {
    const auto chars = GlyphsOfOneWord(frame, rows);
    ASSERT_EQ(chars.size(), 1u) << rows[0];
    EXPECT_EQ(chars[0].Pixels.size(), rows.size() == 2 ? 2u : 5u);
  }
}

TEST(FindChars, CoordinatesAreRelativeToTheWordFromOne) {
  TDCRFrame frame;
  frame.NoiseThreshold = 1;
  frame.SpaceWidth = 3;
  Segment(frame, DrawRows({
                     "..........",
                     "..........",
                     "...##.....",  // line starts at row 2, first word at column 3
                     "....#...#.",  // second word at column 8
                 }));
  ASSERT_EQ(frame.Lines.size(), 1u);
  ASSERT_EQ(frame.Lines[0].Words.size(), 2u);
  const TChar& first = frame.Lines[0].Words[0].Chars.at(0);
  // Column by column, top to bottom.
  EXPECT_EQ(first.Pixels, (Points{{1, 1}, {2, 1}, {2, 2}}));
  EXPECT_EQ(first.TopLeft, (TPoint{1, 1}));
  EXPECT_EQ(first.BottomRight, (TPoint{2, 2}));
  const TChar& second = frame.Lines[0].Words[1].Chars.at(0);
  EXPECT_EQ(second.Pixels, (Points{{1, 2}}));
  EXPECT_EQ(second.TopLeft, (TPoint{1, 2}));
  EXPECT_EQ(second.BottomRight, (TPoint{1, 2}));
}

TEST(FindChars, GlyphsAreNumberedByTheirFirstPixelColumnByColumn) {
  TDCRFrame frame;
  frame.NoiseThreshold = 1;
  const auto chars = GlyphsOfOneWord(frame, {
                                                "....#",  // the topmost glyph...
                                                "#...#",
                                                "#.#..",
                                                "...#.",  // ...starts in the last column
                                            });
  ASSERT_EQ(chars.size(), 3u);
  EXPECT_EQ(chars[0].Pixels, (Points{{1, 2}, {1, 3}}));
  EXPECT_EQ(chars[1].Pixels, (Points{{3, 3}, {4, 4}}));
  EXPECT_EQ(chars[2].Pixels, (Points{{5, 1}, {5, 2}}));
  for (const TChar& c : chars) EXPECT_FALSE(c.Skipped);
}

TEST(FindChars, ADotAboveAStemIsMergedIntoTheLaterGlyph) {
  TDCRFrame frame;
  frame.NoiseThreshold = 1;
  const auto chars = GlyphsBesideABar(frame, {
                                                ".#.",
                                                "...",
                                                "##.",
                                                ".#.",
                                                ".#.",
                                                "###",
                                            });
  ASSERT_EQ(chars.size(), 2u);
  // The stem starts in column 1, so it is glyph 0; the dot (column 2) is glyph 1
  // and its range lies within the stem's: the dot takes everything.
  EXPECT_TRUE(chars[0].Skipped);
  EXPECT_FALSE(chars[1].Skipped);
  EXPECT_EQ(chars[1].Pixels, (Points{{2, 1}, {1, 3}, {1, 6}, {2, 3}, {2, 4}, {2, 5}, {2, 6}, {3, 6}}));
  EXPECT_EQ(chars[1].TopLeft, (TPoint{1, 1}));
  EXPECT_EQ(chars[1].BottomRight, (TPoint{3, 6}));
  // The absorbed glyph keeps its own pixels and box.
  EXPECT_EQ(chars[0].Pixels.size(), 7u);
  EXPECT_EQ(chars[0].TopLeft, (TPoint{1, 3}));
}

TEST(FindChars, StackedPiecesInOneColumnRangeCollectIntoTheLast) {
  // Like the letter i: dot first in the scan, stem after it; then like ё:
  // a body with two dots, the chain ends in the rightmost dot.
  TDCRFrame frame;
  frame.NoiseThreshold = 1;
  auto chars = GlyphsBesideABar(frame, {"#", ".", "#", "#", "#"});
  ASSERT_EQ(chars.size(), 2u);
  EXPECT_TRUE(chars[0].Skipped);
  EXPECT_EQ(chars[1].Pixels, (Points{{1, 3}, {1, 4}, {1, 5}, {1, 1}}));
  EXPECT_EQ(chars[1].TopLeft, (TPoint{1, 1}));
  EXPECT_EQ(chars[1].BottomRight, (TPoint{1, 5}));

  chars = GlyphsBesideABar(frame, {
                                     ".#.#.",
                                     ".....",
                                     ".###.",
                                     "#...#",
                                     "#####",
                                     "#....",
                                     ".###.",
                                 });
  ASSERT_EQ(chars.size(), 3u);
  EXPECT_TRUE(chars[0].Skipped);
  EXPECT_TRUE(chars[1].Skipped);
  EXPECT_FALSE(chars[2].Skipped);
  EXPECT_EQ(chars[2].Pixels.size(), 2u + 14u);
  EXPECT_EQ(chars[2].TopLeft, (TPoint{1, 1}));
  EXPECT_EQ(chars[2].BottomRight, (TPoint{5, 7}));
  EXPECT_EQ(chars[2].Pixels.front(), (TPoint{4, 1}));  // its own pixel comes first
}

TEST(FindChars, ALongChainOfStackedPiecesStoresEveryPixelAtMostTwice) {
  // Bars stacked one above the other, as in hatching or a dithered picture:
  // each lies within the next one's columns, so the chain collects into the
  // last bar. The pieces handed on keep only the pixels found for them;
  // copying every accumulated list into every piece would grow with the
  // square of the chain's length.
  constexpr int kBars = 60;
  constexpr int kBarWidth = 40;
  std::vector<std::string> rows;
  for (int b = 0; b < kBars; ++b) {
    rows.push_back(std::string(kBarWidth, '#'));
    rows.push_back(std::string(kBarWidth, '.'));
  }
  TDCRFrame frame;
  frame.NoiseThreshold = 1;
  const auto chars = GlyphsBesideABar(frame, rows);
  ASSERT_EQ(chars.size(), size_t(kBars));
  size_t stored = 0;
  for (int b = 0; b + 1 < kBars; ++b) {
    EXPECT_TRUE(chars[size_t(b)].Skipped) << b;
    EXPECT_EQ(chars[size_t(b)].Pixels.size(), size_t(kBarWidth)) << b;
    EXPECT_EQ(chars[size_t(b)].Pixels.front(), (TPoint{1, 2 * b + 1})) << b;
    stored += chars[size_t(b)].Pixels.size();
  }
  const TChar& last = chars.back();
  EXPECT_FALSE(last.Skipped);
  ASSERT_EQ(last.Pixels.size(), size_t(kBars * kBarWidth));
  stored += last.Pixels.size();
  EXPECT_LE(stored, size_t(2 * kBars * kBarWidth));
  // Its own pixels first, then those of the piece before it, and so on back.
  for (int b = 0; b < kBars; ++b)
    EXPECT_EQ(last.Pixels[size_t(b * kBarWidth)], (TPoint{1, 2 * (kBars - 1 - b) + 1})) << b;
  EXPECT_EQ(last.TopLeft, (TPoint{1, 1}));
  EXPECT_EQ(last.BottomRight, (TPoint{kBarWidth, 2 * kBars - 1}));
}

TEST(FindChars, OverlappingRangesThatDoNotNestStaySeparate) {
  TDCRFrame frame;
  frame.NoiseThreshold = 1;
  const auto chars = GlyphsBesideABar(frame, {"##.", "...", ".##"});
  ASSERT_EQ(chars.size(), 2u);
  for (const TChar& c : chars) EXPECT_FALSE(c.Skipped);
  EXPECT_EQ(chars[0].Pixels, (Points{{1, 1}, {2, 1}}));
  EXPECT_EQ(chars[1].Pixels, (Points{{2, 3}, {3, 3}}));
}

TEST(FindChars, ALostLinkSplitsAGroupThatMergingJoinsAgain) {
  // One 8-connected group. The pixel at (3, 6) first takes the label of the
  // piece above it and then overwrites the entry of the left column's label,
  // losing that label's earlier link to the top of column 3. Labelling
  // yields two glyphs; as the top piece lies within the other's columns,
  // merging hands everything to it.
  TDCRFrame frame;
  frame.NoiseThreshold = 1;
  const auto chars = GlyphsOfOneWord(frame, {
                                                "..#",
                                                "..#",
                                                ".#.",
                                                "#..",
                                                "#.#",
                                                "#.#",
                                                ".#.",
                                            });
  ASSERT_EQ(chars.size(), 2u);
  EXPECT_TRUE(chars[0].Skipped);
  EXPECT_EQ(chars[0].Pixels, (Points{{1, 4}, {1, 5}, {1, 6}, {2, 3}, {2, 7}, {3, 5}, {3, 6}}));
  EXPECT_FALSE(chars[1].Skipped);
  EXPECT_EQ(chars[1].Pixels,
            (Points{{3, 1}, {3, 2}, {1, 4}, {1, 5}, {1, 6}, {2, 3}, {2, 7}, {3, 5}, {3, 6}}));
  EXPECT_EQ(chars[1].TopLeft, (TPoint{1, 1}));
  EXPECT_EQ(chars[1].BottomRight, (TPoint{3, 7}));
}

TEST(FindChars, TheFirstLabelledNeighbourNamesTheGroup) {
  // (2, 2) takes the label of the pixel above it and links the left column's
  // upper piece to it; (2, 4) then reaches that piece first and links the
  // lower one. Taking the neighbours in another order loses a link here.
  TDCRFrame frame;
  frame.NoiseThreshold = 1;
  const auto chars = GlyphsOfOneWord(frame, {
                                                ".#.",
                                                ".##",
                                                "#..",
                                                ".##",
                                                "#..",
                                            });
  ASSERT_EQ(chars.size(), 1u);
  EXPECT_EQ(chars[0].Pixels, (Points{{1, 3}, {1, 5}, {2, 1}, {2, 2}, {2, 4}, {3, 2}, {3, 4}}));
  EXPECT_EQ(chars[0].TopLeft, (TPoint{1, 1}));
  EXPECT_EQ(chars[0].BottomRight, (TPoint{3, 5}));
}

TEST(FindChars, FewerPixelsThanTheNoiseThresholdAreSkipped) {
  TDCRFrame frame;
  ASSERT_EQ(frame.NoiseThreshold, 10);
  frame.SpaceWidth = 3;
  Segment(frame, DrawRows({
                     "###...##...#.",
                     "###...##...##",
                     "###...##...##",
                     "......##...##",
                     "......##...##",
                 }));
  ASSERT_EQ(frame.Lines.size(), 1u);
  const auto& words = frame.Lines[0].Words;
  ASSERT_EQ(words.size(), 3u);
  const size_t pixels[3] = {9, 10, 9};
  for (size_t w = 0; w < 3; ++w) {
    ASSERT_EQ(words[w].Chars.size(), 1u);
    EXPECT_EQ(words[w].Chars[0].Pixels.size(), pixels[w]);
    EXPECT_EQ(words[w].Chars[0].Skipped, pixels[w] < 10) << w;
  }

  // Ten pixels, two of them absorbed from a dot: recognised.
  auto chars = GlyphsBesideABar(frame, {"##", "..", "##", "##", "##", "##"});
  ASSERT_EQ(chars.size(), 2u);
  EXPECT_TRUE(chars[0].Skipped);
  EXPECT_EQ(chars[1].Pixels.size(), 10u);
  EXPECT_FALSE(chars[1].Skipped);
  // Nine, the same way: noise.
  chars = GlyphsBesideABar(frame, {"#.", "..", "##", "##", "##", "##"});
  ASSERT_EQ(chars.size(), 2u);
  EXPECT_EQ(chars[1].Pixels.size(), 9u);
  EXPECT_TRUE(chars[1].Skipped);
}

TEST(FindChars, ANoiseThresholdOfOneOrBelowKeepsEverything) {
  for (int32_t noise : {1, 0, -7}) {
    TDCRFrame frame;
    frame.NoiseThreshold = noise;
    const auto chars = GlyphsOfOneWord(frame, {"#.#"});
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_FALSE(chars[0].Skipped);
    EXPECT_FALSE(chars[1].Skipped);
  }
  TDCRFrame frame;
  frame.NoiseThreshold = 2;
  EXPECT_TRUE(GlyphsOfOneWord(frame, {"#"}).at(0).Skipped);
}

TEST(FindChars, AThresholdAbove255MakesTheWholePictureOneGlyph) {
  TDCRFrame frame;
  frame.BWThreshold = 256;
  Segment(frame, Bitmap(13, 7, kWhite));
  ASSERT_EQ(frame.Lines.size(), 1u);
  ASSERT_EQ(frame.Lines[0].Words.size(), 1u);
  const auto& chars = frame.Lines[0].Words[0].Chars;
  ASSERT_EQ(chars.size(), 1u);
  EXPECT_EQ(chars[0].Pixels.size(), 13u * 7u);
  EXPECT_EQ(chars[0].TopLeft, (TPoint{1, 1}));
  EXPECT_EQ(chars[0].BottomRight, (TPoint{13, 7}));
  EXPECT_FALSE(chars[0].Skipped);
}

TEST(FindChars, EveryRunStartsAfresh) {
  TDCRFrame frame;
  frame.NoiseThreshold = 1;
  Segment(frame, DrawRows({"#.#.#", "#.#.#"}));
  ASSERT_EQ(frame.Lines.at(0).Words.at(0).Chars.size(), 3u);
  Segment(frame, DrawRows({"#", "#"}));
  ASSERT_EQ(frame.Lines.size(), 1u);
  EXPECT_EQ(frame.Lines[0].Words.at(0).Chars.size(), 1u);
}

TEST(LabelEquivalence, ResolutionFollowsChainsToTheirRoots) {
  TPixelLabels table{0, 0, 1, 5, 4, 4, 6};
  labels::ResolveEquivalences(table);
  EXPECT_EQ(table, (TPixelLabels{0, 0, 0, 4, 4, 4, 6}));
}

TEST(LabelEquivalence, ACycleEndsAtTheFirstLabelMetTwice) {
  // 0 -> 1 -> 2 -> 1: label 1 is met twice and becomes the root.
  TPixelLabels table{1, 2, 1};
  labels::ResolveEquivalences(table);
  EXPECT_EQ(table, (TPixelLabels{1, 1, 1}));

  // A cycle through the entry being resolved: 0 -> 2 -> 3 -> 0.
  table = {2, 1, 3, 0};
  labels::ResolveEquivalences(table);
  EXPECT_EQ(table, (TPixelLabels{2, 1, 2, 2}));

  // Two separate cycles stay two groups.
  table = {1, 0, 3, 2, 4};
  labels::ResolveEquivalences(table);
  for (int32_t label = 0; label < 5; ++label) EXPECT_EQ(table[size_t(table[size_t(label)])], table[size_t(label)]);
  EXPECT_EQ(table[0], table[1]);
  EXPECT_EQ(table[2], table[3]);
  EXPECT_NE(table[0], table[2]);
  EXPECT_EQ(table[4], 4);
}

TEST(LabelEquivalence, AnEntryOutsideTheTableIsAnError) {
  TPixelLabels table{0, 7};
  EXPECT_THROW(labels::ResolveEquivalences(table), Error);
  table = {0, -1};
  EXPECT_THROW(labels::ResolveEquivalences(table), Error);
}

TEST(LabelEquivalence, RootsAreNumberedInTheOrderOfTheirSmallestLabel) {
  TPixelLabels table{3, 1, 3, 3, 1, 5};
  EXPECT_EQ(labels::RenumberEquivalences(table), 3);
  EXPECT_EQ(table, (TPixelLabels{0, 1, 0, 0, 1, 2}));
  TPixelLabels empty;
  EXPECT_EQ(labels::RenumberEquivalences(empty), 0);
}

}  // namespace
}  // namespace kyt
