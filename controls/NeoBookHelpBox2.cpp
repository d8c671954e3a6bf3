#include "controls/NeoBookHelpBox2.h"

#include <memory>
#include <optional>

#include "controls/NeoUtils.h"

namespace kyt::controls {

namespace {

// The glyph as loaded, with its image list for masked drawing. The
// resource follows the colour count, which tests may change.
struct GlyphStore {
  std::string resource;
  Bitmap glyph;
  std::unique_ptr<ImageList> list;
};

GlyphStore& Store() {
  static GlyphStore store;
  const std::string want = HelpBoxGlyphResource();
  if (store.resource != want) {
    store.resource = want;
    store.glyph = Graphics().LoadBitmapResource(want).value_or(Bitmap());
    store.list.reset();
    if (!store.glyph.Empty()) {
      store.list = std::make_unique<ImageList>(store.glyph.Width(), store.glyph.Height());
      // The bottom-left pixel names the transparent colour.
      store.list->AddMasked(store.glyph, store.glyph.Pixel(0, store.glyph.Height() - 1));
    }
  }
  return store;
}

}  // namespace

const char* HelpBoxGlyphResource() { return ScreenColorCount() < 256 ? "NBHB_GLYPH_16" : "NBHB_GLYPH_256"; }

const Bitmap& HelpBoxGlyph() { return Store().glyph; }

TNeoBookHelpBox2::TNeoBookHelpBox2(TWinControl* parent) : TWinControl(parent) {
  SetColor(ScreenColorCount() <= 256 ? clInfoBk : kHelpBoxYellow);
  SetBounds(0, 0, 185, 41);
}

int32_t TNeoBookHelpBox2::TitleHeight(ICanvas& canvas) {
  canvas.SetFont(Font());
  return canvas.TextHeight("M") + 5;
}

int32_t TNeoBookHelpBox2::TabWidth(ICanvas& canvas) {
  canvas.SetFont(Font());
  const int32_t gw = HelpBoxGlyph().Width();
  return Caption().empty() ? gw + 8 : canvas.TextWidth(Caption()) + gw + 13;
}

Rect TNeoBookHelpBox2::AlignClientRect(ICanvas& canvas) {
  Rect r = ClientRect();
  r.Top += TitleHeight(canvas);
  return Inflated(r, -5, -5);
}

void TNeoBookHelpBox2::Paint(ICanvas& canvas) {
  const int32_t h = TitleHeight(canvas);
  const int32_t w = TabWidth(canvas);
  canvas.FillRect(ClientRect(), clBtnFace);
  const bool low = LowColorMode();
  if (low)
    PaintLowColor(canvas, h, w);
  else
    PaintHighColor(canvas, h, w);

  GlyphStore& store = Store();
  if (store.list)
    canvas.DrawImage(*store.list, 0, 4, h / 2 - store.glyph.Height() / 2, std::nullopt);
  const int32_t gw = store.glyph.Width();
  canvas.DrawText(Caption(), Rect{gw + 7, 3, gw + 7, 3}, kTextSingleLine | kTextNoPrefix | kTextNoClip,
                  low ? ColorToRGB(clBtnHighlight) : MakeColor(0, 0, 0));
}

void TNeoBookHelpBox2::PaintHighColor(ICanvas& canvas, int32_t h, int32_t w) {
  const int32_t right = Width() - 1, bottom = Height() - 1;
  const Color border = kHelpBoxBorder;

  // The tab, open at its foot where it meets the body.
  for (int32_t inset = 1; inset <= 2; ++inset) {
    const Color c = MixColors(border, kBaseGrey, inset == 1 ? 25 : 15);
    canvas.Line(inset, h, inset, inset, c);
    canvas.Line(inset, inset, w - 1 - inset, inset, c);
    canvas.Line(w - 1 - inset, inset, w - 1 - inset, h, c);
  }
  canvas.FillRect(Rect{3, 3, w - 3, h}, kBaseGrey);
  canvas.Line(0, h, 0, 2, border);
  canvas.Line(3, 0, w - 3, 0, border);
  canvas.Line(w - 1, 3, w - 1, h, border);
  DrawSoftCorner(canvas, 0, 0, border, Corner::TopLeft);
  DrawSoftCorner(canvas, w - 3, 0, border, Corner::TopRight);

  // The body.
  for (int32_t inset = 1; inset <= 2; ++inset) {
    const Color c = MixColors(border, kHelpBoxYellow, inset == 1 ? 40 : 20);
    const Rect r{inset, h + inset, Width() - inset, Height() - inset};
    canvas.Line(r.Left, r.Top, r.Right - 1, r.Top, c);
    canvas.Line(r.Right - 1, r.Top, r.Right - 1, r.Bottom - 1, c);
    canvas.Line(r.Right - 1, r.Bottom - 1, r.Left, r.Bottom - 1, c);
    canvas.Line(r.Left, r.Bottom - 1, r.Left, r.Top, c);
  }
  canvas.FillRect(Rect{3, h + 3, Width() - 3, Height() - 3}, kHelpBoxYellow);
  canvas.Line(w - 1, h, right - 2, h, border);
  canvas.Line(right, h + 3, right, bottom - 2, border);
  canvas.Line(3, bottom, right - 2, bottom, border);
  canvas.Line(0, h, 0, bottom - 2, border);
  DrawSoftCorner(canvas, right - 2, h, border, Corner::TopRight);
  DrawSoftCorner(canvas, right - 2, bottom - 2, border, Corner::BottomRight);
  DrawSoftCorner(canvas, 0, bottom - 2, border, Corner::BottomLeft);
}

void TNeoBookHelpBox2::PaintLowColor(ICanvas& canvas, int32_t h, int32_t w) {
  const Color shadow = ColorToRGB(clBtnShadow);
  const Color info = ColorToRGB(clInfoBk);
  canvas.RoundRect(Rect{0, 0, w, h + 10}, 10, shadow, shadow);
  canvas.RoundRect(Rect{0, h, Width(), Height()}, 10, shadow, info);
  // Square off the body's corner under the tab.
  canvas.FillRect(Rect{1, h + 1, 6, h + 6}, info);
  canvas.Line(0, h, 0, h + 6, shadow);
  canvas.Line(0, h, 6, h, shadow);
}

}  // namespace kyt::controls
