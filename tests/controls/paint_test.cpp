// The controls painted headless in both colour modes, checked pixel by pixel
// and saved as PNG files under the build tree (controls-png/).
#include "controls/NeoBookButton.h"
#include "controls/NeoBookHelpBox2.h"
#include "controls/NeoBookPanel.h"
#include "resources/ResourceBitmaps.h"
#include "tests/controls/ControlsTestSupport.h"

namespace kyt::controls {
namespace {

using testing::ControlsTest;
using testing::FakeHost;
using testing::Hex;
using testing::Render;
using testing::SavePng;

const Color kFace = DefaultSysColor(kColorBtnFace);
const Color kShadow = DefaultSysColor(kColorBtnShadow);

int Luma(Color c) { return RedOf(c) + GreenOf(c) + BlueOf(c); }

bool AnyPixel(const Bitmap& b, const Rect& r, Color c) {
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      if (b.Pixel(x, y) == c) return true;
  return false;
}

Color GlyphPixel(const char* resource, int x, int y) {
  const resources::BitmapData* d = resources::FindBitmap(resource);
  EXPECT_NE(d, nullptr) << resource;
  return d ? d->pixels[y * d->width + x] : 0;
}

class PaintTest : public ControlsTest {
 protected:
  TNeoBookPanel::TitleBand Title(TNeoBookPanel& p) {
    Bitmap scratch(1, 1);
    headless::HeadlessCanvas c(scratch);
    return p.MeasureTitle(c);
  }
  int TitleHeight(TNeoBookHelpBox2& h) {
    Bitmap scratch(1, 1);
    headless::HeadlessCanvas c(scratch);
    return h.TitleHeight(c);
  }
  int TabWidth(TNeoBookHelpBox2& h) {
    Bitmap scratch(1, 1);
    headless::HeadlessCanvas c(scratch);
    return h.TabWidth(c);
  }
};

// ---- Panel ----

TEST_F(PaintTest, PanelWithCaptionHighColour) {
  TNeoBookPanel p;
  p.SetBounds(0, 0, 200, 60);
  p.SetCaption("&Caption");
  const Bitmap b = Render(p);
  SavePng(b, "panel-caption-high");
  const auto t = Title(p);
  const Rect& box = t.CaptionBox;
  EXPECT_EQ(box.Left, 2);
  EXPECT_EQ(box.Top, 2);
  ASSERT_LT(box.Right, 200);
  EXPECT_EQ(t.End, box.Right + (200 - box.Right) / 2);

  // Softened corner.
  EXPECT_COLOR(b, 0, 0, MixColors(kShadow, kFace, 10));
  EXPECT_COLOR(b, 1, 0, MixColors(kShadow, kFace, 50));
  EXPECT_COLOR(b, 0, 1, MixColors(kShadow, kFace, 50));
  // The caption box starts in the accent colour and fades to the panel colour at E.
  const Color accent = PanelAccentColor();
  EXPECT_COLOR(b, 2, box.Bottom - 1, accent);
  EXPECT_COLOR(b, 2, 2, MixColors(accent, kShadow, 50));
  EXPECT_COLOR(b, t.End - 1, box.Top + 1, kFace);
  EXPECT_NE(Hex(b.Pixel(t.End - 20, box.Top + 1)), Hex(kFace));
  EXPECT_COLOR(b, t.End + 2, box.Top + 1, kFace);
  // The line under the box and the top edge: shadow fading into the panel colour.
  EXPECT_COLOR(b, 2, box.Bottom, kShadow);
  EXPECT_NE(Hex(b.Pixel(t.End - 20, 0)), Hex(kFace));
  EXPECT_COLOR(b, t.End + 2, 0, kFace);
  EXPECT_COLOR(b, t.End + 2, box.Bottom, kFace);
  // Left edge two pixels wide, darker at the top, the panel colour at the bottom.
  EXPECT_COLOR(b, 0, 59, kFace);
  EXPECT_LT(Luma(b.Pixel(1, 25)), Luma(b.Pixel(1, 45)));
  EXPECT_LT(Luma(b.Pixel(1, 45)), Luma(kFace));
  EXPECT_COLOR(b, 2, 45, kFace);
  EXPECT_COLOR(b, 100, 45, kFace);
  // The caption in the window-text colour inside the box.
  EXPECT_TRUE(AnyPixel(b, box, kBlack));
  EXPECT_FALSE(AnyPixel(b, Rect{box.Right, 0, 200, 60}, kBlack));
}

TEST_F(PaintTest, PanelWithoutCaptionHasOnlyFillAndLeftEdge) {
  TNeoBookPanel p;
  p.SetBounds(0, 0, 120, 40);
  const Bitmap b = Render(p);
  SavePng(b, "panel-plain-high");
  for (int y = 0; y < 40; ++y)
    for (int x = 2; x < 120; ++x) ASSERT_EQ(Hex(b.Pixel(x, y)), Hex(kFace)) << x << "," << y;
  EXPECT_COLOR(b, 0, 0, kShadow);  // no corner softening without a title
  EXPECT_COLOR(b, 1, 39, kFace);
  Bitmap m(1, 1);
  headless::HeadlessCanvas c(m);
  const Rect client = p.AlignClientRect(c);
  EXPECT_EQ(client.Left, 6);
  EXPECT_EQ(client.Top, 0);
  // A sub-caption alone makes a title.
  p.SetSubCaption("sub");
  const int mHeight = c.TextHeight("M");
  EXPECT_EQ(p.AlignClientRect(c).Top, mHeight + 6);
  EXPECT_COLOR(Render(p), 0, 0, MixColors(kShadow, kFace, 10));
}

TEST_F(PaintTest, CaptionWiderThanThePanelRunsTheBandToTheRightEdge) {
  TNeoBookPanel p;
  p.SetBounds(0, 0, 80, 40);
  p.SetCaption("A caption far wider than its panel");
  p.SetSubCaption("and more");
  const Bitmap b = Render(p);
  SavePng(b, "panel-wide-caption-high");
  EXPECT_EQ(Title(p).End, 80);
  // The gradients end on the panel colour in the last column, one short of it they have not.
  EXPECT_COLOR(b, 79, 0, kFace);
  EXPECT_NE(Hex(b.Pixel(78, 0)), Hex(kFace));
  EXPECT_NE(Hex(b.Pixel(40, 2)), Hex(kFace));  // the caption box's gradient
}

TEST_F(PaintTest, PanelLowColour) {
  UseColors(256);
  TNeoBookPanel p;
  p.SetBounds(0, 0, 200, 60);
  p.SetCaption("Caption");
  p.SetSubCaption("sub");
  const Bitmap b = Render(p);
  SavePng(b, "panel-caption-low");
  Bitmap m(1, 1);
  headless::HeadlessCanvas c(m);
  const Rect text = c.MeasureText("Caption", Rect{}, kTextSingleLine);
  const Color grey = MakeColor(128, 128, 128);
  const Rect box{0, 0, text.Width() + 8, text.Height() + 5};
  EXPECT_COLOR(b, 0, 0, grey);
  EXPECT_COLOR(b, box.Right - 1, box.Bottom - 1, grey);
  EXPECT_COLOR(b, box.Right, 0, kFace);
  EXPECT_COLOR(b, 0, box.Bottom, grey);
  EXPECT_COLOR(b, 1, 59, grey);
  EXPECT_COLOR(b, 2, 59, kFace);
  EXPECT_TRUE(AnyPixel(b, box, kWhite));
  EXPECT_TRUE(AnyPixel(b, Rect{box.Right + 4, 0, 200, box.Bottom}, kBlack));  // sub-caption in button text
  EXPECT_FALSE(AnyPixel(b, Rect{box.Right, 0, box.Right + 4, 60}, kBlack));

  TNeoBookPanel plain;
  plain.SetBounds(0, 0, 50, 30);
  const Bitmap pb = Render(plain);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 50; ++x) ASSERT_EQ(Hex(pb.Pixel(x, y)), Hex(kFace)) << x << "," << y;
}

TEST_F(PaintTest, PanelAcceleratorFocusesItsControlUntilThatGoes) {
  FakeHost host;
  TWinControl root;
  root.SetHost(&host);
  TNeoBookPanel p(&root);
  p.SetCaption("&Object");
  auto edit = std::make_unique<TWinControl>(&p);
  p.SetFocusControl(edit.get());
  EXPECT_TRUE(DispatchDialogChar(root, 'o', kShiftAlt));
  EXPECT_EQ(host.focused, edit.get());
  // Not consumed without ShowAccelChar, when disabled, or for another key.
  host.focused = nullptr;
  p.SetShowAccelChar(false);
  EXPECT_FALSE(p.DialogChar('o', kShiftAlt));
  p.SetShowAccelChar(true);
  EXPECT_FALSE(p.DialogChar('x', kShiftAlt));
  // A control that cannot take the focus: the key is still the panel's.
  edit->SetVisible(false);
  EXPECT_TRUE(p.DialogChar('O', kShiftAlt));
  EXPECT_EQ(host.focused, nullptr);
  edit.reset();
  EXPECT_EQ(p.FocusControl(), nullptr);
  EXPECT_FALSE(p.DialogChar('o', kShiftAlt));
}

// ---- Help box ----

TEST_F(PaintTest, HelpBoxHighColourIsYellowWhateverItsColour) {
  TNeoBookHelpBox2 h;
  EXPECT_EQ(Hex(h.GetColor()), Hex(kHelpBoxYellow));
  h.SetBounds(0, 0, 240, 80);
  h.SetCaption("\xCF\xEE\xE4\xF1\xEA\xE0\xE7\xEA\xE0");  // "Подсказка"
  h.SetColor(MakeColor(255, 0, 0));
  const Bitmap b = Render(h);
  SavePng(b, "helpbox-high");
  const int th = TitleHeight(h), tw = TabWidth(h);
  EXPECT_COLOR(b, 120, 60, kHelpBoxYellow);
  EXPECT_COLOR(b, 5, th + 5, kHelpBoxYellow);
  EXPECT_COLOR(b, 239, 50, kHelpBoxBorder);
  EXPECT_COLOR(b, 0, th + 10, kHelpBoxBorder);
  EXPECT_COLOR(b, 120, 79, kHelpBoxBorder);
  EXPECT_COLOR(b, 120, th, kHelpBoxBorder);  // the body's top right of the tab
  EXPECT_COLOR(b, 120, th + 1, MixColors(kHelpBoxBorder, kHelpBoxYellow, 40));
  EXPECT_COLOR(b, 120, th + 2, MixColors(kHelpBoxBorder, kHelpBoxYellow, 20));
  // The tab: grey with its border, button face beside it.
  EXPECT_COLOR(b, tw - 5, th - 1, kBaseGrey);
  EXPECT_COLOR(b, tw - 1, th - 2, kHelpBoxBorder);
  EXPECT_COLOR(b, tw - 2, th - 2, MixColors(kHelpBoxBorder, kBaseGrey, 25));
  EXPECT_COLOR(b, tw - 3, th - 2, MixColors(kHelpBoxBorder, kBaseGrey, 15));
  EXPECT_COLOR(b, tw + 3, 2, kFace);
  EXPECT_TRUE(AnyPixel(b, Rect{24, 3, tw, th}, kBlack));  // the caption
  // The 256-colour glyph at 4, centred on the tab; its transparent corner shows the tab.
  const int gy = th / 2 - 17 / 2;
  EXPECT_COLOR(b, 4 + 8, gy + 8, GlyphPixel("NBHB_GLYPH_256", 8, 8));
  EXPECT_COLOR(b, 4 + 4, gy + 2, GlyphPixel("NBHB_GLYPH_256", 4, 2));
  EXPECT_NE(Hex(b.Pixel(4, gy + 16)), Hex(MakeColor(255, 0, 255)));
  Bitmap m(1, 1);
  headless::HeadlessCanvas c(m);
  const Rect client = h.AlignClientRect(c);
  EXPECT_EQ(client.Top, th + 5);
  EXPECT_EQ(client.Left, 5);
  EXPECT_EQ(client.Right, 235);
  EXPECT_EQ(client.Bottom, 75);
}

TEST_F(PaintTest, HelpBoxLowColourAt256And16Colours) {
  graphics.colors[kColorInfoBk] = MakeColor(250, 240, 200);
  for (int colours : {256, 16}) {
    SCOPED_TRACE(colours);
    UseColors(colours);
    TNeoBookHelpBox2 h;
    EXPECT_EQ(Hex(h.GetColor()), Hex(clInfoBk));
    h.SetBounds(0, 0, 240, 80);
    h.SetCaption("Hint");
    const Bitmap b = Render(h);
    SavePng(b, colours == 256 ? "helpbox-low-256" : "helpbox-low-16");
    const int th = TitleHeight(h), tw = TabWidth(h);
    EXPECT_COLOR(b, 120, 50, MakeColor(250, 240, 200));
    EXPECT_COLOR(b, 3, th + 3, MakeColor(250, 240, 200));  // squared-off corner under the tab
    EXPECT_COLOR(b, tw - 6, th - 2, kShadow);               // the tab
    EXPECT_COLOR(b, 239, 50, kShadow);                      // the body's outline
    EXPECT_TRUE(AnyPixel(b, Rect{24, 3, tw, th}, kWhite));  // caption in the highlight colour
    const char* glyph = colours == 256 ? "NBHB_GLYPH_256" : "NBHB_GLYPH_16";
    EXPECT_STREQ(HelpBoxGlyphResource(), glyph);
    const int gy = th / 2 - 17 / 2;
    EXPECT_COLOR(b, 4 + 8, gy + 8, GlyphPixel(glyph, 8, 8));
    EXPECT_COLOR(b, 4 + 8, gy + 2, GlyphPixel(glyph, 8, 2));
  }
  // The two glyphs differ where checked above.
  EXPECT_NE(GlyphPixel("NBHB_GLYPH_16", 8, 8), GlyphPixel("NBHB_GLYPH_256", 8, 8));
  EXPECT_NE(GlyphPixel("NBHB_GLYPH_16", 8, 2), GlyphPixel("NBHB_GLYPH_256", 8, 2));
}

// ---- Buttons ----

class ButtonPaintTest : public PaintTest {
 protected:
  void SetUp() override {
    PaintTest::SetUp();
    root.SetHost(&host);
    root.SetBounds(0, 0, 24, 24);
    button = std::make_unique<TNeoBookButton>(&root);
    Bitmap glyph(16, 16, kGlyph);
    glyph.SetPixel(0, 15, MakeColor(255, 0, 255));
    button->SetGlyph(glyph);
  }
  void TearDown() override {
    button.reset();
    PaintTest::TearDown();
  }
  void Hover() {
    host.cursor = Point{12, 12};
    DispatchMouse(root, MouseEvent::Move, MouseButton::Left, 0, 12, 12);
    ASSERT_TRUE(button->MouseInControl());
  }
  void Press() { DispatchMouse(root, MouseEvent::Down, MouseButton::Left, kShiftLeft, 12, 12); }
  Bitmap Paint(const std::string& name) {
    const Bitmap b = Render(root);
    SavePng(b, name);
    return b;
  }
  static constexpr Color kGlyph = MakeColor(0, 0, 200);
  FakeHost host;
  TWinControl root;
  std::unique_ptr<TNeoBookButton> button;
};

TEST_F(ButtonPaintTest, FlatAtRestShowsOnlyTheGlyphOnTheParent) {
  button->SetFlat(true);
  const Bitmap b = Paint("button-flat-rest-high");
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) {
      const bool glyph = x >= 4 && x < 20 && y >= 4 && y < 20 && !(x == 4 && y == 19);
      ASSERT_EQ(Hex(b.Pixel(x, y)), Hex(glyph ? kGlyph : kFace)) << x << "," << y;
    }
}

