// The game core with no window: whole games played by a script through the
// Game's own inputs, their recordings played again, and what a replay makes
// of recordings that are damaged, forged or far too large.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <thread>
#include <vector>

#include "gameplay/game.h"
#include "gameplay/recording.h"
#include "gameplay/replay.h"
#include "tests/gameplay/scripted_play.h"

namespace quarzello::gameplay_test {

namespace {

void ExpectReplaysTo(const Played& played, uint8_t mode) {
  ASSERT_FALSE(played.recording.empty());
  const ReplayResult replay = ReplayGame(played.recording);
  ASSERT_TRUE(replay.ok()) << replay.error;
  EXPECT_EQ(replay.score, played.score);
  EXPECT_EQ(replay.boardHash, played.boardHash);
  EXPECT_EQ(replay.frames, played.frames);
  EXPECT_EQ(replay.mode, mode);
  EXPECT_TRUE(replay.reachedEnd);
}

std::string Packed(const std::string& body) {
  GameRecording recording;
  recording.started = true;
  recording.body = body;
  return EncodeRecording(recording);
}

// A recording built record by record, as a forger would, past every check
// of the recorder.
struct Forged {
  std::string body;
  explicit Forged(uint8_t mode = Level, uint8_t difficulty = Leicht) {
    AppendVarint(body, kRulesVersion);
    body.push_back(static_cast<char>(mode));
    body.push_back(static_cast<char>(difficulty));
    AppendVarint(body, 4711);
  }
  Forged& Frames(int count, uint64_t step = 16) {
    for (int i = 0; i < count; ++i) {
      body.push_back(static_cast<char>(RecordTag::Frame));
      AppendVarint(body, step);
    }
    return *this;
  }
  Forged& Click(uint64_t step, int c = 3, int r = 12) {
    body.push_back(static_cast<char>(RecordTag::Click));
    AppendVarint(body, step);
    body.push_back(static_cast<char>(c));
    body.push_back(static_cast<char>(r));
    return *this;
  }
  Forged& Event(RecordTag tag, uint64_t step) {
    body.push_back(static_cast<char>(tag));
    AppendVarint(body, step);
    return *this;
  }
  Forged& Raw(const std::string& bytes) {
    body += bytes;
    return *this;
  }
  std::string Bytes() const { return Packed(body); }
};

}  // namespace

TEST(Replay, EveryModePlayedHeadlessReplaysToItsScoreAndBoard) {
  const Played classic = Play(Classic, Mittel, 5, 20);
  const Played turbo = Play(Turbo, Leicht, 6, 30);
  const Played level = Play(Level, Leicht, 7, 25);
  for (const Played* played : {&classic, &turbo, &level}) EXPECT_GT(played->score, 0);
  ExpectReplaysTo(classic, Classic);
  ExpectReplaysTo(turbo, Turbo);
  ExpectReplaysTo(level, Level);
  // The Turbo clock came to its end, the five paused seconds left out, and
  // the recording ended there.
  EXPECT_EQ(ReplayGame(turbo.recording).playMillis / 1000, 121);
  EXPECT_EQ(ReplayGame(turbo.recording).pauseMillis, 5000 - 3);
}

TEST(Replay, TheGameReportsItsLevelsAndItsEndInItsOutbox) {
  const Played level = Play(Level, Leicht, 7, 25);
  ASSERT_FALSE(level.news.empty());
  EXPECT_EQ(level.news.back(), (GameNews{GameNews::Ended, 0}));
  int risen = 1;
  for (const GameNews& news : level.news) {
    if (news.kind == GameNews::LevelRose) {
      EXPECT_EQ(news.value, ++risen);
    }
  }
  EXPECT_GE(risen, 2);
}

TEST(Replay, TwoGamesInTwoThreadsPlayAsOneAfterTheOther) {
  const Played alone[2] = {Play(Level, Leicht, 21, 20), Play(Classic, Schwer, 22, 10)};
  Played together[2];
  ReplayResult replays[2];
  std::thread first([&] {
    together[0] = Play(Level, Leicht, 21, 20);
    replays[0] = ReplayGame(alone[1].recording);
  });
  std::thread second([&] {
    together[1] = Play(Classic, Schwer, 22, 10);
    replays[1] = ReplayGame(alone[0].recording);
  });
  first.join();
  second.join();
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(together[i].recording, alone[i].recording);
    EXPECT_EQ(together[i].score, alone[i].score);
    EXPECT_EQ(replays[1 - i].score, alone[i].score);
    EXPECT_EQ(replays[1 - i].boardHash, alone[i].boardHash);
  }
}

