#pragma once
// The system windows of one DCR window: the form (a borderless child of the
// host object's window), the frame that fills it and scrolls the picture, and
// the frame's title panel.
#include <windows.h>

#include "platform/Platform.h"

namespace kyt::win32 {

inline constexpr const wchar_t kFormClass[] = L"TTkytForm";
inline constexpr const wchar_t kFrameClass[] = L"TDCRFrame";
inline constexpr const wchar_t kTitlePanelClass[] = L"TkytTitlePanel";

class Win32WindowPeer final : public IWindowPeer {
 public:
  // Creates the windows hidden, as children of `parent`. Raises kyt::Error
  // when `parent` is no window or a window cannot be created.
  Win32WindowPeer(IDcrWindow& model, HWND parent, HMODULE module);
  ~Win32WindowPeer() override;
  Win32WindowPeer(const Win32WindowPeer&) = delete;
  Win32WindowPeer& operator=(const Win32WindowPeer&) = delete;

  void SetBounds(int32_t x, int32_t y, int32_t width, int32_t height) override;
  void SetSize(int32_t width, int32_t height) override;
  Rect Bounds() const override;
  bool Visible() const override;
  void PaintTo(uintptr_t dc) override;
  void PictureChanged() override;
  uintptr_t Handle() const override { return reinterpret_cast<uintptr_t>(form_); }

 private:
  // The window procedure of all three windows: the peer from the window's
  // user data, `Handle` the member that sorts that window's messages, and
  // nothing unwinds into the host's message loop.
  template <LRESULT (Win32WindowPeer::*Handle)(HWND, UINT, WPARAM, LPARAM)>
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT FormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT FrameMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT PanelMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // The handlers, named after their messages; `window` is the one it came to.
  LRESULT OnHostNotify(WPARAM wParam, LPARAM lParam);  // 0x04FA
  LRESULT OnGetDlgCode(HWND window, WPARAM wParam, LPARAM lParam);
  LRESULT OnSize(HWND window, LPARAM lParam);
  LRESULT OnEraseBkgnd(WPARAM wParam);  // the form's; the frame and the panel paint all of themselves
  LRESULT OnPaint(HWND window, void (Win32WindowPeer::*draw)(HDC, int, int) const);
  bool OnKeyDown(WPARAM key);  // false: not a key of the window's, default handling
  LRESULT OnScroll(int bar, WPARAM wParam);
  LRESULT OnMouseWheel(WPARAM wParam);
  LRESULT OnLButtonDown();

  // Each draws its window's client area with its top-left corner at (x, y) of `dc`.
  void DrawForm(HDC dc, int x, int y) const;
  void DrawFrame(HDC dc, int x, int y) const;
  void DrawPanel(HDC dc, int x, int y) const;

  void LayOutFrame();
  void UpdateScrollBars();
  void ScrollTo(int x, int y);
  void ScrollBy(int dx, int dy) { ScrollTo(scrollX_ + dx, scrollY_ + dy); }
  int ScrollCommand(int bar, WPARAM wParam) const;
  SIZE ContentSize() const;

  IDcrWindow& model_;
  HWND form_ = nullptr;
  HWND frame_ = nullptr;
  HWND panel_ = nullptr;
  HFONT titleFont_ = nullptr;
  int scrollX_ = 0;
  int scrollY_ = 0;
  bool updatingScrollBars_ = false;
  bool attached_ = false;  // all three windows exist
};

void UnregisterDcrWindowClasses(HMODULE module);

}  // namespace kyt::win32
