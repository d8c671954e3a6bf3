// Look-alike folding and conflict removal of training samples.
#include <gtest/gtest.h>

#include "GlyphSources.h"
#include "TrainingData.h"
#include "core/Error.h"

namespace kytdcr {
namespace {

// An input of 16 cells with ink where `bits` has ones.
kyt::TLayer Input(uint32_t bits) {
  kyt::TLayer v(17, -1.0f);
  v[0] = 0.0f;
  for (int i = 0; i < 16; ++i)
    if (bits & (1u << i)) v[size_t(i) + 1] = 1.0f;
  return v;
}

std::vector<std::string> Names(const TrainingData& d) {
  std::vector<std::string> out;
  for (const auto& p : d.Patterns()) out.push_back(p.name);
  return out;
}

TEST(ToolTrainingData, ListedLookAlikesJoinTheEarliestOfTheirGroup) {
  TrainingData d;
  for (const char* n : {"o", "e", "O", "0"}) d.Pattern(n);
  d.Add(0, Input(0x0F0F), 1);
  d.Add(1, Input(0x00FF), 1);
  d.Add(2, Input(0x0F1F), 1);
  d.Add(3, Input(0x7777), 1);
  // The group lists the capital first; priority order still keeps "o".
  const ResolveReport r = d.Resolve({{"O", "o"}}, 2.0, 0);
  EXPECT_EQ(Names(d), (std::vector<std::string>{"o", "e", "0"}));
  ASSERT_EQ(r.merges.size(), 1u);
  EXPECT_EQ(r.merges[0].kept, "o");
  EXPECT_EQ(r.merges[0].folded, "O");
  EXPECT_TRUE(r.merges[0].listed);
  ASSERT_EQ(d.Patterns()[0].samples.size(), 2u);
  EXPECT_EQ(d.Patterns()[0].samples[1].input, Input(0x0F1F));
  EXPECT_TRUE(r.emptyPatterns.empty());
}

TEST(ToolTrainingData, AnInputUnderTwoNamesStaysWithTheEarlierAndRepeatsStay) {
  TrainingData d;
  d.Pattern("l");
  d.Pattern("I");
  d.Add(0, Input(0x1111), 1);
  d.Add(0, Input(0x1111), 2);  // the same shape at another size
  d.Add(1, Input(0x1111), 1);  // a sans-serif I is the l bar
  d.Add(1, Input(0x7171), 2);  // a serif I is not
  const ResolveReport r = d.Resolve({}, 2.0, 0);
  EXPECT_EQ(r.conflictsRemoved, 1);
  EXPECT_EQ(r.repeats, 1);
  ASSERT_EQ(d.Patterns().size(), 2u);
  EXPECT_EQ(d.Patterns()[0].samples.size(), 2u);
  ASSERT_EQ(d.Patterns()[1].samples.size(), 1u);
  EXPECT_EQ(d.Patterns()[1].samples[0].input, Input(0x7171));
}

TEST(ToolTrainingData, PatternsLeftWithoutSamplesAreDroppedAndNamed) {
  TrainingData d;
  d.Pattern("a");
  d.Pattern("\"");
  d.Pattern("A");
  d.Add(0, Input(0x0001), 1);
  d.Add(2, Input(0x0001), 1);  // only ever the shape of "a": nothing of its own
  d.Reject(1);
  const ResolveReport r = d.Resolve({}, 2.0, 0);
  EXPECT_EQ(Names(d), (std::vector<std::string>{"a"}));
  EXPECT_EQ(r.emptyPatterns, (std::vector<std::string>{"\"", "A"}));
}

TEST(ToolTrainingData, MeasuredLookAlikesCompareTheSameRenderings) {
  TrainingData d;
  d.Pattern("c");
  d.Pattern("C");
  d.Pattern("G");
  // Variants 1..4: C is within one cell of c in three of its four renderings.
  d.Add(0, Input(0x000F), 1);
  d.Add(0, Input(0x00F0), 2);
  d.Add(0, Input(0x0F00), 3);
  d.Add(0, Input(0xF000), 4);
  d.Add(1, Input(0x001F), 1);
  d.Add(1, Input(0x00F1), 2);
  d.Add(1, Input(0x0F00 | 0x1000), 3);
  d.Add(1, Input(0x000F), 4);  // like c's rendering 1, but this is rendering 4
  // G is like nothing.
  d.Add(2, Input(0x3300), 1);
  d.Add(2, Input(0x0033), 2);
  TrainingData copy = d;
  ResolveReport r = d.Resolve({}, 0.75, 1);
  ASSERT_EQ(r.merges.size(), 1u);
  EXPECT_EQ(r.merges[0].folded, "C");
  EXPECT_DOUBLE_EQ(r.merges[0].share, 0.75);
  EXPECT_FALSE(r.merges[0].listed);
  EXPECT_EQ(Names(d), (std::vector<std::string>{"c", "G"}));
  // A stricter share folds nothing.
  r = copy.Resolve({}, 0.8, 1);
  EXPECT_TRUE(r.merges.empty());
  EXPECT_EQ(Names(copy).size(), 3u);
}

TEST(ToolTrainingData, CellDifferenceCountsSignChanges) {
  EXPECT_EQ(CellDifference(Input(0x0000), Input(0x0000)), 0);
  EXPECT_EQ(CellDifference(Input(0x00FF), Input(0x0F0F)), 8);
  EXPECT_EQ(CellDifference(Input(0xFFFF), Input(0x0000)), 16);
}

TEST(ToolTrainingData, LabelsFromFileNames) {
  EXPECT_EQ(LabelFromName("a"), "a");
  EXPECT_EQ(LabelFromName("U+002F"), "/");
  EXPECT_EQ(LabelFromName("U+002e"), ".");
  EXPECT_EQ(LabelFromName("ж"), "\xE6");
  EXPECT_EQ(LabelFromName("U+0416x"), "\xC6x");
  EXPECT_EQ(LabelFromName("U+12"), "U+12");  // too short to be a code
  EXPECT_THROW(LabelFromName("U+4E00"), kyt::Error);
  EXPECT_THROW(LabelFromName("\xE6\xBC\xA2"), kyt::Error);
}

}  // namespace
}  // namespace kytdcr
