#include "tests/board/board_fixture.h"

namespace quarzello::board_test {

namespace {

class ClickTest : public BoardTest {
 protected:
  int CountInMode(int mode) const {
    int n = 0;
    for (const auto& cell : game.world.board.cells) n += cell != nullptr && cell->mode == mode;
    return n;
  }
};

TEST_F(ClickTest, OneClickRemovesTheGroupAndScoresItsSquare) {
  game.instantRemove = 1;
  game.minGroup = 2;
  LoadBoard({"1................",
             "00.1.............",
             "10R0RRRRRRRRRRRRR"});
  ClickAtCell(1, 17);
  EXPECT_EQ(Rows(3), (std::vector<std::string>{".................",
                                               ".1.1.............",
                                               ".1R0RRRRRRRRRRRRR"}));
  EXPECT_EQ(game.score, 9);
  EXPECT_EQ(game.world.board.groupMarked, 0);
  EXPECT_TRUE(game.world.counters.empty());

  game.gameMode = Level;
  game.level = 4;
  ClickAtCell(1, 18);
  EXPECT_EQ(game.score, 9 + 4 * 4);
}

TEST_F(ClickTest, GroupTooSmallIsLetGoAtOnce) {
  game.instantRemove = 1;
  game.minGroup = 3;
  LoadBoard({"2.0..............",
             "11230............"});
  game.world.board(0, 18)->mode = Appearing;  // the clicked pair may still be appearing
  game.world.board(2, 18)->mode = Shrinking;
  game.world.board(3, 18)->mode = Shrinking;
  game.world.board(0, 17)->mode = Shrinking;
  game.world.board(4, 18)->mode = Appearing;
  ClickAtCell(1, 18);
  EXPECT_EQ(CountStones(game.world.board), 7);
  for (auto c : {0, 1, 2, 3}) EXPECT_EQ(game.world.board(c, 18)->mode, Resting) << c;
  EXPECT_EQ(game.world.board(0, 17)->mode, Resting);
  EXPECT_EQ(game.world.board(4, 18)->mode, Appearing);
  EXPECT_EQ(game.world.board.groupMarked, 0);
  EXPECT_EQ(game.score, 0);
}

TEST_F(ClickTest, GroupsSpreadOnlyThroughOrdinaryStonesOfTheirColour) {
  LoadBoard({".1...............",
             "0b1..............",
             "1101R............"});
  game.minGroup = 1;
  ClickAtCell(0, 18);
  EXPECT_EQ(game.world.board(1, 18)->ms, 5000);
  EXPECT_EQ(CountInMode(Growing), 2);
  EXPECT_EQ(game.world.board(1, 17)->mode, Resting);  // the bomb of the same colour
  EXPECT_EQ(game.world.board(1, 16)->mode, Resting);  // behind the bomb
  EXPECT_EQ(game.world.board(2, 17)->mode, Resting);  // diagonal
}

TEST_F(ClickTest, TwoClickPlayMarksThenRemovesTheWholeGroup) {
  game.minGroup = 2;
  LoadBoard({"222..............",
             "2233.............",
             "3333............."});
  ClickAtCell(0, 16);
  EXPECT_EQ(game.world.board.groupMarked, 1);
  EXPECT_EQ(CountInMode(Growing), 5);
  EXPECT_EQ(game.score, 0);
  ASSERT_EQ(game.world.counters.size(), 1u);
  EXPECT_EQ(game.world.counters[0].points, 25);
  EXPECT_EQ(game.world.counters[0].x, 60.0f);   // middle of columns 0..2
  EXPECT_EQ(game.world.counters[0].y, 410.0f);  // top edge of row 16
  EXPECT_EQ(game.world.counters[0].mode, 0);

  SetTestClock(6000);
  ClickAtCell(1, 17);  // any stone of the group confirms
  EXPECT_EQ(game.score, 25);
  EXPECT_EQ(game.world.removedStones.size(), 5u);
  EXPECT_EQ(game.world.board.groupMarked, 0);
  EXPECT_EQ(game.world.counters[0].mode, 2);
  EXPECT_EQ(game.gameOverState, 0);  // the blue row is still a move
  EXPECT_TRUE(game.outbox.empty());
}

TEST_F(ClickTest, TwoClickMissOnlyLetsTheGroupGo) {
  game.minGroup = 2;
  LoadBoard({"22..3............",
             "22..33..........."});
  ClickAtCell(0, 18);
  EXPECT_EQ(game.world.board.groupMarked, 1);

  ClickAtCell(4, 18);  // another group: not marked, the first one let go
  EXPECT_EQ(game.world.board.groupMarked, 0);
  EXPECT_EQ(CountInMode(Shrinking), 4);
  EXPECT_EQ(CountInMode(Growing), 0);
  EXPECT_EQ(game.world.counters[0].mode, 2);
  EXPECT_EQ(CountStones(game.world.board), 7);
  EXPECT_EQ(game.score, 0);

  ClickAtCell(0, 18);  // the shrinking stones join again
  EXPECT_EQ(CountInMode(Growing), 4);
  EXPECT_EQ(game.world.counters.back().points, 16);
  ClickAtCell(8, 10);  // an empty cell inside the board lets go too
  EXPECT_EQ(game.world.board.groupMarked, 0);
  EXPECT_EQ(CountInMode(Shrinking), 4);
}

TEST_F(ClickTest, ConfirmedRemovalLeavingNoMoveEndsTheGame) {
  game.minGroup = 2;
  LoadBoard({"2................",
             "11R3............."});
  ClickAtCell(0, 18);
  ClickAtCell(0, 18);
  EXPECT_EQ(game.score, 4);
  EXPECT_EQ(game.gameOverState, 1);
  ASSERT_EQ(game.outbox.size(), 1u);
  EXPECT_EQ(game.outbox.back().kind, GameNews::Ended);
}

TEST_F(ClickTest, ColourBombTakesEveryStoneOfItsColourAndOtherBombsQuietly) {
  game.minGroup = 2;
  LoadBoard({"c2....2..........",
             "2A0c.1c2........."});
  ClickAtCell(3, 18);
  EXPECT_EQ(Rows(2), (std::vector<std::string>{".................",
                                               "......A01........"}));
  EXPECT_EQ(game.world.removedStones.size(), 7u);
  EXPECT_TRUE(game.world.explosions.empty());
  EXPECT_EQ(game.score, 0);
  EXPECT_EQ(game.world.board.groupMarked, 0);
}

TEST_F(ClickTest, AreaBombInACornerTakesTheSquarePartOnTheBoard) {
  game.instantRemove = 0;
  game.minGroup = 2;
  LoadBoard({"00000............",
             "00001............",
             "00000............",
             "0b000............",
             "A0R00............"});
  ClickAtCell(0, 18);
  EXPECT_EQ(game.world.removedStones.size(), 16u);
  for (const auto& s : game.world.removedStones) EXPECT_EQ(s->col, 4);
  EXPECT_EQ(Rows(2), (std::vector<std::string>{"........0........",
                                               "....00000........"}));
  EXPECT_EQ(CountStones(game.world.board), 9);
  EXPECT_EQ(game.world.board(8, 15)->col, 1);  // the colour bomb in the blast took no other 1
  ASSERT_EQ(game.world.explosions.size(), 1u);
  const explosion& blast = game.world.explosions[0];
  EXPECT_EQ(blast.x, 50.0f);
  EXPECT_EQ(blast.y, 470.0f);
  EXPECT_EQ(blast.sx, 5.0f);
  EXPECT_EQ(blast.sy, 5.0f);
  EXPECT_EQ(blast.alpha, 1.0f);
  EXPECT_EQ(game.score, 0);
  EXPECT_EQ(game.world.board.groupMarked, 0);
}

TEST_F(ClickTest, RocksAndEmptyCellsIgnoreTheClick) {
  game.instantRemove = 1;
  game.minGroup = 1;
  LoadBoard({"R................"});
  ClickAtCell(0, 18);
  ClickAtCell(5, 5);
  EXPECT_EQ(CountStones(game.world.board), 1);
  EXPECT_EQ(game.world.board(0, 18)->mode, Resting);
}

TEST_F(ClickTest, NoMoveLeftCountsBombsButNeitherRocksNorSmallGroups) {
  game.minGroup = 3;
  EXPECT_TRUE(NoMoveLeft(game.world.board, game.minGroup));  // empty board
  LoadBoard({"RR11R22R0........",
             "RRRRRRRR0........"});
  EXPECT_TRUE(NoMoveLeft(game.world.board, game.minGroup));
  game.minGroup = 2;
  EXPECT_FALSE(NoMoveLeft(game.world.board, game.minGroup));
  game.minGroup = 3;
  LoadBoard({"1................",
             "1R1R.......A....."});
  EXPECT_FALSE(NoMoveLeft(game.world.board, game.minGroup));  // only the bomb
  LoadBoard({"1........1.......",
             "1R1......1......."});
  EXPECT_TRUE(NoMoveLeft(game.world.board, game.minGroup));
  LoadBoard({"1.1......1.......",
             "111......1......."});
  EXPECT_FALSE(NoMoveLeft(game.world.board, game.minGroup));
}

// Level 3, one-click: the pair of 2s is the last move, the rocks stay.
class LevelBonusTest : public BoardTest, public testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(LevelBonusTest, BonusDependsOnTheStonesLeft) {
  const auto [stonesLeft, bonus] = GetParam();
  game.gameMode = Level;
  game.instantRemove = 1;
  game.minGroup = 2;
  game.level = 3;
  std::string row = "22" + std::string(stonesLeft, 'R');
  row.resize(kColumns, '.');
  LoadBoard({row});
  ClickAtCell(0, 18);
  EXPECT_EQ(CountStones(game.world.board), stonesLeft);
  EXPECT_EQ(game.score, 4 * 3 + bonus);
  if (bonus == 0) {
    EXPECT_TRUE(game.outbox.empty());
  } else {
    ASSERT_EQ(game.outbox.size(), 1u);
    EXPECT_EQ(game.outbox.back().kind, GameNews::Bonus);
    EXPECT_EQ(game.outbox.back().value, bonus);
  }
}

INSTANTIATE_TEST_SUITE_P(LevelThree, LevelBonusTest,
                         testing::Values(std::pair(4, 500), std::pair(6, 100), std::pair(7, 0)));

}  // namespace

}  // namespace quarzello::board_test
