#pragma once
// The drawing surface of the host-styled controls. The controls and their
// drawing routines are written once against this interface; the Win32 layer
// implements it over a GDI device context, the headless layer over a
// kyt::Bitmap with FreeType text, so that every control paints the same way on
// the screen and into a PNG file.
//
// Coordinates are pixels relative to the current origin (see Offset); right
// and bottom edges of rectangles are exclusive, as in GDI.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Bitmap.h"

namespace kyt::controls {

using kyt::Bitmap;
using kyt::Color;
using kyt::Rect;

struct Point {
  int32_t X = 0, Y = 0;
  bool operator==(const Point&) const = default;
};
struct Size {
  int32_t Cx = 0, Cy = 0;
  bool operator==(const Size&) const = default;
};

inline bool Contains(const Rect& r, int32_t x, int32_t y) {
  return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}
inline Rect Inflated(const Rect& r, int32_t dx, int32_t dy) {
  return Rect{r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}
inline Rect Moved(const Rect& r, int32_t dx, int32_t dy) {
  return Rect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}
inline bool IsEmpty(const Rect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

// ---- Colours ----------------------------------------------------------------------------
// A colour with the top bit set names a system colour; its low byte is the
// system colour index (the platform's numbering).
constexpr Color kSystemColorFlag = 0x80000000u;
constexpr Color SystemColor(int32_t index) { return kSystemColorFlag | Color(index & 0xFF); }
constexpr bool IsSystemColor(Color c) { return (c & kSystemColorFlag) != 0; }

enum SysColorIndex : int32_t {
  kColorScrollBar = 0,
  kColorBackground = 1,
  kColorActiveCaption = 2,
  kColorWindow = 5,
  kColorWindowFrame = 6,
  kColorWindowText = 8,
  kColorHighlight = 13,
  kColorHighlightText = 14,
  kColorBtnFace = 15,
  kColorBtnShadow = 16,
  kColorGrayText = 17,
  kColorBtnText = 18,
  kColorBtnHighlight = 20,
  kColor3DDkShadow = 21,
  kColor3DLight = 22,
  kColorInfoText = 23,
  kColorInfoBk = 24,
  kColorHotLight = 26,
};

constexpr Color clWindow = SystemColor(kColorWindow);
constexpr Color clWindowText = SystemColor(kColorWindowText);
constexpr Color clHighlight = SystemColor(kColorHighlight);
constexpr Color clBtnFace = SystemColor(kColorBtnFace);
constexpr Color clBtnShadow = SystemColor(kColorBtnShadow);
constexpr Color clGrayText = SystemColor(kColorGrayText);
constexpr Color clBtnText = SystemColor(kColorBtnText);
constexpr Color clBtnHighlight = SystemColor(kColorBtnHighlight);
constexpr Color cl3DDkShadow = SystemColor(kColor3DDkShadow);
constexpr Color cl3DLight = SystemColor(kColor3DLight);
constexpr Color clInfoText = SystemColor(kColorInfoText);
constexpr Color clInfoBk = SystemColor(kColorInfoBk);

// ---- Fonts and text -----------------------------------------------------------------------
struct FontSpec {
  std::string Name = "MS Sans Serif";
  int32_t Height = 11;  // character height in pixels (the em, without internal leading)
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  kyt::Color Color = clWindowText;
  bool operator==(const FontSpec&) const = default;
};

// Flags of MeasureText and DrawText; their meanings follow the system's
// DrawText. Texts are code page 1251 bytes.
enum TextFlags : uint32_t {
  kTextLeft = 0,
  kTextCenter = 0x1,
  kTextRight = 0x2,
  kTextVCenter = 0x4,
  kTextBottom = 0x8,
  kTextWordBreak = 0x10,
  kTextSingleLine = 0x20,
  kTextExpandTabs = 0x40,
  kTextNoClip = 0x100,
  kTextNoPrefix = 0x800,
  kTextRtlReading = 0x20000,
};

// ---- Image lists ---------------------------------------------------------------------------
// Equal-sized images, each with a mask taken from a transparent colour when it
// is stored. Drawn through ICanvas::DrawImage.
class ImageList {
 public:
  ImageList(int32_t width, int32_t height) : width_(width), height_(height) {}
  virtual ~ImageList() = default;
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Count() const { return int32_t(images_.size()); }

  // Stores the top-left Width() x Height() part of `image` (a smaller image
  // is padded with transparent pixels); pixels of colour `transparent` are
  // masked out. Add returns the new index.
  int32_t AddMasked(const Bitmap& image, Color transparent);
  void ReplaceMasked(int32_t index, const Bitmap& image, Color transparent);

  const Bitmap& Image(int32_t index) const { return images_[size_t(index)]; }
  // true where the image shows; false where it is transparent.
  bool Opaque(int32_t index, int32_t x, int32_t y) const {
    return masks_[size_t(index)][size_t(y) * size_t(width_) + size_t(x)] != 0;
  }
  // Changes with every store, so a platform may cache converted images.
  uint64_t Generation(int32_t index) const { return generations_[size_t(index)]; }

 private:
  void Store(size_t index, const Bitmap& image, Color transparent);
  int32_t width_, height_;
  std::vector<Bitmap> images_;
  std::vector<std::vector<uint8_t>> masks_;
  std::vector<uint64_t> generations_;
};

// ---- The canvas ----------------------------------------------------------------------------
class ICanvas {
 public:
  virtual ~ICanvas() = default;

  // Colours given to the canvas may be system colours; it resolves them.
  // The colour of a pixel, or nullopt when it cannot be read (outside the
  // surface or the clip).
  virtual std::optional<Color> GetPixel(int32_t x, int32_t y) = 0;
  virtual void SetPixel(int32_t x, int32_t y, Color c) = 0;
  virtual void FillRect(const Rect& r, Color c) = 0;
  // A one-pixel line from (x1, y1) towards (x2, y2), the end point not drawn.
  virtual void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color pen) = 0;
  // A rounded rectangle with corner ellipses `diameter` wide, outlined with a
  // one-pixel pen and filled with `brush` when given.
  virtual void RoundRect(const Rect& r, int32_t diameter, Color pen, std::optional<Color> brush) = 0;

  virtual void SetFont(const FontSpec& font) = 0;
  virtual const FontSpec& Font() const = 0;
  // Height of one line of the current font (the cell height, as the system's TextHeight).
  virtual int32_t TextHeight(std::string_view text) = 0;
  virtual int32_t TextWidth(std::string_view text) = 0;
  // The rectangle the text takes when drawn into `bounds` with `flags`
  // (the system's DT_CALCRECT): left and top stay, right and bottom follow the text.
  virtual Rect MeasureText(std::string_view text, const Rect& bounds, uint32_t flags) = 0;
  // Draws the text with a transparent background in `color` (the font's
  // colour when nullopt).
  virtual void DrawText(std::string_view text, const Rect& bounds, uint32_t flags,
                        std::optional<Color> color = std::nullopt) = 0;

  // Draws image `index` of `list` at (x, y): masked pixels stay as they are
  // when `background` is nullopt, else they take `background`.
  virtual void DrawImage(const ImageList& list, int32_t index, int32_t x, int32_t y,
                         std::optional<Color> background) = 0;

  // Saves origin and clip; Restore brings back the last saved pair.
  virtual void Save() = 0;
  virtual void Restore() = 0;
  // Moves the origin by (dx, dy).
  virtual void Offset(int32_t dx, int32_t dy) = 0;
  // Narrows the clip to `r` (in current coordinates).
  virtual void Clip(const Rect& r) = 0;
};

// ---- What the controls ask of the system ----------------------------------------------------
class IGraphicsSystem {
 public:
  virtual ~IGraphicsSystem() = default;
  // The system colour `index` as RGB.
  virtual Color SysColor(int32_t index) = 0;
  // Bits per pixel times colour planes of the screen device.
  virtual int32_t ScreenBitsTimesPlanes() = 0;
  // Whether visual themes draw the controls.
  virtual bool ThemesActive() = 0;
  // The desktop's accent colour: the colorization colour when desktop
  // composition is on (alpha byte dropped), nullopt otherwise, when it cannot
  // be asked, or on systems without it.
  virtual std::optional<Color> DesktopAccentColor() = 0;
  // A bitmap resource of the plug-in by name; nullopt when there is none.
  virtual std::optional<Bitmap> LoadBitmapResource(const std::string& name) = 0;
};

// The system in use: the one installed with SetGraphicsSystem, else a
// built-in one with the classic system colours on a true-colour screen.
IGraphicsSystem& Graphics();
void SetGraphicsSystem(IGraphicsSystem* system);

// The classic system colours (the default scheme of the system).
Color DefaultSysColor(int32_t index);

// Resolves a system colour through the graphics system; other colours pass.
Color ColorToRGB(Color c);

}  // namespace kyt::controls
