#include "runtime/script_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The store and its rule in plain C++, the same on every processor.
TEST(SanitisingStore, TurnsNonFiniteIntoZeroAndKeepsEverythingElse) {
  for (double (*store)(double) : {sanitised, sanitisedPortably<double>}) {
    EXPECT_EQ(store(kNaN), 0.0);
    EXPECT_EQ(store(kInf), 0.0);
    EXPECT_EQ(store(-kInf), 0.0);
    EXPECT_FALSE(std::signbit(store(-kInf)));
    const double denormal = std::numeric_limits<double>::denorm_min();
    EXPECT_EQ(store(denormal), denormal);
    EXPECT_TRUE(std::signbit(store(-0.0)));
    EXPECT_EQ(store(-12.5), -12.5);
    EXPECT_EQ(store(std::numeric_limits<double>::max()), std::numeric_limits<double>::max());
  }
}

TEST(IntegerConversion, NudgesAwayFromZeroThenTruncates) {
  EXPECT_EQ(toScriptInt(2.99995), 3);
  EXPECT_EQ(toScriptInt(-2.99995), -3);
  EXPECT_EQ(toScriptInt(2.9998), 2);
  EXPECT_EQ(toScriptInt(-2.9998), -2);
  EXPECT_EQ(toScriptInt(0.0), 0);
  EXPECT_EQ(toScriptInt(-0.00005), 0);
  EXPECT_EQ(toScriptInt(64.0), 64);
}

TEST(IntegerConversion, SaturatesInsteadOfOverflowing) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(toScriptInt(1e300), kMax);
  EXPECT_EQ(toScriptInt(kInf), kMax);
  EXPECT_EQ(toScriptInt(2147483647.5), kMax);
  EXPECT_EQ(toScriptInt(-1e300), kMin);
  EXPECT_EQ(toScriptInt(-kInf), kMin);
  EXPECT_EQ(toScriptInt(kNaN), 0);
  EXPECT_EQ(toScriptInt(2147483646.0), 2147483646);
  EXPECT_EQ(toScriptInt(-2147483647.0), -2147483647);
}

TEST(ControlIndexMasking, AlwaysLandsInTheControlValues) {
  EXPECT_EQ(controlIndex(130.0), 2);
  EXPECT_EQ(controlIndex(127.0), 127);
  EXPECT_EQ(controlIndex(128.0), 0);
  EXPECT_EQ(controlIndex(-1.0), 127);
  EXPECT_EQ(controlIndex(1e300), 127);
  EXPECT_EQ(controlIndex(kNaN), 0);
  EXPECT_EQ(controlIndex(64.99995), 65);
}

TEST(BoundedLoop, EndsAfterTheLimitEvenWhenItsConditionHolds) {
  std::int64_t bodyRuns = 0;
  const auto iterations = boundedLoop([&] {
    ++bodyRuns;
    return true;
  });
  EXPECT_EQ(iterations, 1000000);
  EXPECT_EQ(bodyRuns, 1000000);
}

TEST(BoundedLoop, RunsTheBodyUntilItsConditionFails) {
  int counter = 1;
  boundedLoop([&] {
    ++counter;
    return counter <= 64;
  });
  EXPECT_EQ(counter, 65);
}

TEST(ChangeComparison, ValuesWithinTheToleranceAreEqual) {
  EXPECT_FALSE(scriptValuesDiffer(1.0, 1.000005));
  EXPECT_FALSE(scriptValuesDiffer(1.000005, 1.0));
  EXPECT_TRUE(scriptValuesDiffer(1.0, 1.00002));
  EXPECT_TRUE(scriptValuesDiffer(0.0, -0.00002));
  EXPECT_TRUE(scriptValuesDiffer(0.0, kNaN));
}

}  // namespace
