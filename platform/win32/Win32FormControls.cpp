#include "platform/win32/Win32FormControls.h"

#include <commctrl.h>

#include <algorithm>

#include "resources/FormPictures.h"

namespace kyt::win32 {

namespace {

using forms::ControlKind;

constexpr const wchar_t kLabelClass[] = L"TLabel";
constexpr const wchar_t kImageClass[] = L"TImage";
constexpr const wchar_t kPanelClass[] = L"TNeoBookPanel";
constexpr const wchar_t kHelpBoxClass[] = L"TNeoBookHelpBox2";
constexpr const wchar_t kButtonClass[] = L"TNeoBookButton";
constexpr const wchar_t* kClasses[] = {kLabelClass, kImageClass, kPanelClass, kHelpBoxClass, kButtonClass};

// Window extra bytes: the site, the control's index, the button's state.
constexpr int kSiteSlot = 0;
constexpr int kIndexSlot = int(sizeof(LONG_PTR));
constexpr int kStateSlot = 2 * int(sizeof(LONG_PTR));
constexpr int kExtraBytes = 3 * int(sizeof(LONG_PTR));

// Glyph button state bits.
constexpr LONG_PTR kPressed = 1, kHot = 2, kTracking = 4;

IFormControlSite* SiteOf(HWND w) { return reinterpret_cast<IFormControlSite*>(GetWindowLongPtrW(w, kSiteSlot)); }
size_t IndexOf(HWND w) { return size_t(GetWindowLongPtrW(w, kIndexSlot)); }

COLORREF Rgb(Color c) { return RGB(RedOf(c), GreenOf(c), BlueOf(c)); }

int ScreenColorCount() {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return bits < 9 ? 1 << bits : 16777216;
}

// The control's picture is painted in memory first, then copied at once.
class Buffer {
 public:
  Buffer(HWND window, HDC target) : target_(target) {
    GetClientRect(window, &rect_);
    dc_ = CreateCompatibleDC(target);
    bitmap_ = CreateCompatibleBitmap(target, std::max<LONG>(rect_.right, 1), std::max<LONG>(rect_.bottom, 1));
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Buffer() {
    BitBlt(target_, 0, 0, rect_.right, rect_.bottom, dc_, 0, 0, SRCCOPY);
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  const RECT& rect() const { return rect_; }

 private:
  HDC target_, dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  RECT rect_{};
};

void Fill(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH b = CreateSolidBrush(color);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void Frame(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH b = CreateSolidBrush(color);
  FrameRect(dc, &r, b);
  DeleteObject(b);
}

COLORREF Mix(COLORREF a, COLORREF b, int weight) {
  auto ch = [&](int x, int y) { return (x * weight + y * (100 - weight) + 50) / 100; };
  return RGB(ch(GetRValue(a), GetRValue(b)), ch(GetGValue(a), GetGValue(b)), ch(GetBValue(a), GetBValue(b)));
}

void Gradient(HDC dc, const RECT& r, COLORREF from, COLORREF to, bool vertical) {
  const int n = vertical ? r.bottom - r.top : r.right - r.left;
  for (int k = 0; k < n; ++k) {
    const int weight = n > 1 ? 100 - k * 100 / (n - 1) : 100;
    RECT strip = vertical ? RECT{r.left, r.top + k, r.right, r.top + k + 1} : RECT{r.left + k, r.top, r.left + k + 1, r.bottom};
    Fill(dc, strip, Mix(from, to, weight));
  }
}

// Draws a picture with its transparent pixels left out.
void DrawPicture(HDC dc, const Bitmap& picture, int x, int y) {
  if (picture.Empty()) return;
  const Color transparent = picture.Pixel(0, picture.Height() - 1);
  for (int32_t py = 0; py < picture.Height(); ++py)
    for (int32_t px = 0; px < picture.Width(); ++px) {
      const Color c = picture.Pixel(px, py);
      if (c != transparent) SetPixelV(dc, x + px, y + py, Rgb(c));
    }
}

void Text(HDC dc, HFONT font, COLORREF color, const std::wstring& text, RECT r, UINT format) {
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  DrawTextW(dc, text.c_str(), int(text.size()), &r, format | DT_NOPREFIX);
  SelectObject(dc, old);
}

std::wstring WindowText(HWND w) {
  const int length = GetWindowTextLengthW(w);
  std::wstring text(size_t(length) + 1, L'\0');
  const int got = GetWindowTextW(w, text.data(), length + 1);
  text.resize(size_t(std::max(got, 0)));
  return text;
}

int LetterHeight(HDC dc, HFONT font) {
  HGDIOBJ old = SelectObject(dc, font);
  SIZE s{};
  GetTextExtentPoint32W(dc, L"M", 1, &s);
  SelectObject(dc, old);
  return s.cy;
}

void PaintLabel(HWND w, HDC dc) {
  IFormControlSite& site = *SiteOf(w);
  const size_t i = IndexOf(w);
  const forms::Control& c = site.ControlAt(i);
  Buffer b(w, dc);
  Fill(b.dc(), b.rect(), site.BackColorOf(i));
  UINT format = DT_LEFT;
  if (c.Flags & forms::kCenter) format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  else if (c.Flags & forms::kWordWrap) format |= DT_WORDBREAK;
  Text(b.dc(), site.FontOf(i), site.FontColorOf(i), WindowText(w), b.rect(), format);
}

void PaintImage(HWND w, HDC dc) {
  IFormControlSite& site = *SiteOf(w);
  const size_t i = IndexOf(w);
  const forms::Control& c = site.ControlAt(i);
  Buffer b(w, dc);
  Fill(b.dc(), b.rect(), site.BackColorOf(i));
  const Bitmap& picture = resources::FormPicture(c.Picture);
  const int x = (c.Flags & forms::kCenter) ? (b.rect().right - picture.Width()) / 2 : 0;
  const int y = (c.Flags & forms::kCenter) ? (b.rect().bottom - picture.Height()) / 2 : 0;
  DrawPicture(b.dc(), picture, x, y);
}

void PaintPanel(HWND w, HDC dc) {
  IFormControlSite& site = *SiteOf(w);
  const size_t i = IndexOf(w);
  Buffer b(w, dc);
  const RECT& r = b.rect();
  const COLORREF face = site.BackColorOf(i), shadow = GetSysColor(COLOR_BTNSHADOW);
  Fill(b.dc(), r, face);
  Gradient(b.dc(), RECT{0, 0, 2, r.bottom}, shadow, face, true);
  const std::wstring caption = WindowText(w);
  if (caption.empty()) return;
  HDC m = b.dc();
  HGDIOBJ old = SelectObject(m, site.FontOf(i));
  RECT box{2, 2, 2, 2};
  DrawTextW(m, caption.c_str(), int(caption.size()), &box, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
  SelectObject(m, old);
  box.right += 8;
  box.bottom += 3;
  LONG end = box.right < r.right ? box.right + (r.right - box.right) / 2 : r.right;
  Gradient(m, RECT{0, 0, end, 2}, shadow, face, false);
  Gradient(m, RECT{2, box.bottom, end, box.bottom + 1}, shadow, face, false);
  Gradient(m, RECT{box.left, box.top, end, box.bottom}, GetSysColor(COLOR_HIGHLIGHT), face, false);
  Text(m, site.FontOf(i), site.FontColorOf(i), caption, box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS);
}

void PaintHelpBox(HWND w, HDC dc) {
  IFormControlSite& site = *SiteOf(w);
  const size_t i = IndexOf(w);
  Buffer b(w, dc);
  const RECT& r = b.rect();
  HDC m = b.dc();
  Fill(m, r, GetSysColor(COLOR_BTNFACE));
  const int h = LetterHeight(m, site.FontOf(i)) + 5;
  const std::wstring caption = WindowText(w);
  HGDIOBJ old = SelectObject(m, site.FontOf(i));
  SIZE extent{};
  GetTextExtentPoint32W(m, caption.c_str(), int(caption.size()), &extent);
  SelectObject(m, old);
  const int glyph = 17;
  const int tab = caption.empty() ? glyph + 8 : extent.cx + glyph + 13;
  const COLORREF border = RGB(178, 178, 162), grey = RGB(214, 214, 198);
  const COLORREF body = Rgb(HelpBoxBodyColor() & 0xFFFFFF);
  RECT tabRect{0, 0, tab, h + 1};
  Fill(m, tabRect, grey);
  Frame(m, tabRect, border);
  RECT bodyRect{0, h, r.right, r.bottom};
  Fill(m, bodyRect, body);
  Frame(m, bodyRect, border);
  RECT join{1, h, tab - 1, h + 1};
  Fill(m, join, grey);
  Text(m, site.FontOf(i), site.FontColorOf(i), caption, RECT{glyph + 7, 3, r.right, h}, DT_LEFT | DT_SINGLELINE);
}

void PaintButton(HWND w, HDC dc) {
  IFormControlSite& site = *SiteOf(w);
  const size_t i = IndexOf(w);
  const forms::Control& c = site.ControlAt(i);
  const LONG_PTR state = GetWindowLongPtrW(w, kStateSlot);
  Buffer b(w, dc);
  const RECT& r = b.rect();
  HDC m = b.dc();
  Fill(m, r, site.BackColorOf(i));
  const bool pressed = state & kPressed, hot = state & kHot;
  if (pressed || hot || !(c.Flags & forms::kFlat)) {
    RECT inner{1, 1, r.right - 1, r.bottom - 1};
    if (pressed)
      Gradient(m, inner, RGB(194, 194, 178), RGB(234, 234, 218), true);
    else if (hot)
      Fill(m, inner, RGB(255, 255, 255));
    else
      Gradient(m, inner, RGB(254, 254, 253), RGB(233, 232, 224), true);
    Frame(m, r, pressed && hot ? RGB(160, 201, 243) : RGB(128, 169, 211));
  }
  const Bitmap& glyph = resources::FormPicture(c.Picture);
  const int offset = pressed ? 1 : 0;
  DrawPicture(m, glyph, (r.right - glyph.Width() + 1) / 2 + offset, (r.bottom - glyph.Height() + 1) / 2 + offset);
}

void SetState(HWND w, LONG_PTR state) {
  if (GetWindowLongPtrW(w, kStateSlot) == state) return;
  SetWindowLongPtrW(w, kStateSlot, state);
  InvalidateRect(w, nullptr, FALSE);
}

bool Inside(HWND w, LPARAM lParam) {
  RECT r;
  GetClientRect(w, &r);
  const POINT p{short(LOWORD(lParam)), short(HIWORD(lParam))};
  return PtInRect(&r, p) != 0;
}

LRESULT ButtonMessage(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  LONG_PTR state = GetWindowLongPtrW(w, kStateSlot);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(w);
      SetState(w, state | kPressed | kHot);
      return 0;
    case WM_MOUSEMOVE: {
      if (!(state & kTracking)) {
        TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, w, 0};
        TrackMouseEvent(&t);
        state |= kTracking;
      }
      const bool inside = Inside(w, lParam);
      SetState(w, inside ? state | kHot : state & ~kHot);
      return 0;
    }
    case WM_MOUSELEAVE:
      SetState(w, state & ~(kHot | kTracking));
      return 0;
    case WM_LBUTTONUP: {
      if (!(state & kPressed)) return 0;
      if (GetCapture() == w) ReleaseCapture();
      const bool inside = Inside(w, lParam);
      SetState(w, inside ? (state & ~kPressed) | kHot : state & ~(kPressed | kHot));
      if (inside) SiteOf(w)->ControlClicked(IndexOf(w));
      return 0;
    }
    case WM_CAPTURECHANGED:
      SetState(w, state & ~kPressed);
      return 0;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;  // a glyph button takes no focus
    default:
      return DefWindowProcW(w, message, wParam, lParam);
  }
}

LRESULT CALLBACK ControlProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(w, kSiteSlot, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    SetWindowLongPtrW(w, kIndexSlot, -1);
    return DefWindowProcW(w, message, wParam, lParam);
  }
  IFormControlSite* site = SiteOf(w);
  const LONG_PTR index = GetWindowLongPtrW(w, kIndexSlot);
  if (!site || index < 0) return DefWindowProcW(w, message, wParam, lParam);
  const forms::Control& c = site->ControlAt(size_t(index));
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      switch (c.Kind) {
        case ControlKind::Label: PaintLabel(w, dc); break;
        case ControlKind::Image: PaintImage(w, dc); break;
        case ControlKind::Panel: PaintPanel(w, dc); break;
        case ControlKind::HelpBox: PaintHelpBox(w, dc); break;
        case ControlKind::GlyphButton: PaintButton(w, dc); break;
        default: break;
      }
      EndPaint(w, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      SendMessageW(w, WM_PAINT, wParam, 0);
      return 0;
    case WM_SETTEXT: {
      const LRESULT r = DefWindowProcW(w, message, wParam, lParam);
      InvalidateRect(w, nullptr, FALSE);
      return r;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        SetCursor(site->CursorOf(size_t(index)));
        return TRUE;
      }
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return site->ControlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
      return SendMessageW(GetParent(w), message, wParam, lParam);
    default:
      break;
  }
  if (c.Kind == ControlKind::GlyphButton) return ButtonMessage(w, message, wParam, lParam);
  if (c.Flags & forms::kNotifyMouse) {
    if (message == WM_MOUSEMOVE) site->ControlMouseMove(size_t(index));
    if (message == WM_LBUTTONUP) site->ControlClicked(size_t(index));
  }
  if (message == WM_NCHITTEST && c.Kind == ControlKind::Label && !(c.Flags & forms::kNotifyMouse))
    return HTTRANSPARENT;
  return DefWindowProcW(w, message, wParam, lParam);
}

}  // namespace

void RegisterFormControlClasses(HMODULE module) {
  for (const wchar_t* name : kClasses) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(module, name, &existing)) continue;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ControlProc;
    wc.cbWndExtra = kExtraBytes;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
  }
}

