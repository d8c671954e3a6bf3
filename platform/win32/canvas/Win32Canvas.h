#pragma once
// The controls' drawing surface over a GDI device context, the graphics
// system of Windows (system colours, the screen's colour depth, themes, the
// desktop colorization colour from "dwmapi.dll", bitmap resources of the
// module), and a window that shows a tree of controls.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "controls/Canvas.h"
#include "controls/Control.h"

namespace kyt::win32 {

class GdiCanvas final : public controls::ICanvas {
 public:
  // Draws on `dc`, which the caller owns; the canvas restores the DC's state when it goes.
  explicit GdiCanvas(HDC dc);
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  std::optional<Color> GetPixel(int32_t x, int32_t y) override;
  void SetPixel(int32_t x, int32_t y, Color c) override;
  void FillRect(const Rect& r, Color c) override;
  void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color pen) override;
  void RoundRect(const Rect& r, int32_t diameter, Color pen, std::optional<Color> brush) override;

  void SetFont(const controls::FontSpec& font) override;
  const controls::FontSpec& Font() const override { return font_; }
  int32_t TextHeight(std::string_view text) override;
  int32_t TextWidth(std::string_view text) override;
  Rect MeasureText(std::string_view text, const Rect& bounds, uint32_t flags) override;
  void DrawText(std::string_view text, const Rect& bounds, uint32_t flags,
                std::optional<Color> color = std::nullopt) override;

  void DrawImage(const controls::ImageList& list, int32_t index, int32_t x, int32_t y,
                 std::optional<Color> background) override;

  void Save() override;
  void Restore() override;
  void Offset(int32_t dx, int32_t dy) override;
  void Clip(const Rect& r) override;

 private:
  HDC dc_;
  int saved_;
  int depth_ = 0;
  controls::FontSpec font_;
  HFONT fontHandle_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
};

class Win32Graphics final : public controls::IGraphicsSystem {
 public:
  Color SysColor(int32_t index) override;
  int32_t ScreenBitsTimesPlanes() override;
  bool ThemesActive() override;
  std::optional<Color> DesktopAccentColor() override;
  // From the module this code is linked into (the plug-in DLL or a test program).
  std::optional<Bitmap> LoadBitmapResource(const std::string& name) override;
};

// The module (DLL or program) this code is part of.
HMODULE OwnModule();

// A window that shows a tree of controls: paints it double-buffered, feeds
// it the mouse, accelerator keys and system colour changes, and serves as its host.
class ControlWindow final : public controls::IControlHost {
 public:
  // Creates the window (hidden) with `style` and the client size of `root`.
  ControlWindow(controls::TWinControl& root, HWND parent, DWORD style, const wchar_t* title, int x, int y);
  ~ControlWindow() override;
  ControlWindow(const ControlWindow&) = delete;
  ControlWindow& operator=(const ControlWindow&) = delete;
  HWND Handle() const { return window_; }

  void Invalidate(const Rect& r) override;
  void SetMouseCapture(bool capture) override;
  controls::Point CursorPos() override;
  bool CursorOverRoot() override;
  bool MouseButtonDown(controls::MouseButton button) override;
  void Focus(controls::TWinControl& control) override;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();

  controls::TWinControl& root_;
  HWND window_ = nullptr;
};

}  // namespace kyt::win32
