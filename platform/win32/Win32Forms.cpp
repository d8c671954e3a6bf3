#include "platform/win32/Win32Forms.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "core/Error.h"
#include "platform/win32/Win32FormControls.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32/canvas/Win32Canvas.h"

namespace kyt::win32 {

namespace {

using forms::ControlKind;

constexpr DWORD kFormStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_3DLOOK;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int kFirstControlId = 1000;

// A dialog template without items: the form creates its controls itself.
struct EmptyTemplate {
  DLGTEMPLATE header;
  WORD menu = 0, windowClass = 0, title = 0;
};

class Win32Form;

// The form being shown by this thread; its dialog procedure finds it on
// WM_INITDIALOG through the creation parameter.
struct FormLink {
  Win32Form* form;
};

class Win32Form final : public forms::IFormWindow, public IFormControlSite {
 public:
  Win32Form(HMODULE module, const forms::Form& form, forms::FormTexts& texts, forms::IFormEvents& events)
      : module_(module), form_(form), texts_(texts), events_(events), windows_(form.Controls.size()),
        state_(form.Controls.size()) {
    for (size_t i = 0; i < form.Controls.size(); ++i) state_[i].FontColor = form.Controls[i].Font.Color;
  }
  ~Win32Form() override {
    for (auto& [key, font] : fonts_) DeleteObject(font);
  }

  int32_t Run() {
    RegisterFormControlClasses(module_);
    EmptyTemplate t{};
    t.header.style = kFormStyle;
    t.header.dwExtendedStyle = kFormExStyle;
    const INT_PTR result = DialogBoxIndirectParamW(module_, &t.header, GetActiveWindow(), DialogProc,
                                                   reinterpret_cast<LPARAM>(this));
    if (error_) std::rethrow_exception(error_);
    if (result == -1) throw Error("The dialog cannot be shown.");
    return int32_t(result);
  }

