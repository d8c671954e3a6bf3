#include "tests/win32/EditorForms.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "controls/Canvas.h"
#include "tests/win32/Checks.h"
#include "tests/win32/DialogDriver.h"
#include "tests/win32/HostSide.h"
#include "tests/win32/ImportPatch.h"
#include "tests/win32/PngFiles.h"

namespace kyt::testhost {

namespace {

// ---- What the plug-in imports, intercepted. ----

struct FileDialogCall {
  std::vector<std::wstring> filter;  // description, pattern, ...
  bool initialDir = false, defExt = false, title = false;
};

std::vector<FileDialogCall> g_fileDialogs;
std::optional<std::wstring> g_fileAnswer;
std::vector<std::pair<std::wstring, std::wstring>> g_shellOpened;  // verb, file
std::set<void*> g_freedByPlugin;
decltype(&GlobalFree) g_realGlobalFree = nullptr;

BOOL WINAPI FakeGetOpenFileName(OPENFILENAMEW* ofn) {
  FileDialogCall call;
  for (const wchar_t* p = ofn->lpstrFilter; p && *p; p += wcslen(p) + 1) call.filter.emplace_back(p);
  call.initialDir = ofn->lpstrInitialDir != nullptr;
  call.defExt = ofn->lpstrDefExt != nullptr;
  call.title = ofn->lpstrTitle != nullptr;
  g_fileDialogs.push_back(call);
  if (!g_fileAnswer || g_fileAnswer->size() + 1 > ofn->nMaxFile) return FALSE;
  wcscpy(ofn->lpstrFile, g_fileAnswer->c_str());
  return TRUE;
}

HINSTANCE WINAPI FakeShellExecute(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
  g_shellOpened.emplace_back(verb ? verb : L"(null)", file ? file : L"(null)");
  return reinterpret_cast<HINSTANCE>(INT_PTR(42));
}

HGLOBAL WINAPI TrackedGlobalFree(HGLOBAL block) {
  g_freedByPlugin.insert(block);
  return g_realGlobalFree(block);
}

// ---- Texts. ----

std::string Cp(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(1251, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(1251, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring FromCp(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(1251, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(1251, 0, text.data(), int(text.size()), out.data(), n);
  return out;
}

// ---- The form's windows by control name. ----

const char* NameOf(HWND w) { return static_cast<const char*>(GetPropW(w, L"kytControl")); }

std::map<std::string, HWND> Controls(HWND dialog) {
  std::map<std::string, HWND> out;
  EnumChildWindows(
      dialog,
      [](HWND w, LPARAM p) -> BOOL {
        if (const char* name = NameOf(w)) (*reinterpret_cast<std::map<std::string, HWND>*>(p))[name] = w;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

RECT InClient(HWND w, HWND dialog) {
  RECT r{};
  GetWindowRect(w, &r);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
         std::to_string(r.bottom - r.top);
}

void Click(HWND button) {
  SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

std::string Text(HWND w) { return Cp(WindowText(w)); }
void SetText(HWND w, const std::string& cp1251) { SetWindowTextW(w, FromCp(cp1251).c_str()); }

// ---- The layouts as the author must see them. ----

struct Expected {
  const char* name;
  const char* parent;  // null: the form
  int x, y, w, h;
};

const Expected kForm1[] = {
    {"OKBtn", nullptr, 231, 240, 65, 25},           {"CancelBtn", nullptr, 307, 240, 62, 25},
    {"NeoBookPanel1", nullptr, 8, 8, 361, 145},      {"Edit1", "NeoBookPanel1", 12, 28, 307, 23},
    {"SpeedButton1", "NeoBookPanel1", 328, 28, 25, 24}, {"NeoBookHelpBox1", "NeoBookPanel1", 8, 64, 345, 73},
    {"Image1", "NeoBookHelpBox1", 4, 26, 37, 39},    {"Label2", "NeoBookHelpBox1", 40, 24, 305, 49},
    {"NeoBookCommandBox", nullptr, 8, 160, 361, 73}, {"CommandLabel", "NeoBookCommandBox", 8, 24, 345, 41},
};

std::vector<Expected> Form2(bool picture) {
  std::vector<Expected> e = {
      {"OKBtn", nullptr, 232, 318, 65, 25},
      {"CancelBtn", nullptr, 304, 318, 65, 25},
      {"NeoBookPanel1", nullptr, 8, 8, 361, 153},
      {"Edit1", "NeoBookPanel1", 12, 28, 309, 23},
      {"SpeedButton1", "NeoBookPanel1", 328, 28, 25, 24},
      {"NeoBookHelpBox1", "NeoBookPanel1", 12, 64, 349, 81},
      {"Image2", "NeoBookHelpBox1", 4, 26, 37, 39},
      {"Label1", "NeoBookHelpBox1", 40, 24, 305, 49},
      {"NeoBookPanel2", nullptr, 8, 168, 361, 65},
      {"EditVar2", "NeoBookPanel2", 12, 28, picture ? 277 : 309, 23},
      {"SpeedButton2", "NeoBookPanel2", 328, 28, 24, 24},
      {"NeoBookCommandBox", nullptr, 8, 238, 361, 73},
      {"CommandLabel", "NeoBookCommandBox", 8, 24, 345, 41},
  };
  if (picture) e.push_back({"SpeedButtonFon2", "NeoBookPanel2", 296, 28, 24, 24});
  return e;
}

std::vector<Expected> Form5() {
  std::vector<Expected> e = {
      {"OKBtn", nullptr, 232, 538, 65, 25},
      {"CancelBtn", nullptr, 304, 538, 65, 25},
      {"NeoBookPanel1", nullptr, 8, 8, 361, 153},
      {"Edit1", "NeoBookPanel1", 12, 28, 309, 23},
      {"SpeedButton1", "NeoBookPanel1", 328, 28, 25, 24},
      {"NeoBookHelpBox1", "NeoBookPanel1", 12, 64, 349, 81},
      {"NeoBookPanel2", nullptr, 8, 168, 361, 65},
      {"EditVar2", "NeoBookPanel2", 12, 28, 245, 23},
      {"SpeedButtonFon2", "NeoBookPanel2", 264, 28, 24, 24},
      {"SpeedButtonEmb2", "NeoBookPanel2", 296, 28, 24, 24},
      {"SpeedButton2", "NeoBookPanel2", 328, 28, 24, 24},
      {"NeoBookPanel3", nullptr, 8, 240, 361, 65},
      {"NeoBookPanel4", nullptr, 8, 312, 361, 65},
      {"NeoBookPanel5", nullptr, 7, 382, 361, 65},
      {"NeoBookCommandBox", nullptr, 8, 458, 361, 73},
  };
  static const char* const kNumberPanels[][3] = {{"NeoBookPanel3", "EditVar3", "SpeedButton3"},
                                                  {"NeoBookPanel4", "EditVar4", "SpeedButton4"},
                                                  {"NeoBookPanel5", "EditVar5", "SpeedButton5"}};
  for (const auto& p : kNumberPanels) {
    e.push_back({p[1], p[0], 12, 28, 309, 23});
    e.push_back({p[2], p[0], 328, 28, 24, 24});
  }
  return e;
}

const Expected kAbout[] = {
    {"Image1", nullptr, 8, 8, 37, 39},          {"Label1", nullptr, 48, 8, 303, 38},
    {"OKBtn", nullptr, 136, 266, 83, 25},       {"NeoBookHelpBox1", nullptr, 8, 56, 344, 65},
    {"Label2", "NeoBookHelpBox1", 8, 32, 328, 17}, {"NeoBookPanel1", nullptr, 8, 128, 345, 133},
    {"Memo1", "NeoBookPanel1", 8, 24, 329, 97},
};

// Every expected control at its place, relative to the form's client area.
void CheckLayout(const std::string& form, HWND dialog, const std::vector<Expected>& expected, int cw, int ch) {
  RECT client{};
  GetClientRect(dialog, &client);
  Check(form + ": client area " + std::to_string(cw) + " x " + std::to_string(ch),
        client.right == cw && client.bottom == ch, Describe(client));
  const LONG style = GetWindowLongW(dialog, GWL_STYLE);
  Check(form + ": fixed dialog border without minimise or maximise",
        (style & DS_MODALFRAME) && !(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)));
  RECT wr{};
  GetWindowRect(dialog, &wr);
  const int dx = (wr.left + wr.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2;
  const int dy = (wr.top + wr.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2;
  Check(form + ": centred on the screen", dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1, Describe(wr));

  const auto controls = Controls(dialog);
  std::map<std::string, POINT> origin;
  bool all = true;
  std::string wrong;
  for (const Expected& e : expected) {
    POINT base{0, 0};
    if (e.parent) base = origin[e.parent];
    origin[e.name] = POINT{base.x + e.x, base.y + e.y};
    auto it = controls.find(e.name);
    if (it == controls.end()) {
      all = false;
      wrong += std::string(" ") + e.name + " missing;";
      continue;
    }
    const RECT r = InClient(it->second, dialog);
    const RECT want{base.x + e.x, base.y + e.y, base.x + e.x + e.w, base.y + e.y + e.h};
    if (!EqualRect(&r, &want)) {
      all = false;
      wrong += std::string(" ") + e.name + " at " + Describe(r) + " not " + Describe(want) + ";";
    }
    if (e.parent && (it->second == nullptr || GetParent(it->second) != controls.at(e.parent))) {
      all = false;
      wrong += std::string(" ") + e.name + " not inside " + e.parent + ";";
    }
  }
  Check(form + ": every control at its place and size", all, wrong);
}

std::vector<std::string> TabOrder(HWND dialog, HWND first) {
  std::vector<std::string> order;
  HWND w = first;
  for (int i = 0; i < 20 && w; ++i) {
    order.push_back(NameOf(w) ? NameOf(w) : "?");
    w = GetNextDlgTabItem(dialog, w, FALSE);
    if (w == first) break;
  }
  return order;
}

std::string Joined(const std::vector<std::string>& v) {
  std::string out;
  for (const auto& s : v) out += (out.empty() ? "" : " ") + s;
  return out;
}

bool FontIs(HWND w, const wchar_t* face, int height) {
  HFONT f = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  if (!f || !GetObjectW(f, sizeof(lf), &lf)) return false;
  return wcscmp(lf.lfFaceName, face) == 0 && lf.lfHeight == -height;
}

// ---- Screenshots. ----

// The forms in the classic colour scheme, the one the headless drawing uses,
// while the object lives; the scheme before is put back afterwards.
class ClassicColours {
 public:
  ClassicColours() {
    for (int i = COLOR_SCROLLBAR; i <= COLOR_MENUBAR; ++i) {
      indexes_.push_back(i);
      before_.push_back(GetSysColor(i));
      classic_.push_back(COLORREF(controls::DefaultSysColor(i) & 0xFFFFFF));
    }
    SetSysColors(int(indexes_.size()), indexes_.data(), classic_.data());
  }
  ~ClassicColours() { SetSysColors(int(indexes_.size()), indexes_.data(), before_.data()); }
  ClassicColours(const ClassicColours&) = delete;
  ClassicColours& operator=(const ClassicColours&) = delete;

 private:
  std::vector<INT> indexes_;
  std::vector<COLORREF> before_, classic_;
};

// Wine copies a window's drawing to the X server only when the thread waits
// for messages (or 50 ms after it last did so): a wait of no time makes the
// screen show what has just been painted.
void ShowPainting() {
  GdiFlush();
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
}

Image Capture(HWND w) {
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  ShowPainting();
  RECT r{};
  GetWindowRect(w, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  Image image{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<uint32_t*>(bits)[i] & 0xFFFFFF;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return image;
}

// The client area only: the part the headless drawing reproduces.
Image ClientPart(HWND dialog, const Image& window) {
  RECT wr{}, cr{};
  GetWindowRect(dialog, &wr);
  GetClientRect(dialog, &cr);
  POINT o{0, 0};
  ClientToScreen(dialog, &o);
  const int ox = o.x - wr.left, oy = o.y - wr.top;
  Image out{cr.right, cr.bottom, std::vector<uint32_t>(size_t(cr.right) * size_t(cr.bottom))};
  for (int y = 0; y < cr.bottom; ++y)
    for (int x = 0; x < cr.right; ++x)
      out.pixels[size_t(y) * size_t(cr.right) + size_t(x)] =
          (ox + x < window.width && oy + y < window.height) ? window.At(ox + x, oy + y) : 0;
  return out;
}

// A 0xRRGGBB pixel of a capture for a COLORREF.
uint32_t Pixel(COLORREF c) { return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c); }

bool LowColour() {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return bits <= 8;
}

// A bitmap resource of the plug-in as 0xRRGGBB pixels.
Image ResourceBitmap(HMODULE plugin, const wchar_t* name) {
  Image out;
  HBITMAP bmp = HBITMAP(LoadImageW(plugin, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!bmp) return out;
  BITMAP info{};
  GetObjectW(bmp, sizeof info, &info);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = info.bmWidth;
  bi.bmiHeader.biHeight = -info.bmHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  out.width = info.bmWidth;
  out.height = info.bmHeight;
  out.pixels.resize(size_t(out.width) * size_t(out.height));
  HDC screen = GetDC(nullptr);
  if (GetDIBits(screen, bmp, 0, UINT(out.height), out.pixels.data(), &bi, DIB_RGB_COLORS) != out.height)
    out = Image{};
  ReleaseDC(nullptr, screen);
  DeleteObject(bmp);
  for (uint32_t& p : out.pixels) p &= 0xFFFFFF;
  return out;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int shift : {0, 8, 16})
    if (std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)) > tolerance) return false;
  return true;
}

int Luminance(uint32_t p) { return int((p >> 16) & 255) * 3 + int((p >> 8) & 255) * 6 + int(p & 255); }

// Whether `picture` appears somewhere inside `area` of `shot`, every pixel but
// the transparent ones (the bottom-left pixel's colour) within `tolerance` per
// channel, and its dark pixels darker on the screen than its light ones.
bool Shows(const Image& shot, const RECT& area, const Image& picture, int tolerance) {
  if (picture.pixels.empty()) return false;
  const uint32_t transparent = picture.At(0, picture.height - 1);
  for (int oy = area.top; oy + picture.height <= area.bottom; ++oy)
    for (int ox = area.left; ox + picture.width <= area.right; ++ox) {
      bool all = true;
      int darkest = 0, lightest = 10 * 255;  // on the screen, of the picture's lightest and darkest pixels
      int minSource = 10 * 255, maxSource = 0;
      for (int y = 0; all && y < picture.height; ++y)
        for (int x = 0; all && x < picture.width; ++x) {
          const uint32_t p = picture.At(x, y);
          if (p == transparent) continue;
          all = ox + x < shot.width && oy + y < shot.height && Near(shot.At(ox + x, oy + y), p, tolerance);
          if (!all) break;
          const int l = Luminance(p), shown = Luminance(shot.At(ox + x, oy + y));
          if (l < minSource) minSource = l, darkest = shown;
          if (l > maxSource) maxSource = l, lightest = shown;
        }
      if (all && (maxSource - minSource < 640 || lightest - darkest >= 640)) return true;
    }
  return false;
}

std::string Hex(uint32_t p) {
  char text[8];
  std::snprintf(text, sizeof text, "%06X", unsigned(p & 0xFFFFFF));
  return text;
}

// The colours the host-styled controls must show where they are fixed, in
// either colour mode, checked on the screenshot of the client area. On a
// 256-colour screen wine dithers colours outside its palette and maps
// pictures to it loosely: there the mean of a block of pixels must come near
// the colour, and pictures may be off by 0x80 per channel as long as their
// dark pixels stay darker than their light ones.
void CheckFormPixels(const EditorUnderTest& e, HWND dialog, const std::string& name, const Image& client) {
  const bool low = LowColour();
  const std::string mode = low ? " (256 colours)" : "";
  const auto w = Controls(dialog);
  std::string wrong;
  auto at = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < client.width && y < client.height ? client.At(x, y) : 0xFFFFFFFFu;
  };
  auto report = [&](const std::string& what, int x, int y, uint32_t got, uint32_t want) {
    wrong += " " + what + " at " + std::to_string(x) + "," + std::to_string(y) + " " + Hex(got) + " not " +
             Hex(want) + ";";
  };
  // One pixel, for colours of the palette.
  auto exact = [&](const std::string& what, int x, int y, COLORREF want) {
    if (at(x, y) != Pixel(want)) report(what, x, y, at(x, y), Pixel(want));
  };
  // A colour that may be dithered: the 8 x 4 block from (x, y) on a 256-colour screen.
  auto area = [&](const std::string& what, int x, int y, COLORREF want) {
    if (!low) return exact(what, x, y, want);
    int sum[3] = {0, 0, 0};
    for (int dy = 0; dy < 4; ++dy)
      for (int dx = 0; dx < 8; ++dx)
        for (int k = 0; k < 3; ++k) sum[k] += int((at(x + dx, y + dy) >> (16 - 8 * k)) & 255);
    const uint32_t mean = uint32_t(sum[0] / 32) << 16 | uint32_t(sum[1] / 32) << 8 | uint32_t(sum[2] / 32);
    if (!Near(mean, Pixel(want), 24)) report(what + " (mean)", x, y, mean, Pixel(want));
  };
  const int tolerance = low ? 0x80 : 0;
  const COLORREF face = GetSysColor(COLOR_BTNFACE), shadow = GetSysColor(COLOR_BTNSHADOW);
  area("form", client.width / 2 - 4, 0, face);
  const Image glyph = ResourceBitmap(e.plugin, low ? L"NBHB_GLYPH_16" : L"NBHB_GLYPH_256");
  for (const auto& [control, window] : w) {
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    const RECT r = InClient(window, dialog);
    const int mid = (r.left + r.right) / 2;
    const std::string c = control;
    if (wcscmp(cls, L"TNeoBookHelpBox2") == 0) {
      area(c + " body", mid - 4, r.bottom - 8, low ? GetSysColor(COLOR_INFOBK) : RGB(255, 255, 225));
      exact(c + " outline", mid, r.bottom - 1, low ? shadow : RGB(178, 178, 162));
      if (!Shows(client, RECT{r.left, r.top, r.left + 30, r.top + 30}, glyph, tolerance))
        wrong += " " + c + " has no glyph;";
    } else if (wcscmp(cls, L"TNeoBookPanel") == 0) {
      area(c + " body", r.right - 12, r.bottom - 8, face);
      const int y = (r.top + r.bottom) / 2;
      if (low) {
        exact(c + " edge", r.left, y, RGB(128, 128, 128));
      } else if (Luminance(at(r.left, y)) >= Luminance(Pixel(face))) {
        wrong += " " + c + " edge not darker than the face;";
      }
    } else if (wcscmp(cls, L"TNeoBookButton") == 0) {
      const wchar_t* picture = c == "SpeedButton1"      ? L"KYT_GLYPH_CHOOSE_OBJECT"
                               : c == "SpeedButtonFon2" ? L"KYT_GLYPH_CHOOSE_FILE"
                               : c == "SpeedButtonEmb2" ? L"KYT_GLYPH_CHOOSE_EMBEDDED"
                                                        : L"KYT_GLYPH_INSERT_VARIABLE";
      if (!Shows(client, r, ResourceBitmap(e.plugin, picture), tolerance)) wrong += " " + c + " has no glyph;";
      // A flat button at rest has no frame: its parent's face shows at its edge.
      if (!low) exact(c + " at rest", r.left, (r.top + r.bottom) / 2, face);
    }
  }
  Check(name + mode + ": fixed colours, help-box glyphs and button glyphs on the screen", wrong.empty(), wrong);
}

void Screenshot(const EditorUnderTest& e, HWND dialog, const std::string& name) {
  const Image shot = Capture(dialog);
  std::string error;
  const std::string path = e.outputDir + "editor-" + name + e.screenshotSuffix + ".png";
  Check("screenshot " + name + e.screenshotSuffix, WritePng(path, shot, error), error);
  const Image client = ClientPart(dialog, shot);
  WritePng(e.outputDir + "editor-" + name + e.screenshotSuffix + "-client.png", client, error);
  CheckFormPixels(e, dialog, name, client);
}

// ---- Running a form. ----

struct Slots {
  std::vector<char*> p;
  explicit Slots(std::initializer_list<const char*> texts) {
    for (const char* t : texts) p.push_back(t ? HostString(t) : nullptr);
  }
  ~Slots() {
    for (char* s : p)
      if (s) GlobalFree(s);
  }
  std::string operator[](size_t i) const { return p[i] ? std::string(p[i]) : std::string("(null)"); }
};

// nbEditAction with `handler` working the form; the number of forms shown.
int Edit(const EditorUnderTest& e, int32_t action, Slots& slots, bool& result,
         const std::function<void(HWND, const std::map<std::string, HWND>&)>& handler) {
  DialogDriver driver([&](HWND dialog) { handler(dialog, Controls(dialog)); });
  result = e.editAction(action, slots.p.data(), int32_t(slots.p.size()) - 1) != 0;
  return driver.Handled();
}

void CheckLayoutsTextsAndKeys(const EditorUnderTest& e) {
  struct FormCase {
    int32_t action;
    const char* form;
    std::vector<Expected> layout;
    int height;
    std::vector<std::string> tabs;
  };
  const std::vector<FormCase> cases = {
      {1, "TEditForm1", std::vector<Expected>(std::begin(kForm1), std::end(kForm1)), 272,
       {"OKBtn", "CancelBtn", "Edit1"}},
      {5, "TEditForm2RC", Form2(false), 350, {"OKBtn", "CancelBtn", "Edit1", "EditVar2"}},
      {4, "TEditForm2FL", Form2(true), 350, {"OKBtn", "CancelBtn", "Edit1", "EditVar2"}},
      {3, "TEditForm5KL", Form5(), 570,
       {"OKBtn", "CancelBtn", "Edit1", "EditVar2", "EditVar4", "EditVar3", "EditVar5"}},
  };
  const std::string hint = Cp(L"Объект должен иметь тип Прямоугольник (Rectangle). Использование другого объекта "
                              L"не рекомендуется. Требуется версия NeoBook 4.0.9 или выше.");
  for (const FormCase& c : cases) {
    Slots slots({"Rect1", "two", "3", "4", "5"});
    slots.p.resize(c.action == 3 ? 5 : c.action >= 4 ? 2 : 1);
    bool ok = false;
    std::string caption, box, label, panel1, okText, cancelText, helpCaption, helpLabel;
    std::vector<std::string> tabs, hints;
    bool fonts = false, owner = false;
    const int shown = Edit(e, c.action, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>& w) {
      CheckLayout(c.form, dialog, c.layout, 376, c.height);
      caption = Text(dialog);
      box = Text(w.at("NeoBookCommandBox"));
      label = Text(w.at("CommandLabel"));
      panel1 = Text(w.at("NeoBookPanel1"));
      okText = Text(w.at("OKBtn"));
      cancelText = Text(w.at("CancelBtn"));
      helpCaption = Text(w.at("NeoBookHelpBox1"));
      helpLabel = Text(w.at(c.action <= 2 ? "Label2" : "Label1"));
      for (const char* b : {"SpeedButton1", "SpeedButton2", "SpeedButtonFon2", "SpeedButtonEmb2", "SpeedButton5"})
        if (w.count(b)) hints.push_back(Text(w.at(b)));
      tabs = TabOrder(dialog, w.at("OKBtn"));
      fonts = FontIs(w.at("Edit1"), L"Arial", 12) && FontIs(w.at("OKBtn"), L"MS Sans Serif", 11) &&
              FontIs(w.at("CancelBtn"), L"MS Sans Serif", 11);
      owner = GetWindow(dialog, GW_OWNER) == e.hostWindow;
      Screenshot(e, dialog, c.form);
      SetFocus(w.at("Edit1"));
      PostMessageW(w.at("Edit1"), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    const std::string f = c.form;
    Check(f + ": one form for action " + std::to_string(c.action), shown == 1);
    const char* name = c.action == 1 ? "kytDcrCreate" : c.action == 3 ? "kytDcrLoadKnowledgebase"
                                                      : c.action == 4 ? "kytDcrLoadPicture" : "kytDcrRecognize";
    Check(f + ": form caption with one blank before the word", caption == name + Cp(L" Свойства"), Shown(caption));
    Check(f + ": command box with two blanks before (kytDCR)", box == std::string(name) + "  (kytDCR)", Shown(box));
    Check(f + ": OK and Отменить", okText == "OK" && cancelText == Cp(L"Отменить"), Shown(cancelText));
    Check(f + ": help box caption and text", helpCaption == Cp(L"Подсказка") && helpLabel == hint, Shown(helpLabel));
    Check(f + ": tab order " + Joined(c.tabs), tabs == c.tabs, Joined(tabs));
    Check(f + ": fields in Arial 12 pixels, buttons in MS Sans Serif 8 point", fonts);
    Check(f + ": the form belongs to the active window", owner);
    Check(f + ": Esc closes with false, the slots untouched", !ok && slots[0] == "Rect1");
    if (c.action == 1) {
      Check(f + ": object panel caption", panel1 == Cp(L"Объект Прямоугольник (Rectangle):"), Shown(panel1));
      Check(f + ": description", label == Cp(L"Создать DCR-окно."), Shown(label));
      Check(f + ": choose-object hint", hints == std::vector<std::string>{Cp(L"Выбрать объект из списка")},
            Shown(hints.empty() ? "" : hints[0]));
    }
    if (c.action == 3)
      Check(f + ": hints of the object, variable, file, embedded and number buttons",
            hints == std::vector<std::string>{Cp(L"Выбрать объект из списка"), Cp(L"Вставить переменную"),
                                              Cp(L"Выбрать файл"), Cp(L"Выбрать вложенный файл"),
                                              Cp(L"Вставить переменную")});
    if (c.action == 4)
      Check(f + ": picture panel caption", panel1 == Cp(L"Прямоугольник с DCR для загрузки изображения:"),
            Shown(panel1));
  }
}

void CheckSlotRules(const EditorUnderTest& e) {
  // OK with Enter in a field: every slot a new fixed block, the emptied one a single zero byte.
  {
    Slots slots({"Rect1", "C:\\kb\\latin.dcr", "196", nullptr, "22"});
    const std::vector<char*> before = slots.p;
    bool ok = false;
    std::string panel3;
    Edit(e, 3, slots, ok, [&](HWND, const std::map<std::string, HWND>& w) {
      panel3 = Text(w.at("NeoBookPanel3"));
      SetText(w.at("EditVar3"), "150");
      SetText(w.at("EditVar5"), "");
      SetFocus(w.at("EditVar2"));
      PostMessageW(w.at("EditVar2"), WM_KEYDOWN, VK_RETURN, 0);
    });
    bool fresh = true;
    for (size_t i = 0; i < 5; ++i)
      if (!slots.p[i] || slots.p[i] == before[i] || !IsFixedGlobalBlock(slots.p[i], std::strlen(slots.p[i]) + 1))
        fresh = false;
    Check("nbEditAction 3, Enter: true, every slot a new fixed block", ok && fresh);
    Check("nbEditAction 3: the slots in field order",
          slots[0] == "Rect1" && slots[1] == "C:\\kb\\latin.dcr" && slots[2] == "150" && slots[3].empty() &&
              slots[4].empty() && GlobalSize(slots.p[4]) >= 1,
          Shown(slots[2]) + " " + Shown(slots[3]));
    Check("nbEditAction 3: third panel caption", panel3 == Cp(L"B/W Порог:"), Shown(panel3));
  }
  // OK by a click, nothing changed: still new blocks.
  {
    Slots slots({"Rect1"});
    char* before = slots.p[0];
    bool ok = false;
    Edit(e, 2, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>&) { Press(dialog, IDOK); });
    Check("nbEditAction 2, OK without a change: true and a new block", ok && slots.p[0] != before &&
                                                                            slots[0] == "Rect1");
  }
  // Cancel and the close box: false, the pointers untouched.
  for (int how = 0; how < 2; ++how) {
    Slots slots({"Rect1", "Result"});
    const std::vector<char*> before = slots.p;
    bool ok = true;
    Edit(e, 5, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>& w) {
      SetText(w.at("EditVar2"), "Changed");
      if (how == 0)
        Press(dialog, IDCANCEL);
      else
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    });
    Check(std::string("nbEditAction 5, ") + (how == 0 ? "Cancel" : "close box") + ": false, slots untouched",
          !ok && slots.p == before && slots[1] == "Result");
  }
  for (int32_t action : {0, 6}) {
    Slots slots({"Rect1"});
    bool ok = true;
    const int shown = Edit(e, action, slots, ok, [](HWND dialog, const std::map<std::string, HWND>&) {
      Press(dialog, IDOK);
    });
    Check("nbEditAction " + std::to_string(action) + ": false, no form", !ok && shown == 0 && slots[0] == "Rect1");
  }
}

struct Insert {
  const char* text;
  int start, end;
  const char* expected;
};

// ---- Real mouse input. ----

// Handles the messages of `dialog` and its controls for a while (the test
// driver's own timer waits), so that wine delivers the pointer's moves.
void PumpDialog(HWND dialog, int milliseconds) {
  const DWORD end = GetTickCount() + DWORD(milliseconds);
  do {
    MSG msg;
    while (PeekMessageW(&msg, dialog, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  } while (GetTickCount() < end);
}

void MoveMouse(HWND dialog, POINT screen) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = LONG((screen.x * 65535 + GetSystemMetrics(SM_CXSCREEN) / 2) / (GetSystemMetrics(SM_CXSCREEN) - 1));
  in.mi.dy = LONG((screen.y * 65535 + GetSystemMetrics(SM_CYSCREEN) / 2) / (GetSystemMetrics(SM_CYSCREEN) - 1));
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof in);
  PumpDialog(dialog, 200);
}

void PressMouse(HWND dialog, bool down) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  SendInput(1, &in, sizeof in);
  PumpDialog(dialog, 200);
}

// A glyph button of a form under the real pointer: flat at rest, framed under
// the pointer, sunk while pressed, flat again when the pointer leaves; a press
// that is let go outside the button is no click.
void CheckButtonStates(const EditorUnderTest& e) {
  HostSide& host = Host();
  Slots slots({"Rect1"});
  bool ok = false;
  std::string states;
  size_t requests = 0;
  Edit(e, 1, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>& w) {
    HWND button = w.at("SpeedButton1");
    RECT r{};
    GetWindowRect(button, &r);
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    RECT form{};
    GetWindowRect(w.at("NeoBookPanel1"), &form);
    const POINT away{form.left + 200, form.bottom - 4};
    MoveMouse(dialog, away);
    requests = host.requests.size();
    const Image rest = Capture(button);
    MoveMouse(dialog, centre);
    const Image hover = Capture(button);
    PressMouse(dialog, true);
    const Image pressed = Capture(button);
    MoveMouse(dialog, away);
    PressMouse(dialog, false);
    const Image after = Capture(button);
    const uint32_t face = Pixel(GetSysColor(COLOR_BTNFACE));
    const int mid = rest.height / 2;
    states = std::string(rest.At(0, mid) == face ? "flat" : "framed") + (hover.At(0, mid) != face ? " framed" : " flat") +
             (pressed.pixels != hover.pixels && pressed.pixels != rest.pixels ? " sunk" : " unchanged") +
             (after.pixels == rest.pixels ? " flat" : " not-flat");
    requests = host.requests.size() - requests;
    Press(dialog, IDCANCEL);
  });
  Check("a form's glyph button under the real mouse: flat, framed on hover, sunk when pressed, flat after",
        states == "flat framed sunk flat", states);
  Check("a press let go outside the button asks the host nothing", requests == 0);
}

void CheckPickers(const EditorUnderTest& e) {
  HostSide& host = Host();
  host.pickedVariable = "[V]";
  const Insert inserts[] = {
      {"", 0, 0, "[V]"}, {"abc", 3, 3, "abc[V]"}, {"abc", 1, 2, "a[V]c"}, {"abc", 0, -1, "[V]"}};
  for (int32_t action : {4, 3}) {
    for (const Insert& c : inserts) {
      Slots slots({"Rect1", c.text, "1", "2", "3"});
      slots.p.resize(action == 3 ? 5 : 2);
      bool ok = false;
      std::string after;
      Edit(e, action, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>& w) {
        SendMessageW(w.at("EditVar2"), EM_SETSEL, WPARAM(c.start), LPARAM(c.end));
        Click(w.at("SpeedButton2"));
        after = Text(w.at("EditVar2"));
        Press(dialog, IDOK);
      });
      Check("action " + std::to_string(action) + ": variable into \"" + c.text + "\" selected " +
                std::to_string(c.start) + ".." + std::to_string(c.end),
            ok && after == c.expected && slots[1] == c.expected, Shown(after));
    }
  }
  // Number fields and the result variable are replaced whole.
  {
    Slots slots({"Rect1", "kb", "196", "10", "22"});
    bool ok = false;
    std::string a, b, c;
    Edit(e, 3, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>& w) {
      for (const char* f : {"EditVar3", "EditVar4", "EditVar5"}) SendMessageW(w.at(f), EM_SETSEL, 1, 2);
      Click(w.at("SpeedButton3"));
      Click(w.at("SpeedButton4"));
      Click(w.at("SpeedButton5"));
      Press(dialog, IDOK);
    });
    Check("number fields: the variable replaces the whole field",
          ok && slots[2] == "[V]" && slots[3] == "[V]" && slots[4] == "[V]", Shown(slots[2]));
  }
  {
    Slots slots({"Rect1", "Result"});
    bool ok = false;
    host.pickedObject = "Rect9";
    Edit(e, 5, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>& w) {
      SendMessageW(w.at("EditVar2"), EM_SETSEL, 2, 4);
      Click(w.at("SpeedButton2"));
      SendMessageW(w.at("Edit1"), EM_SETSEL, 1, 2);
      Click(w.at("SpeedButton1"));
      Press(dialog, IDOK);
    });
    Check("result variable and object: replaced whole", ok && slots[1] == "[V]" && slots[0] == "Rect9",
          Shown(slots[0]) + " " + Shown(slots[1]));
    Check("the object picker is request 8 with the field's text",
          host.requests.size() >= 1 && host.requests.back().code == 8 && host.requests.back().data == "Rect1");
  }
  // The embedded chooser.
  for (const auto& [answer, expected] : std::vector<std::pair<std::string, std::string>>{
           {"EMBEDDED:\\\\\\Latin.dcr", "[Embedded]Latin.dcr"}, {"C:\\plain.dcr", "C:\\plain.dcr"}}) {
    host.pickedEmbedded = answer;
    Slots slots({"Rect1", "kb", "1", "2", "3"});
    bool ok = false;
    Edit(e, 3, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>& w) {
      Click(w.at("SpeedButtonEmb2"));
      Press(dialog, IDOK);
    });
    Check("embedded chooser: " + answer, ok && slots[1] == expected && host.requests.back().code == 13,
          Shown(slots[1]));
  }
  // A host that answers into a new buffer and says no.
  {
    host.declinePickers = true;
    host.answerBlocks.clear();
    g_freedByPlugin.clear();
    Slots slots({"Rect1", "kb", "1", "2", "3"});
    bool ok = false;
    std::string e1, e2, e3;
    Edit(e, 3, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>& w) {
      Click(w.at("SpeedButton1"));
      Click(w.at("SpeedButton2"));
      Click(w.at("SpeedButtonEmb2"));
      e1 = Text(w.at("Edit1"));
      e2 = Text(w.at("EditVar2"));
      Press(dialog, IDCANCEL);
    });
    bool released = host.answerBlocks.size() == 3;
    for (void* b : host.answerBlocks) released = released && g_freedByPlugin.count(b);
    Check("a host that says no after replacing the buffer: the fields stay", e1 == "Rect1" && e2 == "kb",
          Shown(e1) + " " + Shown(e2));
    Check("a host that says no after replacing the buffer: every answer block released by the plug-in", released,
          std::to_string(host.answerBlocks.size()) + " answers");
    host.declinePickers = false;
  }
  // No interface access: nothing at all.
  {
    e.registerInterfaceAccess(nullptr);
    const size_t requests = host.requests.size();
    Slots slots({"Rect1", "kb", "1", "2", "3"});
    bool ok = false;
    Edit(e, 3, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>& w) {
      Click(w.at("SpeedButton1"));
      Click(w.at("SpeedButton2"));
      Click(w.at("SpeedButtonEmb2"));
      Press(dialog, IDOK);
    });
    Check("without interface access the pickers do nothing",
          ok && host.requests.size() == requests && slots[0] == "Rect1" && slots[1] == "kb");
    e.registerInterfaceAccess(reinterpret_cast<void*>(kInterfaceAccess));
  }
  // The file dialogs.
  {
    g_fileDialogs.clear();
    Slots slots({"Rect1", "old.dcr", "1", "2", "3"});
    bool ok = false;
    std::string afterCancel;
    Edit(e, 3, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>& w) {
      g_fileAnswer.reset();
      Click(w.at("SpeedButtonFon2"));
      afterCancel = Text(w.at("EditVar2"));
      g_fileAnswer = L"C:\\kb\\Russian.DCR";
      Click(w.at("SpeedButtonFon2"));
      Press(dialog, IDOK);
    });
    bool filters = g_fileDialogs.size() == 2;
    for (const auto& d : g_fileDialogs)
      filters = filters && d.filter == std::vector<std::wstring>{L"DCR(*.dcr)", L"*.DCR"} && !d.initialDir &&
                !d.defExt && !d.title;
    Check("knowledge-base dialog: filter DCR(*.dcr)|*.DCR on each press, nothing else set", filters,
          std::to_string(g_fileDialogs.size()) + " dialogs");
    Check("knowledge-base dialog: a cancel keeps the field, a pick replaces it",
          afterCancel == "old.dcr" && slots[1] == "C:\\kb\\Russian.DCR", Shown(slots[1]));
  }
  {
    g_fileDialogs.clear();
    g_fileAnswer = L"D:\\pictures\\page.png";
    Slots slots({"Rect1", "old.bmp"});
    bool ok = false;
    Edit(e, 4, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>& w) {
      Click(w.at("SpeedButtonFon2"));
      Press(dialog, IDOK);
    });
    bool formats = g_fileDialogs.size() == 1 && g_fileDialogs[0].filter.size() >= 2;
    for (const wchar_t* ext : {L"*.bmp", L"*.jpg", L"*.png", L"*.tif", L"*.wmf"})
      formats = formats && g_fileDialogs[0].filter[1].find(ext) != std::wstring::npos;
    Check("picture dialog: the loader's formats offered, the path taken", formats && slots[1] ==
                                                                                 "D:\\pictures\\page.png");
  }
}

