#include "Segmentation.h"

#include <algorithm>
#include <utility>

#include "recognition/GlobalMdl.h"

namespace kytdcr {

void SegmentPicture(kyt::TDCRFrame& frame, const kyt::Bitmap& picture, const SegmentParams& params) {
  frame.AssignPicture(picture);
  frame.Parameters() = params;
  frame.Binarize();
  frame.FindLines();
  frame.FindWords();
  frame.FindChars();
}

kyt::Bitmap GlyphBitmap(const kyt::TChar& glyph) {
  kyt::Bitmap bitmap(glyph.BottomRight.X - glyph.TopLeft.X + 1, glyph.BottomRight.Y - glyph.TopLeft.Y + 1);
  for (const kyt::TPoint& p : glyph.Pixels) bitmap.SetPixel(p.X - glyph.TopLeft.X, p.Y - glyph.TopLeft.Y, kyt::kBlack);
  return bitmap;
}

kyt::TLayer GlyphInput(const kyt::Bitmap& glyph, int32_t gridW, int32_t gridH) {
  kyt::TLayer input(size_t(gridW) * size_t(gridH) + 1, 0.0f);
  kyt::TBackProp::BitmapToInput(kyt::NormalizeGlyph(glyph, gridW, gridH), input);
  return input;
}

std::vector<FoundGlyph> RecognisableGlyphs(const kyt::TDCRFrame& frame, int32_t gridW, int32_t gridH) {
  std::vector<FoundGlyph> out;
  kyt::ForEachGlyphGrid(frame, gridW, gridH, [&](const kyt::TGlyphPlace& place, const kyt::TChar& ch, const kyt::Bitmap& grid) {
    if (ch.Pixels.empty()) return;
    const kyt::TLine& line = frame.Lines[place.Line];
    const kyt::TWord& word = line.Words[place.Word];
    FoundGlyph g;
    g.line = place.Line, g.word = place.Word, g.index = place.Index;
    g.box.Left = word.Left + ch.TopLeft.X - 1;
    g.box.Top = line.Top + ch.TopLeft.Y - 1;
    g.box.Right = word.Left + ch.BottomRight.X;
    g.box.Bottom = line.Top + ch.BottomRight.Y;
    g.input.assign(size_t(gridW) * size_t(gridH) + 1, 0.0f);
    kyt::TBackProp::BitmapToInput(grid, g.input);
    out.push_back(std::move(g));
  });
  return out;
}

int32_t SpaceWidthFromGaps(std::vector<int32_t> gaps, int32_t fallback) {
  if (gaps.empty()) return fallback;
  std::sort(gaps.begin(), gaps.end());
  const size_t n = gaps.size();
  // Otsu's split of the sorted gaps into a lower and an upper group.
  std::vector<double> prefix(n + 1, 0.0);
  for (size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + gaps[i];
  double bestScore = -1.0;
  size_t split = 0;  // first index of the upper group
  for (size_t i = 1; i < n; ++i) {
    if (gaps[i] == gaps[i - 1]) continue;
    double w0 = double(i), w1 = double(n - i);
    double m0 = prefix[i] / w0, m1 = (prefix[n] - prefix[i]) / w1;
    double score = w0 * w1 * (m1 - m0) * (m1 - m0);
    if (score > bestScore) bestScore = score, split = i;
  }
  const int32_t widest = gaps.back();
  if (split == 0) return widest + 1;  // all gaps equal: one group
  const double m0 = prefix[split] / double(split);
  const double m1 = (prefix[n] - prefix[split]) / double(n - split);
  // Word gaps are clearly wider than letter gaps; otherwise there are none.
  if (m1 < 2.0 * m0 + 1.0) return widest + 1;
  const int32_t lowerMax = gaps[split - 1], upperMin = gaps[split];
  return (lowerMax + upperMin) / 2 + 1;
}

int32_t EstimateSpaceWidth(const kyt::TImageArray& ink, const kyt::TLines& lines, int32_t fallback) {
  std::vector<int32_t> gaps;
  const int32_t width = ink.Width();
  for (const kyt::TLine& line : lines) {
    const int32_t top = std::max(line.Top, 0), bottom = std::min(line.Bottom, ink.Height() - 1);
    if (top > bottom) continue;
    int32_t lastInk = -1;
    for (int32_t x = 0; x < width; ++x) {
      if (!ink.AnyInk(x, top, bottom)) continue;
      if (lastInk >= 0 && x - lastInk > 1) gaps.push_back(x - lastInk - 1);
      lastInk = x;
    }
  }
  return SpaceWidthFromGaps(std::move(gaps), fallback);
}

}  // namespace kytdcr