TEST_F(ButtonPaintTest, FlatHoveredGreyRingsWhiteFaceBlueOutline) {
  button->SetFlat(true);
  Hover();
  const Bitmap b = Paint("button-flat-hover-high");
  EXPECT_COLOR(b, 0, 12, kEnabledOutline);
  EXPECT_COLOR(b, 12, 0, kEnabledOutline);
  EXPECT_COLOR(b, 23, 12, kEnabledOutline);
  EXPECT_COLOR(b, 1, 12, MakeColor(240, 240, 236));
  EXPECT_COLOR(b, 22, 12, MakeColor(214, 214, 198));
  EXPECT_COLOR(b, 2, 12, MakeColor(245, 245, 241));
  EXPECT_COLOR(b, 21, 12, MakeColor(235, 235, 227));
  EXPECT_COLOR(b, 3, 12, kWhite);
  EXPECT_COLOR(b, 12, 3, kWhite);
  EXPECT_COLOR(b, 10, 10, kGlyph);
  EXPECT_COLOR(b, 4, 19, kWhite);  // the glyph's transparent pixel
}

TEST_F(ButtonPaintTest, FlatPressedIsShiftedAndShaded) {
  button->SetFlat(true);
  Hover();
  Press();
  ASSERT_EQ(button->State(), TButtonState::bsDown);
  const Bitmap b = Paint("button-flat-pressed-high");
  const Color s1 = ShiftColor(kBaseGrey, -20);
  EXPECT_COLOR(b, 0, 12, kPressedHotOutline);
  EXPECT_COLOR(b, 1, 12, s1);
  EXPECT_COLOR(b, 12, 1, s1);
  EXPECT_COLOR(b, 21, 5, MixColors(s1, kLightGrey, 50));  // end of the top five rows
  EXPECT_COLOR(b, 12, 22, kLightGrey);
  EXPECT_COLOR(b, 20, 20, kGlyph);   // glyph one pixel down and right
  EXPECT_NE(Hex(b.Pixel(4, 4)), Hex(kGlyph));
}