  // --- IFormWindow ---
  std::string Text(std::string_view control) const override {
    HWND w = windows_[At(control)];
    const int length = GetWindowTextLengthW(w);
    std::wstring text(size_t(length) + 1, L'\0');
    const int got = GetWindowTextW(w, text.data(), length + 1);
    text.resize(size_t(std::max(got, 0)));
    return ToCp1251(text);
  }
  void SetText(std::string_view control, const std::string& text) override {
    SetWindowTextW(windows_[At(control)], FromCp1251(text).c_str());
  }
  void Selection(std::string_view control, int32_t& start, int32_t& length) const override {
    DWORD from = 0, to = 0;
    SendMessageW(windows_[At(control)], EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    start = int32_t(from);
    length = int32_t(to) - int32_t(from);
  }
  void SetFontColor(std::string_view control, uint32_t color) override {
    const size_t i = At(control);
    if (state_[i].FontColor == color) return;
    state_[i].FontColor = color;
    InvalidateRect(windows_[i], nullptr, TRUE);
  }
  void SetCursor(std::string_view control, forms::Cursor cursor) override {
    const size_t i = At(control);
    state_[i].Cursor = cursor;
    POINT p;
    GetCursorPos(&p);
    if (WindowFromPoint(p) == windows_[i]) ::SetCursor(CursorHandle(cursor));
  }
  void BringToTop() override { BringWindowToTop(dialog_); }
  std::optional<std::string> OpenFile(const forms::OpenFileRequest& request) override {
    // "Description|pattern|..." becomes the dialog's list of zero-terminated pairs.
    std::wstring filter = FromCp1251(request.Filter);
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    filter.push_back(L'\0');
    std::vector<wchar_t> file(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = dialog_;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = DWORD(file.size());
    ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER;
    if (!GetOpenFileNameW(&ofn)) return std::nullopt;
    return ToCp1251(file.data());
  }
  void ShellOpen(const std::string& address) override {
    ShellExecuteW(dialog_, L"open", FromCp1251(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }

  // --- IFormControlSite: what the plug-in's own control classes ask. ---
  const forms::Control& ControlAt(size_t index) const override { return form_.Controls[index]; }
  HFONT FontOf(size_t index) const override { return fonts_.at(FontKeyOf(index)); }
  COLORREF FontColorOf(size_t index) const override { return Resolve(EffectiveColor(index)); }
  COLORREF BackColorOf(size_t index) const override { return Resolve(BackgroundOf(index)); }
  HCURSOR CursorOf(size_t index) const override { return CursorHandle(state_[index].Cursor); }
  controls::FontSpec ControlFont(size_t index) const override {
    controls::FontSpec font;
    const FontKey key = FontKeyOf(index);
    font.Name = key.first;
    font.Height = key.second;
    font.Color = EffectiveColor(index);
    return font;
  }
  uint32_t ParentBackground(size_t index) const override {
    const int32_t parent = ParentOf(int32_t(index));
    return parent >= 0 ? BackgroundOf(size_t(parent)) : form_.Color;
  }
  void ControlClicked(size_t index) override {
    Guarded([&] { events_.Click(*this, form_.Controls[index].Name); });
  }
  void ControlMouseMove(size_t index) override {
    Guarded([&] { events_.MouseMove(*this, form_.Controls[index].Name); });
  }
  LRESULT ControlColor(HDC dc, HWND child) override { return ColorFor(dc, child); }

 private:
  struct State {
    uint32_t FontColor = forms::kParentColor;
    forms::Cursor Cursor = forms::Cursor::Default;
  };
  using FontKey = std::pair<std::string, int16_t>;

  size_t At(std::string_view control) const {
    const int32_t i = forms::IndexOf(form_, control);
    if (i < 0) throw Error("The form " + std::string(form_.Name) + " has no control " + std::string(control) + ".");
    return size_t(i);
  }

  static HCURSOR CursorHandle(forms::Cursor cursor) {
    // IDC_HAND and IDC_ARROW
    return LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor == forms::Cursor::HandPoint ? 32649 : 32512));
  }

  static COLORREF Resolve(uint32_t color) {
    if (color & forms::kSystemColor) return GetSysColor(int(color & 0xFF));
    return COLORREF(color & 0xFFFFFF);
  }

  // Font name and height after the parents' fonts are taken into account.
  FontKey FontKeyOf(size_t index) const {
    for (int32_t i = int32_t(index); i >= 0;) {
      const forms::Control& c = form_.Controls[size_t(i)];
      if (c.Font.Name) return {c.Font.Name, c.Font.Height};
      i = c.Parent ? forms::IndexOf(form_, c.Parent) : -1;
    }
    return {form_.Font.Name, form_.Font.Height};
  }
  int32_t ParentOf(int32_t index) const {
    const forms::Control& c = form_.Controls[size_t(index)];
    return c.Parent ? forms::IndexOf(form_, c.Parent) : -1;
  }
  // The font colour, from the control or the nearest parent that sets one.
  uint32_t EffectiveColor(size_t index) const {
    for (int32_t i = int32_t(index); i >= 0; i = ParentOf(i))
      if (state_[size_t(i)].FontColor != forms::kParentColor) return state_[size_t(i)].FontColor;
    return form_.Font.Color;
  }
  uint32_t BackgroundOf(size_t index) const {
    for (int32_t i = int32_t(index); i >= 0;) {
      const forms::Control& c = form_.Controls[size_t(i)];
      if (c.Color != forms::kParentColor && !(size_t(i) == index && (c.Flags & forms::kTransparent)))
        return HelpBoxAware(size_t(i));
      i = c.Parent ? forms::IndexOf(form_, c.Parent) : -1;
    }
    return form_.Color;
  }
  // A help box shows its fixed body colour, whatever its colour property.
  uint32_t HelpBoxAware(size_t index) const {
    const forms::Control& c = form_.Controls[index];
    if (c.Kind == ControlKind::HelpBox) return HelpBoxBodyColor();
    return c.Color;
  }

  HBRUSH Brush(COLORREF color) {
    auto it = brushes_.find(color);
    if (it != brushes_.end()) return it->second;
    HBRUSH b = CreateSolidBrush(color);
    brushes_[color] = b;
    return b;
  }

  LRESULT ColorFor(HDC dc, HWND child) {
    for (size_t i = 0; i < windows_.size(); ++i) {
      if (windows_[i] != child) continue;
      SetTextColor(dc, Resolve(EffectiveColor(i)));
      const COLORREF back = Resolve(BackgroundOf(i));
      SetBkColor(dc, back);
      return reinterpret_cast<LRESULT>(Brush(back));
    }
    return 0;
  }

  template <typename F>
  void Guarded(F&& f) {
    try {
      f();
    } catch (...) {
      if (!error_) error_ = std::current_exception();
      EndDialog(dialog_, forms::kModalCancel);
    }
  }

  void Build() {
    SetWindowTextW(dialog_, FromCp1251(texts_.Caption).c_str());
    RECT r{0, 0, form_.ClientWidth, form_.ClientHeight};
    AdjustWindowRectEx(&r, DWORD(GetWindowLongW(dialog_, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongW(dialog_, GWL_EXSTYLE)));
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    SetWindowPos(dialog_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);

    for (size_t i = 0; i < form_.Controls.size(); ++i) {
      const FontKey key = FontKeyOf(i);
      if (!fonts_.count(key))
        fonts_[key] = CreateFontW(-key.second, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_DONTCARE, FromCp1251(key.first).c_str());
    }
    // Children in the tab order of their parent: the window order is the tab order.
    std::vector<size_t> order(form_.Controls.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      const auto& ca = form_.Controls[a];
      const auto& cb = form_.Controls[b];
      const int ta = ca.TabOrder < 0 ? 1000 : ca.TabOrder, tb = cb.TabOrder < 0 ? 1000 : cb.TabOrder;
      return ta < tb;
    });
    // Parents before their children, each parent's children in that order.
    std::vector<bool> made(form_.Controls.size(), false);
    for (bool progress = true; progress;) {
      progress = false;
      for (size_t i : order) {
        if (made[i]) continue;
        const forms::Control& c = form_.Controls[i];
        const int32_t parent = c.Parent ? forms::IndexOf(form_, c.Parent) : -1;
        if (parent >= 0 && !made[size_t(parent)]) continue;
        Create(i, parent >= 0 ? windows_[size_t(parent)] : dialog_);
        made[i] = progress = true;
      }
    }
    for (size_t i = 0; i < form_.Controls.size(); ++i)
      if (form_.Controls[i].Flags & forms::kDefaultButton) SendMessageW(dialog_, DM_SETDEFID, ControlId(i), 0);
  }

  WORD ControlId(size_t i) const {
    const forms::Control& c = form_.Controls[i];
    if (c.Kind == ControlKind::Button && c.ModalResult != forms::kModalNone) return WORD(c.ModalResult);
    return WORD(kFirstControlId + i);
  }

  void Create(size_t i, HWND parent) {
    const forms::Control& c = form_.Controls[i];
    const std::wstring text = FromCp1251(texts_.Controls[i]);
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, ex = 0;
    const wchar_t* cls = nullptr;
    switch (c.Kind) {
      case ControlKind::Button:
        cls = L"BUTTON";
        style |= WS_TABSTOP | ((c.Flags & forms::kDefaultButton) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
      case ControlKind::Edit:
        cls = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
        ex |= WS_EX_CLIENTEDGE;
        break;
      case ControlKind::Memo:
        cls = L"EDIT";
        style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_LEFT;
        if (c.Flags & forms::kReadOnly) style |= ES_READONLY;
        if (c.Flags & forms::kVerticalScroll) style |= WS_VSCROLL;
        if (!(c.Flags & forms::kNoBorder)) ex |= WS_EX_CLIENTEDGE;
        if (!(c.Flags & forms::kNoTabStop)) style |= WS_TABSTOP;
        break;
      default:
        cls = FormControlClass(c.Kind);
        if (c.Kind == ControlKind::Panel || c.Kind == ControlKind::HelpBox) ex |= WS_EX_CONTROLPARENT;
        break;
    }
    // A glyph button has no caption; its window text is its hint.
    const std::wstring hint = FromCp1251(c.Hint);
    const wchar_t* windowText = c.Kind == ControlKind::GlyphButton ? hint.c_str() : text.c_str();
    HWND w = CreateWindowExW(ex, cls, windowText, style, c.Left, c.Top, c.Width, c.Height, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(i))), module_,
                             static_cast<IFormControlSite*>(this));
    if (!w) throw Error("The control " + std::string(c.Name) + " cannot be created.");
    windows_[i] = w;
    SetPropW(w, kControlNameProperty, const_cast<char*>(c.Name));
    if (IsFormControlClass(c.Kind)) SetControlIndex(w, i);
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(i)), FALSE);
    if (c.Kind == ControlKind::GlyphButton) AttachHint(w, c);
  }

