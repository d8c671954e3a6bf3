#include "controls/Control.h"

#include <algorithm>

namespace kyt::controls {

namespace {
TControl* g_capture = nullptr;
TWinControl* g_focused = nullptr;

void Erase(std::vector<TControl*>& list, TControl* c) { list.erase(std::remove(list.begin(), list.end(), c), list.end()); }
}  // namespace

// ---- TControl ----

TControl::TControl(TWinControl* parent) {
  if (parent) SetParent(parent);
}

TControl::~TControl() {
  if (g_capture == this) SetCaptureControl(nullptr);
  // Tell every observer first: it may still look at this control's parent.
  const std::vector<TControl*> observers = observers_;
  for (TControl* o : observers) {
    Erase(o->observing_, this);
    o->Notification(this);
  }
  for (TControl* o : observing_) Erase(o->observers_, this);
  if (parent_) Erase(parent_->children_, this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) {
    Invalidate();
    Erase(parent_->children_, this);
  }
  parent_ = parent;
  if (parent_) parent_->children_.push_back(this);
  ParentChanged();
  Invalidate();
}

TControl& TControl::Root() {
  TControl* c = this;
  while (c->parent_) c = c->parent_;
  return *c;
}

IControlHost* TControl::Host() {
  TControl& root = Root();
  auto* win = dynamic_cast<TWinControl*>(&root);
  return win ? win->host_ : nullptr;
}

void TControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  const Rect r{left, top, left + std::max(width, 0), top + std::max(height, 0)};
  if (r.Left == bounds_.Left && r.Top == bounds_.Top && r.Right == bounds_.Right && r.Bottom == bounds_.Bottom) return;
  Invalidate();
  bounds_ = r;
  BoundsChanged();
}

Point TControl::OriginInRoot() const {
  Point p;
  for (const TControl* c = this; c->parent_; c = c->parent_) {
    p.X += c->bounds_.Left;
    p.Y += c->bounds_.Top;
  }
  return p;
}

void TControl::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  TextChanged();
}

const FontSpec& TControl::Font() const {
  if (parentFont_ && parent_) return parent_->Font();
  return font_;
}

void TControl::SetFont(const FontSpec& font) {
  font_ = font;
  parentFont_ = false;
  FontChanged();
}

void TControl::SetParentFont(bool value) {
  if (value == parentFont_) return;
  if (!value) font_ = Font();
  parentFont_ = value;
  FontChanged();
}

Color TControl::GetColor() const {
  if (parentColor_ && parent_) return parent_->GetColor();
  return color_;
}

void TControl::SetColor(Color color) {
  color_ = color;
  parentColor_ = false;
  ColorChanged();
}

void TControl::SetParentColor(bool value) {
  if (value == parentColor_) return;
  if (!value) color_ = GetColor();
  parentColor_ = value;
  ColorChanged();
}

void TControl::ParentFontChanged() {
  if (parentFont_) FontChanged();
}
void TControl::ParentColorChanged() {
  if (parentColor_) ColorChanged();
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  EnabledChanged();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  if (!visible) Invalidate();
  visible_ = visible;
  Invalidate();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

bool TControl::RightToLeft() const {
  if (parentBiDi_ && parent_) return parent_->RightToLeft();
  return rtl_;
}

void TControl::SetRightToLeft(bool rtl) {
  rtl_ = rtl;
  parentBiDi_ = false;
  Invalidate();
}

void TControl::SetParentBiDiMode(bool value) {
  if (!value) rtl_ = RightToLeft();
  parentBiDi_ = value;
  Invalidate();
}

bool TControl::Designing() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (c->designing_) return true;
  return false;
}

void TControl::Invalidate() {
  if (!visible_) return;
  IControlHost* host = Host();
  if (!host) return;
  const Point o = OriginInRoot();
  host->Invalidate(Rect{o.X, o.Y, o.X + Width(), o.Y + Height()});
}

void TControl::Paint(ICanvas&) {}

void TControl::MouseDown(MouseButton button, uint32_t shift, int32_t x, int32_t y) {
  if (OnMouseDown) OnMouseDown(button, shift, x, y);
}
void TControl::MouseMove(uint32_t shift, int32_t x, int32_t y) {
  if (OnMouseMove) OnMouseMove(shift, x, y);
}
void TControl::MouseUp(MouseButton button, uint32_t shift, int32_t x, int32_t y) {
  if (OnMouseUp) OnMouseUp(button, shift, x, y);
}
void TControl::DoubleClicked() {
  if (OnDblClick) OnDblClick();
}
bool TControl::DialogChar(char, uint32_t) { return false; }
void TControl::Click() {
  if (OnClick) OnClick();
}

void TControl::FreeNotification(TControl* observer) {
  if (!observer || observer == this) return;
  if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) return;
  observers_.push_back(observer);
  observer->observing_.push_back(this);
}

void TControl::RemoveFreeNotification(TControl* observer) {
  if (!observer) return;
  Erase(observers_, observer);
  Erase(observer->observing_, this);
}

// ---- TWinControl ----

TWinControl::TWinControl(TWinControl* parent) : TControl(parent) {}