TEST_F(ButtonPaintTest, NonFlatHoveredOrangeRingsAndDarkerOutline) {
  Hover();
  const Bitmap b = Paint("button-hover-high");
  EXPECT_COLOR(b, 0, 12, kHotOutline);
  EXPECT_COLOR(b, 1, 12, MixColors(kWhite, kHotOrange, 75));
  EXPECT_COLOR(b, 22, 12, MixColors(kWhite, kHotOrange, 25));
  EXPECT_COLOR(b, 2, 12, MixColors(kWhite, kHotOrange, 85));
  EXPECT_COLOR(b, 21, 12, MixColors(kWhite, kHotOrange, 60));
  EXPECT_COLOR(b, 3, 12, kWhite);
}

TEST_F(ButtonPaintTest, NonFlatAtRestAndDisabled) {
  Bitmap b = Paint("button-rest-high");
  EXPECT_COLOR(b, 0, 12, kEnabledOutline);
  EXPECT_COLOR(b, 3, 3, MakeColor(254, 254, 253));
  EXPECT_COLOR(b, 3, 20, MakeColor(233, 232, 224));
  button->SetEnabled(false);
  b = Paint("button-disabled-high");
  EXPECT_COLOR(b, 0, 12, kDisabledOutline);
  EXPECT_COLOR(b, 12, 23, kDisabledOutline);
  EXPECT_COLOR(b, 10, 10, MixColors(kGlyph, kFace, 20));
}