  void AttachHint(HWND button, const forms::Control& c) {
    if ((c.Flags & forms::kShowHint) && *c.Hint) ShowHintOnHover(button);
  }

  INT_PTR Message(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_INITDIALOG:
        Build();
        return TRUE;
      case WM_ACTIVATE:  // WMActivate, then the default handling
        Guarded([&] { events_.Activated(*this, LOWORD(wParam) != WA_INACTIVE); });
        return FALSE;
      case WM_COMMAND: {
        const WORD id = LOWORD(wParam);
        for (size_t i = 0; i < form_.Controls.size(); ++i) {
          const forms::Control& c = form_.Controls[i];
          if (c.Kind != ControlKind::Button || ControlId(i) != id) continue;
          if (HIWORD(wParam) != BN_CLICKED) return FALSE;
          Guarded([&] { events_.Click(*this, c.Name); });
          if (c.ModalResult != forms::kModalNone) Close(c.ModalResult);
          return TRUE;
        }
        // Esc reaches the form as IDCANCEL; only a cancel button takes it.
        return FALSE;
      }
      case WM_CLOSE:
        Close(forms::kModalCancel);
        return TRUE;
      case WM_MOUSEMOVE:
        if (form_.NotifyMouse) Guarded([&] { events_.MouseMove(*this, ""); });
        return FALSE;
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN:
        return INT_PTR(ColorFor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
      case WM_CTLCOLORDLG:
        return INT_PTR(Brush(Resolve(form_.Color)));
      case WM_DESTROY:
        for (auto& [color, brush] : brushes_) DeleteObject(brush);
        brushes_.clear();
        return FALSE;
      default:
        return FALSE;
    }
  }

