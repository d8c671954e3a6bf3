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
  ImageArray.Assign(width, height);

  // A pixel's verdict depends on its colour alone, so the picture is read once
  // in its own order, row by row, each row's bits going to the consecutive
  // words of its band. Pictures are mostly runs of one colour: the last
  // verdict is remembered.
  bool haveLast = false;
  Color lastColor = 0;
  uint64_t lastInk = 0;
  for (int32_t y = 0; y < height; ++y) {
    const Color* row = Picture.Row(y);
    uint64_t* band = ImageArray.Band(y / TImageArray::kBandRows);
    const int shift = y % TImageArray::kBandRows;
    for (int32_t x = 0; x < width; ++x) {
      const Color color = row[x];
      if (!haveLast || color != lastColor) {
        lastColor = color;
        lastInk = double(BWThreshold) > Luminance(color) ? 1 : 0;
        haveLast = true;
      }
      band[x] |= lastInk << shift;
    }
  }
}

}  // namespace kyt
