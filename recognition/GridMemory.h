#pragma once
// Answers already found for glyph grids during one recognition run.
//
// While a network is held fixed (TBackProp::FixedNetwork), Propagate and
// Recognize are functions of the input layer alone, and the glyph encoder
// (BitmapToInput) writes into it nothing but whether each grid cell is black.
// Two glyphs with the same grid therefore get the same name, and a page of
// one font repeats its letters' grids over and over: the answer for a grid
// met before is taken from here instead of from another pass of the network.
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/Bitmap.h"
#include "recognition/DCRFra.h"

namespace kyt {

// What the glyph encoder sees of a grid, as a key: its width and height, then
// one bit per cell, set for black, row by row from the top left. Two grids
// have the same key exactly when BitmapToInput writes the same input for them.
std::string GridKey(const Bitmap& grid);

// A key for a glyph before it is scaled into a grid: the width and height of
// its box, then one bit per cell of the box, set for ink, row by row from the
// top left. NormalizeGlyphPixels draws a glyph's grid from nothing but these
// (each pixel's place in the box, and the box's size), so two glyphs with the
// same key have the same grid, wherever they stand on the page. Returns false
// and leaves `key` empty for a glyph this key is not made for: no pixels, a
// pixel outside the box, or a box of more than kMaxKeyedCells cells (whose key
// would be larger than the work it saves).
constexpr int64_t kMaxKeyedCells = 1 << 14;
bool GlyphPixelsKey(const std::vector<TPoint>& pixels, TPoint topLeft, TPoint bottomRight, std::string& key);

// Keyed values, at most a fixed number of them (later ones are not kept), so
// that a page of ever new glyphs costs bounded memory.
template <typename Value>
class TGridMemory {
 public:
  explicit TGridMemory(size_t capacity = 8192) : capacity_(capacity) {}
  // The value kept for `key`, or nullptr.
  const Value* Find(const std::string& key) const {
    const auto it = values_.find(key);
    return it == values_.end() ? nullptr : &it->second;
  }
  void Add(std::string key, Value value) {
    if (values_.size() < capacity_) values_.emplace(std::move(key), std::move(value));
  }
  size_t Size() const { return values_.size(); }

 private:
  size_t capacity_;
  std::unordered_map<std::string, Value> values_;
};

}  // namespace kyt
