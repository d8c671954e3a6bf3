// The network itself: construction, layers, random weights, the activation
// function and the forward pass (checked bit for bit against the plain
// reference implementation).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <set>

#include "core/Error.h"
#include "recognition/BackPropCls.h"
#include "reference_network.h"

namespace kyt {
namespace {

using reference::Bits;

TEST(BackPropConstruction, GridDimensionsGiveLayersWeightsAndDefaults) {
  TBackProp net(20, 20, 20, 20, 50);
  EXPECT_EQ(net.InputCount, 400);
  EXPECT_EQ(net.HiddenCount, 50);
  EXPECT_EQ(net.OutputCount, 400);
  EXPECT_EQ(net.InputRows, 20);
  EXPECT_EQ(net.InputCols, 20);
  EXPECT_EQ(net.OutputRows, 20);
  EXPECT_EQ(net.OutputCols, 20);
  ASSERT_EQ(net.InputLayer.size(), 401u);
  ASSERT_EQ(net.HiddenLayer.size(), 51u);
  ASSERT_EQ(net.OutputLayer.size(), 401u);
  ASSERT_EQ(net.HiddenWeights.size(), 51u);
  for (const TLayer& row : net.HiddenWeights) ASSERT_EQ(row.size(), 401u);
  ASSERT_EQ(net.OutputWeights.size(), 401u);
  for (const TLayer& row : net.OutputWeights) ASSERT_EQ(row.size(), 51u);
  EXPECT_EQ(net.InputLayer[0], 1.0f);
  EXPECT_EQ(net.HiddenLayer[0], 1.0f);

  EXPECT_EQ(net.Tolerance, 1.0f);
  EXPECT_EQ(net.LearningRate, 0.001f);
  EXPECT_EQ(net.MaxEpochs, 10000);
  EXPECT_EQ(net.ErrorGoal, -1.0f);
  EXPECT_EQ(net.MeanErrorGoal, 0.01f);
  EXPECT_EQ(net.WeightRange, 0.5f);
  EXPECT_FALSE(net.StopRequested);
  EXPECT_EQ(net.ErrorCount, 0);
  EXPECT_EQ(net.Epoch, 0);
  EXPECT_EQ(net.TargetValueCount, 0);
  EXPECT_EQ(net.ErrorSum, 0.0f);
  EXPECT_FALSE(net.Modified);
  EXPECT_EQ(net.PatternCount(), 0);

  std::string name = "stale";
  net.Recognize(name);
  EXPECT_EQ(name, "");
}

TEST(BackPropConstruction, LayerSizesLeaveTheGridAtZero) {
  TBackProp net(6, 3, 2);
  EXPECT_EQ(net.InputCount, 6);
  EXPECT_EQ(net.HiddenCount, 3);
  EXPECT_EQ(net.OutputCount, 2);
  EXPECT_EQ(net.InputRows, 0);
  EXPECT_EQ(net.InputCols, 0);
  EXPECT_EQ(net.OutputRows, 0);
  EXPECT_EQ(net.OutputCols, 0);
  EXPECT_EQ(net.HiddenWeights.size(), 4u);
  EXPECT_EQ(net.OutputWeights[2].size(), 4u);
}

TEST(BackPropConstruction, RefusesNegativeAndOverflowingDimensions) {
  EXPECT_THROW(TBackProp(-1, 3, 2), Error);
  EXPECT_THROW(TBackProp(3, -1, 2), Error);
  EXPECT_THROW(TBackProp(3, 2, -5), Error);
  EXPECT_THROW(TBackProp(-2, 3, 1, 1, 1), Error);
  EXPECT_THROW(TBackProp(65536, 65536, 1, 1, 1), Error);  // 2^32 inputs
  EXPECT_THROW(TBackProp(1, 1, 70000, 70000, 1), Error);

  TBackProp net(2, 2, 1, 1, 3);
  const auto before = net.SaveToBytes();
  EXPECT_THROW(net.Reshape(2, 2, 1, 1, -1), Error);
  EXPECT_THROW(net.Reshape(100000, 100000, 1, 1, 1), Error);
  EXPECT_EQ(net.SaveToBytes(), before);
  EXPECT_EQ(net.InputCount, 4);
}

TEST(BackPropWeights, RandomWeightsFillTheRangeAndFollowTheSeed) {
  TBackProp net(20, 20, 20, 20, 50);
  std::set<float> distinct;
  float low = 1.0f, high = -1.0f;
  for (int32_t h = 1; h <= 50; ++h)
    for (float w : net.HiddenWeights[h]) {
      distinct.insert(w);
      low = std::min(low, w);
      high = std::max(high, w);
    }
  for (int32_t o = 1; o <= 400; ++o)
    for (float w : net.OutputWeights[o]) {
      distinct.insert(w);
      low = std::min(low, w);
      high = std::max(high, w);
    }
  EXPECT_GE(low, -0.5f);
  EXPECT_LT(high, 0.5f);
  EXPECT_LT(low, -0.49f);
  EXPECT_GT(high, 0.49f);
  EXPECT_GT(distinct.size(), 30000u);

  net.SetWeightRange(2.0f);
  net.SetRandomSeed(1234);
  net.RandomizeWeights();
  const TLayerWeights first = net.HiddenWeights;
  const TLayerWeights firstOut = net.OutputWeights;
  float widest = 0.0f;
  for (int32_t h = 1; h <= 50; ++h)
    for (float w : net.HiddenWeights[h]) {
      EXPECT_GE(w, -2.0f);
      EXPECT_LT(w, 2.0f);
      widest = std::max(widest, std::fabs(w));
    }
  EXPECT_GT(widest, 1.9f);
  net.RandomizeWeights();
  EXPECT_EQ(net.HiddenWeights, first);
  EXPECT_EQ(net.OutputWeights, firstOut);

  TBackProp other(20, 20, 20, 20, 50);
  other.SetWeightRange(2.0f);
  other.SetRandomSeed(1234);
  other.RandomizeWeights();
  EXPECT_EQ(other.HiddenWeights, first);
  other.SetRandomSeed(4321);
  other.RandomizeWeights();
  EXPECT_NE(other.HiddenWeights, first);
  // Back to the clock: two networks made one after the other differ.
  TBackProp a(10, 4, 3), b(10, 4, 3);
  EXPECT_NE(a.HiddenWeights, b.HiddenWeights);
}

TEST(BackPropLayers, AllocateLayersKeepsWhatFitsAndZeroFillsTheRest) {
  TBackProp net(3, 2, 2);
  net.HiddenWeights[1][2] = 7.0f;
  net.OutputWeights[2][1] = -3.0f;
  net.InputLayer[3] = 0.25f;
  net.InputCount = 5;
  net.HiddenCount = 3;
  net.AllocateLayers();
  ASSERT_EQ(net.InputLayer.size(), 6u);
  ASSERT_EQ(net.HiddenWeights.size(), 4u);
  ASSERT_EQ(net.HiddenWeights[3].size(), 6u);
  EXPECT_EQ(net.HiddenWeights[1][2], 7.0f);
  EXPECT_EQ(net.HiddenWeights[1][5], 0.0f);
  EXPECT_EQ(net.HiddenWeights[3][0], 0.0f);
  EXPECT_EQ(net.OutputWeights[2][1], -3.0f);
  EXPECT_EQ(net.OutputWeights[2][3], 0.0f);
  EXPECT_EQ(net.InputLayer[3], 0.25f);
  EXPECT_EQ(net.InputLayer[0], 1.0f);
  EXPECT_EQ(net.HiddenLayer[0], 1.0f);

  net.InputLayer[0] = 5.0f;
  net.InputCount = 1;
  net.AllocateLayers();
  EXPECT_EQ(net.InputLayer.size(), 2u);
  EXPECT_EQ(net.InputLayer[0], 1.0f);
  EXPECT_EQ(net.HiddenWeights[1].size(), 2u);
}

TEST(BackPropLayers, ReshapeSetsTheGridAndDiscardsPatternsAndWeights) {
  TBackProp net(2, 2, 1, 1, 2);
  net.SetRandomSeed(99);
  TTrainingPairs pair{{TLayer{0, 1, -1, 1, -1}}, TLayer{0, 1}, "x"};
  net.AddTrainingPairs(pair);
  net.Epoch = 12;
  net.HiddenWeights[1][1] = 100.0f;
  net.Reshape(16, 12, 3, 5, 7);
  EXPECT_EQ(net.InputRows, 16);
  EXPECT_EQ(net.InputCols, 12);
  EXPECT_EQ(net.OutputRows, 3);
  EXPECT_EQ(net.OutputCols, 5);
  EXPECT_EQ(net.InputCount, 192);
  EXPECT_EQ(net.OutputCount, 15);
  EXPECT_EQ(net.HiddenCount, 7);
  EXPECT_EQ(net.InputLayer.size(), 193u);
  EXPECT_EQ(net.OutputWeights.size(), 16u);
  EXPECT_EQ(net.OutputWeights[15].size(), 8u);
  EXPECT_EQ(net.PatternCount(), 0);
  EXPECT_EQ(net.Epoch, 0);
  EXPECT_EQ(net.TargetValueCount, 0);
  EXPECT_FALSE(net.Modified);
  EXPECT_LT(std::fabs(net.HiddenWeights[1][1]), 0.5f);
}

TEST(BackPropLayers, GetOutputsAndPatternNames) {
  TBackProp net(2, 1, 3);
  net.OutputLayer = {9.0f, 0.1f, 0.2f, 0.3f};
  TLayer values{5.0f};
  net.GetOutputs(values);
  EXPECT_EQ(values, (TLayer{0.1f, 0.2f, 0.3f}));

  net.AddTrainingPairs({{}, TLayer{0, 1, 1, 1}, "first"});
  net.AddTrainingPairs({{}, TLayer{0, 1, 1, 1}, "second"});
  EXPECT_EQ(net.PatternCount(), 2);
  EXPECT_EQ(net.PatternName(0), "first");
  EXPECT_EQ(net.PatternName(1), "second");
  EXPECT_THROW(net.PatternName(2), Error);
  EXPECT_THROW(net.PatternName(-1), Error);
}

TEST(BackPropActivation, ValuesLimitsAndOverflow) {
  EXPECT_EQ(Bits(TBackProp::Activation(0.0f)), Bits(0.0f));
  EXPECT_EQ(TBackProp::Activation(100.0f), 1.0f);
  EXPECT_EQ(TBackProp::Activation(std::numeric_limits<float>::infinity()), 1.0f);
  EXPECT_EQ(TBackProp::Activation(-100.0f), -1.0f);
  EXPECT_NEAR(TBackProp::Activation(1.0f), 0.46211715726f, 1e-7);
  EXPECT_NEAR(TBackProp::Activation(-0.25f), -0.12435300177f, 1e-7);
  EXPECT_EQ(TBackProp::Activation(-1.0f), -TBackProp::Activation(1.0f));
  // e^11356.5224609375 still fits a long double: the sigmoid is at its floor.
  EXPECT_EQ(TBackProp::Activation(-11356.5224609375f), -1.0f);
  // The next float overflows e^(-x): the result is 0, not -1.
  EXPECT_EQ(TBackProp::Activation(-11356.5234375f), 0.0f);
  EXPECT_EQ(TBackProp::Activation(-20000.0f), 0.0f);
  EXPECT_EQ(TBackProp::Activation(-FLT_MAX), 0.0f);
  EXPECT_EQ(TBackProp::Activation(-std::numeric_limits<float>::infinity()), 0.0f);

  // Every sample of a wide range agrees with the reference formula bit for bit.
  std::mt19937_64 random(7);
  std::uniform_real_distribution<float> wide(-50.0f, 50.0f);
  for (int k = 0; k < 20000; ++k) {
    const float x = k < 10000 ? wide(random) : float(k - 15000) / 997.0f;
    ASSERT_EQ(Bits(TBackProp::Activation(x)), Bits(reference::Activation(x))) << x;
  }
}

TEST(BackPropActivation, Derivative) {
  EXPECT_EQ(TBackProp::ActivationDerivative(0.0f), 0.5f);
  EXPECT_EQ(TBackProp::ActivationDerivative(1.0f), 0.0f);
  EXPECT_EQ(TBackProp::ActivationDerivative(-1.0f), 0.0f);
  EXPECT_EQ(TBackProp::ActivationDerivative(0.5f), 0.375f);
  EXPECT_EQ(TBackProp::ActivationDerivative(-0.5f), 0.375f);
  EXPECT_EQ(TBackProp::ActivationDerivative(3.0f), -4.0f);
}

struct Shape {
  int32_t inputs, hidden, outputs;
  float scale;
  bool realInputs;
};

class BackPropForward : public ::testing::TestWithParam<Shape> {};

TEST_P(BackPropForward, MatchesTheReferenceBitForBit) {
  const Shape shape = GetParam();
  std::mt19937_64 random(uint64_t(shape.inputs) * 1000003u + uint64_t(shape.hidden) * 101u + uint64_t(shape.outputs));
  for (int trial = 0; trial < 8; ++trial) {
    TBackProp net = reference::RandomNetwork(shape.inputs, shape.hidden, shape.outputs, random, shape.scale,
                                             shape.realInputs);
    TBackProp plain = net;
    net.Propagate();
    reference::Propagate(plain);
    for (int32_t h = 0; h <= shape.hidden; ++h)
      ASSERT_EQ(Bits(net.HiddenLayer[h]), Bits(plain.HiddenLayer[h])) << "hidden " << h << " trial " << trial;
    for (int32_t o = 1; o <= shape.outputs; ++o)
      ASSERT_EQ(Bits(net.OutputLayer[o]), Bits(plain.OutputLayer[o])) << "output " << o << " trial " << trial;
    EXPECT_EQ(net.InputLayer, plain.InputLayer);
    EXPECT_EQ(net.HiddenLayer[0], 1.0f);
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, BackPropForward,
                         ::testing::Values(Shape{1, 1, 1, 1.0f, false}, Shape{2, 3, 2, 1.0f, true},
                                           Shape{5, 4, 7, 1.0f, true}, Shape{17, 6, 3, 0.5f, false},
                                           Shape{13, 9, 5, 2.0f, true}, Shape{64, 11, 10, 0.25f, true},
                                           Shape{400, 50, 400, 0.5f, false}, Shape{400, 50, 400, 0.05f, true},
                                           // Huge weights drive sums far past the overflow of e^(-x).
                                           Shape{6, 5, 4, 1e30f, true}));

// 1 + 2^-23 (odd last bit), then + (2^-24 (1 + 2^-19)) x (1 - 2^-19) = 2^-24 - 2^-62:
// the exact sum lies just below the midpoint 1 + 3 x 2^-24. Rounded to 64 bits
// it stays below and the float is 1 + 2^-23; rounded to 53 bits it would land on
// the midpoint and the tie would go up to 1 + 2^-22.
TEST(BackPropForward, SumsRoundThroughExtendedPrecision) {
  for (int32_t hidden : {1, 5}) {
    TBackProp net(1, hidden, 1);
    for (int32_t h = 1; h <= hidden; ++h) net.HiddenWeights[h] = {1.0f + 0x1p-23f, 1.0f - 0x1p-19f};
    net.InputLayer[1] = 0x1p-24f * (1.0f + 0x1p-19f);
    TBackProp plain = net;
    net.Propagate();
    reference::Propagate(plain);
    ASSERT_NE(Bits(TBackProp::Activation(1.0f + 0x1p-23f)), Bits(TBackProp::Activation(1.0f + 0x1p-22f)));
    for (int32_t h = 1; h <= hidden; ++h) {
      EXPECT_EQ(Bits(net.HiddenLayer[h]), Bits(TBackProp::Activation(1.0f + 0x1p-23f))) << h;
      EXPECT_EQ(Bits(net.HiddenLayer[h]), Bits(plain.HiddenLayer[h])) << h;
    }
  }
}

TEST(BackPropForward, WorkedExampleActivations) {
  TBackProp net(1, 2, 1, 1, 1);
  net.HiddenWeights[1] = {0.5f, -0.5f, 0.25f};
  net.OutputWeights[1] = {0.0f, 1.0f};
  net.InputLayer[1] = 1.0f;
  net.InputLayer[2] = -1.0f;
  net.Propagate();
  EXPECT_NEAR(net.HiddenLayer[1], -0.12435f, 5e-6);
  EXPECT_NEAR(net.OutputLayer[1], -0.06210f, 5e-6);
  EXPECT_EQ(Bits(net.HiddenLayer[1]), Bits(TBackProp::Activation(-0.25f)));
}

}  // namespace
}  // namespace kyt
