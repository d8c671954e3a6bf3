#include "platform/win32/Win32WindowPeer.h"

#include <algorithm>
#include <string>

#include "core/Error.h"
#include "platform/win32/Win32GdiBitmap.h"
#include "platform/win32/Win32Text.h"

namespace kyt::win32 {

namespace {

constexpr int kLineStep = 16;  // pixels per arrow key or scroll-bar arrow
constexpr int kWheelStep = 3 * kLineStep;

bool g_classesRegistered = false;

void RegisterClasses(HMODULE module, WNDPROC form, WNDPROC frame, WNDPROC panel) {
  if (g_classesRegistered) return;
  struct Entry {
    const wchar_t* name;
    WNDPROC proc;
  } const entries[] = {{kFormClass, form}, {kFrameClass, frame}, {kTitlePanelClass, panel}};
  for (const Entry& e : entries) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = e.proc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = e.name;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
      throw Error("The DCR window class cannot be registered (error " + std::to_string(GetLastError()) + ").");
  }
  g_classesRegistered = true;
}

template <typename T>
T* PeerOf(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Scoped SaveDC/RestoreDC with the drawing clipped to a rectangle.
class ClippedDc {
 public:
  ClippedDc(HDC dc, int left, int top, int right, int bottom) : dc_(dc), saved_(SaveDC(dc)) {
    IntersectClipRect(dc, left, top, right, bottom);
  }
  ~ClippedDc() { RestoreDC(dc_, saved_); }
  ClippedDc(const ClippedDc&) = delete;
  ClippedDc& operator=(const ClippedDc&) = delete;

 private:
  HDC dc_;
  int saved_;
};

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  RECT r{left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

SIZE ClientSize(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

}  // namespace

Win32WindowPeer::Win32WindowPeer(IDcrWindow& model, HWND parent, HMODULE module) : model_(model) {
  if (!parent || !IsWindow(parent))
    throw Error("Invalid window handle " + std::to_string(reinterpret_cast<uintptr_t>(parent)) + ".");
  RegisterClasses(module, WindowProc<&Win32WindowPeer::FormMessage>, WindowProc<&Win32WindowPeer::FrameMessage>,
                  WindowProc<&Win32WindowPeer::PanelMessage>);
  const DcrWindowLook& look = model_.Look();
  titleFont_ = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Verdana");
  form_ = CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, L"TkytForm",
                          WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, look.DesignWidth,
                          look.DesignHeight, parent, nullptr, module, this);
  if (form_) {
    const SIZE client = ClientSize(form_);
    frame_ = CreateWindowExW(WS_EX_CONTROLPARENT, kFrameClass, L"DCR",
                             WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, client.cx,
                             client.cy, form_, nullptr, module, this);
  }
  if (frame_) {
    panel_ = CreateWindowExW(0, kTitlePanelClass, FromCp1251(look.TitleCaption).c_str(),
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, ClientSize(frame_).cx,
                             look.TitleHeight, frame_, nullptr, module, this);
  }
  if (!panel_) {
    const DWORD error = GetLastError();
    if (form_) {
      SetWindowLongPtrW(form_, GWLP_USERDATA, 0);
      DestroyWindow(form_);
    }
    if (titleFont_) DeleteObject(titleFont_);
    throw Error("The DCR window cannot be created (error " + std::to_string(error) + ").");
  }
  LayOutFrame();
  attached_ = true;
}

Win32WindowPeer::~Win32WindowPeer() {
  // From here on the windows no longer reach the form, which is going away.
  for (HWND w : {panel_, frame_, form_})
    if (w) SetWindowLongPtrW(w, GWLP_USERDATA, 0);
  if (form_) DestroyWindow(form_);
  if (titleFont_) DeleteObject(titleFont_);
}

void Win32WindowPeer::SetBounds(int32_t x, int32_t y, int32_t width, int32_t height) {
  SetWindowPos(form_, HWND_TOP, x, y, width, height, SWP_SHOWWINDOW);
}

void Win32WindowPeer::SetSize(int32_t width, int32_t height) {
  SetWindowPos(form_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect Win32WindowPeer::Bounds() const {
  RECT r{};
  GetWindowRect(form_, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(form_), reinterpret_cast<POINT*>(&r), 2);
  return Rect{r.left, r.top, r.right, r.bottom};
}

bool Win32WindowPeer::Visible() const { return (GetWindowLongPtrW(form_, GWL_STYLE) & WS_VISIBLE) != 0; }

void Win32WindowPeer::PaintTo(uintptr_t dc) {
  if (!dc) return;
  HDC target = reinterpret_cast<HDC>(dc);
  // The window and its child windows, each at its place, into the caller's DC.
  const SIZE formSize = ClientSize(form_);
  {
    ClippedDc clip(target, 0, 0, formSize.cx, formSize.cy);
    DrawForm(target, 0, 0);
  }
  RECT frameRect{};
  GetWindowRect(frame_, &frameRect);
  MapWindowPoints(HWND_DESKTOP, form_, reinterpret_cast<POINT*>(&frameRect), 2);
  const SIZE frameClient = ClientSize(frame_);
  {
    ClippedDc clip(target, frameRect.left, frameRect.top, frameRect.left + frameClient.cx,
                   frameRect.top + frameClient.cy);
    DrawFrame(target, frameRect.left, frameRect.top);
    RECT panelRect{};
    GetWindowRect(panel_, &panelRect);
    MapWindowPoints(HWND_DESKTOP, form_, reinterpret_cast<POINT*>(&panelRect), 2);
    ClippedDc panelClip(target, panelRect.left, panelRect.top, panelRect.right, panelRect.bottom);
    DrawPanel(target, panelRect.left, panelRect.top);
  }
}

void Win32WindowPeer::PictureChanged() {
  UpdateScrollBars();
  InvalidateRect(frame_, nullptr, FALSE);
}

void Win32WindowPeer::DrawForm(HDC dc, int x, int y) const {
  const SIZE size = ClientSize(form_);
  Fill(dc, x, y, x + size.cx, y + size.cy, GetSysColor(COLOR_BTNFACE));
}

void Win32WindowPeer::DrawFrame(HDC dc, int x, int y) const {
  const SIZE size = ClientSize(frame_);
  Fill(dc, x, y, x + size.cx, y + size.cy, RGB(255, 255, 255));
  // The picture at its own size, its top-left corner below the title.
  DrawPicture(dc, model_.Picture(), x - scrollX_, y + model_.Look().TitleHeight - scrollY_);
}

void Win32WindowPeer::DrawPanel(HDC dc, int x, int y) const {
  const SIZE size = ClientSize(panel_);
  RECT r{x, y, x + size.cx, y + size.cy};
  const COLORREF face = model_.Look().TitleColor;  // COLORREF has red in the low byte as well
  // Single border, one pixel of the panel's colour, raised inner bevel, face.
  FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  InflateRect(&r, -1, -1);
  Fill(dc, r.left, r.top, r.right, r.bottom, face);
  InflateRect(&r, -1, -1);
  DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
  Fill(dc, r.left, r.top, r.right, r.bottom, face);

  const std::wstring caption = FromCp1251(model_.Look().TitleCaption);
  const int saved = SaveDC(dc);
  SelectObject(dc, titleFont_ ? static_cast<HGDIOBJ>(titleFont_) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, COLORREF(model_.Look().TitleFontColor));
  DrawTextW(dc, caption.c_str(), int(caption.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  RestoreDC(dc, saved);
}

SIZE Win32WindowPeer::ContentSize() const {
  const Bitmap& picture = model_.Picture();
  return SIZE{picture.Width(), model_.Look().TitleHeight + picture.Height()};
}

void Win32WindowPeer::LayOutFrame() {
  const SIZE client = ClientSize(form_);
  MoveWindow(frame_, 0, 0, client.cx, client.cy, TRUE);
  UpdateScrollBars();
}

void Win32WindowPeer::UpdateScrollBars() {
  if (updatingScrollBars_ || !frame_) return;
  updatingScrollBars_ = true;
  const SIZE content = ContentSize();
  // Showing one bar narrows the client area for the other: settle in two rounds.
  for (int round = 0; round < 2; ++round) {
    const SIZE client = ClientSize(frame_);
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE;
    si.nMin = 0;
    si.nMax = std::max<int>(0, content.cx - 1);
    si.nPage = UINT(std::max<LONG>(0, client.cx));
    SetScrollInfo(frame_, SB_HORZ, &si, TRUE);
    si.nMax = std::max<int>(0, content.cy - 1);
    si.nPage = UINT(std::max<LONG>(0, client.cy));
    SetScrollInfo(frame_, SB_VERT, &si, TRUE);
  }
  updatingScrollBars_ = false;
  ScrollTo(scrollX_, scrollY_);
}

void Win32WindowPeer::ScrollTo(int x, int y) {
  const SIZE content = ContentSize();
  const SIZE client = ClientSize(frame_);
  x = std::clamp(x, 0, std::max<int>(0, content.cx - client.cx));
  y = std::clamp(y, 0, std::max<int>(0, content.cy - client.cy));
  const bool moved = x != scrollX_ || y != scrollY_;
  scrollX_ = x;
  scrollY_ = y;
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_POS;
  si.nPos = x;
  SetScrollInfo(frame_, SB_HORZ, &si, TRUE);
  si.nPos = y;
  SetScrollInfo(frame_, SB_VERT, &si, TRUE);
  // The title panel scrolls away with the content; it always spans the frame's width.
  SetWindowPos(panel_, nullptr, 0, -scrollY_, client.cx, model_.Look().TitleHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  if (moved) InvalidateRect(frame_, nullptr, FALSE);
}

int Win32WindowPeer::ScrollCommand(int bar, WPARAM wParam) const {
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_ALL;
  GetScrollInfo(frame_, bar, &si);
  const int page = std::max<int>(1, int(si.nPage));
  switch (LOWORD(wParam)) {
    case SB_LINEUP: return si.nPos - kLineStep;
    case SB_LINEDOWN: return si.nPos + kLineStep;
    case SB_PAGEUP: return si.nPos - page;
    case SB_PAGEDOWN: return si.nPos + page;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: return si.nTrackPos;
    case SB_TOP: return 0;
    case SB_BOTTOM: return si.nMax;
    default: return si.nPos;
  }
}

template <LRESULT (Win32WindowPeer::*Handle)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK Win32WindowPeer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* peer = PeerOf<Win32WindowPeer>(window, message, lParam);
  if (!peer) return DefWindowProcW(window, message, wParam, lParam);
  try {
    return (peer->*Handle)(window, message, wParam, lParam);
  } catch (...) {
    // Nothing may unwind into the host's message loop.
    return 0;
  }
}

LRESULT Win32WindowPeer::FormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kHostNotifyMessage: return OnHostNotify(wParam, lParam);
    case WM_GETDLGCODE: return OnGetDlgCode(window, wParam, lParam);
    case WM_SIZE: return OnSize(window, lParam);
    case WM_ERASEBKGND: return OnEraseBkgnd(wParam);
    case WM_KEYDOWN:
      if (OnKeyDown(wParam)) return 0;
      break;
    case WM_LBUTTONDOWN: return OnLButtonDown();
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32WindowPeer::FrameMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;  // WM_PAINT covers everything
    case WM_PAINT: return OnPaint(window, &Win32WindowPeer::DrawFrame);
    case WM_SIZE: return OnSize(window, lParam);
    case WM_HSCROLL: return OnScroll(SB_HORZ, wParam);
    case WM_VSCROLL: return OnScroll(SB_VERT, wParam);
    case WM_MOUSEWHEEL: return OnMouseWheel(wParam);
    case WM_LBUTTONDOWN: return OnLButtonDown();
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT Win32WindowPeer::PanelMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: return OnPaint(window, &Win32WindowPeer::DrawPanel);
    case WM_NCHITTEST: return HTTRANSPARENT;  // clicks reach the frame
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT Win32WindowPeer::OnHostNotify(WPARAM wParam, LPARAM lParam) {
  model_.HostNotifyMessage(wParam, lParam);
  return 0;
}

LRESULT Win32WindowPeer::OnGetDlgCode(HWND window, WPARAM wParam, LPARAM lParam) {
  return model_.DialogCode(DefWindowProcW(window, WM_GETDLGCODE, wParam, lParam));
}

LRESULT Win32WindowPeer::OnSize(HWND window, LPARAM lParam) {
  // Sizes seen while the windows are still being built are the design size;
  // the model hears of its size once the window is attached (and so all
  // three handles are known).
  if (!attached_) return 0;
  if (window == form_) {
    LayOutFrame();
    model_.ClientResized(LOWORD(lParam), HIWORD(lParam));
  } else {
    UpdateScrollBars();
  }
  return 0;
}

LRESULT Win32WindowPeer::OnEraseBkgnd(WPARAM wParam) {
  DrawForm(reinterpret_cast<HDC>(wParam), 0, 0);
  return 1;
}

LRESULT Win32WindowPeer::OnPaint(HWND window, void (Win32WindowPeer::*draw)(HDC, int, int) const) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  (this->*draw)(dc, 0, 0);
  EndPaint(window, &ps);
  return 0;
}

bool Win32WindowPeer::OnKeyDown(WPARAM key) {
  switch (key) {
    case VK_LEFT: ScrollBy(-kLineStep, 0); return true;
    case VK_RIGHT: ScrollBy(kLineStep, 0); return true;
    case VK_UP: ScrollBy(0, -kLineStep); return true;
    case VK_DOWN: ScrollBy(0, kLineStep); return true;
    default: return false;
  }
}

LRESULT Win32WindowPeer::OnScroll(int bar, WPARAM wParam) {
  if (bar == SB_HORZ)
    ScrollTo(ScrollCommand(SB_HORZ, wParam), scrollY_);
  else
    ScrollTo(scrollX_, ScrollCommand(SB_VERT, wParam));
  return 0;
}

LRESULT Win32WindowPeer::OnMouseWheel(WPARAM wParam) {
  ScrollBy(0, -GET_WHEEL_DELTA_WPARAM(wParam) * kWheelStep / WHEEL_DELTA);
  return 0;
}

LRESULT Win32WindowPeer::OnLButtonDown() {
  SetFocus(form_);
  return 0;
}

void UnregisterDcrWindowClasses(HMODULE module) {
  if (!g_classesRegistered) return;
  bool all = true;
  for (const wchar_t* name : {kTitlePanelClass, kFrameClass, kFormClass})
    if (!UnregisterClassW(name, module) && GetLastError() != ERROR_CLASS_DOES_NOT_EXIST) all = false;
  if (all) g_classesRegistered = false;
}

}  // namespace kyt::win32
