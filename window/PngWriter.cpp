// Writing pictures as 24-bit PNG files (the command-line tool and the tests).
#include <png.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/Error.h"
#include "window/PictureLoader.h"

namespace kyt {

std::vector<uint8_t> EncodePng(const Bitmap& bitmap) {
  if (bitmap.Empty()) throw Error("An empty picture cannot be written as PNG");
  const int32_t width = bitmap.Width(), height = bitmap.Height();
  std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
  uint8_t* out = rgb.data();
  for (int32_t y = 0; y < height; ++y) {
    const Color* row = bitmap.Row(y);
    for (int32_t x = 0; x < width; ++x) {
      *out++ = RedOf(row[x]);
      *out++ = GreenOf(row[x]);
      *out++ = BlueOf(row[x]);
    }
  }

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = uint32_t(width);
  image.height = uint32_t(height);
  image.format = PNG_FORMAT_RGB;
  const png_int_32 stride = png_int_32(width) * 3;
  png_alloc_size_t size = 0;
  // First pass measures, second pass writes.
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), stride, nullptr))
    throw Error(std::string("The picture cannot be encoded as PNG: ") + image.message);
  std::vector<uint8_t> png(size);
  if (!png_image_write_to_memory(&image, png.data(), &size, 0, rgb.data(), stride, nullptr))
    throw Error(std::string("The picture cannot be encoded as PNG: ") + image.message);
  png.resize(size);
  return png;
}

void SavePng(const Bitmap& bitmap, const std::string& fileName) {
  const std::vector<uint8_t> png = EncodePng(bitmap);
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out) throw Error("Cannot create file " + fileName);
  out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  out.close();
  if (!out) throw Error("Cannot write file " + fileName);
}

}  // namespace kyt
