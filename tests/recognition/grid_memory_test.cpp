// The answers a recognition run remembers by glyph grid: the key tells grids
// apart exactly as the glyph encoder does, and a run that remembers gives the
// text and leaves the network's layers as a run that passes every glyph
// through the network.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kernel_levels.h"
#include "platform/headless/HeadlessPlatform.h"
#include "recognition/BackPropCls.h"
#include "recognition/DCRFra.h"
#include "recognition/ForwardKernels.h"
#include "recognition/GlobalMdl.h"
#include "recognition/GridMemory.h"

namespace kyt {
namespace {

Bitmap RandomGrid(std::mt19937& random, int32_t width, int32_t height) {
  // Black, white, and colours one step from black, which are background too.
  const Color colours[] = {kBlack, kWhite, 0x000001, 0x010000, 0x808080};
  Bitmap grid(width, height, kWhite);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) grid.SetPixel(x, y, colours[random() % 5]);
  return grid;
}

TLayer InputOf(const Bitmap& grid) {
  TLayer layer(size_t(grid.Width()) * size_t(grid.Height()) + 1, 0.0f);
  TBackProp::BitmapToInput(grid, layer);
  return layer;
}

TEST(GridKey, SameKeyExactlyWhenTheEncoderGivesTheSameInput) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    const int32_t w = 1 + int32_t(random() % 23), h = 1 + int32_t(random() % 23);
    const Bitmap a = RandomGrid(random, w, h);
    Bitmap b = a;
    // Recolour a few cells: sometimes across black and background, sometimes within the background.
    const int changes = int(random() % 4);
    for (int k = 0; k < changes; ++k) {
      const int32_t x = int32_t(random() % uint32_t(w)), y = int32_t(random() % uint32_t(h));
      const Color c = b.Pixel(x, y);
      b.SetPixel(x, y, random() % 2 ? (c == kBlack ? kWhite : kBlack) : (c == kBlack ? kBlack : 0x000001));
    }
    EXPECT_EQ(GridKey(a) == GridKey(b), InputOf(a) == InputOf(b)) << w << " x " << h << ", round " << round;
  }
}

TEST(GridKey, TheShapeOfTheGridCounts) {
  // The same six cells as 2 x 3 and as 3 x 2, and one cell as 1 x 1 and 1 x 8.
  const Bitmap wide(3, 2, kBlack), tall(2, 3, kBlack);
  EXPECT_NE(GridKey(wide), GridKey(tall));
  Bitmap one(1, 1, kBlack), row(8, 1, kWhite);
  row.SetPixel(0, 0, kBlack);
  EXPECT_NE(GridKey(one), GridKey(row));
  EXPECT_EQ(GridKey(Bitmap(0, 0)), GridKey(Bitmap(0, 0)));
  EXPECT_NE(GridKey(Bitmap(0, 5)), GridKey(Bitmap(5, 0)));
}

// Two glyphs with the same pixel key must scale to the same grid, wherever
// they stand; small boxes and few pixels make equal keys frequent, and a grid
// smaller than the box makes many pixel sets share a grid.
TEST(GlyphPixelsKey, SameKeyMeansSameGridAndThePlaceDoesNotCount) {
  std::mt19937 random(11);
  struct Glyph {
    std::vector<TPoint> pixels;
    TPoint topLeft, bottomRight;
  };
  auto randomGlyph = [&] {
    Glyph g;
    const int32_t w = 1 + int32_t(random() % 4), h = 1 + int32_t(random() % 4);
    const int32_t x0 = int32_t(random() % 50), y0 = 1 + int32_t(random() % 50);
    // Opposite corners pin the box; a few more pixels, some twice.
    g.pixels = {TPoint{x0, y0}, TPoint{x0 + w - 1, y0 + h - 1}};
    for (int k = int(random() % 5); k > 0; --k)
      g.pixels.push_back(TPoint{x0 + int32_t(random() % uint32_t(w)), y0 + int32_t(random() % uint32_t(h))});
    std::shuffle(g.pixels.begin(), g.pixels.end(), random);
    g.topLeft = TPoint{x0, y0};
    g.bottomRight = TPoint{x0 + w - 1, y0 + h - 1};
    return g;
  };
  int same = 0;
  for (int round = 0; round < 3000; ++round) {
    const Glyph a = randomGlyph(), b = randomGlyph();
    std::string ka, kb;
    ASSERT_TRUE(GlyphPixelsKey(a.pixels, a.topLeft, a.bottomRight, ka));
    ASSERT_TRUE(GlyphPixelsKey(b.pixels, b.topLeft, b.bottomRight, kb));
    if (ka != kb) continue;
    ++same;
    for (const auto& [gw, gh] : {std::pair{20, 20}, std::pair{2, 3}, std::pair{1, 1}})
      EXPECT_EQ(GridKey(NormalizeGlyphPixels(a.pixels, a.topLeft, a.bottomRight, gw, gh)),
                GridKey(NormalizeGlyphPixels(b.pixels, b.topLeft, b.bottomRight, gw, gh)))
          << "round " << round << ", grid " << gw << " x " << gh;
  }
  EXPECT_GT(same, 50);
  // Moved as a whole: the same key; the same cells in another box: not.
  std::string k1, k2;
  ASSERT_TRUE(GlyphPixelsKey({{3, 4}, {4, 5}}, {3, 4}, {4, 5}, k1));
  ASSERT_TRUE(GlyphPixelsKey({{30, 40}, {31, 41}}, {30, 40}, {31, 41}, k2));
  EXPECT_EQ(k1, k2);
  ASSERT_TRUE(GlyphPixelsKey({{30, 40}, {31, 41}}, {30, 40}, {32, 41}, k2));
  EXPECT_NE(k1, k2);
}

