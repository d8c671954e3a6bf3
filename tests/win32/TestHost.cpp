// The Windows test host: loads kytDCR.nbp like the authoring host, gives it
// real object windows, host variables, interface requests and embedded-file
// streams, and plays publication scripts against it.
//
//   kyt_win_testhost <kytDCR.nbp> <source dir> <output dir>
//
// Every check prints one PASS/FAIL line; the last line sums them up.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/win32/Checks.h"
#include "tests/win32/DialogDriver.h"
#include "tests/win32/EditorForms.h"
#include "tests/win32/HostSide.h"
#include "tests/win32/PngFiles.h"

using namespace kyt;
using namespace kyt::testhost;

namespace {

// ---- The plug-in's entry points as the host sees them. ----
using RegisterPlugInFn = void(NB_REGISTER*)(void*, void*, void*, void*);
using InitPlugInFn = void(NB_REGISTER*)(uint32_t, char**, char**, char**);
using MessageFn = void(NB_REGISTER*)(int32_t);
using RegisterProcFn = void(NB_REGISTER*)(void*);
using ActionFn = uint8_t(NB_REGISTER*)(int32_t, char**, int32_t);
using AboutFn = void(NB_REGISTER*)();
using CmdListFn = int32_t(NB_STDCALL*)(const char*, const char*, char*);
using ExecFn = uint8_t(NB_STDCALL*)(const char*, const char*, const char*, const char*, const char*, const char*,
                                    const char*, const char*, const char*, const char*, const char*, const char*);

const char* const kExportNames[11] = {"kytDCRExec",       "kytDCRCmdList",           "nbRegisterStreamAccess",
                                      "nbMessage",        "nbRegisterInterfaceAccess", "nbRegisterScriptProcessor",
                                      "nbRegisterPlugIn", "nbInitPlugIn",            "nbExecAction",
                                      "nbAbout",          "nbEditAction"};

struct PlugIn {
  HMODULE module = nullptr;
  RegisterPlugInFn registerPlugIn = nullptr;
  InitPlugInFn initPlugIn = nullptr;
  MessageFn message = nullptr;
  RegisterProcFn registerScriptProcessor = nullptr, registerInterfaceAccess = nullptr, registerStreamAccess = nullptr;
  ActionFn execAction = nullptr, editAction = nullptr;
  AboutFn about = nullptr;
  CmdListFn cmdList = nullptr;
  ExecFn exec = nullptr;
};

template <typename T>
T Proc(HMODULE m, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

bool Load(PlugIn& p, const std::wstring& path) {
  p.module = LoadLibraryW(path.c_str());
  if (!p.module) return false;
  p.registerPlugIn = Proc<RegisterPlugInFn>(p.module, "nbRegisterPlugIn");
  p.initPlugIn = Proc<InitPlugInFn>(p.module, "nbInitPlugIn");
  p.message = Proc<MessageFn>(p.module, "nbMessage");
  p.registerScriptProcessor = Proc<RegisterProcFn>(p.module, "nbRegisterScriptProcessor");
  p.registerInterfaceAccess = Proc<RegisterProcFn>(p.module, "nbRegisterInterfaceAccess");
  p.registerStreamAccess = Proc<RegisterProcFn>(p.module, "nbRegisterStreamAccess");
  p.execAction = Proc<ActionFn>(p.module, "nbExecAction");
  p.editAction = Proc<ActionFn>(p.module, "nbEditAction");
  p.about = Proc<AboutFn>(p.module, "nbAbout");
  p.cmdList = Proc<CmdListFn>(p.module, "kytDCRCmdList");
  p.exec = Proc<ExecFn>(p.module, "kytDCRExec");
  return true;
}

// ---- Texts. ----
std::string Cp1251(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(1251, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(1251, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? char(c) : '?';
  return out;
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string Quoted(const std::wstring& text) {
  std::string out(1, '"');
  out += Narrow(text);
  out += '"';
  return out;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Base64(const std::vector<uint8_t>& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t line = 0;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t v = uint32_t(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= uint32_t(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) v |= bytes[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
    if (++line == 19) {  // 76 characters a line, as mail encoders write it
      out += "\r\n";
      line = 0;
    }
  }
  return out;
}

// ---- Host windows. ----
HWND g_main = nullptr;

LRESULT CALLBACK ObjectProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(w, &r);
    FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_APPWORKSPACE));
    return 1;
  }
  return DefWindowProcW(w, m, wp, lp);
}

void RegisterHostClasses() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  wc.lpszClassName = L"KytTestHostMain";
  RegisterClassExW(&wc);
  wc.lpfnWndProc = ObjectProc;
  wc.hbrBackground = nullptr;
  wc.lpszClassName = L"KytTestObject";
  RegisterClassExW(&wc);
}

HWND MakeObject(const std::string& name, int x, int y, int w, int h) {
  HWND obj = CreateWindowExW(0, L"KytTestObject", Wide(name).c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, x, y,
                             w, h, g_main, nullptr, GetModuleHandleW(nullptr), nullptr);
  Host().objects[name] = obj;
  return obj;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

HWND DcrWindowOf(HWND object) { return FindWindowExW(object, nullptr, L"TTkytForm", nullptr); }
int DcrWindowCount(HWND object) {
  int n = 0;
  for (HWND w = FindWindowExW(object, nullptr, L"TTkytForm", nullptr); w;
       w = FindWindowExW(object, w, L"TTkytForm", nullptr))
    ++n;
  return n;
}

RECT RectInParent(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string Hex6(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof(buf), "%06X", v);
  return buf;
}

std::string Describe(const RECT& r) {
  char buf[96];
  std::snprintf(buf, sizeof(buf), "(%ld,%ld)-(%ld,%ld)", long(r.left), long(r.top), long(r.right), long(r.bottom));
  return buf;
}

// ---- Pictures. ----
// A 24-bit BMP file of the given pixels (0x00RRGGBB).
void WriteBmp(const std::string& path, const Image& image) {
  const int stride = (image.width * 3 + 3) & ~3;
  const uint32_t dataSize = uint32_t(stride) * uint32_t(image.height);
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(ih);
  fh.bfSize = fh.bfOffBits + dataSize;
  ih.biSize = sizeof(ih);
  ih.biWidth = image.width;
  ih.biHeight = image.height;  // bottom-up
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  ih.biSizeImage = dataSize;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&fh), sizeof(fh));
  out.write(reinterpret_cast<const char*>(&ih), sizeof(ih));
  std::vector<uint8_t> row(size_t(stride), 0);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const uint32_t c = image.At(x, y);
      row[size_t(x) * 3] = uint8_t(c);
      row[size_t(x) * 3 + 1] = uint8_t(c >> 8);
      row[size_t(x) * 3 + 2] = uint8_t(c >> 16);
    }
    out.write(reinterpret_cast<const char*>(row.data()), stride);
  }
}

