#include "platform/win32/Win32Metafile.h"

#include <windows.h>

#include <cmath>
#include <cstring>
#include <string>

#include "core/Error.h"
#include "platform/win32/Win32GdiBitmap.h"

namespace kyt::win32 {

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableHeaderSize = 22;
// Pixels per inch at which a placeable metafile's logical inch is drawn.
constexpr int kPixelsPerInch = 96;
constexpr int32_t kMaxSide = 32767;  // GDI's coordinate range

uint16_t Word(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
int16_t SignedWord(const std::vector<uint8_t>& b, size_t at) { return int16_t(Word(b, at)); }
uint32_t DWord(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(Word(b, at)) | (uint32_t(Word(b, at + 2)) << 16);
}

struct EnhMetafile {
  HENHMETAFILE handle = nullptr;
  ~EnhMetafile() {
    if (handle) DeleteEnhMetaFile(handle);
  }
};

[[noreturn]] void Invalid() { throw Error("Invalid metafile."); }

void CheckSize(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) throw Error("The metafile has no picture size.");
  if (width > kMaxSide || height > kMaxSide || width * height > Bitmap::kMaxPixels)
    throw Error("The metafile's picture is too large (" + std::to_string(width) + " x " + std::to_string(height) +
                " pixels).");
}

Bitmap Play(HENHMETAFILE emf, int32_t width, int32_t height) {
  DibCanvas canvas(width, height, kWhite);
  RECT frame{0, 0, width, height};
  if (!PlayEnhMetaFile(canvas.Dc(), emf, &frame)) Invalid();
  return canvas.ToBitmap();
}

// Picture size of an enhanced metafile: its frame (in 0.01 mm) on the
// reference device it was recorded for; the device bounds if it has no frame.
void EnhancedSize(HENHMETAFILE emf, int64_t& width, int64_t& height) {
  ENHMETAHEADER h{};
  if (GetEnhMetaFileHeader(emf, sizeof(h), &h) == 0) Invalid();
  const int64_t frameW = int64_t(h.rclFrame.right) - h.rclFrame.left;
  const int64_t frameH = int64_t(h.rclFrame.bottom) - h.rclFrame.top;
  width = height = 0;
  if (frameW > 0 && frameH > 0 && h.szlMillimeters.cx > 0 && h.szlMillimeters.cy > 0 && h.szlDevice.cx > 0 &&
      h.szlDevice.cy > 0) {
    width = std::llround(double(frameW) * h.szlDevice.cx / (double(h.szlMillimeters.cx) * 100.0));
    height = std::llround(double(frameH) * h.szlDevice.cy / (double(h.szlMillimeters.cy) * 100.0));
  }
  if (width <= 0 || height <= 0) {
    width = int64_t(h.rclBounds.right) - h.rclBounds.left + 1;
    height = int64_t(h.rclBounds.bottom) - h.rclBounds.top + 1;
  }
}

Bitmap RenderEnhanced(const std::vector<uint8_t>& bytes) {
  const uint32_t declared = DWord(bytes, 48);  // nBytes
  if (declared < 88 || declared > bytes.size()) Invalid();
  EnhMetafile emf;
  emf.handle = SetEnhMetaFileBits(declared, bytes.data());
  if (!emf.handle) Invalid();
  int64_t width = 0, height = 0;
  EnhancedSize(emf.handle, width, height);
  CheckSize(width, height);
  return Play(emf.handle, int32_t(width), int32_t(height));
}

Bitmap RenderPlaceable(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < kPlaceableHeaderSize + 18) Invalid();  // header + the metafile's own header
  uint16_t sum = 0;
  for (size_t i = 0; i < 10; ++i) sum ^= Word(bytes, 2 * i);
  if (sum != Word(bytes, 20)) Invalid();
  const int32_t left = SignedWord(bytes, 6), top = SignedWord(bytes, 8);
  const int32_t right = SignedWord(bytes, 10), bottom = SignedWord(bytes, 12);
  const int32_t inch = Word(bytes, 14);
  if (inch == 0) Invalid();
  const int64_t units = int64_t(right) - left, unitsY = int64_t(bottom) - top;
  const int64_t width = (std::llabs(units) * kPixelsPerInch + inch / 2) / inch;
  const int64_t height = (std::llabs(unitsY) * kPixelsPerInch + inch / 2) / inch;
  CheckSize(width, height);

  METAFILEPICT picture{};
  picture.mm = MM_ANISOTROPIC;
  picture.xExt = LONG(std::llabs(units) * 2540 / inch);  // 0.01 mm
  picture.yExt = LONG(std::llabs(unitsY) * 2540 / inch);
  EnhMetafile emf;
  emf.handle = SetWinMetaFileBits(UINT(bytes.size() - kPlaceableHeaderSize), bytes.data() + kPlaceableHeaderSize,
                                  nullptr, &picture);
  if (!emf.handle) Invalid();
  return Play(emf.handle, int32_t(width), int32_t(height));
}

}  // namespace

Bitmap RenderMetafile(const std::vector<uint8_t>& bytes) {
  if (bytes.size() >= 4 && DWord(bytes, 0) == kPlaceableKey) return RenderPlaceable(bytes);
  if (bytes.size() >= 88 && DWord(bytes, 0) == EMR_HEADER && DWord(bytes, 40) == ENHMETA_SIGNATURE)
    return RenderEnhanced(bytes);
  throw Error("Not an enhanced or placeable Windows metafile.");
}

}  // namespace kyt::win32
