#include "platform/win32/canvas/Win32Canvas.h"

#include <windowsx.h>

#include <algorithm>
#include <vector>

namespace kyt::win32 {

using namespace kyt::controls;

namespace {

// Host texts are code page 1251 whatever the system's ANSI code page is.
std::wstring Wide(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(1251, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring out(size_t(std::max(n, 0)), L'\0');
  if (n > 0) MultiByteToWideChar(1251, 0, text.data(), int(text.size()), out.data(), n);
  return out;
}

COLORREF Ref(Color c) { return COLORREF(ColorToRGB(c)); }

RECT ToRect(const Rect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }

}  // namespace

// ---- GdiCanvas ----

GdiCanvas::GdiCanvas(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {
  SetBkMode(dc_, TRANSPARENT);
  SetFont(font_);
}

GdiCanvas::~GdiCanvas() {
  RestoreDC(dc_, saved_);
  if (fontHandle_) DeleteObject(fontHandle_);
}

std::optional<Color> GdiCanvas::GetPixel(int32_t x, int32_t y) {
  const COLORREF c = ::GetPixel(dc_, x, y);
  if (c == CLR_INVALID) return std::nullopt;
  return Color(c & 0xFFFFFF);
}

void GdiCanvas::SetPixel(int32_t x, int32_t y, Color c) { SetPixelV(dc_, x, y, Ref(c)); }

void GdiCanvas::FillRect(const Rect& r, Color c) {
  if (IsEmpty(r)) return;
  HBRUSH brush = CreateSolidBrush(Ref(c));
  const RECT rc = ToRect(r);
  ::FillRect(dc_, &rc, brush);
  DeleteObject(brush);
}

void GdiCanvas::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color pen) {
  HPEN p = CreatePen(PS_SOLID, 1, Ref(pen));
  HGDIOBJ old = SelectObject(dc_, p);
  MoveToEx(dc_, x1, y1, nullptr);
  LineTo(dc_, x2, y2);
  SelectObject(dc_, old);
  DeleteObject(p);
}

void GdiCanvas::RoundRect(const Rect& r, int32_t diameter, Color pen, std::optional<Color> brush) {
  HPEN p = CreatePen(PS_SOLID, 1, Ref(pen));
  HBRUSH b = brush ? CreateSolidBrush(Ref(*brush)) : HBRUSH(GetStockObject(NULL_BRUSH));
  HGDIOBJ oldPen = SelectObject(dc_, p), oldBrush = SelectObject(dc_, b);
  ::RoundRect(dc_, r.Left, r.Top, r.Right, r.Bottom, diameter, diameter);
  SelectObject(dc_, oldPen);
  SelectObject(dc_, oldBrush);
  DeleteObject(p);
  if (brush) DeleteObject(b);
}

void GdiCanvas::SetFont(const FontSpec& font) {
  if (fontHandle_ && font == font_) return;
  font_ = font;
  const std::wstring name = Wide(font.Name);
  HFONT f = CreateFontW(-font.Height, 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL, font.Italic, font.Underline, FALSE,
                        RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, name.c_str());
  if (!f) return;
  SelectObject(dc_, f);
  if (fontHandle_) DeleteObject(fontHandle_);
  fontHandle_ = f;
}

int32_t GdiCanvas::TextHeight(std::string_view) {
  TEXTMETRICW tm{};
  GetTextMetricsW(dc_, &tm);
  return tm.tmHeight;
}

int32_t GdiCanvas::TextWidth(std::string_view text) {
  const std::wstring w = Wide(text);
  SIZE s{};
  GetTextExtentPoint32W(dc_, w.c_str(), int(w.size()), &s);
  return s.cx;
}

Rect GdiCanvas::MeasureText(std::string_view text, const Rect& bounds, uint32_t flags) {
  const std::wstring w = Wide(text);
  RECT rc = ToRect(bounds);
  ::DrawTextW(dc_, w.c_str(), int(w.size()), &rc, flags | DT_CALCRECT);
  return Rect{rc.left, rc.top, rc.right, rc.bottom};
}

void GdiCanvas::DrawText(std::string_view text, const Rect& bounds, uint32_t flags, std::optional<Color> color) {
  if (text.empty()) return;
  const std::wstring w = Wide(text);
  RECT rc = ToRect(bounds);
  SetTextColor(dc_, Ref(color.value_or(font_.Color)));
  SetBkMode(dc_, TRANSPARENT);
  ::DrawTextW(dc_, w.c_str(), int(w.size()), &rc, flags);
}

void GdiCanvas::DrawImage(const ImageList& list, int32_t index, int32_t x, int32_t y, std::optional<Color> background) {
  if (index < 0 || index >= list.Count()) return;
  const int w = list.Width(), h = list.Height();
  if (background) FillRect(Rect{x, y, x + w, y + h}, *background);

  // The image with its masked pixels black, and a monochrome mask that is
  // white where the picture is transparent: AND the mask, OR the image.
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP image = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!image) return;
  const int stride = ((w + 15) / 16) * 2;
  std::vector<uint8_t> maskBits(size_t(stride) * size_t(h), 0);
  auto* px = static_cast<uint32_t*>(bits);
  const Bitmap& src = list.Image(index);
  for (int iy = 0; iy < h; ++iy)
    for (int ix = 0; ix < w; ++ix) {
      const bool opaque = list.Opaque(index, ix, iy);
      const Color c = src.Pixel(ix, iy);
      // DIB pixels are 0x00RRGGBB.
      px[size_t(iy) * size_t(w) + size_t(ix)] = opaque ? (uint32_t(RedOf(c)) << 16 | uint32_t(GreenOf(c)) << 8 | BlueOf(c)) : 0;
      if (!opaque) maskBits[size_t(iy) * size_t(stride) + size_t(ix / 8)] |= uint8_t(0x80 >> (ix % 8));
    }
  HBITMAP mask = CreateBitmap(w, h, 1, 1, maskBits.data());
  HDC mem = CreateCompatibleDC(dc_);
  const COLORREF oldText = SetTextColor(dc_, RGB(0, 0, 0)), oldBk = SetBkColor(dc_, RGB(255, 255, 255));
  HGDIOBJ old = SelectObject(mem, mask);
  BitBlt(dc_, x, y, w, h, mem, 0, 0, SRCAND);
  SelectObject(mem, image);
  BitBlt(dc_, x, y, w, h, mem, 0, 0, SRCPAINT);
  SelectObject(mem, old);
  SetTextColor(dc_, oldText);
  SetBkColor(dc_, oldBk);
  DeleteDC(mem);
  DeleteObject(mask);
  DeleteObject(image);
}

void GdiCanvas::Save() {
  SaveDC(dc_);
  ++depth_;
}

void GdiCanvas::Restore() {
  if (depth_ == 0) return;
  RestoreDC(dc_, -1);
  --depth_;
  // The font selected after the save is no longer in the DC.
  if (fontHandle_) SelectObject(dc_, fontHandle_);
}

void GdiCanvas::Offset(int32_t dx, int32_t dy) { OffsetViewportOrgEx(dc_, dx, dy, nullptr); }

void GdiCanvas::Clip(const Rect& r) { IntersectClipRect(dc_, r.Left, r.Top, r.Right, r.Bottom); }

// ---- Win32Graphics ----

HMODULE OwnModule() {
  HMODULE m = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnModule), &m);
  return m;
}