// The plug-in's icon resource, drawn on the form's face, pixel for pixel the
// picture Image1 shows (32 x 32, centred in its 37 x 39 box).
bool IconIsShown(const EditorUnderTest& e, HWND image, std::string& detail) {
  HICON icon = HICON(LoadImageW(e.plugin, L"KYT_ICON", IMAGE_ICON, 32, 32, 0));
  if (!icon) {
    detail = "no icon resource KYT_ICON";
    return false;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 32;
  info.bmiHeader.biHeight = -32;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, 32, 32};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
  GdiFlush();
  const Image shot = Capture(image);
  int differ = 0, opaque = 0;
  const uint32_t face = Pixel(GetSysColor(COLOR_BTNFACE));
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const uint32_t want = static_cast<uint32_t*>(bits)[y * 32 + x] & 0xFFFFFF;
      opaque += want != face;
      differ += shot.width >= 34 && shot.height >= 35 ? shot.At(x + 2, y + 3) != want : 1;
    }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  DestroyIcon(icon);
  detail = std::to_string(differ) + " pixels differ, " + std::to_string(opaque) + " opaque";
  return differ == 0 && opaque > 100 && opaque < 32 * 32;
}

void CheckAbout(const EditorUnderTest& e) {
  g_shellOpened.clear();
  std::string caption, memo, label1, link, helpCaption, panel;
  bool hand = false, arrowAgain = false, memoStyle = false, red = false, blueAgain = false, icon = false;
  std::string iconDetail;
  std::vector<std::string> tabs;
  int shown = 0;
  {
    DialogDriver driver([&](HWND dialog) {
      const auto w = Controls(dialog);
      CheckLayout("TAboutBoxForm", dialog, std::vector<Expected>(std::begin(kAbout), std::end(kAbout)), 360, 298);
      caption = Text(dialog);
      memo = Text(w.at("Memo1"));
      label1 = Text(w.at("Label1"));
      link = Text(w.at("Label2"));
      helpCaption = Text(w.at("NeoBookHelpBox1"));
      panel = Text(w.at("NeoBookPanel1"));
      tabs = TabOrder(dialog, w.at("OKBtn"));
      const LONG ms = GetWindowLongW(w.at("Memo1"), GWL_STYLE);
      memoStyle = (ms & ES_READONLY) && (ms & WS_VSCROLL) && !(ms & WS_TABSTOP) && !(ms & ES_WANTRETURN) &&
                  !(GetWindowLongW(w.at("Memo1"), GWL_EXSTYLE) & WS_EX_CLIENTEDGE) && !(ms & WS_BORDER);
      Screenshot(e, dialog, "TAboutBoxForm");
      icon = IconIsShown(e, w.at("Image1"), iconDetail);
      auto inkOf = [&](COLORREF want) {
        // The link repaints on its next WM_PAINT; draw it now so the capture never sees the old colour.
        RedrawWindow(w.at("Label2"), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const Image shot = Capture(w.at("Label2"));
        int n = 0;
        for (uint32_t p : shot.pixels) {
          const COLORREF c = RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
          n += c == want;
        }
        return n;
      };
      HWND label = w.at("Label2");
      SendMessageW(label, WM_MOUSEMOVE, 0, MAKELPARAM(10, 5));
      SendMessageW(label, WM_SETCURSOR, WPARAM(label), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      hand = GetCursor() == LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));
      red = inkOf(RGB(255, 0, 0)) > 20 && inkOf(RGB(0, 0, 255)) == 0;
      SendMessageW(w.at("NeoBookHelpBox1"), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
      SendMessageW(label, WM_SETCURSOR, WPARAM(label), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      arrowAgain = GetCursor() == LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
      blueAgain = inkOf(RGB(0, 0, 255)) > 20 && inkOf(RGB(255, 0, 0)) == 0;
      SendMessageW(label, WM_MOUSEMOVE, 0, MAKELPARAM(10, 5));
      SendMessageW(dialog, WM_MOUSEMOVE, 0, MAKELPARAM(300, 20));
      blueAgain = blueAgain && inkOf(RGB(0, 0, 255)) > 20;
      SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
      SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
      SetFocus(w.at("OKBtn"));
      PostMessageW(w.at("OKBtn"), WM_KEYDOWN, VK_RETURN, 0);
    });
    e.about();
    shown = driver.Handled();
  }
  Check("nbAbout: one modal form", shown == 1);
  Check("nbAbout: caption", caption == Cp(L"О плагине kytDCR"), Shown(caption));
  Check("About: the plug-in's name, help box and panel captions",
        label1 == "kytDCR" && helpCaption == Cp(L"Домашняя страница") && panel == Cp(L"Список команд"));
  Check("About: the memo's lines",
        memo == "DCR\r\n\tkytDcrCreate\r\n\tkytDcrRemove\r\n\tkytDcrLoadKnowledgebase\r\n\tkytDcrLoadPicture\r\n"
                "\tkytDcrRecognize",
        Shown(memo));
  Check("About: the memo is read-only, borderless, scrolls, takes no tab and no Enter", memoStyle);
  Check("About: tab order is OK alone", tabs == std::vector<std::string>{"OKBtn"}, Joined(tabs));
  Check("About: Image1 shows the plug-in's icon resource", icon, iconDetail);
  Check("About: over the link the hand cursor", hand);
  Check("About: over the link red", red);
  Check("About: over the help box or the form the default cursor and blue again", arrowAgain && blueAgain);
  Check("About: a click opens the address with the shell's open verb",
        g_shellOpened.size() == 1 && g_shellOpened[0].first == L"open" &&
            g_shellOpened[0].second == FromCp(link) && link.rfind("https://", 0) == 0,
        Shown(link));
}

}  // namespace

void InterceptEditorImports(HMODULE plugin) {
  PatchImport(plugin, "comdlg32.dll", "GetOpenFileNameW", reinterpret_cast<void*>(&FakeGetOpenFileName));
  PatchImport(plugin, "shell32.dll", "ShellExecuteW", reinterpret_cast<void*>(&FakeShellExecute));
  void* real = PatchImport(plugin, "kernel32.dll", "GlobalFree", reinterpret_cast<void*>(&TrackedGlobalFree));
  g_realGlobalFree = real ? reinterpret_cast<decltype(&GlobalFree)>(real) : &GlobalFree;
}

void CheckEditorForms(const EditorUnderTest& e) {
  const ClassicColours scheme;
  CheckLayoutsTextsAndKeys(e);
  CheckSlotRules(e);
  CheckPickers(e);
  CheckButtonStates(e);
  CheckAbout(e);
}

void SaveEditorScreenshots(const EditorUnderTest& e) {
  const ClassicColours scheme;
  for (int32_t action : {1, 3, 4, 5}) {
    Slots slots({"Rect1", "kb.dcr", "196", "10", "22"});
    slots.p.resize(action == 3 ? 5 : action >= 4 ? 2 : 1);
    bool ok = false;
    const char* form = action == 1 ? "TEditForm1" : action == 3 ? "TEditForm5KL" : action == 4 ? "TEditForm2FL"
                                                                                                : "TEditForm2RC";
    Edit(e, action, slots, ok, [&](HWND dialog, const std::map<std::string, HWND>&) {
      Screenshot(e, dialog, form);
      Press(dialog, IDCANCEL);
    });
  }
  DialogDriver driver([&](HWND dialog) {
    Screenshot(e, dialog, "TAboutBoxForm");
    Press(dialog, IDOK);
  });
  e.about();
}

}  // namespace kyt::testhost
