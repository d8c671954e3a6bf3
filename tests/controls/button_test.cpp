// The glyph button: layout arithmetic, glyph strip rules, states and their
// transitions, groups, hover tracking, the accelerator and the glyph cache.
#include <memory>
#include <vector>

#include "controls/NeoBookButton.h"
#include "tests/controls/ControlsTestSupport.h"

namespace kyt::controls {
namespace {

using testing::ControlsTest;
using testing::FakeHost;
using testing::Hex;
using L = TButtonLayout;

// ---- Layout ----

struct LayoutCase {
  L layout;
  int margin, spacing;
  int glyphAt, textAt;  // along the layout direction
};

TEST(ButtonLayout, EveryLayoutWithEveryMarginAndSpacing) {
  // Horizontal: client 60 x 24, glyph 16 x 16, caption 20 x 13 (glyph at y 4, caption at y 6).
  // Vertical: client 40 x 50, glyph 16 x 16, caption 30 x 13 (glyph at x 12, caption at x 5).
  const LayoutCase cases[] = {
      {L::blGlyphLeft, -1, -1, 8, 32},    {L::blGlyphLeft, -1, 4, 10, 30},    {L::blGlyphLeft, 3, -1, 3, 29},
      {L::blGlyphLeft, 3, 4, 3, 23},      {L::blGlyphRight, -1, -1, 36, 8},   {L::blGlyphRight, -1, 4, 34, 10},
      {L::blGlyphRight, 3, -1, 41, 11},   {L::blGlyphRight, 3, 4, 41, 17},    {L::blGlyphTop, -1, -1, 7, 30},
      {L::blGlyphTop, -1, 4, 9, 29},      {L::blGlyphTop, 3, -1, 3, 28},      {L::blGlyphTop, 3, 4, 3, 23},
      {L::blGlyphBottom, -1, -1, 27, 7},  {L::blGlyphBottom, -1, 4, 25, 8},   {L::blGlyphBottom, 3, -1, 31, 9},
      {L::blGlyphBottom, 3, 4, 31, 14},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "layout " << int(c.layout) << " margin " << c.margin << " spacing " << c.spacing);
    const bool horizontal = c.layout == L::blGlyphLeft || c.layout == L::blGlyphRight;
    const Size client = horizontal ? Size{60, 24} : Size{40, 50};
    const Size text = horizontal ? Size{20, 13} : Size{30, 13};
    const ButtonLayoutResult r = CalcButtonLayout(client, Size{16, 16}, text, c.layout, c.margin, c.spacing, false);
    if (horizontal) {
      EXPECT_EQ(r.GlyphPos, (Point{c.glyphAt, 4}));
      EXPECT_EQ(r.TextBounds.Left, c.textAt);
      EXPECT_EQ(r.TextBounds.Top, 6);
    } else {
      EXPECT_EQ(r.GlyphPos, (Point{12, c.glyphAt}));
      EXPECT_EQ(r.TextBounds.Top, c.textAt);
      EXPECT_EQ(r.TextBounds.Left, 5);
    }
    EXPECT_EQ(r.TextBounds.Width(), text.Cx);
    EXPECT_EQ(r.TextBounds.Height(), text.Cy);
  }
}

TEST(ButtonLayout, RightToLeftSwapsLeftAndRightOnly) {
  const Size client{60, 24}, glyph{16, 16}, text{20, 13};
  const auto rtlLeft = CalcButtonLayout(client, glyph, text, L::blGlyphLeft, 3, 4, true);
  const auto right = CalcButtonLayout(client, glyph, text, L::blGlyphRight, 3, 4, false);
  EXPECT_EQ(rtlLeft.GlyphPos, right.GlyphPos);
  EXPECT_EQ(rtlLeft.TextBounds.Left, right.TextBounds.Left);
  const auto rtlRight = CalcButtonLayout(client, glyph, text, L::blGlyphRight, 3, 4, true);
  EXPECT_EQ(rtlRight.GlyphPos.X, 3);
  const auto rtlTop = CalcButtonLayout(Size{40, 50}, glyph, Size{30, 13}, L::blGlyphTop, 3, 4, true);
  EXPECT_EQ(rtlTop.GlyphPos, (Point{12, 3}));
}

TEST(ButtonLayout, NoCaptionOrNoGlyphMeansNoSpacing) {
  // Glyph alone, centred: (60 - 16 + 1) div 2 = 22 whatever the spacing.
  EXPECT_EQ(CalcButtonLayout(Size{60, 24}, Size{16, 16}, Size{}, L::blGlyphLeft, -1, 4, false).GlyphPos.X, 22);
  EXPECT_EQ(CalcButtonLayout(Size{60, 24}, Size{16, 16}, Size{}, L::blGlyphLeft, -1, 30, false).GlyphPos.X, 22);
  // Caption alone: (60 - 20 + 1) div 2 = 20.
  EXPECT_EQ(CalcButtonLayout(Size{60, 24}, Size{}, Size{20, 13}, L::blGlyphLeft, -1, 4, false).TextBounds.Left, 20);
  // A 24 x 24 button with a 20 x 20 glyph (the editor's small buttons): glyph at (2, 2).
  EXPECT_EQ(CalcButtonLayout(Size{24, 24}, Size{20, 20}, Size{}, L::blGlyphLeft, -1, 4, false).GlyphPos, (Point{2, 2}));
}

TEST(ButtonLayout, ContentLargerThanTheClientTruncatesTowardsZero) {
  // (10 - 16 - 20) div 3 = -8 (not -9).
  const auto r = CalcButtonLayout(Size{10, 10}, Size{16, 16}, Size{20, 13}, L::blGlyphLeft, -1, -1, false);
  EXPECT_EQ(r.GlyphPos.X, -8);
  EXPECT_EQ(r.TextBounds.Left, 0);
  EXPECT_EQ(r.GlyphPos.Y, -2);  // (10 - 16 + 1) div 2
}

// ---- Properties and glyph strips ----

class ButtonTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    root.SetBounds(0, 0, 200, 100);
    root.SetHost(&host);
  }
  // A press and release at client point (x, y) of `b`, moving the pointer there.
  void ClickAt(TNeoBookButton& b, int x, int y) {
    Press(b, x, y);
    Release(b, x, y);
  }
  void Press(TNeoBookButton& b, int x, int y) {
    MoveTo(b, x, y);
    host.leftDown = true;
    DispatchMouse(root, MouseEvent::Down, MouseButton::Left, kShiftLeft, b.Left() + x, b.Top() + y);
  }
  void Release(TNeoBookButton& b, int x, int y) {
    host.cursor = Point{b.Left() + x, b.Top() + y};
    host.leftDown = false;
    DispatchMouse(root, MouseEvent::Up, MouseButton::Left, 0, b.Left() + x, b.Top() + y);
  }
  void MoveTo(TNeoBookButton& b, int x, int y) {
    host.cursor = Point{b.Left() + x, b.Top() + y};
    DispatchMouse(root, MouseEvent::Move, MouseButton::Left, host.leftDown ? uint32_t(kShiftLeft) : 0u, b.Left() + x, b.Top() + y);
  }
  FakeHost host;
  TWinControl root;
};

