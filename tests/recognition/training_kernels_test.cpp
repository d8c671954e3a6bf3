// Training with the fast kernels at every instruction-set level this machine
// offers (each forced in turn), against the plain reference training: the
// weights, ErrorSum and ErrorCount after whole epochs are the reference's bit
// for bit, on random networks of many shapes, weight scales and learning
// rates, with +-1 and real inputs, extreme values, and the rounding traps of
// the weight changes and of the hidden error sums.
#include <gtest/gtest.h>

#include <bit>
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

std::vector<Level> AllLevels() { return kerneltest::AvailableLevels(0); }
using kerneltest::Forced;

// The bits of a value, every NaN as one: which of two NaN operands an
// extended-precision addition passes on depends on the order the compiler
// gives them, so a NaN weight plus a NaN change has no one sign or payload.
uint32_t Same(float f) { return f != f ? 0x7FC00000u : Bits(f); }

// Weights, statistics and layers of `net` equal those of `ref`.
void ExpectSameNetwork(const TBackProp& net, const TBackProp& ref, const std::string& what) {
  ASSERT_EQ(net.ErrorCount, ref.ErrorCount) << what;
  ASSERT_EQ(Same(net.ErrorSum), Same(ref.ErrorSum)) << what;
  for (int32_t h = 1; h <= net.HiddenCount; ++h)
    for (int32_t i = 0; i <= net.InputCount; ++i)
      ASSERT_EQ(Same(net.HiddenWeights[h][i]), Same(ref.HiddenWeights[h][i])) << what << " hidden [" << h << "][" << i << "]";
  for (int32_t o = 1; o <= net.OutputCount; ++o)
    for (int32_t h = 0; h <= net.HiddenCount; ++h)
      ASSERT_EQ(Same(net.OutputWeights[o][h]), Same(ref.OutputWeights[o][h])) << what << " output [" << o << "][" << h << "]";
  for (int32_t o = 1; o <= net.OutputCount; ++o)
    ASSERT_EQ(Same(net.OutputLayer[o]), Same(ref.OutputLayer[o])) << what << " output unit " << o;
}

// A training set of `patterns` x `samples` for net: +-1 inputs, or real ones
// in [-1.5, 1.5] for every other sample when `realInputs`; targets +-1.
void AddPatterns(TBackProp& net, int32_t patterns, int32_t samples, bool realInputs, std::mt19937_64& random) {
  std::uniform_real_distribution<float> real(-1.5f, 1.5f);
  std::bernoulli_distribution coin(0.5);
  for (int32_t p = 0; p < patterns; ++p) {
    TTrainingPairs pair;
    for (int32_t s = 0; s < samples; ++s) {
      TLayer sample(size_t(net.InputCount) + 1, 0.0f);
      const bool real_ = realInputs && (p + s) % 2 == 1;
      for (int32_t i = 1; i <= net.InputCount; ++i) sample[i] = real_ ? real(random) : (coin(random) ? 1.0f : -1.0f);
      pair.Samples.push_back(sample);
    }
    pair.Target.assign(size_t(net.OutputCount) + 1, 0.0f);
    for (int32_t o = 1; o <= net.OutputCount; ++o) pair.Target[o] = coin(random) ? 1.0f : -1.0f;
    pair.Name = std::to_string(p);
    net.AddTrainingPairs(pair);
  }
}

// Trains a copy of `net` for `epochs` with Train at `level` and another with
// the reference, and compares them. One epoch per run: a mean error that is
// NaN ends a run.
void ExpectTrainingAsReference(const TBackProp& net, int32_t epochs, Level level, const std::string& what) {
  TBackProp fast = net, plain = net;
  fast.SetMaxEpochs(1);
  {
    Forced forced(level);
    for (int32_t e = 0; e < epochs; ++e) fast.Train();
  }
  for (int32_t e = 0; e < epochs; ++e) reference::TrainEpoch(plain);
  ExpectSameNetwork(fast, plain, std::string(kernels::LevelName(level)) + " " + what);
}

struct Shape {
  int32_t inputs, hidden, outputs;
};

