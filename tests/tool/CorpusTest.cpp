// The training corpus: lines drawn with per-pixel character labels, cut into
// labelled glyphs by the recognition's segmentation.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "Corpus.h"
#include "FontGlyphs.h"
#include "core/Error.h"

namespace kytdcr {
namespace {

std::string Sans() { return FindFontFile("DejaVuSans"); }

TEST(CorpusLines, EveryInkPixelNamesTheCharacterThatDrewIt) {
  LineRenderer font(Sans());
  LineStyle style;
  style.pixelSize = 24;
  const LabelledLine line = font.Render(U"AV", style);
  ASSERT_EQ(line.labels.size(), size_t(line.picture.Width()) * size_t(line.picture.Height()));
  int32_t lastA = -1, firstV = line.picture.Width();
  for (int32_t y = 0; y < line.picture.Height(); ++y)
    for (int32_t x = 0; x < line.picture.Width(); ++x) {
      const bool ink = kyt::RedOf(line.picture.Pixel(x, y)) < 128;
      const int32_t label = line.Label(x, y);
      if (ink) {
        EXPECT_GE(label, 0) << x << "," << y;
      }
      if (label == 0) lastA = std::max(lastA, x);
      if (label == 1) firstV = std::min(firstV, x);
    }
  // A is drawn left of V (the kerned pair may share a few columns).
  EXPECT_GE(lastA, 0);
  EXPECT_LT(firstV, line.picture.Width());
  EXPECT_LT(firstV - 4, lastA);
  EXPECT_GT(lastA, firstV - 20);
}

TEST(CorpusLines, GlyphsAreLabelledWholePairsOrPieces) {
  LineRenderer font(Sans());
  LineStyle style;
  style.pixelSize = 24;
  // Separate letters: one character each, in reading order.
  auto glyphs = CutLine(font.Render(U"ab c", style), 196, 3, 16, 16);
  ASSERT_EQ(glyphs.size(), 3u);
  EXPECT_EQ(glyphs[0].chars, std::vector<int32_t>{0});
  EXPECT_EQ(glyphs[1].chars, std::vector<int32_t>{1});
  EXPECT_EQ(glyphs[2].chars, std::vector<int32_t>{3});
  for (const CutGlyph& g : glyphs) EXPECT_EQ(g.input.size(), 256u);
  // Letters pushed into each other: one glyph holding both.
  style.letterGap = -4.0;
  glyphs = CutLine(font.Render(U"rn", style), 196, 3, 16, 16);
  ASSERT_EQ(glyphs.size(), 1u);
  EXPECT_EQ(glyphs[0].chars, (std::vector<int32_t>{0, 1}));
  // Cut apart as the page reader cuts them, the pair gives each letter too.
  const auto cut = CutLine(font.Render(U"rn", style), 196, 3, 16, 16, 0.8, true);
  ASSERT_EQ(cut.size(), 3u);
  EXPECT_FALSE(cut[0].cut);
  EXPECT_EQ(cut[0].input, glyphs[0].input);
  EXPECT_TRUE(cut[1].cut && cut[2].cut);
  EXPECT_EQ(cut[1].chars, std::vector<int32_t>{0});
  EXPECT_EQ(cut[2].chars, std::vector<int32_t>{1});
  EXPECT_NE(cut[1].input, cut[2].input);
  // A double quote falls apart into two strokes: pieces name no character.
  style.letterGap = 0.0;
  glyphs = CutLine(font.Render(U"\"", style), 196, 0, 16, 16);
  ASSERT_EQ(glyphs.size(), 2u);
  EXPECT_TRUE(glyphs[0].chars.empty());
  EXPECT_TRUE(glyphs[1].chars.empty());
}

TEST(CorpusLines, AGlyphNamesACharacterOnlyWithEnoughOfItsInk) {
  LineRenderer font(Sans());
  LineStyle style;
  style.pixelSize = 32;
  style.slant = 0.6;  // the dot of the i leans out over the stem's columns and stays apart
  const LabelledLine line = font.Render(U"i", style);
  auto glyphs = CutLine(line, 196, 0, 16, 16, 0.5);
  ASSERT_EQ(glyphs.size(), 2u);
  // The stem holds most of the letter: a sample of it when half suffices...
  size_t named = 0;
  for (const CutGlyph& g : glyphs) named += g.chars == std::vector<int32_t>{0} ? 1 : 0;
  EXPECT_EQ(named, 1u);
  // ...but a piece when the whole letter is asked for.
  for (const CutGlyph& g : CutLine(line, 196, 0, 16, 16, 0.99)) EXPECT_TRUE(g.chars.empty());
}

TEST(CorpusLines, JitterKeepsTheTextReadableAsGlyphs) {
  LineRenderer font(Sans());
  std::mt19937 rng(4);
  Jitter jitter;
  for (int k = 0; k < 30; ++k) {
    int32_t bw = 0;
    const LineStyle style = RandomStyle(rng, jitter, bw);
    EXPECT_GE(style.pixelSize, jitter.minSize);
    EXPECT_LE(style.pixelSize, jitter.maxSize);
    EXPECT_NE(std::find(jitter.thresholds.begin(), jitter.thresholds.end(), bw), jitter.thresholds.end());
    EXPECT_LT(style.ink, bw);
    EXPECT_GT(style.paper, bw);
    // Whatever the style, most glyphs of a plain word still come out whole.
    const auto glyphs = CutLine(font.Render(U"house", style), bw, 3, 16, 16);
    size_t whole = 0;
    for (const CutGlyph& g : glyphs) whole += g.chars.size() == 1 ? 1 : 0;
    EXPECT_GE(whole, 3u) << "size " << style.pixelSize << " bw " << bw << " blur " << style.blur;
  }
}

TEST(CorpusLines, RefusesWhatItCannotDraw) {
  EXPECT_THROW(LineRenderer("/nonexistent/font.ttf"), kyt::Error);
  LineRenderer font(Sans());
  LineStyle style;
  style.pixelSize = 2.0;
  EXPECT_THROW(font.Render(U"a", style), kyt::Error);
  style.pixelSize = 1e6;
  EXPECT_THROW(font.Render(U"a", style), kyt::Error);
  // A line without ink segments into nothing.
  style.pixelSize = 16;
  EXPECT_TRUE(CutLine(font.Render(U"   ", style), 196, 3, 16, 16).empty());
}

TEST(CorpusText, LinesUseEveryCharacterAndStayShort) {
  const std::u32string chars = U"abcXYZ019?!@№";
  const auto lines = TrainingLines(U"the cat sat on a mat\nby the door", chars, 400, 30, 9);
  ASSERT_EQ(lines.size(), 400u);
  std::set<char32_t> seen;
  for (const auto& l : lines) {
    EXPECT_LE(l.size(), 30u);
    EXPECT_FALSE(l.empty());
    seen.insert(l.begin(), l.end());
  }
  for (char32_t c : chars) EXPECT_TRUE(seen.count(c)) << int(c);
  EXPECT_TRUE(seen.count(U'T'));  // words in capitals
  EXPECT_EQ(TrainingLines(U"one two", chars, 50, 30, 9), TrainingLines(U"one two", chars, 50, 30, 9));
  EXPECT_NE(TrainingLines(U"one two", chars, 50, 30, 9), TrainingLines(U"one two", chars, 50, 30, 10));
  // Without any text, the characters alone make the lines.
  EXPECT_EQ(TrainingLines(U"", U"ab", 5, 10, 1).size(), 5u);
}

}  // namespace
}  // namespace kytdcr
