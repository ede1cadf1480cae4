#include "gameplay/texts.h"
#include "tests/gameplay/game_fixture.h"

namespace quarzello::gameplay_test {

namespace {

class LevelFeedTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    game.gameMode = Level;
    StartNewGame(app);
  }

  // Moves the clock just past the deadline and feeds one row; what the game
  // reports is shown as the game screen shows it.
  void NextRow() {
    Clock(game.deadline + 1);
    FeedRowFromBelow(game);
    ShowGameNews(ui, game);
  }

  std::vector<std::string> Messages() {
    std::vector<std::string> texts;
    for (const auto& msg : ui.messages) texts.push_back(msg->txt);
    return texts;
  }
};

}  // namespace

TEST_F(LevelFeedTest, ARowEntersOnlyOnceTheDeadlineHasPassed) {
  Clock(kStart + 2100);
  FeedRowFromBelow(game);
  EXPECT_EQ(game.rowsToNextLevel, 10);
  EXPECT_EQ(game.world.board(0, 8), nullptr);

  for (uint8_t mode : {Classic, Turbo}) {
    game.gameMode = mode;
    NextRow();
    EXPECT_EQ(game.rowsToNextLevel, 10);
  }
  game.gameMode = Level;
  game.gameOverState = 1;
  NextRow();
  EXPECT_EQ(game.rowsToNextLevel, 10);
  EXPECT_EQ(FilledCells(), 170);
}

TEST_F(LevelFeedTest, ARowPushesTheBoardUpAndEntersBelowIt) {
  const stone* bottom = game.world.board(6, 18).get();
  const stone* top = game.world.board(6, 9).get();
  const float topY = top->y;
  Clock(kStart + 2101);
  FeedRowFromBelow(game);

  EXPECT_EQ(game.rowsToNextLevel, 9);
  EXPECT_EQ(game.deadline, kStart + 2101 + 2840);
  EXPECT_EQ(game.gameOverState, 0);
  EXPECT_EQ(game.world.board(6, 17).get(), bottom);
  EXPECT_EQ(game.world.board(6, 8).get(), top);
  EXPECT_EQ(top->y, topY);  // the glide does the moving
  EXPECT_EQ(FilledCells(), 187);
  for (int c = 0; c < kColumns; ++c) {
    const stone* fresh = game.world.board(c, 18).get();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->x, 40.0f + 20.0f * c);
    EXPECT_EQ(fresh->y, 490.0f);
    EXPECT_EQ(fresh->mode, Appearing);
  }
}

TEST_F(LevelFeedTest, TheTenthRowRaisesTheLevelAndTheNextFollowsAtItsPace) {
  for (int row = 1; row <= 9; ++row) NextRow();
  EXPECT_EQ(game.level, 1);
  EXPECT_EQ(game.rowsToNextLevel, 1);
  game.world.board.clear();  // keep the columns from reaching the top

  const int now = game.deadline + 1;
  NextRow();
  EXPECT_EQ(game.level, 2);
  EXPECT_EQ(game.rowsToNextLevel, 10);
  EXPECT_EQ(game.deadline, now + 2660);
  ASSERT_EQ(Messages(), std::vector<std::string>{FormatText(TextId::LevelNumber, {"2"})});
  EXPECT_EQ(ui.messages.front()->timer, 150);
  EXPECT_EQ(ui.messages.front()->y_offset, 0);
}

TEST_F(LevelFeedTest, EachLevelBringsItsRowsAndSettings) {
  struct Step {
    int level, rows, maxColour, rocksOn, bombLevel, minGroup, interval;
  };
  const Step steps[] = {
      {2, 10, 2, 0, 0, 2, 2660}, {3, 11, 3, 0, 0, 2, 2460}, {4, 12, 3, 1, 0, 2, 2240},
      {5, 14, 3, 1, 1, 2, 2000}, {6, 16, 3, 1, 2, 2, 1740}, {7, 18, 3, 1, 2, 3, 1460},
      {8, 22, 3, 1, 2, 3, 1160}, {9, 30, 3, 1, 2, 3, 840},  {10, 40, 3, 1, 2, 3, 500},
      {11, 40, 3, 1, 2, 3, 500}, {12, 40, 3, 1, 2, 3, 500},
  };
  for (const Step& step : steps) {
    game.world.board.clear();
    game.rowsToNextLevel = 1;
    NextRow();
    EXPECT_EQ(game.level, step.level);
    EXPECT_EQ(game.rowsToNextLevel, step.rows) << step.level;
    EXPECT_EQ(game.maxColour, step.maxColour) << step.level;
    EXPECT_EQ(game.rocksOn, step.rocksOn) << step.level;
    EXPECT_EQ(game.bombLevel, step.bombLevel) << step.level;
    EXPECT_EQ(game.minGroup, step.minGroup) << step.level;
    EXPECT_EQ(game.deadline - NowMillis(), step.interval) << step.level;
    EXPECT_EQ(Messages().back(), "LEVEL " + std::to_string(step.level));
  }
}

TEST_F(LevelFeedTest, TheRowThatBringsLevel3AlreadyHasFourColours) {
  game.level = 2;
  game.rowsToNextLevel = 1;
  game.world.board.clear();
  NextRow();
  bool blue = false;
  for (int c = 0; c < kColumns; ++c) blue |= game.world.board(c, 18)->col == 3;
  EXPECT_TRUE(blue);
}

TEST_F(LevelFeedTest, ARowArrivingAtAFullColumnEndsTheGame) {
  for (int row = 1; row <= 8; ++row) NextRow();
  EXPECT_EQ(game.gameOverState, 0);
  game.world.board(4, 1).reset();  // column 4 one short of the top
  NextRow();
  EXPECT_EQ(game.gameOverState, 0);
  ASSERT_NE(game.world.board(7, 0), nullptr);
  const stone* secondOfColumn7 = game.world.board(7, 1).get();
  const stone* below = game.world.board(4, 2).get();

  // The 10th row also raises the level, but the game is over.
  NextRow();
  EXPECT_EQ(game.gameOverState, 1);
  EXPECT_EQ(game.world.board(4, 1).get(), below);  // the row still came in
  EXPECT_EQ(game.world.board(7, 0).get(), secondOfColumn7);  // the top stone fell off
  EXPECT_EQ(FilledCells(), kColumns * kRows);
  EXPECT_EQ(Messages(), std::vector<std::string>{Text(TextId::GameOverNews)});
  EXPECT_EQ(ui.messages.front()->timer, -1);

  const int rows = game.rowsToNextLevel;
  NextRow();
  EXPECT_EQ(game.rowsToNextLevel, rows);
}

}  // namespace quarzello::gameplay_test