Bitmap Strip(int w, int h, Color fill = MakeColor(0, 0, 200)) {
  Bitmap b(w, h, fill);
  b.SetPixel(0, h - 1, MakeColor(255, 0, 255));  // the transparent colour
  return b;
}

TEST_F(ButtonTest, PublishedDefaults) {
  TNeoBookButton b(&root);
  EXPECT_FALSE(b.AllowAllUp());
  EXPECT_EQ(b.GroupIndex(), 0);
  EXPECT_FALSE(b.Down());
  EXPECT_FALSE(b.Flat());
  EXPECT_TRUE(b.Glyph().Empty());
  EXPECT_EQ(b.Layout(), L::blGlyphLeft);
  EXPECT_EQ(b.Margin(), -1);
  EXPECT_EQ(b.NumGlyphs(), 1);
  EXPECT_EQ(b.Spacing(), 4);
  EXPECT_TRUE(b.Transparent());
  EXPECT_TRUE(b.ParentFont());
  EXPECT_TRUE(b.ParentColor());
  EXPECT_EQ(b.Width(), 24);
  EXPECT_EQ(b.Height(), 24);
  EXPECT_EQ(b.State(), TButtonState::bsUp);
  EXPECT_EQ(Hex(b.ButtonGlyph().TransparentColor()), Hex(MakeColor(128, 128, 0)));
}

