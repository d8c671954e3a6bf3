// PNG pictures through libpng's simplified reader: every colour type and bit
// depth comes out as 8-bit RGB, transparent parts composed over white.
#include <cstdint>
#include <vector>

#include "window/decoders/Decoders.h"
#include "window/decoders/PngReading.h"

namespace kyt {

Bitmap DecodePng(const std::vector<uint8_t>& bytes) {
  PngImage image;
  const PngLayout layout = BeginPngRead(bytes, image);
  const uint32_t width = layout.width, height = layout.height;

  image->format = PNG_FORMAT_RGB;
  const size_t stride = size_t(width) * 3;
  std::vector<uint8_t> rgb(stride * height);
  png_color white{255, 255, 255};
  if (!png_image_finish_read(image.get(), &white, rgb.data(), static_cast<png_int_32>(stride), nullptr))
    FailPng(*image.get());

  Bitmap picture(static_cast<int32_t>(width), static_cast<int32_t>(height));
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* src = rgb.data() + stride * y;
    Color* out = picture.Row(int32_t(y));
    for (uint32_t x = 0; x < width; ++x) out[x] = MakeColor(src[3 * x], src[3 * x + 1], src[3 * x + 2]);
  }
  return picture;
}

}  // namespace kyt