TEST_F(ButtonPaintTest, DisabledCaptionIsEmbossed) {
  root.SetBounds(0, 0, 80, 24);
  button->SetBounds(0, 0, 80, 24);
  button->SetGlyph(Bitmap());
  button->SetCaption("Text");
  button->SetEnabled(false);
  const Bitmap b = Paint("button-disabled-caption-high");
  EXPECT_TRUE(AnyPixel(b, Rect{3, 3, 77, 21}, kShadow));
  EXPECT_TRUE(AnyPixel(b, Rect{3, 3, 77, 21}, kWhite));
  EXPECT_FALSE(AnyPixel(b, Rect{0, 0, 80, 24}, kBlack));
}

TEST_F(ButtonPaintTest, LowColourClassicButtons) {
  UseColors(256);
  Bitmap b = Paint("button-rest-low");
  EXPECT_COLOR(b, 0, 0, kWhite);                                  // highlight outside
  EXPECT_COLOR(b, 23, 23, DefaultSysColor(kColor3DDkShadow));
  EXPECT_COLOR(b, 22, 22, kShadow);
  EXPECT_COLOR(b, 3, 3, kFace);
  EXPECT_COLOR(b, 10, 10, kGlyph);

  button->SetFlat(true);
  b = Paint("button-flat-rest-low");
  EXPECT_COLOR(b, 0, 0, kFace);
  EXPECT_COLOR(b, 23, 23, kFace);
  Hover();
  b = Paint("button-flat-hover-low");
  EXPECT_COLOR(b, 0, 0, kWhite);
  EXPECT_COLOR(b, 23, 23, kShadow);
  EXPECT_COLOR(b, 0, 12, kWhite);

  // Exclusive and not hovered: chequered face.
  button->SetFlat(false);
  button->SetGroupIndex(1);
  button->SetDown(true);
  host.cursor = Point{200, 200};
  DispatchMouse(root, MouseEvent::Move, MouseButton::Left, 0, 200, 200);
  b = Paint("button-exclusive-low");
  EXPECT_COLOR(b, 0, 0, DefaultSysColor(kColor3DDkShadow));
  EXPECT_NE(Hex(b.Pixel(2, 2)), Hex(b.Pixel(3, 2)));
  EXPECT_COLOR(b, 2, 2, kFace);
  EXPECT_COLOR(b, 3, 2, kWhite);
  EXPECT_COLOR(b, 11, 11, kGlyph);  // shifted by one

  button->SetDown(false);
  button->SetAllowAllUp(true);
  button->SetDown(false);
  button->SetEnabled(false);
  b = Paint("button-disabled-low");
  EXPECT_COLOR(b, 10, 10, kShadow);  // the embossed image
  EXPECT_FALSE(AnyPixel(b, Rect{0, 0, 24, 24}, kGlyph));
}

