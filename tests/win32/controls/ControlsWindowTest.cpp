// The host-styled controls in a real window: a panel holding a help box and
// glyph buttons, shown by the Win32 control window, hovered and pressed with
// real mouse input (SendInput), photographed from the screen and checked
// pixel by pixel.
//
//   kyt_win_controls_test <output dir> [--expect high|low] [--force-colors N]
//
// --expect names the mode the screen's colour depth must give; --force-colors
// makes the controls draw as on a screen of N colours. Every check prints a
// PASS/FAIL line; the last line sums them up.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "controls/NeoBookButton.h"
#include "controls/NeoBookHelpBox2.h"
#include "controls/NeoBookPanel.h"
#include "controls/NeoUtils.h"
#include "platform/win32/canvas/Win32Canvas.h"
#include "resources/ResourceBitmaps.h"
#include "tests/win32/Checks.h"
#include "tests/win32/PngFiles.h"

using namespace kyt;
using namespace kyt::controls;
using kyt::testhost::Check;
using kyt::testhost::Image;

namespace {

constexpr int kWindowX = 40, kWindowY = 40;

void Pump(int milliseconds) {
  const DWORD end = GetTickCount() + DWORD(milliseconds);
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  } while (GetTickCount() < end);
}

// The window's client area as the screen shows it.
Image Screenshot(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  const int w = client.right, h = client.bottom;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  Image image;
  image.width = w;
  image.height = h;
  image.pixels.assign(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + size_t(w) * size_t(h));
  for (uint32_t& p : image.pixels) p &= 0xFFFFFF;
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return image;
}

// The colour the screen shows for `c` (the nearest of its palette on a palette screen), as 0x00RRGGBB.
uint32_t OnScreen(Color c) {
  HDC screen = GetDC(nullptr);
  const COLORREF n = GetNearestColor(screen, COLORREF(ColorToRGB(c)));
  ReleaseDC(nullptr, screen);
  return (uint32_t(GetRValue(n)) << 16) | (uint32_t(GetGValue(n)) << 8) | GetBValue(n);
}

std::string Hex(uint32_t rgb) {
  char b[16];
  std::snprintf(b, sizeof b, "#%06X", unsigned(rgb));
  return b;
}

// On a palette screen the system maps brush, pen and bitmap colours to its 256
// colours in ways of its own, so there a pixel only has to be within the
// palette's rounding of the colour asked for.
int g_tolerance = 0;

bool Near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
    if (d > g_tolerance || d < -g_tolerance) return false;
  }
  return true;
}

bool PixelIs(const Image& shot, int x, int y, Color expected, std::string& detail) {
  const Color rgb = ColorToRGB(expected);
  const uint32_t want = g_tolerance ? ((uint32_t(RedOf(rgb)) << 16) | (uint32_t(GreenOf(rgb)) << 8) | BlueOf(rgb))
                                    : OnScreen(expected);
  const uint32_t got = shot.At(x, y);
  char text[96];
  std::snprintf(text, sizeof text, "(%d, %d) is %s, expected %s", x, y, Hex(got).c_str(), Hex(want).c_str());
  detail = text;
  return g_tolerance ? Near(got, want) : got == want;
}

void CheckPixel(const std::string& name, const Image& shot, int x, int y, Color expected) {
  std::string detail;
  Check(name, PixelIs(shot, x, y, expected, detail), detail);
}

bool AnyPixel(const Image& shot, const Rect& r, Color c) {
  std::string detail;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      if (PixelIs(shot, x, y, c, detail)) return true;
  return false;
}

// Moves the real pointer to client point (x, y) of `window`.
void MoveMouse(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = LONG((p.x * 65535 + GetSystemMetrics(SM_CXSCREEN) / 2) / (GetSystemMetrics(SM_CXSCREEN) - 1));
  in.mi.dy = LONG((p.y * 65535 + GetSystemMetrics(SM_CYSCREEN) / 2) / (GetSystemMetrics(SM_CYSCREEN) - 1));
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof in);
  Pump(150);
}

