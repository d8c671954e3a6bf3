#pragma once
// NeoBookHelpBox2: a hint box with a tab-shaped title carrying a small
// question-mark glyph and the caption, above a pale yellow body.
#include <string>

#include "controls/Control.h"

namespace kyt::controls {

// The process-wide 17 x 17 glyph of the help boxes: the bitmap resource
// "NBHB_GLYPH_16" below 256 screen colours, else "NBHB_GLYPH_256". Empty when
// the resource cannot be had.
const Bitmap& HelpBoxGlyph();
// The name of the resource HelpBoxGlyph loads at the current colour count.
const char* HelpBoxGlyphResource();

constexpr Color kHelpBoxYellow = MakeColor(255, 255, 225);
constexpr Color kHelpBoxBorder = MakeColor(178, 178, 162);

class TNeoBookHelpBox2 : public TWinControl {
 public:
  explicit TNeoBookHelpBox2(TWinControl* parent = nullptr);

  void Paint(ICanvas& canvas) override;
  Rect AlignClientRect(ICanvas& canvas) override;

  // Height H of the title and width W of the tab for the current font and caption.
  int32_t TitleHeight(ICanvas& canvas);
  int32_t TabWidth(ICanvas& canvas);

 private:
  void PaintHighColor(ICanvas& canvas, int32_t h, int32_t w);
  void PaintLowColor(ICanvas& canvas, int32_t h, int32_t w);
};

}  // namespace kyt::controls
