// Time is up for the rules, not only for the frames: a click at or after
// Turbo's deadline, or once the row is due that ends a Level game, changes
// nothing and ends the game at that moment, played live and replayed alike;
// and a click handled long after its frame (the loop was held up) finds the
// game one frame on.
#include <gtest/gtest.h>

#include "gameplay/game.h"
#include "gameplay/recording.h"
#include "gameplay/replay.h"
#include "tests/gameplay/scripted_play.h"

namespace quarzello::gameplay_test {

namespace {

// The replay of what was recorded so far agrees with the game.
void ExpectReplayAgrees(const Game& game) {
  const ReplayResult replay = ReplayGame(EncodeRecording(game.recording));
  ASSERT_TRUE(replay.ok()) << replay.error;
  EXPECT_EQ(replay.score, game.score);
  EXPECT_EQ(replay.reachedEnd, game.gameOverState != Running);
  EXPECT_EQ(replay.boardHash, BoardHash(game.world.board));
  EXPECT_EQ(replay.frames, game.recording.frames);
}

}  // namespace

TEST(LateClick, TurboCountsAClickJustBeforeItsDeadlineAndNoneAtOrAfterIt) {
  const int64_t deadline = kStartMillis + 121000;
  {
    Started turbo(Turbo);
    turbo.FramesUntil(deadline - 10);
    ClickBoardCell(turbo.game, 8, 18, deadline - 1);
    EXPECT_GT(turbo.game.score, 0);
    EXPECT_EQ(turbo.game.gameOverState, Running);
    ExpectReplayAgrees(turbo.game);
  }
  for (int64_t late : {deadline, deadline + 1, deadline + 200}) {
    Started turbo(Turbo);
    turbo.FramesUntil(deadline - 10);
    ASSERT_EQ(turbo.game.gameOverState, Running);
    ClickBoardCell(turbo.game, 8, 18, late);
    EXPECT_EQ(turbo.game.score, 0) << late;
    // The game ends at the click, not at the next frame: the board flies apart.
    EXPECT_EQ(turbo.game.gameOverState, GameOver) << late;
    EXPECT_EQ(turbo.game.world.board(8, 18), nullptr) << late;
    EXPECT_EQ(turbo.game.outbox.back(), (GameNews{GameNews::Ended, 0}));
    ExpectReplayAgrees(turbo.game);
    // What comes after the end is not recorded.
    const std::string ended = EncodeRecording(turbo.game.recording);
    BeginFrame(turbo.game, late + 16);
    EndFrame(turbo.game);
    ClickBoardCell(turbo.game, 8, 17, late + 20);
    PauseGame(turbo.game, late + 30);
    EXPECT_EQ(EncodeRecording(turbo.game.recording), ended);
  }
}

TEST(LateClick, AClickQueuedWhileTheLoopWasHeldFindsTheGameAFrameOn) {
  const int64_t deadline = kStartMillis + 121000;
  // Held across Turbo's deadline: the frame it missed ends the game first.
  Started turbo(Turbo);
  turbo.FramesUntil(deadline - 10);
  const int64_t frames = turbo.game.recording.frames;
  ClickBoardCell(turbo.game, 8, 18, deadline + 3000);
  EXPECT_EQ(turbo.game.score, 0);
  EXPECT_EQ(turbo.game.gameOverState, GameOver);
  EXPECT_EQ(turbo.game.recording.frames, frames + 1);
  ExpectReplayAgrees(turbo.game);

  // Held while time was left: the click counts, one frame later.
  Started early(Turbo);
  early.FramesUntil(kStartMillis + 5000);
  ClickBoardCell(early.game, 8, 18, kStartMillis + 9000);
  EXPECT_GT(early.game.score, 0);
  const ReplayResult replay = ReplayGame(EncodeRecording(early.game.recording));
  ASSERT_TRUE(replay.ok()) << replay.error;
  EXPECT_EQ(replay.score, early.game.score);
  EXPECT_EQ(replay.inputs.longestClickLag, 0);
  EXPECT_GE(replay.inputs.longestFrameStep, 4000);
}

TEST(LateClick, LevelTakesNoClickOnceTheRowThatEndsItIsDue) {
  // Two games alike: no clicks, the rows climb until a stone stands in the
  // top row, and the frames go on to just before the next row is due.
  Started onTime(Level), level(Level);
  for (Started* game : {&onTime, &level}) {
    for (int i = 0; i < 100000 && !game->RowZeroHoldsAStone(); ++i) game->FramesUntil(game->game.now + 16);
    ASSERT_TRUE(game->RowZeroHoldsAStone());
    game->FramesUntil(game->game.deadline - 4);
    ASSERT_EQ(game->game.gameOverState, Running);
  }
  const int64_t due = level.game.deadline;
  ASSERT_EQ(onTime.game.deadline, due);

  // At the deadline itself the row is not yet due: a pair is taken.
  int c = 0, r = 0;
  ASSERT_TRUE(ChooseCell(onTime.game.world.board, onTime.game.minGroup, c, r));
  ClickBoardCell(onTime.game, c, r, due);
  EXPECT_GT(onTime.game.score, level.game.score);
  EXPECT_EQ(onTime.game.gameOverState, Running);

  // A moment later the row has come and the game is over: the same click
  // takes nothing, and the row is pushed in as the frame would have.
  const int score = level.game.score;
  ClickBoardCell(level.game, c, r, due + 1);
  EXPECT_EQ(level.game.score, score);
  EXPECT_EQ(level.game.gameOverState, GameOver);
  EXPECT_EQ(level.game.deadline, due + 1 + RowInterval(level.game.level));
  ExpectReplayAgrees(level.game);

  // After the end no click counts or is recorded.
  const std::string ended = EncodeRecording(level.game.recording);
  ClickBoardCell(level.game, c, r + 1, due + 20);
  EXPECT_EQ(level.game.score, score);
  EXPECT_EQ(EncodeRecording(level.game.recording), ended);
}

}  // namespace quarzello::gameplay_test
