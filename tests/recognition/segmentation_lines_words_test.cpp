// Line finding and word finding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recognition/DCRFra.h"
#include "segmentation_drawing.h"

namespace kyt {
namespace {

using testing::DrawRows;

struct Span {
  int32_t first, last;
  bool operator==(const Span&) const = default;
};

std::vector<Span> LineSpans(const TDCRFrame& frame) {
  std::vector<Span> spans;
  for (const TLine& line : frame.Lines) spans.push_back({line.Top, line.Bottom});
  return spans;
}

std::vector<Span> WordSpans(const TLine& line) {
  std::vector<Span> spans;
  for (const TWord& word : line.Words) spans.push_back({word.Left, word.Right});
  return spans;
}

void FindLinesAndWords(TDCRFrame& frame, const Bitmap& picture) {
  frame.AssignPicture(picture);
  frame.Binarize();
  frame.FindLines();
  frame.FindWords();
}

TEST(FindLines, WhitePictureHasNoLines) {
  TDCRFrame frame;
  FindLinesAndWords(frame, Bitmap(60, 40, kWhite));
  EXPECT_TRUE(frame.Lines.empty());
}

TEST(FindLines, OneEmptyRowSeparatesAndTouchingRowsJoin) {
  TDCRFrame frame;
  FindLinesAndWords(frame, DrawRows({
                               "......",
                               "#.....",  // 1
                               ".....#",  // 2: ink far away still continues the line
                               "......",
                               "..#...",  // 4: a line of one row
                               "......",
                               "......",
                               ".#....",  // 7
                               "...#..",  // 8
                           }));
  EXPECT_EQ(LineSpans(frame), (std::vector<Span>{{1, 2}, {4, 4}, {7, 8}}));
  for (const TLine& line : frame.Lines) EXPECT_EQ(line.Words.size(), 1u);
}

TEST(FindLines, InkInTheFirstAndLastRowsOpensAndClosesLines) {
  TDCRFrame frame;
  FindLinesAndWords(frame, DrawRows({"#..", "...", "..#"}));
  EXPECT_EQ(LineSpans(frame), (std::vector<Span>{{0, 0}, {2, 2}}));
  FindLinesAndWords(frame, DrawRows({"#", "#", "#"}));
  EXPECT_EQ(LineSpans(frame), (std::vector<Span>{{0, 2}}));
}

TEST(FindWords, GapsShorterThanSpaceWidthStayInsideAWord) {
  TDCRFrame frame;
  frame.SpaceWidth = 3;
  // Words at 1-2 and 5 (gap 2, joined), then gap 3 before 9-10, then a last
  // word ending 2 columns before the right edge.
  FindLinesAndWords(frame, DrawRows({".##..#...##..#.."}));
  ASSERT_EQ(frame.Lines.size(), 1u);
  EXPECT_EQ(WordSpans(frame.Lines[0]), (std::vector<Span>{{1, 5}, {9, 15}}));
}

TEST(FindWords, AGapOfExactlySpaceWidthSeparatesAndEndsAtTheLastInkColumn) {
  TDCRFrame frame;
  frame.SpaceWidth = 4;
  FindLinesAndWords(frame, DrawRows({"#...#....#....#...."}));
  ASSERT_EQ(frame.Lines.size(), 1u);
  // 0 and 4 are 3 apart (joined); 4 to 9 and 9 to 14 leave 4 empty columns;
  // the last word has 4 empty columns after it, so it ends at its ink too.
  EXPECT_EQ(WordSpans(frame.Lines[0]), (std::vector<Span>{{0, 4}, {9, 9}, {14, 14}}));
}

TEST(FindWords, TheLastWordNearTheEdgeRunsToTheLastColumn) {
  TDCRFrame frame;
  frame.SpaceWidth = 22;  // the default
  Bitmap picture(100, 3, kWhite);
  picture.FillRect(10, 0, 13, 3, kBlack);
  picture.FillRect(40, 1, 42, 2, kBlack);
  picture.FillRect(78, 0, 79, 3, kBlack);  // 21 columns to the edge
  FindLinesAndWords(frame, picture);
  ASSERT_EQ(frame.Lines.size(), 1u);
  EXPECT_EQ(WordSpans(frame.Lines[0]), (std::vector<Span>{{10, 12}, {40, 41}, {78, 99}}));
}

TEST(FindWords, SpaceWidthZeroOrBelowMakesEveryInkColumnAWord) {
  for (int32_t spaceWidth : {0, -1, -100}) {
    TDCRFrame frame;
    frame.SpaceWidth = spaceWidth;
    FindLinesAndWords(frame, DrawRows({"##.#", "....", ".#.."}));
    ASSERT_EQ(frame.Lines.size(), 2u);
    EXPECT_EQ(WordSpans(frame.Lines[0]), (std::vector<Span>{{0, 0}, {1, 1}, {3, 3}})) << spaceWidth;
    EXPECT_EQ(WordSpans(frame.Lines[1]), (std::vector<Span>{{1, 1}})) << spaceWidth;
  }
}

TEST(FindWords, EachLineLooksOnlyAtItsOwnRows) {
  TDCRFrame frame;
  frame.SpaceWidth = 2;
  FindLinesAndWords(frame, DrawRows({
                               "#....#",
                               "......",
                               "..#...",
                           }));
  ASSERT_EQ(frame.Lines.size(), 2u);
  EXPECT_EQ(WordSpans(frame.Lines[0]), (std::vector<Span>{{0, 0}, {5, 5}}));
  // Alone in its line: closes after two empty columns at 3 and 4.
  EXPECT_EQ(WordSpans(frame.Lines[1]), (std::vector<Span>{{2, 2}}));
}

TEST(FindWords, ThresholdAbove255MakesThePictureOneLineOfOneWord) {
  TDCRFrame frame;
  frame.BWThreshold = 256;
  FindLinesAndWords(frame, Bitmap(30, 12, kWhite));
  EXPECT_EQ(LineSpans(frame), (std::vector<Span>{{0, 11}}));
  ASSERT_EQ(frame.Lines.size(), 1u);
  EXPECT_EQ(WordSpans(frame.Lines[0]), (std::vector<Span>{{0, 29}}));
}

TEST(FindWords, ThresholdZeroMakesEveryPixelBackground) {
  TDCRFrame frame;
  frame.BWThreshold = 0;
  FindLinesAndWords(frame, Bitmap(30, 12, kBlack));
  EXPECT_TRUE(frame.Lines.empty());
}

}  // namespace
}  // namespace kyt
