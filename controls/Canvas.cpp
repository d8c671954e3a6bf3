#include "controls/Canvas.h"

namespace kyt::controls {

// ---- Image lists ----

int32_t ImageList::AddMasked(const Bitmap& image, Color transparent) {
  images_.emplace_back();
  masks_.emplace_back();
  generations_.push_back(0);
  Store(images_.size() - 1, image, transparent);
  return Count() - 1;
}

void ImageList::ReplaceMasked(int32_t index, const Bitmap& image, Color transparent) {
  if (index < 0 || index >= Count()) return;
  Store(size_t(index), image, transparent);
}

void ImageList::Store(size_t index, const Bitmap& image, Color transparent) {
  static uint64_t generation = 0;
  Bitmap cell(width_, height_, transparent);
  std::vector<uint8_t> mask(size_t(width_) * size_t(height_), 0);
  for (int32_t y = 0; y < height_ && y < image.Height(); ++y)
    for (int32_t x = 0; x < width_ && x < image.Width(); ++x) {
      const Color c = image.Pixel(x, y);
      cell.SetPixel(x, y, c);
      mask[size_t(y) * size_t(width_) + size_t(x)] = c != transparent;
    }
  images_[index] = std::move(cell);
  masks_[index] = std::move(mask);
  generations_[index] = ++generation;
}

// ---- System colours ----

Color DefaultSysColor(int32_t index) {
  switch (index) {
    case kColorScrollBar: return MakeColor(212, 208, 200);
    case kColorBackground: return MakeColor(58, 110, 165);
    case kColorActiveCaption: return MakeColor(10, 36, 106);
    case kColorWindow: return MakeColor(255, 255, 255);
    case kColorWindowFrame: return MakeColor(0, 0, 0);
    case kColorWindowText: return MakeColor(0, 0, 0);
    case kColorHighlight: return MakeColor(10, 36, 106);
    case kColorHighlightText: return MakeColor(255, 255, 255);
    case kColorBtnFace: return MakeColor(212, 208, 200);
    case kColorBtnShadow: return MakeColor(128, 128, 128);
    case kColorGrayText: return MakeColor(128, 128, 128);
    case kColorBtnText: return MakeColor(0, 0, 0);
    case kColorBtnHighlight: return MakeColor(255, 255, 255);
    case kColor3DDkShadow: return MakeColor(64, 64, 64);
    case kColor3DLight: return MakeColor(212, 208, 200);
    case kColorInfoText: return MakeColor(0, 0, 0);
    case kColorInfoBk: return MakeColor(255, 255, 225);
    case kColorHotLight: return MakeColor(0, 0, 128);
    default: return MakeColor(0, 0, 0);
  }
}

namespace {

class DefaultGraphicsSystem final : public IGraphicsSystem {
 public:
  Color SysColor(int32_t index) override { return DefaultSysColor(index); }
  int32_t ScreenBitsTimesPlanes() override { return 24; }
  bool ThemesActive() override { return false; }
  std::optional<Color> DesktopAccentColor() override { return std::nullopt; }
  std::optional<Bitmap> LoadBitmapResource(const std::string&) override { return std::nullopt; }
};

IGraphicsSystem* g_system = nullptr;

}  // namespace

IGraphicsSystem& Graphics() {
  static DefaultGraphicsSystem fallback;
  return g_system ? *g_system : fallback;
}

void SetGraphicsSystem(IGraphicsSystem* system) { g_system = system; }

Color ColorToRGB(Color c) {
  if (IsSystemColor(c)) return Graphics().SysColor(int32_t(c & 0xFF)) & 0xFFFFFF;
  return c & 0xFFFFFF;
}

}  // namespace kyt::controls