TEST_F(ButtonTest, GlyphStripRules) {
  TNeoBookButton b(&root);
  b.SetGlyph(Strip(80, 20));
  EXPECT_EQ(b.NumGlyphs(), 4);
  EXPECT_EQ(Hex(b.ButtonGlyph().TransparentColor()), Hex(MakeColor(255, 0, 255)));
  b.SetGlyph(Strip(30, 20));
  EXPECT_EQ(b.NumGlyphs(), 4);  // not a whole multiple: kept
  b.SetGlyph(Strip(100, 20));
  EXPECT_EQ(b.NumGlyphs(), 1);  // five would be too many: one 100-pixel glyph
  EXPECT_EQ(b.ButtonGlyph().GlyphSize(), (Size{100, 20}));
  b.SetGlyph(Strip(30, 20));
  EXPECT_EQ(b.NumGlyphs(), 1);
  b.SetGlyph(Strip(40, 20));
  EXPECT_EQ(b.NumGlyphs(), 2);
  b.SetNumGlyphs(9);
  EXPECT_EQ(b.NumGlyphs(), 4);
  b.SetNumGlyphs(0);
  EXPECT_EQ(b.NumGlyphs(), 4);
  b.SetNumGlyphs(3);
  EXPECT_EQ(b.NumGlyphs(), 3);
  EXPECT_EQ(b.ButtonGlyph().GlyphSize(), (Size{13, 20}));
}

TEST_F(ButtonTest, PropertyChangesRepaint) {
  TNeoBookButton b(&root);
  const auto repaints = [&](auto change) {
    const int before = host.invalidations;
    change();
    return host.invalidations > before;
  };
  EXPECT_TRUE(repaints([&] { b.SetFlat(true); }));
  EXPECT_TRUE(repaints([&] { b.SetLayout(L::blGlyphTop); }));
  EXPECT_TRUE(repaints([&] { b.SetMargin(2); }));
  EXPECT_TRUE(repaints([&] { b.SetSpacing(-1); }));
  EXPECT_TRUE(repaints([&] { b.SetTransparent(false); }));
  EXPECT_TRUE(repaints([&] { b.SetGlyph(Strip(20, 20)); }));
  EXPECT_TRUE(repaints([&] { b.SetNumGlyphs(2); }));
  EXPECT_TRUE(repaints([&] { b.SetCaption("&Go"); }));
  EXPECT_TRUE(repaints([&] { b.SetEnabled(false); }));
}

// ---- States ----

TEST_F(ButtonTest, PressDragOutAndBackReleaseInsideAndOutside) {
  TNeoBookButton b(&root);
  b.SetBounds(10, 10, 24, 24);
  int clicks = 0;
  b.OnClick = [&] { ++clicks; };
  Press(b, 5, 5);
  EXPECT_EQ(b.State(), TButtonState::bsDown);
  EXPECT_TRUE(b.Dragging());
  EXPECT_EQ(CaptureControl(), &b);
  EXPECT_TRUE(host.captured);
  MoveTo(b, 30, 5);  // out: the capture still brings the moves
  EXPECT_EQ(b.State(), TButtonState::bsUp);
  MoveTo(b, 23, 23);
  EXPECT_EQ(b.State(), TButtonState::bsDown);
  Release(b, 23, 23);
  EXPECT_EQ(b.State(), TButtonState::bsUp);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(b.Dragging());
  // Released outside: no click.
  Press(b, 5, 5);
  MoveTo(b, -3, 5);
  Release(b, -3, 5);
  EXPECT_EQ(b.State(), TButtonState::bsUp);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(b.Down());  // without a group a button never stays down
}

