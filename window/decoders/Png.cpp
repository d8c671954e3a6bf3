// PNG pictures through libpng's simplified reader: every colour type and bit
// depth comes out as 8-bit RGB, transparent parts composed over white.
#include <png.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/ByteReader.h"
#include "core/Error.h"
#include "core/DecodeBudget.h"
#include "window/decoders/Decoders.h"

namespace kyt {

namespace {

// Frees libpng's reader on every path.
class PngImage {
 public:
  PngImage() {
    image_ = png_image{};
    image_.version = PNG_IMAGE_VERSION;
  }
  ~PngImage() { png_image_free(&image_); }
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;
  png_image* operator->() { return &image_; }
  png_image* get() { return &image_; }

 private:
  png_image image_;
};

[[noreturn]] void Fail(const png_image& image) {
  std::string message = image.message[0] ? image.message : "unknown error";
  throw Error("The PNG picture cannot be read: " + message);
}

// libpng takes the memory for a chunk's claimed length before it reads the
// chunk. Every chunk up to the end chunk must lie within the file, so no
// claim can make the decoder take more memory than the file holds.
void CheckChunksWithinFile(const std::vector<uint8_t>& bytes) {
  ByteReader reader(bytes, "PNG");
  reader.Skip(8);
  while (reader.Has(8)) {
    const uint32_t length = reader.U32BE();
    const bool end = std::memcmp(reader.Take(4), "IEND", 4) == 0;
    if (!reader.Has(uint64_t(length) + 4)) reader.Truncated();
    if (end) return;
    reader.Skip(uint64_t(length) + 4);
  }
}

}  // namespace

Bitmap DecodePng(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) throw Error("The data is not a PNG picture");
  CheckChunksWithinFile(bytes);
  PngImage image;
  if (!png_image_begin_read_from_memory(image.get(), bytes.data(), bytes.size())) Fail(*image.get());
  const uint32_t width = image->width, height = image->height;
  if (width == 0 || height == 0 || uint64_t(width) * height > uint64_t(Bitmap::kMaxPixels))
    throw Error("The PNG picture has an invalid size (" + std::to_string(width) + " x " + std::to_string(height) + ")");

  // Deflate expands at most 1032 times: a file too small to hold the claimed
  // rows is refused before the picture's memory is taken. libpng has checked
  // that the header chunk comes first, so its bit depth and colour type are at
  // bytes 24 and 25.
  constexpr uint64_t kMaxDeflateRatio = 1032;
  const uint32_t bitDepth = bytes[24], colourType = bytes[25];
  const uint32_t channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
  const uint64_t imageBytes = uint64_t(height) * ((uint64_t(width) * bitDepth * channels + 7) / 8);
  if (imageBytes / kMaxDeflateRatio > bytes.size())
    throw Error("The PNG picture is truncated: " + std::to_string(bytes.size()) + " bytes cannot hold " +
                std::to_string(width) + " x " + std::to_string(height) + " pixels");

  // A one-bit picture passes the deflate test with few bytes: the pixel budget
  // bounds what it may claim, since the picture is taken at 7 bytes a pixel.
  budget::CheckPixelBudget("PNG", width, height, bytes.size());

  image->format = PNG_FORMAT_RGB;
  const size_t stride = size_t(width) * 3;
  std::vector<uint8_t> rgb(stride * height);
  png_color white{255, 255, 255};
  if (!png_image_finish_read(image.get(), &white, rgb.data(), static_cast<png_int_32>(stride), nullptr))
    Fail(*image.get());

  Bitmap picture(static_cast<int32_t>(width), static_cast<int32_t>(height));
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* src = rgb.data() + stride * y;
    Color* out = picture.Row(int32_t(y));
    for (uint32_t x = 0; x < width; ++x) out[x] = MakeColor(src[3 * x], src[3 * x + 1], src[3 * x + 2]);
  }
  return picture;
}

}  // namespace kyt
