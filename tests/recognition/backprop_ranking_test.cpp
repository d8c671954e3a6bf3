// Ranking the stored patterns against the output layer, the texts of the
// ranking, and Recognize, which must name the ranking's head without building it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <regex>

#include "recognition/BackPropCls.h"
#include "reference_network.h"

namespace kyt {
namespace {

struct Ranking {
  std::vector<std::string> names, scores, counts;
};

Ranking Rank(TBackProp& net) {
  Ranking r;
  net.RankPatterns(r.names, r.scores, r.counts);
  return r;
}

// A network with `outputs` outputs all at +0.5 and one pattern per entry of
// `wrong`, whose target is -1 on that many outputs (wrong) and +1 elsewhere.
TBackProp NetworkWithWrongCounts(int32_t outputs, const std::vector<int32_t>& wrong) {
  TBackProp net(1, 1, outputs);
  for (int32_t o = 1; o <= outputs; ++o) net.OutputLayer[o] = 0.5f;
  for (size_t p = 0; p < wrong.size(); ++p) {
    TLayer target(outputs + 1, 1.0f);
    for (int32_t o = 1; o <= wrong[p]; ++o) target[o] = -1.0f;
    net.AddTrainingPairs({{}, target, "p" + std::to_string(p)});
  }
  return net;
}

std::string RecognizeName(TBackProp& net) {
  std::string name = "unchanged";
  net.Recognize(name);
  return name;
}

TEST(BackPropRanking, EmptyTrainingSetLeavesTheListsEmpty) {
  TBackProp net(4, 2, 3);
  const Ranking r = Rank(net);
  EXPECT_TRUE(r.names.empty());
  EXPECT_TRUE(r.scores.empty());
  EXPECT_TRUE(r.counts.empty());
  EXPECT_EQ(RecognizeName(net), "");
}

TEST(BackPropRanking, ScoreAndCountTexts) {
  TBackProp net = NetworkWithWrongCounts(400, {1, 0, 400, 7});
  const Ranking r = Rank(net);
  EXPECT_EQ(r.names, (std::vector<std::string>{"p1", "p0", "p3", "p2"}));
  EXPECT_EQ(r.scores, (std::vector<std::string>{"100.00%", "99.75%", "98.25%", "0.00%"}));
  EXPECT_EQ(r.counts, (std::vector<std::string>{"0 / 400 ", "1 / 400 ", "7 / 400 ", "400 / 400 "}));
}

TEST(BackPropRanking, ScoresRoundHalvesAwayFromZero) {
  // 703 of 800 wrong: 12.125 exactly, shown as 12.13; 799 of 800: 0.125 -> 0.13.
  // 1 of 3 wrong: 66.666664 -> 66.67; 2 of 3: 33.333332 -> 33.33; 1 of 8: 87.50.
  {
    TBackProp net = NetworkWithWrongCounts(800, {703, 799, 797});
    const Ranking r = Rank(net);
    EXPECT_EQ(r.scores, (std::vector<std::string>{"12.13%", "0.38%", "0.13%"}));
  }
  {
    TBackProp net = NetworkWithWrongCounts(3, {1, 2, 3, 0});
    const Ranking r = Rank(net);
    EXPECT_EQ(r.scores, (std::vector<std::string>{"100.00%", "66.67%", "33.33%", "0.00%"}));
    EXPECT_EQ(r.counts, (std::vector<std::string>{"0 / 3 ", "1 / 3 ", "2 / 3 ", "3 / 3 "}));
  }
  {
    TBackProp net = NetworkWithWrongCounts(8, {1});
    EXPECT_EQ(Rank(net).scores, (std::vector<std::string>{"87.50%"}));
  }
}

TEST(BackPropRanking, TiesDependOnHowTheShownScoreWasRounded) {
  // 400 outputs: every score is shown exactly, equal scores keep training-set order.
  {
    TBackProp net = NetworkWithWrongCounts(400, {3, 3, 3});
    EXPECT_EQ(Rank(net).names, (std::vector<std::string>{"p0", "p1", "p2"}));
    EXPECT_EQ(RecognizeName(net), "p0");
  }
  // 66.666664 is shown rounded up (66.67 >= the exact score): earlier stays first.
  {
    TBackProp net = NetworkWithWrongCounts(3, {1, 1, 1});
    EXPECT_EQ(Rank(net).names, (std::vector<std::string>{"p0", "p1", "p2"}));
    EXPECT_EQ(RecognizeName(net), "p0");
  }
  // 33.333332 is shown rounded down (33.33 < the exact score): each later pattern goes in front.
  {
    TBackProp net = NetworkWithWrongCounts(3, {2, 2, 2});
    EXPECT_EQ(Rank(net).names, (std::vector<std::string>{"p2", "p1", "p0"}));
    EXPECT_EQ(RecognizeName(net), "p2");
  }
  // Mixed: a better pattern after rounded-down ties still wins, a worse one goes last.
  {
    TBackProp net = NetworkWithWrongCounts(7, {3, 3, 5, 2, 3});
    const Ranking r = Rank(net);
    // 2 of 7: 71.42857 -> 71.43; 3 of 7: 57.142857 -> 57.14 (down); 5 of 7: 28.571428 -> 28.57 (down).
    EXPECT_EQ(r.names, (std::vector<std::string>{"p3", "p4", "p1", "p0", "p2"}));
    EXPECT_EQ(r.scores, (std::vector<std::string>{"71.43%", "57.14%", "57.14%", "57.14%", "28.57%"}));
    EXPECT_EQ(RecognizeName(net), "p3");
  }
}

TEST(BackPropRanking, OutputExactlyAtToleranceIsWrongAndDistanceIsNotRounded) {
  TBackProp net(1, 1, 2);
  net.OutputLayer[1] = 0.0f;  // exactly 1.0 from the target 1.0
  net.OutputLayer[2] = 1.0f;
  net.AddTrainingPairs({{}, TLayer{0, 1.0f, 1.0f}, "a"});
  EXPECT_EQ(Rank(net).counts, (std::vector<std::string>{"1 / 2 "}));

  // 0.5 - (-0.5 + 2^-25) = 1 - 2^-25: below the tolerance, although it would
  // round to 1.0 as a float.
  net.Tolerance = 1.0f;
  net.OutputLayer[1] = -0.5f + 0x1p-25f;
  net.OutputLayer[2] = 0.5f;
  net.TrainingSet[0].Target = TLayer{0, 0.5f, 0.5f};
  EXPECT_EQ(Rank(net).counts, (std::vector<std::string>{"0 / 2 "}));
  net.OutputLayer[1] = -0.5f;
  EXPECT_EQ(Rank(net).counts, (std::vector<std::string>{"1 / 2 "}));

  // With targets +-1 and the tolerance 1, an output is right only strictly on the target's side of zero.
  net.TrainingSet[0].Target = TLayer{0, -1.0f, 1.0f};
  net.OutputLayer[1] = -0.0001f;
  net.OutputLayer[2] = 0.0f;
  EXPECT_EQ(Rank(net).counts, (std::vector<std::string>{"1 / 2 "}));
}

TEST(BackPropRanking, EmptyNameCanWinAndRecognizeYieldsIt) {
  TBackProp net = NetworkWithWrongCounts(4, {2, 0});
  net.TrainingSet[1].Name = "";
  EXPECT_EQ(Rank(net).names, (std::vector<std::string>{"", "p0"}));
  EXPECT_EQ(RecognizeName(net), "");
}

// Recognize must give exactly the head of RankPatterns, on many random
// networks, including odd output counts where the shown scores round both ways.
TEST(BackPropRanking, RecognizeNamesTheHeadOfTheRanking) {
  std::mt19937_64 random(2024);
  const int32_t outputCounts[] = {1, 2, 3, 5, 6, 7, 9, 11, 13, 21, 400};
  int checked = 0, notFirst = 0;
  for (int32_t outputs : outputCounts) {
    for (int trial = 0; trial < 150; ++trial) {
      TBackProp net = reference::RandomNetwork(5, 3, outputs, random, 1.0f, true);
      net.Propagate();
      std::uniform_int_distribution<int> patternCount(0, 12);
      std::bernoulli_distribution coin(0.5);
      const int patterns = patternCount(random);
      std::vector<TLayer> targets;
      for (int p = 0; p < patterns; ++p) {
        TLayer target(outputs + 1, 0.0f);
        // Reuse an earlier target now and then, to make exact ties.
        if (!targets.empty() && coin(random) && coin(random)) {
          target = targets[std::uniform_int_distribution<size_t>(0, targets.size() - 1)(random)];
        } else {
          for (int32_t o = 1; o <= outputs; ++o) target[o] = coin(random) ? 1.0f : -1.0f;
        }
        targets.push_back(target);
        net.AddTrainingPairs({{}, target, "n" + std::to_string(p)});
      }
      if (trial % 5 == 0) net.Tolerance = 0.7f;
      const Ranking r = Rank(net);
      ASSERT_EQ(r.names.size(), size_t(patterns));
      ASSERT_EQ(r.scores.size(), size_t(patterns));
      ASSERT_EQ(r.counts.size(), size_t(patterns));
      // The lists run from the best shown score down, with well-formed texts.
      static const std::regex scoreText(R"(\d{1,3}\.\d\d%)");
      static const std::regex countText(R"(\d+ / \d+ )");
      for (size_t k = 0; k < r.scores.size(); ++k) {
        ASSERT_TRUE(std::regex_match(r.scores[k], scoreText)) << r.scores[k];
        ASSERT_TRUE(std::regex_match(r.counts[k], countText)) << r.counts[k];
        ASSERT_EQ(r.counts[k].substr(r.counts[k].find('/') + 2), std::to_string(outputs) + " ");
        if (k > 0) {
          ASSERT_GE(std::strtod(r.scores[k - 1].c_str(), nullptr), std::strtod(r.scores[k].c_str(), nullptr));
        }
      }
      const std::string name = RecognizeName(net);
      ASSERT_EQ(name, patterns ? r.names[0] : "") << "outputs " << outputs << " trial " << trial;
      if (patterns > 1 && name != "n0") ++notFirst;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 11 * 150);
  EXPECT_GT(notFirst, 100);  // the comparison was not won by the first pattern every time
}

}  // namespace
}  // namespace kyt
