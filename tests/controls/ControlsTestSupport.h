#pragma once
// Helpers of the control tests: a graphics system with chosen system colours
// and colour count, a host that records what the controls ask of it, and
// rendering of a control tree into a bitmap (saved as PNG in the build tree).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "controls/Control.h"
#include "controls/NeoUtils.h"
#include "platform/headless/canvas/HeadlessCanvas.h"

namespace kyt::controls::testing {

inline std::string Hex(Color c) {
  char b[16];
  std::snprintf(b, sizeof b, "#%02X%02X%02X", RedOf(c), GreenOf(c), BlueOf(c));
  return b;
}

// Headless graphics with system colours the test may change.
class TestGraphics : public IGraphicsSystem {
 public:
  std::map<int32_t, Color> colors;
  int32_t bits = 24;
  bool themes = false;
  std::optional<Color> accent;
  headless::HeadlessGraphics resources;

  Color SysColor(int32_t index) override {
    auto it = colors.find(index);
    return it != colors.end() ? it->second : DefaultSysColor(index);
  }
  int32_t ScreenBitsTimesPlanes() override { return bits; }
  bool ThemesActive() override { return themes; }
  std::optional<Color> DesktopAccentColor() override { return accent; }
  std::optional<Bitmap> LoadBitmapResource(const std::string& name) override {
    return resources.LoadBitmapResource(name);
  }
};

// Installs TestGraphics and a colour count for one test; puts things back after.
class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetGraphicsSystem(&graphics);
    SetScreenColorCountForTesting(16777216);
  }
  void TearDown() override {
    SetCaptureControl(nullptr);
    SetScreenColorCountForTesting(std::nullopt);
    SetGraphicsSystem(nullptr);
  }
  void UseColors(int64_t count) { SetScreenColorCountForTesting(count); }
  TestGraphics graphics;
};

// A host that records invalidations and capture and reports a pointer position.
class FakeHost : public IControlHost {
 public:
  int invalidations = 0;
  bool captured = false;
  Point cursor{-100, -100};
  bool overRoot = true;
  bool leftDown = false, rightDown = false;
  TWinControl* focused = nullptr;

  void Invalidate(const Rect&) override { ++invalidations; }
  void SetMouseCapture(bool capture) override { captured = capture; }
  Point CursorPos() override { return cursor; }
  bool CursorOverRoot() override { return overRoot; }
  bool MouseButtonDown(MouseButton b) override { return b == MouseButton::Left ? leftDown : rightDown; }
  void Focus(TWinControl& c) override { focused = &c; }
};

// Paints `control` (and its children) onto a bitmap of its size.
inline Bitmap Render(TControl& control, Color background = MakeColor(1, 2, 3)) {
  Bitmap b(control.Width(), control.Height(), background);
  headless::HeadlessCanvas canvas(b);
  PaintTree(control, canvas);
  return b;
}

// Saves a render as build-tree/controls-png/<name>.png and returns the path.
inline std::string SavePng(const Bitmap& b, const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(KYT_BINARY_DIR) / "controls-png";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / (name + ".png")).string();
  EXPECT_TRUE(headless::WritePng(b, path)) << path;
  return path;
}

#define EXPECT_COLOR(bitmap, x, y, expected)                                                             \
  EXPECT_EQ(::kyt::controls::testing::Hex((bitmap).Pixel((x), (y))), ::kyt::controls::testing::Hex(expected)) \
      << "pixel (" << (x) << ", " << (y) << ")"

}  // namespace kyt::controls::testing
