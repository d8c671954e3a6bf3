#include "platform/win32/Win32FormControls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <memory>

#include "controls/NeoBookButton.h"
#include "controls/NeoBookHelpBox2.h"
#include "controls/NeoBookPanel.h"
#include "controls/NeoUtils.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32/canvas/Win32Canvas.h"
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

// Window extra bytes: the site, the control's index, the hosted control.
constexpr int kSiteSlot = 0;
constexpr int kIndexSlot = int(sizeof(LONG_PTR));
constexpr int kHostedSlot = 2 * int(sizeof(LONG_PTR));
constexpr int kExtraBytes = 3 * int(sizeof(LONG_PTR));

IFormControlSite* SiteOf(HWND w) { return reinterpret_cast<IFormControlSite*>(GetWindowLongPtrW(w, kSiteSlot)); }
size_t IndexOf(HWND w) { return size_t(GetWindowLongPtrW(w, kIndexSlot)); }

COLORREF Rgb(Color c) { return RGB(RedOf(c), GreenOf(c), BlueOf(c)); }

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

// What shows behind a control: its parent's drawing when it is transparent
// and the parent is one of the host-styled controls, else its background colour.
void PaintBackground(HWND w, HDC dc, const RECT& r);

void PaintLabel(HWND w, HDC dc) {
  IFormControlSite& site = *SiteOf(w);
  const size_t i = IndexOf(w);
  const forms::Control& c = site.ControlAt(i);
  Buffer b(w, dc);
  PaintBackground(w, b.dc(), b.rect());
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
  PaintBackground(w, b.dc(), b.rect());
  const Bitmap& picture = resources::FormPicture(c.Picture);
  const int x = (c.Flags & forms::kCenter) ? (b.rect().right - picture.Width()) / 2 : 0;
  const int y = (c.Flags & forms::kCenter) ? (b.rect().bottom - picture.Height()) / 2 : 0;
  DrawPicture(b.dc(), picture, x, y);
}

// A panel, help box or glyph button: the host-styled control itself, alone
// under a stand-in for its parent window (which gives it the colour and font
// it would inherit), painted on the GDI canvas and fed this window's mouse.
class HostedControl final : public controls::IControlHost {
 public:
  HostedControl(HWND window, IFormControlSite& site, size_t index) : window_(window), site_(site), index_(index) {
    const forms::Control& c = site.ControlAt(index);
    parent_.SetBounds(0, 0, c.Width, c.Height);
    parent_.SetColor(site.ParentBackground(index));
    parent_.SetHost(this);
    switch (c.Kind) {
      case ControlKind::Panel:
        control_ = std::make_unique<controls::TNeoBookPanel>(&parent_);
        break;
      case ControlKind::HelpBox:
        control_ = std::make_unique<controls::TNeoBookHelpBox2>(&parent_);
        break;
      default: {
        auto button = std::make_unique<controls::TNeoBookButton>(&parent_);
        button->SetFlat((c.Flags & forms::kFlat) != 0);
        button->SetGlyph(resources::FormPicture(c.Picture));
        button->OnClick = [this] { site_.ControlClicked(index_); };
        control_ = std::move(button);
        break;
      }
    }
    control_->SetBounds(0, 0, c.Width, c.Height);
    control_->SetFont(site.ControlFont(index));
    if (c.Color != forms::kParentColor) control_->SetColor(c.Color);
    control_->SetHint(c.Hint);
    TextChanged();
  }
  ~HostedControl() override {
    if (controls::CaptureControl() && &controls::CaptureControl()->Root() == &parent_)
      controls::SetCaptureControl(nullptr);
    control_.reset();
    parent_.SetHost(nullptr);
  }
  HostedControl(const HostedControl&) = delete;
  HostedControl& operator=(const HostedControl&) = delete;

  // A glyph button shows no caption: its window text is its hint.
  void TextChanged() {
    if (site_.ControlAt(index_).Kind != ControlKind::GlyphButton) control_->SetCaption(ToCp1251(WindowText(window_)));
  }

  void Paint(HDC dc) {
    Buffer b(window_, dc);
    PaintAt(b.dc(), 0, 0);
  }
  // The control drawn on `dc` with its top-left corner at (x, y).
  void PaintAt(HDC dc, int x, int y) {
    GdiCanvas canvas(dc);
    canvas.Offset(x, y);
    canvas.FillRect(parent_.ClientRect(), parent_.GetColor());
    controls::PaintTree(parent_, canvas);
  }

