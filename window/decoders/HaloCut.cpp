#include "core/Error.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

Bitmap DecodeHaloCut(const std::vector<uint8_t>&) { throw Error("Dr. Halo pictures cannot be read yet."); }

}  // namespace kyt
