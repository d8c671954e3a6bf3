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

// A picture file's bytes and the decoder extension for them.
struct PictureFile {
  std::vector<uint8_t> bytes;
  std::string format;
};

// Reads a picture file and tells its format. Raises kyt::Error when the file
// cannot be read, is empty or is of a format that is not supported.
PictureFile ReadPictureFile(const std::string& name);

// Decodes it. Raises kyt::Error when its data is corrupt or the picture has no pixels.
kyt::Bitmap DecodePictureFile(const PictureFile& file);

// Both: reads and decodes a picture, with the reasons above.
kyt::Bitmap ReadPictureInput(const std::string& name);

}  // namespace kytdcr
