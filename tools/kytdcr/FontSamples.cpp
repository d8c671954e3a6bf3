#include "FontGlyphs.h"
#include "GlyphSources.h"
#include "Text.h"

namespace kytdcr {
namespace {
constexpr int32_t kBarGap = 600;
}  // namespace

SourceReport AddFontGlyphs(const std::u32string& chars, const FontSampleOptions& options, TrainingData& data,
                           int32_t& variant) {
  SourceReport report;
  std::vector<size_t> patterns;
  for (char32_t c : chars) {
    const int b = CodePointToCp1251(c);
    patterns.push_back(data.Pattern(std::string(1, char(b < 0 ? '?' : b))));
  }
  for (const std::string& file : options.fontFiles) {
    Font font(file);
    for (char32_t c : chars) {
      if (!font.HasGlyph(c)) report.notes.push_back(font.FamilyName() + " has no " + DescribeCodePoint(c));
    }
    for (int32_t size : options.sizes) {
      font.SetPixelSize(size);
      for (int32_t shift : options.shifts64) {
        for (int32_t bw : options.bwThresholds) {
          const int32_t v = variant++;
          for (size_t k = 0; k < chars.size(); ++k) {
            if (!font.HasGlyph(chars[k])) continue;
            const kyt::Bitmap glyph = font.RenderGlyph(chars[k], 4, shift);
            if (glyph.Empty()) continue;
            ++report.renderings;
            // Inside a line of text, other glyphs fill the rows between the
            // pieces of a character (the dot of i, the two of :), so the line
            // does not break there. A bar of line height far to the left plays
            // their part; it is a word of its own and is left out.
            kyt::Bitmap picture(kBarGap + glyph.Width(), glyph.Height());
            picture.FillRect(0, 0, 2, picture.Height(), kyt::kBlack);
            picture.Draw(glyph, kBarGap, 0);
            kyt::TDCRFrame frame;
            // The glyph's own pieces stay one word, as inside a word of text.
            SegmentPicture(frame, picture, SegmentParams{bw, options.noise, kBarGap / 2});
            std::vector<FoundGlyph> glyphs;
            for (FoundGlyph& g : RecognisableGlyphs(frame, options.gridW, options.gridH))
              if (g.word > 0) glyphs.push_back(std::move(g));
            if (glyphs.size() != 1) {
              data.Reject(patterns[k]);
              continue;
            }
            data.Add(patterns[k], std::move(glyphs[0].input), v);
            ++report.samples;
          }
        }
      }
    }
  }
  return report;
}

}  // namespace kytdcr
