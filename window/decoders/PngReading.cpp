#include "window/decoders/PngReading.h"

#include <cstring>
#include <string>

#include "core/Bitmap.h"
#include "core/ByteReader.h"
#include "core/DecodeBudget.h"
#include "core/Error.h"

namespace kyt {

namespace {

// libpng takes the memory for a chunk's claimed length before it reads the
// chunk. Every chunk up to the end chunk must lie within the file, so no
// claim can make the decoder take more memory than the file holds. Tells
// whether the end chunk was reached.
bool CheckChunksWithinFile(const std::vector<uint8_t>& bytes,
                           const std::function<void(const uint8_t* type)>& onChunk) {
  ByteReader reader(bytes, "PNG");
  reader.Skip(8);
  while (reader.Has(8)) {
    const uint32_t length = reader.U32BE();
    const uint8_t* type = reader.Take(4);
    const bool end = std::memcmp(type, "IEND", 4) == 0;
    if (!reader.Has(uint64_t(length) + 4)) reader.Truncated();
    if (end) return true;
    if (onChunk) onChunk(type);
    reader.Skip(uint64_t(length) + 4);
  }
  return false;
}

}  // namespace

void FailPng(const png_image& image) {
  std::string message = image.message[0] ? image.message : "unknown error";
  throw Error("The PNG picture cannot be read: " + message);
}

PngLayout BeginPngRead(const std::vector<uint8_t>& bytes, PngImage& image,
                       const std::function<void(const uint8_t* type)>& onChunk) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) throw Error("The data is not a PNG picture");
  PngLayout layout;
  layout.endChunkSeen = CheckChunksWithinFile(bytes, onChunk);
  if (!png_image_begin_read_from_memory(image.get(), bytes.data(), bytes.size())) FailPng(*image.get());
  const uint32_t width = image->width, height = image->height;
  if (width == 0 || height == 0 || uint64_t(width) * height > uint64_t(Bitmap::kMaxPixels))
    throw Error("The PNG picture has an invalid size (" + std::to_string(width) + " x " + std::to_string(height) + ")");

  // A file too small to hold the claimed rows at deflate's largest expansion
  // is refused before the picture's memory is taken. libpng has checked that
  // the header chunk comes first, so its bit depth and colour type are at
  // bytes 24 and 25.
  const uint32_t bitDepth = bytes[24], colourType = bytes[25];
  const uint32_t channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
  const uint64_t imageBytes = uint64_t(height) * ((uint64_t(width) * bitDepth * channels + 7) / 8);
  if (imageBytes / budget::kDeflateRatio > bytes.size())
    throw Error("The PNG picture is truncated: " + std::to_string(bytes.size()) + " bytes cannot hold " +
                std::to_string(width) + " x " + std::to_string(height) + " pixels");

  // A one-bit picture passes the deflate test with few bytes: the pixel budget
  // bounds what it may claim, since the picture is taken at 7 bytes a pixel.
  budget::CheckPixelBudget("PNG", width, height, bytes.size());
  layout.width = width;
  layout.height = height;
  layout.bitDepth = bitDepth;
  layout.colourType = colourType;
  return layout;
}

}  // namespace kyt
