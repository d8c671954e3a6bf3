#pragma once
// A 24-bit picture held as one 32-bit value per pixel, 0x00BBGGRR (red in the
// low byte), x the column and y the row, both from 0 at the top left.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kyt {

using Color = uint32_t;
constexpr Color kBlack = 0x000000;
constexpr Color kWhite = 0xFFFFFF;

constexpr Color MakeColor(uint8_t r, uint8_t g, uint8_t b) {
  return Color(r) | (Color(g) << 8) | (Color(b) << 16);
}
constexpr uint8_t RedOf(Color c) { return uint8_t(c & 0xFF); }
constexpr uint8_t GreenOf(Color c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t BlueOf(Color c) { return uint8_t((c >> 16) & 0xFF); }

struct Rect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;  // Right and Bottom exclusive
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
};

class Bitmap {
 public:
  // The largest picture accepted: anything bigger is refused with kyt::Error
  // before memory is taken (decoders rely on this for hostile headers).
  static constexpr int64_t kMaxPixels = int64_t(1) << 28;

  Bitmap() = default;
  Bitmap(int32_t width, int32_t height, Color fill = kWhite);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }

  // Resizes; pixels that still fit keep their colour, new ones take `fill`.
  // Negative or oversized dimensions raise kyt::Error.
  void SetSize(int32_t width, int32_t height, Color fill = kWhite);
  void SetWidth(int32_t width, Color fill = kWhite) { SetSize(width, height_, fill); }
  void SetHeight(int32_t height, Color fill = kWhite) { SetSize(width_, height, fill); }

  // Unchecked access; callers keep 0 <= x < Width(), 0 <= y < Height().
  Color Pixel(int32_t x, int32_t y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
  void SetPixel(int32_t x, int32_t y, Color c) { pixels_[size_t(y) * size_t(width_) + size_t(x)] = c; }
  const Color* Row(int32_t y) const { return pixels_.data() + size_t(y) * size_t(width_); }
  Color* Row(int32_t y) { return pixels_.data() + size_t(y) * size_t(width_); }

  void Fill(Color c);
  // Fills [left, right) x [top, bottom), clipped to the bitmap.
  void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, Color c);
  // Copies `src` with its top-left corner at (x, y), clipped.
  void Draw(const Bitmap& src, int32_t x, int32_t y);
  // Copies the rectangle `from` of `src` to (x, y), clipped on both sides.
  void CopyRect(const Bitmap& src, const Rect& from, int32_t x, int32_t y);
  // Nearest-neighbour stretch of the whole of `src` onto `to` (clipped to this bitmap).
  void StretchDraw(const Bitmap& src, const Rect& to);

  bool operator==(const Bitmap& other) const = default;

 private:
  int32_t width_ = 0, height_ = 0;
  std::vector<Color> pixels_;
};

}  // namespace kyt