// ---- A whole group, for the eye ----

TEST_F(PaintTest, PanelWithHelpBoxAndButtonsInBothModes) {
  for (int colours : {16777216, 256}) {
    UseColors(colours);
    FakeHost host;
    TWinControl form;
    form.SetHost(&host);
    form.SetBounds(0, 0, 377, 161);
    TNeoBookPanel panel(&form);
    panel.SetBounds(8, 8, 361, 145);
    panel.SetCaption("\xCE\xE1\xFA\xE5\xEA\xF2 \xCF\xF0\xFF\xEC\xEE\xF3\xE3\xEE\xEB\xFC\xED\xE8\xEA (Rectangle):");
    TNeoBookButton flat(&panel), hot(&panel);
    flat.SetBounds(300, 28, 25, 24);
    hot.SetBounds(328, 28, 25, 24);
    for (TNeoBookButton* b : {&flat, &hot}) {
      Bitmap g(20, 20, MakeColor(255, 0, 255));
      g.FillRect(3, 3, 17, 17, MakeColor(40, 90, 160));
      g.FillRect(6, 6, 14, 14, MakeColor(250, 220, 80));
      b->SetGlyph(g);
      b->SetFlat(true);
    }
    TNeoBookHelpBox2 help(&panel);
    help.SetBounds(8, 64, 345, 73);
    help.SetCaption("\xCF\xEE\xE4\xF1\xEA\xE0\xE7\xEA\xE0");
    host.cursor = Point{8 + 328 + 10, 8 + 28 + 10};
    DispatchMouse(panel, MouseEvent::Move, MouseButton::Left, 0, 338, 38);
    ASSERT_TRUE(hot.MouseInControl());
    const Bitmap b = Render(form, kFace);
    SavePng(b, colours > 256 ? "group-high" : "group-low");
    // The hovered button has its outline, the one at rest has none.
    if (colours > 256) {
      EXPECT_COLOR(b, 8 + 328, 8 + 28 + 12, kEnabledOutline);
      EXPECT_COLOR(b, 8 + 300, 8 + 28 + 12, kFace);
      EXPECT_COLOR(b, 8 + 8 + 100, 8 + 64 + 50, kHelpBoxYellow);
    } else {
      EXPECT_COLOR(b, 8 + 328, 8 + 28 + 12, kWhite);
      EXPECT_COLOR(b, 8 + 8 + 100, 8 + 64 + 50, DefaultSysColor(kColorInfoBk));
    }
  }
}

}  // namespace
}  // namespace kyt::controls
