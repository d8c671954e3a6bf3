// TIFF pictures through libtiff, read from memory: the first page, converted
// by libtiff's RGBA reader, transparent parts composed over white.
#include <cstdint>
#include <string>
#include <vector>

#include "core/Error.h"
#include "window/decoders/Decoders.h"

#if defined(KYT_HAVE_TIFF)

#include <algorithm>

#include "window/decoders/TiffReading.h"

namespace kyt {

namespace {

[[noreturn]] void Fail(const std::string& firstError, const char* fallback) {
  throw Error("The TIFF picture cannot be read: " + (firstError.empty() ? std::string(fallback) : firstError));
}

}  // namespace

Bitmap DecodeTiff(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 4 || !((bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M')))
    throw Error("The data is not a TIFF picture");
  std::string firstError;
  TiffMessages messages(firstError);
  TiffMemoryFile file{bytes.data(), bytes.size(), 0};
  TiffHandle tiff(OpenTiffInMemory(file));
  if (!tiff.get()) Fail(firstError, "not a valid TIFF file");

  uint32_t width = 0, height = 0;
  TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
  if (width == 0 || height == 0 || uint64_t(width) * height > uint64_t(Bitmap::kMaxPixels))
    throw Error("The TIFF picture has an invalid size (" + std::to_string(width) + " x " + std::to_string(height) + ")");

  CheckTiffDataPresent(tiff.get(), file.Size, width, height);

  char why[1024] = "";
  if (!TIFFRGBAImageOK(tiff.get(), why)) throw Error(std::string("The TIFF picture cannot be read: ") + why);
  std::vector<uint32_t> raster(size_t(width) * height);
  if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, raster.data(), ORIENTATION_TOPLEFT, 1))
    Fail(firstError, "the picture data is damaged");

  Bitmap picture(static_cast<int32_t>(width), static_cast<int32_t>(height));
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t* src = raster.data() + size_t(y) * width;
    Color* out = picture.Row(int32_t(y));
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t p = src[x], a = TIFFGetA(p);
      // libtiff hands out premultiplied components: composing over white adds the uncovered part.
      auto over = [a](uint32_t v) { return uint8_t(std::min<uint32_t>(255, v + (255 - a))); };
      out[x] = a == 255 ? MakeColor(uint8_t(TIFFGetR(p)), uint8_t(TIFFGetG(p)), uint8_t(TIFFGetB(p)))
                        : MakeColor(over(TIFFGetR(p)), over(TIFFGetG(p)), over(TIFFGetB(p)));
    }
  }
  return picture;
}

}  // namespace kyt

#else  // no libtiff in this build

namespace kyt {

Bitmap DecodeTiff(const std::vector<uint8_t>&) {
  throw Error("TIFF pictures are not supported by this build of the library");
}

}  // namespace kyt

#endif
