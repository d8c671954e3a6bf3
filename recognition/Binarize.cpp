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

  // Pictures are mostly runs of one colour: remember the last verdict.
  bool haveLast = false;
  Color lastColor = 0;
  uint8_t lastInk = 0;
  for (int32_t x = 0; x < width; ++x) {
    std::vector<uint8_t>& column = ImageArray[size_t(x)];
    for (int32_t y = 0; y < height; ++y) {
      const Color color = Picture.Pixel(x, y);
      if (!haveLast || color != lastColor) {
        lastColor = color;
        lastInk = double(BWThreshold) > Luminance(color) ? 1 : 0;
        haveLast = true;
      }
      column[size_t(y)] = lastInk;
    }
  }
}

}  // namespace kyt
