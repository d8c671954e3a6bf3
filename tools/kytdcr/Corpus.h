#pragma once
// The training corpus of the fast knowledge-base builder: lines of real text
// drawn with many fonts the way screenshots and scans show them (anti-aliased,
// then binarised at the thresholds users set, with jitter in position, scale,
// slant, stroke weight, blur and speckle), and cut into glyphs by the
// recognition's own segmentation and normalisation. Every rendered pixel
// remembers which character of the line drew it, so each segmented glyph is
// labelled by the characters whose ink it holds: one whole character gives a
// sample of that character, two neighbours that touch give a sample of the
// pair, and pieces of a character give nothing.
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/Bitmap.h"

namespace kytdcr {

// How one line is drawn. The defaults draw plain hinted text at 16 pixels.
struct LineStyle {
  double pixelSize = 16.0;   // em height, may be fractional
  bool hinting = true;       // hinted outlines and whole-pixel advances
  double startX = 0.0;       // sub-pixel start of the pen, pixels
  double xScale = 1.0;       // horizontal scale
  double slant = 0.0;        // horizontal shear (x += slant * y)
  double embolden = 0.0;     // outline growth in pixels (negative thins)
  double letterGap = 0.0;    // extra advance after every character, pixels
  double blur = 0.0;         // Gaussian blur sigma, pixels (0: none)
  int32_t ink = 0;           // grey of full ink
  int32_t paper = 255;       // grey of the background
  double noise = 0.0;        // Gaussian grey noise sigma
  int32_t speckles = 0;      // random dark dots
  uint32_t seed = 0;         // for noise and speckles
  int32_t margin = 6;
};

// A line picture with, for every pixel, the index of the character of the line
// whose coverage of that pixel was largest (-1: none).
struct LabelledLine {
  kyt::Bitmap picture;
  std::vector<int32_t> labels;  // Width() x Height(), row by row
  int32_t Label(int32_t x, int32_t y) const { return labels[size_t(y) * size_t(picture.Width()) + size_t(x)]; }
};

class LineRenderer {
 public:
  explicit LineRenderer(const std::string& fontFile);  // raises kyt::Error
  ~LineRenderer();
  LineRenderer(const LineRenderer&) = delete;
  LineRenderer& operator=(const LineRenderer&) = delete;

  bool HasGlyph(char32_t c) const;
  std::string FamilyName() const;
  // Raises kyt::Error for sizes outside 4..512 pixels.
  LabelledLine Render(const std::u32string& text, const LineStyle& style);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// One segmented glyph labelled by the characters it holds.
struct CutGlyph {
  std::vector<int32_t> chars;  // indices into the line's text, ascending
  std::vector<float> input;    // grid cells, +1 ink, -1 background (no bias element)
  bool cut = false;            // one character cut out of a glyph of touching ones
};

// Segments a line picture as recognition does (the space width estimated from
// the line's gaps, as `kytdcr recognize --space auto` does), and labels every
// recognisable glyph. A character belongs to a glyph when the glyph holds at
// least `wholeShare` of the character's ink; glyphs holding only a piece of a
// character, or ink of no character, get no characters.
//
// With `cutTouching`, a glyph of touching characters is also cut apart as the
// page reader cuts it, at the emptiest column between the characters' centres,
// and every part that holds `wholeShare` of one character's ink there (and
// little else) follows it as a `cut` glyph of that character.
std::vector<CutGlyph> CutLine(const LabelledLine& line, int32_t bw, int32_t noise, int32_t gridW, int32_t gridH,
                              double wholeShare = 0.8, bool cutTouching = false);

// Random line styles as users' pictures show text: screenshots (hinted, crisp)
// and scans (unhinted, blurred, noisy), 10 to 48 pixels, with a binarisation
// threshold that is mostly the default 196.
struct Jitter {
  double minSize = 10.0, maxSize = 48.0;
  std::vector<int32_t> thresholds = {196, 196, 196, 160, 128, 220};
};
LineStyle RandomStyle(std::mt19937& rng, const Jitter& jitter, int32_t& threshold);

// Training lines from a text: its own lines, cut at word boundaries to at most
// `maxChars` characters, plus lines of words from it in other letter cases
// and lines that mix in numbers and the symbols of `chars`, so that every
// character of `chars` occurs. Deterministic for a seed.
std::vector<std::u32string> TrainingLines(const std::u32string& text, const std::u32string& chars, size_t count,
                                          size_t maxChars, uint32_t seed);

}  // namespace kytdcr
