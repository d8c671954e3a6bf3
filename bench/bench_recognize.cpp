// Recognition of a synthetic page: segmentation, normalisation and the
// 400-50-400 network, glyph by glyph.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "recognition/BackPropCls.h"
#include "recognition/DCRFra.h"
#include "recognition/GlobalMdl.h"

namespace {

using namespace kyt;

constexpr int32_t kLines = 30;
constexpr int32_t kWordsPerLine = 10;
constexpr int32_t kGlyphsPerWord = 6;
constexpr int32_t kGlyphWidth = 6, kGlyphHeight = 10;
constexpr int32_t kGlyphGap = 2, kWordGap = 26, kLineGap = 4, kMargin = 8;

// Eight connected shapes (one with a dot above its stem), all at least 10 pixels.
void DrawShape(Bitmap& page, int32_t x, int32_t y, int shape) {
  const int32_t w = kGlyphWidth, h = kGlyphHeight;
  switch (shape % 8) {
    case 0:  // block
      page.FillRect(x, y, x + w, y + h, kBlack);
      break;
    case 1:  // L
      page.FillRect(x, y, x + 2, y + h, kBlack);
      page.FillRect(x, y + h - 2, x + w, y + h, kBlack);
      break;
    case 2:  // T
      page.FillRect(x, y, x + w, y + 2, kBlack);
      page.FillRect(x + 2, y, x + 4, y + h, kBlack);
      break;
    case 3:  // ring
      page.FillRect(x, y, x + w, y + h, kBlack);
      page.FillRect(x + 2, y + 2, x + w - 2, y + h - 2, kWhite);
      break;
    case 4:  // i: dot and stem
      page.FillRect(x + 2, y, x + 4, y + 2, kBlack);
      page.FillRect(x + 2, y + 3, x + 4, y + h, kBlack);
      break;
    case 5:  // low bar
      page.FillRect(x, y + h - 4, x + w, y + h, kBlack);
      break;
    case 6:  // staircase
      for (int32_t s = 0; s < 5; ++s) page.FillRect(x + s, y + 2 * s, x + s + 2, y + 2 * s + 2, kBlack);
      break;
    default:  // cross
      page.FillRect(x, y + 4, x + w, y + 6, kBlack);
      page.FillRect(x + 2, y, x + 4, y + h, kBlack);
      break;
  }
}

Bitmap SyntheticPage() {
  const int32_t wordWidth = kGlyphsPerWord * (kGlyphWidth + kGlyphGap) - kGlyphGap;
  const int32_t width = 2 * kMargin + kWordsPerLine * wordWidth + (kWordsPerLine - 1) * kWordGap;
  const int32_t height = 2 * kMargin + kLines * kGlyphHeight + (kLines - 1) * kLineGap;
  Bitmap page(width, height, kWhite);
  int shape = 0;
  for (int32_t line = 0; line < kLines; ++line) {
    const int32_t y = kMargin + line * (kGlyphHeight + kLineGap);
    int32_t x = kMargin;
    for (int32_t word = 0; word < kWordsPerLine; ++word) {
      for (int32_t g = 0; g < kGlyphsPerWord; ++g, x += kGlyphWidth + kGlyphGap) DrawShape(page, x, y, shape++ * 5 / 3);
      x += kWordGap - kGlyphGap;
    }
  }
  return page;
}

// The plug-in's default network holding 60 patterns of random samples and targets.
TBackProp& SharedNetwork() {
  static TBackProp* network = [] {
    auto* net = new TBackProp(20, 20, 20, 20, 50);
    net->SetRandomSeed(1);
    net->RandomizeWeights();
    std::mt19937 random(5);
    for (int p = 0; p < 60; ++p) {
      TTrainingPairs pairs;
      pairs.Name = std::string(1, char('!' + p));
      TLayer sample(size_t(net->InputCount) + 1, 0.0f), target(size_t(net->OutputCount) + 1, 0.0f);
      for (size_t i = 1; i < sample.size(); ++i) sample[i] = random() % 2 ? 1.0f : -1.0f;
      for (size_t i = 1; i < target.size(); ++i) target[i] = random() % 2 ? 1.0f : -1.0f;
      pairs.Samples.push_back(sample);
      pairs.Target = target;
      net->AddTrainingPairs(pairs);
    }
    return net;
  }();
  return *network;
}

int64_t RecognisedGlyphs(const TDCRFrame& frame) {
  int64_t count = 0;
  for (const TLine& line : frame.Lines)
    for (const TWord& word : line.Words)
      for (const TChar& glyph : word.Chars) count += glyph.Skipped ? 0 : 1;
  return count;
}

void BM_RecognizePage(benchmark::State& state) {
  TDCRFrame frame;
  frame.SetUp();
  frame.AssignPicture(SyntheticPage());
  TBackProp& network = SharedNetwork();
  for (auto _ : state) {
    frame.RecognizeText(network);
    benchmark::DoNotOptimize(frame.ResultText.data());
  }
  const int64_t glyphs = RecognisedGlyphs(frame);
  if (glyphs < 1500) state.SkipWithError("the page holds fewer than 1,500 glyphs");
  state.counters["glyphs"] = double(glyphs);
  state.counters["glyphs/s"] = benchmark::Counter(double(glyphs), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["px"] = double(frame.Picture.Width()) * frame.Picture.Height();
}
BENCHMARK(BM_RecognizePage)->Unit(benchmark::kMillisecond);

// The segmentation alone: binarisation, lines, words and glyphs.
void BM_SegmentPage(benchmark::State& state) {
  TDCRFrame frame;
  frame.SetUp();
  frame.AssignPicture(SyntheticPage());
  for (auto _ : state) {
    frame.Binarize();
    frame.FindLines();
    frame.FindWords();
    frame.FindChars();
    benchmark::DoNotOptimize(frame.Lines.data());
  }
  state.counters["glyphs/s"] =
      benchmark::Counter(double(RecognisedGlyphs(frame)), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SegmentPage)->Unit(benchmark::kMillisecond);

// One glyph into the grid and the input layer.
void BM_NormalizeGlyph(benchmark::State& state) {
  Bitmap glyph(kGlyphWidth, kGlyphHeight, kWhite);
  DrawShape(glyph, 0, 0, 3);
  TLayer layer(401, 0.0f);
  for (auto _ : state) {
    const Bitmap grid = NormalizeGlyph(glyph, 20, 20);
    TBackProp::BitmapToInput(grid, layer);
    benchmark::DoNotOptimize(layer.data());
  }
}
BENCHMARK(BM_NormalizeGlyph);

}  // namespace
