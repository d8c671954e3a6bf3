#pragma once
// The headless canvas: the controls' drawing surface over a kyt::Bitmap, with
// text drawn by FreeType in Debian fonts standing in for the Windows ones
// (Liberation Sans for "MS Sans Serif", "Arial" and "Tahoma", Liberation Serif
// and Mono for the serif and fixed-pitch faces), unsmoothed as the system
// draws small dialog text. Every control can so be painted into a PNG file.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/Canvas.h"

namespace kyt::headless {

class HeadlessCanvas final : public controls::ICanvas {
 public:
  // Draws into `target`, which must outlive the canvas.
  explicit HeadlessCanvas(Bitmap& target);
  ~HeadlessCanvas() override;

  std::optional<Color> GetPixel(int32_t x, int32_t y) override;
  void SetPixel(int32_t x, int32_t y, Color c) override;
  void FillRect(const Rect& r, Color c) override;
  void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color pen) override;
  void RoundRect(const Rect& r, int32_t diameter, Color pen, std::optional<Color> brush) override;

  void SetFont(const controls::FontSpec& font) override;
  const controls::FontSpec& Font() const override { return font_; }
  int32_t TextHeight(std::string_view text) override;
  int32_t TextWidth(std::string_view text) override;
  Rect MeasureText(std::string_view text, const Rect& bounds, uint32_t flags) override;
  void DrawText(std::string_view text, const Rect& bounds, uint32_t flags,
                std::optional<Color> color = std::nullopt) override;

  void DrawImage(const controls::ImageList& list, int32_t index, int32_t x, int32_t y,
                 std::optional<Color> background) override;

  void Save() override;
  void Restore() override;
  void Offset(int32_t dx, int32_t dy) override;
  void Clip(const Rect& r) override;

  // The font file that stands in for `font` (empty when none is installed).
  static std::string FontFileFor(const controls::FontSpec& font);

  struct Face;  // a FreeType face at one pixel size, from a process-wide cache

 private:
  struct Layout;
  struct State {
    int32_t originX = 0, originY = 0;
    Rect clip;  // in target coordinates
  };
  Layout LayOut(std::string_view text, const Rect& bounds, uint32_t flags);
  void PutPixel(int32_t tx, int32_t ty, Color c, const Rect& clip);  // target coordinates

  Bitmap& target_;
  State state_;
  std::vector<State> saved_;
  controls::FontSpec font_;
  Face* face_ = nullptr;  // owned by the process-wide face cache
};

// The graphics system of the headless build: the classic system colours on a
// true-colour screen without themes or desktop composition, and the
// plug-in's bitmap resources from the data compiled into it.
class HeadlessGraphics final : public controls::IGraphicsSystem {
 public:
  Color SysColor(int32_t index) override { return controls::DefaultSysColor(index); }
  int32_t ScreenBitsTimesPlanes() override { return 24; }
  bool ThemesActive() override { return false; }
  std::optional<Color> DesktopAccentColor() override { return std::nullopt; }
  std::optional<Bitmap> LoadBitmapResource(const std::string& name) override;
};

// Writes `bitmap` as an 8-bit RGB PNG file; false when the file cannot be written.
bool WritePng(const Bitmap& bitmap, const std::string& path);

}  // namespace kyt::headless
