// A game the window was closed on is kept in the data directory, offered on
// the next start's main menu, and goes on paused where it stood, as the same
// game: its board, score, generator and ticket, and a recording that the
// service's replay takes as one game whose pause was merely long.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "gameplay/replay.h"
#include "gameplay/texts.h"
#include "highscore/kept_games.h"
#include "screens/resume.h"
#include "screens/screens.h"
#include "tests/app/frame_support.h"
#include "tests/gameplay/scripted_play.h"

namespace quarzello::front_test {

namespace {

namespace fs = std::filesystem;

constexpr int64_t kDay = 24LL * 60 * 60 * 1000;

class ResumeTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    old_ = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "resume-XXXXXX").string();
    directory_ = mkdtemp(pattern.data());
    fs::current_path(directory_);
    app.generator.Seed(31);
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(directory_);
    UseSystemClock();
    FrameTest::TearDown();
  }

  // Frames at 60 a second from now on, a move every 20th, as long as the game runs.
  static void PlayOn(Game& game, int64_t& now, int frames) {
    for (int frame = 0; frame < frames && game.gameOverState == Running; ++frame)
      gameplay_test::PlayScriptedFrame(game, now, frame, 20);
  }

  // A game of mode started at now and played for `frames` frames; now is after them.
  void StartAndPlay(uint8_t mode, int64_t& now, int frames) {
    SetTestClock(now);
    app.game.gameMode = mode;
    app.game.difficulty = Mittel;
    StartNewGame(app);
    PlayOn(app.game, now, frames);
    now += 12;  // after the clicks of the last frame
    SetTestClock(now);
  }

 private:
  fs::path old_, directory_;
};

