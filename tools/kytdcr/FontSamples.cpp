#include "FontGlyphs.h"
#include "GlyphSources.h"
#include "Text.h"

namespace kytdcr {
namespace {

constexpr int32_t kBarGap = 600;

// Segments a rendering as the glyphs of one word of a text line and returns
// its recognisable glyphs. Inside a line of text, other glyphs fill the rows
// between the pieces of a character (the dot of i, the two of :), so the line
// does not break there; a bar of line height far to the left plays their part,
// is a word of its own, and is left out.
std::vector<FoundGlyph> GlyphsInLine(const kyt::Bitmap& rendering, int32_t bw, const FontSampleOptions& options) {
  kyt::Bitmap picture(kBarGap + rendering.Width(), rendering.Height());
  picture.FillRect(0, 0, 2, picture.Height(), kyt::kBlack);
  picture.Draw(rendering, kBarGap, 0);
  kyt::TDCRFrame frame;
  // The rendering's own pieces stay one word, as inside a word of text.
  SegmentPicture(frame, picture, SegmentParams{bw, options.noise, kBarGap / 2});
  std::vector<FoundGlyph> glyphs;
  for (FoundGlyph& g : RecognisableGlyphs(frame, options.gridW, options.gridH))
    if (g.word > 0) glyphs.push_back(std::move(g));
  return glyphs;
}

bool IsLowerCaseLetter(char32_t c) { return (c >= U'a' && c <= U'z') || (c >= 0x430 && c <= 0x44F) || c == 0x451; }

}  // namespace

std::vector<std::u32string> LowerCasePairs(const std::u32string& chars) {
  std::u32string letters;
  for (char32_t c : chars)
    if (IsLowerCaseLetter(c)) letters += c;
  std::vector<std::u32string> pairs;
  for (char32_t a : letters)
    for (char32_t b : letters) pairs.push_back(std::u32string{a, b});
  return pairs;
}

SourceReport AddFontPairs(const std::vector<std::u32string>& pairs, const FontSampleOptions& options,
                          int32_t minTouching, TrainingData& data) {
  SourceReport report;
  // Renderings in which each pair came out as one glyph, by pair.
  std::vector<std::vector<Sample>> touching(pairs.size());
  int32_t variant = 0;
  PageStyle style;
  style.margin = 4;
  for (const std::string& file : options.fontFiles) {
    Font font(file);
    for (int32_t size : options.sizes) {
      font.SetPixelSize(size);
      for (int32_t bw : options.bwThresholds) {
        const int32_t v = variant++;
        for (size_t k = 0; k < pairs.size(); ++k) {
          if (!font.HasGlyph(pairs[k][0]) || !font.HasGlyph(pairs[k][1])) continue;
          ++report.renderings;
          std::vector<FoundGlyph> glyphs = GlyphsInLine(font.RenderPage({pairs[k]}, style), bw, options);
          if (glyphs.size() == 1) touching[k].push_back(Sample{std::move(glyphs[0].input), v});
        }
      }
    }
  }
  for (size_t k = 0; k < pairs.size(); ++k) {
    if (int32_t(touching[k].size()) < minTouching) continue;
    std::string name;
    for (char32_t c : pairs[k]) name += char(CodePointToCp1251(c));
    const size_t p = data.Pattern(name);
    for (Sample& s : touching[k]) {
      data.Add(p, std::move(s.input), -1 - s.variant);
      ++report.samples;
    }
    report.notes.push_back(name);
  }
  return report;
}

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
            std::vector<FoundGlyph> glyphs = GlyphsInLine(glyph, bw, options);
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
