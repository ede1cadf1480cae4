// A recording played forward record by record shows the live game's own
// steps, and a game rebuilt from the recording of an interrupted one goes on
// as that same game.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "gameplay/game.h"
#include "gameplay/recording.h"
#include "gameplay/replay.h"
#include "tests/gameplay/scripted_play.h"

namespace quarzello::gameplay_test {

namespace {

// One frame of a scripted player at time now: a move every 20 frames.
void ScriptedFrame(Game& game, int64_t now, int64_t frame) {
  BeginFrame(game, now);
  EndFrame(game);
  int c = 0, r = 0;
  if (frame % 20 == 19 && ChooseCell(game.world.board, game.minGroup, c, r)) {
    ClickBoardCell(game, c, r, now + 5);
    if (game.instantRemove == 0) ClickBoardCell(game, c, r, now + 9);
  }
}

struct Watched {
  std::vector<GameNews> news;
  int64_t frames = 0;
  int score = 0;
  std::string recording;
};

Watched WatchStepByStep(const std::string& bytes) {
  Watched watched;
  Playback playback(bytes);
  EXPECT_TRUE(playback.ok()) << playback.error();
  while (const auto step = playback.Next()) {
    Game& game = playback.game();
    if (step->tag == RecordTag::Frame) {
      BeginFrame(game, step->at);
      EndFrame(game);
      ++watched.frames;
    }
    watched.news.insert(watched.news.end(), game.outbox.begin(), game.outbox.end());
    game.outbox.clear();
  }
  EXPECT_TRUE(playback.ok()) << playback.error();
  EXPECT_TRUE(playback.done());
  watched.score = playback.game().score;
  watched.recording = EncodeRecording(playback.game().recording);
  return watched;
}

}  // namespace

TEST(Playback, StepByStepItShowsWhatTheLiveGameDidAndRecordsItAgain) {
  for (const uint8_t mode : {Classic, Turbo, Level}) {
    const Played played = Play(mode, Mittel, 40 + mode, 25);
    const Watched watched = WatchStepByStep(played.recording);
    EXPECT_EQ(watched.news, played.news) << int{mode};
    EXPECT_EQ(watched.frames, played.frames) << int{mode};
    EXPECT_EQ(watched.score, played.score) << int{mode};
    EXPECT_EQ(watched.recording, played.recording) << "the watched game is recorded as it was played";
  }
}

TEST(Playback, AGameRebuiltFromItsRecordingGoesOnAsTheSameGame) {
  // Two Classic games with the same moves: one played through with a pause
  // of a minute at frame 600, the other interrupted there, rebuilt from its
  // recording and played on, its own clock taken up where it stopped.
  auto playThrough = [](Game& game, int64_t& now, int64_t from, int64_t until) {
    for (int64_t frame = from; frame < until && game.gameOverState == Running; ++frame) {
      now += 16 + frame % 3 / 2;
      ScriptedFrame(game, now, frame);
      game.outbox.clear();
    }
  };
  constexpr int64_t kBreakFrame = 600, kLastFrame = 200000, kBreakMillis = 60'000;

  // Both games are dealt alike and played alike up to the pause.
  auto upToThePause = [&](Random& random, Game& game) {
    random.Seed(77);
    game.gameMode = Classic;
    game.difficulty = Leicht;
    int64_t now = 0;
    StartGame(game, random, now);
    playThrough(game, now, 0, kBreakFrame);
    PauseGame(game, now + 12);
    return now;
  };
  Random random;
  Game through;
  const int64_t pausedAt = upToThePause(random, through);
  int64_t now = pausedAt + kBreakMillis;
  ResumeGame(through, now);
  playThrough(through, now, kBreakFrame, kLastFrame);
  ASSERT_NE(through.gameOverState, Running);

  Random first;
  Game interrupted;
  ASSERT_EQ(upToThePause(first, interrupted), pausedAt);
  const std::string saved = EncodeRecording(interrupted.recording);

  Playback playback(saved);
  ASSERT_TRUE(playback.PlayToEnd()) << playback.error();
  // The rebuilt game moves into the window's place with its generator.
  Random generator = playback.random();
  Game resumed = std::move(playback.game());
  resumed.random = &generator;
  EXPECT_TRUE(resumed.paused);
  EXPECT_EQ(resumed.score, interrupted.score);
  EXPECT_EQ(BoardHash(resumed.world.board), BoardHash(interrupted.world.board));
  int64_t later = pausedAt + kBreakMillis;
  ResumeGame(resumed, later);
  playThrough(resumed, later, kBreakFrame, kLastFrame);

  EXPECT_EQ(resumed.score, through.score);
  EXPECT_EQ(EncodeRecording(resumed.recording), EncodeRecording(through.recording));
  const ReplayResult replay = ReplayGame(EncodeRecording(resumed.recording));
  ASSERT_TRUE(replay.ok()) << replay.error;
  EXPECT_TRUE(replay.reachedEnd);
  EXPECT_EQ(replay.score, through.score);
  EXPECT_EQ(replay.playMillis, ReplayGame(EncodeRecording(through.recording)).playMillis);
}

TEST(Playback, AGameRebuiltAtAnotherStartTimeLivesOnThatClockAndRecordsTheSameBytes) {
  constexpr int64_t kStartAt = 86'400'000;
  for (const uint8_t mode : {Classic, Turbo, Level}) {
    const Played played = Play(mode, Leicht, 60 + mode, 25);
    Playback atZero(played.recording);
    Playback later(played.recording, {}, kStartAt);
    while (const auto step = atZero.Next()) {
      const auto moved = later.Next();
      ASSERT_TRUE(moved) << later.error();
      EXPECT_EQ(moved->at, step->at + kStartAt);
      if (step->tag != RecordTag::Frame) continue;
      BeginFrame(atZero.game(), step->at);
      EndFrame(atZero.game());
      BeginFrame(later.game(), moved->at);
      EndFrame(later.game());
      if (mode != Classic) {
        ASSERT_EQ(later.game().deadline, atZero.game().deadline + kStartAt) << int{mode};
      }
    }
    ASSERT_TRUE(later.done());
    EXPECT_EQ(later.lastRecordTime(), atZero.lastRecordTime());
    EXPECT_EQ(later.game().score, played.score);
    EXPECT_EQ(EncodeRecording(later.game().recording), played.recording) << int{mode};
  }
}

TEST(Playback, AFaultyRecordingStopsAtItsFirstBadRecordAndSaysWhy) {
  Playback foreign("not a recording at all");
  EXPECT_FALSE(foreign.ok());
  EXPECT_FALSE(foreign.Next());

  const Played played = Play(Turbo, Leicht, 9, 30);
  const std::string cut = played.recording.substr(0, played.recording.size() - 3);
  Playback damaged(cut);
  EXPECT_FALSE(damaged.PlayToEnd());
  EXPECT_FALSE(damaged.error().empty());
}

}  // namespace quarzello::gameplay_test