TEST_F(ButtonTest, GroupsToggleAndStayExclusive) {
  TNeoBookButton a(&root), b(&root), other(&root);
  a.SetBounds(0, 0, 24, 24);
  b.SetBounds(30, 0, 24, 24);
  other.SetBounds(60, 0, 24, 24);
  a.SetGroupIndex(1);
  b.SetGroupIndex(1);
  other.SetGroupIndex(2);
  other.SetDown(true);
  int clicks = 0;
  a.OnClick = [&] { ++clicks; };

  ClickAt(a, 4, 4);
  EXPECT_TRUE(a.Down());
  EXPECT_EQ(a.State(), TButtonState::bsExclusive);
  EXPECT_EQ(clicks, 1);
  ClickAt(b, 4, 4);
  EXPECT_TRUE(b.Down());
  EXPECT_FALSE(a.Down());
  EXPECT_EQ(a.State(), TButtonState::bsUp);
  EXPECT_TRUE(other.Down());  // another group is left alone

  // A down button does not go up without AllowAllUp, also when clicked.
  ClickAt(b, 4, 4);
  EXPECT_TRUE(b.Down());
  EXPECT_EQ(b.State(), TButtonState::bsExclusive);
  b.SetDown(false);
  EXPECT_TRUE(b.Down());

  // AllowAllUp spreads through the group; now a click lets it up.
  a.SetAllowAllUp(true);
  EXPECT_TRUE(b.AllowAllUp());
  ClickAt(b, 4, 4);
  EXPECT_FALSE(b.Down());
  EXPECT_EQ(b.State(), TButtonState::bsUp);

  // Pressed while down and released outside: back to exclusive.
  ClickAt(a, 4, 4);
  ASSERT_TRUE(a.Down());
  Press(a, 4, 4);
  EXPECT_EQ(a.State(), TButtonState::bsExclusive);  // already Down: stays shown down
  MoveTo(a, 100, 50);
  Release(a, 100, 50);
  EXPECT_TRUE(a.Down());
  EXPECT_EQ(a.State(), TButtonState::bsExclusive);
}

TEST_F(ButtonTest, DownNeedsAGroup) {
  TNeoBookButton b(&root);
  b.SetDown(true);
  EXPECT_FALSE(b.Down());
  b.SetGroupIndex(3);
  b.SetDown(true);
  EXPECT_TRUE(b.Down());
  EXPECT_EQ(b.State(), TButtonState::bsExclusive);
}

TEST_F(ButtonTest, DisabledThenEnabledWhileDown) {
  TNeoBookButton grouped(&root), single(&root);
  grouped.SetGroupIndex(1);
  grouped.SetDown(true);
  grouped.SetEnabled(false);
  single.SetEnabled(false);
  EXPECT_EQ(grouped.State(), TButtonState::bsDisabled);
  Bitmap bmp = testing::Render(root);  // painting keeps the state in step too
  EXPECT_EQ(grouped.State(), TButtonState::bsDisabled);
  grouped.SetEnabled(true);
  single.SetEnabled(true);
  EXPECT_EQ(grouped.State(), TButtonState::bsExclusive);
  EXPECT_EQ(single.State(), TButtonState::bsUp);
  // A disabled button ignores the mouse.
  single.SetEnabled(false);
  single.MouseDown(MouseButton::Left, kShiftLeft, 3, 3);
  EXPECT_FALSE(single.Dragging());
  EXPECT_EQ(single.State(), TButtonState::bsDisabled);
}

TEST_F(ButtonTest, DoubleClickOnlyWhileDown) {
  TNeoBookButton b(&root);
  int doubles = 0;
  b.OnDblClick = [&] { ++doubles; };
  DispatchMouse(root, MouseEvent::DoubleClick, MouseButton::Left, kShiftLeft, 3, 3);
  DispatchMouse(root, MouseEvent::Up, MouseButton::Left, 0, 3, 3);
  EXPECT_EQ(doubles, 0);
  b.SetGroupIndex(1);
  b.SetDown(true);
  DispatchMouse(root, MouseEvent::DoubleClick, MouseButton::Left, kShiftLeft, 3, 3);
  EXPECT_EQ(doubles, 1);
}

TEST_F(ButtonTest, AcceleratorClicksWhenEnabledVisibleAndShowing) {
  TNeoBookButton b(&root);
  b.SetCaption("\xC2\xFB&\xE1rat");  // "Вы&брать", accelerator б
  int clicks = 0;
  b.OnClick = [&] { ++clicks; };
  EXPECT_TRUE(DispatchDialogChar(root, '\xC1', kShiftAlt));  // Б matches б
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(DispatchDialogChar(root, 'x', kShiftAlt));
  b.SetEnabled(false);
  EXPECT_FALSE(DispatchDialogChar(root, '\xE1', kShiftAlt));
  b.SetEnabled(true);
  b.SetVisible(false);
  EXPECT_FALSE(b.DialogChar('\xE1', kShiftAlt));
  b.SetVisible(true);
  root.SetVisible(false);
  EXPECT_FALSE(b.DialogChar('\xE1', kShiftAlt));
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(IsAccel('a', "a&&b"));
  EXPECT_TRUE(IsAccel('B', "a&&b&b"));
}

