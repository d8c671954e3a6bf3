// Line finding (horizontal projection) and word finding (vertical projection
// within each line) on the binarised picture.
#include <algorithm>

#include "recognition/DCRFra.h"

namespace kyt {

void TDCRFrame::FindLines() {
  Lines.clear();
  const int32_t width = ImageArray.Width();
  const int32_t height = width > 0 ? ImageArray.Height() : 0;
  bool open = false;
  // A band's words ORed over all columns tell which of its rows hold ink.
  for (int32_t band = 0; band * TImageArray::kBandRows < height; ++band) {
    const uint64_t* words = ImageArray.Band(band);
    uint64_t rows = 0;
    for (int32_t x = 0; x < width; ++x) rows |= words[x];
    const int32_t first = band * TImageArray::kBandRows;
    const int32_t last = std::min(height, first + TImageArray::kBandRows);
    for (int32_t y = first; y < last; ++y) {
      const bool ink = (rows >> (y - first)) & 1u;
      if (ink && !open) {
        TLine line;
        line.Top = y;
        Lines.push_back(std::move(line));
        open = true;
      } else if (!ink && open) {
        Lines.back().Bottom = y - 1;
        open = false;
      }
    }
  }
  if (open) Lines.back().Bottom = height - 1;
}

void TDCRFrame::FindWords() {
  const int32_t width = ImageArray.Width();
  const int32_t height = ImageArray.Height();
  for (TLine& line : Lines) {
    line.Words.clear();
    const int32_t top = std::max(line.Top, 0);
    const int32_t bottom = std::min(line.Bottom, height - 1);
    bool open = false;
    int32_t gap = 0;
    for (int32_t x = 0; x < width; ++x) {
      ++gap;
      if (top <= bottom && ImageArray.AnyInk(x, top, bottom)) {
        gap = 0;
        if (!open) {
          TWord word;
          word.Left = x;
          line.Words.push_back(std::move(word));
          open = true;
        }
      }
      // With SpaceWidth 0 or below this closes every word in its own column.
      if (open && gap >= SpaceWidth) {
        line.Words.back().Right = x - gap;
        open = false;
      }
    }
    if (open) line.Words.back().Right = width - 1;
  }
}

}  // namespace kyt
