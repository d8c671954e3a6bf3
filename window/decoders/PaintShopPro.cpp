#include "core/Error.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

Bitmap DecodePaintShopPro(const std::vector<uint8_t>&) { throw Error("Paint Shop Pro pictures cannot be read yet."); }

}  // namespace kyt
