// The five editor forms drawn headless: saved as PNG in the build tree,
// checked where their colours are fixed, and compared region by region with
// the screenshots the Windows test host took of the same forms under wine.
#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "editor/About.h"
#include "editor/ActionEditor.h"
#include "platform/headless/canvas/HeadlessCanvas.h"
#include "platform/headless/forms/HeadlessFormPainter.h"

namespace kyt::test {
namespace {

struct Drawn {
  std::string Name;
  Bitmap Picture;
};

// The forms as nbEditAction fills them for slots of a typical publication.
std::vector<Drawn> DrawAll() {
  std::vector<Drawn> out;
  std::vector<char*> slots;
  std::string texts[5] = {"Rect1", "two", "3", "4", "5"};
  for (auto& t : texts) slots.push_back(t.data());
  for (int32_t action : {1, 5, 4, 3}) {
    auto form = BuildEditForm(action, slots.data(), 4, nullptr);
    out.push_back({form->Layout().Name, headless::PaintForm(form->Layout(), form->Texts())});
  }
  editor::TAboutBoxForm about;
  out.push_back({about.Layout().Name, headless::PaintForm(about.Layout(), about.Texts())});
  return out;
}

std::string OutDir() {
  const std::string dir = std::string(KYT_BINARY_DIR) + "/editor-forms";
  std::filesystem::create_directories(dir);
  return dir;
}

bool ReadPng(const std::string& path, Bitmap& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
  out.SetSize(int32_t(image.width), int32_t(image.height));
  for (uint32_t y = 0; y < image.height; ++y)
    for (uint32_t x = 0; x < image.width; ++x) {
      const uint8_t* p = &rgb[(size_t(y) * image.width + x) * 3];
      out.SetPixel(int32_t(x), int32_t(y), MakeColor(p[0], p[1], p[2]));
    }
  return true;
}

bool Near(Color a, Color b, int tolerance) {
  return std::abs(RedOf(a) - RedOf(b)) <= tolerance && std::abs(GreenOf(a) - GreenOf(b)) <= tolerance &&
         std::abs(BlueOf(a) - BlueOf(b)) <= tolerance;
}

// The help-box glyphs and system colours of the headless build.
class FormDrawing : public ::testing::Test {
 protected:
  void SetUp() override { controls::SetGraphicsSystem(&graphics_); }
  void TearDown() override { controls::SetGraphicsSystem(nullptr); }
  headless::HeadlessGraphics graphics_;
};

TEST_F(FormDrawing, EveryFormIsDrawnWithItsFixedColoursInPlace) {
  for (const Drawn& d : DrawAll()) {
    const std::string path = OutDir() + "/headless-" + d.Name + ".png";
    ASSERT_TRUE(headless::WritePng(d.Picture, path)) << path;
    const Bitmap& b = d.Picture;
    if (d.Name == "TEditForm1") {
      EXPECT_EQ(b.Width(), 376);
      EXPECT_EQ(b.Height(), 272);
      // The help box body (panel 8,8 + box 8,64, title about 16 high) is the fixed pale yellow.
      EXPECT_EQ(b.Pixel(8 + 8 + 340, 8 + 64 + 60), MakeColor(255, 255, 225));
      // The edit field is white inside its sunken border, the form button face.
      EXPECT_EQ(b.Pixel(8 + 12 + 300, 8 + 28 + 11), kWhite);
      EXPECT_EQ(b.Pixel(200, 250), MakeColor(212, 208, 200)) << "form background";
    }
    if (d.Name == "TEditForm5KL") {
      EXPECT_EQ(b.Height(), 570);
      // The fifth panel starts at x = 7: its fading left edge is darker than the form there.
      const Color edge = b.Pixel(7, 382 + 2), form = b.Pixel(5, 382 + 2);
      EXPECT_LT(RedOf(edge), RedOf(form));
      EXPECT_EQ(b.Pixel(8, 382 + 2), edge) << "the edge is two pixels wide";
    }
    if (d.Name == "TAboutBoxForm") {
      EXPECT_EQ(b.Width(), 360);
      int blue = 0;
      for (int32_t y = 56 + 32; y < 56 + 32 + 17; ++y)
        for (int32_t x = 16; x < 16 + 328; ++x) blue += b.Pixel(x, y) == MakeColor(0, 0, 255);
      EXPECT_GT(blue, 40) << "the address is drawn in blue";
    }
  }
}

// Share of the pixels of `r` that agree within `tolerance`, leaving out text:
// pixels much darker than the region's background in either picture. The
// screenshot may sit one pixel off in either direction, as a title whose
// height follows the font's does; the best of those placings counts.
double Agreement(const Bitmap& a, const Bitmap& b, const Rect& r, int tolerance) {
  double best = 0.0;
  const Color bg = a.Pixel(r.Left, r.Top);
  auto isInk = [&](Color c) { return int(RedOf(bg)) + GreenOf(bg) + BlueOf(bg) - RedOf(c) - GreenOf(c) - BlueOf(c) > 150; };
  for (int32_t dy = -1; dy <= 1; ++dy)
    for (int32_t dx = -1; dx <= 1; ++dx) {
      int same = 0, counted = 0;
      for (int32_t y = r.Top; y < r.Bottom; ++y)
        for (int32_t x = r.Left; x < r.Right; ++x) {
          const int32_t bx = x + dx, by = y + dy;
          if (bx < 0 || by < 0 || bx >= b.Width() || by >= b.Height()) continue;
          const Color pa = a.Pixel(x, y), pb = b.Pixel(bx, by);
          if (isInk(pa) || isInk(pb)) continue;
          ++counted;
          same += Near(pa, pb, tolerance);
        }
      if (counted) best = std::max(best, double(same) / counted);
    }
  return best;
}

TEST_F(FormDrawing, TheHeadlessDrawingIsComparedWithTheWineScreenshotRegionByRegion) {
  const std::string shots = std::string(KYT_SOURCE_DIR) + "/build-win64/testhost-out";
  int compared = 0;
  for (const Drawn& d : DrawAll()) {
    Bitmap shot;
    if (!ReadPng(shots + "/editor-" + d.Name + "-client.png", shot)) continue;
    ASSERT_EQ(shot.Width(), d.Picture.Width()) << d.Name;
    ASSERT_EQ(shot.Height(), d.Picture.Height()) << d.Name;
    ++compared;
    struct Region {
      const char* What;
      Rect Area;
    };
    std::vector<Region> regions;
    if (d.Name == "TAboutBoxForm") {
      regions = {{"help-box glyph", Rect{8 + 4, 56 + 3, 8 + 21, 56 + 16}},
                 {"help-box body", Rect{10, 56 + 20, 350, 56 + 63}},
                 {"OK button", Rect{136, 266, 219, 291}}};
    } else {
      const int32_t okTop = d.Picture.Height() - 32, okLeft = d.Name == "TEditForm1" ? 231 : 232;
      regions = {{"title band", Rect{8 + 2, 8 + 2, 8 + 300, 8 + 16}},
                 {"help-box glyph", Rect{8 + 12 + 4, 8 + 64 + 3, 8 + 12 + 21, 8 + 64 + 16}},
                 {"help-box body", Rect{8 + 12 + 2, 8 + 64 + 20, 8 + 12 + 340, 8 + 64 + 70}},
                 {"OK button", Rect{okLeft, okTop, okLeft + 65, okTop + 25}}};
      if (d.Name == "TEditForm1") {
        regions[1].Area = Rect{8 + 8 + 4, 8 + 64 + 3, 8 + 8 + 21, 8 + 64 + 16};
        regions[2].Area = Rect{8 + 8 + 2, 8 + 64 + 20, 8 + 8 + 340, 8 + 64 + 70};
      }
    }
    for (const Region& r : regions) {
      const double share = Agreement(d.Picture, shot, r.Area, 12);
      std::printf("%s %s: %.0f%% of the pixels agree\n", d.Name.c_str(), r.What, share * 100);
      ::testing::Test::RecordProperty(d.Name + " " + r.What, int(share * 100));
      // The wine suite shows the forms in the classic colour scheme, the one
      // drawn here; only the fonts differ, and text is left out of the count.
      EXPECT_GE(share, 0.95) << d.Name << " " << r.What;
    }
  }
  if (!compared) GTEST_SKIP() << "no wine screenshots in " << shots << " (run scripts/test-windows.sh)";
}

}  // namespace
}  // namespace kyt::test
