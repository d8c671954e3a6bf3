#include "controls/NeoBookButton.h"

#include <algorithm>

#include "controls/NeoUtils.h"

namespace kyt::controls {

// ---- Layout ----

ButtonLayoutResult CalcButtonLayout(Size client, Size glyph, Size text, TButtonLayout layout, int32_t margin,
                                    int32_t spacing, bool rightToLeft) {
  if (rightToLeft) {
    if (layout == TButtonLayout::blGlyphLeft)
      layout = TButtonLayout::blGlyphRight;
    else if (layout == TButtonLayout::blGlyphRight)
      layout = TButtonLayout::blGlyphLeft;
  }
  const bool horizontal = layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphRight;
  Point glyphPos, textPos;
  if (horizontal) {
    glyphPos.Y = (client.Cy - glyph.Cy + 1) / 2;
    textPos.Y = (client.Cy - text.Cy + 1) / 2;
  } else {
    glyphPos.X = (client.Cx - glyph.Cx + 1) / 2;
    textPos.X = (client.Cx - text.Cx + 1) / 2;
  }
  const int32_t a = horizontal ? client.Cx : client.Cy;
  const int32_t g = horizontal ? glyph.Cx : glyph.Cy;
  const int32_t t = horizontal ? text.Cx : text.Cy;
  if (text.Cx == 0 || glyph.Cx == 0) spacing = 0;
  if (margin == -1) {
    if (spacing == -1) {
      margin = (a - g - t) / 3;
      spacing = margin;
    } else {
      margin = (a - (g + spacing + t) + 1) / 2;
    }
  } else if (spacing == -1) {
    spacing = (a - margin - g - t) / 2;
  }
  int32_t gp = 0, tp = 0;
  switch (layout) {
    case TButtonLayout::blGlyphLeft:
    case TButtonLayout::blGlyphTop:
      gp = margin;
      tp = margin + g + spacing;
      break;
    case TButtonLayout::blGlyphRight:
    case TButtonLayout::blGlyphBottom:
      gp = a - margin - g;
      tp = gp - spacing - t;
      break;
  }
  if (horizontal) {
    glyphPos.X = gp;
    textPos.X = tp;
  } else {
    glyphPos.Y = gp;
    textPos.Y = tp;
  }
  return ButtonLayoutResult{glyphPos, Rect{textPos.X, textPos.Y, textPos.X + text.Cx, textPos.Y + text.Cy}};
}

// ---- Glyph lists and the cache ----

int32_t TNeoGlyphList::AddMasked(const Bitmap& image, Color transparent) {
  int32_t index = -1;
  for (size_t i = 0; i < used_.size(); ++i)
    if (!used_[i]) {
      index = int32_t(i);
      break;
    }
  if (index >= 0 && index < Capacity()) {
    ReplaceMasked(index, image, transparent);
  } else {
    index = ImageList::AddMasked(image, transparent);
  }
  if (size_t(index) >= used_.size()) used_.resize(size_t(index) + 1, false);
  used_[size_t(index)] = true;
  ++count_;
  return index;
}

void TNeoGlyphList::Delete(int32_t index) {
  if (!Occupied(index)) return;
  used_[size_t(index)] = false;
  --count_;
}

namespace {
TNeoGlyphCache* g_cache = nullptr;
int32_t g_glyphs = 0;
}  // namespace

TNeoGlyphCache* GlyphCache() { return g_cache; }

TNeoGlyphCache::~TNeoGlyphCache() = default;

TNeoGlyphList* TNeoGlyphCache::GetList(int32_t width, int32_t height) {
  for (auto& list : lists_)
    if (list->Width() == width && list->Height() == height) return list.get();
  lists_.push_back(std::make_unique<TNeoGlyphList>(width, height));
  return lists_.back().get();
}

void TNeoGlyphCache::ReturnList(TNeoGlyphList* list) {
  if (!list || list->Count() != 0) return;
  lists_.erase(std::remove_if(lists_.begin(), lists_.end(), [&](const auto& l) { return l.get() == list; }),
               lists_.end());
}

// ---- TNeoButtonGlyph ----

TNeoButtonGlyph::TNeoButtonGlyph() {
  if (!g_cache) g_cache = new TNeoGlyphCache;
  ++g_glyphs;
}

TNeoButtonGlyph::~TNeoButtonGlyph() {
  Invalidate();
  --g_glyphs;
  if (g_glyphs == 0 && g_cache && g_cache->Empty()) {
    delete g_cache;
    g_cache = nullptr;
  }
}

void TNeoButtonGlyph::Changed() {
  if (OnChange) OnChange();
}

void TNeoButtonGlyph::Invalidate() {
  for (int32_t& index : indexes_) {
    if (index != -1 && glyphList_) glyphList_->Delete(index);
    index = -1;
  }
  if (g_cache && glyphList_) g_cache->ReturnList(glyphList_);
  glyphList_ = nullptr;
}

void TNeoButtonGlyph::SetGlyph(const Bitmap& glyph) {
  Invalidate();
  original_ = glyph;
  if (!original_.Empty()) {
    transparentColor_ = original_.Pixel(0, original_.Height() - 1);
    if (original_.Width() % original_.Height() == 0) {
      const int32_t n = original_.Width() / original_.Height();
      numGlyphs_ = n < 5 ? std::max(n, 1) : 1;
    }
  }
  Changed();
}

void TNeoButtonGlyph::SetNumGlyphs(int32_t count) {
  if (count <= 0) return;
  count = std::min(count, 4);
  if (count == numGlyphs_) return;
  Invalidate();
  numGlyphs_ = count;
  Changed();
}

Size TNeoButtonGlyph::GlyphSize() const {
  if (original_.Empty()) return Size{};
  return Size{original_.Width() / numGlyphs_, original_.Height()};
}

int32_t TNeoButtonGlyph::CreateButtonGlyph(TButtonState state) {
  if (state == TButtonState::bsExclusive && numGlyphs_ < 3) state = TButtonState::bsDown;
  if (state == TButtonState::bsDown && numGlyphs_ < 2) state = TButtonState::bsUp;
  int32_t& index = indexes_[size_t(state)];
  if (index != -1) return index;
  const Size size = GlyphSize();
  if (size.Cx <= 0 || size.Cy <= 0) return -1;
  if (!g_cache) g_cache = new TNeoGlyphCache;
  if (!glyphList_) glyphList_ = g_cache->GetList(size.Cx, size.Cy);

  const int32_t cell = int32_t(state) < numGlyphs_ ? int32_t(state) : 0;
  Bitmap image(size.Cx, size.Cy);
  image.CopyRect(original_, Rect{cell * size.Cx, 0, (cell + 1) * size.Cx, size.Cy}, 0, 0);
  Color mask = transparentColor_;
  if (state == TButtonState::bsDisabled) {
    const Color face = ColorToRGB(clBtnFace);
    if (!LowColorMode()) {
      for (int32_t y = 0; y < size.Cy; ++y)
        for (int32_t x = 0; x < size.Cx; ++x)
          if (image.Pixel(x, y) != transparentColor_) image.SetPixel(x, y, MixColors(image.Pixel(x, y), face, 20));
    } else {
      // The classic embossed image: every pixel that is neither transparent
      // nor white is ink, shown as a highlight copy one pixel down and right
      // with a shadow copy on top.
      Bitmap embossed(size.Cx, size.Cy, face);
      const Color highlight = ColorToRGB(clBtnHighlight), shadow = ColorToRGB(clBtnShadow);
      auto ink = [&](int32_t x, int32_t y) {
        const Color c = image.Pixel(x, y);
        return c != transparentColor_ && c != kWhite;
      };
      for (int32_t y = 0; y < size.Cy; ++y)
        for (int32_t x = 0; x < size.Cx; ++x)
          if (ink(x, y) && x + 1 < size.Cx && y + 1 < size.Cy) embossed.SetPixel(x + 1, y + 1, highlight);
      for (int32_t y = 0; y < size.Cy; ++y)
        for (int32_t x = 0; x < size.Cx; ++x)
          if (ink(x, y)) embossed.SetPixel(x, y, shadow);
      image = std::move(embossed);
      mask = face;
    }
  }
  index = glyphList_->AddMasked(image, mask);
  return index;
}

Rect TNeoButtonGlyph::Draw(ICanvas& canvas, const Rect& client, Point offset, const std::string& caption,
                           TButtonLayout layout, int32_t margin, int32_t spacing, TButtonState state, bool transparent,
                           bool rightToLeft) {
  const uint32_t bidi = rightToLeft ? uint32_t(kTextRtlReading) : 0u;
  Size text;
  if (!caption.empty()) {
    const Rect m = canvas.MeasureText(caption, Rect{0, 0, client.Width(), 0}, bidi);
    text = Size{m.Width(), m.Height()};
  }
  const ButtonLayoutResult lay =
      CalcButtonLayout(Size{client.Width(), client.Height()}, GlyphSize(), text, layout, margin, spacing, rightToLeft);
  const int32_t dx = client.Left + offset.X, dy = client.Top + offset.Y;

  const int32_t index = CreateButtonGlyph(state);
  if (index >= 0 && glyphList_) {
    std::optional<Color> background;
    if (!(transparent || state == TButtonState::bsExclusive)) background = ColorToRGB(clBtnFace);
    canvas.DrawImage(*glyphList_, index, lay.GlyphPos.X + dx, lay.GlyphPos.Y + dy, background);
  }
  Rect bounds = Moved(lay.TextBounds, dx, dy);
  if (!caption.empty()) {
    const uint32_t flags = kTextCenter | kTextVCenter | bidi;
    if (state == TButtonState::bsDisabled) {
      canvas.DrawText(caption, Moved(bounds, 1, 1), flags, ColorToRGB(clBtnHighlight));
      canvas.DrawText(caption, bounds, flags, ColorToRGB(clBtnShadow));
    } else {
      canvas.DrawText(caption, bounds, flags);
    }
  }
  return bounds;
}

// ---- TNeoBookButton ----

TNeoBookButton::TNeoBookButton(TWinControl* parent) : TControl(parent) {
  SetBounds(0, 0, 24, 24);
  glyph_.OnChange = [this] { Invalidate(); };
}

TNeoBookButton::~TNeoBookButton() { glyph_.OnChange = nullptr; }

void TNeoBookButton::SetAllowAllUp(bool value) {
  if (value == allowAllUp_) return;
  allowAllUp_ = value;
  UpdateExclusive();
}

void TNeoBookButton::SetGroupIndex(int32_t value) {
  if (value == groupIndex_) return;
  groupIndex_ = value;
  UpdateExclusive();
}

void TNeoBookButton::SetDown(bool value) {
  if (groupIndex_ == 0) value = false;
  if (value == down_) return;
  if (down_ && !allowAllUp_) return;
  down_ = value;
  if (value) {
    if (state_ != TButtonState::bsDisabled) state_ = TButtonState::bsExclusive;
    Invalidate();
    UpdateExclusive();
  } else {
    if (state_ != TButtonState::bsDisabled) state_ = TButtonState::bsUp;
    Invalidate();
  }
}

void TNeoBookButton::UpdateExclusive() {
  if (groupIndex_ == 0 || !Parent()) return;
  for (TControl* c : std::vector<TControl*>(Parent()->Controls()))
    if (auto* b = dynamic_cast<TNeoBookButton*>(c); b && b != this) b->ButtonPressed(*this);
}

void TNeoBookButton::ButtonPressed(TNeoBookButton& sender) {
  if (sender.groupIndex_ != groupIndex_) return;
  if (sender.down_ && down_) {
    down_ = false;
    if (state_ != TButtonState::bsDisabled) state_ = TButtonState::bsUp;
    Invalidate();
  }
  allowAllUp_ = sender.allowAllUp_;
}

void TNeoBookButton::SetFlat(bool value) {
  if (value == flat_) return;
  flat_ = value;
  Invalidate();
}

void TNeoBookButton::SetGlyph(const Bitmap& glyph) { glyph_.SetGlyph(glyph); }

void TNeoBookButton::SetLayout(TButtonLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void TNeoBookButton::SetMargin(int32_t value) {
  if (value == margin_ || value < -1) return;
  margin_ = value;
  Invalidate();
}

void TNeoBookButton::SetNumGlyphs(int32_t value) { glyph_.SetNumGlyphs(value); }

void TNeoBookButton::SetSpacing(int32_t value) {
  if (value == spacing_) return;
  spacing_ = value;
  Invalidate();
}

void TNeoBookButton::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Invalidate();
}

void TNeoBookButton::SetActionImage(const ImageList& images, int32_t index) {
  if (!glyph_.Glyph().Empty() || index < 0 || index >= images.Count()) return;
  const Color magenta = MakeColor(255, 0, 255);
  Bitmap b(images.Width(), images.Height(), magenta);
  for (int32_t y = 0; y < images.Height(); ++y)
    for (int32_t x = 0; x < images.Width(); ++x)
      if (images.Opaque(index, x, y)) b.SetPixel(x, y, images.Image(index).Pixel(x, y));
  glyph_.SetGlyph(b);
}

void TNeoBookButton::UpdateStateFromEnabled() {
  if (!Enabled()) {
    state_ = TButtonState::bsDisabled;
    dragging_ = false;
  } else if (state_ == TButtonState::bsDisabled) {
    state_ = (down_ && groupIndex_ != 0) ? TButtonState::bsExclusive : TButtonState::bsUp;
  }
}

void TNeoBookButton::Paint(ICanvas& canvas) {
  UpdateStateFromEnabled();
  const bool pressed = state_ == TButtonState::bsDown || state_ == TButtonState::bsExclusive;
  const Point offset = pressed ? Point{1, 1} : Point{0, 0};
  Rect paint = ClientRect();
  canvas.SetFont(Font());
  if (!LowColorMode()) {
    if (!flat_ || pressed || down_ || mouseInControl_) {
      PaintSoftButtonFace(canvas, paint, Enabled(), pressed, flat_, mouseInControl_);
    } else if (!Graphics().ThemesActive()) {
      canvas.FillRect(paint, GetColor());
    }
    // With themes the parent has painted its background beneath already.
  } else {
    if (flat_) {
      canvas.FillRect(paint, GetColor());
      if (pressed || (mouseInControl_ && state_ != TButtonState::bsDisabled) || Designing())
        DrawClassicEdge(canvas, paint, pressed ? kEdgeSunkenOuter : kEdgeRaisedInner, !transparent_);
      paint = Inflated(paint, -1, -1);
    } else {
      DrawClassicButtonFrame(canvas, paint, pressed);
      paint = Inflated(paint, -2, -2);
    }
    if (state_ == TButtonState::bsExclusive && (!flat_ || !mouseInControl_))
      FillChequered(canvas, paint, clBtnFace, clBtnHighlight);
  }
  glyph_.Draw(canvas, paint, offset, Caption(), layout_, margin_, spacing_, state_, transparent_, RightToLeft());
}

bool TNeoBookButton::PointerOver(int32_t x, int32_t y) {
  if (!Contains(ClientRect(), x, y)) return false;
  IControlHost* host = Host();
  return !host || host->CursorOverRoot();
}

void TNeoBookButton::MouseDown(MouseButton button, uint32_t shift, int32_t x, int32_t y) {
  TControl::MouseDown(button, shift, x, y);
  if (button != MouseButton::Left || !Enabled()) return;
  SetCaptureControl(this);
  if (!down_) {
    state_ = TButtonState::bsDown;
    Invalidate();
  }
  dragging_ = true;
}

void TNeoBookButton::MouseMove(uint32_t shift, int32_t x, int32_t y) {
  TControl::MouseMove(shift, x, y);
  if (dragging_) {
    TButtonState next = down_ ? TButtonState::bsExclusive : TButtonState::bsUp;
    if (Contains(ClientRect(), x, y)) next = down_ ? TButtonState::bsExclusive : TButtonState::bsDown;
    if (next != state_) {
      state_ = next;
      Invalidate();
    }
    return;
  }
  Track(PointerOver(x, y));
}

void TNeoBookButton::MouseUp(MouseButton button, uint32_t shift, int32_t x, int32_t y) {
  if (button == MouseButton::Left && CaptureControl() == this) SetCaptureControl(nullptr);
  TControl::MouseUp(button, shift, x, y);
  if (!dragging_ || button != MouseButton::Left) return;
  dragging_ = false;
  const bool inside = Contains(ClientRect(), x, y);
  if (groupIndex_ == 0) {
    state_ = TButtonState::bsUp;
    mouseInControl_ = false;
    if (inside) Invalidate();
  } else if (inside) {
    SetDown(!down_);
    Invalidate();
  } else {
    if (down_) state_ = TButtonState::bsExclusive;
    Invalidate();
  }
  if (inside) Click();
  UpdateTracking();
}

void TNeoBookButton::DoubleClicked() {
  if (down_) TControl::DoubleClicked();
}

void TNeoBookButton::UpdateTracking() {
  IControlHost* host = Host();
  if (!host) return;
  const Point p = host->CursorPos(), o = OriginInRoot();
  Track(PointerOver(p.X - o.X, p.Y - o.Y));
}

void TNeoBookButton::Track(bool underPointer) {
  if (underPointer && CaptureControl() != this) {
    if (TControl* other = CaptureControl()) other->MouseLeave();
    SetCaptureControl(this);
    EnterHover();
  } else if (!underPointer && CaptureControl() == this) {
    IControlHost* host = Host();
    const bool held = host && (host->MouseButtonDown(MouseButton::Left) || host->MouseButtonDown(MouseButton::Right));
    if (!held) SetCaptureControl(nullptr);
    LeaveHover();
  } else if (!underPointer && mouseInControl_) {
    LeaveHover();
  }
}

void TNeoBookButton::EnterHover() {
  if (!Enabled() || Designing() || mouseInControl_) return;
  mouseInControl_ = true;
  Invalidate();
}

void TNeoBookButton::LeaveHover() {
  if (!Enabled() || dragging_ || Designing() || !mouseInControl_) return;
  mouseInControl_ = false;
  Invalidate();
}

void TNeoBookButton::MouseLeave() { LeaveHover(); }

bool TNeoBookButton::DialogChar(char key, uint32_t) {
  if (IsAccel(key, Caption()) && Enabled() && Visible() && Parent() && Parent()->Showing()) {
    Click();
    return true;
  }
  return false;
}

void TNeoBookButton::SysColorChange() {
  glyph_.Invalidate();
  Invalidate();
}

void TNeoBookButton::EnabledChanged() {
  UpdateStateFromEnabled();
  if (!Enabled()) mouseInControl_ = false;
  UpdateTracking();
  Invalidate();
}

}  // namespace kyt::controls