// ---- Hover ----

TEST_F(ButtonTest, HoverTakesTheCaptureAndHandsItOn) {
  TNeoBookButton a(&root), b(&root);
  a.SetBounds(0, 0, 24, 24);
  b.SetBounds(24, 0, 24, 24);
  a.SetFlat(true);
  b.SetFlat(true);
  MoveTo(a, 5, 5);
  EXPECT_TRUE(a.MouseInControl());
  EXPECT_EQ(CaptureControl(), &a);
  EXPECT_TRUE(host.captured);
  // Straight onto the neighbour: the capture still sends the move to a, which lets go.
  MoveTo(b, 2, 5);
  EXPECT_FALSE(a.MouseInControl());
  EXPECT_EQ(CaptureControl(), nullptr);
  // The next move reaches b.
  MoveTo(b, 3, 5);
  EXPECT_TRUE(b.MouseInControl());
  EXPECT_EQ(CaptureControl(), &b);
  // A button taking the capture tells the holder that the mouse left.
  SetCaptureControl(&b);
  a.MouseMove(0, 5, 5);
  EXPECT_EQ(CaptureControl(), &a);
  EXPECT_FALSE(b.MouseInControl());
  EXPECT_TRUE(a.MouseInControl());
  // Leaving with the right button held keeps the capture but ends the hover.
  host.rightDown = true;
  MoveTo(a, 100, 80);
  EXPECT_FALSE(a.MouseInControl());
  EXPECT_EQ(CaptureControl(), &a);
  host.rightDown = false;
  MoveTo(a, 101, 80);
  EXPECT_EQ(CaptureControl(), nullptr);  // released once no button is held
  MoveTo(a, 5, 5);
  EXPECT_TRUE(a.MouseInControl());
}

TEST_F(ButtonTest, MouseReachesButtonsInsideWindowedChildren) {
  TWinControl panel(&root);
  panel.SetBounds(20, 30, 100, 50);
  TNeoBookButton b(&panel);
  b.SetBounds(10, 5, 24, 24);
  int clicks = 0;
  b.OnClick = [&] { ++clicks; };
  host.cursor = Point{20 + 10 + 3, 30 + 5 + 3};
  DispatchMouse(root, MouseEvent::Move, MouseButton::Left, 0, 33, 38);
  EXPECT_TRUE(b.MouseInControl());
  DispatchMouse(root, MouseEvent::Down, MouseButton::Left, kShiftLeft, 33, 38);
  EXPECT_EQ(b.State(), TButtonState::bsDown);
  DispatchMouse(root, MouseEvent::Up, MouseButton::Left, 0, 33, 38);
  EXPECT_EQ(clicks, 1);
  // A point of the panel beside the button reaches no button.
  host.cursor = Point{20 + 80, 30 + 40};
  DispatchMouse(root, MouseEvent::Move, MouseButton::Left, 0, 100, 70);
  EXPECT_FALSE(b.MouseInControl());
  DispatchMouse(root, MouseEvent::Down, MouseButton::Left, kShiftLeft, 100, 70);
  EXPECT_FALSE(b.Dragging());
}

TEST_F(ButtonTest, NoHoverWhenDisabledCoveredOrDesigning) {
  TNeoBookButton b(&root);
  b.SetEnabled(false);
  b.MouseMove(0, 5, 5);
  EXPECT_FALSE(b.MouseInControl());
  b.SetEnabled(true);
  host.overRoot = false;  // another window over ours
  host.cursor = Point{5, 5};
  b.MouseMove(0, 5, 5);
  EXPECT_FALSE(b.MouseInControl());
  host.overRoot = true;
  b.SetDesigning(true);
  b.MouseMove(0, 5, 5);
  EXPECT_FALSE(b.MouseInControl());
}

TEST_F(ButtonTest, ReleaseInsideWithoutGroupKeepsHover) {
  TNeoBookButton b(&root);
  b.SetFlat(true);
  ClickAt(b, 5, 5);
  EXPECT_EQ(b.State(), TButtonState::bsUp);
  EXPECT_TRUE(b.MouseInControl());
  EXPECT_EQ(CaptureControl(), &b);
}

// ---- Glyph images and the cache ----

