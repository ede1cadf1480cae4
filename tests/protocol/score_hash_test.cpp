// The hash is part of the wire format: game and service must agree on every
// bit, so it is pinned to values computed outside this code.
#include <gtest/gtest.h>

#include "protocol/score_hash.h"

namespace quarzello::highscore_test {

namespace {

TEST(ScoreHashTest, PadsShortKeysAndAppendsTheTail) {
  // "short" + 11 spaces + "250" + "2"; a key of exactly 16 characters; a tail after the 16th.
  EXPECT_EQ(ScoreHash("short", 250, 2), 924910682);
  EXPECT_EQ(ScoreHash("0123456789abcdef", 250, 2), 854590764);
  EXPECT_EQ(ScoreHash("0123456789abcdefTAIL", 250, 2), 1251018326);
  EXPECT_EQ(ScoreHash("", 0, 0), 362938977);
}

TEST(ScoreHashTest, CharactersCountAsBytesAndLargeSumsComeOutNegative) {
  EXPECT_EQ(ScoreHash("J\xF6rg", -5, 3), 876807215);
  EXPECT_EQ(ScoreHash(std::string(17, '\xF0'), 99999, 6), -276557500);
  EXPECT_EQ(ScoreHash(std::string(10, '}'), 2147483647, 6), -2042165273);
}

}  // namespace

}  // namespace quarzello::highscore_test
