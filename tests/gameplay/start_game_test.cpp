#include <set>
#include <tuple>

#include "gameplay/texts.h"
#include "tests/gameplay/game_fixture.h"

namespace quarzello::gameplay_test {

namespace {

struct Expected {
  uint8_t gameMode, difficulty;
  int feedFromTop, sideSupplyOn, instantRemove, maxColour, minGroup, bombLevel, rocksOn;
};

const Expected kTable[] = {
    {Classic, 0, 0, 1, 0, 2, 1, 0, 0}, {Classic, 1, 0, 1, 0, 3, 2, 0, 0},
    {Classic, 2, 0, 0, 0, 3, 3, 0, 0}, {Turbo, 0, 1, 0, 1, 2, 1, 0, 0},
    {Turbo, 1, 1, 0, 1, 3, 2, 0, 0},   {Turbo, 2, 1, 0, 1, 3, 3, 0, 1},
    {Level, 0, 0, 0, 1, 2, 2, 0, 0},   {Level, 2, 0, 0, 1, 2, 2, 0, 0},
};

class StartGameTest : public GameTest, public ::testing::WithParamInterface<Expected> {
 protected:
  void LeaveAnAbandonedGame();
};

// Leftovers of an abandoned game that a new game must not inherit.
void StartGameTest::LeaveAnAbandonedGame() {
  game.score = 777;
  game.sideSupply = 7;
  game.deadline = 42;
  game.level = 5;
  game.rowsToNextLevel = 3;
  game.gameOverState = 2;
  game.bombLevel = 2;
  game.world.board.groupMarked = 1;
  game.world.removedStones.push_back(std::make_unique<stone>());
  game.world.counters.push_back(counter{});
  game.world.explosions.push_back(explosion{});
  TMsg::create(ui.messages, Text(TextId::GameOverNews), -1, 0);
  ui.screen = Pause;
  for (int c = 0; c < kColumns; ++c) PutStone(c, 0, 1, Marked);
}

}  // namespace

TEST_P(StartGameTest, AppliesTheSettingsAndFillsTheBoard) {
  const Expected& e = GetParam();
  LeaveAnAbandonedGame();
  game.gameMode = e.gameMode;
  game.difficulty = e.difficulty;
  StartNewGame(app);

  EXPECT_EQ(game.feedFromTop, e.feedFromTop);
  EXPECT_EQ(game.sideSupplyOn, e.sideSupplyOn);
  EXPECT_EQ(game.instantRemove, e.instantRemove);
  EXPECT_EQ(game.maxColour, e.maxColour);
  EXPECT_EQ(game.minGroup, e.minGroup);
  EXPECT_EQ(game.bombLevel, e.bombLevel);
  EXPECT_EQ(game.rocksOn, e.rocksOn);
  EXPECT_EQ(game.score, 0);
  EXPECT_EQ(game.gameOverState, 0);
  EXPECT_EQ(ui.screen, GameScreen);

  EXPECT_TRUE(game.world.removedStones.empty());
  EXPECT_TRUE(game.world.counters.empty());
  EXPECT_TRUE(game.world.explosions.empty());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(game.world.board.groupMarked, 0);

  const bool level = e.gameMode == Level;
  EXPECT_EQ(FilledCells(), level ? 170 : 323);
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      const stone* s = game.world.board(c, r).get();
      if (level && r < 9) {
        EXPECT_EQ(s, nullptr) << c << "," << r;
        continue;
      }
      ASSERT_NE(s, nullptr) << c << "," << r;
      EXPECT_EQ(s->x, 200.0f);
      EXPECT_EQ(s->y, 250.0f);
      EXPECT_EQ(s->mode, Appearing);
      EXPECT_EQ(s->bombe, 0);
      // The settings are in place before the board is filled.
      if (s->col == 4) {
        EXPECT_EQ(e.rocksOn, 1);
      } else {
        EXPECT_LE(s->col, e.maxColour);
      }
    }
  }

  switch (e.gameMode) {
    case Classic:
      EXPECT_EQ(game.sideSupply, std::vector<int>({20, 10, 0})[e.difficulty]);
      EXPECT_EQ(game.deadline, 42);
      EXPECT_EQ(game.level, 5);
      break;
    case Turbo:
      EXPECT_EQ(game.sideSupply, 7);
      EXPECT_EQ(game.deadline, kStart + 121000);
      EXPECT_EQ(game.level, 5);
      EXPECT_EQ(game.rowsToNextLevel, 3);
      break;
    default:
      EXPECT_EQ(game.sideSupply, 7);
      EXPECT_EQ(game.deadline, kStart + 2100);
      EXPECT_EQ(game.level, 1);
      EXPECT_EQ(game.rowsToNextLevel, 10);
  }
}

std::string ModeAndDifficulty(const ::testing::TestParamInfo<Expected>& info) {
  const char* modes[] = {"Classic", "Turbo", "Level"};
  return std::string(modes[info.param.gameMode]) + std::to_string(info.param.difficulty);
}

INSTANTIATE_TEST_SUITE_P(EveryModeAndDifficulty, StartGameTest, ::testing::ValuesIn(kTable),
                         ModeAndDifficulty);

TEST_F(GameTest, BeforeTheFirstGameTheSettingsHoldTheirStartValues) {
  EXPECT_EQ(std::tie(game.feedFromTop, game.sideSupplyOn, game.instantRemove, game.maxColour,
                     game.minGroup, game.bombLevel, game.rocksOn),
            std::make_tuple(0, 0, 0, 3, 3, 0, 0));
  EXPECT_EQ(game.gameMode, Classic);
  EXPECT_EQ(game.difficulty, 0);
}

TEST_F(GameTest, TurboSchwerStartsWithRocksAndFourColoursAndOtherGamesWithout) {
  // 323 stones: with one rock in 50 a board without any is very unlikely.
  game.gameMode = Turbo;
  game.difficulty = 2;
  StartNewGame(app);
  std::set<int> colours;
  for (const auto& cell : game.world.board.cells) colours.insert(cell->col);
  EXPECT_EQ(colours, (std::set<int>{0, 1, 2, 3, 4}));

  game.gameMode = Classic;
  game.difficulty = 0;
  StartNewGame(app);
  colours.clear();
  for (const auto& cell : game.world.board.cells) colours.insert(cell->col);
  EXPECT_EQ(colours, (std::set<int>{0, 1, 2}));
}

}  // namespace quarzello::gameplay_test