namespace {

// "dwmapi.dll", loaded once on NT 6 and later, released when the module ends.
class DwmApi {
 public:
  DwmApi() {
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool nt6 = GetVersionExW(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion >= 6;
#pragma GCC diagnostic pop
    if (!nt6) return;
    library_ = LoadLibraryW(L"dwmapi.dll");
    if (!library_) return;
    isCompositionEnabled_ = reinterpret_cast<IsEnabledFn>(
        reinterpret_cast<void*>(GetProcAddress(library_, "DwmIsCompositionEnabled")));
    getColorizationColor_ = reinterpret_cast<GetColorFn>(
        reinterpret_cast<void*>(GetProcAddress(library_, "DwmGetColorizationColor")));
  }
  ~DwmApi() {
    if (library_) FreeLibrary(library_);
  }
  DwmApi(const DwmApi&) = delete;
  DwmApi& operator=(const DwmApi&) = delete;

  // Composition on: the colorization colour, or the highlight colour when it
  // cannot be asked (nullopt from the second function means: use the highlight).
  std::optional<Color> Accent() const {
    if (!isCompositionEnabled_) return std::nullopt;
    BOOL enabled = FALSE;
    if (FAILED(isCompositionEnabled_(&enabled)) || !enabled) return std::nullopt;
    if (!getColorizationColor_) return std::nullopt;
    DWORD argb = 0;
    BOOL opaque = FALSE;
    if (FAILED(getColorizationColor_(&argb, &opaque))) return std::nullopt;
    // 0xAARRGGBB to red in the low byte, alpha dropped.
    return MakeColor(uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb));
  }

