#include "controls/NeoBookPanel.h"

#include <optional>

#include "controls/NeoUtils.h"

namespace kyt::controls {

Color AccentFrom(std::optional<Color> desktopAccent, Color highlight, Color buttonText) {
  const Color accent = desktopAccent ? (*desktopAccent & 0xFFFFFF) : ColorToRGB(highlight);
  return EnsureContrast(accent, buttonText, 175);
}

Color PanelAccentColor() {
  static const Color accent = AccentFrom(Graphics().DesktopAccentColor(), clHighlight, clBtnText);
  return accent;
}

TNeoBookPanel::TNeoBookPanel(TWinControl* parent) : TWinControl(parent) {
  SetColor(clBtnFace);  // its own background, not the parent's
  SetBounds(0, 0, 185, 41);
}

TNeoBookPanel::~TNeoBookPanel() { SetFocusControl(nullptr); }

void TNeoBookPanel::SetFocusControl(TWinControl* control) {
  if (control == focusControl_) return;
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  focusControl_ = control;
  if (focusControl_) focusControl_->FreeNotification(this);
}

void TNeoBookPanel::Notification(TControl* control) {
  if (control == focusControl_) focusControl_ = nullptr;
}

void TNeoBookPanel::SetShowAccelChar(bool value) {
  if (value == showAccelChar_) return;
  showAccelChar_ = value;
  Invalidate();
}

void TNeoBookPanel::SetSubCaption(const std::string& text) {
  if (text == subCaption_) return;
  subCaption_ = text;
  Invalidate();
}

uint32_t TNeoBookPanel::CaptionFlags() const {
  return kTextSingleLine | kTextExpandTabs | (showAccelChar_ ? 0u : uint32_t(kTextNoPrefix));
}

TNeoBookPanel::TitleBand TNeoBookPanel::MeasureTitle(ICanvas& canvas) {
  canvas.SetFont(Font());
  const Rect text = canvas.MeasureText(Caption(), Rect{2, 2, 2, 2}, CaptionFlags());
  TitleBand band;
  band.CaptionBox = Rect{2, 2, text.Right + 8, text.Bottom + 3};
  int32_t e = band.CaptionBox.Right + (subCaption_.empty() ? 0 : canvas.TextWidth(subCaption_) + 4);
  e = e < Width() ? e + (Width() - e) / 2 : Width();
  band.End = e;
  return band;
}

Rect TNeoBookPanel::AlignClientRect(ICanvas& canvas) {
  Rect r = ClientRect();
  r.Left += 6;
  if (HasTitle()) {
    canvas.SetFont(Font());
    r.Top += canvas.TextHeight("M") + 6;
  }
  return r;
}

bool TNeoBookPanel::DialogChar(char key, uint32_t) {
  if (focusControl_ && Enabled() && showAccelChar_ && IsAccel(key, Caption())) {
    if (focusControl_->CanFocus()) focusControl_->SetFocus();
    return true;
  }
  return false;
}

void TNeoBookPanel::Paint(ICanvas& canvas) {
  canvas.SetFont(Font());
  if (LowColorMode())
    PaintLowColor(canvas);
  else
    PaintHighColor(canvas);
}

void TNeoBookPanel::PaintHighColor(ICanvas& canvas) {
  const Color face = ColorToRGB(GetColor());
  const Color shadow = ColorToRGB(clBtnShadow);
  const TitleBand band = MeasureTitle(canvas);
  const Rect& box = band.CaptionBox;
  const int32_t e = band.End;

  canvas.FillRect(ClientRect(), face);
  if (Designing()) DrawDottedOutline(canvas, ClientRect(), shadow);
  FillGradient(canvas, Rect{0, 0, 2, Height()}, face, shadow, true);
  if (!HasTitle()) return;

  FillGradient(canvas, Rect{0, 0, e, 2}, face, shadow, false);
  FillGradient(canvas, Rect{2, box.Bottom, e, box.Bottom + 1}, face, shadow, false);
  FillGradient(canvas, Rect{box.Left, box.Top, e, box.Bottom}, face, PanelAccentColor(), false);
  canvas.SetPixel(0, 0, MixColors(shadow, face, 10));
  canvas.SetPixel(1, 0, MixColors(shadow, face, 50));
  canvas.SetPixel(0, 1, MixColors(shadow, face, 50));
  if (const std::optional<Color> c = canvas.GetPixel(2, 2)) canvas.SetPixel(2, 2, MixColors(*c, shadow, 50));

  canvas.DrawText(Caption(), box, CaptionFlags() | kTextCenter | kTextVCenter);
  if (!subCaption_.empty())
    canvas.DrawText(subCaption_, Rect{box.Right, box.Top, Width(), box.Bottom},
                    kTextSingleLine | kTextVCenter | kTextNoPrefix);
}

void TNeoBookPanel::PaintLowColor(ICanvas& canvas) {
  const Color face = ColorToRGB(GetColor());
  canvas.FillRect(ClientRect(), face);
  if (Designing()) DrawDottedOutline(canvas, ClientRect(), clBtnShadow);
  if (!HasTitle()) return;
  constexpr Color kGrey = MakeColor(128, 128, 128);
  const Rect text = canvas.MeasureText(Caption(), Rect{0, 0, 0, 0}, CaptionFlags());
  const Rect box{0, 0, text.Width() + 8, text.Height() + 5};
  canvas.FillRect(box, kGrey);
  canvas.FillRect(Rect{0, 1, 2, Height()}, kGrey);
  canvas.DrawText(Caption(), box, CaptionFlags() | kTextCenter | kTextVCenter, MakeColor(255, 255, 255));
  if (!subCaption_.empty())
    canvas.DrawText(subCaption_, Rect{box.Right + 4, box.Top, Width(), box.Bottom},
                    kTextSingleLine | kTextVCenter | kTextNoPrefix, ColorToRGB(clBtnText));
}

}  // namespace kyt::controls
