#include "tests/win32/PngFiles.h"

#include <png.h>

namespace kyt::testhost {

bool ReadPng(const std::string& path, Image& image, std::string& error) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    error = png.message;
    return false;
  }
  png.format = PNG_FORMAT_BGRA;  // little-endian 0xAARRGGBB
  std::vector<uint32_t> pixels(size_t(png.width) * png.height);
  if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
    error = png.message;
    png_image_free(&png);
    return false;
  }
  image.width = int(png.width);
  image.height = int(png.height);
  image.pixels.resize(pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) image.pixels[i] = pixels[i] & 0xFFFFFF;
  return true;
}

bool WritePng(const std::string& path, const Image& image, std::string& error) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = png_uint_32(image.width);
  png.height = png_uint_32(image.height);
  png.format = PNG_FORMAT_BGRA;
  std::vector<uint32_t> pixels(image.pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = image.pixels[i] | 0xFF000000u;
  if (!png_image_write_to_file(&png, path.c_str(), 0, pixels.data(), 0, nullptr)) {
    error = png.message;
    return false;
  }
  return true;
}

}  // namespace kyt::testhost
