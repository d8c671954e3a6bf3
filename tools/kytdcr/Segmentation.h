#pragma once
// The page segmentation of recognition, run by the tool: a picture goes into a
// TDCRFrame, the frame finds lines, words and glyphs, and each glyph becomes a
// network input exactly as the recognition driver builds it.
#include <cstdint>
#include <vector>

#include "core/Bitmap.h"
#include "recognition/BackPropCls.h"
#include "recognition/DCRFra.h"
#include "recognition/RecognitionParams.h"

namespace kytdcr {

// BWThreshold, NoiseThreshold, SpaceWidth; the plug-in's defaults.
using SegmentParams = kyt::TRecognitionParams;

// Loads `picture` into `frame`, sets the three parameters and runs Binarize,
// FindLines, FindWords and FindChars.
void SegmentPicture(kyt::TDCRFrame& frame, const kyt::Bitmap& picture, const SegmentParams& params);

// The glyph bitmap the driver draws for a glyph: as large as its box, white,
// with its pixels black.
kyt::Bitmap GlyphBitmap(const kyt::TChar& glyph);

// NormalizeGlyph + BitmapToInput: an input vector of gridW*gridH + 1 elements
// (element 0 unused), +1 for ink, -1 for background.
kyt::TLayer GlyphInput(const kyt::Bitmap& glyph, int32_t gridW, int32_t gridH);

struct FoundGlyph {
  size_t line = 0, word = 0, index = 0;  // position in the frame's Lines
  kyt::Rect box;                         // in picture coordinates, right/bottom exclusive
  kyt::TLayer input;
};

// The recognisable (not skipped) glyphs of a segmented frame, in reading order.
std::vector<FoundGlyph> RecognisableGlyphs(const kyt::TDCRFrame& frame, int32_t gridW, int32_t gridH);

// A space width for a picture, from the empty-column gaps inside its lines:
// gaps fall into letter gaps and word gaps, and the width lies between the two
// groups. With no clear second group every gap stays inside a word. Needs the
// frame's ImageArray and Lines (Binarize and FindLines). `fallback` is returned
// when no line has a gap at all.
int32_t EstimateSpaceWidth(const kyt::TImageArray& ink, const kyt::TLines& lines, int32_t fallback);

// The decision of EstimateSpaceWidth on a list of gap widths.
int32_t SpaceWidthFromGaps(std::vector<int32_t> gaps, int32_t fallback);

}  // namespace kytdcr
