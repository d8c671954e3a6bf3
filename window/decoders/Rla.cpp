#include "core/Error.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

Bitmap DecodeRla(const std::vector<uint8_t>&) { throw Error("RLA pictures cannot be read yet."); }

}  // namespace kyt
