#include "platform/headless/forms/HeadlessFormPainter.h"

#include <memory>
#include <optional>
#include <vector>

#include "controls/NeoBookButton.h"
#include "controls/NeoBookHelpBox2.h"
#include "controls/NeoBookPanel.h"
#include "platform/headless/canvas/HeadlessCanvas.h"
#include "resources/FormPictures.h"

namespace kyt::headless {

namespace {

using controls::ICanvas;
using forms::ControlKind;

// A standard control of the system, drawn in the classic look.
class StandardControl final : public controls::TControl {
 public:
  StandardControl(controls::TWinControl* parent, const forms::Control& desc, bool focused)
      : TControl(parent), spec_(desc), focused_(focused) {}

  void Paint(ICanvas& c) override {
    const Rect r = ClientRect();
    const Color face = controls::ColorToRGB(controls::clBtnFace);
    const Color shadow = controls::ColorToRGB(controls::clBtnShadow);
    const Color light = controls::ColorToRGB(controls::clBtnHighlight);
    const Color dark = controls::ColorToRGB(controls::cl3DDkShadow);
    c.SetFont(Font());
    switch (spec_.Kind) {
      case ControlKind::Button: {
        c.FillRect(r, face);
        Rect f = r;
        if (spec_.Flags & forms::kDefaultButton) {
          const Color frame = controls::ColorToRGB(controls::SystemColor(controls::kColorWindowFrame));
          Frame(c, f, frame, frame);
          f = controls::Inflated(f, -1, -1);
        }
        Frame(c, f, light, dark);
        Frame(c, controls::Inflated(f, -1, -1), controls::ColorToRGB(controls::cl3DLight), shadow);
        c.DrawText(Caption(), r, controls::kTextCenter | controls::kTextVCenter | controls::kTextSingleLine,
                   controls::ColorToRGB(controls::clBtnText));
        if (focused_) FocusRect(c, controls::Inflated(r, -3, -3));
        break;
      }
      case ControlKind::Edit:
      case ControlKind::Memo: {
        const bool border = !(spec_.Flags & forms::kNoBorder);
        c.FillRect(r, controls::ColorToRGB(GetColor()));
        Rect text = r;
        if (border) {
          Frame(c, r, shadow, light);
          Frame(c, controls::Inflated(r, -1, -1), dark, controls::ColorToRGB(controls::cl3DLight));
          text = controls::Inflated(r, -2, -2);
        }
        if (spec_.Flags & forms::kVerticalScroll) {
          const Rect bar{text.Right - 16, text.Top, text.Right, text.Bottom};
          c.FillRect(bar, controls::ColorToRGB(controls::SystemColor(controls::kColorScrollBar)));
          text.Right = bar.Left;
        }
        text.Left += 1;
        text.Top += spec_.Kind == ControlKind::Edit ? 2 : 0;
        const uint32_t flags = spec_.Kind == ControlKind::Edit
                                   ? controls::kTextSingleLine | controls::kTextNoPrefix
                                   : controls::kTextWordBreak | controls::kTextExpandTabs | controls::kTextNoPrefix;
        c.DrawText(Caption(), text, flags);
        break;
      }
      case ControlKind::Label: {
        if (!(spec_.Flags & forms::kTransparent)) c.FillRect(r, controls::ColorToRGB(GetColor()));
        const uint32_t flags = (spec_.Flags & forms::kCenter)
                                   ? controls::kTextCenter | controls::kTextVCenter | controls::kTextSingleLine
                                   : controls::kTextWordBreak;
        c.DrawText(Caption(), r, flags | controls::kTextNoPrefix);
        break;
      }
      case ControlKind::Image: {
        const Bitmap& p = resources::FormPicture(spec_.Picture);
        if (p.Empty()) break;
        const int32_t x = (spec_.Flags & forms::kCenter) ? (r.Width() - p.Width()) / 2 : 0;
        const int32_t y = (spec_.Flags & forms::kCenter) ? (r.Height() - p.Height()) / 2 : 0;
        const Color transparent = p.Pixel(0, p.Height() - 1);
        for (int32_t py = 0; py < p.Height(); ++py)
          for (int32_t px = 0; px < p.Width(); ++px)
            if (p.Pixel(px, py) != transparent) c.SetPixel(x + px, y + py, p.Pixel(px, py));
        break;
      }
      default:
        break;
    }
  }

