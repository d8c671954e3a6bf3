#include "core/Error.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

Bitmap DecodeSgi(const std::vector<uint8_t>&) { throw Error("SGI pictures cannot be read yet."); }

}  // namespace kyt