TEST(TrainingKernels, RandomNetworksTrainAsTheReferenceAtEveryLevel) {
  const Shape shapes[] = {{1, 1, 1}, {2, 3, 1}, {7, 5, 3}, {16, 17, 15}, {33, 31, 65}, {101, 1, 129}, {64, 40, 9}};
  const float scales[] = {0.03f, 0.5f, 3.0f, 30.0f};
  const float rates[] = {0.001f, 0.1f, 1.0f, 7.0f};
  std::mt19937_64 random(1414);
  for (Level level : AllLevels()) {
    for (const Shape& s : shapes) {
      for (size_t k = 0; k < std::size(scales); ++k) {
        for (bool realInputs : {false, true}) {
          TBackProp net = reference::RandomNetwork(s.inputs, s.hidden, s.outputs, random, scales[k], realInputs);
          AddPatterns(net, 3, 2, realInputs, random);
          net.SetLearningRate(rates[(k + size_t(realInputs)) % std::size(rates)]);
          net.Tolerance = 0.75f;
          ExpectTrainingAsReference(net, 2, level,
                                    std::to_string(s.inputs) + "-" + std::to_string(s.hidden) + "-" +
                                        std::to_string(s.outputs) + " scale " + std::to_string(scales[k]) +
                                        (realInputs ? " real" : " signs"));
        }
      }
    }
  }
}

// The plug-in's shape and the bundled base's, a few samples each.
TEST(TrainingKernels, FullSizeNetworksTrainAsTheReference) {
  std::mt19937_64 random(400);
  for (Level level : AllLevels()) {
    for (const Shape& s : {Shape{400, 50, 400}, Shape{256, 160, 128}}) {
      TBackProp net = reference::RandomNetwork(s.inputs, s.hidden, s.outputs, random, 0.5f);
      AddPatterns(net, 4, 2, level == Level::Sse2, random);
      net.SetLearningRate(0.1f);
      ExpectTrainingAsReference(net, 1, level, std::to_string(s.inputs) + "-" + std::to_string(s.hidden));
    }
  }
}

// Weights of +-0, subnormals, huge values (changes and sums overflow, NaNs
// follow), learning rates whose changes are subnormal or infinite, inputs of
// +-0 among the signs.
TEST(TrainingKernels, ExtremeValuesTrainAsTheReference) {
  const float specials[] = {0.0f,   -0.0f,  1e-45f, -1e-45f, 1e-38f,  -3e-39f, 1e-20f,
                            3e38f,  -3e38f, 1e30f,  -1e30f,  11000.0f, 88.0f,  0.5f};
  const float rates[] = {1e-40f, 1e-30f, 0.25f, 1e20f, 3e38f};
  std::mt19937_64 random(777);
  std::uniform_int_distribution<size_t> pick(0, std::size(specials) - 1);
  std::bernoulli_distribution coin(0.3);
  for (Level level : AllLevels()) {
    for (int round = 0; round < 30; ++round) {
      TBackProp net = reference::RandomNetwork(17, 19, 23, random, 1.0f);
      for (int32_t h = 1; h <= 19; ++h)
        for (int32_t i = 0; i <= 17; ++i)
          if (coin(random)) net.HiddenWeights[h][i] = specials[pick(random)];
      for (int32_t o = 1; o <= 23; ++o)
        for (int32_t h = 0; h <= 19; ++h)
          if (coin(random)) net.OutputWeights[o][h] = specials[pick(random)];
      AddPatterns(net, 2, 2, round % 3 == 1, random);
      if (round % 3 == 2) net.TrainingSet[0].Samples[1][5] = -0.0f;
      net.SetLearningRate(rates[size_t(round) % std::size(rates)]);
      ExpectTrainingAsReference(net, 2, level, "round " + std::to_string(round));
    }
  }
}

// One weight's change, Single(rate * x) in extended precision, rounded
// through memory: on the x87, GCC leaves a float result that feeds a float
// addition unrounded in its register.
float Change(double rate, float x) {
  volatile float stored = float(static_cast<long double>(rate) * x);
  return stored;
}

// a * b rounded once to double, as the kernels' double multiply rounds it.
// (On the x87 a plain double product keeps 64 bits until it is stored, and
// rounding those to double again may differ; fma rounds once everywhere.)
double DoubleProduct(double a, double b) { return std::fma(a, b, 0.0); }

// x near 1 and a double rate with round53(rate * x) = 1 + 2^-24 (a midpoint
// between Singles) while the extended product is not the midpoint; x stays 0
// when there is none.
void FindMidpointTrap(double& rate, float& x) {
  const double midpoint = 1.0 + 0x1p-24;
  for (float c = 1.0f + 0x1p-23f; c < 1.001f && x == 0; c = std::nextafter(c, 2.0f)) {
    volatile double r = midpoint / double(c);
    if (DoubleProduct(r, c) == midpoint && static_cast<long double>(r) * c != static_cast<long double>(midpoint))
      rate = r, x = c;
  }
}

