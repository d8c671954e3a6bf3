#include "core/Bitmap.h"

#include <algorithm>
#include <string>

#include "core/Error.h"

namespace kyt {

Bitmap::Bitmap(int32_t width, int32_t height, Color fill) { SetSize(width, height, fill); }

void Bitmap::SetSize(int32_t width, int32_t height, Color fill) {
  if (width < 0 || height < 0 || int64_t(width) * int64_t(height) > kMaxPixels)
    throw Error("Invalid picture size " + std::to_string(width) + " x " + std::to_string(height));
  if (width == width_ && height == height_) return;
  std::vector<Color> next(size_t(width) * size_t(height), fill);
  const int32_t w = std::min(width, width_), h = std::min(height, height_);
  for (int32_t y = 0; y < h; ++y) std::copy_n(Row(y), w, next.data() + size_t(y) * size_t(width));
  pixels_.swap(next);
  width_ = width;
  height_ = height;
}

void Bitmap::Fill(Color c) { std::fill(pixels_.begin(), pixels_.end(), c); }

void Bitmap::FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, Color c) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width_);
  bottom = std::min(bottom, height_);
  for (int32_t y = top; y < bottom; ++y) std::fill(Row(y) + left, Row(y) + std::max(left, right), c);
}

void Bitmap::Draw(const Bitmap& src, int32_t x, int32_t y) {
  CopyRect(src, Rect{0, 0, src.width_, src.height_}, x, y);
}

void Bitmap::CopyRect(const Bitmap& src, const Rect& from, int32_t x, int32_t y) {
  for (int32_t sy = std::max(from.Top, 0); sy < std::min(from.Bottom, src.height_); ++sy) {
    const int32_t dy = y + (sy - from.Top);
    if (dy < 0 || dy >= height_) continue;
    for (int32_t sx = std::max(from.Left, 0); sx < std::min(from.Right, src.width_); ++sx) {
      const int32_t dx = x + (sx - from.Left);
      if (dx >= 0 && dx < width_) SetPixel(dx, dy, src.Pixel(sx, sy));
    }
  }
}

void Bitmap::StretchDraw(const Bitmap& src, const Rect& to) {
  const int64_t tw = to.Width(), th = to.Height();
  if (src.Empty() || tw <= 0 || th <= 0) return;
  for (int32_t dy = std::max(to.Top, 0); dy < std::min(to.Bottom, height_); ++dy) {
    const int32_t sy = int32_t((int64_t(dy - to.Top) * src.height_) / th);
    for (int32_t dx = std::max(to.Left, 0); dx < std::min(to.Right, width_); ++dx) {
      const int32_t sx = int32_t((int64_t(dx - to.Left) * src.width_) / tw);
      SetPixel(dx, dy, src.Pixel(sx, sy));
    }
  }
}

}  // namespace kyt
