#pragma once
// Glyph normalisation: crop a glyph bitmap to its ink and scale it, keeping its
// aspect ratio, into a grid of the network's size anchored at the top left.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/Bitmap.h"
#include "recognition/DCRFra.h"

namespace kyt {

struct GlyphRect {
  int32_t Width = 0;   // destination rectangle from (0, 0)
  int32_t Height = 0;
};

// The destination rectangle for an ink box of bw x bh in a grid of gw x gh,
// computed in extended precision as the recognition has always done.
GlyphRect GlyphDestination(int32_t bw, int32_t bh, int32_t gw, int32_t gh);

// Returns a new gridWidth x gridHeight black-and-white bitmap.
Bitmap NormalizeGlyph(const Bitmap& glyph, int32_t gridWidth, int32_t gridHeight);

// The same grid for a glyph given as its ink pixels and their tight box
// (topLeft and bottomRight are the smallest and largest coordinates of
// `pixels`), without drawing the glyph: the work is proportional to the pixels
// and the grid, not to the box, which for long thin strokes is far larger.
Bitmap NormalizeGlyphPixels(const std::vector<TPoint>& pixels, TPoint topLeft, TPoint bottomRight,
                            int32_t gridWidth, int32_t gridHeight);

// Where a recognisable glyph stands in a frame's segmentation.
struct TGlyphPlace {
  size_t Line = 0, Word = 0, Index = 0;  // indices into Lines, Words and Chars
  bool LastOfWord = false;               // the last entry of its word's Chars
  bool WordEndsLine = false;             // its word is the last of its line
};

// The one walk over a segmented frame, shared by recognition and by the
// training samples of the tool: every glyph of the frame's Lines that is not
// skipped, in reading order. `onWordEnd`, when given, follows every word,
// whether it held a recognisable glyph or not.
void ForEachGlyph(const TDCRFrame& frame, const std::function<void(const TGlyphPlace&, const TChar&)>& onGlyph,
                  const std::function<void()>& onWordEnd = nullptr);

// The same walk with each glyph's grid of gridWidth x gridHeight
// (NormalizeGlyphPixels): the network's input.
void ForEachGlyphGrid(const TDCRFrame& frame, int32_t gridWidth, int32_t gridHeight,
                      const std::function<void(const TGlyphPlace&, const TChar&, const Bitmap& grid)>& onGlyph,
                      const std::function<void()>& onWordEnd = nullptr);

}  // namespace kyt
