// The training kernels one by one at every instruction-set level this machine
// offers, against the extended-precision steps they stand for: the weight
// steps along a row (every length, so every split into whole and partial
// vectors) and down a packed column (either copy or both), the hidden error
// sums for every column count, and the bounds of the output layer's sums as
// training keeps them between two computations from the weights.
#include <gtest/gtest.h>

#include <bit>
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

std::vector<Level> KernelLevels() { return kerneltest::AvailableLevels(1); }

// Through memory, so that no value keeps more bits than a Single (x87).
float Stored(long double v) {
  volatile float f = float(v);
  return f;
}

// The convention's step of one weight: w + Single(rate * x), both rounded
// from extended precision.
float Stepped(float w, double rate, float x) {
  const float change = Stored(static_cast<long double>(rate) * x);
  return Stored(static_cast<long double>(w) + change);
}

// A value for a row or a column: ordinary ones mostly, with zeros of both
// signs, tiny and huge values among them.
float Value(std::mt19937_64& random) {
  static const float specials[] = {0.0f, -0.0f, 1e-45f, -3e-39f, 1e-20f, 3e38f, -3e38f, 1.0f, -1.0f, 0.5f};
  std::uniform_real_distribution<float> ordinary(-1.5f, 1.5f);
  std::uniform_int_distribution<int> pick(0, 9);
  if (std::uniform_int_distribution<int>(0, 7)(random) == 0) return specials[pick(random)];
  return Stored(ordinary(random));
}

// x near 1 and a rate with round53(rate * x) a midpoint between Singles
// while the extended product is not (as in training_kernels_test).
void MidpointTrap(double& rate, float& x) {
  const double midpoint = 1.0 + 0x1p-24;
  for (float c = 1.0f + 0x1p-23f; c < 1.001f && x == 0; c = std::nextafter(c, 2.0f)) {
    volatile double r = midpoint / double(c);
    if (std::fma(double(r), double(c), 0.0) == midpoint &&
        static_cast<long double>(r) * c != static_cast<long double>(midpoint))
      rate = r, x = c;
  }
}

constexpr uint32_t kGuard = 0x7FC5A5A5u;  // a quiet NaN (the x87 would quieten a signalling one) no step produces

float GuardValue() { return std::bit_cast<float>(kGuard); }

TEST(TrainingSteps, RowStepsOfEveryLengthAreTheConventionsAndStayInTheRow) {
  double trapRate = 0;
  float trapX = 0;
  MidpointTrap(trapRate, trapX);
  ASSERT_NE(trapX, 0.0f);
  std::mt19937_64 random(2718);
  const double rates[] = {0.001 * 0.37, -0.25, 1e-40, 1e30, 7.0};
  for (Level level : KernelLevels()) {
    const kernels::KernelTable* k = kernels::Table(level);
    for (int32_t n = 1; n <= 41; ++n) {
      for (size_t r = 0; r <= std::size(rates); ++r) {
        const bool trap = r == std::size(rates);
        const double rate = trap ? trapRate : rates[r];
        // Room for 16 more elements behind the row, which must stay as they are.
        std::vector<float> w(size_t(n) + 16, GuardValue()), x(size_t(n) + 16, 1.0f);
        for (int32_t j = 0; j < n; ++j) w[size_t(j)] = Value(random), x[size_t(j)] = Value(random);
        if (trap) x[size_t(n - 1)] = trapX, x[size_t(n / 2)] = trapX;
        const std::vector<float> before = w;
        std::vector<uint8_t> bad(size_t(n) + 16, 0);
        const bool found = k->rowStep(w.data(), x.data(), rate, n, bad.data());
        bool any = false;
        const std::string what = std::string(kernels::LevelName(level)) + " n " + std::to_string(n) + " rate " +
                                 std::to_string(r);
        for (int32_t j = 0; j < n; ++j) {
          any |= bad[size_t(j)] != 0;
          if (bad[size_t(j)]) {
            ASSERT_EQ(Bits(w[size_t(j)]), Bits(before[size_t(j)])) << what << " marked " << j;
          } else {
            ASSERT_EQ(Bits(w[size_t(j)]), Bits(Stepped(before[size_t(j)], rate, x[size_t(j)]))) << what << " " << j;
          }
        }
        if (trap) {
          ASSERT_TRUE(bad[size_t(n - 1)]) << what;
          ASSERT_TRUE(bad[size_t(n / 2)]) << what;
        }
        ASSERT_EQ(found, any) << what;
        for (size_t j = size_t(n); j < w.size(); ++j) {
          ASSERT_EQ(Bits(w[j]), kGuard) << what << " beyond the row at " << j;
          ASSERT_EQ(bad[j], 0) << what << " marked beyond the row at " << j;
        }
      }
    }
  }
}

