// The recognition driver: what it feeds the network and how it assembles the text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Error.h"
#include "platform/headless/HeadlessPlatform.h"
#include "recognition/BackPropCls.h"
#include "recognition/DCRFra.h"

namespace kyt {
namespace {

// A network that answers from a script and records what it was given.
class ScriptedNetwork : public TBackProp {
 public:
  ScriptedNetwork(std::vector<std::string> answers, int32_t cols = 20, int32_t rows = 20)
      : answers_(std::move(answers)) {
    InputCols = cols;
    InputRows = rows;
    InputCount = cols * rows;
    InputLayer.assign(size_t(InputCount) + 1, 0.0f);
  }

  void Propagate() override {
    calls += 'P';
    inputs.push_back(InputLayer);
    if (failAtPropagate == int(inputs.size())) throw Error("network failed");
  }
  void Recognize(std::string& name) override {
    calls += 'R';
    name = next_ < answers_.size() ? answers_[next_++] : std::string();
  }

  std::string calls;
  std::vector<TLayer> inputs;
  int failAtPropagate = 0;

 private:
  std::vector<std::string> answers_;
  size_t next_ = 0;
};

// A page of 3 x 5 blocks: lines of words, each word a number of glyphs.
// Glyphs 2 columns apart, words 30, lines 3 rows apart, a margin of 5.
Bitmap Page(const std::vector<std::vector<int>>& lines) {
  int32_t width = 0;
  for (const auto& line : lines) {
    int32_t x = 5;
    for (int glyphs : line) x += glyphs * 5 - 2 + 30;
    width = std::max(width, x);
  }
  Bitmap page(width, 5 + int32_t(lines.size()) * 8, kWhite);
  int32_t y = 5;
  for (const auto& line : lines) {
    int32_t x = 5;
    for (int glyphs : line) {
      for (int g = 0; g < glyphs; ++g, x += 5) page.FillRect(x, y, x + 3, y + 5, kBlack);
      x += 30 - 2;
    }
    y += 8;
  }
  return page;
}

class RecognizeText : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPlatform(&platform_);
    frame.SetUp();
  }
  void TearDown() override { SetPlatform(nullptr); }

  std::string Run(const Bitmap& picture, ScriptedNetwork& network) {
    frame.AssignPicture(picture);
    frame.RecognizeText(network);
    return frame.ResultText;
  }

  HeadlessPlatform platform_;
  TDCRFrame frame;
};

TEST_F(RecognizeText, HelloWorldByeExample) {
  ScriptedNetwork network({"H", "e", "l", "l", "o", "w", "o", "r", "l", "d", ".", "B", "y", "e", "."});
  EXPECT_EQ(Run(Page({{5, 6}, {4}}), network), "Hello world.\r\n Bye.\r\n ");
  // Every glyph: the forward pass, then the answer.
  std::string expected;
  for (int i = 0; i < 15; ++i) expected += "PR";
  EXPECT_EQ(network.calls, expected);
  EXPECT_EQ(platform_.CursorHistory, (std::vector<int32_t>{kCursorHourglass, kCursorDefault}));
  // The segmentation stays in the frame.
  ASSERT_EQ(frame.Lines.size(), 2u);
  EXPECT_EQ(frame.Lines[0].Words.size(), 2u);
}

TEST_F(RecognizeText, OnlyALineFinalFullStopBreaksTheLine) {
  // "a." ends a word that is not the line's last; "bc" ends the line without one.
  ScriptedNetwork network({"a", ".", "b", "c", "d"});
  EXPECT_EQ(Run(Page({{2, 2}, {1}}), network), "a. bc d ");
}

TEST_F(RecognizeText, ASingleGlyph) {
  ScriptedNetwork letter({"x"});
  EXPECT_EQ(Run(Page({{1}}), letter), "x ");
  ScriptedNetwork stop({"."});
  EXPECT_EQ(Run(Page({{1}}), stop), ".\r\n ");
  // Only exactly "." counts; answers may be longer or empty.
  ScriptedNetwork longer({".."});
  EXPECT_EQ(Run(Page({{1}}), longer), ".. ");
  ScriptedNetwork several({"ab", "", "c"});
  EXPECT_EQ(Run(Page({{3}}), several), "abc ");
}

TEST_F(RecognizeText, ASkippedGlyphAfterTheFullStopPreventsTheBreak) {
  Bitmap picture = Page({{1}});
  picture.FillRect(10, 9, 11, 11, kBlack);  // a two-pixel speck after the block at 5..7
  ScriptedNetwork network({"."});
  EXPECT_EQ(Run(picture, network), ". ");
  EXPECT_EQ(network.calls, "PR");
  ASSERT_EQ(frame.Lines.at(0).Words.at(0).Chars.size(), 2u);
  EXPECT_TRUE(frame.Lines[0].Words[0].Chars[1].Skipped);
}

