// The general sums where they run as Single multiply-adds (AVX2, AVX-512):
// steps planted where rounding the exact sum once to Single differs from
// rounding it first to the extended 64 bits and then to Single, at every unit
// of layers whose unit counts are no multiple of a vector, and layers built
// from such products at random scales. Every level this machine has is
// forced in turn; the plain extended-precision loop is the judge.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "recognition/BackPropCls.h"
#include "recognition/ForwardKernels.h"
#include "kernel_levels.h"
#include "reference_network.h"

namespace kyt {
namespace {

using kernels::Level;
using reference::Bits;

float Extended(float s, float x, float w) { return float(s + static_cast<long double>(x) * w); }

// One planted step: the running sum s (the bias weight, input 1), then x * w.
struct Trap {
  const char* name;
  float s, x, w;
};

// Integer significands whose products lie just off a multiple of a power of
// two: 8392705 x 16769026 = 2^47 + 2, 10610063 x 13264529 = 2^47 - 1, and
// 8421376 x 16711936 = 2^47 + 2^23 exactly; and one just below a midpoint
// that is no short number: 11875819 x 14267709 = 20198909 x 2^23 - 1.
std::vector<Trap> Traps() {
  const float x1 = std::ldexp(8392705.0f, -24), w1 = std::ldexp(16769026.0f, -47);    // 2^-24 + 2^-70
  const float x2 = std::ldexp(10610063.0f, -24), w2 = std::ldexp(13264529.0f, -47);   // 2^-24 - 2^-71
  const float x3 = std::ldexp(8421376.0f, -24), w3 = std::ldexp(16711936.0f, -23);    // 1 + 2^-24
  const float x4 = std::ldexp(11875819.0f, -24), w4 = std::ldexp(14267709.0f, -23);   // m - 2^-47
  return {
      // 2^-47 + 2^-66 under a product 2^-47 short of the midpoint m =
      // 20198909 x 2^-24, whose neighbours have long significands: extended
      // lands on m and ties down to the even one.
      {"sum 2^-47 under a product just below a long midpoint", 0x1p-47f + 0x1p-66f, x4, w4},
      // 1 + 2^-24 + 2^-70: extended lands on the midpoint and ties to 1.
      {"product a little above a half step", 1.0f, x1, w1},
      // 1 + 3 2^-24 - 2^-71: extended lands on the midpoint and ties to 1 + 2^-22.
      {"product a little below a half step", 1.0f + 0x1p-23f, x2, w2},
      // A sum 2^-70 that the product, itself a midpoint, swamps.
      {"tiny sum under a midpoint product", 0x1p-70f, x3, w3},
      // In the subnormal range: 2^-130 + 2^-150 + 2^-196.
      {"subnormal sum", 0x1p-130f, std::ldexp(x1, -60), std::ldexp(w1, -66)},
      // FLT_MAX + 2^103 - 2^56: extended rounds to 2^128 - 2^103 and overflows.
      {"overflow edge", FLT_MAX, x2, std::ldexp(w2, 127)},
  };
}

TEST(SingleSums, PlantedTrapsAreRealTraps) {
  for (const Trap& t : Traps()) {
    for (float sign : {1.0f, -1.0f}) {
      const float s = sign * t.s, w = sign * t.w;
      EXPECT_NE(Bits(std::fma(t.x, w, s)), Bits(Extended(s, t.x, w))) << t.name;
    }
  }
}

// A layer of `units` with `inputs` real inputs (half of them +-1), one unit
// holding the trap at input `at`; the kernel's unmarked sums and Propagate's
// layer are the reference's.
void CheckTrapLayer(const kernels::KernelTable& k, Level level, const Trap& t, float sign, int32_t inputs,
                    int32_t units, int32_t at, int32_t trap, std::mt19937_64& random) {
  std::uniform_real_distribution<float> weight(-1.0f, 1.0f);
  std::vector<float> in(size_t(inputs) + 1);
  in[0] = 1.0f;
  for (int32_t i = 1; i <= inputs; ++i) in[size_t(i)] = i % 2 ? weight(random) : (weight(random) < 0 ? -1.0f : 1.0f);
  in[size_t(at)] = t.x;
  TLayerWeights rows(size_t(units) + 1, TLayer(size_t(inputs) + 1, 0.0f));
  for (int32_t u = 1; u <= units; ++u)
    for (int32_t i = 0; i <= inputs; ++i) rows[size_t(u)][size_t(i)] = weight(random);
  // Up to the trap the sum stays the bias weight; later steps are ordinary.
  TLayer& row = rows[size_t(trap) + 1];
  std::fill(row.begin(), row.begin() + at, 0.0f);
  row[0] = sign * t.s;
  row[size_t(at)] = sign * t.w;
  const std::string what = std::string(kernels::LevelName(level)) + " " + t.name + (sign < 0 ? " negated" : "") +
                           " at input " + std::to_string(at) + " of " + std::to_string(units) + " units, trap unit " +
                           std::to_string(trap);

  kernels::PackedLayer packed;
  kernels::Pack(rows, inputs, units, packed);
  kernels::AlignedFloats sums;
  sums.Assign(packed.stride);
  std::vector<uint8_t> suspect(packed.stride, 0);
  k.generalSums(packed, in.data(), sums.data(), suspect.data());
  int marked = 0;
  for (int32_t u = 0; u < units; ++u) {
    float expected = 0.0f;
    for (int32_t i = 0; i <= inputs; ++i)
      expected = float(expected + static_cast<long double>(in[size_t(i)]) * rows[size_t(u) + 1][size_t(i)]);
    if (!suspect[size_t(u)]) {
      ASSERT_EQ(Bits(sums.data()[u]), Bits(expected)) << what << " unit " << u;
    }
    marked += suspect[size_t(u)];
  }
  EXPECT_LE(marked, 8) << what;  // not the whole vector of the trap

  // The same layer as a network's hidden layer, fed the real inputs.
  TBackProp net(inputs, units, 1);
  net.HiddenWeights = rows;
  net.InputLayer = in;
  TBackProp ref = net;
  net.Propagate();
  reference::Propagate(ref);
  for (int32_t h = 1; h <= units; ++h)
    ASSERT_EQ(Bits(net.HiddenLayer[size_t(h)]), Bits(ref.HiddenLayer[size_t(h)])) << what << " hidden unit " << h;
  ASSERT_EQ(Bits(net.OutputLayer[1]), Bits(ref.OutputLayer[1])) << what;
}

TEST(SingleSums, TrapsAtEveryUnitOfOddLayersAtEveryLevel) {
  std::mt19937_64 random(1406);
  for (Level level : kerneltest::AvailableLevels(1)) {
    const kernels::KernelTable* k = kernels::Table(level);
    ASSERT_NE(k, nullptr);
    kerneltest::Forced forced(level);
    for (const Trap& t : Traps()) {
      for (float sign : {1.0f, -1.0f}) {
        for (int32_t units : {37, 75}) {
          // The second, the last input; with 70 inputs the first step of the
          // second chunk of 64 steps (the kernels prove steps in chunks), where
          // the sum is still the bias weight.
          const int32_t places[][2] = {{9, 1}, {9, 9}, {70, 64}, {70, 70}};
          for (const auto& place : places) {
            for (int32_t trap = 0; trap < units; ++trap) {
              CheckTrapLayer(*k, level, t, sign, place[0], units, place[1], trap, random);
              if (HasFatalFailure()) return;
            }
          }
        }
      }
    }
  }
}

// Networks whose steps are all products of such significands, scaled by
// powers of 2 so that sums and products meet at every ratio of magnitudes,
// with sums that cancel to tiny values, through both layers.
TEST(SingleSums, StructuredProductsAtRandomScalesMatchTheReference) {
  const float xs[] = {8392705.0f, 10610063.0f, 8421376.0f, 9010893.0f, 8388609.0f, 9567964.0f, 12582912.0f};
  const float ws[] = {16769026.0f, 13264529.0f, 16711936.0f, 15618595.0f, 16777214.0f, 14709241.0f, 8388608.0f};
  std::mt19937_64 random(1407);
  std::uniform_int_distribution<size_t> pick(0, std::size(xs) - 1);
  std::uniform_int_distribution<int> shift(-30, 6);
  std::bernoulli_distribution coin(0.5);
  for (Level level : kerneltest::AvailableLevels(1)) {
    kerneltest::Forced forced(level);
    for (int round = 0; round < 60; ++round) {
      const int32_t inputs = 5 + round % 7, hidden = 17 + round % 5, outputs = 19 + round % 3;
      TBackProp net = reference::RandomNetwork(inputs, hidden, outputs, random, 1.0f, true);
      auto value = [&](const float* table, int lo) {
        const float v = std::ldexp(table[pick(random)], lo + shift(random));
        return coin(random) ? v : -v;
      };
      for (int32_t i = 1; i <= inputs; ++i) net.InputLayer[size_t(i)] = value(xs, -24);
      for (int32_t h = 1; h <= hidden; ++h) {
        for (int32_t i = 0; i <= inputs; ++i) net.HiddenWeights[size_t(h)][size_t(i)] = value(ws, -24);
        // The sum after the bias cancels against the next step now and then.
        if (round % 3 == 0) net.HiddenWeights[size_t(h)][0] = -net.InputLayer[1] * net.HiddenWeights[size_t(h)][1];
      }
      for (int32_t o = 1; o <= outputs; ++o)
        for (int32_t h = 0; h <= hidden; ++h) net.OutputWeights[size_t(o)][size_t(h)] = value(ws, -24);
      TBackProp ref = net;
      net.Propagate();
      reference::Propagate(ref);
      const std::string what = std::string(kernels::LevelName(level)) + " round " + std::to_string(round);
      for (int32_t h = 1; h <= hidden; ++h)
        ASSERT_EQ(Bits(net.HiddenLayer[size_t(h)]), Bits(ref.HiddenLayer[size_t(h)])) << what << " hidden " << h;
      for (int32_t o = 1; o <= outputs; ++o)
        ASSERT_EQ(Bits(net.OutputLayer[size_t(o)]), Bits(ref.OutputLayer[size_t(o)])) << what << " output " << o;
    }
  }
}

// With ordinary weights the tests that send a chunk of steps of a vector to
// the step-by-step form fire rarely: well under once per glyph, of the 48
// chunk vectors (AVX-512; 96 with AVX2) of this shape's output layer.
TEST(SingleSums, OrdinaryWeightsRarelyNeedTheCheckedKernel) {
  std::mt19937_64 random(1408);
  for (Level level : kerneltest::AvailableLevels(1)) {
    kerneltest::Forced forced(level);
    TBackProp net = reference::RandomNetwork(256, 320, 128, random, 0.3f);
    std::bernoulli_distribution coin(0.5);
    const uint64_t before = kernels::Fallbacks().blocks;
    for (int glyph = 0; glyph < 50; ++glyph) {
      for (int32_t i = 1; i <= 256; ++i) net.InputLayer[size_t(i)] = coin(random) ? 1.0f : -1.0f;
      net.Propagate();
    }
    EXPECT_LE(kernels::Fallbacks().blocks - before, 50u) << kernels::LevelName(level);
  }
}

}  // namespace
}  // namespace kyt