TEST(TrainingSteps, ColumnStepsKeepEitherCopyOrBoth) {
  double trapRate = 0;
  float trapX = 0;
  MidpointTrap(trapRate, trapX);
  ASSERT_NE(trapX, 0.0f);
  std::mt19937_64 random(1618);
  for (Level level : KernelLevels()) {
    const kernels::KernelTable* k = kernels::Table(level);
    for (int copies = 0; copies < 3; ++copies) {  // Singles, doubles, both
      for (int round = 0; round < 20; ++round) {
        const int32_t n = 48;
        kernels::AlignedDoubles rates, wide;
        kernels::AlignedFloats singles;
        rates.Assign(size_t(n)), wide.Assign(size_t(n)), singles.Assign(size_t(n));
        std::vector<float> before(48);
        for (int32_t u = 0; u < n; ++u) {
          before[size_t(u)] = Value(random);
          rates.data()[u] = double(Value(random)) * double(Value(random));
          singles.data()[u] = before[size_t(u)];
          wide.data()[u] = before[size_t(u)];
        }
        float x = Value(random);
        if (round % 4 == 0) x = trapX, rates.data()[round % n] = trapRate;
        if (round % 4 == 1) rates.data()[(round * 7) % n] = 1e300;
        std::vector<uint8_t> marks(size_t(n), 0);
        float* w = copies != 1 ? singles.data() : nullptr;
        double* d = copies != 0 ? wide.data() : nullptr;
        const bool found = k->columnStep(w, d, rates.data(), double(x), n, marks.data());
        bool any = false;
        const std::string what = std::string(kernels::LevelName(level)) + " copies " + std::to_string(copies) +
                                 " round " + std::to_string(round);
        if (round % 4 == 0) {
          ASSERT_TRUE(marks[size_t(round % n)]) << what;
        }
        for (int32_t u = 0; u < n; ++u) {
          any |= marks[size_t(u)] != 0;
          const float want =
              marks[size_t(u)] ? before[size_t(u)] : Stepped(before[size_t(u)], rates.data()[u], x);
          if (w) {
            ASSERT_EQ(Bits(singles.data()[u]), Bits(want)) << what << " lane " << u;
          }
          if (d) {
            ASSERT_EQ(Bits(float(wide.data()[u])), Bits(want)) << what << " lane " << u;
          }
          // The copy not kept is not touched.
          if (!w) {
            ASSERT_EQ(Bits(singles.data()[u]), Bits(before[size_t(u)])) << what << " lane " << u;
          }
          if (!d) {
            ASSERT_EQ(Bits(float(wide.data()[u])), Bits(before[size_t(u)])) << what << " lane " << u;
          }
        }
        ASSERT_EQ(found, any) << what;
      }
    }
  }
}

