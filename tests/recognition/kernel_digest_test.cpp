// The network's arithmetic gives the same bits on every build: 32-bit x86
// with its x87 code and 64-bit x86 alike, at every dispatch level. Fixed
// networks whose weights and inputs are drawn from integers (no library
// distribution, whose float arithmetic may differ between the builds) are
// propagated and trained, and a digest of every layer and weight is compared
// with the one the 64-bit build gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "recognition/BackPropCls.h"
#include "recognition/ForwardKernels.h"
#include "kernel_levels.h"
#include "reference_network.h"

namespace kyt {
namespace {

using kernels::Level;
using reference::Bits;

// splitmix64: the same numbers everywhere.
struct Numbers {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A Single in [-2^e, 2^e): a 24-bit integer times a power of two, exact.
  float Real(int e) { return std::ldexp(float(int32_t(Next() >> 40) - (1 << 23)), e - 23); }
  float Sign() { return (Next() >> 63) ? 1.0f : -1.0f; }
};

struct Digest {
  uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
  void Add(float f) {
    const uint32_t b = f != f ? 0x7FC00000u : Bits(f);
    for (int k = 0; k < 4; ++k) {
      h ^= (b >> (8 * k)) & 0xFF;
      h *= 0x100000001B3ull;
    }
  }
  void Add(const TLayer& layer, size_t first) {
    for (size_t i = first; i < layer.size(); ++i) Add(layer[i]);
  }
};

TBackProp FixedNetwork(int32_t I, int32_t H, int32_t O, int scale, bool realInputs, Numbers& n) {
  TBackProp net(I, H, O);
  for (int32_t h = 1; h <= H; ++h)
    for (int32_t i = 0; i <= I; ++i) net.HiddenWeights[size_t(h)][size_t(i)] = n.Real(scale);
  for (int32_t o = 1; o <= O; ++o)
    for (int32_t h = 0; h <= H; ++h) net.OutputWeights[size_t(o)][size_t(h)] = n.Real(scale);
  for (int32_t p = 0; p < 3; ++p) {
    TTrainingPairs pair;
    for (int32_t s = 0; s < 2; ++s) {
      TLayer sample(size_t(I) + 1, 0.0f);
      for (int32_t i = 1; i <= I; ++i) sample[size_t(i)] = realInputs && s == 1 ? n.Real(0) : n.Sign();
      pair.Samples.push_back(sample);
    }
    pair.Target.assign(size_t(O) + 1, 0.0f);
    for (int32_t o = 1; o <= O; ++o) pair.Target[size_t(o)] = n.Sign();
    pair.Name = std::to_string(p);
    net.AddTrainingPairs(pair);
  }
  net.SetLearningRate(0.125f);
  net.Tolerance = 0.75f;
  net.SetMaxEpochs(2);
  net.ErrorGoal = -1.0f;
  net.MeanErrorGoal = -1.0f;
  return net;
}

// The digests of forward passes over every sample of a set of fixed networks
// and of their weights and error statistics after two epochs of training, at
// `level`.
struct Digests {
  uint64_t forward, training;
};

Digests RunAt(Level level) {
  kerneltest::Forced forced(level);
  struct Case {
    int32_t I, H, O;
    int scale;
    bool realInputs;
  };
  const Case cases[] = {{400, 50, 400, -1, false}, {256, 64, 64, 0, true}, {37, 13, 29, -5, true},
                        {16, 17, 15, 2, false},    {9, 31, 5, 5, true}};
  Numbers n{2026};
  Digest forward, training;
  for (const Case& c : cases) {
    TBackProp net = FixedNetwork(c.I, c.H, c.O, c.scale, c.realInputs, n);
    for (const TTrainingPairs& pattern : net.TrainingSet) {
      for (const TLayer& sample : pattern.Samples) {
        std::copy(sample.begin() + 1, sample.end(), net.InputLayer.begin() + 1);
        net.Propagate();
        forward.Add(net.HiddenLayer, 1);
        forward.Add(net.OutputLayer, 1);
      }
    }
    net.Train();
    training.Add(net.ErrorSum);
    training.Add(float(net.ErrorCount));
    for (int32_t h = 1; h <= c.H; ++h) training.Add(net.HiddenWeights[size_t(h)], 0);
    for (int32_t o = 1; o <= c.O; ++o) training.Add(net.OutputWeights[size_t(o)], 0);
  }
  return {forward.h, training.h};
}

TEST(KernelDigest, EveryBuildAndLevelGivesTheSameBits) {
  // From the 64-bit build's extended-precision code.
  const uint64_t forward = 0x41C30025BEDDD2A1ull, training = 0x26DCDB7BA6DF466Full;
  for (Level level : kerneltest::AvailableLevels(0)) {
    const Digests got = RunAt(level);
    std::printf("digest %s forward %016llX training %016llX\n", kernels::LevelName(level),
                static_cast<unsigned long long>(got.forward), static_cast<unsigned long long>(got.training));
    EXPECT_EQ(got.forward, forward) << kernels::LevelName(level);
    EXPECT_EQ(got.training, training) << kernels::LevelName(level);
  }
}

}  // namespace
}  // namespace kyt
