#pragma once
// The small control model the host-styled controls live in: controls with
// bounds, caption, font, colour, enabled and visible state, windowed controls
// that hold children, and controls without a window of their own that their
// parent paints and feeds with its mouse messages.
//
// A tree of controls is shown by a host (IControlHost), installed on its
// root: the Win32 layer shows it in a window, tests drive it directly. The
// host calls PaintTree to paint and the Dispatch* routines for input.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/Canvas.h"

namespace kyt::controls {

class TControl;
class TWinControl;

enum class MouseButton { Left, Right, Middle };
// Shift state of mouse and key events.
enum ShiftFlags : uint32_t {
  kShiftKey = 0x1,
  kShiftAlt = 0x2,
  kShiftCtrl = 0x4,
  kShiftLeft = 0x8,
  kShiftRight = 0x10,
  kShiftMiddle = 0x20,
  kShiftDouble = 0x40,
};

// What a tree of controls needs from whatever shows it.
class IControlHost {
 public:
  virtual ~IControlHost() = default;
  // The area `r` (root coordinates) must be painted again.
  virtual void Invalidate(const Rect& r) = 0;
  // Takes or releases the system's mouse capture for the tree.
  virtual void SetMouseCapture(bool capture) = 0;
  // The pointer position in root coordinates, and whether it is over the
  // tree's window (not covered by another window).
  virtual Point CursorPos() = 0;
  virtual bool CursorOverRoot() = 0;
  // Whether the left or right mouse button is held down now.
  virtual bool MouseButtonDown(MouseButton button) = 0;
  // The control takes the keyboard focus (for windowed controls shown by the host).
  virtual void Focus(TWinControl& control) = 0;
};

class TControl {
 public:
  explicit TControl(TWinControl* parent = nullptr);
  virtual ~TControl();
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* parent);
  // The root of the tree and its host (null when the tree is not shown).
  TControl& Root();
  IControlHost* Host();

  int32_t Left() const { return bounds_.Left; }
  int32_t Top() const { return bounds_.Top; }
  int32_t Width() const { return bounds_.Width(); }
  int32_t Height() const { return bounds_.Height(); }
  const Rect& BoundsRect() const { return bounds_; }  // in the parent's client coordinates
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  Rect ClientRect() const { return Rect{0, 0, Width(), Height()}; }
  // Position of the control's top-left corner in root coordinates.
  Point OriginInRoot() const;

  const std::string& Caption() const { return caption_; }  // code page 1251
  void SetCaption(const std::string& caption);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool show) { showHint_ = show; }

  // Font and colour; ParentFont and ParentColor follow the parent's.
  const FontSpec& Font() const;
  void SetFont(const FontSpec& font);
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  Color GetColor() const;
  void SetColor(Color color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Visible and every parent visible.
  bool Showing() const;
  // Right-to-left reading (BiDiMode); ParentBiDiMode follows the parent's.
  bool RightToLeft() const;
  void SetRightToLeft(bool rtl);
  bool ParentBiDiMode() const { return parentBiDi_; }
  void SetParentBiDiMode(bool value);
  // At design time (in a form designer) controls draw outlines and ignore hover.
  bool Designing() const;
  void SetDesigning(bool designing) { designing_ = designing; }

  // Repaints the control (asks the host).
  void Invalidate();

  // Painting, in the control's client coordinates.
  virtual void Paint(ICanvas& canvas);

  // Input, in client coordinates. The defaults call the event handlers.
  virtual void MouseDown(MouseButton button, uint32_t shift, int32_t x, int32_t y);
  virtual void MouseMove(uint32_t shift, int32_t x, int32_t y);
  virtual void MouseUp(MouseButton button, uint32_t shift, int32_t x, int32_t y);
  // A second left press close enough in time and space (after MouseDown with kShiftDouble).
  virtual void DoubleClicked();
  // The pointer left the control while it was tracking it.
  virtual void MouseLeave() {}
  // An accelerator key (Alt + key, or the key alone in a dialog); true when consumed.
  virtual bool DialogChar(char key, uint32_t shift);
  // The system colours changed.
  virtual void SysColorChange() {}
  // Whether mouse messages of this control go through its parent (no window of its own).
  virtual bool IsWindowless() const { return true; }

  // Fires OnClick.
  virtual void Click();

  std::function<void()> OnClick;
  std::function<void()> OnDblClick;
  std::function<void(MouseButton, uint32_t, int32_t, int32_t)> OnMouseDown;
  std::function<void(uint32_t, int32_t, int32_t)> OnMouseMove;
  std::function<void(MouseButton, uint32_t, int32_t, int32_t)> OnMouseUp;

  // Asks `observer` to be told (Notification) when this control goes.
  void FreeNotification(TControl* observer);
  void RemoveFreeNotification(TControl* observer);
  // `control` is being destroyed.
  virtual void Notification(TControl* control) { (void)control; }

 protected:
  virtual void EnabledChanged() { Invalidate(); }
  virtual void TextChanged() { Invalidate(); }
  virtual void FontChanged() { Invalidate(); }
  virtual void ColorChanged() { Invalidate(); }
  virtual void BoundsChanged() { Invalidate(); }
  virtual void ParentChanged() {}

 private:
  friend class TWinControl;
  void ParentFontChanged();
  void ParentColorChanged();

  TWinControl* parent_ = nullptr;
  Rect bounds_{0, 0, 0, 0};
  std::string caption_, hint_;
  bool showHint_ = false;
  FontSpec font_;
  bool parentFont_ = true;
  Color color_ = clBtnFace;
  bool parentColor_ = true;
  bool enabled_ = true;
  bool visible_ = true;
  bool rtl_ = false;
  bool parentBiDi_ = true;
  bool designing_ = false;
  std::vector<TControl*> observers_;   // told when this control goes
  std::vector<TControl*> observing_;   // whose going this control is told of
};

