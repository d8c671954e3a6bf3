#include "platform/win32/Win32GdiBitmap.h"

#include <algorithm>
#include <vector>

#include "core/Error.h"

namespace kyt::win32 {

namespace {

BITMAPINFO TopDownInfo(int32_t width, int32_t height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

uint32_t ToDib(Color c) { return (uint32_t(RedOf(c)) << 16) | (uint32_t(GreenOf(c)) << 8) | BlueOf(c); }

Color FromDib(uint32_t v) { return MakeColor(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)); }

}  // namespace

DibCanvas::DibCanvas(int32_t width, int32_t height, Color fill) : width_(width), height_(height) {
  if (width <= 0 || height <= 0 || int64_t(width) * height > Bitmap::kMaxPixels)
    throw Error("Invalid picture size " + std::to_string(width) + " x " + std::to_string(height) + ".");
  dc_ = CreateCompatibleDC(nullptr);
  if (!dc_) throw Error("No device context for drawing.");
  const BITMAPINFO info = TopDownInfo(width, height);
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap_ || !bits) {
    DeleteDC(dc_);
    throw Error("Not enough memory for a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels.");
  }
  bits_ = static_cast<uint32_t*>(bits);
  oldBitmap_ = SelectObject(dc_, bitmap_);
  const uint32_t v = ToDib(fill);
  const size_t count = size_t(width) * size_t(height);
  for (size_t i = 0; i < count; ++i) bits_[i] = v;
}

DibCanvas::~DibCanvas() {
  SelectObject(dc_, oldBitmap_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

Bitmap DibCanvas::ToBitmap() const {
  GdiFlush();
  Bitmap out(width_, height_);
  for (int32_t y = 0; y < height_; ++y) {
    const uint32_t* src = bits_ + size_t(y) * size_t(width_);
    Color* dst = out.Row(y);
    for (int32_t x = 0; x < width_; ++x) dst[x] = FromDib(src[x]);
  }
  return out;
}

void DrawPicture(HDC dc, const Bitmap& picture, int x, int y) {
  if (picture.Empty()) return;
  // Only the part that can show is converted: pictures may be far larger than the window.
  RECT clip;
  const int kind = GetClipBox(dc, &clip);
  if (kind == ERROR || kind == NULLREGION) return;
  const int left = std::max(x, int(clip.left)), top = std::max(y, int(clip.top));
  const int right = int(std::min<int64_t>(int64_t(x) + picture.Width(), clip.right));
  const int bottom = int(std::min<int64_t>(int64_t(y) + picture.Height(), clip.bottom));
  if (left >= right || top >= bottom) return;
  const int w = right - left, h = bottom - top;
  std::vector<uint32_t> pixels(size_t(w) * size_t(h));
  for (int row = 0; row < h; ++row) {
    const Color* src = picture.Row(top - y + row) + (left - x);
    uint32_t* dst = pixels.data() + size_t(row) * size_t(w);
    for (int col = 0; col < w; ++col) dst[col] = ToDib(src[col]);
  }
  const BITMAPINFO info = TopDownInfo(w, h);
  // For a top-down DIB the start scan line counts from the top as well.
  SetDIBitsToDevice(dc, left, top, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), pixels.data(), &info, DIB_RGB_COLORS);
}

}  // namespace kyt::win32
