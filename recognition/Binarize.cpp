// Binarisation: every pixel of the picture becomes ink (1) or background (0).
#include "recognition/DCRFra.h"

namespace kyt {

double TDCRFrame::Luminance(Color color) {
  // The value is split as the system's colour conversion leaves it: red in
  // bits 0-7, green in bits 8-15, blue in bits 16 and up.
  const long double red = color & 0xFF;
  const long double green = (color >> 8) & 0xFF;
  const long double blue = color >> 16;
  // Summed in extended precision, in this order, then rounded to a double:
  // a grey with all three components v comes out as exactly v.
  const long double y = red * 0.299L + green * 0.587L + blue * 0.114L;
  return static_cast<double>(y);
}

void TDCRFrame::Binarize() {
  const int32_t width = Picture.Width();
  const int32_t height = Picture.Height();
  ImageArray.assign(size_t(width), std::vector<uint8_t>(size_t(height), 0));

  // Pictures are mostly runs of one colour: remember the last verdict. A
  // pixel's verdict depends on its colour alone, so the picture is read in
  // its own order, row by row; the writes then go to the same cache lines of
  // all columns for many rows in a row.
  bool haveLast = false;
  Color lastColor = 0;
  uint8_t lastInk = 0;
  std::vector<uint8_t*> columns(static_cast<size_t>(width));
  for (int32_t x = 0; x < width; ++x) columns[size_t(x)] = ImageArray[size_t(x)].data();
  for (int32_t y = 0; y < height; ++y) {
    const Color* row = Picture.Row(y);
    for (int32_t x = 0; x < width; ++x) {
      const Color color = row[x];
      if (!haveLast || color != lastColor) {
        lastColor = color;
        lastInk = double(BWThreshold) > Luminance(color) ? 1 : 0;
        haveLast = true;
      }
      columns[size_t(x)][size_t(y)] = lastInk;
    }
  }
}

}  // namespace kyt
