#pragma once
// Windows metafiles (EMF, and WMF with its placeable header) drawn with GDI
// onto a white 24-bit picture of the metafile's own size.
#include <cstdint>
#include <vector>

#include "core/Bitmap.h"

namespace kyt::win32 {

// Raises kyt::Error for data that is neither an enhanced metafile nor a
// placeable Windows metafile, for a corrupt one and for one without a size.
Bitmap RenderMetafile(const std::vector<uint8_t>& bytes);

}  // namespace kyt::win32