TEST_F(ButtonTest, ManyIdenticalButtonsShareOneImageList) {
  std::vector<std::unique_ptr<TNeoBookButton>> buttons;
  for (int i = 0; i < 12; ++i) {
    buttons.push_back(std::make_unique<TNeoBookButton>(&root));
    buttons.back()->SetGlyph(Strip(20, 20));
  }
  for (auto& b : buttons) b->ButtonGlyph().CreateButtonGlyph(TButtonState::bsUp);
  ASSERT_NE(GlyphCache(), nullptr);
  EXPECT_EQ(GlyphCache()->ListCount(), 1u);
  TNeoGlyphList* list = buttons[0]->ButtonGlyph().GlyphList();
  for (auto& b : buttons) EXPECT_EQ(b->ButtonGlyph().GlyphList(), list);
  EXPECT_EQ(list->Count(), 12);
  // Built once per state: asking again adds nothing.
  for (auto& b : buttons) b->ButtonGlyph().CreateButtonGlyph(TButtonState::bsUp);
  EXPECT_EQ(list->Count(), 12);
  // One glyph strip: down and exclusive fall back to the up image.
  EXPECT_EQ(buttons[0]->ButtonGlyph().CreateButtonGlyph(TButtonState::bsExclusive),
            buttons[0]->ButtonGlyph().ImageIndex(TButtonState::bsUp));
  EXPECT_EQ(list->Count(), 12);

  // A freed slot is taken by the next image.
  const int freed = buttons[4]->ButtonGlyph().ImageIndex(TButtonState::bsUp);
  buttons[4].reset();
  EXPECT_EQ(list->Count(), 11);
  EXPECT_FALSE(list->Occupied(freed));
  TNeoBookButton newcomer(&root);
  newcomer.SetGlyph(Strip(20, 20, MakeColor(9, 9, 9)));
  EXPECT_EQ(newcomer.ButtonGlyph().CreateButtonGlyph(TButtonState::bsUp), freed);
  EXPECT_EQ(list->Capacity(), 12);
  EXPECT_EQ(Hex(list->Image(freed).Pixel(5, 5)), Hex(MakeColor(9, 9, 9)));

  // Another size gets a list of its own.
  TNeoBookButton big(&root);
  big.SetGlyph(Strip(32, 32));
  big.ButtonGlyph().CreateButtonGlyph(TButtonState::bsUp);
  EXPECT_EQ(GlyphCache()->ListCount(), 2u);
  // Changing a glyph releases its images; the list goes with its last image.
  big.SetGlyph(Strip(20, 20));
  EXPECT_EQ(GlyphCache()->ListCount(), 1u);
  buttons.clear();
  newcomer.SetGlyph(Bitmap());
  big.ButtonGlyph().Invalidate();
  EXPECT_EQ(GlyphCache()->ListCount(), 0u);
}

TEST_F(ButtonTest, TheCacheGoesWithTheLastGlyph) {
  {
    TNeoBookButton b(&root);
    b.SetGlyph(Strip(16, 16));
    b.ButtonGlyph().CreateButtonGlyph(TButtonState::bsUp);
    ASSERT_NE(GlyphCache(), nullptr);
  }
  EXPECT_EQ(GlyphCache(), nullptr);
}

TEST_F(ButtonTest, StripCellsPerStateWithFallbacks) {
  TNeoBookButton b(&root);
  Bitmap strip(80, 20, MakeColor(255, 0, 255));
  const Color cells[4] = {MakeColor(10, 0, 0), MakeColor(20, 0, 0), MakeColor(30, 0, 0), MakeColor(40, 0, 0)};
  for (int c = 0; c < 4; ++c) strip.FillRect(c * 20 + 2, 2, c * 20 + 18, 18, cells[c]);
  b.SetGlyph(strip);
  auto& g = b.ButtonGlyph();
  auto colourOf = [&](TButtonState s) {
    const int32_t index = g.CreateButtonGlyph(s);
    return g.GlyphList()->Image(index).Pixel(10, 10);
  };
  EXPECT_EQ(Hex(colourOf(TButtonState::bsUp)), Hex(cells[0]));
  EXPECT_EQ(Hex(colourOf(TButtonState::bsDown)), Hex(cells[2]));
  EXPECT_EQ(Hex(colourOf(TButtonState::bsExclusive)), Hex(cells[3]));
  // Two cells: down and exclusive show cell 0 (down's cell is missing).
  b.SetNumGlyphs(2);
  EXPECT_EQ(g.ImageIndex(TButtonState::bsUp), -1);  // images were discarded
  EXPECT_EQ(Hex(colourOf(TButtonState::bsExclusive)), Hex(MakeColor(10, 0, 0)));
  EXPECT_EQ(g.ImageIndex(TButtonState::bsExclusive), -1);  // exclusive went to down
  EXPECT_NE(g.ImageIndex(TButtonState::bsDown), -1);
  // The transparent corner is masked out.
  const int32_t up = g.CreateButtonGlyph(TButtonState::bsUp);
  EXPECT_FALSE(g.GlyphList()->Opaque(up, 0, 19));
  EXPECT_TRUE(g.GlyphList()->Opaque(up, 10, 10));
}

