#pragma once
// NeoBookPanel: a group panel whose caption sits in a title band fading from
// the accent colour into the panel colour, with a fading edge along the left
// and top.
#include <string>

#include "controls/Control.h"

namespace kyt::controls {

// The title band's accent: the desktop colorization colour, or the system
// highlight colour, made to stand off the button text. Computed once.
Color PanelAccentColor();
// The accent for a given desktop accent (nullopt: none), highlight and button-text colour.
Color AccentFrom(std::optional<Color> desktopAccent, Color highlight, Color buttonText);

class TNeoBookPanel : public TWinControl {
 public:
  explicit TNeoBookPanel(TWinControl* parent = nullptr);
  ~TNeoBookPanel() override;

  // The control that gets the focus when the caption's accelerator is pressed;
  // cleared when that control goes.
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* control);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool value);
  const std::string& SubCaption() const { return subCaption_; }
  void SetSubCaption(const std::string& text);

  void Paint(ICanvas& canvas) override;
  Rect AlignClientRect(ICanvas& canvas) override;
  bool DialogChar(char key, uint32_t shift) override;
  void Notification(TControl* control) override;

  // The caption box of the high-colour look and the end of the title band.
  struct TitleBand {
    Rect CaptionBox;
    int32_t End = 0;
  };
  TitleBand MeasureTitle(ICanvas& canvas);

 private:
  bool HasTitle() const { return !Caption().empty() || !subCaption_.empty(); }
  uint32_t CaptionFlags() const;
  void PaintHighColor(ICanvas& canvas);
  void PaintLowColor(ICanvas& canvas);

  TWinControl* focusControl_ = nullptr;
  bool showAccelChar_ = true;
  std::string subCaption_;
};

}  // namespace kyt::controls