// A control that holds children and can take the focus.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TWinControl* parent = nullptr);
  ~TWinControl() override;

  const std::vector<TControl*>& Controls() const { return children_; }
  // The host showing this tree (set on the root only).
  void SetHost(IControlHost* host) { host_ = host; }

  // The part of the client area that aligned children fill; `canvas` measures fonts.
  virtual Rect AlignClientRect(ICanvas& canvas);

  bool IsWindowless() const override { return false; }
  virtual bool CanFocus() const;
  void SetFocus();
  bool Focused() const;
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value) { tabStop_ = value; }

  // The visible, enabled child without a window at (x, y) in client
  // coordinates, the topmost first; null when there is none.
  TControl* ControlAt(int32_t x, int32_t y) const;

 protected:
  void FontChanged() override;
  void ColorChanged() override;

 private:
  friend class TControl;
  IControlHost* host_ = nullptr;
  std::vector<TControl*> children_;
  bool tabStop_ = false;
};

// ---- Mouse capture of controls without a window ----
// The control that receives every mouse message of its tree while it holds the capture.
TControl* CaptureControl();
// Gives the capture to `control` (null releases it), taking or releasing the
// system capture through the tree's host.
void SetCaptureControl(TControl* control);
// The windowed control that has the focus in the controls model (null: none).
TWinControl* FocusedControl();

// ---- What a host calls ----
// Paints `control` and its visible children into `canvas`, whose origin is the
// control's top-left corner.
void PaintTree(TControl& control, ICanvas& canvas);
enum class MouseEvent { Down, Move, Up, DoubleClick };
// A mouse message of the windowed control `target` at (x, y) of its client
// area: goes to the capture control if it is in the tree, else to the child
// without a window under the point, else down into the windowed child under
// the point (shown in the same window), else to `target` itself.
void DispatchMouse(TWinControl& target, MouseEvent event, MouseButton button, uint32_t shift, int32_t x, int32_t y);
// An accelerator key offered to every enabled, showing control of the tree
// until one consumes it.
bool DispatchDialogChar(TWinControl& root, char key, uint32_t shift);
// The system colours changed: tells every control of the tree.
void DispatchSysColorChange(TControl& root);

// ---- Accelerators ----
// Whether `key` is the accelerator of `caption` ('&' before a letter; "&&" is a
// literal ampersand), compared without regard to case (code page 1251).
bool IsAccel(char key, const std::string& caption);
char UpperCp1251(char c);

}  // namespace kyt::controls