TEST_F(RecognizeText, AWordOfSkippedGlyphsStillAddsItsSpace) {
  Bitmap picture(120, 15, kWhite);
  picture.FillRect(5, 5, 8, 10, kBlack);
  picture.FillRect(50, 6, 51, 8, kBlack);  // noise, a word of its own
  picture.FillRect(95, 5, 98, 10, kBlack);
  ScriptedNetwork network({"x", "y"});
  EXPECT_EQ(Run(picture, network), "x  y ");
  EXPECT_EQ(network.inputs.size(), 2u);
}

TEST_F(RecognizeText, ANetworkWithoutPatternsGivesOneSpacePerWord) {
  ScriptedNetwork network({});
  EXPECT_EQ(Run(Page({{3, 1}, {2}}), network), "   ");
}

TEST_F(RecognizeText, AWhitePictureGivesAnEmptyText) {
  frame.ResultText = "from before";
  ScriptedNetwork network({"x"});
  EXPECT_EQ(Run(Bitmap(50, 40, kWhite), network), "");
  EXPECT_EQ(network.calls, "");
  EXPECT_EQ(platform_.CursorHistory, (std::vector<int32_t>{kCursorHourglass, kCursorDefault}));
  // No picture at all.
  EXPECT_EQ(Run(Bitmap(), network), "");
}

TEST_F(RecognizeText, TheGlyphIsDrawnWithAbsorbedPiecesAndScaledToTheGrid) {
  // An i (dot, gap, stem of 4) beside a bar that keeps the gap row in the line.
  Bitmap picture(20, 6, kWhite);
  picture.SetPixel(2, 0, kBlack);
  picture.FillRect(2, 2, 3, 6, kBlack);
  picture.FillRect(10, 0, 11, 6, kBlack);
  frame.NoiseThreshold = 1;
  frame.SpaceWidth = 5;
  ScriptedNetwork network({"i", "|"});
  EXPECT_EQ(Run(picture, network), "i | ");
  ASSERT_EQ(network.inputs.size(), 2u);
  // A 1 x 6 glyph fills 4 columns of the 20 x 20 grid: the dot at the top,
  // white rows where the gap is, the stem below.
  const TLayer& in = network.inputs[0];
  auto cell = [&](int x, int y) { return in[size_t(y * 20 + x + 1)]; };
  for (int y = 0; y < 20; ++y)
    for (int x = 4; x < 20; ++x) ASSERT_EQ(cell(x, y), -1.0f) << x << "," << y;
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(cell(x, 0), 1.0f);
    EXPECT_EQ(cell(x, 5), -1.0f);
    for (int y = 10; y < 20; ++y) EXPECT_EQ(cell(x, y), 1.0f);
  }
  EXPECT_EQ(in[0], 0.0f);  // the bias element is left alone
}

TEST_F(RecognizeText, TheGridTakesTheNetworksColumnsAndRows) {
  // A 4 x 1 bar in a grid 8 wide and 6 high: the top 2 rows.
  Bitmap picture(10, 3, kWhite);
  picture.FillRect(3, 1, 7, 2, kBlack);
  frame.NoiseThreshold = 1;
  ScriptedNetwork network({"-"}, 8, 6);
  EXPECT_EQ(Run(picture, network), "- ");
  ASSERT_EQ(network.inputs.size(), 1u);
  ASSERT_EQ(network.inputs[0].size(), 49u);
  for (size_t i = 1; i <= 48; ++i) EXPECT_EQ(network.inputs[0][i], i <= 16 ? 1.0f : -1.0f) << i;
}

TEST_F(RecognizeText, AnErrorEndsTheRunAndRestoresTheCursor) {
  ScriptedNetwork network({"H", "e", "l"});
  network.failAtPropagate = 2;
  frame.AssignPicture(Page({{3}}));
  EXPECT_THROW(frame.RecognizeText(network), Error);
  EXPECT_EQ(frame.ResultText, "H");
  EXPECT_EQ(network.calls, "PRP");
  EXPECT_EQ(platform_.CursorHistory, (std::vector<int32_t>{kCursorHourglass, kCursorDefault}));
}

TEST_F(RecognizeText, AnInputLayerTooSmallForTheGridIsAnError) {
  ScriptedNetwork network({"x"});
  network.InputLayer.resize(100);  // the grid needs 401 elements
  frame.AssignPicture(Page({{1}}));
  EXPECT_THROW(frame.RecognizeText(network), Error);
  EXPECT_EQ(network.calls, "");
  EXPECT_EQ(platform_.Cursor, kCursorDefault);
}

}  // namespace
}  // namespace kyt
