#include "core/Error.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

Bitmap DecodePhotoCd(const std::vector<uint8_t>&) { throw Error("Photo-CD pictures cannot be read yet."); }

}  // namespace kyt
