// The game's clocks on a machine that has been up for weeks and in games that
// run (or stay paused) for weeks: nothing may wrap where a 32-bit millisecond
// count turns negative.
#include "tests/gameplay/game_fixture.h"

namespace quarzello::gameplay_test {

namespace {

constexpr int64_t kWrap = int64_t{1} << 31;  // 24.8 days in milliseconds

class LongUptimeTest : public GameTest {
 protected:
  void Start(uint8_t mode) {
    game.gameMode = mode;
    game.difficulty = 0;
    StartNewGame(app);
  }
  const DisplayList& Frame() {
    UpdateGameScreen(ui, game);
    return rec.LastFrame();
  }
};

}  // namespace

TEST_F(LongUptimeTest, BombsBurnAndTheGlowPulsesAcrossTheWrap) {
  PutStone(2, 2, 1).bombe = 1;  // drawn first: rows go top to bottom
  stone& marked = PutStone(5, 5, 3, Marked);
  marked.ms = kWrap - 900;
  std::vector<int> fuses;
  for (int64_t now = kWrap - 480; now < kWrap + 480; now += 20) {
    Clock(now);
    const auto drawn = ImagesOf(BoardFrame(), &stones);
    ASSERT_EQ(drawn.size(), 3u) << now;
    fuses.push_back(drawn[0].frame - 26);
    if (now == kWrap) {
      EXPECT_FLOAT_EQ(drawn[2].alpha, 0.3f) << "brightest 900 ms after marking";
    }
  }
  // One fuse frame after the other, 2 to 25 and round again, without a jump.
  for (size_t i = 1; i < fuses.size(); ++i) {
    EXPECT_GE(fuses[i], 2);
    EXPECT_LE(fuses[i], 25);
    EXPECT_EQ(fuses[i], fuses[i - 1] == 25 ? 2 : fuses[i - 1] + 1) << i;
  }
}

TEST_F(LongUptimeTest, TurboStartedJustBeforeTheWrapRunsItsFullTime) {
  Clock(kWrap - 1000);
  Start(Turbo);
  Clock(kWrap + 1000);
  EXPECT_NE(FindTextCommand(Frame(), "1:59"), nullptr);
  EXPECT_EQ(game.gameOverState, 0);
  Clock(kWrap - 1000 + 121000);
  Frame();
  EXPECT_EQ(game.gameOverState, 0);
  Clock(kWrap - 1000 + 121001);
  Frame();
  EXPECT_EQ(game.gameOverState, 1);
}

TEST_F(LongUptimeTest, LevelRowsKeepComingAcrossTheWrap) {
  Clock(kWrap - 1000);
  Start(Level);
  Clock(kWrap + 1100);
  Frame();
  EXPECT_EQ(game.rowsToNextLevel, 10);
  Clock(kWrap + 1101);
  Frame();
  EXPECT_EQ(game.rowsToNextLevel, 9);
  Clock(game.deadline + 1);
  Frame();
  EXPECT_EQ(game.rowsToNextLevel, 8);
}

TEST_F(LongUptimeTest, AGamePausedLongerThanTheWrapGoesOnWhereItStopped) {
  Start(Turbo);
  Clock(kStart + 51000);
  EXPECT_NE(FindTextCommand(Frame(), "1:10"), nullptr);
  // The pause as the event loop keeps it: the clock runs, no frame is drawn.
  game.pauseStart = NowMillis();
  Clock(NowMillis() + kWrap + 5000);
  game.deadline += NowMillis() - game.pauseStart;
  EXPECT_NE(FindTextCommand(Frame(), "1:10"), nullptr);
  EXPECT_EQ(game.gameOverState, 0);
  Clock(NowMillis() + 70001);
  Frame();
  EXPECT_EQ(game.gameOverState, 1);

  Start(Level);
  const int64_t firstRow = game.deadline;
  Clock(NowMillis() + kWrap);
  Frame();
  EXPECT_EQ(game.rowsToNextLevel, 9) << "a row is due after so long";
  EXPECT_GT(game.deadline, firstRow + kWrap);
}

}  // namespace quarzello::gameplay_test