 private:
  static void Frame(ICanvas& c, const Rect& r, Color topLeft, Color bottomRight) {
    c.FillRect(Rect{r.Left, r.Top, r.Right, r.Top + 1}, topLeft);
    c.FillRect(Rect{r.Left, r.Top, r.Left + 1, r.Bottom}, topLeft);
    c.FillRect(Rect{r.Left, r.Bottom - 1, r.Right, r.Bottom}, bottomRight);
    c.FillRect(Rect{r.Right - 1, r.Top, r.Right, r.Bottom}, bottomRight);
  }
  // The dotted focus rectangle: every other pixel of the outline inverted.
  static void FocusRect(ICanvas& c, const Rect& r) {
    auto invert = [&](int32_t x, int32_t y) {
      if ((x - r.Left + y - r.Top) % 2) return;
      if (const std::optional<Color> p = c.GetPixel(x, y)) c.SetPixel(x, y, *p ^ 0xFFFFFFu);
    };
    for (int32_t x = r.Left; x < r.Right; ++x) {
      invert(x, r.Top);
      invert(x, r.Bottom - 1);
    }
    for (int32_t y = r.Top + 1; y < r.Bottom - 1; ++y) {
      invert(r.Left, y);
      invert(r.Right - 1, y);
    }
  }
  const forms::Control& spec_;
  bool focused_;
};

// The control that has the focus when the form opens: the form's first tab
// stop (its own controls, lowest tab order), or none.
int32_t FirstTabStop(const forms::Form& form) {
  int32_t best = -1;
  for (size_t i = 0; i < form.Controls.size(); ++i) {
    const forms::Control& c = form.Controls[i];
    const bool stop = c.Kind == ControlKind::Button || c.Kind == ControlKind::Edit;
    if (c.Parent || !stop || c.TabOrder < 0) continue;
    if (best < 0 || c.TabOrder < form.Controls[size_t(best)].TabOrder) best = int32_t(i);
  }
  return best;
}

controls::FontSpec FontOf(const forms::FontSpec& desc, const controls::FontSpec& parent) {
  controls::FontSpec f = parent;
  if (desc.Name) {
    f.Name = desc.Name;
    f.Height = desc.Height;
  }
  if (desc.Color != forms::kParentColor) f.Color = desc.Color;
  return f;
}

}  // namespace

Bitmap PaintForm(const forms::Form& form, const forms::FormTexts& texts) {
  controls::TWinControl root;
  root.SetBounds(0, 0, form.ClientWidth, form.ClientHeight);
  root.SetColor(form.Color);
  controls::FontSpec rootFont;
  rootFont.Name = form.Font.Name;
  rootFont.Height = form.Font.Height;
  rootFont.Color = form.Font.Color;
  root.SetFont(rootFont);

  const int32_t focused = FirstTabStop(form);
  std::vector<std::unique_ptr<controls::TControl>> made(form.Controls.size());
  for (size_t i = 0; i < form.Controls.size(); ++i) {
    const forms::Control& c = form.Controls[i];
    const int32_t p = c.Parent ? forms::IndexOf(form, c.Parent) : -1;
    auto* parent = p >= 0 ? dynamic_cast<controls::TWinControl*>(made[size_t(p)].get()) : &root;
    if (!parent) continue;
    std::unique_ptr<controls::TControl> control;
    switch (c.Kind) {
      case ControlKind::Panel:
        control = std::make_unique<controls::TNeoBookPanel>(parent);
        break;
      case ControlKind::HelpBox:
        control = std::make_unique<controls::TNeoBookHelpBox2>(parent);
        break;
      case ControlKind::GlyphButton: {
        auto button = std::make_unique<controls::TNeoBookButton>(parent);
        button->SetFlat((c.Flags & forms::kFlat) != 0);
        button->SetGlyph(resources::FormPicture(c.Picture));
        control = std::move(button);
        break;
      }
      default:
        control = std::make_unique<StandardControl>(parent, c, int32_t(i) == focused);
        break;
    }
    control->SetBounds(c.Left, c.Top, c.Width, c.Height);
    if (c.Kind != ControlKind::GlyphButton) control->SetCaption(texts.Controls[i]);
    control->SetHint(c.Hint);
    if (c.Font.Name || c.Font.Color != forms::kParentColor) control->SetFont(FontOf(c.Font, parent->Font()));
    if (c.Color != forms::kParentColor) control->SetColor(c.Color);
    made[i] = std::move(control);
  }

  Bitmap out(form.ClientWidth, form.ClientHeight, controls::ColorToRGB(form.Color));
  HeadlessCanvas canvas(out);
  controls::PaintTree(root, canvas);
  // Children go before their parents.
  for (size_t i = made.size(); i-- > 0;) made[i].reset();
  return out;
}

}  // namespace kyt::headless