  bool Mouse(UINT message, WPARAM wParam, LPARAM lParam) {
    using controls::MouseButton;
    using controls::MouseEvent;
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    uint32_t shift = 0;
    if (wParam & MK_SHIFT) shift |= controls::kShiftKey;
    if (wParam & MK_CONTROL) shift |= controls::kShiftCtrl;
    if (wParam & MK_LBUTTON) shift |= controls::kShiftLeft;
    if (wParam & MK_RBUTTON) shift |= controls::kShiftRight;
    switch (message) {
      case WM_MOUSEMOVE:
        controls::DispatchMouse(parent_, MouseEvent::Move, MouseButton::Left, shift, x, y);
        return true;
      case WM_LBUTTONDOWN:
        controls::DispatchMouse(parent_, MouseEvent::Down, MouseButton::Left, shift, x, y);
        return true;
      case WM_LBUTTONDBLCLK:
        controls::DispatchMouse(parent_, MouseEvent::DoubleClick, MouseButton::Left, shift | controls::kShiftDouble,
                                x, y);
        return true;
      case WM_LBUTTONUP:
        controls::DispatchMouse(parent_, MouseEvent::Up, MouseButton::Left, shift, x, y);
        return true;
      case WM_CAPTURECHANGED:
        // Another window took the mouse: no control of ours holds it any longer.
        if (reinterpret_cast<HWND>(lParam) != window_ && controls::CaptureControl() &&
            &controls::CaptureControl()->Root() == &parent_) {
          controls::TControl* c = controls::CaptureControl();
          controls::SetCaptureControl(nullptr);
          c->MouseLeave();
        }
        return true;
      default:
        return false;
    }
  }

  void SysColorChange() {
    controls::DispatchSysColorChange(parent_);
    InvalidateRect(window_, nullptr, FALSE);
  }

  // --- IControlHost ---
  void Invalidate(const Rect& r) override {
    const RECT rc{r.Left, r.Top, r.Right, r.Bottom};
    InvalidateRect(window_, &rc, FALSE);
  }
  void SetMouseCapture(bool capture) override {
    if (capture)
      SetCapture(window_);
    else if (GetCapture() == window_)
      ReleaseCapture();
  }
  controls::Point CursorPos() override {
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(window_, &p);
    return controls::Point{p.x, p.y};
  }
  bool CursorOverRoot() override {
    POINT p{};
    GetCursorPos(&p);
    return WindowFromPoint(p) == window_;
  }
  bool MouseButtonDown(controls::MouseButton button) override {
    int key = button == controls::MouseButton::Left ? VK_LBUTTON : VK_RBUTTON;
    if (GetSystemMetrics(SM_SWAPBUTTON)) key = key == VK_LBUTTON ? VK_RBUTTON : VK_LBUTTON;
    return GetAsyncKeyState(key) < 0;
  }
  void Focus(controls::TWinControl&) override {}  // a glyph button takes no focus

 private:
  HWND window_;
  IFormControlSite& site_;
  size_t index_;
  controls::TWinControl parent_;
  std::unique_ptr<controls::TControl> control_;
};

HostedControl* HostedOf(HWND w) { return reinterpret_cast<HostedControl*>(GetWindowLongPtrW(w, kHostedSlot)); }

LRESULT CALLBACK ControlProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam);

void PaintBackground(HWND w, HDC dc, const RECT& r) {
  IFormControlSite& site = *SiteOf(w);
  const size_t i = IndexOf(w);
  HWND parent = GetParent(w);
  // Only windows of the plug-in's own classes hold a hosted control.
  const bool ours = GetWindowLongPtrW(parent, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&ControlProc);
  HostedControl* under = ours && (site.ControlAt(i).Flags & forms::kTransparent) ? HostedOf(parent) : nullptr;
  if (!under) return Fill(dc, r, site.BackColorOf(i));
  POINT at{0, 0};
  MapWindowPoints(w, parent, &at, 1);
  under->PaintAt(dc, -at.x, -at.y);
}

bool IsHosted(ControlKind kind) {
  return kind == ControlKind::Panel || kind == ControlKind::HelpBox || kind == ControlKind::GlyphButton;
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
        default:
          if (HostedControl* hosted = HostedOf(w)) hosted->Paint(dc);
          break;
      }
      EndPaint(w, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      SendMessageW(w, WM_PAINT, wParam, 0);
      return 0;
    case WM_SETTEXT: {
      const LRESULT r = DefWindowProcW(w, message, wParam, lParam);
      if (HostedControl* hosted = HostedOf(w)) hosted->TextChanged();
      InvalidateRect(w, nullptr, FALSE);
      return r;
    }
    case WM_SYSCOLORCHANGE:
      if (HostedControl* hosted = HostedOf(w)) hosted->SysColorChange();
      break;
    case WM_NCDESTROY:
      delete HostedOf(w);
      SetWindowLongPtrW(w, kHostedSlot, 0);
      break;
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
  if (c.Kind == ControlKind::GlyphButton) {
    if (message == WM_MOUSEACTIVATE) return MA_NOACTIVATE;  // a glyph button takes no focus
    if (HostedControl* hosted = HostedOf(w); hosted && hosted->Mouse(message, wParam, lParam)) return 0;
  }
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
  IFormControlSite& site = *SiteOf(window);
  if (IsHosted(site.ControlAt(index).Kind) && !HostedOf(window))
    SetWindowLongPtrW(window, kHostedSlot, reinterpret_cast<LONG_PTR>(new HostedControl(window, site, index)));
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

uint32_t HelpBoxBodyColor() { return controls::LowColorMode() ? controls::clInfoBk : controls::kHelpBoxYellow; }

}  // namespace kyt::win32
