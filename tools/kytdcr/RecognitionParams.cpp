#include "RecognitionParams.h"

#include <limits>
#include <string>

namespace kytdcr {

std::vector<OptionSpec> RecognitionOptionSpecs() {
  return {{"bw", 0, true, false}, {"noise", 0, true, false}, {"space", 0, true, false}};
}

const char* const kRecognitionOptionsHelp =
    "  --bw N         black/white threshold: a pixel is ink when its luminance\n"
    "                 (0-255) is below N (default 196)\n"
    "  --noise N      glyphs of fewer than N pixels are ignored (default 10)\n"
    "  --space N|auto empty columns that end a word (default 22); 'auto' measures\n"
    "                 the gaps of the picture's lines and picks the width between\n"
    "                 letter gaps and word gaps\n";

RecognitionParams ReadRecognitionParams(const Options& options) {
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  RecognitionParams p;
  p.values.BWThreshold = options.Int("bw", kyt::kDefaultRecognitionParams.BWThreshold, kMin, kMax);
  p.values.NoiseThreshold = options.Int("noise", kyt::kDefaultRecognitionParams.NoiseThreshold, kMin, kMax);
  const std::string space = options.Value("space", std::to_string(kyt::kDefaultRecognitionParams.SpaceWidth));
  if (space == "auto") {
    p.autoSpace = true;
    p.values.SpaceWidth = kyt::kDefaultRecognitionParams.SpaceWidth;
  } else {
    p.values.SpaceWidth = ParseInt(space, "--space", kMin, kMax);
  }
  return p;
}

}  // namespace kytdcr
