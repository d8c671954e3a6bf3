// Whole numbers read from parameter texts and host answers.
#include <gtest/gtest.h>

#include "core/Error.h"
#include "core/NumberSyntax.h"

namespace kyt::test {
namespace {

TEST(NumberSyntax, AcceptsBlanksSignsDecimalAndEveryHexPrefix) {
  const std::pair<const char*, int32_t> cases[] = {
      {"0", 0},          {"196", 196},        {"   22", 22},         {"+7", 7},
      {"-10", -10},      {"  -0", 0},         {"007", 7},           {"$1F", 31},
      {"x1f", 31},       {"X10", 16},         {"0x10", 16},         {"0XfF", 255},
      {"-$10", -16},     {" +0x7fffffff", 2147483647},              {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},             {"$FFFFFFFF", -1},    {"$80000000", INT32_MIN},
      {"$0000000000000001", 1},
  };
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE(text);
    ASSERT_TRUE(TryParseInt32(text).has_value());
    EXPECT_EQ(*TryParseInt32(text), value);
    EXPECT_EQ(ParseInt32(text), value);
  }
}

TEST(NumberSyntax, RefusesEverythingElseWithTheConversionMessage) {
  const char* bad[] = {"",      " ",      "abc",        "12 ",  "1 2",   "--1",  "+-1", "$",
                       "0x",    "x",      "1.5",        "1e3",  "\t5",   "5\n",  "$G",  "0x 1",
                       "- 1",   "$-1",    "2147483648", "-2147483649",   "$100000000",  "99999999999999999999"};
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(TryParseInt32(text).has_value());
    try {
      ParseInt32(text);
      ADD_FAILURE() << "no error raised";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

TEST(NumberSyntax, SixtyFourBitRangeForHostAnswers) {
  EXPECT_EQ(TryParseInt64("4294967296"), int64_t(1) << 32);
  EXPECT_EQ(TryParseInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(TryParseInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(TryParseInt64("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(TryParseInt64(" 0x100002000"), int64_t(0x100002000));
  EXPECT_FALSE(TryParseInt64("9223372036854775808").has_value());
  EXPECT_FALSE(TryParseInt64("-9223372036854775809").has_value());
  EXPECT_FALSE(TryParseInt64("$10000000000000000").has_value());
  EXPECT_FALSE(TryParseInt64("12a").has_value());
  EXPECT_THROW(ParseInt64("handle"), Error);
}

}  // namespace
}  // namespace kyt::test
