// Per-glyph cost of the forward pass and the ranking at each instruction-set
// level (x87 is the extended-precision reference code), on the bundled latin
// knowledge base (256-64-64) with its own training samples, and on the
// plug-in's default shape (400-50-400). The argument is the level:
// 0 x87, 1 sse2, 2 avx2, 3 avx512; levels this machine lacks are skipped.
// Each kernel alone is timed too (the sums of one layer, the activations).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "recognition/BackPropCls.h"
#include "recognition/ForwardKernels.h"

#ifndef KYT_SOURCE_DIR
#define KYT_SOURCE_DIR "."
#endif

namespace {

using kyt::TBackProp;
using kyt::TLayer;
using kyt::kernels::Level;

bool UseLevel(benchmark::State& state) {
  const Level level = Level(state.range(0));
  if (!kyt::kernels::Available(level)) {
    state.SkipWithError("level not available on this machine");
    return false;
  }
  kyt::kernels::ForceLevel(level);
  state.SetLabel(kyt::kernels::LevelName(level));
  return true;
}

TBackProp& Latin() {
  static TBackProp net(std::string(KYT_SOURCE_DIR) + "/data/kb/latin.dcr");
  return net;
}

std::vector<TLayer> LatinSamples() {
  std::vector<TLayer> samples;
  for (const kyt::TTrainingPairs& p : Latin().TrainingSet)
    for (const TLayer& s : p.Samples) samples.push_back(s);
  return samples;
}

void BM_LatinPropagate(benchmark::State& state) {
  if (!UseLevel(state)) return;
  TBackProp& net = Latin();
  const std::vector<TLayer> samples = LatinSamples();
  TBackProp::FixedNetwork fixed(net);
  size_t k = 0;
  const kyt::kernels::FallbackCounts before = kyt::kernels::Fallbacks();
  for (auto _ : state) {
    const TLayer& s = samples[k++ % samples.size()];
    std::copy(s.begin() + 1, s.end(), net.InputLayer.begin() + 1);
    net.Propagate();
    benchmark::DoNotOptimize(net.OutputLayer.data());
  }
  kyt::kernels::ForceLevel(std::nullopt);
  state.SetItemsProcessed(state.iterations());
  // Units per glyph redone in extended precision (sums, activations).
  const kyt::kernels::FallbackCounts& after = kyt::kernels::Fallbacks();
  const double glyphs = double(state.iterations());
  state.counters["redoneSums"] = double(after.sums - before.sums) / glyphs;
  state.counters["redoneActs"] = double(after.activations - before.activations) / glyphs;
  state.counters["redoneVectors"] = double(after.blocks - before.blocks) / glyphs;
}
BENCHMARK(BM_LatinPropagate)->DenseRange(0, 3);

void BM_LatinRecognize(benchmark::State& state) {
  if (!UseLevel(state)) return;
  TBackProp& net = Latin();
  const std::vector<TLayer> samples = LatinSamples();
  // Outputs of 64 different glyphs, ranked in turn.
  std::vector<TLayer> outputs;
  for (size_t k = 0; k < 64; ++k) {
    const TLayer& s = samples[(k * 7919) % samples.size()];
    std::copy(s.begin() + 1, s.end(), net.InputLayer.begin() + 1);
    net.Propagate();
    outputs.push_back(net.OutputLayer);
  }
  TBackProp::FixedNetwork fixed(net);
  std::string name;
  size_t k = 0;
  for (auto _ : state) {
    net.OutputLayer = outputs[k++ % outputs.size()];
    net.Recognize(name);
    benchmark::DoNotOptimize(name.data());
  }
  kyt::kernels::ForceLevel(std::nullopt);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LatinRecognize)->DenseRange(0, 3);

void BM_DefaultShapePropagate(benchmark::State& state) {
  if (!UseLevel(state)) return;
  TBackProp net(20, 20, 20, 20, 50);
  net.SetRandomSeed(1);
  net.RandomizeWeights();
  std::mt19937_64 random(2);
  std::bernoulli_distribution coin(0.5);
  for (int i = 1; i <= 400; ++i) net.InputLayer[i] = coin(random) ? 1.0f : -1.0f;
  TBackProp::FixedNetwork fixed(net);
  for (auto _ : state) {
    net.Propagate();
    benchmark::DoNotOptimize(net.OutputLayer.data());
  }
  kyt::kernels::ForceLevel(std::nullopt);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DefaultShapePropagate)->DenseRange(0, 3);

// The kernels alone on the latin shape: hidden sums of +-1 inputs, output
// sums of real inputs, and 64 activations.
void KernelSetup(benchmark::State& state, const kyt::kernels::KernelTable*& table) {
  table = nullptr;
  const Level level = Level(state.range(0));
  if (!kyt::kernels::Available(level) || level == Level::Reference) {
    state.SkipWithError("no such kernel here");
    return;
  }
  table = kyt::kernels::Table(level);
  state.SetLabel(kyt::kernels::LevelName(level));
}

void BM_KernelSignSums(benchmark::State& state) {
  const kyt::kernels::KernelTable* k;
  KernelSetup(state, k);
  if (!k) return;
  kyt::kernels::PackedLayer layer;
  kyt::kernels::Pack(Latin().HiddenWeights, Latin().InputCount, Latin().HiddenCount, layer);
  std::vector<uint32_t> signs(size_t(layer.inputs), 0);
  for (size_t i = 0; i < signs.size(); i += 3) signs[i] = 0x80000000u;
  kyt::kernels::AlignedFloats sums;
  sums.Assign(layer.stride);
  for (auto _ : state) {
    k->signSums(layer, signs.data(), sums.data());
    benchmark::DoNotOptimize(sums.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KernelSignSums)->DenseRange(1, 3);

void BM_KernelGeneralSums(benchmark::State& state) {
  const kyt::kernels::KernelTable* k;
  KernelSetup(state, k);
  if (!k) return;
  kyt::kernels::PackedLayer layer;
  kyt::kernels::Pack(Latin().OutputWeights, Latin().HiddenCount, Latin().OutputCount, layer);
  std::vector<float> in(size_t(layer.inputs), 0.0f);
  std::mt19937_64 random(3);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  for (float& v : in) v = value(random);
  in[0] = 1.0f;
  kyt::kernels::AlignedFloats sums;
  sums.Assign(layer.stride);
  std::vector<uint8_t> suspect(layer.stride);
  const uint64_t before = kyt::kernels::Fallbacks().blocks;
  for (auto _ : state) {
    k->generalSums(layer, in.data(), sums.data(), suspect.data());
    benchmark::DoNotOptimize(sums.data());
  }
  state.SetItemsProcessed(state.iterations());
  // Vectors of units redone by the checked double kernel, per call.
  state.counters["redoneVectors"] = double(kyt::kernels::Fallbacks().blocks - before) / double(state.iterations());
}
BENCHMARK(BM_KernelGeneralSums)->DenseRange(1, 3);

void BM_KernelActivate64(benchmark::State& state) {
  const kyt::kernels::KernelTable* k;
  KernelSetup(state, k);
  if (!k) return;
  kyt::kernels::AlignedFloats in, out;
  in.Assign(64);
  out.Assign(64);
  std::mt19937_64 random(5);
  std::uniform_real_distribution<float> value(-12.0f, 12.0f);
  for (int i = 0; i < 64; ++i) in.data()[i] = value(random);
  std::vector<uint8_t> suspect(64);
  for (auto _ : state) {
    k->activate(in.data(), out.data(), 64, suspect.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KernelActivate64)->DenseRange(1, 3);

// 64 activations in extended precision, for comparison with the kernel.
void BM_ExtendedActivate64(benchmark::State& state) {
  std::vector<float> in(64), out(64);
  std::mt19937_64 random(5);
  std::uniform_real_distribution<float> value(-12.0f, 12.0f);
  for (float& v : in) v = value(random);
  for (auto _ : state) {
    for (int i = 0; i < 64; ++i) out[size_t(i)] = TBackProp::Activation(in[size_t(i)]);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExtendedActivate64);

}  // namespace