  // The controls' texts are read back while their windows still exist.
  void Close(int32_t result) {
    for (size_t i = 0; i < windows_.size(); ++i)
      if (windows_[i] && form_.Controls[i].Kind != ControlKind::GlyphButton)
        texts_.Controls[i] = Text(form_.Controls[i].Name);
    texts_.Caption = ToCp1251(WindowTextOf(dialog_));
    EndDialog(dialog_, result);
  }

  static std::wstring WindowTextOf(HWND w) {
    const int length = GetWindowTextLengthW(w);
    std::wstring text(size_t(length) + 1, L'\0');
    const int got = GetWindowTextW(w, text.data(), length + 1);
    text.resize(size_t(std::max(got, 0)));
    return text;
  }

  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32Form* self = nullptr;
    if (message == WM_INITDIALOG) {
      self = reinterpret_cast<Win32Form*>(lParam);
      self->dialog_ = dialog;
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    } else {
      self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(dialog, DWLP_USER));
    }
    if (!self) return FALSE;
    try {
      return self->Message(message, wParam, lParam);
    } catch (...) {
      if (!self->error_) self->error_ = std::current_exception();
      EndDialog(dialog, forms::kModalCancel);
      return TRUE;
    }
  }

  HMODULE module_;
  const forms::Form& form_;
  forms::FormTexts& texts_;
  forms::IFormEvents& events_;
  std::vector<HWND> windows_;
  std::vector<State> state_;
  std::map<FontKey, HFONT> fonts_;
  std::map<COLORREF, HBRUSH> brushes_;
  HWND dialog_ = nullptr;
  std::exception_ptr error_;
};

}  // namespace

int32_t RunForm(HMODULE module, const forms::Form& form, forms::FormTexts& texts, forms::IFormEvents& events) {
  // The host-styled controls ask Windows for system colours, colour depth,
  // theme, accent colour and the help-box glyph resources.
  static Win32Graphics graphics;
  controls::SetGraphicsSystem(&graphics);
  Win32Form window(module, form, texts, events);
  return window.Run();
}

void UnregisterFormClasses(HMODULE module) { UnregisterFormControlClasses(module); }

}  // namespace kyt::win32
