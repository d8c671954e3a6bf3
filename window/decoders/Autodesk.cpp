#include "core/Error.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

Bitmap DecodeAutodesk(const std::vector<uint8_t>&) { throw Error("Autodesk pictures cannot be read yet."); }

}  // namespace kyt
