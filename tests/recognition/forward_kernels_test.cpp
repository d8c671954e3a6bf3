// The fast forward pass and ranking at every instruction-set level this
// machine offers (each one forced in turn), against the plain reference
// arithmetic: random networks of many shapes and weight scales, values built
// to hit the rare rounding cases, and the bundled knowledge bases with their
// own training samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/Error.h"
#include "recognition/BackPropCls.h"
#include "recognition/ForwardKernels.h"
#include "kernel_levels.h"
#include "reference_network.h"

namespace kyt {
namespace {

using kernels::Level;
using reference::Bits;

std::vector<Level> FastLevels() { return kerneltest::AvailableLevels(1); }
using kerneltest::Forced;

// Both layers of `net` after its Propagate equal those of the reference pass.
void ExpectSameLayers(const TBackProp& net, const TBackProp& ref, const std::string& what) {
  for (int32_t h = 0; h <= net.HiddenCount; ++h)
    ASSERT_EQ(Bits(net.HiddenLayer[h]), Bits(ref.HiddenLayer[h])) << what << " hidden unit " << h;
  for (int32_t o = 1; o <= net.OutputCount; ++o)
    ASSERT_EQ(Bits(net.OutputLayer[o]), Bits(ref.OutputLayer[o])) << what << " output unit " << o;
}

TEST(ForwardKernels, DispatchOffersTheReferenceAndRefusesWhatIsMissing) {
  EXPECT_TRUE(kernels::Available(Level::Reference));
  EXPECT_TRUE(kernels::Available(kernels::BestLevel()));
  EXPECT_EQ(kernels::CurrentLevel(), kernels::BestLevel());
  for (int i = 0; i < kernels::kLevelCount; ++i) {
    if (kernels::Available(Level(i))) {
      Forced forced{Level(i)};
      EXPECT_EQ(kernels::CurrentLevel(), Level(i));
    } else {
      EXPECT_THROW(kernels::ForceLevel(Level(i)), Error);
    }
  }
  EXPECT_EQ(kernels::CurrentLevel(), kernels::BestLevel());
#if defined(__x86_64__)
  // Every x86-64 processor has SSE2, so the kernels always run there.
  EXPECT_TRUE(kernels::Available(Level::Sse2));
#endif
}

struct Shape {
  int32_t inputs, hidden, outputs;
};

// Random networks: every shape with every weight scale, +-1 inputs and real
// ones, several input vectors each, at every level.
TEST(ForwardKernels, RandomNetworksMatchTheReferenceAtEveryLevel) {
  const Shape shapes[] = {{1, 1, 1},   {2, 3, 1},     {7, 5, 3},    {16, 17, 15}, {33, 31, 65},
                          {64, 16, 8}, {256, 64, 64}, {400, 50, 400}, {101, 1, 129}};
  const float scales[] = {0.001f, 0.03f, 0.5f, 3.0f, 30.0f, 3000.0f};
  std::mt19937_64 random(14);
  for (Level level : FastLevels()) {
    Forced forced(level);
    for (const Shape& s : shapes) {
      for (float scale : scales) {
        for (bool realInputs : {false, true}) {
          TBackProp net = reference::RandomNetwork(s.inputs, s.hidden, s.outputs, random, scale, realInputs);
          std::uniform_real_distribution<float> real(-2.0f, 2.0f);
          std::bernoulli_distribution coin(0.5);
          for (int glyph = 0; glyph < 6; ++glyph) {
            if (glyph > 0) {
              for (int32_t i = 1; i <= s.inputs; ++i)
                net.InputLayer[i] = realInputs ? real(random) : (coin(random) ? 1.0f : -1.0f);
            }
            TBackProp ref = net;
            net.Propagate();
            reference::Propagate(ref);
            ExpectSameLayers(net, ref,
                             std::string(kernels::LevelName(level)) + " " + std::to_string(s.inputs) + "-" +
                                 std::to_string(s.hidden) + "-" + std::to_string(s.outputs) + " scale " +
                                 std::to_string(scale) + (realInputs ? " real" : " signs"));
          }
        }
      }
    }
  }
}

// Weights that are zero, negative zero, subnormal, huge (sums overflow to
// infinity and then to NaN), and inputs of +-0 or a bias other than 1.
TEST(ForwardKernels, ExtremeWeightsAndInputsMatchTheReference) {
  const float specials[] = {0.0f,     -0.0f,   1e-45f,  -1e-45f, 1e-38f, -3e-39f, 1e-20f, 3e38f,
                            -3e38f,   1e30f,   -1e30f,  11000.0f, -11357.0f, 88.0f, -88.0f, 0.5f};
  std::mt19937_64 random(1414);
  std::uniform_int_distribution<size_t> pick(0, std::size(specials) - 1);
  std::bernoulli_distribution coin(0.5);
  for (Level level : FastLevels()) {
    Forced forced(level);
    for (int round = 0; round < 40; ++round) {
      TBackProp net = reference::RandomNetwork(9, 19, 17, random, 1.0f);
      for (int32_t h = 1; h <= 19; ++h) {
        for (int32_t i = 0; i <= 9; ++i)
          if (coin(random)) net.HiddenWeights[h][i] = specials[pick(random)];
      }
      for (int32_t o = 1; o <= 17; ++o) {
        for (int32_t h = 0; h <= 19; ++h)
          if (coin(random)) net.OutputWeights[o][h] = specials[pick(random)];
      }
      if (round % 4 == 1) net.InputLayer[3] = coin(random) ? 0.0f : -0.0f;
      if (round % 4 == 2) net.InputLayer[0] = -1.0f;
      if (round % 4 == 3) net.HiddenLayer[0] = 0.75f;  // bias unit spoilt by a caller
      TBackProp ref = net;
      net.Propagate();
      reference::Propagate(ref);
      ExpectSameLayers(net, ref, std::string(kernels::LevelName(level)) + " round " + std::to_string(round));
    }
  }
}

// The general kernel's contract: a unit it does not mark holds the extended
// sum. Built so that one step's double lies exactly on a midpoint between two
// Singles while the exact value does not: 1 + 2^-23 plus
// (1 + 2^-18) * (2^-24 - 2^-42) is 2^-60 short of the midpoint, so the extended
// sum rounds down and a plain double rounding would round up (to even).
TEST(ForwardKernels, GeneralSumsMarkTheMidpointCasesTheyCannotDecide) {
  const float s0 = 1.0f + 0x1p-23f, x = 1.0f + 0x1p-18f, w = 0x1p-24f - 0x1p-42f;
  const float extended = float(s0 + static_cast<long double>(x) * w);
  ASSERT_EQ(extended, s0);
  ASSERT_NE(float(double(s0) + double(x) * double(w)), extended);  // the trap is real
  for (Level level : FastLevels()) {
    const kernels::KernelTable* k = kernels::Table(level);
    ASSERT_NE(k, nullptr);
    // 20 units: unit 4 meets the trap, the others have ordinary weights.
    TLayerWeights rows(21, TLayer(3, 0.0f));
    std::mt19937_64 random(4);
    std::uniform_real_distribution<float> weight(-1.0f, 1.0f);
    for (int32_t u = 1; u <= 20; ++u)
      for (int32_t i = 0; i <= 2; ++i) rows[u][i] = weight(random);
    rows[5] = {s0, w, 0.0f};
    const float in[3] = {1.0f, x, 0.37f};
    kernels::PackedLayer packed;
    kernels::Pack(rows, 2, 20, packed);
    kernels::AlignedFloats sums;
    sums.Assign(packed.stride);
    std::vector<uint8_t> suspect(packed.stride, 0);
    k->generalSums(packed, in, sums.data(), suspect.data());
    // The double sums mark the unit; the Single ones (AVX2, AVX-512) redo
    // its steps and need no mark, but the unit's sum is checked below.
    if (level == Level::Sse2) {
      EXPECT_TRUE(suspect[4]) << kernels::LevelName(level);
    }
    int marked = 0;
    for (int32_t u = 0; u < 20; ++u) {
      float expected = 0.0f;
      for (int32_t i = 0; i <= 2; ++i) expected = float(expected + static_cast<long double>(in[i]) * rows[u + 1][i]);
      if (!suspect[u]) {
        EXPECT_EQ(Bits(sums.data()[u]), Bits(expected)) << kernels::LevelName(level) << " unit " << u;
      }
      marked += suspect[u];
    }
    EXPECT_LE(marked, 2) << "ordinary sums should not need the slow path";

    // The same trap through Propagate: the hidden unit's activation differs.
    TBackProp net(2, 1, 1);
    net.HiddenWeights[1] = {s0, w, 0.0f};
    net.InputLayer = {1.0f, x, 0.0f};
    TBackProp ref = net;
    Forced forced(level);
    net.Propagate();
    reference::Propagate(ref);
    ExpectSameLayers(net, ref, kernels::LevelName(level));
  }
}

// The general kernel handles units in blocks of vectors and redoes a whole
// block when one step of one unit needs the slow path: the trap above (and a
// sum that turns subnormal) at every unit of a layer whose count is no
// multiple of any vector width, met at the second or the last input. The trap
// unit is marked, the other units of its block keep their exact sums, and
// the redone block marks few units besides it.
TEST(ForwardKernels, GeneralSumsRedoOnlyTheBlockOfAMarkedUnit) {
  const float s0 = 1.0f + 0x1p-23f, x = 1.0f + 0x1p-18f, w = 0x1p-24f - 0x1p-42f;
  constexpr int32_t kInputs = 6, kUnits = 75;
  std::mt19937_64 random(75);
  std::uniform_real_distribution<float> weight(-1.0f, 1.0f);
  for (Level level : FastLevels()) {
    const kernels::KernelTable* k = kernels::Table(level);
    ASSERT_NE(k, nullptr);
    for (bool tiny : {false, true}) {
      for (int32_t at : {1, kInputs}) {
        for (int32_t trap = 0; trap < kUnits; ++trap) {
          float in[kInputs + 1];
          in[0] = 1.0f;
          for (int32_t i = 1; i <= kInputs; ++i) in[i] = 0.37f + 0.01f * float(i);
          in[at] = tiny ? 0.7f : x;  // full significands: ordinary steps meet no midpoint
          TLayerWeights rows(kUnits + 1, TLayer(kInputs + 1, 0.0f));
          for (int32_t u = 1; u <= kUnits; ++u)
            for (int32_t i = 0; i <= kInputs; ++i) rows[u][i] = weight(random);
          TLayer& t = rows[trap + 1];
          std::fill(t.begin(), t.end(), 0.0f);
          t[0] = tiny ? 0.0f : s0;
          t[at] = tiny ? 1e-39f : w;
          kernels::PackedLayer packed;
          kernels::Pack(rows, kInputs, kUnits, packed);
          kernels::AlignedFloats sums;
          sums.Assign(packed.stride);
          std::vector<uint8_t> suspect(packed.stride, 0);
          k->generalSums(packed, in, sums.data(), suspect.data());
          const std::string what = std::string(kernels::LevelName(level)) + (tiny ? " tiny" : " midpoint") +
                                   " at input " + std::to_string(at) + " trap unit " + std::to_string(trap);
          if (level == Level::Sse2) {
            EXPECT_TRUE(suspect[trap]) << what;  // the Single sums redo it unmarked
          }
          EXPECT_LE(std::count(suspect.begin(), suspect.end(), uint8_t(1)), 4) << what;
          for (int32_t u = 0; u < kUnits; ++u) {
            float expected = 0.0f;
            for (int32_t i = 0; i <= kInputs; ++i)
              expected = float(expected + static_cast<long double>(in[i]) * rows[u + 1][i]);
            if (!suspect[u]) {
              ASSERT_EQ(Bits(sums.data()[u]), Bits(expected)) << what << " unit " << u;
            }
          }
        }
      }
    }
  }
}

// The activation kernel over a wide spread of net inputs: every value it does
// not mark is the reference's, and it marks few of the ordinary ones.
TEST(ForwardKernels, ActivationIsTheReferenceWhereverItIsNotMarked) {
  std::vector<float> xs;
  std::mt19937_64 random(1400);
  std::uniform_real_distribution<double> exponent(-30.0, 14.0);
  std::bernoulli_distribution coin(0.5);
  for (int n = 0; n < 400000; ++n) {
    const float magnitude = float(std::exp2(exponent(random)));
    xs.push_back(coin(random) ? magnitude : -magnitude);
  }
  const float specials[] = {0.0f, -0.0f, 1e-45f, -1e-45f, 18.0f, 18.02f, -18.02f, 80.0f, -80.0f, 10999.0f,
                            -11000.0f, -11356.0f, -11357.0f, -11400.0f, 11400.0f, 3e38f, -3e38f,
                            std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN()};
  xs.insert(xs.end(), std::begin(specials), std::end(specials));
  // Every Single between 0.5 and 0.5 + 2^-8 in a row: neighbours of halfway cases.
  for (float x = 0.5f; x < 0.5f + 0x1p-8f; x = std::nextafter(x, 1.0f)) xs.push_back(x);
  const size_t count = xs.size();
  kernels::AlignedFloats in, out;
  in.Assign(count + kernels::kUnitAlign);
  out.Assign(count + kernels::kUnitAlign);
  std::memcpy(in.data(), xs.data(), count * sizeof(float));
  std::vector<uint8_t> suspect(count + kernels::kUnitAlign);
  for (Level level : FastLevels()) {
    const kernels::KernelTable* k = kernels::Table(level);
    k->activate(in.data(), out.data(), int32_t(count), suspect.data());
    size_t ordinary = 0, ordinaryMarked = 0;
    for (size_t n = 0; n < count; ++n) {
      const float x = xs[n];
      if (!suspect[n]) {
        ASSERT_EQ(Bits(out.data()[n]), Bits(reference::Activation(x))) << kernels::LevelName(level) << " x=" << x;
      }
      if (std::fabs(x) >= 0x1p-12f && std::fabs(x) <= 100.0f) {
        ++ordinary;
        ordinaryMarked += suspect[n];
      }
    }
    EXPECT_LT(double(ordinaryMarked), 0.01 * double(ordinary)) << kernels::LevelName(level);
  }
}

// Outputs against targets of +-1 under several tolerances, with ties: the
// fast ranking names the same pattern as the reference ranking's head.
TEST(ForwardKernels, RankingByMasksNamesTheReferenceHead) {
  std::mt19937_64 random(77);
  const float tolerances[] = {1.0f, 0.5f, 1.5f, 0.0f, -1.0f, 2.0f, std::nextafter(1.0f, 2.0f), 1e-30f};
  const int32_t outputCounts[] = {1, 7, 64, 65, 128, 400};
  std::bernoulli_distribution coin(0.5);
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  const float specials[] = {0.0f, -0.0f, 1.0f, -1.0f, 2.0f, -2.0f, 0.5f, -0.5f,
                            std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 1e-40f};
  for (int32_t outputs : outputCounts) {
    for (float tolerance : tolerances) {
      TBackProp net(1, 1, outputs);
      net.Tolerance = tolerance;
      // Patterns in pairs and triples of identical targets, so that ties occur.
      std::vector<TLayer> targets;
      for (int p = 0; p < 12; ++p) {
        TLayer t(outputs + 1, 0.0f);
        for (int32_t o = 1; o <= outputs; ++o) t[o] = coin(random) ? 1.0f : -1.0f;
        targets.push_back(t);
      }
      for (int p = 0; p < 30; ++p) net.AddTrainingPairs({{}, targets[size_t(p) % (p < 18 ? 6 : 12)], "p" + std::to_string(p)});
      for (int glyph = 0; glyph < 60; ++glyph) {
        const TLayer& near = targets[size_t(glyph) % targets.size()];
        for (int32_t o = 1; o <= outputs; ++o) {
          const int k = kind(random);
          // Mostly near one target, so that few outputs are wrong and scores tie.
          net.OutputLayer[o] = k < 6 ? near[o] * 0.9f : k < 8 ? value(random) : specials[size_t(random() % std::size(specials))];
        }
        std::vector<std::string> names, scores, counts;
        {
          Forced reference(Level::Reference);
          net.RankPatterns(names, scores, counts);
        }
        for (Level level : FastLevels()) {
          Forced forced(level);
          std::string name = "unset";
          net.Recognize(name);
          ASSERT_EQ(name, names[0]) << "outputs " << outputs << " tolerance " << tolerance << " glyph " << glyph
                                    << " " << kernels::LevelName(level);
        }
      }
    }
  }
}

// Changing weights, targets or the tolerance between calls is noticed;
// targets other than +-1 fall back to the plain ranking.
TEST(ForwardKernels, ChangesBetweenCallsAreNoticed) {
  std::mt19937_64 random(9);
  for (Level level : FastLevels()) {
    Forced forced(level);
    TBackProp net = reference::RandomNetwork(20, 6, 5, random, 2.0f);
    TLayer target(6, 1.0f);
    net.AddTrainingPairs({{}, target, "plus"});
    target.assign(6, -1.0f);
    net.AddTrainingPairs({{}, target, "minus"});
    for (int step = 0; step < 6; ++step) {
      if (step == 1) net.HiddenWeights[3][7] = -net.HiddenWeights[3][7] * 5.0f;
      if (step == 2) net.OutputWeights[5][0] = 40.0f;
      if (step == 3) net.TrainingSet[1].Target[2] = 1.0f;
      if (step == 4) net.Tolerance = 0.25f;
      if (step == 5) net.TrainingSet[0].Target[4] = 0.3f;  // not +-1
      TBackProp ref = net;
      net.Propagate();
      reference::Propagate(ref);
      ExpectSameLayers(net, ref, std::string(kernels::LevelName(level)) + " step " + std::to_string(step));
      std::vector<std::string> names, scores, counts;
      {
        Forced plain(Level::Reference);
        ref.RankPatterns(names, scores, counts);
      }
      std::string name;
      net.Recognize(name);
      EXPECT_EQ(name, names[0]) << kernels::LevelName(level) << " step " << step;
    }
    // A copy computes with its own weights.
    TBackProp copy = net;
    copy.OutputWeights[1][1] = -copy.OutputWeights[1][1];
    TBackProp ref = copy;
    copy.Propagate();
    reference::Propagate(ref);
    ExpectSameLayers(copy, ref, "copy");
  }
}

// The bundled knowledge bases with their own training samples: every sample's
// layers and answer at every level are the reference's.
TEST(ForwardKernels, BundledKnowledgeBasesWithTheirTrainingSamples) {
  for (const char* base : {"latin", "russian"}) {
    TBackProp net(std::string(KYT_SOURCE_DIR) + "/data/kb/" + base + ".dcr");
    ASSERT_GT(net.PatternCount(), 0);
    size_t samples = 0;
    TBackProp ref = net;
    TBackProp::FixedNetwork fixed(net);  // as recognition holds it
    for (const TTrainingPairs& pattern : net.TrainingSet) {
      for (const TLayer& sample : pattern.Samples) {
        std::copy(sample.begin() + 1, sample.end(), net.InputLayer.begin() + 1);
        std::copy(sample.begin() + 1, sample.end(), ref.InputLayer.begin() + 1);
        reference::Propagate(ref);
        std::string expected;
        {
          // The plain ranking's head (RankPatterns' Names[0], as the ranking tests show).
          Forced plain(Level::Reference);
          ref.Recognize(expected);
        }
        for (Level level : FastLevels()) {
          Forced forced(level);
          net.Propagate();
          ExpectSameLayers(net, ref, std::string(base) + " " + kernels::LevelName(level));
          std::string name;
          net.Recognize(name);
          ASSERT_EQ(name, expected) << base << " " << kernels::LevelName(level);
        }
        ++samples;
      }
    }
    EXPECT_GT(samples, 100u) << base;
  }
}

}  // namespace
}  // namespace kyt
