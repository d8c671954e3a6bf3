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
  static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnFormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnFrameMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

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