 private:
  using IsEnabledFn = HRESULT(WINAPI*)(BOOL*);
  using GetColorFn = HRESULT(WINAPI*)(DWORD*, BOOL*);
  HMODULE library_ = nullptr;
  IsEnabledFn isCompositionEnabled_ = nullptr;
  GetColorFn getColorizationColor_ = nullptr;
};

DwmApi& Dwm() {
  static DwmApi api;
  return api;
}

}  // namespace

Color Win32Graphics::SysColor(int32_t index) { return Color(GetSysColor(index) & 0xFFFFFF); }

int32_t Win32Graphics::ScreenBitsTimesPlanes() {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return bits;
}

bool Win32Graphics::ThemesActive() {
  using Fn = BOOL(WINAPI*)();
  static HMODULE theme = LoadLibraryW(L"uxtheme.dll");
  if (!theme) return false;
  static auto active = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(theme, "IsThemeActive")));
  static auto app = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(theme, "IsAppThemed")));
  return active && app && active() && app();
}

std::optional<Color> Win32Graphics::DesktopAccentColor() { return Dwm().Accent(); }

std::optional<Bitmap> Win32Graphics::LoadBitmapResource(const std::string& name) {
  const std::wstring wname(name.begin(), name.end());
  HBITMAP bmp = HBITMAP(LoadImageW(OwnModule(), wname.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!bmp) return std::nullopt;
  BITMAP info{};
  GetObjectW(bmp, sizeof info, &info);
  std::optional<Bitmap> out;
  if (info.bmWidth > 0 && info.bmHeight > 0 && info.bmWidth <= 4096 && info.bmHeight <= 4096) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = -info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> px(size_t(info.bmWidth) * size_t(info.bmHeight));
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bmp, 0, UINT(info.bmHeight), px.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows == info.bmHeight) {
      Bitmap b(info.bmWidth, info.bmHeight);
      for (int y = 0; y < info.bmHeight; ++y)
        for (int x = 0; x < info.bmWidth; ++x) {
          const uint32_t p = px[size_t(y) * size_t(info.bmWidth) + size_t(x)];
          b.SetPixel(x, y, MakeColor(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)));
        }
      out = std::move(b);
    }
  }
  DeleteObject(bmp);
  return out;
}

// ---- ControlWindow ----

namespace {
constexpr wchar_t kControlWindowClass[] = L"TkytControlWindow";

ATOM RegisterControlWindow() {
  static ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = OwnModule();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kControlWindowClass;
    return RegisterClassExW(&wc);
  }();
  return atom;
}
}  // namespace

ControlWindow::ControlWindow(TWinControl& root, HWND parent, DWORD style, const wchar_t* title, int x, int y)
    : root_(root) {
  RegisterControlWindow();
  RECT r{0, 0, root.Width(), root.Height()};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  window_ = CreateWindowExW(0, kControlWindowClass, title, style & ~WS_VISIBLE, x, y, r.right - r.left,
                            r.bottom - r.top, parent, nullptr, OwnModule(), nullptr);
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlWindow::Proc));
  }
  root_.SetHost(this);
}