TEST(GlyphPixelsKey, NoKeyForWhatItIsNotMadeFor) {
  std::string key = "old";
  EXPECT_FALSE(GlyphPixelsKey({}, {1, 1}, {2, 2}, key));
  EXPECT_TRUE(key.empty());
  EXPECT_FALSE(GlyphPixelsKey({{5, 5}}, {1, 1}, {2, 2}, key));  // outside its box
  EXPECT_FALSE(GlyphPixelsKey({{1, 1}}, {kNoLabel, kNoLabel}, {0, 0}, key));
  EXPECT_FALSE(GlyphPixelsKey({{1, 1}}, {1, 1}, {1000, 1000}, key));  // a box too large to key
  EXPECT_TRUE(key.empty());
}

TEST(GridMemory, KeepsValuesUpToItsCapacity) {
  TGridMemory<int> memory(2);
  EXPECT_EQ(memory.Find("a"), nullptr);
  memory.Add("a", 1);
  memory.Add("b", 2);
  memory.Add("c", 3);  // beyond the capacity: not kept
  ASSERT_NE(memory.Find("a"), nullptr);
  EXPECT_EQ(*memory.Find("a"), 1);
  EXPECT_EQ(*memory.Find("b"), 2);
  EXPECT_EQ(memory.Find("c"), nullptr);
  EXPECT_EQ(memory.Size(), 2u);
}

// The same network as a class of its own, which the driver does not
// remember for: every glyph goes through the network.
class EveryGlyph : public TBackProp {
 public:
  explicit EveryGlyph(const TBackProp& net) : TBackProp(net) {}
  void Propagate() override {
    ++passes;
    TBackProp::Propagate();
  }
  int passes = 0;
};

// A network of 20 x 20 inputs and random weights whose patterns have random
// targets of +-1; answers depend on the glyphs' shapes.
TBackProp RandomNetwork(uint64_t seed, int32_t hidden, int32_t outputs, int32_t patterns) {
  TBackProp net(20, 20, 1, outputs, hidden);
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<float> weight(-0.6f, 0.6f);
  for (auto* rows : {&net.HiddenWeights, &net.OutputWeights})
    for (size_t r = 1; r < rows->size(); ++r)
      for (float& w : (*rows)[r]) w = weight(random);
  for (int32_t p = 0; p < patterns; ++p) {
    TTrainingPairs pair;
    pair.Target.assign(size_t(outputs) + 1, 0.0f);
    for (int32_t o = 1; o <= outputs; ++o) pair.Target[size_t(o)] = random() % 2 ? 1.0f : -1.0f;
    pair.Name = "p" + std::to_string(p);
    net.TrainingSet.push_back(pair);
  }
  net.CountTargetValues();
  return net;
}

// Glyph shapes: solid blocks of several sizes, some with a notch, each one
// connected group of at least 10 pixels.
struct Shape {
  int32_t width, height, notchX, notchY;  // notch -1: none
};

void Draw(Bitmap& page, int32_t x, int32_t y, const Shape& s) {
  page.FillRect(x, y, x + s.width, y + s.height, kBlack);
  if (s.notchX >= 0) page.SetPixel(x + s.notchX, y + s.notchY, kWhite);
}

// Lines of words of glyphs drawn from `shapes` in the order of `sequence`,
// three glyphs to a word; glyphs 3 columns apart, words 30.
Bitmap PageOf(const std::vector<Shape>& shapes, const std::vector<size_t>& sequence, size_t perLine) {
  const size_t lines = (sequence.size() + perLine - 1) / perLine;
  Bitmap page(int32_t(perLine) * 14 + int32_t(perLine / 3) * 30 + 20, int32_t(lines) * 20 + 10, kWhite);
  for (size_t i = 0; i < sequence.size(); ++i) {
    const size_t l = i / perLine, k = i % perLine;
    Draw(page, 5 + int32_t(k) * 14 + int32_t(k / 3) * 30, 5 + int32_t(l) * 20, shapes[sequence[i]]);
  }
  return page;
}

std::vector<uint32_t> Bits(const TLayer& layer) {
  std::vector<uint32_t> bits;
  for (float f : layer) bits.push_back(std::bit_cast<uint32_t>(f));
  return bits;
}

class RememberedAnswers : public ::testing::Test {
 protected:
  void SetUp() override { SetPlatform(&platform_); }
  void TearDown() override { SetPlatform(nullptr); }

