#include "core/Error.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

Bitmap DecodePcx(const std::vector<uint8_t>&) { throw Error("PCX pictures cannot be read yet."); }

}  // namespace kyt