void PressMouse(bool down) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  SendInput(1, &in, sizeof in);
  Pump(150);
}

Bitmap Glyph() {
  Bitmap g(20, 20, MakeColor(255, 0, 255));
  g.FillRect(3, 3, 17, 17, MakeColor(40, 90, 160));
  g.FillRect(6, 6, 14, 14, MakeColor(250, 220, 80));
  return g;
}

struct Options {
  std::string output = ".";
  std::string expect;
  int64_t forceColors = 0;
};

Options Parse(int argc, wchar_t** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--expect" && i + 1 < argc) {
      const std::wstring v = argv[++i];
      o.expect = std::string(v.begin(), v.end());
    } else if (a == L"--force-colors" && i + 1 < argc) {
      o.forceColors = _wtoi64(argv[++i]);
    } else {
      o.output = std::string(a.begin(), a.end());
    }
  }
  return o;
}

void Save(const Image& shot, const Options& o, const std::string& name) {
  std::string error;
  const std::string path = o.output + "\\" + name + ".png";
  Check("screenshot " + name + ".png saved", kyt::testhost::WritePng(path, shot, error), error);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const Options o = Parse(argc, argv);
  win32::Win32Graphics graphics;
  SetGraphicsSystem(&graphics);
  if (o.forceColors > 0) SetScreenColorCountForTesting(o.forceColors);

  const int32_t bits = graphics.ScreenBitsTimesPlanes();
  std::printf("screen: %d bits per pixel x planes, %lld colours, %s-colour mode%s\n", int(bits),
              static_cast<long long>(ScreenColorCount()), LowColorMode() ? "low" : "high",
              o.forceColors > 0 ? " (forced)" : "");
  if (o.forceColors == 0) {
    Check("colour count follows the screen device", ScreenColorCount() == ColorCountFromBits(bits),
          std::to_string(ScreenColorCount()));
    if (!o.expect.empty())
      Check("the screen gives " + o.expect + "-colour mode", LowColorMode() == (o.expect == "low"),
            std::to_string(bits) + " bits");
  }
  const bool low = LowColorMode();
  if (bits <= 8) g_tolerance = 0x60;
  const std::string mode = low ? "low" : "high";
  const std::string tag = o.forceColors > 0 ? mode + "-forced" : mode;

  {
    // The DLL's bitmap resource holds the same pixels as the XPM picture it was made from.
    const resources::BitmapData* data = resources::FindBitmap(HelpBoxGlyphResource());
    const Bitmap& glyph = HelpBoxGlyph();
    int differ = -1;
    if (data && glyph.Width() == data->width && glyph.Height() == data->height) {
      differ = 0;
      for (int y = 0; y < glyph.Height(); ++y)
        for (int x = 0; x < glyph.Width(); ++x)
          if (glyph.Pixel(x, y) != data->pixels[y * data->width + x]) ++differ;
    }
    Check(std::string("help-box glyph from the bitmap resource ") + HelpBoxGlyphResource() + " as drawn",
          differ == 0, differ < 0 ? "missing or of the wrong size" : std::to_string(differ) + " pixels differ");
  }

  // The window: a panel with a help box and three buttons, as in the editor's forms.
  TWinControl form;
  form.SetBounds(0, 0, 377, 161);
  form.SetColor(clBtnFace);
  TNeoBookPanel panel(&form);
  panel.SetBounds(8, 8, 361, 145);
  panel.SetCaption("\xCE\xE1\xFA\xE5\xEA\xF2 \xCF\xF0\xFF\xEC\xEE\xF3\xE3\xEE\xEB\xFC\xED\xE8\xEA (Rectangle):");
  TNeoBookButton disabled(&panel), flat(&panel), plain(&panel);
  disabled.SetBounds(268, 28, 25, 24);
  flat.SetBounds(298, 28, 25, 24);
  plain.SetBounds(328, 28, 25, 24);
  for (TNeoBookButton* b : {&disabled, &flat, &plain}) b->SetGlyph(Glyph());
  flat.SetFlat(true);
  disabled.SetEnabled(false);
  int clicks = 0;
  flat.OnClick = [&] { ++clicks; };
  TNeoBookHelpBox2 help(&panel);
  help.SetBounds(8, 64, 345, 73);
  help.SetCaption("\xCF\xEE\xE4\xF1\xEA\xE0\xE7\xEA\xE0");

  win32::ControlWindow window(form, nullptr, WS_POPUP, L"kytDCR controls", kWindowX, kWindowY);
  HWND hwnd = window.Handle();
  Check("control window created", hwnd != nullptr);
  if (!hwnd) return kyt::testhost::Summary();
  // Start with the pointer away from the window.
  SetCursorPos(5, 5);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd);
  UpdateWindow(hwnd);
  Pump(300);

  const Color face = ColorToRGB(clBtnFace);
  // Client coordinates of a button's pixel (x, y).
  auto at = [](const TNeoBookButton& b, int x, int y) { return std::pair<int, int>{8 + b.Left() + x, 8 + b.Top() + y}; };
  const int helpX = 8 + 8, helpY = 8 + 64;

  // ---- At rest ----
  Image shot = Screenshot(hwnd);
  Save(shot, o, "controls-rest-" + tag);
  {
    auto [x, y] = at(flat, 1, 12);
    CheckPixel(mode + " rest: a flat button shows the parent's colour", shot, x, y, face);
    auto [gx, gy] = at(flat, 12, 12);
    CheckPixel(mode + " rest: the flat button's glyph", shot, gx, gy, MakeColor(250, 220, 80));
    if (!low) {
      auto [px, py] = at(plain, 0, 12);
      CheckPixel(mode + " rest: the plain button's outline", shot, px, py, kEnabledOutline);
      auto [dx, dy] = at(disabled, 0, 12);
      CheckPixel(mode + " rest: the disabled button's grey outline", shot, dx, dy, kDisabledOutline);
      CheckPixel(mode + " rest: help-box body pale yellow", shot, helpX + 150, helpY + 50, kHelpBoxYellow);
      CheckPixel(mode + " rest: panel corner softened", shot, 8, 8,
                 MixColors(ColorToRGB(clBtnShadow), face, 10));
      CheckPixel(mode + " rest: title band in the accent colour", shot, 8 + 2, 8 + 14, PanelAccentColor());
    } else {
      auto [px, py] = at(plain, 0, 0);
      CheckPixel(mode + " rest: the plain button's classic frame", shot, px, py, clBtnHighlight);
      auto [qx, qy] = at(plain, 24, 23);
      CheckPixel(mode + " rest: the plain button's dark corner", shot, qx, qy, cl3DDkShadow);
      CheckPixel(mode + " rest: help-box body in the info-tip colour", shot, helpX + 150, helpY + 50, clInfoBk);
      CheckPixel(mode + " rest: panel caption box grey", shot, 8, 8, MakeColor(128, 128, 128));
      Check(mode + " rest: panel caption in white", AnyPixel(shot, Rect{8, 8, 200, 24}, kWhite));
    }
    // The glyph's middle pixel, 4 from the left, vertically centred on the tab.
    const Color mid = HelpBoxGlyph().Empty() ? 0 : HelpBoxGlyph().Pixel(8, 8);
    Check(mode + " rest: the help-box glyph shows",
          AnyPixel(shot, Rect{helpX + 4 + 7, helpY, helpX + 4 + 10, helpY + 20}, mid));
  }

  // ---- Hovering the flat button ----
  {
    auto [x, y] = at(flat, 12, 12);
    MoveMouse(hwnd, x, y);
  }
  {
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(hwnd, &p);
    Check(mode + " hover: the flat button tracks the real pointer", flat.MouseInControl(),
          "pointer at client (" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")" +
              (WindowFromPoint(POINT{p.x + kWindowX, p.y + kWindowY}) == hwnd ? " over the window" : " not over it"));
  }
  shot = Screenshot(hwnd);
  Save(shot, o, "controls-hover-flat-" + tag);
  if (!low) {
    auto [x, y] = at(flat, 0, 12);
    CheckPixel(mode + " hover: blue outline", shot, x, y, kEnabledOutline);
    auto [rx, ry] = at(flat, 1, 12);
    CheckPixel(mode + " hover: grey outer ring", shot, rx, ry, MakeColor(240, 240, 236));
    auto [ix, iy] = at(flat, 2, 12);
    CheckPixel(mode + " hover: grey inner ring", shot, ix, iy, MakeColor(245, 245, 241));
    auto [fx, fy] = at(flat, 3, 12);
    CheckPixel(mode + " hover: white face", shot, fx, fy, kWhite);
  } else {
    auto [x, y] = at(flat, 0, 0);
    CheckPixel(mode + " hover: raised edge", shot, x, y, clBtnHighlight);
    auto [bx, by] = at(flat, 24, 23);
    CheckPixel(mode + " hover: raised edge shadow", shot, bx, by, clBtnShadow);
  }

  // ---- Pressing it ----
  PressMouse(true);
  Check(mode + " press: the button is down", flat.State() == TButtonState::bsDown);
  shot = Screenshot(hwnd);
  Save(shot, o, "controls-pressed-flat-" + tag);
  if (!low) {
    auto [x, y] = at(flat, 0, 12);
    CheckPixel(mode + " press: pressed-and-hot outline", shot, x, y, kPressedHotOutline);
    auto [sx, sy] = at(flat, 1, 12);
    CheckPixel(mode + " press: shaded left line", shot, sx, sy, ShiftColor(kBaseGrey, -20));
    auto [gx, gy] = at(flat, 13, 13);
    CheckPixel(mode + " press: glyph shifted by one", shot, gx, gy, MakeColor(250, 220, 80));
  } else {
    auto [x, y] = at(flat, 0, 0);
    CheckPixel(mode + " press: sunken edge", shot, x, y, clBtnShadow);
  }
  PressMouse(false);
  Check(mode + " release inside: one click", clicks == 1, std::to_string(clicks));
  Check(mode + " release inside: up and still hovered",
        flat.State() == TButtonState::bsUp && flat.MouseInControl());

  // ---- Over to the plain button ----
  {
    auto [x, y] = at(plain, 12, 12);
    MoveMouse(hwnd, x - 4, y);
    MoveMouse(hwnd, x, y);
  }
  Check(mode + " hover moves on: the flat button lets go", !flat.MouseInControl());
  Check(mode + " hover moves on: the plain button is hot", plain.MouseInControl());
  shot = Screenshot(hwnd);
  Save(shot, o, "controls-hover-plain-" + tag);
  if (!low) {
    auto [x, y] = at(plain, 0, 12);
    CheckPixel(mode + " hover plain: darker blue outline", shot, x, y, kHotOutline);
    auto [rx, ry] = at(plain, 1, 12);
    CheckPixel(mode + " hover plain: orange outer ring", shot, rx, ry, MixColors(kWhite, kHotOrange, 75));
    auto [bx, by] = at(plain, 23, 12);
    CheckPixel(mode + " hover plain: orange outer ring, far side", shot, bx, by, MixColors(kWhite, kHotOrange, 25));
    auto [fx, fy] = at(flat, 1, 12);
    CheckPixel(mode + " hover plain: the flat button at rest again", shot, fx, fy, face);
  }

  // ---- Away from the window ----
  MoveMouse(hwnd, 370, 150);
  MoveMouse(hwnd, 800, 600);
  Check(mode + " away: no button hot", !plain.MouseInControl() && !flat.MouseInControl());
  Check(mode + " away: the capture is released", GetCapture() == nullptr && CaptureControl() == nullptr);

  ShowWindow(hwnd, SW_HIDE);
  SetGraphicsSystem(nullptr);
  return kyt::testhost::Summary();
}