TEST_F(ResumeTest, AGameClosedOnGoesOnTheNextDayPausedWhereItStoodAndVerifiesAsOneGame) {
  for (const uint8_t mode : {Classic, Turbo, Level}) {
    SCOPED_TRACE(int{mode});
    int64_t now = 5'000'000;
    StartAndPlay(mode, now, 900);
    ASSERT_EQ(app.game.gameOverState, Running);
    app.gameTicket = 4242;
    KeepInterruptedGame(app, now);
    EXPECT_TRUE(app.game.paused) << "the interruption is recorded as a pause";
    const int64_t leftAtClose = app.game.deadline - app.game.pauseStart;

    // The next start, a day later, on a clock that began anew.
    App next;
    next.generator.Seed(99);
    OfferInterruptedGame(next);
    ASSERT_TRUE(next.interrupted);
    const int64_t later = now + kDay - 4'000'000;
    GoOnWithInterruptedGame(next, later);
    EXPECT_FALSE(next.interrupted);
    EXPECT_EQ(next.ui.screen, Pause);
    EXPECT_EQ(next.game.score, app.game.score);
    EXPECT_EQ(BoardHash(next.game.world.board), BoardHash(app.game.world.board));
    EXPECT_EQ(next.generator.state, app.generator.state) << "the game draws on where it left off";
    EXPECT_EQ(next.game.random, &next.generator);
    EXPECT_EQ(next.gameTicket, 4242);
    EXPECT_EQ(next.game.pauseStart, later) << "the game lives on the clock of the run that goes on with it";
    if (mode != Classic) {
      EXPECT_EQ(next.game.deadline - next.game.pauseStart, leftAtClose);
    }

    // Played on after a while on the pause screen, to its end.
    int64_t clock = later + 7000;
    ResumeGame(next.game, clock);
    PlayOn(next.game, clock, 200000);
    ASSERT_NE(next.game.gameOverState, Running);
    const ReplayResult replay = ReplayGame(EncodeRecording(next.game.recording));
    ASSERT_TRUE(replay.ok()) << replay.error;
    EXPECT_TRUE(replay.reachedEnd);
    EXPECT_EQ(replay.score, next.game.score);
    EXPECT_EQ(replay.generatorState, app.game.recording.generatorState);
    EXPECT_LT(replay.playMillis + replay.pauseMillis, 60 * 60'000) << "the day away is no part of the game";
    EXPECT_GE(replay.pauseMillis, 7000);

    // Ended, it is not offered again.
    next.ui.screen = GameScreen;
    KeepInterruptedGame(next, clock);
    EXPECT_FALSE(fs::exists(kInterruptedGameFile));
    EXPECT_FALSE(fs::exists(kInterruptedTicketFile));
  }
}

TEST_F(ResumeTest, OnlyAGameNotOverIsKept) {
  int64_t now = 100'000;
  StartAndPlay(Classic, now, 100);
  app.ui.screen = MainMenu;  // "Beenden" on the menu: no game is running
  KeepInterruptedGame(app, now);
  EXPECT_FALSE(fs::exists(kInterruptedGameFile));

  app.ui.screen = Pause;
  PauseGame(app.game, now);
  KeepInterruptedGame(app, now + 50);
  ASSERT_TRUE(fs::exists(kInterruptedGameFile));
  EXPECT_FALSE(fs::exists(kInterruptedTicketFile)) << "an offline game has no ticket";
  std::ifstream kept(kInterruptedGameFile, std::ios::binary);
  Playback paused(std::string(std::istreambuf_iterator<char>(kept), {}));
  EXPECT_TRUE(paused.PlayToEnd()) << "paused once, not twice: " << paused.error();

  // Given up on the pause screen, it goes.
  MouseAtDesign(200, 410);
  ui.mouseClicked = 1;
  Paint(DrawPause);
  EXPECT_EQ(ui.screen, MainMenu);
  EXPECT_FALSE(fs::exists(kInterruptedGameFile));
}

TEST_F(ResumeTest, TheMainMenuOffersTheKeptGameUntilAnotherGameStarts) {
  const auto texts = [this] { return TextStrings(Paint(DrawMainMenu)); };
  const std::vector<std::string> plain = {Text(TextId::MenuPlay), Text(TextId::MenuHighscore),
                                          Text(TextId::MenuCredits), Text(TextId::MenuQuit)};
  EXPECT_EQ(texts(), plain);

  int64_t now = 100'000;
  StartAndPlay(Turbo, now, 300);
  KeepInterruptedGame(app, now);
  app.ui.screen = MainMenu;
  OfferInterruptedGame(app);
  ASSERT_TRUE(app.interrupted);
  const std::vector<std::string> offered = {Text(TextId::MenuPlay), Text(TextId::MenuHighscore),
                                            Text(TextId::MenuCredits), Text(TextId::MenuGoOn),
                                            Text(TextId::MenuQuit)};
  EXPECT_EQ(texts(), offered) << "in the order of the keyboard's highlight";

  // Starting another game drops it, from the menu and from the disk.
  StartAndPlay(Classic, now, 10);
  EXPECT_FALSE(app.interrupted);
  EXPECT_FALSE(fs::exists(kInterruptedGameFile));
  app.ui.screen = MainMenu;
  EXPECT_EQ(texts(), plain);
}

TEST_F(ResumeTest, AClickOnTheOfferGoesOnWithTheGame) {
  int64_t now = 100'000;
  StartAndPlay(Classic, now, 300);
  const int score = app.game.score;
  KeepInterruptedGame(app, now);
  app.game = Game{};
  app.game.random = &app.generator;
  app.ui.screen = MainMenu;
  OfferInterruptedGame(app);
  MouseAtDesign(200, 335);
  ui.mouseClicked = 1;
  Paint(DrawMainMenu);
  EXPECT_EQ(ui.screen, Pause);
  EXPECT_EQ(app.game.score, score);
}

TEST_F(ResumeTest, AKeptFileThatCannotBeGoneOnWithIsSetAsideAndNotOffered) {
  int64_t now = 100'000;
  StartAndPlay(Turbo, now, 400);
  PauseGame(app.game, now);
  const std::string whole = EncodeRecording(app.game.recording);
  AbortGame(app.game, now + 10);
  const std::string givenUp = EncodeRecording(app.game.recording);
  const std::string ended = gameplay_test::Play(Turbo, Leicht, 5, 30).recording;

  const std::string files[] = {whole.substr(0, whole.size() - 5), "QZRC\1 foreign bytes", "", givenUp, ended};
  for (const std::string& bytes : files) {
    fs::remove(std::string(kSetAsidePrefix) + "1");
    std::ofstream(kInterruptedGameFile, std::ios::binary) << bytes;
    App next;
    OfferInterruptedGame(next);
    EXPECT_FALSE(next.interrupted) << bytes.size();
    EXPECT_FALSE(fs::exists(kInterruptedGameFile));
    std::ifstream aside(std::string(kSetAsidePrefix) + "1", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), bytes) << "nothing is lost";
  }
}

}  // namespace

}  // namespace quarzello::front_test
