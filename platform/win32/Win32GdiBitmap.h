#pragma once
// A 32-bit top-down DIB section selected into its own memory DC: the canvas
// on which the Win32 layer draws with GDI and reads the pixels back.
#include <windows.h>

#include <cstdint>

#include "core/Bitmap.h"

namespace kyt::win32 {

class DibCanvas {
 public:
  // Raises kyt::Error when the DIB section or the DC cannot be made.
  DibCanvas(int32_t width, int32_t height, Color fill);
  ~DibCanvas();
  DibCanvas(const DibCanvas&) = delete;
  DibCanvas& operator=(const DibCanvas&) = delete;

  HDC Dc() const { return dc_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // The canvas's pixels as a picture (0x00BBGGRR).
  Bitmap ToBitmap() const;

 private:
  int32_t width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  uint32_t* bits_ = nullptr;  // 0x00RRGGBB per pixel, top row first
};

// Draws `picture` unscaled with its top-left corner at (x, y) of `dc`, as far
// as the DC's clipping region lets it show.
void DrawPicture(HDC dc, const Bitmap& picture, int x, int y);

}  // namespace kyt::win32
