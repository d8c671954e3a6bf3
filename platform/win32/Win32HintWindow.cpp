#include "platform/win32/Win32HintWindow.h"

#include <string>

namespace kyt::win32 {

namespace {

// What a hint window asks for: it saves the screen below it, and on systems
// that offer it, a drop shadow; the plug-in's hints go without the shadow.
constexpr UINT kHintBaseStyle = CS_SAVEBITS | CS_DROPSHADOW;
constexpr UINT kHintStyle = kHintBaseStyle & ~UINT(CS_DROPSHADOW);

bool g_registered = false;

LRESULT CALLBACK HintWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      RECT r;
      GetClientRect(window, &r);
      FillRect(dc, &r, GetSysColorBrush(COLOR_INFOBK));
      FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
      const int length = GetWindowTextLengthW(window);
      std::wstring text(size_t(length) + 1, L'\0');
      GetWindowTextW(window, text.data(), length + 1);
      text.resize(size_t(length));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
      HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
      InflateRect(&r, -2, -2);
      DrawTextW(dc, text.c_str(), int(text.size()), &r, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
      SelectObject(dc, old);
      EndPaint(window, &ps);
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

void RegisterHintWindowClass(HMODULE module) {
  if (g_registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = kHintStyle;
  wc.lpfnWndProc = HintWindowProc;
  wc.hInstance = module;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = kHintWindowClass;
  if (RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) g_registered = true;
}

void UnregisterHintWindowClass(HMODULE module) {
  if (g_registered && UnregisterClassW(kHintWindowClass, module)) g_registered = false;
}

}  // namespace kyt::win32
