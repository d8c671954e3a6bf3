#pragma once
// Decoders of the common picture formats. Each takes the whole file in memory
// and returns a 24-bit picture, or raises kyt::Error for corrupt, truncated or
// unsupported data; none reads or writes out of bounds. Transparent areas come
// out white. The less common formats are in RareFormats.h.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "core/Error.h"

namespace kyt {

Bitmap DecodeBmp(const std::vector<uint8_t>& bytes);   // bmp rle dib: Windows bitmap file
Bitmap DecodeIco(const std::vector<uint8_t>& bytes);   // ico: the largest image of the icon
Bitmap DecodeJpeg(const std::vector<uint8_t>& bytes);  // jpg jpeg jpe jfif
Bitmap DecodePng(const std::vector<uint8_t>& bytes);   // png
Bitmap DecodeTiff(const std::vector<uint8_t>& bytes);  // tif tiff fax stw: the first page
Bitmap DecodePnm(const std::vector<uint8_t>& bytes);   // ppm pgm pbm: any of P1 to P6

namespace dib {

// A device-independent bitmap as found after a bitmap file's header or as an
// icon's image: the info header, the colour masks, the palette and the pixels.
struct Image {
  Bitmap Picture;
  // For 32-bit pictures whose alpha channel is used: one value per pixel, row by row.
  std::vector<uint8_t> Alpha;
  // Offset just after the pixel rows (where an icon's AND mask starts).
  size_t PixelsEnd = 0;
  // Rows are stored top row first (negative height).
  bool TopDown = false;
};

struct ReadOptions {
  // Where the pixels start, from the start of `data`; 0 means right after the palette.
  size_t PixelOffset = 0;
  // Icon images give twice the height (colour rows and mask rows).
  bool HalfHeight = false;
  // Keep the alpha channel of 32-bit pictures in Image::Alpha.
  bool KeepAlpha = false;
};

// Reads the DIB that starts at data[0]; raises kyt::Error for bad data.
Image Read(const uint8_t* data, size_t size, const ReadOptions& options);

}  // namespace dib

}  // namespace kyt
