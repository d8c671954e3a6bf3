// Line finding (horizontal projection) and word finding (vertical projection
// within each line) on the binarised picture.
#include <algorithm>

#include "recognition/DCRFra.h"

namespace kyt {

namespace {

// Rows every column of the array has (they all have the picture's height).
int32_t ArrayHeight(const TImageArray& image) {
  if (image.empty()) return 0;
  size_t rows = image.front().size();
  for (const auto& column : image) rows = std::min(rows, column.size());
  return int32_t(rows);
}

}  // namespace

void TDCRFrame::FindLines() {
  Lines.clear();
  const int32_t width = int32_t(ImageArray.size());
  const int32_t height = ArrayHeight(ImageArray);
  bool open = false;
  for (int32_t y = 0; y < height; ++y) {
    bool ink = false;
    for (int32_t x = 0; x < width; ++x) {
      if (ImageArray[size_t(x)][size_t(y)] == 1) {
        ink = true;
        break;
      }
    }
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
  if (open) Lines.back().Bottom = height - 1;
}

void TDCRFrame::FindWords() {
  const int32_t width = int32_t(ImageArray.size());
  const int32_t height = ArrayHeight(ImageArray);
  for (TLine& line : Lines) {
    line.Words.clear();
    const int32_t top = std::max(line.Top, 0);
    const int32_t bottom = std::min(line.Bottom, height - 1);
    bool open = false;
    int32_t gap = 0;
    for (int32_t x = 0; x < width; ++x) {
      ++gap;
      const std::vector<uint8_t>& column = ImageArray[size_t(x)];
      for (int32_t y = top; y <= bottom; ++y) {
        if (column[size_t(y)] == 1) {
          gap = 0;
          if (!open) {
            TWord word;
            word.Left = x;
            line.Words.push_back(std::move(word));
            open = true;
          }
          break;
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
