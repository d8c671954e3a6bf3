// The key of a glyph grid for the answers of one recognition run.
#include "recognition/GridMemory.h"

#include <cstdint>

namespace kyt {

std::string GridKey(const Bitmap& grid) {
  const int32_t width = grid.Width(), height = grid.Height();
  const size_t cells = size_t(width > 0 ? width : 0) * size_t(height > 0 ? height : 0);
  std::string key(8 + (cells + 7) / 8, '\0');
  for (int k = 0; k < 4; ++k) {
    key[size_t(k)] = char(uint32_t(width) >> (8 * k));
    key[size_t(4 + k)] = char(uint32_t(height) >> (8 * k));
  }
  size_t i = 0;
  for (int32_t y = 0; y < height; ++y) {
    const Color* row = grid.Row(y);
    // The same test as BitmapToInput's: black is ink, every other colour not.
    for (int32_t x = 0; x < width; ++x, ++i)
      if (row[x] == kBlack) key[8 + i / 8] = char(uint8_t(key[8 + i / 8]) | (1u << (i % 8)));
  }
  return key;
}

bool GlyphPixelsKey(const std::vector<TPoint>& pixels, TPoint topLeft, TPoint bottomRight, std::string& key) {
  key.clear();
  if (pixels.empty()) return false;
  const int64_t width = int64_t(bottomRight.X) - topLeft.X + 1, height = int64_t(bottomRight.Y) - topLeft.Y + 1;
  if (width <= 0 || height <= 0 || width * height > kMaxKeyedCells) return false;
  key.assign(8 + size_t(width * height + 7) / 8, '\0');
  for (int k = 0; k < 4; ++k) {
    key[size_t(k)] = char(uint32_t(width) >> (8 * k));
    key[size_t(4 + k)] = char(uint32_t(height) >> (8 * k));
  }
  for (const TPoint& p : pixels) {
    const int64_t x = int64_t(p.X) - topLeft.X, y = int64_t(p.Y) - topLeft.Y;
    if (x < 0 || x >= width || y < 0 || y >= height) {
      key.clear();
      return false;
    }
    const size_t i = size_t(y * width + x);
    key[8 + i / 8] = char(uint8_t(key[8 + i / 8]) | (1u << (i % 8)));
  }
  return true;
}

}  // namespace kyt
