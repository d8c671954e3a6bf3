#pragma once
// Pictures drawn from text for the segmentation and recognition tests:
// '#' is a black pixel, anything else white.
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "recognition/DCRFra.h"

namespace kyt::testing {

inline Bitmap DrawRows(const std::vector<std::string>& rows) {
  const int32_t height = int32_t(rows.size());
  const int32_t width = rows.empty() ? 0 : int32_t(rows.front().size());
  Bitmap picture(width, height, kWhite);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width && x < int32_t(rows[size_t(y)].size()); ++x)
      if (rows[size_t(y)][size_t(x)] == '#') picture.SetPixel(x, y, kBlack);
  return picture;
}

// A frame holding `picture`, segmented up to glyph extraction.
inline void Segment(TDCRFrame& frame, const Bitmap& picture) {
  frame.AssignPicture(picture);
  frame.Binarize();
  frame.FindLines();
  frame.FindWords();
  frame.FindChars();
}

}  // namespace kyt::testing
