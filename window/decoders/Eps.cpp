#include "core/Error.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

Bitmap DecodeEps(const std::vector<uint8_t>&) { throw Error("EPS pictures cannot be read yet."); }

}  // namespace kyt