  // Runs the page with `net` remembering and with a copy that does not;
  // both must give the same text and end with the same layers. Returns the
  // copy's count of passes.
  int Compare(const TBackProp& original, const Bitmap& page, const std::string& what) {
    TBackProp remembering = original;
    EveryGlyph every(original);
    TDCRFrame a, b;
    a.SetUp();
    b.SetUp();
    a.AssignPicture(page);
    b.AssignPicture(page);
    kernels::Fallbacks() = {};
    a.RecognizeText(remembering);
    const uint64_t rememberedUnits = kernels::Fallbacks().units;
    kernels::Fallbacks() = {};
    b.RecognizeText(every);
    const uint64_t everyUnits = kernels::Fallbacks().units;
    EXPECT_EQ(a.ResultText, b.ResultText) << what;
    EXPECT_EQ(Bits(remembering.InputLayer), Bits(every.InputLayer)) << what;
    EXPECT_EQ(Bits(remembering.HiddenLayer), Bits(every.HiddenLayer)) << what;
    EXPECT_EQ(Bits(remembering.OutputLayer), Bits(every.OutputLayer)) << what;
    // The remembering run passed fewer glyphs through the kernels (the
    // x87 reference counts none).
    if (kernels::CurrentLevel() != kernels::Level::Reference && every.passes > 1) {
      EXPECT_LT(rememberedUnits, everyUnits) << what;
    }
    return every.passes;
  }

  HeadlessPlatform platform_;
};

TEST_F(RememberedAnswers, TheSameTextAndLayersAsPassingEveryGlyph) {
  std::mt19937 random(11);
  std::vector<Shape> shapes;
  for (int k = 0; k < 10; ++k) {
    const int32_t w = 3 + int32_t(random() % 8), h = 5 + int32_t(random() % 9);
    const bool notch = random() % 2;
    shapes.push_back({w, h, notch ? 1 + int32_t(random() % uint32_t(w - 2)) : -1, notch ? int32_t(random() % 2) : 0});
  }
  // Two shapes that differ in one pixel only, so in a few grid cells.
  shapes.push_back({8, 12, -1, 0});
  shapes.push_back({8, 12, 7, 0});
  for (kernels::Level level : kerneltest::AvailableLevels(0)) {
    kerneltest::Forced forced(level);
    const std::string name = kernels::LevelName(level);
    for (uint64_t seed = 1; seed <= 3; ++seed) {
      const TBackProp net = RandomNetwork(seed, 16 + int32_t(seed) * 9, 8 + int32_t(seed) * 13, 30);
      std::vector<size_t> sequence;
      for (int i = 0; i < 60; ++i) sequence.push_back(random() % shapes.size());
      sequence.push_back(shapes.size() - 2);
      sequence.push_back(shapes.size() - 1);
      // The last glyph one met before, then one met for the first time.
      sequence.push_back(sequence.front());
      const std::string what = name + ", seed " + std::to_string(seed);
      EXPECT_EQ(Compare(net, PageOf(shapes, sequence, 21), what + ", ends on a repeat"), int(sequence.size()));
      std::vector<Shape> more = shapes;
      more.push_back({12, 6, -1, 0});
      sequence.push_back(more.size() - 1);
      Compare(net, PageOf(more, sequence, 21), what + ", ends on a new glyph");
    }
  }
}

TEST_F(RememberedAnswers, ABundledKnowledgeBaseOnItsOwnSamples) {
  // The stored samples of latin.dcr drawn as glyphs: every sample is a grid,
  // drawn at twice its size so that it normalises back to itself.
  TBackProp net(std::string(KYT_SOURCE_DIR) + "/data/kb/latin.dcr");
  const int32_t cols = net.InputCols, rows = net.InputRows;
  std::vector<const TLayer*> samples;
  for (const TTrainingPairs& p : net.TrainingSet)
    for (const TLayer& s : p.Samples) samples.push_back(&s);
  ASSERT_GT(samples.size(), 10u);
  std::mt19937 random(5);
  const size_t glyphs = 90;
  const int32_t cell = 2, pitch = cols * cell + 6, perLine = 15;
  Bitmap page(perLine * pitch + 10, int32_t((glyphs + perLine - 1) / perLine) * (rows * cell + 6) + 10, kWhite);
  for (size_t g = 0; g < glyphs; ++g) {
    // Every other glyph repeats one of the first ten samples.
    const TLayer& s = *samples[g % 2 ? random() % 10 : random() % samples.size()];
    const int32_t x0 = 5 + int32_t(g % perLine) * pitch, y0 = 5 + int32_t(g / perLine) * (rows * cell + 6);
    for (int32_t y = 0; y < rows; ++y)
      for (int32_t x = 0; x < cols; ++x)
        if (s[size_t(1 + y * cols + x)] > 0) page.FillRect(x0 + x * cell, y0 + y * cell, x0 + x * cell + cell, y0 + y * cell + cell, kBlack);
  }
  for (kernels::Level level : kerneltest::AvailableLevels(0)) {
    kerneltest::Forced forced(level);
    Compare(net, page, kernels::LevelName(level));
  }
}

}  // namespace
}  // namespace kyt
