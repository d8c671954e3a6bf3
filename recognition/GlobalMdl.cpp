// Glyph normalisation: crop a glyph bitmap to its ink and scale it into the
// network's grid, keeping its aspect ratio, anchored at the top left.
#include "recognition/GlobalMdl.h"

#include <algorithm>
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

namespace {

// Destination cells [first, last] whose nearest-neighbour source, as
// Bitmap::StretchDraw picks it (source = destination * sourceSize /
// destinationSize, rounded down), is `source`; cut off at the grid's edge.
struct CellRange {
  int32_t first, last;
};

CellRange CellsOf(int64_t source, int64_t sourceSize, int64_t destinationSize, int64_t gridSize) {
  const int64_t first = (source * destinationSize + sourceSize - 1) / sourceSize;
  const int64_t last = ((source + 1) * destinationSize + sourceSize - 1) / sourceSize - 1;
  return CellRange{int32_t(std::min(first, gridSize)), int32_t(std::min(last, gridSize - 1))};
}

}  // namespace

Bitmap NormalizeGlyphPixels(const std::vector<TPoint>& pixels, TPoint topLeft, TPoint bottomRight,
                            int32_t gridWidth, int32_t gridHeight) {
  Bitmap target(gridWidth, gridHeight, kWhite);
  if (pixels.empty()) return target;
  const int64_t bw = int64_t(bottomRight.X) - topLeft.X + 1, bh = int64_t(bottomRight.Y) - topLeft.Y + 1;
  const GlyphRect to = GlyphDestination(int32_t(bw), int32_t(bh), gridWidth, gridHeight);
  if (to.Width <= 0 || to.Height <= 0) return target;
  for (const TPoint& p : pixels) {
    const int64_t x = int64_t(p.X) - topLeft.X, y = int64_t(p.Y) - topLeft.Y;
    if (x < 0 || x >= bw || y < 0 || y >= bh) throw Error("A glyph pixel lies outside its box");
    const CellRange columns = CellsOf(x, bw, to.Width, gridWidth);
    const CellRange rows = CellsOf(y, bh, to.Height, gridHeight);
    for (int32_t gy = rows.first; gy <= rows.last; ++gy) {
      Color* row = target.Row(gy);
      for (int32_t gx = columns.first; gx <= columns.last; ++gx) row[gx] = kBlack;
    }
  }
  return target;
}

void ForEachGlyph(const TDCRFrame& frame, const std::function<void(const TGlyphPlace&, const TChar&)>& onGlyph,
                  const std::function<void()>& onWordEnd) {
  for (size_t l = 0; l < frame.Lines.size(); ++l) {
    const TLine& line = frame.Lines[l];
    for (size_t w = 0; w < line.Words.size(); ++w) {
      const TWord& word = line.Words[w];
      for (size_t c = 0; c < word.Chars.size(); ++c) {
        const TChar& glyph = word.Chars[c];
        if (glyph.Skipped) continue;
        onGlyph(TGlyphPlace{l, w, c, c + 1 == word.Chars.size(), w + 1 == line.Words.size()}, glyph);
      }
      if (onWordEnd) onWordEnd();
    }
  }
}

void ForEachGlyphGrid(const TDCRFrame& frame, int32_t gridWidth, int32_t gridHeight,
                      const std::function<void(const TGlyphPlace&, const TChar&, const Bitmap& grid)>& onGlyph,
                      const std::function<void()>& onWordEnd) {
  ForEachGlyph(
      frame,
      [&](const TGlyphPlace& place, const TChar& glyph) {
        // Scaled from the pixel list: the same grid as drawing the glyph into
        // a bitmap of its box and normalising that, but without work in the
        // box's area, which for long slanted strokes (hatching) is far larger
        // than the ink and made such pictures take minutes.
        onGlyph(place, glyph, NormalizeGlyphPixels(glyph.Pixels, glyph.TopLeft, glyph.BottomRight, gridWidth, gridHeight));
      },
      onWordEnd);
}

}  // namespace kyt
