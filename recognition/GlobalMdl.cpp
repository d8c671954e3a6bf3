// Glyph normalisation: crop a glyph bitmap to its ink and scale it into the
// network's grid, keeping its aspect ratio, anchored at the top left.
#include "recognition/GlobalMdl.h"

#include <cmath>
#include <string>

#include "core/Error.h"

namespace kyt {

GlyphRect GlyphDestination(int32_t bw, int32_t bh, int32_t gw, int32_t gh) {
  if (bw <= 0 || bh <= 0)
    throw Error("Invalid glyph box " + std::to_string(bw) + " x " + std::to_string(bh));
  // Extended precision, quotient first: for some boxes (75 x 75 in a 20 x 20
  // grid) the product lands just above the grid side, and the glyph is then
  // stretched one column past the grid. Recognition was trained that way.
  const long double h = (static_cast<long double>(gw) / bw) * bh;
  if (static_cast<long double>(gh) >= h) return GlyphRect{gw, static_cast<int32_t>(std::ceil(h))};
  const long double w = (static_cast<long double>(gh) / bh) * bw;
  return GlyphRect{static_cast<int32_t>(std::ceil(w)), gh};
}

Bitmap NormalizeGlyph(const Bitmap& glyph, int32_t gridWidth, int32_t gridHeight) {
  Bitmap target(gridWidth, gridHeight, kWhite);

  // Ink box; Right and Bottom become exclusive.
  const int32_t width = glyph.Width(), height = glyph.Height();
  int32_t left = width - 1, top = height - 1, right = 0, bottom = 0;
  bool ink = false;
  for (int32_t y = 0; y < height; ++y) {
    const Color* row = glyph.Row(y);
    for (int32_t x = 0; x < width; ++x) {
      if (row[x] != kBlack) continue;
      ink = true;
      if (x < left) left = x;
      if (y < top) top = y;
      if (x > right) right = x;
      if (y > bottom) bottom = y;
    }
  }
  if (!ink) return target;  // nothing to scale: an all-white grid
  ++right;
  ++bottom;
  const int32_t bw = right - left, bh = bottom - top;

  Bitmap cropped(bw, bh, kWhite);
  cropped.CopyRect(glyph, Rect{left, top, right, bottom}, 0, 0);

  const GlyphRect to = GlyphDestination(bw, bh, gridWidth, gridHeight);
  // Nearest-neighbour, so the grid stays black and white; cut off at the grid's edge.
  target.StretchDraw(cropped, Rect{0, 0, to.Width, to.Height});
  return target;
}

}  // namespace kyt
