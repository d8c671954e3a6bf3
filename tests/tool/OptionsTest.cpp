// Option parsing of the command-line tool.
#include <gtest/gtest.h>

#include "Options.h"

namespace kytdcr {
namespace {

const std::vector<OptionSpec> kSpecs = {
    {"kb"}, {"output", 'o'}, {"verbose", 'v', false}, {"font", 0, true, true}, {"bw"}};

TEST(ToolOptions, LongShortInlineAndRepeatedForms) {
  Options o({"a.png", "--kb", "x.dcr", "-o", "out.txt", "--font=A", "-v", "--font", "B", "b.png", "--bw=150",
             "--bw", "160"},
            kSpecs);
  EXPECT_EQ(o.Value("kb"), "x.dcr");
  EXPECT_EQ(o.Value("output"), "out.txt");
  EXPECT_TRUE(o.Has("verbose"));
  EXPECT_EQ(o.Values("font"), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(o.Int("bw", 0, 0, 255), 160);  // the last of a single-valued option wins
  EXPECT_EQ(o.Positional(), (std::vector<std::string>{"a.png", "b.png"}));
  EXPECT_FALSE(o.Has("font-size"));
  EXPECT_EQ(o.Int("missing", 7, 0, 10), 7);
}

TEST(ToolOptions, DoubleDashEndsOptionsAndValuesMayLookLikeOptions) {
  Options o({"--kb", "--weird", "--", "--verbose", "-"}, kSpecs);
  EXPECT_EQ(o.Value("kb"), "--weird");
  EXPECT_FALSE(o.Has("verbose"));
  EXPECT_EQ(o.Positional(), (std::vector<std::string>{"--verbose", "-"}));
}

TEST(ToolOptions, WrongUsageIsAUsageError) {
  EXPECT_THROW(Options({"--nope"}, kSpecs), UsageError);
  EXPECT_THROW(Options({"-x"}, kSpecs), UsageError);
  EXPECT_THROW(Options({"--kb"}, kSpecs), UsageError);         // value missing
  EXPECT_THROW(Options({"--verbose=1"}, kSpecs), UsageError);  // a flag takes no value
  Options o({"--bw", "12x"}, kSpecs);
  EXPECT_THROW(o.Int("bw", 0, 0, 255), UsageError);
}

TEST(ToolOptions, NumbersAreCheckedForFormAndRange) {
  EXPECT_EQ(ParseInt("42", "n", 0, 100), 42);
  EXPECT_EQ(ParseInt("+3", "n", 0, 100), 3);
  EXPECT_EQ(ParseInt("-5", "n", -10, 100), -5);
  EXPECT_THROW(ParseInt("", "n", 0, 100), UsageError);
  EXPECT_THROW(ParseInt(" 4", "n", 0, 100), UsageError);
  EXPECT_THROW(ParseInt("101", "n", 0, 100), UsageError);
  EXPECT_THROW(ParseInt("99999999999999999999", "n", 0, 100), UsageError);
  EXPECT_DOUBLE_EQ(ParseReal("0.005", "r", 0, 1), 0.005);
  EXPECT_DOUBLE_EQ(ParseReal("-1", "r", -1, 1), -1.0);
  EXPECT_THROW(ParseReal("1e400", "r", 0, 1e9), UsageError);
  EXPECT_THROW(ParseReal("nan", "r", 0, 1), UsageError);
  EXPECT_THROW(ParseReal("0.5x", "r", 0, 1), UsageError);
  EXPECT_THROW(ParseReal("2", "r", 0, 1), UsageError);
}

TEST(ToolOptions, GridsAndLists) {
  EXPECT_EQ(ParseGrid("12x16", "--grid"), (std::pair<int32_t, int32_t>{12, 16}));
  EXPECT_EQ(ParseGrid("20X20", "--grid"), (std::pair<int32_t, int32_t>{20, 20}));
  EXPECT_THROW(ParseGrid("16", "--grid"), UsageError);
  EXPECT_THROW(ParseGrid("0x16", "--grid"), UsageError);
  EXPECT_THROW(ParseGrid("16x", "--grid"), UsageError);
  EXPECT_EQ(ParseIntList("12,16,20", "--sizes", 4, 512), (std::vector<int32_t>{12, 16, 20}));
  EXPECT_EQ(ParseIntList("7", "--sizes", 4, 512), (std::vector<int32_t>{7}));
  EXPECT_THROW(ParseIntList("12,,20", "--sizes", 4, 512), UsageError);
  EXPECT_THROW(ParseIntList("12,2", "--sizes", 4, 512), UsageError);
  EXPECT_THROW(ParseIntList("12,", "--sizes", 4, 512), UsageError);
}

}  // namespace
}  // namespace kytdcr