// The hidden error sums for 1 to 41 columns: every column the kernel
// returns and does not mark is the convention's running sum over the rows,
// and nothing beyond them is written.
TEST(TrainingSteps, HiddenErrorSumsOfEveryWidthAreTheConventions) {
  std::mt19937_64 random(1414);
  std::uniform_real_distribution<float> ordinary(-1.0f, 1.0f);
  for (Level level : KernelLevels()) {
    const kernels::KernelTable* k = kernels::Table(level);
    for (int32_t n = 1; n <= 41; ++n) {
      for (int round = 0; round < 3; ++round) {
        const int32_t count = 5 + 11 * round;
        std::vector<std::vector<float>> rows(static_cast<size_t>(count));
        std::vector<const float*> pointers;
        std::vector<float> factors(static_cast<size_t>(count));
        for (int32_t r = 0; r < count; ++r) {
          rows[size_t(r)].resize(size_t(n));
          for (float& v : rows[size_t(r)]) v = round == 2 ? Value(random) : Stored(ordinary(random));
          factors[size_t(r)] = Stored(ordinary(random) * (round == 1 ? 1e-30f : 0.01f));
          pointers.push_back(rows[size_t(r)].data());
        }
        std::vector<float> sums(size_t(n) + 16, GuardValue());
        std::vector<uint8_t> suspect(size_t(n) + 16, 7);
        const int32_t done = k->backSums(pointers.data(), factors.data(), count, n, sums.data(), suspect.data());
        const std::string what = std::string(kernels::LevelName(level)) + " n " + std::to_string(n) + " round " +
                                 std::to_string(round);
        ASSERT_TRUE(done == n || done == 0) << what << " done " << done;
        if (level == Level::Avx2 || level == Level::Avx512) {
          ASSERT_EQ(done, n) << what;
        }
        for (int32_t j = 0; j < done; ++j) {
          ASSERT_LE(suspect[size_t(j)], 1) << what << " column " << j;
          if (suspect[size_t(j)]) continue;
          float s = 0.0f;
          for (int32_t r = 0; r < count; ++r)
            s = Stored(s + static_cast<long double>(factors[size_t(r)]) * rows[size_t(r)][size_t(j)]);
          ASSERT_EQ(Bits(sums[size_t(j)]), Bits(s)) << what << " column " << j;
        }
        for (size_t j = size_t(done); j < sums.size(); ++j) {
          ASSERT_EQ(Bits(sums[j]), kGuard) << what << " written beyond at " << j;
          ASSERT_EQ(suspect[j], 7) << what << " marked beyond at " << j;
        }
      }
    }
  }
}

// Many updates of the output layer in a row (more than pass between two
// computations of the bounds from the weights), with rates small, ordinary
// and huge: the kept copy equals the weights, every unit's bound is at least
// the sum of its weights' magnitudes, and a forward pass after each update
// is the reference's.
TEST(TrainingSteps, OutputLayerKeptAndBoundedThroughManyUpdates) {
  std::mt19937_64 random(31415);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (Level level : KernelLevels()) {
    const bool singles = kernels::Table(level)->singleSums;
    for (const float scale : {1e-3f, 0.5f, 30.0f}) {
      TBackProp net = reference::RandomNetwork(19, 21, 37, random, scale);
      kernels::TrainingKernels fast;
      ASSERT_TRUE(fast.Begin(net, level));
      for (int step = 0; step < 150; ++step) {
        const std::string what = std::string(kernels::LevelName(level)) + " scale " + std::to_string(scale) +
                                 " step " + std::to_string(step);
        for (int32_t i = 1; i <= 19; ++i) net.InputLayer[i] = unit(random) < 0 ? -1.0f : 1.0f;
        TBackProp expected = net;
        fast.Propagate(net);
        reference::Propagate(expected);
        for (int32_t o = 1; o <= 37; ++o)
          ASSERT_EQ(Bits(net.OutputLayer[o]), Bits(expected.OutputLayer[o])) << what << " output " << o;
        // Rates as products of two Singles, mostly ordinary, now and then
        // huge for one unit (its weights grow fast) or 0.
        std::vector<double> outRates(38, 0.0), hiddenRates(22, 0.0);
        for (int32_t o = 1; o <= 37; ++o)
          outRates[size_t(o)] = double(Stored(unit(random))) * double(Stored(0.01L * scale));
        if (step % 17 == 5) outRates[size_t(1 + step % 37)] = double(Stored(unit(random))) * 1024.0;
        if (step % 13 == 2) outRates[size_t(1 + step % 29)] = 0.0;
        for (int32_t h = 1; h <= 21; ++h) hiddenRates[size_t(h)] = double(Stored(unit(random))) * double(Stored(1e-3L));
        fast.Update(net, outRates.data(), hiddenRates.data());
        const kernels::PackedLayer& packed = fast.PackedOutput();
        for (int32_t o = 1; o <= 37; ++o) {
          long double magnitudes = 0;
          for (int32_t h = 0; h <= 21; ++h) {
            const float want = net.OutputWeights[size_t(o)][size_t(h)];
            const size_t at = size_t(h) * packed.stride + size_t(o - 1);
            if (singles) {
              ASSERT_EQ(Bits(packed.weights.data()[at]), Bits(want)) << what << " [" << o << "][" << h << "]";
            } else {
              ASSERT_EQ(Bits(float(packed.wide.data()[at])), Bits(want)) << what << " [" << o << "][" << h << "]";
            }
            magnitudes += std::fabs(static_cast<long double>(want));
          }
          if (singles) {
            ASSERT_GE(static_cast<long double>(packed.absSums.data()[o - 1]), magnitudes) << what << " unit " << o;
          }
        }
      }
    }
  }
}

