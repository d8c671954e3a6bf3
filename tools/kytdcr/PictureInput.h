#pragma once
// Pictures for the tool: a file, or "-" for standard input; the format from
// the file name's extension, else from the first bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "core/Bitmap.h"

namespace kytdcr {

// The decoder extension for picture bytes by their signature, or "" if unknown.
std::string SniffPictureFormat(const std::vector<uint8_t>& bytes);

// Reads and decodes a picture. Raises kyt::Error with a clear reason: the file
// cannot be read, it is empty, its format is not supported, its data is
// corrupt, or the picture has no pixels.
kyt::Bitmap ReadPictureInput(const std::string& name);

}  // namespace kytdcr