TEST(Replay, AGameGivenUpOrStillRunningHasNotReachedItsEnd) {
  Random random;
  random.Seed(3);
  Game game;
  game.gameMode = Turbo;
  StartGame(game, random, 0);
  for (int i = 1; i <= 100; ++i) BeginFrame(game, 16 * i), EndFrame(game);
  ReplayResult running = ReplayGame(EncodeRecording(game.recording));
  ASSERT_TRUE(running.ok()) << running.error;
  EXPECT_FALSE(running.reachedEnd);
  EXPECT_EQ(running.frames, 100);

  AbortGame(game, 1601);
  for (int i = 101; i <= 8000; ++i) BeginFrame(game, 16 * i), EndFrame(game);
  ReplayResult abandoned = ReplayGame(EncodeRecording(game.recording));
  ASSERT_TRUE(abandoned.ok()) << abandoned.error;
  EXPECT_FALSE(abandoned.reachedEnd);
}

TEST(Replay, PauseMovesTheDeadlineAndTheBoardTakesNoClickMeanwhile) {
  Random random;
  random.Seed(8);
  Game game;
  game.gameMode = Turbo;
  StartGame(game, random, 1000);
  EXPECT_EQ(game.deadline, 1000 + 121000);
  PauseGame(game, 2000);
  int c = 0, r = 0;
  ASSERT_TRUE(ChooseCell(game.world.board, game.minGroup, c, r));
  ClickBoardCell(game, c, r, 2500);
  EXPECT_EQ(game.score, 0);
  ResumeGame(game, 9000);
  EXPECT_EQ(game.deadline, 1000 + 121000 + 7000);
  ClickBoardCell(game, c, r, 9001);
  EXPECT_GT(game.score, 0);
}

TEST(Replay, DamagedOrForeignBytesGetAClearError) {
  const Played played = Play(Classic, Leicht, 9, 15, 2000);
  const std::string& good = played.recording;
  ASSERT_TRUE(ReplayGame(good).ok());

  EXPECT_FALSE(ReplayGame("").ok());
  EXPECT_FALSE(ReplayGame("highscore.tvs").ok());
  std::string otherFormat = good;
  otherFormat[4] = 9;
  EXPECT_EQ(ReplayGame(otherFormat).error, "recording format not known");
  // Cut anywhere, the packed stream is missing its end.
  for (size_t length = 0; length < good.size(); length += 1 + length / 16) {
    EXPECT_FALSE(ReplayGame(good.substr(0, length)).ok()) << length;
  }
  EXPECT_EQ(ReplayGame(good + "padding").error, "bytes after the end of the recording");
  std::string flipped = good;
  flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x20);
  EXPECT_FALSE(ReplayGame(flipped).ok());
}

TEST(Replay, ForgedRecordsAreRefused) {
  EXPECT_TRUE(ReplayGame(Forged().Frames(10).Bytes()).ok());
  EXPECT_EQ(ReplayGame(Forged().Frames(2).Raw("\x09\x01").Bytes()).error, "unknown record 9");
  EXPECT_EQ(ReplayGame(Forged().Frames(2).Raw(std::string("\x01\x00\x11\x05", 4)).Bytes()).error,
            "a click beside the board");
  EXPECT_EQ(ReplayGame(Forged().Frames(2).Raw(std::string("\x02\x00\x00\x05", 4)).Bytes()).error,
            "a frame while the game is paused");
  EXPECT_EQ(ReplayGame(Forged().Frames(2).Raw("\x01\x05\x03").Bytes()).error, "recording cut short in a click");
  // A pause of ten seconds, then a frame before it ended: time cannot run back.
  EXPECT_EQ(ReplayGame(Forged().Frames(2).Raw(std::string("\x02\x01\x03\xd0\x4e", 5)).Frames(1).Bytes()).error,
            "a record earlier than the one before it");
  std::string longStep(1, static_cast<char>(RecordTag::Frame));
  AppendVarint(longStep, 1ULL << 41);
  EXPECT_EQ(ReplayGame(Forged().Raw(longStep).Bytes()).error, "a step of the clock too long");

  // Recordings of older rules, whose late clicks still counted, and of
  // newer ones are refused, and say so.
  for (int rules : {1, kRulesVersion + 1}) {
    std::string otherRules;
    AppendVarint(otherRules, rules);
    otherRules += std::string("\x02\x00\x05", 3);
    EXPECT_EQ(ReplayGame(Packed(otherRules)).error, "recording made under rules version " + std::to_string(rules) +
                                                        "; this replay plays version 2 only");
  }
  EXPECT_EQ(ReplayGame(Packed(std::string("\x02\x03\x00\x05", 4))).error, "no such mode or difficulty");
  EXPECT_EQ(ReplayGame(Packed(std::string("\x02\x02\x00\x00", 4))).error, "no such generator state");
}