TWinControl::~TWinControl() {
  if (g_focused == this) g_focused = nullptr;
  // Children outlive nothing: they are detached, not destroyed (their owner destroys them).
  const std::vector<TControl*> children = children_;
  for (TControl* c : children) c->SetParent(nullptr);
}

Rect TWinControl::AlignClientRect(ICanvas&) { return ClientRect(); }

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

void TWinControl::SetFocus() {
  g_focused = this;
  if (IControlHost* host = Host()) host->Focus(*this);
}

bool TWinControl::Focused() const { return g_focused == this; }

TControl* TWinControl::ControlAt(int32_t x, int32_t y) const {
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    TControl* c = *it;
    if (c->IsWindowless() && c->Visible() && c->Enabled() && Contains(c->BoundsRect(), x, y)) return c;
  }
  return nullptr;
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (TControl* c : children_) c->ParentFontChanged();
}

void TWinControl::ColorChanged() {
  TControl::ColorChanged();
  for (TControl* c : children_) c->ParentColorChanged();
}

// ---- Capture and focus ----

TControl* CaptureControl() { return g_capture; }

void SetCaptureControl(TControl* control) {
  if (control == g_capture) return;
  TControl* old = g_capture;
  g_capture = control;
  if (old && (!control || old->Host() != control->Host()))
    if (IControlHost* host = old->Host()) host->SetMouseCapture(false);
  if (control)
    if (IControlHost* host = control->Host()) host->SetMouseCapture(true);
}

TWinControl* FocusedControl() { return g_focused; }

// ---- Host entry points ----

void PaintTree(TControl& control, ICanvas& canvas) {
  canvas.Save();
  canvas.Clip(control.ClientRect());
  control.Paint(canvas);
  if (auto* win = dynamic_cast<TWinControl*>(&control)) {
    // Windowed children first, then those without a window on top, as a window system shows them.
    for (int pass = 0; pass < 2; ++pass)
      for (TControl* child : win->Controls()) {
        if (!child->Visible() || child->IsWindowless() != (pass == 1)) continue;
        canvas.Save();
        canvas.Offset(child->Left(), child->Top());
        PaintTree(*child, canvas);
        canvas.Restore();
      }
  }
  canvas.Restore();
}

namespace {

bool InTree(const TControl* c, const TWinControl& root) {
  for (; c; c = c->Parent())
    if (c == &root) return true;
  return false;
}

void Deliver(TControl& c, MouseEvent event, MouseButton button, uint32_t shift, int32_t x, int32_t y) {
  switch (event) {
    case MouseEvent::Down: c.MouseDown(button, shift, x, y); break;
    case MouseEvent::Move: c.MouseMove(shift, x, y); break;
    case MouseEvent::Up: c.MouseUp(button, shift, x, y); break;
    case MouseEvent::DoubleClick:
      c.MouseDown(button, shift | kShiftDouble, x, y);
      if (button == MouseButton::Left) c.DoubleClicked();
      break;
  }
}

}  // namespace

void DispatchMouse(TWinControl& target, MouseEvent event, MouseButton button, uint32_t shift, int32_t x, int32_t y) {
  TControl* c = CaptureControl();
  if (c && c != &target && InTree(c, target) && c->IsWindowless()) {
    const Point o = c->OriginInRoot(), t = target.OriginInRoot();
    Deliver(*c, event, button, shift, x + t.X - o.X, y + t.Y - o.Y);
    return;
  }
  if (TControl* child = target.ControlAt(x, y)) {
    Deliver(*child, event, button, shift, x - child->Left(), y - child->Top());
    return;
  }
  // Windowed children shown in the same window get the message in their own coordinates.
  const auto& children = target.Controls();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    auto* win = dynamic_cast<TWinControl*>(*it);
    if (win && win->Visible() && win->Enabled() && Contains(win->BoundsRect(), x, y)) {
      DispatchMouse(*win, event, button, shift, x - win->Left(), y - win->Top());
      return;
    }
  }
  Deliver(target, event, button, shift, x, y);
}

bool DispatchDialogChar(TWinControl& root, char key, uint32_t shift) {
  if (!root.Enabled() || !root.Showing()) return false;
  for (TControl* c : std::vector<TControl*>(root.Controls())) {
    if (auto* win = dynamic_cast<TWinControl*>(c)) {
      if (DispatchDialogChar(*win, key, shift)) return true;
    } else if (c->Enabled() && c->Showing() && c->DialogChar(key, shift)) {
      return true;
    }
  }
  return root.DialogChar(key, shift);
}

void DispatchSysColorChange(TControl& root) {
  root.SysColorChange();
  if (auto* win = dynamic_cast<TWinControl*>(&root))
    for (TControl* c : std::vector<TControl*>(win->Controls())) DispatchSysColorChange(*c);
}

// ---- Accelerators ----

char UpperCp1251(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return char(u - 32);
  if (u >= 0xE0) return char(u - 32);  // а..я
  if (u == 0xB8) return char(0xA8);    // ё
  return c;
}

bool IsAccel(char key, const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return UpperCp1251(caption[i + 1]) == UpperCp1251(key);
  }
  return false;
}

}  // namespace kyt::controls
