// A ranking's number is how game and service name it on the wire, and the
// page and the game must call it alike.
#include <gtest/gtest.h>

#include "protocol/protocol.h"
#include "tests/languages.h"

namespace quarzello::protocol_test {

namespace {

TEST(RankingsTest, EachNumberIsTheRankingOfItsModeAndDifficulty) {
  for (int ranking = 0; ranking < kRankings; ++ranking) {
    EXPECT_EQ(RankingIndex(RankingMode(ranking), RankingDifficulty(ranking)), ranking) << ranking;
  }
  EXPECT_FALSE(IsRanking(-1));
  EXPECT_FALSE(IsRanking(kRankings));
  EXPECT_TRUE(IsRanking(kRankings - 1));
}

TEST(RankingsTest, NamesAreTheGamesOwnInEitherLanguage) {
  EXPECT_EQ(RankingTitle(0, German()), "Classic Leicht");
  EXPECT_EQ(RankingTitle(5, German()), "Turbo Schwer");
  EXPECT_EQ(RankingTitle(6, German()), "Level");
  EXPECT_EQ(RankingDifficultyName(6, German()), "");
  EXPECT_EQ(RankingTitle(4, English()), std::string(TextIn(English(), TextId::ModeTurbo)) + " " +
                                                    TextIn(English(), TextId::DifficultyMedium));
}

}  // namespace

}  // namespace quarzello::protocol_test