TEST(Replay, RecordingsBeyondTheLimitsAreRefusedQuickly) {
  ReplayLimits limits;
  limits.maxFrames = 1000;
  EXPECT_TRUE(ReplayGame(Forged().Frames(1000).Bytes(), limits).ok());
  EXPECT_EQ(ReplayGame(Forged().Frames(1001).Bytes(), limits).error, "recording has too many frames");

  // Ten hours of frames, one an hour apart or sixty a second.
  EXPECT_EQ(ReplayGame(Forged().Frames(10, 3'600'000).Bytes()).error, "recording longer than a game may last");

  // A compression bomb: some 60 kilobytes that unpack to 64 megabytes.
  std::string zeros(1 << 20, '\0');
  z_stream z{};
  ASSERT_EQ(deflateInit(&z, 9), Z_OK);
  std::string bomb(kRecordingMagic);
  bomb.push_back(static_cast<char>(kRecordingFormat));
  char out[1 << 16];
  for (int block = 0; block < 64; ++block) {
    z.next_in = reinterpret_cast<Bytef*>(zeros.data());
    z.avail_in = static_cast<uInt>(zeros.size());
    do {
      z.next_out = reinterpret_cast<Bytef*>(out);
      z.avail_out = sizeof out;
      deflate(&z, block == 63 ? Z_FINISH : Z_NO_FLUSH);
      bomb.append(out, sizeof out - z.avail_out);
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  EXPECT_LT(bomb.size(), 100u << 10);
  EXPECT_EQ(ReplayGame(bomb).error, "recording unpacks to more than " + std::to_string(kMaxRecordingBody + 64) + " bytes");
}

TEST(Recording, StopsAtItsCapOrWhenTheClockRunsBackAndThenWritesNothing) {
  GameRecording capped;
  BeginRecording(capped, Classic, Leicht, 5, 0);
  RecordFrame(capped, kMaxRecordedMillis);
  EXPECT_FALSE(EncodeRecording(capped).empty());
  RecordFrame(capped, kMaxRecordedMillis + 1);
  EXPECT_FALSE(capped.complete);
  EXPECT_TRUE(EncodeRecording(capped).empty());

  GameRecording backwards;
  BeginRecording(backwards, Classic, Leicht, 5, 1000);
  RecordFrame(backwards, 1016);
  RecordEvent(backwards, RecordTag::Click, 1010, 3, 4);
  EXPECT_TRUE(EncodeRecording(backwards).empty());
}

TEST(Replay, RecordingsNoPlayerWithAMouseMakesAreRefusedWithTheirReason) {
  // Up to each bound a recording plays; one past it is refused.
  Forged inFrame;
  inFrame.Frames(5);
  for (int i = 0; i < kMostClicksInFrame; ++i) inFrame.Click(1);
  EXPECT_TRUE(ReplayGame(inFrame.Bytes()).ok()) << ReplayGame(inFrame.Bytes()).error;
  EXPECT_EQ(ReplayGame(inFrame.Click(1).Bytes()).error, "more than 12 clicks in one frame");

  // 25 clicks a second is the most, one in each frame of 40 ms or 39 ms.
  for (int step : {40, 39}) {
    Forged steady;
    for (int i = 0; i <= kMostClicksInSecond; ++i) steady.Frames(1, step).Click(0);
    const ReplayResult replay = ReplayGame(steady.Bytes());
    if (step == 40) {
      ASSERT_TRUE(replay.ok()) << replay.error;
      EXPECT_EQ(replay.inputs.mostClicksInSecond, kMostClicksInSecond);
    } else {
      EXPECT_EQ(replay.error, "more than 25 clicks in one second");
    }
  }

  // A click later after its frame than the loop lets one be, also counted
  // from a resume; the pause itself may come at any time.
  EXPECT_TRUE(ReplayGame(Forged().Frames(3).Click(kLongestClickLag).Bytes()).ok());
  EXPECT_EQ(ReplayGame(Forged().Frames(3).Click(kLongestClickLag + 1).Bytes()).error,
            "a click more than 500 ms after its frame");
  EXPECT_TRUE(
      ReplayGame(Forged().Frames(3).Event(RecordTag::Pause, 5000).Event(RecordTag::Resume, 9000).Click(9200).Bytes())
          .ok());

  // Inputs that change nothing, no game records.
  EXPECT_EQ(ReplayGame(Forged().Frames(3).Event(RecordTag::Pause, 5).Click(6).Bytes()).error,
            "a click while the game is paused");
  EXPECT_EQ(ReplayGame(Forged().Frames(3).Event(RecordTag::Pause, 5).Event(RecordTag::Pause, 6).Bytes()).error,
            "a pause while the game is paused");
  EXPECT_EQ(ReplayGame(Forged().Frames(3).Event(RecordTag::Resume, 5).Bytes()).error, "a resume while the game runs");
  EXPECT_EQ(ReplayGame(Forged().Frames(3).Event(RecordTag::Continue, 5).Bytes()).error,
            "\"Weiter\" before the game's end");

  // Records after the end: Turbo's last frame, then a frame, a click or
  // "Weiter"; and anything after the game was given up.
  Forged turbo(Turbo);
  turbo.Frames(1, 121001);
  const ReplayResult ended = ReplayGame(turbo.Bytes());
  ASSERT_TRUE(ended.ok()) << ended.error;
  EXPECT_TRUE(ended.reachedEnd);
  for (const std::string& after : {std::string("\x10", 1), std::string("\x01\x00\x03\x05", 4),
                                   std::string("\x04\x00", 2)}) {
    EXPECT_EQ(ReplayGame(Forged(turbo).Raw(after).Bytes()).error, "a record after the game's end");
  }
  EXPECT_EQ(ReplayGame(Forged().Frames(3).Event(RecordTag::Abort, 5).Frames(1).Bytes()).error,
            "a record after the game's end");
}

TEST(Recording, WritesNoMoreThanAReplayTakes) {
  Started turbo(Turbo, 31, 0);
  Game& game = turbo.game;
  int64_t now = 0;
  auto frame = [&](int64_t step) {
    now += step;
    BeginFrame(game, now);
    EndFrame(game);
  };
  frame(5000);
  // A burst between two frames: only as many as a frame may hold count.
  for (int i = 0; i < 20; ++i) ClickBoardCell(game, i % kColumns, 18, now + 1);
  // A click in every frame of 20 ms for two seconds: 25 a second count.
  for (int i = 0; i < 100; ++i) frame(20), ClickBoardCell(game, 8, 18, now + 1);
  // The loop held up for three seconds, then a click.
  ClickBoardCell(game, 8, 18, now + 3000);
  frame(3016);
  // To the end, then "Weiter" and the frames while the board clears.
  while (game.gameOverState == Running) frame(1000);
  const int64_t over = now;
  PressContinue(game, now + 5);
  for (int i = 0; i < 60; ++i) frame(16);

  const ReplayResult replay = ReplayGame(EncodeRecording(game.recording));
  ASSERT_TRUE(replay.ok()) << replay.error;
  EXPECT_EQ(replay.score, game.score);
  EXPECT_TRUE(replay.reachedEnd);
  EXPECT_EQ(replay.inputs.mostClicksInFrame, kMostClicksInFrame);
  EXPECT_EQ(replay.inputs.mostClicksInSecond, kMostClicksInSecond);
  EXPECT_LE(replay.inputs.longestClickLag, kLongestClickLag);
  EXPECT_EQ(replay.playMillis, over);
  EXPECT_EQ(replay.frames, game.recording.frames);
}

// Steps of 239 ms still fit the one-byte frame; 240 ms and more take the
// long form. A recorder that wrote 240 as one byte would write tag 0 and
// lose the step.
TEST(Recording, FrameStepsEitherSideOfTheOneByteFormPlayBackAsRecorded) {
  GameRecording recording;
  BeginRecording(recording, Level, Leicht, 4711, 0);
  const size_t start = recording.body.size();
  RecordFrame(recording, 239);
  EXPECT_EQ(recording.body.size(), start + 1);
  RecordFrame(recording, 239 + 240);
  RecordFrame(recording, 239 + 240 + 241);
  EXPECT_EQ(recording.body.size(), start + 1 + 3 + 3);
  for (int i = 0; i < 3; ++i) RecordFrame(recording, 720 + 16 * (i + 1));
  const ReplayResult replay = ReplayGame(EncodeRecording(recording));
  ASSERT_TRUE(replay.ok()) << replay.error;
  EXPECT_EQ(replay.frames, 6);
  EXPECT_EQ(replay.playMillis, 720 + 48);
  EXPECT_EQ(replay.inputs.longestFrameStep, 241);
}

}  // namespace quarzello::gameplay_test
