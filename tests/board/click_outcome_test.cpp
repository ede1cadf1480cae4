// The board rules alone: a click changes the board it is given and reports
// what happened; points, messages and effects are left to the caller.
#include "tests/board/board_fixture.h"

namespace quarzello::board_test {

namespace {

class ClickOutcomeTest : public BoardTest {
 protected:
  // A generator of the test's own, apart from the game's.
  Random dealt;

  RuleContext TwoClickRules() {
    RuleContext rules;
    rules.settings.minGroup = 2;
    rules.now = 777;
    rules.random = &dealt;
    return rules;
  }
};

TEST_F(ClickOutcomeTest, TwoClickPlayReportsTheMarkThenTheRemovalAndTheEnd) {
  LoadBoard({"2................",
             "002..............",
             "12121............"});
  RuleContext rules = TwoClickRules();

  ClickOutcome mark = ClickCell(game.world.board, rules, 0, 17);
  EXPECT_EQ(mark.result, ClickResult::Marked);
  EXPECT_EQ(mark.stones, 2);
  EXPECT_EQ(mark.points, 0);
  ASSERT_TRUE(mark.pointsCounter.has_value());
  EXPECT_EQ(mark.pointsCounter->points, 4);
  EXPECT_FLOAT_EQ(mark.pointsCounter->x, (CellCentreX(0) + CellCentreX(1)) / 2);
  EXPECT_FLOAT_EQ(mark.pointsCounter->y, CellCentreY(17) - kCellSize / 2);
  EXPECT_EQ(game.world.board.groupMarked, 1);
  EXPECT_EQ(game.world.board(1, 17)->ms, 777);

  ClickOutcome take = ClickCell(game.world.board, rules, 1, 17);
  EXPECT_EQ(take.result, ClickResult::Confirmed);
  EXPECT_EQ(take.points, 4);
  EXPECT_EQ(take.removed.size(), 2u);
  EXPECT_TRUE(take.fadeCounters);
  EXPECT_TRUE(take.gameOver);  // no two neighbours share a colour any more
  EXPECT_EQ(game.world.board.groupMarked, 0);

  // The caller's business: nothing of it happened here.
  EXPECT_EQ(game.score, 0);
  EXPECT_TRUE(game.outbox.empty());
  EXPECT_TRUE(game.world.removedStones.empty());
  EXPECT_TRUE(game.world.counters.empty());
}

TEST_F(ClickOutcomeTest, RefillUsesTheGivenGeneratorOnlyWhileTheGameRuns) {
  std::vector<std::string> rows(kRows - 1, "33...............");
  rows.push_back("00...............");
  LoadBoard(rows);
  RuleContext rules = TwoClickRules();
  rules.settings.instantRemove = 1;
  rules.settings.feedFromTop = 1;
  dealt.Seed(99);
  const int32_t gameGenerator = generator.state;
  ClickOutcome removed = ClickCell(game.world.board, rules, 0, 18);
  EXPECT_EQ(removed.result, ClickResult::Removed);
  // The two columns have closed up to the middle, topped up from above by
  // the generator the rules were given, and by no other.
  ASSERT_NE(game.world.board(7, 0), nullptr);
  EXPECT_EQ(game.world.board(7, 0)->y, static_cast<float>(kRefillY));
  EXPECT_NE(dealt.state, 99);
  EXPECT_EQ(generator.state, gameGenerator);

  rules.running = false;
  const int32_t beforeClearing = dealt.state;
  MarkEveryStone(game.world.board);
  Removal cleared = RemoveMarkedStones(game.world.board, rules);
  EXPECT_EQ(cleared.removed.size(), 2u * kRows);
  EXPECT_EQ(dealt.state, beforeClearing);
  EXPECT_EQ(CountStones(game.world.board), 0);
}

TEST_F(ClickOutcomeTest, AreaBombReportsItsBlastAtTheCellsLowerRightCorner) {
  LoadBoard({"0123.............",
             "RA01............."});
  ClickOutcome blast = ClickCell(game.world.board, TwoClickRules(), 1, 18);
  EXPECT_EQ(blast.result, ClickResult::Exploded);
  ASSERT_TRUE(blast.blast.has_value());
  EXPECT_FLOAT_EQ(blast.blast->x, 50 + 20 * 1);
  EXPECT_FLOAT_EQ(blast.blast->y, 110 + 20 * 18);
  EXPECT_EQ(blast.points, 0);
  EXPECT_EQ(blast.removed.size(), 8u);
  EXPECT_TRUE(game.world.explosions.empty());
}

}  // namespace

}  // namespace quarzello::board_test