// A change whose double product lies exactly on a midpoint between two
// Singles while the exact one does not: rate * x rounds to the midpoint in
// double. The kernels must leave it to the extended-precision code.
TEST(TrainingKernels, ChangesOnADoubleMidpointAreMarked) {
  double rate = 0;
  float x = 0;
  FindMidpointTrap(rate, x);
  ASSERT_NE(x, 0.0f) << "no trap found";
  const float extended = float(static_cast<long double>(rate) * x);
  ASSERT_NE(extended, float(DoubleProduct(rate, x)));  // the trap is real

  for (Level level : AllLevels()) {
    if (level == Level::Reference) continue;
    const kernels::KernelTable* k = kernels::Table(level);
    ASSERT_NE(k, nullptr);
    // A row of 37 inputs (whole vectors and a tail), the trap at 5 and at 36.
    std::vector<float> xs(37), w(37), expected(37);
    std::mt19937_64 random(9);
    std::uniform_real_distribution<float> distribution(-1.0f, 1.0f);
    // Through memory: on the x87 the distribution's float can come back with
    // more bits than a Single, and a copy taken from the register keeps them.
    auto value = [&](std::mt19937_64& r) {
      volatile float v = distribution(r);
      return float(v);
    };
    for (size_t j = 0; j < xs.size(); ++j) xs[j] = value(random), w[j] = value(random);
    xs[5] = xs[36] = x;
    for (size_t j = 0; j < xs.size(); ++j)
      expected[j] = float(static_cast<long double>(w[j]) + Change(rate, xs[j]));
    std::vector<uint8_t> bad(37, 0);
    std::vector<float> row = w;
    EXPECT_TRUE(k->rowStep(row.data(), xs.data(), rate, 37, bad.data())) << kernels::LevelName(level);
    EXPECT_TRUE(bad[5] && bad[36]) << kernels::LevelName(level);
    for (size_t j = 0; j < xs.size(); ++j) {
      if (bad[j]) {
        EXPECT_EQ(Bits(row[j]), Bits(w[j])) << "a marked weight is left alone";
      } else {
        EXPECT_EQ(Bits(row[j]), Bits(expected[j])) << kernels::LevelName(level) << " " << j;
      }
    }

    // Down a column: the trap's rate in lane 3 of 16.
    kernels::AlignedDoubles rates, wide;
    kernels::AlignedFloats singles;
    rates.Assign(16), wide.Assign(16), singles.Assign(16);
    for (size_t u = 0; u < 16; ++u) {
      rates.data()[u] = double(value(random)) * double(value(random));
      singles.data()[u] = value(random);
      wide.data()[u] = singles.data()[u];
    }
    rates.data()[3] = rate;
    std::vector<float> before(singles.data(), singles.data() + 16);
    std::vector<uint8_t> marks(16, 0);
    EXPECT_TRUE(k->columnStep(singles.data(), wide.data(), rates.data(), double(x), 16, marks.data()));
    EXPECT_TRUE(marks[3]);
    for (size_t u = 0; u < 16; ++u) {
      const float want =
          marks[u] ? before[u]
                   : float(static_cast<long double>(before[u]) + Change(rates.data()[u], x));
      EXPECT_EQ(Bits(singles.data()[u]), Bits(want)) << kernels::LevelName(level) << " lane " << u;
      EXPECT_EQ(wide.data()[u], double(singles.data()[u]));
    }
  }
}

