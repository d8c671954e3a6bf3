#pragma once
// Where training glyphs come from: characters rendered with fonts, or folders
// of labelled glyph pictures. Both go through the recognition's own
// segmentation and normalisation, so a training input is exactly what
// recognition will see for the same pixels.
#include <cstdint>
#include <string>
#include <vector>

#include "Segmentation.h"
#include "TrainingData.h"

namespace kytdcr {

struct FontSampleOptions {
  std::vector<std::string> fontFiles;
  std::vector<int32_t> sizes;         // pixels per em
  std::vector<int32_t> shifts64;      // horizontal sub-pixel shifts, 1/64 pixel
  std::vector<int32_t> bwThresholds;  // binarisation thresholds to render with
  int32_t noise = 3;                  // noise threshold while segmenting renders
  int32_t gridW = 16, gridH = 16;
};

struct SourceReport {
  size_t renderings = 0;  // glyph pictures segmented
  size_t samples = 0;     // inputs added
  std::vector<std::string> notes;
};

// Renders every character of `chars` (in order; the order is the patterns'
// priority) with every font, size, shift and threshold. A rendering that does
// not segment into exactly one recognisable glyph gives no sample (it is
// counted as rejected for its pattern). `variant` numbers the renderings.
SourceReport AddFontGlyphs(const std::u32string& chars, const FontSampleOptions& options, TrainingData& data,
                           int32_t& variant);

// Renders every pair of characters of `pairs` (two code points each) as they
// stand side by side in a line of text. Where the two touch, segmentation sees
// one glyph, which recognition can only name as the pair: such renderings are
// samples of a pattern named by the two characters. A pair becomes a pattern
// only when it touches in at least `minTouching` renderings; pairs that never
// touch add nothing. Returns the names of the pair patterns added.
SourceReport AddFontPairs(const std::vector<std::u32string>& pairs, const FontSampleOptions& options,
                          int32_t minTouching, TrainingData& data);

// Every ordered pair of the letters of `chars` (characters that are letters
// in lower case: a-z and Cyrillic).
std::vector<std::u32string> LowerCasePairs(const std::u32string& chars);

// A label from a file or folder name: "U+XXXX" stands for that character
// (for characters a file name cannot hold), everything else is UTF-8; the
// result is code page 1251. Raises kyt::Error for what the code page lacks.
std::string LabelFromName(const std::string& utf8Name);

// Adds the glyphs of a folder: each subfolder's name is the label of the
// pictures in it; a picture directly in the folder is labelled by its file
// name up to the first "_" or ".". Every recognisable glyph of a picture is a
// sample of its label, segmented with `params`.
SourceReport AddGlyphFolder(const std::string& folder, const SegmentParams& params, int32_t gridW, int32_t gridH,
                            TrainingData& data, int32_t& variant);

}  // namespace kytdcr
