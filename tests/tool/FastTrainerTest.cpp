// The fast trainer: it learns, its weights mean the same in the exact network,
// and it refuses inconsistent input.
#include <gtest/gtest.h>

#include <random>

#include "Codes.h"
#include "FastTrainer.h"
#include "TrainCorpus.h"
#include "Validation.h"
#include "core/Error.h"

namespace kytdcr {
namespace {

std::vector<std::vector<float>> Targets(int32_t patterns, int32_t length) {
  std::vector<std::vector<float>> out;
  for (const auto& t : CodeTargets(patterns, length)) out.emplace_back(t.begin() + 1, t.end());
  return out;
}

// Noisy copies of `patterns` random prototypes: each input cell flips with
// probability `flip`.
void Noisy(SampleSet& set, const std::vector<std::vector<float>>& prototypes, size_t perPattern, double flip,
           uint32_t seed) {
  std::mt19937 rng(seed);
  std::bernoulli_distribution flipped(flip);
  for (size_t n = 0; n < perPattern; ++n)
    for (size_t p = 0; p < prototypes.size(); ++p) {
      std::vector<float> x = prototypes[p];
      for (float& v : x)
        if (flipped(rng)) v = -v;
      set.Add(x.data(), int32_t(p), int32_t(n % 3));
    }
}

std::vector<std::vector<float>> Prototypes(size_t count, int32_t inputs, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::vector<float>> out(count, std::vector<float>(size_t(inputs)));
  for (auto& p : out)
    for (float& v : p) v = rng() % 2 ? 1.0f : -1.0f;
  return out;
}

TEST(FastTrainer, LearnsNoisyPatternsAndTheExactNetworkAgrees) {
  const int32_t inputs = 64, patterns = 6;
  const auto protos = Prototypes(patterns, inputs, 3);
  SampleSet train(inputs), validation(inputs);
  Noisy(train, protos, 60, 0.1, 1);
  Noisy(validation, protos, 20, 0.1, 2);
  const auto targets = Targets(patterns, 16);
  FastTrainOptions options;
  options.hidden = 12;
  options.maxEpochs = 15;
  options.batch = 16;
  options.threads = 2;
  int32_t reports = 0;
  FastTrainResult r = TrainFast(train, validation, targets, options, [&](const EpochReport& e) {
    EXPECT_EQ(e.epoch, ++reports);
    EXPECT_GT(e.samplesPerSecond, 0.0);
    return true;
  });
  EXPECT_GE(r.bestValidationAccuracy, 0.97);
  EXPECT_GE(r.bestEpoch, 1);
  EXPECT_LE(r.bestEpoch, r.epochsRun);
  EXPECT_DOUBLE_EQ(FloatAccuracy(r.network, validation, targets, 1), r.bestValidationAccuracy);

  // The same weights in a TBackProp, with the patterns' targets: its exact
  // forward pass and ranking name the validation samples as the float pass does.
  kyt::TBackProp net(1, inputs, 4, 4, options.hidden);
  r.network.CopyTo(net);
  const auto layerTargets = CodeTargets(patterns, 16);
  for (int32_t p = 0; p < patterns; ++p) {
    kyt::TTrainingPairs pair;
    pair.Target = layerTargets[size_t(p)];
    pair.Name = std::string(1, char('A' + p));
    net.AddTrainingPairs(pair);
  }
  std::vector<float> hidden(static_cast<size_t>(options.hidden)), out(16), x(static_cast<size_t>(inputs));
  size_t agree = 0;
  for (size_t s = 0; s < validation.Size(); ++s) {
    for (int32_t k = 0; k < inputs; ++k) x[size_t(k)] = validation.Input(s)[k];
    r.network.Forward(validation.Input(s), hidden.data(), out.data());
    const int32_t decided = FloatNetwork::Decide(out.data(), targets);
    agree += RecogniseInput(net, x.data()) == std::string(1, char('A' + decided)) ? 1 : 0;
  }
  EXPECT_EQ(agree, validation.Size());
}

TEST(FastTrainer, StopsEarlyAndOnRequest) {
  const int32_t inputs = 16;
  const auto protos = Prototypes(2, inputs, 5);
  SampleSet train(inputs), validation(inputs);
  Noisy(train, protos, 20, 0.0, 1);
  Noisy(validation, protos, 5, 0.0, 2);
  FastTrainOptions options;
  options.hidden = 4;
  options.maxEpochs = 50;
  options.patience = 2;
  options.batch = 4;
  options.threads = 1;
  // Clean, separable data: the validation score tops out at once and stays,
  // so patience ends the run long before the limit.
  FastTrainResult r = TrainFast(train, validation, Targets(2, 16), options);
  EXPECT_DOUBLE_EQ(r.bestValidationAccuracy, 1.0);
  EXPECT_EQ(r.epochsRun, r.bestEpoch + 2);
  // A callback that says stop ends the run after that epoch.
  options.patience = 0;
  r = TrainFast(train, validation, Targets(2, 16), options, [](const EpochReport& e) { return e.epoch < 3; });
  EXPECT_EQ(r.epochsRun, 3);
}

TEST(FastTrainer, RefusesInconsistentInput) {
  SampleSet empty(4), one(4), other(5);
  const float x[5] = {1, -1, 1, -1, 1};
  one.Add(x, 0);
  other.Add(x, 0);
  const auto targets = Targets(2, 16);
  EXPECT_THROW(TrainFast(empty, empty, targets, {}), kyt::Error);
  EXPECT_THROW(TrainFast(one, other, targets, {}), kyt::Error);
  EXPECT_THROW(TrainFast(one, empty, {}, {}), kyt::Error);
  SampleSet farLabel(4);
  farLabel.Add(x, 5);
  EXPECT_THROW(TrainFast(farLabel, empty, targets, {}), kyt::Error);
  EXPECT_THROW(one.Add(x, -1), kyt::Error);
  FastTrainOptions bad;
  bad.batch = 0;
  EXPECT_THROW(TrainFast(one, empty, targets, bad), kyt::Error);
  // Weights go only into a network of their own dimensions.
  FloatNetwork weights;
  weights.inputs = 4, weights.hidden = 3, weights.outputs = 16;
  weights.w1t.assign(5 * 3, 0.0f);
  weights.w2t.assign(4 * 16, 0.0f);
  kyt::TBackProp wrong(1, 4, 4, 4, 2);
  EXPECT_THROW(weights.CopyTo(wrong), kyt::Error);
}

TEST(FastTrainer, DecisionIsTheRankingsWinner) {
  // Two patterns with the same target tie: the earlier wins, as in Recognize.
  const std::vector<std::vector<float>> targets = {{1, -1, 1}, {1, -1, 1}, {-1, 1, -1}};
  const float near[3] = {0.2f, -0.9f, 0.1f}, far[3] = {-0.5f, 0.5f, 0.5f};
  EXPECT_EQ(FloatNetwork::Decide(near, targets), 0);
  EXPECT_EQ(FloatNetwork::Decide(far, targets), 2);
}

TEST(KnowledgeBaseSamples, RepresentativeSubsetSpreadsOverFontsWithoutRepeats) {
  SampleSet set(2);
  const float a[2] = {1, 1}, b[2] = {1, -1}, c[2] = {-1, -1};
  // Font 0 gives the same input four times, font 1 two others.
  for (int k = 0; k < 4; ++k) set.Add(a, 0, 0);
  set.Add(b, 0, 1);
  set.Add(c, 0, 1);
  const std::vector<size_t> all = {0, 1, 2, 3, 4, 5};
  const auto two = RepresentativeSamples(set, all, 2);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_NE(set.Group(two[0]), set.Group(two[1]));
  // Never more than the distinct inputs there are.
  EXPECT_EQ(RepresentativeSamples(set, all, 10).size(), 3u);
  EXPECT_TRUE(RepresentativeSamples(set, {}, 5).empty());
}

TEST(KnowledgeBaseSamples, IdenticalInputsTakeTheLikeliestName) {
  // Inputs of 9 cells, so that the key's last byte holds one cell only.
  const std::vector<int8_t> bar = {-1, 1, -1, -1, 1, -1, -1, 1, -1}, dot = {-1, -1, -1, -1, 1, -1, -1, -1, -1};
  std::vector<int8_t> corner = dot;
  corner[8] = 1;  // differs from dot in the last cell only
  // bar: label 3 twice, label 5 once, label 1 once; dot: 2 and 4 once each.
  const std::vector<const int8_t*> inputs = {bar.data(), bar.data(), dot.data(), bar.data(),
                                             dot.data(), corner.data(), bar.data()};
  const std::vector<int32_t> labels = {3, 5, 4, 3, 2, 7, 1};
  const std::vector<double> even(8, 1.0);
  // Of even weights the majority wins over the lower label, a tie goes to the
  // lower, and an input of its own keeps its label.
  EXPECT_EQ(LabelsOfIdenticalInputs(inputs, bar.size(), labels, even), (std::vector<int32_t>{3, 3, 2, 3, 2, 7, 3}));
  // Weights overturn the count: label 5 is three times as likely per sample.
  std::vector<double> weighted = even;
  weighted[5] = 3.0, weighted[4] = 1.5;
  EXPECT_EQ(LabelsOfIdenticalInputs(inputs, bar.size(), labels, weighted), (std::vector<int32_t>{5, 5, 4, 5, 4, 7, 5}));
  // ... unless it holds too small a share of the twins (one bar in four).
  EXPECT_EQ(LabelsOfIdenticalInputs(inputs, bar.size(), labels, weighted, 0.25),
            (std::vector<int32_t>{5, 5, 4, 5, 4, 7, 5}));
  EXPECT_EQ(LabelsOfIdenticalInputs(inputs, bar.size(), labels, weighted, 0.3),
            (std::vector<int32_t>{3, 3, 4, 3, 4, 7, 3}));
  EXPECT_TRUE(LabelsOfIdenticalInputs({}, 9, {}, even).empty());
  EXPECT_THROW(LabelsOfIdenticalInputs(inputs, 9, {1}, even), kyt::Error);
  EXPECT_THROW(LabelsOfIdenticalInputs(inputs, 9, labels, std::vector<double>(7, 1.0)), kyt::Error);
}

TEST(KnowledgeBaseSamples, LookAlikesFoldToTheGroupsFirstCharacter) {
  const std::vector<std::u32string> groups = {U"oO", U"lI|"};
  EXPECT_EQ(FoldCharacter(U'O', groups), U"o");
  EXPECT_EQ(FoldCharacter(U'|', groups), U"l");
  EXPECT_EQ(FoldCharacter(U'l', groups), U"l");
  EXPECT_EQ(FoldCharacter(U'x', groups), U"x");
}

TEST(PageErrorRate, CountsEditsAgainstTheCollapsedTruth) {
  EXPECT_EQ(EditDistance(U"kitten", U"sitting"), 3u);
  EXPECT_EQ(CollapseSpaces(U"  a \r\n\t b  "), U"a b");
  EXPECT_DOUBLE_EQ(CharacterErrorRate(U"Hello,  world.\r\n ", U"Hello, world."), 0.0);
  EXPECT_NEAR(CharacterErrorRate(U"abd", U"abc"), 100.0 / 3.0, 1e-9);
  EXPECT_DOUBLE_EQ(CharacterErrorRate(U"", U"abcd"), 100.0);
  EXPECT_DOUBLE_EQ(CharacterErrorRate(U"", U""), 0.0);
  EXPECT_DOUBLE_EQ(CharacterErrorRate(U"ab", U" "), 200.0);
}

}  // namespace
}  // namespace kytdcr
