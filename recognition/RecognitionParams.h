#pragma once
// The three recognition parameters of a frame with their defaults, stated here
// only: the black/white threshold (a pixel is ink when its luminance is below
// it), the noise threshold (glyphs with fewer pixels are dropped) and the
// space width (the number of empty columns that ends a word).
#include <cstdint>

namespace kyt {

struct TRecognitionParams {
  int32_t BWThreshold = 196;
  int32_t NoiseThreshold = 10;
  int32_t SpaceWidth = 22;
};

inline constexpr TRecognitionParams kDefaultRecognitionParams{};

}  // namespace kyt