// Update through TrainingKernels with rates and layer values that hit the
// trap (and overflow) in a few elements: the rows get the reference's
// values and the next forward pass sees them too.
TEST(TrainingKernels, WeightsTheKernelsGiveUpOnReachTheNextForwardPass) {
  double trapRate = 0;
  float trapX = 0;
  FindMidpointTrap(trapRate, trapX);
  ASSERT_NE(trapX, 0.0f);
  std::mt19937_64 random(12);
  for (Level level : AllLevels()) {
    if (level == Level::Reference) continue;
    for (bool signs : {true, false}) {
      TBackProp net = reference::RandomNetwork(21, 19, 18, random, 0.5f, !signs);
      kernels::TrainingKernels fast;
      ASSERT_TRUE(fast.Begin(net, level));
      fast.Propagate(net);
      // Hidden unit 4's value is the trap's x; output unit 6's rate the trap's.
      net.HiddenLayer[4] = trapX;
      std::vector<double> outRates(19, 0.0), hiddenRates(20, 0.0);
      for (int32_t o = 1; o <= 18; ++o) outRates[size_t(o)] = 0.01 * o;
      for (int32_t h = 1; h <= 19; ++h) hiddenRates[size_t(h)] = -0.003 * h;
      outRates[6] = trapRate;
      outRates[9] = 1e300;  // every change of output unit 9 overflows
      if (!signs) net.InputLayer[7] = trapX, hiddenRates[3] = trapRate;
      TBackProp expected = net;
      for (int32_t o = 1; o <= 18; ++o)
        for (int32_t h = 0; h <= 19; ++h)
          expected.OutputWeights[o][h] = float(static_cast<long double>(expected.OutputWeights[o][h]) +
                                               Change(outRates[size_t(o)], net.HiddenLayer[h]));
      for (int32_t h = 1; h <= 19; ++h)
        for (int32_t i = 0; i <= 21; ++i)
          expected.HiddenWeights[h][i] = float(static_cast<long double>(expected.HiddenWeights[h][i]) +
                                               Change(hiddenRates[size_t(h)], net.InputLayer[i]));
      fast.Update(net, outRates.data(), hiddenRates.data());
      ASSERT_EQ(Bits(net.OutputWeights[6][4]), Bits(expected.OutputWeights[6][4]));
      ASSERT_TRUE(std::isinf(net.OutputWeights[9][1]));
      for (int32_t o = 1; o <= 18; ++o)
        for (int32_t h = 0; h <= 19; ++h)
          ASSERT_EQ(Same(net.OutputWeights[o][h]), Same(expected.OutputWeights[o][h])) << o << " " << h;
      for (int32_t h = 1; h <= 19; ++h)
        for (int32_t i = 0; i <= 21; ++i)
          ASSERT_EQ(Bits(net.HiddenWeights[h][i]), Bits(expected.HiddenWeights[h][i])) << h << " " << i;
      // The next glyph through the kept packed weights, as through the new ones.
      for (int32_t i = 1; i <= 21; ++i) net.InputLayer[i] = expected.InputLayer[i] = (i % 3 ? 1.0f : -1.0f);
      fast.Propagate(net);
      reference::Propagate(expected);
      for (int32_t h = 1; h <= 19; ++h)
        ASSERT_EQ(Bits(net.HiddenLayer[h]), Bits(expected.HiddenLayer[h])) << kernels::LevelName(level) << " " << h;
      for (int32_t o = 1; o <= 18; ++o)
        ASSERT_EQ(Same(net.OutputLayer[o]), Same(expected.OutputLayer[o])) << kernels::LevelName(level) << " " << o;
    }
  }
}

// The hidden error sums' trap (as in backprop_training_test) in a hidden unit
// that the kernels sum in a whole vector (column 9 of 20) and in the part of
// a vector past the whole ones (column 20, the last).
TEST(TrainingKernels, HiddenErrorSumsOnAMidpointAreRedone) {
  for (Level level : AllLevels()) {
    for (const int32_t unit : {9, 20}) {
      TBackProp net(1, 20, 2);
      for (TLayer& row : net.HiddenWeights) std::fill(row.begin(), row.end(), 0.0f);
      for (TLayer& row : net.OutputWeights) std::fill(row.begin(), row.end(), 0.0f);
      net.OutputWeights[1][size_t(unit)] = 1.0f;
      net.OutputWeights[2][size_t(unit)] = 1.0f - 0x1p-19f;
      TTrainingPairs pair;
      pair.Samples = {TLayer{0.0f, 1.0f}};
      pair.Target = TLayer{0.0f, 2.0f + 0x1p-22f, 0x1p-23f * (1.0f + 0x1p-19f)};
      pair.Name = "x";
      net.AddTrainingPairs(pair);
      net.SetLearningRate(1.0f);
      TBackProp fast = net;
      fast.SetMaxEpochs(1);
      {
        Forced forced(level);
        fast.Train();
      }
      // delta = 1/2 x (1 + 2^-23); the bias weight of the hidden unit takes it whole.
      EXPECT_EQ(Bits(fast.HiddenWeights[size_t(unit)][0]), Bits(0.5f + 0x1p-24f)) << kernels::LevelName(level);
      ExpectTrainingAsReference(net, 1, level, "hidden error trap");
    }
  }
}

// Changes made by an OnEpoch handler between epochs are trained on.
TEST(TrainingKernels, WeightsChangedBetweenEpochsAreTakenUp) {
  std::mt19937_64 random(31);
  for (Level level : AllLevels()) {
    TBackProp net = reference::RandomNetwork(24, 18, 20, random, 0.5f);
    AddPatterns(net, 3, 2, false, random);
    TBackProp fast = net, plain = net;
    fast.SetMaxEpochs(3);
    fast.MeanErrorGoal = -1.0f;
    fast.OnEpoch = [](TBackProp& n) {
      n.HiddenWeights[3][7] += 0.25f;
      n.OutputWeights[11][2] = -n.OutputWeights[11][2];
    };
    {
      Forced forced(level);
      fast.Train();
    }
    for (int e = 0; e < 3; ++e) {
      reference::TrainEpoch(plain);
      plain.HiddenWeights[3][7] += 0.25f;
      plain.OutputWeights[11][2] = -plain.OutputWeights[11][2];
    }
    ExpectSameNetwork(fast, plain, kernels::LevelName(level));
  }
}

}  // namespace
}  // namespace kyt
