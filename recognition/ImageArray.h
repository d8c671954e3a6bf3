#pragma once
// TImageArray: the binarised picture of the segmentation, x the column and y
// the row, 1 for ink and 0 for background; ImageArray[x][y] reads as before.
//
// The cells are bits. Rows are taken in bands of 64: word (band, x) holds
// rows 64 * band to 64 * band + 63 of column x, row y in bit y % 64, and the
// words of one band lie side by side for all columns. Binarisation fills the
// picture row by row into consecutive words; a band's words ORed together tell
// which of its 64 rows hold ink, and a column's ink between two rows is a few
// masked words. Bits below the last row are always 0.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kyt {

class TImageArray {
 public:
  static constexpr int32_t kBandRows = 64;

  // One column, read as a vector of cells.
  class Column {
   public:
    Column(const uint64_t* band0, size_t bandStride, int32_t height)
        : band0_(band0), stride_(bandStride), height_(height) {}
    size_t size() const { return size_t(height_); }
    uint8_t operator[](size_t y) const { return uint8_t((band0_[(y >> 6) * stride_] >> (y & 63)) & 1u); }

   private:
    const uint64_t* band0_;
    size_t stride_;
    int32_t height_;
  };

  class ColumnIterator {
   public:
    ColumnIterator(const TImageArray& image, size_t x) : image_(&image), x_(x) {}
    Column operator*() const { return (*image_)[x_]; }
    ColumnIterator& operator++() {
      ++x_;
      return *this;
    }
    bool operator==(const ColumnIterator& other) const { return x_ == other.x_; }

   private:
    const TImageArray* image_;
    size_t x_;
  };

  TImageArray() = default;
  // `width` columns of `height` rows, all background; negative sizes count as 0.
  TImageArray(int32_t width, int32_t height) { Assign(width, height); }

  void Assign(int32_t width, int32_t height) {
    width_ = width > 0 ? width : 0;
    height_ = height > 0 ? height : 0;
    bands_ = (height_ + kBandRows - 1) / kBandRows;
    words_.assign(size_t(width_) * size_t(bands_), 0);
  }

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Bands() const { return bands_; }
  // The number of columns, as the outer vector had.
  size_t size() const { return size_t(width_); }
  bool empty() const { return width_ == 0; }

  Column operator[](size_t x) const { return Column(words_.data() + x, size_t(width_), height_); }
  ColumnIterator begin() const { return ColumnIterator(*this, 0); }
  ColumnIterator end() const { return ColumnIterator(*this, size_t(width_)); }

  // Unchecked cell access; callers keep 0 <= x < Width(), 0 <= y < Height().
  bool Ink(int32_t x, int32_t y) const { return (Word(y >> 6, x) >> (y & 63)) & 1u; }
  void SetInk(int32_t x, int32_t y, bool ink = true) {
    uint64_t& word = words_[size_t(y >> 6) * size_t(width_) + size_t(x)];
    const uint64_t bit = uint64_t(1) << (y & 63);
    word = ink ? word | bit : word & ~bit;
  }

  // The words of one band, one per column.
  const uint64_t* Band(int32_t band) const { return words_.data() + size_t(band) * size_t(width_); }
  uint64_t* Band(int32_t band) { return words_.data() + size_t(band) * size_t(width_); }
  uint64_t Word(int32_t band, int32_t x) const { return words_[size_t(band) * size_t(width_) + size_t(x)]; }

  // The bits of rows first..last (clipped to the band) within band `band`.
  static uint64_t RowMask(int32_t band, int32_t first, int32_t last) {
    const int32_t low = first - band * kBandRows, high = last - band * kBandRows;
    const uint64_t upTo = high >= kBandRows - 1 ? ~uint64_t(0) : (uint64_t(2) << high) - 1;
    const uint64_t from = low <= 0 ? ~uint64_t(0) : ~((uint64_t(1) << low) - 1);
    return upTo & from;
  }

  // Whether column x holds ink in a row from `top` to `bottom` (within the picture).
  bool AnyInk(int32_t x, int32_t top, int32_t bottom) const {
    for (int32_t band = top >> 6; band <= bottom >> 6; ++band)
      if (Word(band, x) & RowMask(band, top, bottom)) return true;
    return false;
  }

  // Calls visit(y) for every ink row of column x from `top` to `bottom`, top down.
  template <typename Visit>
  void ForEachInk(int32_t x, int32_t top, int32_t bottom, Visit&& visit) const {
    for (int32_t band = top >> 6; band <= bottom >> 6; ++band) {
      uint64_t bits = Word(band, x) & RowMask(band, top, bottom);
      while (bits) {
        visit(band * kBandRows + std::countr_zero(bits));
        bits &= bits - 1;
      }
    }
  }

  bool operator==(const TImageArray&) const = default;

 private:
  int32_t width_ = 0, height_ = 0, bands_ = 0;
  std::vector<uint64_t> words_;  // bands_ rows of width_ words
};

}  // namespace kyt
