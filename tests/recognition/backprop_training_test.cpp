// The training set and the training loop: adding patterns, the epoch loop's
// goals, stop requests and events, message processing, and the training
// arithmetic checked bit for bit against the plain reference.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "core/Error.h"
#include "platform/headless/HeadlessPlatform.h"
#include "recognition/BackPropCls.h"
#include "reference_network.h"

namespace kyt {
namespace {

using reference::Bits;

// Installs a headless platform whose message processing runs a hook.
class MessagePump : public HeadlessPlatform {
 public:
  MessagePump() { SetPlatform(this); }
  ~MessagePump() override { SetPlatform(nullptr); }
  void ProcessMessages() override {
    HeadlessPlatform::ProcessMessages();
    if (Hook) Hook();
  }
  std::function<void()> Hook;
};

TLayer Vector(std::initializer_list<float> values) {
  TLayer v{0.0f};
  v.insert(v.end(), values);
  return v;
}

void ExpectSameBits(const TLayerWeights& a, const TLayerWeights& b, const char* what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (size_t r = 0; r < a.size(); ++r) {
    ASSERT_EQ(a[r].size(), b[r].size()) << what;
    for (size_t c = 0; c < a[r].size(); ++c) ASSERT_EQ(Bits(a[r][c]), Bits(b[r][c])) << what << "[" << r << "][" << c << "]";
  }
}

TEST(BackPropTrainingSet, AddingSamplesByName) {
  TBackProp net(3, 2, 2);
  net.Modified = false;
  net.AddTrainingPairs({{Vector({1, 1, 1}), Vector({-1, -1, -1})}, Vector({1, -1}), "a"});
  EXPECT_TRUE(net.Modified);
  ASSERT_EQ(net.PatternCount(), 1);
  EXPECT_EQ(net.TargetValueCount, 4);

  // The same name again: samples appended, the first target kept.
  net.AddTrainingPairs({{Vector({1, -1, 1})}, Vector({-1, 1}), "a"});
  ASSERT_EQ(net.PatternCount(), 1);
  EXPECT_EQ(net.TrainingSet[0].Samples.size(), 3u);
  EXPECT_EQ(net.TrainingSet[0].Samples[2], Vector({1, -1, 1}));
  EXPECT_EQ(net.TrainingSet[0].Target, Vector({1, -1}));
  EXPECT_EQ(net.TargetValueCount, 6);

  // Letter case matters.
  net.AddTrainingPairs({{Vector({1, 1, -1})}, Vector({-1, -1}), "A"});
  ASSERT_EQ(net.PatternCount(), 2);
  EXPECT_EQ(net.PatternName(1), "A");

  // A new name without samples: the pattern exists with its target; later samples replace the target.
  net.AddTrainingPairs({{}, Vector({1, 1}), "b"});
  ASSERT_EQ(net.PatternCount(), 3);
  EXPECT_TRUE(net.TrainingSet[2].Samples.empty());
  EXPECT_EQ(net.TrainingSet[2].Target, Vector({1, 1}));
  EXPECT_EQ(net.TargetValueCount, 8);
  net.AddTrainingPairs({{Vector({-1, 1, -1})}, Vector({-1, 1}), "b"});
  EXPECT_EQ(net.TrainingSet[2].Target, Vector({-1, 1}));
  EXPECT_EQ(net.TrainingSet[2].Samples.size(), 1u);

  // Element 0 is ignored, short vectors are zero-filled, long ones are cut to the layer.
  net.AddTrainingPairs({{TLayer{9, 1}, TLayer{9, 1, 1, 1, 1, 1, 1}}, TLayer{9, 1, -1, 5, 5}, "c"});
  EXPECT_EQ(net.TrainingSet[3].Samples[0], Vector({1, 0, 0}));
  EXPECT_EQ(net.TrainingSet[3].Samples[1], Vector({1, 1, 1}));
  EXPECT_EQ(net.TrainingSet[3].Target, Vector({1, -1}));

  // A pattern of the set itself, handed back in.
  net.AddTrainingPairs(net.TrainingSet[0]);
  EXPECT_EQ(net.TrainingSet[0].Samples.size(), 6u);

  net.Epoch = 5;
  net.ErrorCount = 3;
  net.ErrorSum = 2.0f;
  net.ClearTrainingSet();
  EXPECT_EQ(net.PatternCount(), 0);
  EXPECT_EQ(net.TargetValueCount, 0);
  EXPECT_EQ(net.Epoch, 0);
  EXPECT_EQ(net.ErrorCount, 0);
  EXPECT_EQ(net.ErrorSum, 0.0f);
  EXPECT_FALSE(net.Modified);
}

struct TrainShape {
  int32_t inputs, hidden, outputs, patterns, samples;
  float rate;
  int32_t epochs;
};

class BackPropTrainingArithmetic : public ::testing::TestWithParam<TrainShape> {};

TEST_P(BackPropTrainingArithmetic, EpochsMatchTheReferenceBitForBit) {
  const TrainShape shape = GetParam();
  std::mt19937_64 random(uint64_t(shape.inputs) * 7919u + uint64_t(shape.outputs) * 31u + uint64_t(shape.patterns));
  TBackProp net = reference::RandomNetwork(shape.inputs, shape.hidden, shape.outputs, random, 0.5f, true);
  std::uniform_real_distribution<float> real(-1.0f, 1.0f);
  std::bernoulli_distribution coin(0.5);
  for (int32_t p = 0; p < shape.patterns; ++p) {
    TTrainingPairs pair;
    for (int32_t s = 0; s < shape.samples; ++s) {
      TLayer sample(shape.inputs + 1, 0.0f);
      for (int32_t i = 1; i <= shape.inputs; ++i) sample[i] = (p + s) % 2 ? real(random) : (coin(random) ? 1.0f : -1.0f);
      pair.Samples.push_back(sample);
    }
    pair.Target.assign(shape.outputs + 1, 0.0f);
    for (int32_t o = 1; o <= shape.outputs; ++o) pair.Target[o] = coin(random) ? 1.0f : -1.0f;
    pair.Name = std::to_string(p);
    net.AddTrainingPairs(pair);
  }
  net.SetLearningRate(shape.rate);
  net.SetMaxEpochs(shape.epochs);
  net.MeanErrorGoal = -1.0f;  // only the epoch limit ends the run
  net.Tolerance = 0.75f;
  TBackProp plain = net;
  const TBackProp before = net;

  net.Train();
  for (int32_t e = 0; e < shape.epochs; ++e) reference::TrainEpoch(plain);

  EXPECT_EQ(net.Epoch, shape.epochs);
  EXPECT_EQ(plain.Epoch, shape.epochs);
  EXPECT_EQ(net.ErrorCount, plain.ErrorCount);
  EXPECT_EQ(Bits(net.ErrorSum), Bits(plain.ErrorSum));
  ExpectSameBits(net.HiddenWeights, plain.HiddenWeights, "HiddenWeights");
  ExpectSameBits(net.OutputWeights, plain.OutputWeights, "OutputWeights");
  ExpectSameBits({net.InputLayer, net.HiddenLayer, net.OutputLayer},
                 {plain.InputLayer, plain.HiddenLayer, plain.OutputLayer}, "layers");
  // The weights did move.
  EXPECT_NE(net.OutputWeights, before.OutputWeights);
  EXPECT_NE(net.HiddenWeights, before.HiddenWeights);
}

INSTANTIATE_TEST_SUITE_P(Shapes, BackPropTrainingArithmetic,
                         ::testing::Values(TrainShape{1, 1, 1, 1, 1, 0.001f, 1},     // one step
                                           TrainShape{2, 3, 2, 2, 1, 0.5f, 1},       //
                                           TrainShape{7, 5, 3, 3, 2, 0.1f, 3},       //
                                           TrainShape{20, 9, 11, 4, 3, 0.3f, 2},     //
                                           TrainShape{16, 6, 16, 5, 2, 0.001f, 4},   //
                                           TrainShape{400, 50, 400, 2, 1, 0.01f, 1}  // the plug-in's shape
                                           ));

// The hidden error term is a running float sum over the outputs, rounded
// through extended precision. With all weights zero but one column, every
// output is 0 and its error term is exactly half its target; the targets are
// chosen so that the sum (1 + 2^-23) + 2^-24 (1 + 2^-19) (1 - 2^-19) lies just
// below a float midpoint, where a 53-bit intermediate would round up instead.
TEST(BackPropTrainingArithmetic, HiddenErrorSumsRoundThroughExtendedPrecision) {
  TBackProp net(1, 1, 2);
  for (TLayer& row : net.HiddenWeights) std::fill(row.begin(), row.end(), 0.0f);
  for (TLayer& row : net.OutputWeights) std::fill(row.begin(), row.end(), 0.0f);
  net.OutputWeights[1][1] = 1.0f;
  net.OutputWeights[2][1] = 1.0f - 0x1p-19f;
  net.AddTrainingPairs({{Vector({1.0f})}, Vector({2.0f + 0x1p-22f, 0x1p-23f * (1.0f + 0x1p-19f)}), "x"});
  net.SetLearningRate(1.0f);
  net.SetMaxEpochs(1);
  TBackProp plain = net;
  net.Train();
  reference::TrainEpoch(plain);
  // delta = 1/2 x (1 + 2^-23); the bias weight of the hidden unit takes it whole.
  EXPECT_EQ(Bits(net.HiddenWeights[1][0]), Bits(0.5f + 0x1p-24f));
  ExpectSameBits(net.HiddenWeights, plain.HiddenWeights, "HiddenWeights");
  ExpectSameBits(net.OutputWeights, plain.OutputWeights, "OutputWeights");
}

// A small net with O = 4 and two samples (eight target values), whose
// epochs are all alike because it does not learn (LearningRate 0).
TBackProp FrozenNetwork() {
  std::mt19937_64 random(5);
  TBackProp net = reference::RandomNetwork(3, 2, 4, random);
  net.AddTrainingPairs({{Vector({1, -1, 1}), Vector({-1, -1, 1})}, Vector({1, -1, 1, -1}), "x"});
  net.SetLearningRate(0.0f);
  return net;
}

int32_t EpochsRun(TBackProp net) {
  const int32_t start = net.Epoch;
  net.Train();
  return net.Epoch - start;
}

TEST(BackPropTrainingLoop, AtLeastOneEpochAndTheEpochLimit) {
  TBackProp net = FrozenNetwork();
  net.MeanErrorGoal = -1.0f;
  for (int32_t limit : {0, -5, INT32_MIN}) {
    net.SetMaxEpochs(limit);
    EXPECT_EQ(EpochsRun(net), 1) << limit;
  }
  net.SetMaxEpochs(10);
  net.Epoch = 7;
  TBackProp copy = net;
  copy.Train();
  EXPECT_EQ(copy.Epoch, 17);
  // Epoch counts across runs; Retrain starts again from 0.
  copy.SetMaxEpochs(3);
  copy.Train();
  EXPECT_EQ(copy.Epoch, 20);
  copy.Retrain();
  EXPECT_EQ(copy.Epoch, 3);
}

TEST(BackPropTrainingLoop, GoalsEndTheRunWhenReachedExactly) {
  TBackProp probe = FrozenNetwork();
  probe.SetMaxEpochs(1);
  probe.Tolerance = 0.01f;  // nearly every output counts as wrong
  probe.Train();
  ASSERT_EQ(probe.TargetValueCount, 8);
  const float mean = probe.ErrorSum / 8.0f;  // exact: a division by a power of two
  ASSERT_EQ(double(mean) * 8.0, double(probe.ErrorSum));
  const int32_t wrong = probe.ErrorCount;
  ASSERT_GT(wrong, 0);

  TBackProp net = FrozenNetwork();
  net.Tolerance = 0.01f;
  net.SetMaxEpochs(6);
  net.MeanErrorGoal = mean;
  EXPECT_EQ(EpochsRun(net), 1);
  net.MeanErrorGoal = std::nextafter(mean, -1.0f);
  EXPECT_EQ(EpochsRun(net), 6);

  net.MeanErrorGoal = -1.0f;
  net.ErrorGoal = float(wrong);
  EXPECT_EQ(EpochsRun(net), 1);
  net.ErrorGoal = float(wrong) - 0.5f;
  EXPECT_EQ(EpochsRun(net), 6);
  net.ErrorGoal = float(wrong) + 1.0f;
  EXPECT_EQ(EpochsRun(net), 1);
}

TEST(BackPropTrainingLoop, StopFromTheEpochEventFinishesTheNextEpoch) {
  MessagePump pump;
  TBackProp net = FrozenNetwork();
  net.MeanErrorGoal = -1.0f;
  net.SetMaxEpochs(100);
  net.Epoch = 2;
  int epochEvents = 0, trainedEvents = 0;
  std::vector<int32_t> epochsSeen;
  net.OnEpoch = [&](TBackProp& n) {
    ++epochEvents;
    epochsSeen.push_back(n.Epoch);
    if (epochEvents == 3) n.StopRequested = true;
  };
  net.OnTrained = [&](TBackProp& n) {
    ++trainedEvents;
    EXPECT_TRUE(n.Modified);
  };
  net.StopRequested = true;  // a request left from before is forgotten when a run starts
  net.Modified = false;
  net.Train();
  EXPECT_EQ(net.Epoch, 2 + 4);
  EXPECT_EQ(epochEvents, 3);
  EXPECT_EQ(epochsSeen, (std::vector<int32_t>{3, 4, 5}));
  EXPECT_EQ(trainedEvents, 1);
  EXPECT_TRUE(net.Modified);
  EXPECT_EQ(pump.ProcessMessagesCalls, 4 * 2);  // after every sample of the four epochs
}

TEST(BackPropTrainingLoop, StopFromAMessageHandlerEndsAfterTheCurrentEpoch) {
  MessagePump pump;
  TBackProp net = FrozenNetwork();
  net.AddTrainingPairs({{Vector({1, 1, 1})}, Vector({-1, -1, -1, -1}), "y"});  // three samples an epoch
  net.MeanErrorGoal = -1.0f;
  int epochEvents = 0, trainedEvents = 0;
  net.OnEpoch = [&](TBackProp&) { ++epochEvents; };
  net.OnTrained = [&](TBackProp&) { ++trainedEvents; };
  pump.Hook = [&] {
    if (pump.ProcessMessagesCalls == 5) net.StopRequested = true;  // the second sample of epoch 2
  };
  net.Train();
  EXPECT_EQ(net.Epoch, 2);
  EXPECT_EQ(pump.ProcessMessagesCalls, 6);
  EXPECT_EQ(epochEvents, 1);
  EXPECT_EQ(trainedEvents, 1);
}

TEST(BackPropTrainingLoop, EmptyTrainingSetRunsOneEmptyEpoch) {
  MessagePump pump;
  TBackProp net(4, 3, 2);
  const TLayerWeights before = net.HiddenWeights;
  int trained = 0;
  net.OnTrained = [&](TBackProp&) { ++trained; };
  net.MeanErrorGoal = -1.0f;  // even a goal that can never be met
  net.Train();
  EXPECT_EQ(net.Epoch, 1);
  EXPECT_EQ(net.ErrorSum, 0.0f);
  EXPECT_EQ(net.ErrorCount, 0);
  EXPECT_EQ(trained, 1);
  EXPECT_TRUE(net.Modified);
  EXPECT_EQ(net.HiddenWeights, before);
  EXPECT_EQ(pump.ProcessMessagesCalls, 0);

  // Patterns without samples are no different.
  net.AddTrainingPairs({{}, Vector({1, 1}), "empty"});
  net.Train();
  EXPECT_EQ(net.Epoch, 2);
}

TEST(BackPropTrainingLoop, AnErrorInAnEventEndsTheRunWithoutFinishingIt) {
  TBackProp net = FrozenNetwork();
  net.SetLearningRate(0.5f);
  net.MeanErrorGoal = -1.0f;
  const TLayerWeights before = net.OutputWeights;
  int trained = 0;
  net.OnEpoch = [](TBackProp&) { throw Error("stop here"); };
  net.OnTrained = [&](TBackProp&) { ++trained; };
  net.Modified = false;
  EXPECT_THROW(net.Train(), Error);
  EXPECT_EQ(net.Epoch, 1);
  EXPECT_FALSE(net.Modified);
  EXPECT_EQ(trained, 0);
  EXPECT_NE(net.OutputWeights, before);  // the changes of the epoch stay
}

TEST(BackPropTrainingLoop, ReshapingDuringTrainingIsRefused) {
  MessagePump pump;
  TBackProp net = FrozenNetwork();
  net.AddTrainingPairs({{Vector({1, 1, 1})}, Vector({-1, -1, -1, -1}), "y"});
  pump.Hook = [&] { net.Reshape(1, 1, 1, 1, 1); };
  EXPECT_THROW(net.Train(), Error);
}

TEST(BackPropTrainingLoop, RetrainStartsFromNewRandomWeights) {
  TBackProp net = FrozenNetwork();
  net.SetMaxEpochs(2);
  net.MeanErrorGoal = -1.0f;
  net.Train();
  net.Train();
  EXPECT_EQ(net.Epoch, 4);
  const TLayerWeights trained = net.HiddenWeights;

  TBackProp expected = net;
  expected.SetRandomSeed(77);
  expected.RandomizeWeights();
  net.SetRandomSeed(77);
  net.Retrain();  // learning rate 0: the weights stay as drawn
  EXPECT_EQ(net.Epoch, 2);
  EXPECT_NE(net.HiddenWeights, trained);
  ExpectSameBits(net.HiddenWeights, expected.HiddenWeights, "HiddenWeights");
  ExpectSameBits(net.OutputWeights, expected.OutputWeights, "OutputWeights");
}

TEST(BackPropTrainingLoop, LearnsToTellFourStrokesApart) {
  // 3 x 3 glyphs: a vertical, a horizontal and two diagonal strokes.
  const char* glyphs[4] = {".#..#..#.", "...###...", "..#.#.#..", "#...#...#"};
  const char* names[4] = {"|", "-", "/", "\\"};
  TBackProp net(3, 3, 2, 2, 6);
  net.SetRandomSeed(11);
  net.RandomizeWeights();
  net.SetLearningRate(0.2f);
  net.SetMaxEpochs(3000);
  for (int p = 0; p < 4; ++p) {
    TLayer sample(10, 0.0f), target(5, -1.0f);
    for (int i = 0; i < 9; ++i) sample[i + 1] = glyphs[p][i] == '#' ? 1.0f : -1.0f;
    target[p + 1] = 1.0f;
    net.AddTrainingPairs({{sample}, target, names[p]});
  }
  int32_t lastEpoch = 0;
  net.OnTrained = [&](TBackProp& n) { lastEpoch = n.Epoch; };
  net.Train();
  EXPECT_LT(net.Epoch, 3000);
  EXPECT_EQ(lastEpoch, net.Epoch);
  EXPECT_LE(double(net.ErrorSum) / net.TargetValueCount, 0.01);
  for (int p = 0; p < 4; ++p) {
    net.InputLayer.assign(net.TrainingSet[p].Samples[0].begin(), net.TrainingSet[p].Samples[0].end());
    net.InputLayer[0] = 1.0f;
    net.Propagate();
    std::string name;
    net.Recognize(name);
    EXPECT_EQ(name, names[p]);
  }
}

}  // namespace
}  // namespace kyt
