#include "core/Error.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

Bitmap DecodePsd(const std::vector<uint8_t>&) { throw Error("Photoshop pictures cannot be read yet."); }

}  // namespace kyt
