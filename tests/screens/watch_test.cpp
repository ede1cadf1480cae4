// The watch screen: a recording played on the game screen at its own pace,
// its controls and keys, and the recordings it refuses.
#include <string>

#include "app/app.h"
#include "gameplay/recording.h"
#include "gameplay/replay.h"
#include "gameplay/texts.h"
#include "screens/watch.h"
#include "tests/app/fixed_window.h"
#include "tests/gameplay/game_fixture.h"
#include "tests/gameplay/scripted_play.h"

namespace quarzello::gameplay_test {

namespace {

class WatchTest : public GameTest {
 protected:
  // A tick of the loop: the clock moves on by a frame and the screen is painted.
  void Tick(int count = 1) {
    for (int i = 0; i < count; ++i) {
      now_ += 16;
      SetTestClock(now_);
      HandleEvent(app, {GadgetPaint}, window_);
    }
  }
  void Feed(int kind, int value, int x = 0, int y = 0) { HandleEvent(app, {kind, value, x, y}, window_); }
  bool Shows(const std::string& text) const { return FindTextCommand(rec.LastFrame(), text) != nullptr; }

  int64_t now_ = kStart;
  test::FixedWindow window_;
};

std::string WithRulesVersion(uint8_t version) {
  GameRecording recording;
  BeginRecording(recording, Classic, Leicht, 4242, 0);
  RecordFrame(recording, 16);
  recording.body[0] = static_cast<char>(version);
  return EncodeRecording(recording);
}

// Thirteen clicks within one frame: more than a mouse gives.
std::string WithClicksNoPlayerMakes() {
  GameRecording recording;
  BeginRecording(recording, Turbo, Leicht, 4242, 0);
  RecordFrame(recording, 16);
  for (int i = 0; i < kMostClicksInFrame + 1; ++i) recording.body += std::string{1, 0, 3, 3};
  RecordFrame(recording, 32);
  return EncodeRecording(recording);
}

}  // namespace

TEST_F(WatchTest, TheReplayPausesGoesFasterIgnoresTheBoardAndLeaves) {
  const Played played = Play(Turbo, Leicht, 9, 30);
  ui.screen = Highscores;
  ASSERT_TRUE(StartWatching(app, played.recording, {"Anna", 1234}, Highscores, false));
  ASSERT_EQ(ui.screen, Watching);
  Tick();
  EXPECT_TRUE(Shows(std::string(Text(TextId::ReplayMark)) + ": Anna \xB7 " + FormatText(TextId::ReplayPoints, {"1234"})));
  EXPECT_TRUE(Shows(Text(TextId::WatchPause)));

  // At 1x a frame a tick, as the game was played.
  Tick(60);
  const int64_t atOne = app.watch.lastFrameAt;
  EXPECT_NEAR(static_cast<double>(atOne), 61 * 16.3, 40);

  // Paused, it stands still and shows its keys; Space goes on.
  Feed(KeyUp, kKeyP);
  Tick(30);
  EXPECT_EQ(app.watch.lastFrameAt, atOne);
  EXPECT_TRUE(Shows(Text(TextId::WatchKeysPause)));
  EXPECT_TRUE(Shows(Text(TextId::WatchGoOn)));
  Feed(KeyDown, kKeySpace);
  Tick();
  EXPECT_GT(app.watch.lastFrameAt, atOne);

  // At 4x, four recorded frames a tick.
  Feed(KeyChar, '4');
  const int64_t before = app.watch.lastFrameAt;
  Tick(30);
  EXPECT_NEAR(static_cast<double>(app.watch.lastFrameAt - before), 30 * 4 * 16.3, 80);

  // Clicks on the board reach neither the watched game (which would record
  // them, see below) nor the player's.
  for (int i = 0; i < 10; ++i) {
    Feed(MouseMove, 0, 40 + 20 * i, 120 + 20 * i);
    Feed(MouseDown, 1);
  }
  Feed(KeyChar, '1');
  Tick(20);
  EXPECT_FALSE(app.game.recording.started);

  // To its end, the watched game re-records the play's own recording.
  Feed(KeyChar, '4');
  for (int i = 0; i < 20000 && !app.watch.playback->done(); ++i) Tick();
  ASSERT_TRUE(app.watch.playback->done());
  EXPECT_EQ(EncodeRecording(app.watch.playback->game().recording), ReplayGame(played.recording).recording);
  EXPECT_EQ(app.watch.playback->game().score, played.score);

  // Escape leaves for where the replay was started from, not the program.
  CountKeyPress(kKeyEscape);
  ExitIfRequested(app);
  EXPECT_EQ(ui.screen, Highscores);
  EXPECT_EQ(app.watch.playback, nullptr);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(WatchTest, ARefusedRecordingGetsOneMessageBoxSayingWhyAndNothingElse) {
  const Played played = Play(Classic, Mittel, 4, 20);
  std::string otherFormat = played.recording;
  otherFormat[4] = 2;
  const struct {
    std::string bytes;
    RecordingFault fault;
    TextId reason;
  } cases[] = {
      {"", RecordingFault::NotARecording, TextId::FaultNotARecording},
      {"PK\x03\x04 a zip file", RecordingFault::NotARecording, TextId::FaultNotARecording},
      {otherFormat, RecordingFault::OtherVersion, TextId::FaultOtherVersion},
      {WithRulesVersion(kRulesVersion + 1), RecordingFault::OtherVersion, TextId::FaultOtherVersion},
      {WithRulesVersion(kRulesVersion - 1), RecordingFault::OtherVersion, TextId::FaultOtherVersion},
      {std::string("QZRC\x01") + std::string(3u << 20, 'x'), RecordingFault::TooLarge, TextId::FaultTooLarge},
      {played.recording.substr(0, played.recording.size() - 4), RecordingFault::Damaged, TextId::FaultDamaged},
      {WithClicksNoPlayerMakes(), RecordingFault::Impossible, TextId::FaultImpossible},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.fault));
    EXPECT_EQ(ReplayGame(c.bytes).fault, c.fault);
    rec.messages.clear();
    ui.screen = MainMenu;
    EXPECT_FALSE(StartWatching(app, c.bytes, {}, MainMenu, false));
    EXPECT_EQ(ui.screen, MainMenu);
    EXPECT_EQ(app.watch.playback, nullptr);
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].title, Text(TextId::ReplayMark));
    EXPECT_NE(rec.messages[0].text.find(Text(c.reason)), std::string::npos) << rec.messages[0].text;
    EXPECT_TRUE(rec.messages[0].serious);
  }
  // The play's own recording is not refused, and the mark takes its points.
  rec.messages.clear();
  ASSERT_TRUE(StartWatching(app, played.recording, {}, MainMenu, false));
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(app.watch.label.points, played.score);
}

}  // namespace quarzello::gameplay_test
