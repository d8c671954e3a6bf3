// The tool's use of the recognition's segmentation: glyph inputs, training
// renderings and the measured space width.
#include <gtest/gtest.h>

#include "FontGlyphs.h"
#include "GlyphSources.h"
#include "Segmentation.h"
#include "recognition/GlobalMdl.h"

namespace kytdcr {
namespace {

TEST(ToolSpaceWidth, LiesBetweenLetterGapsAndWordGaps) {
  const std::vector<int32_t> letters = {1, 2, 2, 1, 3, 1, 2, 4, 1};
  const std::vector<int32_t> words = {8, 9, 11, 8};
  std::vector<int32_t> gaps = letters;
  gaps.insert(gaps.end(), words.begin(), words.end());
  const int32_t w = SpaceWidthFromGaps(gaps, 22);
  for (int32_t g : letters) EXPECT_LT(g, w);
  for (int32_t g : words) EXPECT_GE(g, w);
}

TEST(ToolSpaceWidth, WithoutClearWordGapsNothingSplits) {
  EXPECT_EQ(SpaceWidthFromGaps({2, 3, 4, 5, 3}, 22), 6);  // one spread group
  EXPECT_EQ(SpaceWidthFromGaps({3, 3, 3}, 22), 4);        // one value
  EXPECT_EQ(SpaceWidthFromGaps({}, 22), 22);              // no gaps at all
  EXPECT_EQ(SpaceWidthFromGaps({1, 1, 1, 1, 9}, 22), 6);  // one clear word gap: between 1 and 9
}

TEST(ToolSpaceWidth, MeasuredOnTheLinesOfAPicture) {
  // Line 1: ink columns 0-1, gap 2, 4-5, gap 10, 16-17; line 2 (rows 4-5):
  // 0-1, gap 1, 3. Rows 2-3 are empty, so the lines are separate.
  kyt::TImageArray ink(20, 6);
  for (int x : {0, 1, 4, 5, 16, 17}) ink.SetInk(x, 1);
  for (int x : {0, 1, 3}) ink.SetInk(x, 5);
  kyt::TLines lines(2);
  lines[0].Top = 0, lines[0].Bottom = 1;
  lines[1].Top = 4, lines[1].Bottom = 5;
  const int32_t w = EstimateSpaceWidth(ink, lines, 22);
  EXPECT_GT(w, 2);
  EXPECT_LE(w, 10);
}

TEST(ToolSegmentation, GlyphsInReadingOrderWithPictureBoxesAndDriverInputs) {
  // Two words on one line: a 3x4 block, then after 30 empty columns a 2x2
  // block and a 5-pixel diagonal with a lone pixel (noise) after it.
  kyt::Bitmap picture(60, 12);
  picture.FillRect(5, 3, 8, 7, kyt::kBlack);
  picture.FillRect(40, 5, 42, 7, kyt::kBlack);
  for (int i = 0; i < 5; ++i) picture.SetPixel(45 + i, 2 + i, kyt::kBlack);
  picture.SetPixel(55, 4, kyt::kBlack);
  kyt::TDCRFrame frame;
  SegmentPicture(frame, picture, SegmentParams{196, 2, 10});
  ASSERT_EQ(frame.Lines.size(), 1u);
  ASSERT_EQ(frame.Lines[0].Words.size(), 2u);
  ASSERT_EQ(frame.Lines[0].Words[1].Chars.size(), 3u);
  EXPECT_TRUE(frame.Lines[0].Words[1].Chars[2].Skipped);
  const auto glyphs = RecognisableGlyphs(frame, 8, 8);
  ASSERT_EQ(glyphs.size(), 3u);
  EXPECT_EQ(glyphs[0].word, 0u);
  EXPECT_EQ(glyphs[2].word, 1u);
  EXPECT_EQ(glyphs[2].index, 1u);
  EXPECT_EQ(glyphs[0].box.Left, 5);
  EXPECT_EQ(glyphs[0].box.Top, 3);
  EXPECT_EQ(glyphs[0].box.Width(), 3);
  EXPECT_EQ(glyphs[0].box.Height(), 4);
  EXPECT_EQ(glyphs[1].box.Left, 40);
  EXPECT_EQ(glyphs[1].box.Top, 5);
  EXPECT_EQ(glyphs[2].box.Left, 45);
  EXPECT_EQ(glyphs[2].box.Width(), 5);
  EXPECT_EQ(glyphs[2].box.Height(), 5);
  // The diagonal's input is the driver's: normalised crop, +1 ink / -1 else.
  kyt::Bitmap diagonal(5, 5);
  for (int i = 0; i < 5; ++i) diagonal.SetPixel(i, i, kyt::kBlack);
  const kyt::Bitmap grid = kyt::NormalizeGlyph(diagonal, 8, 8);
  ASSERT_EQ(glyphs[2].input.size(), 65u);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(glyphs[2].input[size_t(1 + y * 8 + x)], grid.Pixel(x, y) == kyt::kBlack ? 1.0f : -1.0f);
  // A 2x2 block fills the whole grid.
  for (size_t i = 1; i < glyphs[1].input.size(); ++i) EXPECT_EQ(glyphs[1].input[i], 1.0f);
}

TEST(ToolSegmentation, GlyphBitmapIsTheGlyphsBoxWithItsPixels) {
  kyt::TChar c;
  c.Pixels = {{3, 2}, {5, 4}, {4, 3}};
  c.TopLeft = {3, 2};
  c.BottomRight = {5, 4};
  const kyt::Bitmap b = GlyphBitmap(c);
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 3);
  EXPECT_EQ(b.Pixel(0, 0), kyt::kBlack);
  EXPECT_EQ(b.Pixel(1, 1), kyt::kBlack);
  EXPECT_EQ(b.Pixel(2, 2), kyt::kBlack);
  EXPECT_EQ(b.Pixel(1, 0), kyt::kWhite);
  EXPECT_EQ(b.Pixel(0, 2), kyt::kWhite);
}

// The fonts of the Debian package fonts-dejavu-core.
std::string DejaVuSans() { return FindFontFile("DejaVuSans"); }

TEST(ToolFontSamples, TrainingInputsEqualWhatRecognitionSeesInALine) {
  // Render "mix: i!" as a line of text, segment it as recognition does, and
  // compare each glyph's input with the input the training makes for that
  // character alone. The dots of i and the two pieces of ":" must stay one glyph.
  const std::u32string chars = U"mix:!";
  Font font(DejaVuSans());
  font.SetPixelSize(24);
  PageStyle style;
  style.kerning = false;
  const kyt::Bitmap page = font.RenderPage({U"mix: i!"}, style);
  kyt::TDCRFrame frame;
  SegmentPicture(frame, page, SegmentParams{196, 3, 9});
  const auto inLine = RecognisableGlyphs(frame, 16, 16);
  ASSERT_EQ(inLine.size(), 6u);

  FontSampleOptions options;
  options.fontFiles = {DejaVuSans()};
  options.sizes = {24};
  options.shifts64 = {0};
  options.bwThresholds = {196};
  options.noise = 3;
  TrainingData data;
  int32_t variant = 0;
  const SourceReport report = AddFontGlyphs(chars, options, data, variant);
  EXPECT_EQ(variant, 1);
  EXPECT_EQ(report.samples, 5u);
  ASSERT_EQ(data.Patterns().size(), 5u);
  const std::string expected = "mix:i!";
  for (size_t k = 0; k < inLine.size(); ++k) {
    const std::string name(1, expected[k]);
    const auto& p = data.Patterns()[data.Pattern(name)];
    ASSERT_EQ(p.samples.size(), 1u) << name;
    EXPECT_EQ(p.samples[0].input, inLine[k].input) << "glyph " << k << " (" << name << ")";
  }
}

TEST(ToolFontSamples, CharactersOfSideBySidePiecesAreRejected) {
  FontSampleOptions options;
  options.fontFiles = {DejaVuSans()};
  options.sizes = {16, 24};
  options.shifts64 = {0, 32};
  options.bwThresholds = {196};
  TrainingData data;
  int32_t variant = 0;
  AddFontGlyphs(U"\"a", options, data, variant);
  EXPECT_EQ(variant, 4);
  EXPECT_EQ(data.Patterns()[0].samples.size(), 0u);
  EXPECT_EQ(data.Patterns()[0].rejected, 4);
  EXPECT_EQ(data.Patterns()[1].samples.size(), 4u);
  // Sub-pixel shifts give different renderings of the same character.
  EXPECT_NE(data.Patterns()[1].samples[0].input, data.Patterns()[1].samples[1].input);
}

}  // namespace
}  // namespace kytdcr
