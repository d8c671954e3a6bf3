#include "core/Error.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

Bitmap DecodeTga(const std::vector<uint8_t>&) { throw Error("TGA pictures cannot be read yet."); }

}  // namespace kyt
