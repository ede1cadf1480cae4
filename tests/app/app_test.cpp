#include "app/app.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "gameplay/game.h"
#include "screens/app.h"
#include "screens/connecting.h"
#include "tests/highscore/inline_requests.h"

namespace quarzello::front_test {

namespace {

// A window that takes every size it is given, as a window manager would,
// and remembers what the loop asked of it.
class FakeWindow : public GameWindow {
 public:
  int left = 100, top = 50, width = 400, height = 500;
  bool maximized = false;
  int desktopWidth = 1280;
  int reshapes = 0, repaints = 0;

  int ClientWidth() const override { return width; }
  int ClientHeight() const override { return height; }
  int GadgetLeft() const override { return left; }
  int GadgetTop() const override { return top; }
  bool IsWindowMaximized() const override { return maximized; }
  int DesktopWidth() const override { return desktopWidth; }
  void SetGadgetRect(int x, int y, int w, int h) override {
    left = x, top = y, width = w, height = h;
    ++reshapes;
  }
  void RequestRepaint() override { ++repaints; }
};

class Loop : public ::testing::Test {
 public:
  App app;
  FrontEnd& ui = app.ui;
  Game& game = app.game;
  FakeWindow window;
  RecordingBackend recorder;

  void SetUp() override {
    ResetDrawingState();
    SetBackend(&recorder);
    SetTestClock(1000);
  }
  void TearDown() override {
    SetBackend(nullptr);
    UseSystemClock();
  }
  void Feed(int kind, int value = 0, int x = 0, int y = 0) { HandleEvent(app, {kind, value, x, y}, window); }
  void ResizeTo(int w, int h) {
    window.width = w;
    window.height = h;
    Feed(WindowSize);
  }
  void Type(const std::string& latin1) {
    for (unsigned char c : latin1) Feed(KeyChar, c);
  }
};

// One reshape to the given rectangle, whose own WindowSize then changes nothing.
void ExpectSettledAt(Loop& loop, FakeWindow& window, int left, int top, int width, int height, float scale) {
  EXPECT_EQ(window.reshapes, 1);
  EXPECT_EQ((std::array{window.left, window.top, window.width, window.height}),
            (std::array{left, top, width, height}));
  loop.Feed(WindowSize);
  EXPECT_EQ(window.reshapes, 1);
  EXPECT_FLOAT_EQ(loop.ui.scale, scale);
}

TEST_F(Loop, WiderWindowKeepsScaleOneAndIsReshapedInPlace) {
  ResizeTo(800, 500);
  EXPECT_FLOAT_EQ(ui.scale, 1.0f);
  ExpectSettledAt(*this, window, 100, 50, 400, 500, 1.0f);
}

TEST_F(Loop, DoubleSizeGivesScaleTwoWithoutReshape) {
  ResizeTo(800, 1000);
  EXPECT_FLOAT_EQ(ui.scale, 2.0f);
  EXPECT_EQ(window.reshapes, 0);
}

TEST_F(Loop, TinyWindowIsRaisedToTheSmallestScale) {
  ResizeTo(100, 125);
  EXPECT_FLOAT_EQ(ui.scale, 0.3f);
  ExpectSettledAt(*this, window, 100, 50, 120, 150, 0.3f);
}

TEST_F(Loop, NearlyRightShapeIsLeftAlone) {
  ResizeTo(403, 500);  // sides 1.0075 and 1.0: within 0.01
  EXPECT_FLOAT_EQ(ui.scale, 1.0f);
  EXPECT_EQ(window.reshapes, 0);
}

TEST_F(Loop, MaximizedWindowIsCentredOnTheDesktop) {
  window.maximized = true;
  window.desktopWidth = 1281;
  ResizeTo(1281, 1000);
  EXPECT_FLOAT_EQ(ui.scale, 2.0f);
  ExpectSettledAt(*this, window, 640 - 400, 50, 800, 1000, 2.0f);  // the desktop width halved as an integer first
}

TEST_F(Loop, PauseOnReleasedPShiftsTheDeadlineByThePausedTime) {
  ui.screen = GameScreen;
  game.deadline = 5000;
  Feed(KeyUp, kKeyP);
  EXPECT_EQ(ui.screen, Pause);
  EXPECT_EQ(game.pauseStart, 1000);
  SetTestClock(11000);
  Feed(KeyUp, kKeyP);
  EXPECT_EQ(ui.screen, GameScreen);
  EXPECT_EQ(game.deadline, 15000);
}

TEST_F(Loop, APauseLongerThanA32BitMillisecondCountKeepsTheTimeLeft) {
  ui.screen = GameScreen;
  game.deadline = 5000;
  Feed(KeyUp, kKeyP);
  SetTestClock(1000 + (int64_t{1} << 31));
  Feed(KeyUp, kKeyP);
  EXPECT_EQ(game.deadline - NowMillis(), 4000);
}

TEST_F(Loop, PauseKeyDoesNothingElsewhereAndOtherKeysNothingAtAll) {
  ui.screen = GameScreen;
  Feed(KeyUp, 'Q');
  Feed(KeyUp, kKeyEscape);
  EXPECT_EQ(ui.screen, GameScreen);
  for (uint8_t screen : {MainMenu, Credits, ModeSelect, DifficultySelect, NewHighscore, Highscores}) {
    ui.screen = screen;
    Feed(KeyUp, kKeyP);
    EXPECT_EQ(ui.screen, screen);
  }
  EXPECT_EQ(game.pauseStart, 0);
}

TEST_F(Loop, TypedCharactersEditTheNameOnTheNewHighscoreScreenOnly) {
  Type("ab");
  EXPECT_EQ(ui.playerName, "");
  ui.screen = NewHighscore;
  Type("Pia !}");
  EXPECT_EQ(ui.playerName, "Pia !}");
  Feed(KeyChar, 8);
  EXPECT_EQ(ui.playerName, "Pia !");
}

TEST_F(Loop, NameFilterDropsWhatTheGameCannotStore) {
  ui.screen = NewHighscore;
  Feed(KeyChar, 8);  // backspace on an empty name
  EXPECT_EQ(ui.playerName, "");
  for (int code : {126, 127, 228, 0x20AC, 13, 9, 27, 31, 0, -5}) Feed(KeyChar, code);
  EXPECT_EQ(ui.playerName, "");
  Type("ABCDEFGHIJKLMNOP");  // sixteen letters
  EXPECT_EQ(ui.playerName, "ABCDEFGHIJKLMNO");
}

TEST_F(Loop, LeftPressMarksAClickForTheWidgetsOtherButtonsNothing) {
  // On the game screen only once the game is over: before, the board takes it.
  game.gameOverState = 1;
  for (uint8_t screen : {MainMenu, GameScreen, Pause, NewHighscore}) {
    ui.screen = screen;
    ui.mouseClicked = 0;
    Feed(MouseDown, 2);
    Feed(MouseDown, 3);
    EXPECT_EQ(ui.mouseClicked, 0);
    Feed(MouseDown, 1);
    EXPECT_EQ(ui.mouseClicked, 1);
  }
}

TEST_F(Loop, MouseMoveKeepsCanvasPixels) {
  ui.scale = 2;
  Feed(MouseMove, 0, 640, 900);
  EXPECT_EQ(ui.mouseX, 640);
  EXPECT_EQ(ui.mouseY, 900);
}

TEST_F(Loop, AClickCountsWhereItWasMadeThoughThePointerMovedOnBeforeTheFrame) {
  static const bool registered = (RegisterEmbeddedFiles(), true);  // the menu entries' height is the font's
  (void)registered;
  if (TFont::font(1) == nullptr) TFont::load();
  Feed(MouseMove, 0, 200, 270);  // on "Credits"
  Feed(MouseDown, 1);
  Feed(MouseMove, 0, 200, 485);  // below every entry
  EXPECT_EQ(ui.mouseY, 270);
  Feed(GadgetPaint);
  EXPECT_EQ(ui.screen, Credits);
  EXPECT_EQ(ui.mouseY, 485);
}

TEST_F(Loop, TickAsksForARepaintAndAPaintClearsTheClick) {
  Feed(TimerTick);
  EXPECT_EQ(window.repaints, 1);
  ui.mouseClicked = 1;
  Feed(GadgetPaint);
  EXPECT_EQ(ui.mouseClicked, 0);
}

// Presents each frame and, while doing so, asks for another paint, as a
// message box's own event loop or an expose inside the flip would.
class ReenteringBackend : public RecordingBackend {
 public:
  App* app = nullptr;
  GameWindow* window = nullptr;
  void Present(const DisplayList& frame) override {
    RecordingBackend::Present(frame);
    PaintFrame(*app, *window);
  }
};

TEST_F(Loop, PaintDrawsTheCurrentScreenOnTheWholeCanvas) {
  ui.screen = NewHighscore;
  game.score = 5;  // a name entry that stays on its screen
  window.width = 800;
  window.height = 1000;
  Feed(GadgetPaint);
  ASSERT_EQ(recorder.frames.size(), 1u);
  EXPECT_EQ(recorder.LastFrame().front().kind, DrawCommand::kClear);
  EXPECT_EQ(recorder.LastFrame().front().viewWidth, 800);
  EXPECT_EQ(recorder.LastFrame().front().viewHeight, 1000);
}

TEST_F(Loop, AFrameNeverRunsInsideAnother) {
  ReenteringBackend reentering;
  reentering.app = &app;
  reentering.window = &window;
  SetBackend(&reentering);
  ui.screen = NewHighscore;
  game.score = 5;
  Feed(GadgetPaint);
  EXPECT_EQ(reentering.frames.size(), 1u);
  Feed(GadgetPaint);  // and the guard lets the next paint through
  EXPECT_EQ(reentering.frames.size(), 2u);
}

TEST_F(Loop, PaintOfAnUnknownScreenDrawsNothing) {
  ui.screen = 200;
  PaintFrame(app, window);
  EXPECT_TRUE(recorder.frames.empty());
  EXPECT_EQ(ui.screen, 200);
}

TEST_F(Loop, WhileARequestRunsEscapeGivesItUpAndTheNameStaysAsSent) {
  test::InlineRequests requests;
  requests.Install(app.requests);
  ui.screen = NewHighscore;
  ui.playerName = "Li";
  int cancelled = 0, done = 0;
  StartOnline<int>(
      app, TextId::Registering, [] { return 1; }, [&done](int) { ++done; }, [&cancelled] { ++cancelled; });
  Type("x");
  EXPECT_EQ(ui.playerName, "Li");
  Feed(TimerTick);
  Feed(GadgetPaint);
  EXPECT_NE(recorder.LastFrame().size(), 0u);
  CountKeyPress(kKeyEscape);
  ExitIfRequested(app);  // an exit here fails the test
  EXPECT_EQ(cancelled, 1);
  EXPECT_FALSE(ConnectionUnderway(app));
  // The work still runs and finishes; its result is dropped.
  std::vector<RequestRunner::Task> late = requests.TakeStarted();
  test::InlineRequests::RunAll(late);
  Feed(WorkDone);
  EXPECT_EQ(done, 0);
  Type("x");
  EXPECT_EQ(ui.playerName, "Lix");
}

TEST_F(Loop, AFinishedRequestComesInWithTheWorkDoneEvent) {
  test::InlineRequests requests;
  requests.Install(app.requests);
  std::vector<int> results;
  StartOnline<int>(
      app, TextId::Fetching, [] { return 7; }, [&results](int result) { results.push_back(result); }, [] {});
  std::vector<RequestRunner::Task> working = requests.TakeStarted();
  test::InlineRequests::RunAll(working);
  Feed(TimerTick);
  EXPECT_TRUE(results.empty());
  Feed(WorkDone);
  EXPECT_EQ(results, std::vector<int>{7});
  EXPECT_FALSE(ConnectionUnderway(app));
}

TEST_F(Loop, NothingRequestedNothingEnds) {
  ExitIfRequested(app);  // an exit here fails the test (see the tests' main)
  SUCCEED();
}

// Run on its own by a ctest test that expects it to fail: the exit guard's own test.
TEST(ExitGuard, DISABLED_ExitZero) { std::exit(0); }

using LoopDeathTest = Loop;

TEST_F(LoopDeathTest, EscapeEndsWithStatusZero) {
  EXPECT_EXIT(
      {
        CountKeyPress(kKeyEscape);
        ExitIfRequested(app);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(LoopDeathTest, QuitRequestFromTheDesktopEndsWithStatusZero) {
  EXPECT_EXIT(
      {
        RequestAppTerminate();
        ExitIfRequested(app);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(LoopDeathTest, ClosingTheWindowEndsWithStatusZero) {
  EXPECT_EXIT(Feed(WindowClose), ::testing::ExitedWithCode(0), "");
}

}  // namespace

TEST(CommandLine, TakesWatchWithItsFileAndNothingElse) {
  std::string complaint;
  const auto none = ParseCommandLine({}, complaint);
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->watch.empty());

  const auto watch = ParseCommandLine({"--watch", "game.qzr"}, complaint);
  ASSERT_TRUE(watch);
  EXPECT_EQ(watch->watch, "game.qzr");

  EXPECT_FALSE(ParseCommandLine({"--help"}, complaint));
  EXPECT_EQ(complaint.rfind("usage: ", 0), 0u) << complaint;
  for (const auto& wrong : std::vector<std::vector<std::string_view>>{
           {"--watch"}, {"--watch", ""}, {"game.qzr"}, {"--watch", "a.qzr", "b.qzr"}, {"--wtach", "a.qzr"}}) {
    complaint.clear();
    EXPECT_FALSE(ParseCommandLine(wrong, complaint));
    EXPECT_NE(complaint.find("unknown"), std::string::npos);
    EXPECT_NE(complaint.find("usage: "), std::string::npos);
  }
}

}  // namespace quarzello::front_test
