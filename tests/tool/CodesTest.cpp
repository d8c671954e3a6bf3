// Target codes of the trained patterns.
#include <gtest/gtest.h>

#include "Codes.h"
#include "core/Error.h"

namespace kytdcr {
namespace {

int Distance(const kyt::TLayer& a, const kyt::TLayer& b) {
  int d = 0;
  for (size_t i = 1; i < a.size(); ++i) d += a[i] != b[i] ? 1 : 0;
  return d;
}

TEST(ToolCodes, AnyTwoTargetsDifferInAtLeastHalfTheOutputs) {
  for (int32_t length : {16, 64, 128}) {
    const int32_t count = 2 * (length - 1);
    const auto t = CodeTargets(count, length);
    ASSERT_EQ(int32_t(t.size()), count);
    for (const auto& v : t) {
      ASSERT_EQ(int32_t(v.size()), length + 1);
      EXPECT_EQ(v[0], 0.0f);
      for (size_t i = 1; i < v.size(); ++i) EXPECT_TRUE(v[i] == 1.0f || v[i] == -1.0f);
    }
    for (int32_t a = 0; a < count; ++a)
      for (int32_t b = a + 1; b < count; ++b) EXPECT_GE(Distance(t[size_t(a)], t[size_t(b)]), length / 2) << a << " " << b;
  }
}

TEST(ToolCodes, BalancedTargetsWithinTheFirstRows) {
  // Rows past the all-ones row hold as many +1 as -1: no output is constant.
  for (const auto& v : CodeTargets(31, 32)) {
    int plus = 0;
    for (size_t i = 1; i < v.size(); ++i) plus += v[i] > 0 ? 1 : 0;
    EXPECT_EQ(plus, 16);
  }
}

TEST(ToolCodes, LengthsAndLimits) {
  EXPECT_EQ(DefaultCodeLength(1), 16);
  EXPECT_EQ(DefaultCodeLength(30), 16);
  EXPECT_EQ(DefaultCodeLength(31), 32);
  EXPECT_EQ(DefaultCodeLength(79), 64);
  EXPECT_EQ(DefaultCodeLength(126), 64);
  EXPECT_EQ(DefaultCodeLength(127), 128);
  EXPECT_EQ(DefaultCodeLength(254), 128);
  EXPECT_EQ(DefaultCodeLength(255), 256);
  EXPECT_NO_THROW(CodeTargets(126, DefaultCodeLength(126)));
  EXPECT_THROW(CodeTargets(10, 24), kyt::Error);
  EXPECT_THROW(CodeTargets(31, 16), kyt::Error);
  EXPECT_NO_THROW(CodeTargets(30, 16));
  EXPECT_EQ(OutputShape(128), (std::pair<int32_t, int32_t>{8, 16}));
  EXPECT_EQ(OutputShape(64), (std::pair<int32_t, int32_t>{8, 8}));
}

}  // namespace
}  // namespace kytdcr
