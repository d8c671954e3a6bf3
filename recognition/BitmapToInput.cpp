// Network input: a grid bitmap read row by row into the input layer.
#include <string>

#include "core/Error.h"
#include "recognition/BackPropCls.h"

namespace kyt {

void TBackProp::BitmapToInput(const Bitmap& grid, TLayer& layer) {
  const int32_t width = grid.Width(), height = grid.Height();
  const size_t cells = size_t(width) * size_t(height);
  // Element 0 is the bias unit, so the layer needs one element more than the grid.
  if (layer.size() < cells + 1)
    throw Error("The input layer holds " + std::to_string(layer.size()) + " elements, too few for a grid of " +
                std::to_string(width) + " x " + std::to_string(height));
  size_t i = 1;
  for (int32_t y = 0; y < height; ++y) {
    const Color* row = grid.Row(y);
    for (int32_t x = 0; x < width; ++x) layer[i++] = row[x] == kBlack ? 1.0f : -1.0f;
  }
}

}  // namespace kyt
