#pragma once
// The start of every PNG read through libpng's simplified reader: the reader
// freed on every path, and the checks made before any picture memory is
// taken. The PNG decoder and the command-line tool's ink reader both begin
// this way, so both refuse the same files.
#include <png.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace kyt {

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

// Raises kyt::Error with libpng's message for the image.
[[noreturn]] void FailPng(const png_image& image);

// What BeginPngRead found.
struct PngLayout {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitDepth = 0;
  uint32_t colourType = 0;
  bool endChunkSeen = false;  // the chunk walk reached the end chunk
};

// Checks `bytes` and reads the header into `image`, ready for
// png_image_finish_read: the signature; every chunk up to the end chunk within
// the file (libpng takes the memory a chunk claims before reading it);
// libpng's header; a size within Bitmap::kMaxPixels; data enough for the rows
// at deflate's largest expansion; and the pixel budget (DecodeBudget.h).
// `onChunk`, when given, is told the type (4 bytes) of every chunk before the
// end chunk. Raises kyt::Error for any file that fails one of them.
PngLayout BeginPngRead(const std::vector<uint8_t>& bytes, PngImage& image,
                       const std::function<void(const uint8_t* type)>& onChunk = nullptr);

}  // namespace kyt