// Whole epochs of more samples than pass between two computations of the
// bounds, on weights tiny and saturating, at every level, as the reference.
TEST(TrainingSteps, LongEpochsTrainAsTheReference) {
  std::mt19937_64 random(4242);
  std::bernoulli_distribution coin(0.5);
  for (Level level : kerneltest::AvailableLevels(0)) {
    for (const float scale : {1e-4f, 0.5f, 40.0f}) {
      TBackProp net = reference::RandomNetwork(37, 23, 45, random, scale);
      for (int32_t p = 0; p < 13; ++p) {
        TTrainingPairs pair;
        for (int32_t s = 0; s < 11; ++s) {
          TLayer sample(38, 0.0f);
          for (int32_t i = 1; i <= 37; ++i) sample[size_t(i)] = coin(random) ? 1.0f : -1.0f;
          pair.Samples.push_back(sample);
        }
        pair.Target.assign(46, 0.0f);
        for (int32_t o = 1; o <= 45; ++o) pair.Target[size_t(o)] = coin(random) ? 1.0f : -1.0f;
        pair.Name = std::to_string(p);
        net.AddTrainingPairs(pair);
      }
      net.SetLearningRate(scale > 1.0f ? 0.05f : 0.01f);
      TBackProp fast = net, plain = net;
      fast.SetMaxEpochs(1);
      {
        kerneltest::Forced forced(level);
        fast.Train();
        fast.Train();
      }
      reference::TrainEpoch(plain);
      reference::TrainEpoch(plain);
      const std::string what = std::string(kernels::LevelName(level)) + " scale " + std::to_string(scale);
      ASSERT_EQ(fast.ErrorCount, plain.ErrorCount) << what;
      ASSERT_EQ(Bits(fast.ErrorSum), Bits(plain.ErrorSum)) << what;
      for (int32_t h = 1; h <= 23; ++h)
        for (int32_t i = 0; i <= 37; ++i)
          ASSERT_EQ(Bits(fast.HiddenWeights[size_t(h)][size_t(i)]), Bits(plain.HiddenWeights[size_t(h)][size_t(i)]))
              << what << " hidden [" << h << "][" << i << "]";
      for (int32_t o = 1; o <= 45; ++o)
        for (int32_t h = 0; h <= 23; ++h)
          ASSERT_EQ(Bits(fast.OutputWeights[size_t(o)][size_t(h)]), Bits(plain.OutputWeights[size_t(o)][size_t(h)]))
              << what << " output [" << o << "][" << h << "]";
    }
  }
}

}  // namespace
}  // namespace kyt
