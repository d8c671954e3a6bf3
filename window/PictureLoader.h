#pragma once
// Loading pictures into a DCR window's frame: from picture files chosen by
// extension, and from base64 text held in a host variable ("mimestream:\\\").
#include <cstdint>
#include <string>
#include <vector>

#include "core/Bitmap.h"

namespace kyt {

class IWindowHost;
class TDCRFrame;

// The marker of a host-variable source and its length (14 characters).
inline constexpr const char kMimeStreamMarker[] = "mimestream:\\\\\\";
inline constexpr size_t kMimeStreamMarkerLength = 14;

// Decodes the picture file `fileName`, the decoder chosen by its extension
// (case-insensitive). Raises kyt::Error for an unknown extension, a file that
// cannot be opened, or corrupt data.
Bitmap LoadPictureFile(const std::string& fileName);

// Decodes picture bytes with the decoder of `extension` (without the dot, any case).
Bitmap DecodePicture(const std::vector<uint8_t>& bytes, const std::string& extension);

// The extensions of the file table, lower case, without dots.
const std::vector<std::string>& PictureFileExtensions();

// The picture-loading action step: a source holding "mimestream:\\\" anywhere is
// read from the host variable, anything else is a file name. Errors are raised
// as kyt::Error; an unsupported variable extension shows the platform's message
// box. A failed or empty load leaves the frame's picture as it was.
void LoadPicture(TDCRFrame& frame, const std::string& source, IWindowHost& host);

// Writes a bitmap as a 24-bit PNG file (tools and tests). Raises kyt::Error.
void SavePng(const Bitmap& bitmap, const std::string& fileName);
std::vector<uint8_t> EncodePng(const Bitmap& bitmap);

}  // namespace kyt
