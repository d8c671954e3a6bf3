#include "window/decoders/TiffReading.h"

#if defined(KYT_HAVE_TIFF)

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/DecodeBudget.h"
#include "core/Error.h"

namespace kyt {

namespace {

tmsize_t TiffRead(thandle_t handle, void* buffer, tmsize_t count) {
  TiffMemoryFile* f = static_cast<TiffMemoryFile*>(handle);
  if (count <= 0 || f->Position >= f->Size) return 0;
  const uint64_t n = std::min<uint64_t>(uint64_t(count), f->Size - f->Position);
  std::memcpy(buffer, f->Data + f->Position, size_t(n));
  f->Position += n;
  return tmsize_t(n);
}

tmsize_t TiffWrite(thandle_t, void*, tmsize_t) { return 0; }

toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
  TiffMemoryFile* f = static_cast<TiffMemoryFile*>(handle);
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
toff_t TiffSize(thandle_t handle) { return static_cast<TiffMemoryFile*>(handle)->Size; }
int TiffMap(thandle_t, void**, toff_t*) { return 0; }
void TiffUnmap(thandle_t, void*, toff_t) {}

// Where the first error of the current read goes.
std::string* g_firstError = nullptr;

void OnTiffError(const char* module, const char* format, va_list args) {
  if (!g_firstError || !g_firstError->empty()) return;
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  *g_firstError = (module && *module) ? std::string(module) + ": " + text : std::string(text);
}

void OnTiffWarning(const char*, const char*, va_list) {}

}  // namespace

TIFF* OpenTiffInMemory(TiffMemoryFile& file) {
  // "m": never map the data; the procedures above serve it from memory.
  return TIFFClientOpen("picture", "rm", &file, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap,
                        TiffUnmap);
}

TiffMessages::TiffMessages(std::string& firstError) {
  previousTarget_ = g_firstError;
  g_firstError = &firstError;
  previousError_ = TIFFSetErrorHandler(OnTiffError);
  previousWarning_ = TIFFSetWarningHandler(OnTiffWarning);
}

TiffMessages::~TiffMessages() {
  TIFFSetErrorHandler(previousError_);
  TIFFSetWarningHandler(previousWarning_);
  g_firstError = previousTarget_;
}

void CheckTiffDataPresent(TIFF* tiff, uint64_t fileSize, uint64_t width, uint64_t height) {
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

}  // namespace kyt

#endif
