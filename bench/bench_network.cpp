// Speed of the network on the plug-in's shape (400 inputs, 50 hidden units,
// 400 outputs): forward passes, recognition against the training set, training
// samples, and knowledge-base loading.
#include <benchmark/benchmark.h>

#include <random>

#include "recognition/BackPropCls.h"

namespace {

using kyt::TBackProp;
using kyt::TLayer;

TBackProp MakeNetwork(int patterns, int samplesEach, uint64_t seed) {
  TBackProp net(20, 20, 20, 20, 50);
  net.SetRandomSeed(seed);
  net.RandomizeWeights();
  std::mt19937_64 random(seed);
  std::bernoulli_distribution coin(0.5);
  for (int p = 0; p < patterns; ++p) {
    kyt::TTrainingPairs pair;
    for (int s = 0; s < samplesEach; ++s) {
      TLayer sample(401, 0.0f);
      for (int i = 1; i <= 400; ++i) sample[i] = coin(random) ? 1.0f : -1.0f;
      pair.Samples.push_back(sample);
    }
    pair.Target.assign(401, -1.0f);
    for (int o = 1; o <= 400; ++o) pair.Target[o] = coin(random) ? 1.0f : -1.0f;
    pair.Name = std::string(1, char('A' + p % 26)) + std::to_string(p);
    net.AddTrainingPairs(pair);
  }
  for (int i = 1; i <= 400; ++i) net.InputLayer[i] = coin(random) ? 1.0f : -1.0f;
  return net;
}

void BM_Propagate(benchmark::State& state) {
  TBackProp net = MakeNetwork(0, 0, 1);
  for (auto _ : state) {
    net.Propagate();
    benchmark::DoNotOptimize(net.OutputLayer.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Propagate);

// The same pass written as plainly as the arithmetic reads (one sum at a
// time, indexed vectors), to show what the arrangement of the loops buys.
void BM_PropagatePlain(benchmark::State& state) {
  TBackProp net = MakeNetwork(0, 0, 1);
  for (auto _ : state) {
    for (int h = 1; h <= net.HiddenCount; ++h) {
      net.HiddenLayer[h] = 0.0f;
      for (int i = 0; i <= net.InputCount; ++i)
        net.HiddenLayer[h] = float(static_cast<long double>(net.HiddenLayer[h]) +
                                   static_cast<long double>(net.InputLayer[i]) * net.HiddenWeights[h][i]);
      net.HiddenLayer[h] = TBackProp::Activation(net.HiddenLayer[h]);
    }
    for (int o = 1; o <= net.OutputCount; ++o) {
      net.OutputLayer[o] = 0.0f;
      for (int h = 0; h <= net.HiddenCount; ++h)
        net.OutputLayer[o] = float(static_cast<long double>(net.OutputLayer[o]) +
                                   static_cast<long double>(net.HiddenLayer[h]) * net.OutputWeights[o][h]);
      net.OutputLayer[o] = TBackProp::Activation(net.OutputLayer[o]);
    }
    benchmark::DoNotOptimize(net.OutputLayer.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PropagatePlain);

// One glyph as recognition handles it: forward pass, then the best of N patterns.
void BM_PropagateAndRecognize(benchmark::State& state) {
  TBackProp net = MakeNetwork(int(state.range(0)), 1, 2);
  std::string name;
  for (auto _ : state) {
    net.Propagate();
    net.Recognize(name);
    benchmark::DoNotOptimize(name.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PropagateAndRecognize)->Arg(20)->Arg(100);

void BM_Recognize(benchmark::State& state) {
  TBackProp net = MakeNetwork(int(state.range(0)), 1, 3);
  net.Propagate();
  std::string name;
  for (auto _ : state) {
    net.Recognize(name);
    benchmark::DoNotOptimize(name.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Recognize)->Arg(20)->Arg(100);

void BM_RankPatterns(benchmark::State& state) {
  TBackProp net = MakeNetwork(int(state.range(0)), 1, 3);
  net.Propagate();
  for (auto _ : state) {
    std::vector<std::string> names, scores, counts;
    net.RankPatterns(names, scores, counts);
    benchmark::DoNotOptimize(names.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RankPatterns)->Arg(20)->Arg(100);

// One training epoch over 20 patterns x 5 samples; items are samples.
void BM_TrainEpoch(benchmark::State& state) {
  TBackProp net = MakeNetwork(20, 5, 4);
  net.SetMaxEpochs(1);
  for (auto _ : state) {
    net.Train();
    benchmark::DoNotOptimize(net.ErrorSum);
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_TrainEpoch)->Unit(benchmark::kMillisecond);

// Loading a knowledge base of 60 patterns x 10 samples (about 1.2 MB) from memory.
void BM_LoadFromBytes(benchmark::State& state) {
  const std::vector<uint8_t> bytes = MakeNetwork(60, 10, 5).SaveToBytes();
  TBackProp net(1, 1, 1);
  for (auto _ : state) {
    net.LoadFromBytes(bytes);
    benchmark::DoNotOptimize(net.TrainingSet.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t(bytes.size()));
}
BENCHMARK(BM_LoadFromBytes)->Unit(benchmark::kMillisecond);

}  // namespace