ControlWindow::~ControlWindow() {
  root_.SetHost(nullptr);
  if (CaptureControl() && &CaptureControl()->Root() == &root_) SetCaptureControl(nullptr);
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
    DestroyWindow(window_);
  }
}

LRESULT CALLBACK ControlWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<ControlWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

namespace {
uint32_t Shift(WPARAM keys) {
  uint32_t s = 0;
  if (keys & MK_SHIFT) s |= kShiftKey;
  if (keys & MK_CONTROL) s |= kShiftCtrl;
  if (keys & MK_LBUTTON) s |= kShiftLeft;
  if (keys & MK_RBUTTON) s |= kShiftRight;
  if (keys & MK_MBUTTON) s |= kShiftMiddle;
  if (GetKeyState(VK_MENU) < 0) s |= kShiftAlt;
  return s;
}
}  // namespace

LRESULT ControlWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      DispatchMouse(root_, MouseEvent::Move, MouseButton::Left, Shift(wParam), x, y);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      DispatchMouse(root_, MouseEvent::Down, message == WM_LBUTTONDOWN ? MouseButton::Left : MouseButton::Right,
                    Shift(wParam), x, y);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      DispatchMouse(root_, MouseEvent::Up, message == WM_LBUTTONUP ? MouseButton::Left : MouseButton::Right,
                    Shift(wParam), x, y);
      return 0;
    case WM_LBUTTONDBLCLK:
      DispatchMouse(root_, MouseEvent::DoubleClick, MouseButton::Left, Shift(wParam), x, y);
      return 0;
    case WM_SYSCHAR: {
      const wchar_t w[2] = {wchar_t(wParam), 0};
      char key = 0;
      WideCharToMultiByte(1251, 0, w, 1, &key, 1, nullptr, nullptr);
      if (key && DispatchDialogChar(root_, key, kShiftAlt)) return 0;
      break;
    }
    case WM_SYSCOLORCHANGE:
      DispatchSysColorChange(root_);
      InvalidateRect(window_, nullptr, FALSE);
      return 0;
    case WM_CAPTURECHANGED:
      // Someone else took the mouse: no control of ours holds it any longer.
      if (reinterpret_cast<HWND>(lParam) != window_ && CaptureControl() && &CaptureControl()->Root() == &root_) {
        TControl* c = CaptureControl();
        SetCaptureControl(nullptr);
        c->MouseLeave();
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void ControlWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  RECT client;
  GetClientRect(window_, &client);
  const int w = std::max<int>(client.right, 1), h = std::max<int>(client.bottom, 1);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP buffer = CreateCompatibleBitmap(dc, w, h);
  HGDIOBJ old = SelectObject(mem, buffer);
  {
    GdiCanvas canvas(mem);
    canvas.FillRect(Rect{0, 0, w, h}, root_.GetColor());
    PaintTree(root_, canvas);
  }
  BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(buffer);
  DeleteDC(mem);
  EndPaint(window_, &ps);
}

void ControlWindow::Invalidate(const Rect& r) {
  if (!window_) return;
  const RECT rc = ToRect(r);
  InvalidateRect(window_, &rc, FALSE);
}

void ControlWindow::SetMouseCapture(bool capture) {
  if (!window_) return;
  if (capture)
    SetCapture(window_);
  else if (GetCapture() == window_)
    ReleaseCapture();
}

Point ControlWindow::CursorPos() {
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(window_, &p);
  return Point{p.x, p.y};
}

bool ControlWindow::CursorOverRoot() {
  POINT p{};
  GetCursorPos(&p);
  return WindowFromPoint(p) == window_;
}

bool ControlWindow::MouseButtonDown(MouseButton button) {
  const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
  int key = button == MouseButton::Left ? VK_LBUTTON : button == MouseButton::Right ? VK_RBUTTON : VK_MBUTTON;
  if (swapped && key != VK_MBUTTON) key = key == VK_LBUTTON ? VK_RBUTTON : VK_LBUTTON;
  return GetAsyncKeyState(key) < 0;
}

void ControlWindow::Focus(TWinControl&) {
  if (window_) SetFocus(window_);
}

}  // namespace kyt::win32
