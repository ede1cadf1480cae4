#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>

#include "base/random.h"
#include "platform/platform.h"

namespace quarzello::platform_test {

namespace {

Random generator;

TEST(Random, ZeroWidthRangeAlwaysGivesItsValue) {
  generator.Seed(99);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(generator.Int(0, 0), 0);
}

TEST(Random, EveryValueOfTheRangeComesUpAndNothingElse) {
  generator.Seed(12345);
  std::map<int, int> seen;
  for (int i = 0; i < 6000; ++i) ++seen[generator.Int(-2, 3)];
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen.begin()->first, -2);
  EXPECT_EQ(seen.rbegin()->first, 3);
  for (const auto& [value, count] : seen) EXPECT_GT(count, 800) << value;  // about 1000 each
}

TEST(Random, ReversedBoundsAreSwapped) {
  generator.Seed(7);
  std::map<int, int> seen;
  for (int i = 0; i < 1000; ++i) ++seen[generator.Int(5, 1)];
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen.begin()->first, 1);
  EXPECT_EQ(seen.rbegin()->first, 5);
}

TEST(Random, WidestRangeStaysInside) {
  generator.Seed(3);
  for (int i = 0; i < 1000; ++i) {
    const int value = generator.Int(INT32_MIN, INT32_MAX);
    (void)value;  // any int is inside; the call must simply not overflow
  }
  for (int i = 0; i < 1000; ++i) {
    const int value = generator.Int(INT32_MAX - 1, INT32_MAX);
    EXPECT_GE(value, INT32_MAX - 1);
  }
}

std::vector<int> Draws(int seed) {
  generator.Seed(seed);
  std::vector<int> values;
  for (int i = 0; i < 20; ++i) values.push_back(generator.Int(0, 1000000));
  return values;
}

TEST(Random, SameSeedSameSequence) {
  EXPECT_EQ(Draws(42), Draws(42));
  EXPECT_NE(Draws(42), Draws(43));
}

// A recording keeps the state a game starts from: a generator set to it
// deals on exactly as the one it was read from.
TEST(Random, AGeneratorSetToAnotherOnesStateDealsOnTheSame) {
  generator.Seed(7);
  for (int i = 0; i < 5; ++i) generator.Int(0, 9);
  Random copy;
  copy.state = generator.state;
  for (int i = 0; i < 50; ++i) ASSERT_EQ(copy.Int(-3, 40), generator.Int(-3, 40));
  EXPECT_TRUE(Random::ValidState(copy.state));
  EXPECT_FALSE(Random::ValidState(0));
  EXPECT_FALSE(Random::ValidState(Random::kModulus));
}

TEST(Random, SeedLosesItsTopBitAndDegenerateSeedsBecome0x1234) {
  EXPECT_EQ(Draws(5), Draws(static_cast<int>(0x80000005u)));
  EXPECT_EQ(Draws(0), Draws(0x1234));
  EXPECT_EQ(Draws(0x7FFFFFFF), Draws(0x1234));
  EXPECT_EQ(Draws(-1), Draws(0x1234));             // all bits: 0x7FFFFFFF after the top bit goes
  EXPECT_EQ(Draws(INT32_MIN), Draws(0x1234));      // only the top bit: 0
  EXPECT_NE(Draws(0x7FFFFFFE), Draws(0x1234));
}

TEST(Random, TheStartSeedIsFixedByTheEnvironmentElseNewEveryRun) {
  setenv("QUARZELLO_SEED", "4711", 1);
  EXPECT_EQ(StartSeed(), 4711);
  unsetenv("QUARZELLO_SEED");
  EXPECT_NE(StartSeed(), StartSeed());
}

TEST(Clock, TestClockOverridesUntilTheSystemClockReturns) {
  SetTestClock(123456);
  EXPECT_EQ(NowMillis(), 123456);
  EXPECT_EQ(NowMillis(), 123456);
  UseSystemClock();
  const int64_t first = NowMillis();
  const int64_t second = NowMillis();
  EXPECT_GE(second - first, 0);
  EXPECT_LT(second - first, 1000);
}

TEST(Arithmetic, TruncateGoesTowardZeroAndSaturates) {
  EXPECT_EQ(Truncate(2.7f), 2);
  EXPECT_EQ(Truncate(-2.7f), -2);
  EXPECT_EQ(Truncate(-0.5f), 0);
  EXPECT_EQ(Truncate(1e12f), INT32_MAX);
  EXPECT_EQ(Truncate(-1e12f), INT32_MIN);
  EXPECT_EQ(Truncate(std::nanf("")), 0);
}

TEST(Arithmetic, DegreeTrigonometry) {
  EXPECT_NEAR(SinDeg(90), 1, 1e-6);
  EXPECT_NEAR(CosDeg(180), -1, 1e-6);
  EXPECT_NEAR(SinDeg(-30), -0.5, 1e-6);
  EXPECT_NEAR(ATan2Deg(1, 0), 90, 1e-4);
  EXPECT_NEAR(ATan2Deg(-1, -1), -135, 1e-4);
}

}  // namespace

}  // namespace quarzello::platform_test