Image Pattern(int width, int height) {
  Image image{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.pixels[size_t(y) * size_t(width) + size_t(x)] =
          (uint32_t((x * 7) & 255) << 16) | (uint32_t((y * 5) & 255) << 8) | uint32_t((x + y) & 255);
  return image;
}

// A memory DC over a 32-bit DIB, for what the plug-in paints.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  uint32_t* bits = nullptr;
  int width = 0, height = 0;
  Canvas(int w, int h, uint32_t fill) : width(w), height(h) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc = CreateCompatibleDC(nullptr);
    void* p = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint32_t*>(p);
    old = SelectObject(dc, bitmap);
    for (int i = 0; i < w * h; ++i) bits[i] = fill;
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  uint32_t At(int x, int y) const { return bits[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF; }
  Image ToImage() const {
    GdiFlush();
    Image image{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = bits[i] & 0xFFFFFF;
    return image;
  }
};

constexpr uint32_t kCream = 0xFFFBF0;  // 0x00RRGGBB
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kSentinel = 0xFF00FF;
constexpr int kTitle = 25;

// Compares the picture with what was painted below the title, as far as it
// shows in the `clipW` x `clipH` area at the top left (the frame's client area).
// The picture is scrolled by (scrollX, scrollY).
bool PictureShown(const Canvas& painted, const Image& picture, int offsetY, std::string& detail, int clipW = 1 << 30,
                  int clipH = 1 << 30, int scrollX = 0, int scrollY = 0) {
  const int w = std::min({picture.width - scrollX, painted.width, clipW});
  const int top = std::max(0, offsetY - scrollY);
  const int h = std::min({picture.height - scrollY + offsetY, painted.height, clipH});
  for (int y = top; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t want = picture.At(x + scrollX, y - offsetY + scrollY);
      if (painted.At(x, y) != want) {
        char buf[160];
        std::snprintf(buf, sizeof(buf), "window pixel (%d,%d) painted as %06X, expected %06X", x, y, painted.At(x, y),
                      want);
        detail = buf;
        return false;
      }
    }
  return true;
}

struct Paths {
  std::wstring plugin;
  std::string source;  // with trailing backslash
  std::string output;
};

std::string Win(const std::string& dir, const std::string& rel) {
  std::string out = dir + rel;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

// ---- The scripts. ----
class Session {
 public:
  Session(const PlugIn& p, const Paths& paths) : p_(p), paths_(paths) {}

  bool Exec(int32_t action, std::vector<std::string> params) {
    std::vector<char*> slots;
    for (auto& s : params) slots.push_back(HostString(s));
    const bool ok = p_.execAction(action, slots.data(), int32_t(slots.size()) - 1) != 0;
    for (char* s : slots) GlobalFree(s);
    return ok;
  }
  bool Script(const char* command, const char* a = "", const char* b = "", const char* c = "", const char* d = "",
              const char* e = "") {
    return p_.exec(nullptr, command, a, b, c, d, e, "", "", "", "", "") != 0;
  }
  std::string LastError() const { return Host().Variable("[LastError]"); }
  void ClearLastError() { Host().variables["[LastError]"] = "(untouched)"; }

  void Registration();
  void WindowLifecycle();
  void KnowledgeBaseAndRecognition();
  void Painting();
  void Metafiles();
  void ScriptCommands();
  void EditorDialogs();
  void Removal();

 private:
  const PlugIn& p_;
  const Paths& paths_;
  HWND rect1_ = nullptr, rect2_ = nullptr;

  std::string KbPath() const { return Win(paths_.source, "data/kb/latin.dcr"); }
  std::string SamplePath() const { return Win(paths_.source, "data/samples/sample.png"); }
  // The file holds the text as the kytdcr tool writes it: followed by one line feed.
  std::string ExpectedText() const {
    const auto bytes = ReadFileBytes(Win(paths_.source, "data/samples/sample.txt"));
    std::string text(bytes.begin(), bytes.end());
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
};

void Session::Registration() {
  bool all = true;
  std::string missing;
  for (int i = 0; i < 11; ++i) {
    FARPROC byName = GetProcAddress(p_.module, kExportNames[i]);
    FARPROC byOrdinal = GetProcAddress(p_.module, MAKEINTRESOURCEA(i + 1));
    if (!byName || byName != byOrdinal) {
      all = false;
      missing += std::string(" ") + kExportNames[i];
    }
  }
  Check("exports: eleven names with their ordinals 1-11", all, "wrong or missing:" + missing);

  static int addFileCalls = 0;
  struct AddFile {
    static void NB_REGISTER Proc(void*, void*, void*) { ++addFileCalls; }
  };
  p_.registerPlugIn(reinterpret_cast<void*>(kAddAction), reinterpret_cast<void*>(&AddFile::Proc),
                    reinterpret_cast<void*>(kGetVariable), reinterpret_cast<void*>(kSetVariable));
  const auto& a = Host().actions;
  Check("nbRegisterPlugIn: six entries registered", a.size() == 6, std::to_string(a.size()) + " entries");
  if (a.size() == 6) {
    Check("nbRegisterPlugIn: group entry first (0, DCR, empty, code 0, count 0)",
          a[0].number == 0 && a[0].name == "DCR" && a[0].description.empty() &&
              a[0].typeCodes == std::vector<uint8_t>{0} && a[0].count == 0,
          Shown(a[0].name) + " " + Shown(a[0].description));
    const char* names[] = {"kytDcrCreate", "kytDcrRemove", "kytDcrLoadKnowledgebase", "kytDcrLoadPicture",
                           "kytDcrRecognize"};
    const std::vector<uint8_t> codes[] = {{1}, {1}, {1, 1, 3, 3, 3}, {1, 1}, {1, 6}};
    bool ok = true;
    std::string detail;
    for (int i = 0; i < 5; ++i) {
      const AddedAction& e = a[size_t(i) + 1];
      if (e.number != i + 1 || e.name != names[i] || e.typeCodes != codes[i] || e.count != int(codes[i].size())) {
        ok = false;
        detail += " " + e.name + "#" + std::to_string(e.number) + "/" + std::to_string(e.count);
      }
    }
    Check("nbRegisterPlugIn: actions 1-5 with names, type codes and 8-bit counts", ok, detail);
    Check("nbRegisterPlugIn: default description of kytDcrCreate (cp1251)",
          a[1].description == Cp1251(L"Создать DCR-окно."), Shown(a[1].description));
  }
  Check("nbRegisterPlugIn: the second procedure is never called", addFileCalls == 0);

  char* title = HostString("old title");
  char* publisher = nullptr;
  char* hint = HostString("old hint");
  char* const oldTitle = title;
  p_.initPlugIn(uint32_t(reinterpret_cast<uintptr_t>(g_main)), &title, &publisher, &hint);
  Check("nbInitPlugIn: title kytDCR 1.01", title && std::string(title) == "kytDCR 1.01",
        title ? Shown(title) : "null");
  Check("nbInitPlugIn: default hint", hint && std::string(hint) == Cp1251(L"Плагин для распознавания символов."),
        hint ? Shown(hint) : "null");
  Check("nbInitPlugIn: publisher given", publisher && *publisher);
  Check("nbInitPlugIn: strings are fixed global blocks of length + 1",
        IsFixedGlobalBlock(title, std::strlen(title) + 1) && IsFixedGlobalBlock(hint, std::strlen(hint) + 1) &&
            IsFixedGlobalBlock(publisher, std::strlen(publisher) + 1));
  Check("nbInitPlugIn: the title slot gets a new block", title != oldTitle);
  GlobalFree(title);
  GlobalFree(publisher);
  GlobalFree(hint);

  p_.registerInterfaceAccess(reinterpret_cast<void*>(kInterfaceAccess));
  p_.registerStreamAccess(reinterpret_cast<void*>(kStreamAccess));
  p_.registerScriptProcessor(nullptr);
  p_.message(1);
  char path[MAX_PATH] = {};
  GetModuleFileNameA(p_.module, path, MAX_PATH);
  Check("nbMessage(1): [*/*kytDCRDllName] is the library's path", Host().Variable("[*/*kytDCRDllName]") == path,
        Shown(Host().Variable("[*/*kytDCRDllName]")) + " vs " + Shown(path));
  const auto before = Host().variables;
  p_.message(3);
  Check("nbMessage(3): nothing happens", Host().variables == before);
}

void Session::WindowLifecycle() {
  rect1_ = Host().objects["Rect1"];
  rect2_ = Host().objects["Rect2"];
  HWND inner = FindWindowExW(rect1_, nullptr, L"KytTestObject", nullptr);
  Host().requests.clear();
  Check("kytDcrCreate Rect1: true", Exec(1, {"Rect1"}));
  const auto& rq = Host().requests;
  Check("kytDcrCreate: request 6 then request 7 with the object's name",
        rq.size() >= 2 && rq[0].code == 6 && !rq[0].data && rq[1].code == 7 && rq[1].data == std::string("Rect1"),
        std::to_string(rq.size()) + " requests");
  HWND dcr = DcrWindowOf(rect1_);
  Check("DCR window: a TTkytForm child of the object's window", dcr && GetParent(dcr) == rect1_);
  if (!dcr) return;
  const RECT r = RectInParent(dcr);
  Check("DCR window: at (0,0), 400 x 300, over the object's client area",
        r.left == 0 && r.top == 0 && r.right == 400 && r.bottom == 300, Describe(r));
  const LONG_PTR style = GetWindowLongPtrW(dcr, GWL_STYLE);
  Check("DCR window: visible borderless child",
        (style & WS_CHILD) && (style & WS_VISIBLE) && !(style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)) &&
            !(GetWindowLongPtrW(dcr, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME)));
  Check("DCR window: on top of the object's other children", GetWindow(rect1_, GW_CHILD) == dcr && inner != dcr);
  Check("WM_GETDLGCODE: exactly DLGC_WANTARROWS", SendMessageW(dcr, WM_GETDLGCODE, VK_TAB, 0) == DLGC_WANTARROWS,
        std::to_string(SendMessageW(dcr, WM_GETDLGCODE, VK_TAB, 0)));
  WNDCLASSEXW hint{};
  hint.cbSize = sizeof(hint);
  const bool hintClass = GetClassInfoExW(p_.module, L"TMyHintWindow", &hint) != 0;
  Check("hint window class registered without CS_DROPSHADOW", hintClass && !(hint.style & CS_DROPSHADOW),
        hintClass ? "style " + std::to_string(hint.style) : "class not registered");

  ClearLastError();
  Check("kytDcrCreate for an unknown object: false", !Exec(1, {"Nope"}));
  Check("kytDcrCreate for an unknown object: [LastError]",
        LastError() == Cp1251(L"Объект с именем") + "Nope" + Cp1251(L" не существует."), Shown(LastError()));

  Host().objects["Ghost"] = reinterpret_cast<HWND>(uintptr_t(0x7FFF1234));  // a number that is no window
  ClearLastError();
  Check("kytDcrCreate for a handle that is no window: false with a message",
        !Exec(1, {"Ghost"}) && LastError() != "(untouched)" && !LastError().empty(), Shown(LastError()));

  Host().answerRequest6 = false;
  Check("kytDcrCreate on a host without request 6: false", !Exec(1, {"Rect2"}));
  Check("kytDcrCreate on a host without request 6: [LastError]",
        LastError() == "This function requires NeoBook 4.0.9 or higher.", Shown(LastError()));
  Check("kytDcrCreate on a host without request 6: no window", DcrWindowOf(rect2_) == nullptr);
  Host().answerRequest6 = true;

  SetWindowPos(rect1_, nullptr, 0, 0, 500, 350, SWP_NOMOVE | SWP_NOZORDER);
  Check("sub-code 4: message result 0", SendMessageW(dcr, 0x04FA, 0, 4) == 0);
  Check("sub-code 4: [Rect1_MaxX] 499, [Rect1_MaxY] 349",
        Host().Variable("[Rect1_MaxX]") == "499" && Host().Variable("[Rect1_MaxY]") == "349",
        Host().Variable("[Rect1_MaxX]") + " " + Host().Variable("[Rect1_MaxY]"));
  const RECT grown = RectInParent(dcr);
  Check("sub-code 4: window resized to 500 x 350 at (0,0)",
        grown.left == 0 && grown.top == 0 && grown.right == 500 && grown.bottom == 350, Describe(grown));
  HWND frame = FindWindowExW(dcr, nullptr, L"TDCRFrame", nullptr);
  RECT fr{};
  if (frame) fr = RectInParent(frame);
  Check("frame fills the resized window", frame && fr.left == 0 && fr.top == 0 && fr.right == 500 && fr.bottom == 350,
        Describe(fr));
  // An object that no longer answers request 7: variables and size stay.
  Host().objects.erase("Rect1");
  Host().variables.erase("[Rect1_MaxX]");
  SetWindowPos(rect1_, nullptr, 0, 0, 450, 320, SWP_NOMOVE | SWP_NOZORDER);
  SendMessageW(dcr, 0x04FA, 0, 4);
  const RECT kept = RectInParent(dcr);
  Check("sub-code 4 for an object the host no longer knows: nothing changes",
        !Host().HasVariable("[Rect1_MaxX]") && kept.right == 500 && kept.bottom == 350, Describe(kept));
  Host().objects["Rect1"] = rect1_;
  SetWindowPos(rect1_, nullptr, 0, 0, 500, 350, SWP_NOMOVE | SWP_NOZORDER);
  Check("sub-codes 5 (no DC) and 6: message result 0",
        SendMessageW(dcr, 0x04FA, 0, 5) == 0 && SendMessageW(dcr, 0x04FA, 0, 6) == 0);
}

void Session::KnowledgeBaseAndRecognition() {
  const std::string expected = ExpectedText();
  Check("the sample's expected text is there", !expected.empty(), "data/samples/sample.txt missing or empty");
  ClearLastError();
  Check("kytDcrLoadKnowledgebase from a file: true", Exec(3, {"Rect1", KbPath(), "196", "10", "22"}),
        Shown(LastError()));
  Check("kytDcrLoadKnowledgebase from a file: [LastError] untouched", LastError() == "(untouched)", Shown(LastError()));
  Check("kytDcrLoadKnowledgebase from a missing file: false with a message",
        !Exec(3, {"Rect1", Win(paths_.source, "data/kb/missing.dcr"), "196", "10", "22"}) &&
            LastError() != "(untouched)" && !LastError().empty());

  Check("kytDcrLoadPicture from a PNG file: true", Exec(4, {"Rect1", SamplePath()}), Shown(LastError()));
  HCURSOR cross = LoadCursor(nullptr, IDC_CROSS);
  SetCursor(cross);
  Check("kytDcrRecognize into [Result]: true", Exec(5, {"Rect1", "Result"}), Shown(LastError()));
  Check("kytDcrRecognize: the sample's text", Host().Variable("[Result]") == expected,
        Shown(Host().Variable("[Result]")) + " expected " + Shown(expected));
  Check("kytDcrRecognize: the cursor is the arrow again afterwards", GetCursor() == LoadCursor(nullptr, IDC_ARROW));

  // A second kytDcrCreate replaces the window: blank picture, fresh network.
  HWND old = DcrWindowOf(rect1_);
  Check("kytDcrCreate again for Rect1: true", Exec(1, {"Rect1"}));
  Check("kytDcrCreate again: one window, a new one", DcrWindowCount(rect1_) == 1 && !IsWindow(old));

  const std::string embedded = "embedded:\\\\\\latin.dcr";
  Host().embedded[embedded] = ReadFileBytes(KbPath());
  Host().streams.clear();
  ClearLastError();
  Check("kytDcrLoadKnowledgebase from an embedded file: true", Exec(3, {"Rect1", embedded, "196", "10", "22"}),
        Shown(LastError()));
  Check("embedded knowledge base: the name reaches HostStreamAccess whole",
        !Host().streamNames.empty() && Host().streamNames.back() == embedded);
  Check("embedded knowledge base: [LastError] untouched", LastError() == "(untouched)", Shown(LastError()));
  if (!Host().streams.empty()) {
    const ULONG left = Host().streams.back()->Release();
    Check("embedded knowledge base: the plug-in released the stream", left == 0, std::to_string(left) + " left");
  } else {
    Check("embedded knowledge base: a stream was handed over", false);
  }
  ClearLastError();
  Exec(3, {"Rect1", "x embedded:\\\\\\nothing.dcr", "196", "10", "22"});
  Check("embedded knowledge base not in the publication: [LastError] File not found.", LastError() == "File not found.",
        Shown(LastError()));

  Host().variables["[sample.png.MimeStreamContent]"] = Base64(ReadFileBytes(SamplePath()));
  Check("kytDcrLoadPicture from base64 text (script command 4): true",
        Script("4", "Rect1", "mimestream:\\\\\\sample.png"), Shown(LastError()));
  Check("kytDcrRecognize (script command 5): true", Script("5", "Rect1", "Result2"), Shown(LastError()));
  Check("kytDcrRecognize after the base64 picture: the sample's text", Host().Variable("[Result2]") == expected,
        Shown(Host().Variable("[Result2]")) + " expected " + Shown(expected));

  ClearLastError();
  Check("kytDcrRecognize for an object without window: false", !Exec(5, {"Nobody", "R"}));
  Check("kytDcrRecognize for an object without window: [LastError]",
        LastError() == "There is no DCR control attached to an object named Nobody.", Shown(LastError()));
}

void Session::Painting() {
  HWND dcr = DcrWindowOf(rect1_);
  if (!Check("painting: DCR window present", dcr != nullptr)) return;
  const Image small = Pattern(200, 100);
  const std::string smallPath = Win(paths_.output, "pattern-200x100.bmp");
  WriteBmp(smallPath, small);
  Check("kytDcrLoadPicture from a BMP file: true", Exec(4, {"Rect1", smallPath}), Shown(LastError()));
  HWND frame = FindWindowExW(dcr, nullptr, L"TDCRFrame", nullptr);
  const LONG_PTR smallStyle = frame ? GetWindowLongPtrW(frame, GWL_STYLE) : 0;
  Check("small picture: no scroll bars", frame && !(smallStyle & (WS_HSCROLL | WS_VSCROLL)));

  Canvas canvas(500, 350, kSentinel);
  Check("sub-code 5: message result 0",
        SendMessageW(dcr, 0x04FA, reinterpret_cast<WPARAM>(canvas.dc), 5) == 0);
  std::string detail;
  Check("sub-code 5: the picture unscaled below the 25-pixel title", PictureShown(canvas, small, kTitle, detail),
        detail);
  bool covered = true;
  for (int y = 0; y < 350 && covered; ++y)
    for (int x = 0; x < 500; ++x)
      if (canvas.At(x, y) == kSentinel) {
        covered = false;
        char buf[64];
        std::snprintf(buf, sizeof(buf), "(%d,%d) not painted", x, y);
        detail = buf;
        break;
      }
  Check("sub-code 5: the whole window painted", covered, detail);
  Check("sub-code 5: white beside and below the picture",
        canvas.At(300, 60) == kWhite && canvas.At(100, 200) == kWhite && canvas.At(499, 349) == kWhite);
  int cream = 0, ink = 0;
  for (int y = 0; y < kTitle; ++y)
    for (int x = 0; x < 500; ++x) {
      const uint32_t c = canvas.At(x, y);
      if (c == kCream) ++cream;
      const int r = int(c >> 16), g = int((c >> 8) & 255), b = int(c & 255);
      if (r < 200 && g < 160 && b < 120 && y > 2 && y < kTitle - 3) ++ink;
    }
  Check("sub-code 5: cream title panel", cream > 500 * 15, std::to_string(cream) + " cream pixels");
  Check("sub-code 5: the title's caption drawn in dark ink", ink > 40, std::to_string(ink) + " ink pixels");
  Check("sub-code 5: the title's single border", canvas.At(10, 0) == 0 && canvas.At(0, 10) == 0 &&
                                                     canvas.At(499, 10) == 0 && canvas.At(10, kTitle - 1) == 0);
  std::string error;
  Check("sub-code 5 painting saved", WritePng(Win(paths_.output, "dcr-paint-subcode5.png"), canvas.ToImage(), error),
        error);

  // A picture larger than the window: unscaled, with scroll bars.
  const Image big = Pattern(1000, 800);
  const std::string bigPath = Win(paths_.output, "pattern-1000x800.bmp");
  WriteBmp(bigPath, big);
  Check("kytDcrLoadPicture 1000 x 800: true", Exec(4, {"Rect1", bigPath}), Shown(LastError()));
  const LONG_PTR bigStyle = GetWindowLongPtrW(frame, GWL_STYLE);
  SCROLLINFO h{}, v{};
  h.cbSize = v.cbSize = sizeof(SCROLLINFO);
  h.fMask = v.fMask = SIF_ALL;
  GetScrollInfo(frame, SB_HORZ, &h);
  GetScrollInfo(frame, SB_VERT, &v);
  Check("large picture: both scroll bars", (bigStyle & WS_HSCROLL) && (bigStyle & WS_VSCROLL));
  Check("large picture: scroll ranges cover the picture and the title",
        h.nMin == 0 && h.nMax == 999 && v.nMin == 0 && v.nMax == kTitle + 800 - 1 && h.nPage > 0 && h.nPage < 1000,
        "h " + std::to_string(h.nMax) + "/" + std::to_string(h.nPage) + " v " + std::to_string(v.nMax));
  Canvas bigCanvas(500, 350, kSentinel);
  SendMessageW(dcr, 0x04FA, reinterpret_cast<WPARAM>(bigCanvas.dc), 5);
  RECT client{};
  GetClientRect(frame, &client);
  Check("large picture: painted unscaled from its top-left corner, up to the scroll bars",
        PictureShown(bigCanvas, big, kTitle, detail, client.right, client.bottom), detail);

  // Scrolling: one line down with the scroll bar, one step right with the arrow key.
  SendMessageW(frame, WM_VSCROLL, SB_LINEDOWN, 0);
  SendMessageW(dcr, WM_KEYDOWN, VK_RIGHT, 0);
  SCROLLINFO hs{}, vs{};
  hs.cbSize = vs.cbSize = sizeof(SCROLLINFO);
  hs.fMask = vs.fMask = SIF_POS;
  GetScrollInfo(frame, SB_HORZ, &hs);
  GetScrollInfo(frame, SB_VERT, &vs);
  Check("scrolling: the scroll bar and the arrow key move the positions", hs.nPos > 0 && vs.nPos > 0,
        std::to_string(hs.nPos) + "," + std::to_string(vs.nPos));
  Canvas scrolled(500, 350, kSentinel);
  SendMessageW(dcr, 0x04FA, reinterpret_cast<WPARAM>(scrolled.dc), 5);
  Check("scrolling: the picture is painted from the scrolled position",
        PictureShown(scrolled, big, kTitle, detail, client.right, client.bottom, hs.nPos, vs.nPos), detail);
  SendMessageW(frame, WM_VSCROLL, SB_TOP, 0);
  SendMessageW(frame, WM_HSCROLL, SB_TOP, 0);

  // What the screen shows: the host's window with the DCR window over Rect1.
  Check("kytDcrLoadPicture of the sample for the screenshot: true", Exec(4, {"Rect1", SamplePath()}));
  Image sample;
  const bool haveSample = ReadPng(SamplePath(), sample, error);
  RedrawWindow(g_main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump();
  GdiFlush();
  RECT wr{};
  GetWindowRect(g_main, &wr);
  const int sw = wr.right - wr.left, sh = wr.bottom - wr.top;
  Canvas shot(sw, sh, 0);
  HDC screen = GetDC(nullptr);
  BitBlt(shot.dc, 0, 0, sw, sh, screen, wr.left, wr.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  Check("screenshot saved", WritePng(Win(paths_.output, "dcr-host-screenshot.png"), shot.ToImage(), error), error);
  POINT origin{0, 0};
  MapWindowPoints(dcr, HWND_DESKTOP, &origin, 1);
  const int ox = origin.x - wr.left, oy = origin.y - wr.top;
  Canvas onScreen(500, 350, 0);
  BitBlt(onScreen.dc, 0, 0, 500, 350, shot.dc, ox, oy, SRCCOPY);
  int shotCream = 0;
  for (int x = 0; x < 500; ++x)
    if (onScreen.At(x, 12) == kCream) ++shotCream;
  Check("screen: the DCR window's cream title shows", shotCream > 300, std::to_string(shotCream) + " cream pixels");
  Check("screen: the sample picture shows below the title",
        haveSample && PictureShown(onScreen, sample, kTitle, detail), haveSample ? detail : error);
}

// A placeable Windows metafile of 200 x 100 pixels (at 96 units per inch)
// with a blue rectangle, black outline, from (20,20) to the right edge (200,60).
std::vector<uint8_t> PlaceableMetafile(bool goodChecksum) {
  std::vector<uint16_t> w;
  auto record = [&w](uint16_t function, std::initializer_list<uint16_t> params) {
    const uint32_t size = 3 + uint32_t(params.size());
    w.push_back(uint16_t(size));
    w.push_back(uint16_t(size >> 16));
    w.push_back(function);
    w.insert(w.end(), params);
  };
  std::vector<uint16_t> header = {0xCDD7, 0x9AC6, 0, 0, 0, 200, 100, 96, 0, 0};
  uint16_t sum = 0;
  for (uint16_t v : header) sum ^= v;
  header.push_back(goodChecksum ? sum : uint16_t(sum ^ 1));
  record(0x020B, {0, 0});                   // SetWindowOrg(y, x)
  record(0x020C, {100, 200});               // SetWindowExt(y, x)
  record(0x02FC, {0, 0x0000, 0x00FF, 0});   // CreateBrushIndirect(solid, RGB(0,0,255))
  record(0x012D, {0});                      // SelectObject(brush)
  record(0x041B, {60, 200, 20, 20});        // Rectangle(bottom, right, top, left)
  record(0x0000, {});                       // end
  // Type, header size, version, size (2 words), objects, largest record (2 words), parameters.
  std::vector<uint16_t> mf = {1, 9, 0x0300, 0, 0, 1, 0, 0, 0};
  const uint32_t total = uint32_t(mf.size() + w.size());
  mf[3] = uint16_t(total);
  mf[4] = uint16_t(total >> 16);
  mf[6] = 7;  // the largest record, in words
  mf.insert(mf.end(), w.begin(), w.end());
  std::vector<uint8_t> bytes;
  for (uint16_t v : header) {
    bytes.push_back(uint8_t(v));
    bytes.push_back(uint8_t(v >> 8));
  }
  for (uint16_t v : mf) {
    bytes.push_back(uint8_t(v));
    bytes.push_back(uint8_t(v >> 8));
  }
  return bytes;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void Session::Metafiles() {
  HWND dcr = DcrWindowOf(rect1_);
  if (!dcr) return;
  // An enhanced metafile recorded with GDI: a frame of 200 x 100 reference pixels, a red rectangle inside.
  const std::string emfPath = Win(paths_.output, "red-box.emf");
  HDC ref = GetDC(nullptr);
  const int mmW = GetDeviceCaps(ref, HORZSIZE), mmH = GetDeviceCaps(ref, VERTSIZE);
  const int pxW = GetDeviceCaps(ref, HORZRES), pxH = GetDeviceCaps(ref, VERTRES);
  ReleaseDC(nullptr, ref);
  RECT frame{0, 0, MulDiv(200, mmW * 100, pxW), MulDiv(100, mmH * 100, pxH)};
  HDC rec = CreateEnhMetaFileW(nullptr, Wide(emfPath).c_str(), &frame, nullptr);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT box{20, 20, 120, 60};
  FillRect(rec, &box, red);
  DeleteObject(red);
  DeleteEnhMetaFile(CloseEnhMetaFile(rec));
  Check("kytDcrLoadPicture of an EMF file: true", Exec(4, {"Rect1", emfPath}), Shown(LastError()));
  Canvas c(500, 350, kSentinel);
  SendMessageW(dcr, 0x04FA, reinterpret_cast<WPARAM>(c.dc), 5);
  Check("EMF: drawn at its own size on white, the rectangle where it was recorded",
        c.At(70, kTitle + 40) == 0xFF0000 && c.At(10, kTitle + 10) == kWhite && c.At(150, kTitle + 80) == kWhite,
        Hex6(c.At(70, kTitle + 40)) + " " + Hex6(c.At(10, kTitle + 10)) + " " + Hex6(c.At(150, kTitle + 80)));

  const std::string wmfPath = Win(paths_.output, "blue-box.wmf");
  WriteBytes(wmfPath, PlaceableMetafile(true));
  Check("kytDcrLoadPicture of a placeable WMF file: true", Exec(4, {"Rect1", wmfPath}), Shown(LastError()));
  Canvas w(500, 350, kSentinel);
  SendMessageW(dcr, 0x04FA, reinterpret_cast<WPARAM>(w.dc), 5);
  Check("WMF: 200 x 100 at 96 units per inch, unscaled: the outline ends in the last column",
        w.At(70, kTitle + 40) == 0x0000FF && w.At(10, kTitle + 10) == kWhite && w.At(199, kTitle + 40) == 0 &&
            w.At(198, kTitle + 40) == 0x0000FF && w.At(200, kTitle + 40) == kWhite && w.At(70, kTitle + 20) == 0,
        Hex6(w.At(70, kTitle + 40)) + " " + Hex6(w.At(199, kTitle + 40)) + " " + Hex6(w.At(200, kTitle + 40)));

  ClearLastError();
  const std::string badPath = Win(paths_.output, "bad-checksum.wmf");
  WriteBytes(badPath, PlaceableMetafile(false));
  Check("WMF with a broken header checksum: false with a message", !Exec(4, {"Rect1", badPath}) &&
                                                                        LastError() != "(untouched)");
  ClearLastError();
  const std::string junkPath = Win(paths_.output, "junk.emf");
  WriteBytes(junkPath, std::vector<uint8_t>(300, 0x41));
  Check("EMF file holding no metafile: false with a message", !Exec(4, {"Rect1", junkPath}) &&
                                                                 LastError() != "(untouched)");
  Canvas after(500, 350, kSentinel);
  SendMessageW(dcr, 0x04FA, reinterpret_cast<WPARAM>(after.dc), 5);
  Check("failed metafile loads leave the picture as it was", after.At(70, kTitle + 40) == 0x0000FF);
}

void Session::ScriptCommands() {
  std::vector<char> buffer(512, '#');
  Check("kytDCRCmdList lisp: result 1", p_.cmdList(nullptr, "lisp", buffer.data()) == 1);
  std::string lisp(buffer.data());
  Check("kytDCRCmdList lisp: 166 characters of list form",
        lisp.size() == 166 && lisp.rfind("(list (list \"kytDcrCreate\"  \"1\" 1)(list ", 0) == 0 && lisp.back() == ')',
        Shown(lisp));
  std::fill(buffer.begin(), buffer.end(), '#');
  p_.cmdList(nullptr, nullptr, buffer.data());
  std::string lines(buffer.data());
  Check("kytDCRCmdList line form: 109 characters",
        lines.size() == 109 && lines.find("kytDcrLoadKnowledgebase|3|5\r\n") != std::string::npos &&
            lines.substr(lines.size() - 2) == "\r\n",
        Shown(lines));

  ClearLastError();
  std::wstring boxText, boxCaption;
  HWND boxOwner = nullptr;
  bool result = false;
  {
    DialogDriver driver([&](HWND box) {
      boxText = ItemText(box, 0xFFFF);
      boxCaption = WindowText(box);
      boxOwner = GetWindow(box, GW_OWNER);
      Press(box, IDOK);
    });
    const std::string gif = "GIF89a\x01\x00\x01\x00\x80\x00\x00";
    Host().variables["[photo.gif.MimeStreamContent]"] = Base64(std::vector<uint8_t>(gif.begin(), gif.end()));
    result = Script("4", "Rect1", "mimestream:\\\\\\photo.gif");
    Check("unsupported base64 format: one message box", driver.Handled() == 1, std::to_string(driver.Handled()));
  }
  Check("unsupported base64 format: the message text", boxText == L"Формат файла .gif не поддерживается!",
        Quoted(boxText));
  Check("unsupported base64 format: the box belongs to the host's window", boxOwner == g_main);
  Check("unsupported base64 format: true, [LastError] untouched", result && LastError() == "(untouched)",
        Shown(LastError()));

  Check("kytDCRExec: command with leading blanks runs", Script("  5", "Rect1", "Result3"));
  Check("kytDCRExec: commands 0, 6, -1 and a non-number give false",
        !Script("0", "Rect1") && !Script("6", "Rect1") && !Script("-1", "Rect1") && !Script("abc", "Rect1"));
  Check("nbExecAction: actions 0 and 6 give false", !Exec(0, {"Rect1"}) && !Exec(6, {"Rect1"}));
}

void Session::EditorDialogs() {
  EditorUnderTest e;
  e.plugin = p_.module;
  e.editAction = p_.editAction;
  e.about = p_.about;
  e.registerInterfaceAccess = p_.registerInterfaceAccess;
  e.hostWindow = g_main;
  e.outputDir = paths_.output;
  InterceptEditorImports(p_.module);
  CheckEditorForms(e);
}

void Session::Removal() {
  HWND dcr = DcrWindowOf(rect1_);
  Check("kytDcrRemove Rect1: true", Exec(2, {"Rect1"}));
  Check("kytDcrRemove: the window is gone", DcrWindowOf(rect1_) == nullptr && !IsWindow(dcr));
  ClearLastError();
  Check("kytDcrRemove again: false, [LastError] untouched", !Exec(2, {"Rect1"}) && LastError() == "(untouched)");
  Check("kytDcrCreate Rect1 and Rect2: true", Exec(1, {"Rect1"}) && Exec(1, {"Rect2"}));
  Check("kytDcrRemove RECT2 (Latin case folded): true", Exec(2, {"RECT2"}) && DcrWindowOf(rect2_) == nullptr);
  p_.message(2);
  Check("nbMessage(2): every DCR window destroyed", DcrWindowOf(rect1_) == nullptr && DcrWindowOf(rect2_) == nullptr);
  Check("after nbMessage(2): kytDcrCreate works again", Exec(1, {"Rect2"}) && DcrWindowOf(rect2_) != nullptr);
  p_.message(2);
}

// The INI file beside the library overrides the texts of the action table.
void IniOverrides(const Paths& paths) {
  const std::string dir = Win(paths.output, "ini");
  CreateDirectoryA(dir.c_str(), nullptr);
  const std::string copy = dir + "\\kytDCR.nbp";
  Check("INI: library copied beside an INI file", CopyFileW(paths.plugin.c_str(), Wide(copy).c_str(), FALSE) != 0);
  {
    std::ofstream ini(dir + "\\kytDCR.ini", std::ios::binary);
    ini << "[PlugInHeader]\r\nPlugInHint=Line one|Line two\r\n"
        << "[GroupDescription]\r\n1=My|Group\r\n"
        << "[CommandDescription]\r\nkytDcrCreate=First||Third\r\nkytDcrRemove=\r\n";
  }
  PlugIn p;
  if (!Check("INI: the copy loads", Load(p, Wide(copy)))) return;
  Host().actions.clear();
  p.registerPlugIn(reinterpret_cast<void*>(kAddAction), nullptr, reinterpret_cast<void*>(kGetVariable),
                   reinterpret_cast<void*>(kSetVariable));
  const auto& a = Host().actions;
  if (Check("INI: six entries", a.size() == 6)) {
    Check("INI: group description taken unchanged", a[0].name == "My|Group", Shown(a[0].name));
    Check("INI: | becomes CR LF, || an empty line", a[1].description == "First\r\n\r\nThird", Shown(a[1].description));
    Check("INI: a present empty key gives an empty text", a[2].description.empty(), Shown(a[2].description));
    Check("INI: an absent key keeps its default",
          a[5].description == Cp1251(L"Распознать текст в загруженном изображении и сохранить в переменной."),
          Shown(a[5].description));
  }
  char* title = nullptr;
  char* publisher = nullptr;
  char* hint = nullptr;
  p.initPlugIn(0, &title, &publisher, &hint);
  Check("INI: the hint with its | as CR LF", hint && std::string(hint) == "Line one\r\nLine two",
        hint ? Shown(hint) : "null");
  GlobalFree(title);
  GlobalFree(publisher);
  GlobalFree(hint);
  p.registerInterfaceAccess(reinterpret_cast<void*>(kInterfaceAccess));
  p.message(1);
  Check("INI: [*/*kytDCRDllName] names the copy", Host().Variable("[*/*kytDCRDllName]") == copy,
        Shown(Host().Variable("[*/*kytDCRDllName]")));
  const bool created = p.execAction(1, std::vector<char*>{HostString("Rect1")}.data(), 0) != 0;
  Check("reloaded library: kytDcrCreate makes its window again",
        created && DcrWindowOf(Host().objects["Rect1"]) != nullptr);
  p.message(2);
  FreeLibrary(p.module);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: kyt_win_testhost <kytDCR.nbp> <source dir> <output dir> [--screenshots suffix]\n");
    return 2;
  }
  // Only the editor forms' screenshots, for a run in another colour depth.
  const bool screenshotsOnly = argc >= 6 && std::wstring(argv[4]) == L"--screenshots";
  Paths paths;
  paths.plugin = argv[1];
  paths.source = Narrow(argv[2]) + "\\";
  paths.output = Narrow(argv[3]) + "\\";

  RegisterHostClasses();
  g_main = CreateWindowExW(0, L"KytTestHostMain", L"kytDCR test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 760, 520,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  HWND rect1 = MakeObject("Rect1", 20, 20, 400, 300);
  CreateWindowExW(0, L"KytTestObject", L"inner", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 10, 10, 50, 50, rect1,
                  nullptr, GetModuleHandleW(nullptr), nullptr);
  MakeObject("Rect2", 540, 20, 180, 150);
  SetForegroundWindow(g_main);
  SetActiveWindow(g_main);
  Pump();

  PlugIn p;
  if (screenshotsOnly) {
    if (Check("LoadLibrary of the plug-in", Load(p, paths.plugin), "error " + std::to_string(GetLastError()))) {
      p.registerPlugIn(reinterpret_cast<void*>(kAddAction), nullptr, reinterpret_cast<void*>(kGetVariable),
                       reinterpret_cast<void*>(kSetVariable));
      EditorUnderTest e;
      e.plugin = p.module;
      e.editAction = p.editAction;
      e.about = p.about;
      e.hostWindow = g_main;
      e.outputDir = paths.output;
      e.screenshotSuffix = Narrow(argv[5]);
      SaveEditorScreenshots(e);
      FreeLibrary(p.module);
    }
    DestroyWindow(g_main);
    return Summary();
  }
  if (Check("LoadLibrary of the plug-in", Load(p, paths.plugin), "error " + std::to_string(GetLastError()))) {
    Session s(p, paths);
    s.Registration();
    s.WindowLifecycle();
    s.KnowledgeBaseAndRecognition();
    s.Painting();
    s.Metafiles();
    s.ScriptCommands();
    s.EditorDialogs();
    s.Removal();
    Check("HostGetVariable: the value slot is empty on entry", Host().getSlotsNotEmpty == 0);
    FreeLibrary(p.module);
    IniOverrides(paths);
  }
  DestroyWindow(g_main);
  return Summary();
}