TEST_F(ButtonTest, DisabledImageInBothModes) {
  graphics.colors[kColorBtnFace] = MakeColor(200, 200, 200);
  graphics.colors[kColorBtnShadow] = MakeColor(100, 100, 100);
  graphics.colors[kColorBtnHighlight] = MakeColor(250, 250, 250);
  Bitmap glyph(16, 16, MakeColor(255, 0, 255));
  glyph.SetPixel(5, 5, MakeColor(0, 0, 100));
  glyph.SetPixel(8, 8, kWhite);  // white is no ink in the embossed image
  TNeoBookButton b(&root);
  b.SetGlyph(glyph);
  auto& g = b.ButtonGlyph();
  // High colour: every visible pixel 20 % towards the button face.
  int32_t i = g.CreateButtonGlyph(TButtonState::bsDisabled);
  EXPECT_EQ(Hex(g.GlyphList()->Image(i).Pixel(5, 5)), Hex(MixColors(MakeColor(0, 0, 100), MakeColor(200, 200, 200), 20)));
  EXPECT_EQ(Hex(g.GlyphList()->Image(i).Pixel(8, 8)), Hex(MixColors(kWhite, MakeColor(200, 200, 200), 20)));
  EXPECT_FALSE(g.GlyphList()->Opaque(i, 0, 0));
  // Low colour: shadow where the ink is, highlight one pixel down and right.
  UseColors(256);
  g.Invalidate();
  i = g.CreateButtonGlyph(TButtonState::bsDisabled);
  const Bitmap& img = g.GlyphList()->Image(i);
  EXPECT_EQ(Hex(img.Pixel(5, 5)), Hex(MakeColor(100, 100, 100)));
  EXPECT_EQ(Hex(img.Pixel(6, 6)), Hex(MakeColor(250, 250, 250)));
  EXPECT_FALSE(g.GlyphList()->Opaque(i, 8, 8));
  EXPECT_FALSE(g.GlyphList()->Opaque(i, 0, 0));
}

TEST_F(ButtonTest, SystemColourChangeRebuildsTheImages) {
  TNeoBookButton b(&root);
  b.SetGlyph(Strip(16, 16));
  b.ButtonGlyph().CreateButtonGlyph(TButtonState::bsDisabled);
  ASSERT_NE(b.ButtonGlyph().ImageIndex(TButtonState::bsDisabled), -1);
  DispatchSysColorChange(root);
  EXPECT_EQ(b.ButtonGlyph().ImageIndex(TButtonState::bsDisabled), -1);
}

TEST_F(ButtonTest, ActionImageOnlyWithoutAGlyphOfItsOwn) {
  ImageList images(16, 16);
  Bitmap pic(16, 16, MakeColor(0, 255, 0));
  pic.SetPixel(3, 3, MakeColor(1, 1, 1));
  images.AddMasked(pic, MakeColor(0, 255, 0));
  TNeoBookButton b(&root);
  b.SetActionImage(images, 0);
  EXPECT_EQ(Hex(b.Glyph().Pixel(3, 3)), Hex(MakeColor(1, 1, 1)));
  EXPECT_EQ(Hex(b.Glyph().Pixel(0, 15)), Hex(MakeColor(255, 0, 255)));
  EXPECT_EQ(Hex(b.ButtonGlyph().TransparentColor()), Hex(MakeColor(255, 0, 255)));
  Bitmap own(16, 16, kBlack);
  b.SetGlyph(own);
  b.SetActionImage(images, 0);
  EXPECT_EQ(Hex(b.Glyph().Pixel(3, 3)), Hex(kBlack));
}

}  // namespace
}  // namespace kyt::controls
