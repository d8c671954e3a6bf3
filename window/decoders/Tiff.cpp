// TIFF pictures through libtiff, read from memory: the first page, converted
// by libtiff's RGBA reader, transparent parts composed over white.
#include <cstdint>
#include <string>
#include <vector>

#include "core/Error.h"
#include "core/DecodeBudget.h"
#include "window/decoders/Decoders.h"

#if defined(KYT_HAVE_TIFF)

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace kyt {

namespace {

// The data libtiff reads through the client procedures.
struct MemoryFile {
  const uint8_t* Data;
  uint64_t Size;
  uint64_t Position;
};

tmsize_t TiffRead(thandle_t handle, void* buffer, tmsize_t count) {
  MemoryFile* f = static_cast<MemoryFile*>(handle);
  if (count <= 0 || f->Position >= f->Size) return 0;
  const uint64_t n = std::min<uint64_t>(uint64_t(count), f->Size - f->Position);
  std::memcpy(buffer, f->Data + f->Position, size_t(n));
  f->Position += n;
  return tmsize_t(n);
}

tmsize_t TiffWrite(thandle_t, void*, tmsize_t) { return 0; }

toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
  MemoryFile* f = static_cast<MemoryFile*>(handle);
  uint64_t base = 0;
  if (whence == SEEK_CUR) base = f->Position;
  else if (whence == SEEK_END) base = f->Size;
  else if (whence != SEEK_SET) return toff_t(-1);
  // libtiff passes negative relative offsets as wrapped unsigned values.
  const uint64_t target = base + uint64_t(offset);
  f->Position = target;
  return target;
}

int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t handle) { return static_cast<MemoryFile*>(handle)->Size; }
int TiffMap(thandle_t, void**, toff_t*) { return 0; }
void TiffUnmap(thandle_t, void*, toff_t) {}

// libtiff's messages go through process-wide handlers; the first error of a
// decode is kept for the error text.
std::string* g_firstError = nullptr;

void OnTiffError(const char* module, const char* format, va_list args) {
  if (!g_firstError || !g_firstError->empty()) return;
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  *g_firstError = (module && *module) ? std::string(module) + ": " + text : std::string(text);
}

void OnTiffWarning(const char*, const char*, va_list) {}

// Installs the handlers for one decode and restores the previous ones.
class HandlerScope {
 public:
  explicit HandlerScope(std::string& firstError) {
    previousTarget_ = g_firstError;
    g_firstError = &firstError;
    previousError_ = TIFFSetErrorHandler(OnTiffError);
    previousWarning_ = TIFFSetWarningHandler(OnTiffWarning);
  }
  ~HandlerScope() {
    TIFFSetErrorHandler(previousError_);
    TIFFSetWarningHandler(previousWarning_);
    g_firstError = previousTarget_;
  }
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;

 private:
  std::string* previousTarget_;
  TIFFErrorHandler previousError_;
  TIFFErrorHandler previousWarning_;
};

class TiffHandle {
 public:
  explicit TiffHandle(TIFF* tiff) : tiff_(tiff) {}
  ~TiffHandle() {
    if (tiff_) TIFFClose(tiff_);
  }
  TiffHandle(const TiffHandle&) = delete;
  TiffHandle& operator=(const TiffHandle&) = delete;
  TIFF* get() const { return tiff_; }

 private:
  TIFF* tiff_;
};

[[noreturn]] void Fail(const std::string& firstError, const char* fallback) {
  throw Error("The TIFF picture cannot be read: " + (firstError.empty() ? std::string(fallback) : firstError));
}

// Refuses, before the picture's memory is taken, a page whose strips or tiles
// reach past the end of the file (libtiff would fail on them only after the
// whole raster was allocated) or whose stored data is too short for its rows,
// at the largest expansion of its codec (DecodeBudget.h). Codecs without a
// bound of their own (CCITT fax codes, JPEG, ...) are held to the pixel budget.
void CheckDataPresent(TIFF* tiff, uint64_t fileSize, uint64_t width, uint64_t height) {
  const uint32_t count = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
  if (count == 0) throw Error("The TIFF picture holds no image data");
  uint64_t stored = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t offset = TIFFGetStrileOffset(tiff, i), length = TIFFGetStrileByteCount(tiff, i);
    if (offset > fileSize || length > fileSize - offset) throw Error("The TIFF picture is truncated");
    stored += length;
  }
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
  // Strips may share their bytes: for the pixel budget the file counts once.
  const uint64_t present = std::min(stored, fileSize);
  budget::CheckPixelBudget("TIFF", width, height, present);
  uint64_t ratio = 0;
  if (compression == COMPRESSION_NONE) ratio = budget::kStoredRatio;
  else if (compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE) ratio = budget::kDeflateRatio;
  else if (compression == COMPRESSION_LZW) ratio = budget::kLzwRatio;
  else if (compression == COMPRESSION_PACKBITS) ratio = budget::kPackBitsRatio;
  if (ratio == 0) return;
  // Tiles pad the picture to whole tiles; the rows themselves must be there.
  const uint64_t needed = TIFFScanlineSize64(tiff) * height;
  if (compression == COMPRESSION_NONE && !TIFFIsTiled(tiff) && stored < needed)
    throw Error("The TIFF picture is truncated");
  budget::CheckExpansion("TIFF", width, height, stored, ratio, needed);
}

}  // namespace

Bitmap DecodeTiff(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 4 || !((bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M')))
    throw Error("The data is not a TIFF picture");
  std::string firstError;
  HandlerScope handlers(firstError);
  MemoryFile file{bytes.data(), bytes.size(), 0};
  // "m": never map the data; the procedures above serve it from memory.
  TiffHandle tiff(TIFFClientOpen("picture", "rm", &file, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize,
                                 TiffMap, TiffUnmap));
  if (!tiff.get()) Fail(firstError, "not a valid TIFF file");

  uint32_t width = 0, height = 0;
  TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
  if (width == 0 || height == 0 || uint64_t(width) * height > uint64_t(Bitmap::kMaxPixels))
    throw Error("The TIFF picture has an invalid size (" + std::to_string(width) + " x " + std::to_string(height) + ")");

  CheckDataPresent(tiff.get(), file.Size, width, height);

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
