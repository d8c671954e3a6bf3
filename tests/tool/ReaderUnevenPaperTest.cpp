// The page reader on uneven paper: a threshold that follows the paper's level
// across the page, and light text on dark told by what stands out locally.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

#include "FontGlyphs.h"
#include "KnowledgeBase.h"
#include "Text.h"
#include "reader/Reader.h"
#include "reader/Stages.h"

namespace kytdcr::reader {
namespace {

kyt::TBackProp& Latin() {
  static std::unique_ptr<kyt::TBackProp> network = LoadKnowledgeBase(ResolveKnowledgeBase("latin"));
  return *network;
}

const std::vector<std::u32string> kLines = {U"Shadows fall across", U"the open book tonight"};
const std::string kText = "Shadows fall across\nthe open book tonight\n";

// The rendered lines with ink and paper levels that vary over the page: grey
// g (0 ink, 255 paper) becomes ink(x, y) .. paper(x, y).
template <typename Paper, typename Ink>
kyt::Bitmap Shaded(Paper paper, Ink ink) {
  Font f(FindFontFile("DejaVuSans"));
  f.SetPixelSize(24);
  kyt::Bitmap page = f.RenderPage(kLines, PageStyle{});
  const double w = page.Width(), h = page.Height();
  for (int32_t y = 0; y < page.Height(); ++y)
    for (int32_t x = 0; x < page.Width(); ++x) {
      const double g = kyt::RedOf(page.Pixel(x, y)) / 255.0;
      const double i = ink(x / w, y / h), p = paper(x / w, y / h);
      const uint8_t v = uint8_t(std::lround(i + (p - i) * g));
      page.SetPixel(x, y, kyt::MakeColor(v, v, v));
    }
  return page;
}

std::string Read(const kyt::Bitmap& page) { return Cp1251ToUtf8(ReadPage(page, Latin(), {}).Text()); }

TEST(ReaderUnevenPaper, ThresholdFollowsAGradientAndASpotlight) {
  // Paper from 245 at the left to 60 at the right, black ink.
  const kyt::Bitmap gradient = Shaded([](double x, double) { return 245.0 - 185.0 * x; },
                                      [](double, double) { return 20.0; });
  EXPECT_EQ(Read(gradient), kText);
  // One threshold for the whole page cannot read it.
  const InkChoice global = ChooseInk(LuminanceHistogram(gradient), std::nullopt, false);
  const InkPage one = MakeInkPage(gradient, global);
  const InkPage adaptive = MakeAdaptiveInkPage(gradient, global, LuminanceHistogram(gradient));
  size_t differ = 0;
  for (size_t i = 0; i < one.cells.size(); ++i) differ += one.cells[i] != adaptive.cells[i];
  EXPECT_GT(differ, one.cells.size() / 20) << "the picture should defeat a global threshold";
  // A spotlight left of the middle, dark corners.
  const kyt::Bitmap spot = Shaded(
      [](double x, double y) {
        const double r = std::hypot(x - 0.3, (y - 0.5) * 88.0 / 299.0);
        return std::max(50.0, 240.0 - 300.0 * r * r);
      },
      [](double, double) { return 15.0; });
  EXPECT_EQ(Read(spot), kText);
  // Light text on paper shading from dark to mid grey.
  const kyt::Bitmap dark = Shaded([](double x, double) { return 30.0 + 120.0 * x; },
                                  [](double, double) { return 230.0; });
  EXPECT_EQ(Read(dark), kText);
}

TEST(ReaderUnevenPaper, EvenPagesKeepTheGlobalThreshold) {
  const kyt::Bitmap plain = Shaded([](double, double) { return 255.0; }, [](double, double) { return 0.0; });
  const kyt::Bitmap grey = Shaded([](double, double) { return 200.0; }, [](double, double) { return 80.0; });
  for (const kyt::Bitmap* page : {&plain, &grey}) {
    const Histogram h = LuminanceHistogram(*page);
    const InkChoice choice = ChooseInk(h, std::nullopt, std::nullopt);
    EXPECT_EQ(MakeAdaptiveInkPage(*page, choice, h).cells, MakeInkPage(*page, choice).cells);
  }
  EXPECT_EQ(ChooseInk(LuminanceHistogram(plain), std::nullopt, std::nullopt).bw, 196);
}

TEST(ReaderUnevenPaper, PolarityFromWhatStandsOutLocally) {
  // Dark text on paper shaded so dark over most of the page that the darker
  // class of the histogram is the larger: still dark text.
  const kyt::Bitmap shaded = Shaded([](double x, double) { return x < 0.2 ? 240.0 : 110.0; },
                                    [](double, double) { return 10.0; });
  EXPECT_EQ(InvertedByTiles(shaded), std::optional<bool>(false));
  const kyt::Bitmap inverted = Shaded([](double, double) { return 40.0; }, [](double, double) { return 240.0; });
  EXPECT_EQ(InvertedByTiles(inverted), std::optional<bool>(true));
  EXPECT_EQ(InvertedByTiles(kyt::Bitmap(64, 64)), std::nullopt);  // no text
  // The paper's level is measured where the paper is, not on the text.
  const PaperMap map = MeasurePaper(shaded, false);
  ASSERT_FALSE(map.level.empty());
  EXPECT_NEAR(map.At(5, shaded.Height() / 2.0), 240.0, 12.0);
  EXPECT_NEAR(map.At(shaded.Width() - 5, shaded.Height() / 2.0), 110.0, 12.0);
}

}  // namespace
}  // namespace kytdcr::reader
