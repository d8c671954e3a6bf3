#pragma once
// Pictures decoded straight to the segmentation's ink at a black/white
// threshold, without a 24-bit bitmap or a copy of it: portable bit and grey
// maps (P1, P2, P4, P5), PNG, and one-bit TIFF pages in strips. Every pixel's
// verdict is the one Binarize gives the colour the picture decoder would have
// produced for it.
#include <cstdint>
#include <optional>

#include "PictureInput.h"
#include "recognition/DCRFra.h"

namespace kytdcr {

// The ink of `file` where a pixel is ink when `bwThreshold` exceeds its
// luminance; empty for any other format or kind of map, and for any file the
// picture decoder would refuse, so that decoding it the usual way then reports
// the fault in its own words.
std::optional<kyt::TImageArray> DecodeInk(const PictureFile& file, int32_t bwThreshold);

}  // namespace kytdcr