void UnregisterFormControlClasses(HMODULE module) {
  for (const wchar_t* name : kClasses) UnregisterClassW(name, module);
}

const wchar_t* FormControlClass(forms::ControlKind kind) {
  switch (kind) {
    case ControlKind::Label: return kLabelClass;
    case ControlKind::Image: return kImageClass;
    case ControlKind::Panel: return kPanelClass;
    case ControlKind::HelpBox: return kHelpBoxClass;
    case ControlKind::GlyphButton: return kButtonClass;
    default: return nullptr;
  }
}

bool IsFormControlClass(forms::ControlKind kind) { return FormControlClass(kind) != nullptr; }

void SetControlIndex(HWND window, size_t index) {
  SetWindowLongPtrW(window, kIndexSlot, LONG_PTR(index));
  InvalidateRect(window, nullptr, FALSE);
}

void ShowHintOnHover(HWND button) {
  static bool initialised = false;
  if (!initialised) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    initialised = true;
  }
  HWND root = GetAncestor(button, GA_ROOT);
  HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, root, nullptr,
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(button, GWLP_HINSTANCE)), nullptr);
  if (!tip) return;
  std::wstring text = WindowText(button);
  TOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V1_SIZE;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = root;
  ti.uId = reinterpret_cast<UINT_PTR>(button);
  ti.lpszText = text.data();
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

uint32_t HelpBoxBodyColor() {
  return ScreenColorCount() <= 256 ? uint32_t(GetSysColor(COLOR_INFOBK)) : forms::Rgb(255, 255, 225);
}

}  // namespace kyt::win32
