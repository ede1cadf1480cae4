#include <algorithm>
#include <tuple>

#include "gameplay/modes.h"
#include "gameplay/texts.h"
#include "tests/gameplay/game_fixture.h"

namespace quarzello::gameplay_test {

namespace {

class GameScreenTest : public GameTest {
 protected:
  void Start(uint8_t mode, uint8_t difficulty = 0) {
    game.gameMode = mode;
    game.difficulty = difficulty;
    StartNewGame(app);
  }

  const DisplayList& Frame() {
    UpdateGameScreen(ui, game);
    ui.mouseClicked = 0;  // as the event loop does after every painted frame
    return rec.LastFrame();
  }

  // The pause as the event loop keeps it: the clock runs, no frame is drawn.
  void Pause(int millis) {
    game.pauseStart = NowMillis();
    Clock(NowMillis() + millis);
    game.deadline += NowMillis() - game.pauseStart;
  }

  void ClickWeiter() {
    ui.mouseX = Truncate(200 * ui.scale);
    ui.mouseY = Truncate(138 * ui.scale);
    ui.mouseClicked = 1;
  }

  // A HUD text is drawn in font 0, its top at y 33, centred on its panel.
  void ExpectHudText(const DisplayList& frame, const std::string& text, float designX) {
    // Past the panels' labels, one of which may read the same.
    const auto hud = std::find_if(frame.begin(), frame.end(), [&text](const DrawCommand& c) {
      return c.kind == DrawCommand::kText && c.text == text && c.font == TFont::font(0);
    });
    ASSERT_NE(hud, frame.end()) << text;
    const DrawCommand* cmd = &*hud;
    TFont::set(0);
    const float centre = static_cast<float>(Truncate(designX * ui.scale));
    EXPECT_FLOAT_EQ(cmd->x + static_cast<float>(StringWidth(text) / 2) * ui.scale, centre) << text;
    EXPECT_FLOAT_EQ(cmd->y, static_cast<float>(Truncate(33 * ui.scale))) << text;
    EXPECT_EQ(cmd->font, TFont::font(0));
    EXPECT_EQ(std::tie(cmd->red, cmd->green, cmd->blue), std::make_tuple(79, 88, 94)) << text;
  }

  int GameOverMessages() {
    return static_cast<int>(std::count_if(ui.messages.begin(), ui.messages.end(),
                                          [](const auto& msg) { return msg->txt == Text(TextId::GameOverNews); }));
  }
};

}  // namespace

TEST_F(GameScreenTest, TimeLeftIsShownInMinutesAndThenSeconds) {
  const struct {
    int left;
    std::string text;
  } cases[] = {{121000, "2:01"},
               {120999, "2:00"},
               {70000, "1:10"},
               {69999, "1:09"},
               {67999, "1:07"},
               {60000, "1:00"},
               {59999, FormatText(TextId::SecondsLeft, {"59"})},
               {10000, FormatText(TextId::SecondsLeft, {"10"})},
               {9999, FormatText(TextId::SecondsLeft, {"9"})},
               {1000, FormatText(TextId::SecondsLeft, {"1"})},
               {999, FormatText(TextId::SecondsLeft, {"0"})},
               {0, FormatText(TextId::SecondsLeft, {"0"})},
               {-999, FormatText(TextId::SecondsLeft, {"0"})}};
  for (const auto& c : cases) {
    game.deadline = kStart + c.left;
    EXPECT_EQ(FormatTimeLeft(game), c.text) << c.left;
  }
  game.gameOverState = 1;
  game.deadline = kStart + 70000;
  EXPECT_EQ(FormatTimeLeft(game), "0");
}

TEST_F(GameScreenTest, TheHudShowsScoreModeAndSideSupply) {
  ui.scale = 1.5f;
  Start(Classic, 1);
  game.score = 1234;
  DisplayList frame = Frame();
  ASSERT_FALSE(frame.empty());
  EXPECT_EQ(frame.front().kind, DrawCommand::kClear);
  ASSERT_EQ(frame[1].image, &background);
  EXPECT_EQ(frame[1].x, 0.0f);
  EXPECT_EQ(frame[1].sx, 1.5f);
  ExpectHudText(frame, "1234", 78);
  ExpectHudText(frame, ModeName(Classic), 200);
  ExpectHudText(frame, "10", 319);
  EXPECT_TRUE(ImagesOf(frame, &progressBar).empty());

  game.sideSupply = 0;
  ExpectHudText(Frame(), "-", 319);
  Start(Classic, 2);
  ExpectHudText(Frame(), "-", 319);
}

TEST_F(GameScreenTest, TheHudShowsTheTurboClockAndTheLevel) {
  Start(Turbo);
  Clock(kStart + 16);
  DisplayList frame = Frame();
  ExpectHudText(frame, "0", 78);
  ExpectHudText(frame, ModeName(Turbo), 200);
  ExpectHudText(frame, "2:00", 319);

  Start(Level);
  game.level = 3;
  game.rowsToNextLevel = 11;
  frame = Frame();
  ExpectHudText(frame, ModeName(Level), 200);
  ExpectHudText(frame, "3 (11)", 319);
}

TEST_F(GameScreenTest, TheLevelBarIsClippedToThePassedShareOfTheInterval) {
  ui.scale = 2.0f;
  rec.width = 800;
  rec.height = 1000;
  Start(Level);
  DisplayList frame = Frame();
  auto bar = ImagesOf(frame, &progressBar);
  ASSERT_EQ(bar.size(), 2u);
  EXPECT_EQ(bar[0].frame, 1);
  EXPECT_EQ(std::tie(bar[0].red, bar[0].green, bar[0].blue), std::make_tuple(255, 255, 255));
  EXPECT_EQ(std::tie(bar[0].x, bar[0].y), std::make_tuple(38.0f, 124.0f));
  EXPECT_EQ(std::tie(bar[0].viewX, bar[0].viewWidth), std::make_tuple(0, 800));
  EXPECT_EQ(bar[1].frame, 0);
  EXPECT_EQ(std::tie(bar[1].x, bar[1].y), std::make_tuple(38.0f, 124.0f));
  // 740 of 2840 ms have passed at the start of a game.
  const int width = Truncate(740.0f / 2840.0f * 362.0f * 2.0f);
  EXPECT_EQ(std::tie(bar[1].viewX, bar[1].viewY, bar[1].viewWidth, bar[1].viewHeight),
            std::make_tuple(38, 124, width, 20));
  // Whatever comes after the bar is drawn on the whole canvas again.
  const auto drawnStones = ImagesOf(frame, &stones);
  ASSERT_FALSE(drawnStones.empty());
  EXPECT_EQ(std::tie(drawnStones[0].viewX, drawnStones[0].viewY, drawnStones[0].viewWidth,
                     drawnStones[0].viewHeight),
            std::make_tuple(0, 0, 800, 1000));

  game.gameOverState = 1;
  bar = ImagesOf(Frame(), &progressBar);
  ASSERT_EQ(bar.size(), 2u);
  EXPECT_EQ(bar[1].viewWidth, 724);
}

TEST_F(GameScreenTest, AFrameDrawsBackgroundHudBoardEffectsMessagesThenCounters) {
  Start(Classic, 1);
  for (int frame = 0; frame < 40; ++frame) Frame();
  auto flyingStone = std::make_unique<stone>();
  flyingStone->mode = Removed;
  flyingStone->alpha = flyingStone->sx = flyingStone->sy = 1.0f;
  flyingStone->col = 2;
  game.world.removedStones.push_back(std::move(flyingStone));
  explosion blast;
  blast.x = blast.y = 100.0f;
  blast.alpha = 1.0f;
  blast.sx = blast.sy = 5.0f;
  game.world.explosions.push_back(blast);
  counter shownPoints;
  shownPoints.points = 9;
  shownPoints.x = shownPoints.y = 100.0f;
  game.world.counters.push_back(shownPoints);
  TMsg* shown = TMsg::create(ui.messages, FormatText(TextId::LevelNumber, {"9"}), 150, 0);
  shown->state = 2;
  shown->alpha = 1.0f;
  const DisplayList& frame = Frame();

  auto first = [&](auto match) {
    return std::find_if(frame.begin(), frame.end(), match) - frame.begin();
  };
  const auto backdrop = first([&](const DrawCommand& c) { return c.image == &background; });
  const auto hud = first([](const DrawCommand& c) { return c.text == ModeName(Classic); });
  const auto board = first([&](const DrawCommand& c) { return c.image == &stones && c.frame % 26 == 0; });
  const auto exploding = first([&](const DrawCommand& c) { return c.image == &stones && c.frame == 105; });
  const auto flying = first([&](const DrawCommand& c) { return c.image == &stones && c.frame == 53; });
  const auto message = first([](const DrawCommand& c) { return c.text == FormatText(TextId::LevelNumber, {"9"}); });
  const auto count = first([&](const DrawCommand& c) { return c.image == &counterFont; });
  const auto size = static_cast<std::ptrdiff_t>(frame.size());
  EXPECT_LT(backdrop, hud);
  EXPECT_LT(hud, board);
  EXPECT_LT(board, exploding);
  EXPECT_LT(exploding, flying);
  EXPECT_LT(flying, message);
  EXPECT_LT(message, count);
  EXPECT_LT(count, size);
  EXPECT_EQ(rec.frames.size(), 41u);  // one Flip per frame
}

TEST_F(GameScreenTest, TurboEndsExactlyOnceOnTheFirstFrameAfterItsDeadline) {
  Start(Turbo, 2);
  Clock(kStart + 121000);
  Frame();
  EXPECT_EQ(game.gameOverState, 0);
  EXPECT_EQ(FilledCells(), 323);

  Clock(kStart + 121001);
  Frame();
  EXPECT_EQ(game.gameOverState, 1);
  EXPECT_EQ(FilledCells(), 0);  // everything flies off and nothing drops in
  EXPECT_EQ(GameOverMessages(), 1);
  const size_t flying = game.world.removedStones.size();
  EXPECT_EQ(flying, 323u);

  Clock(kStart + 125000);
  const DisplayList& frame = Frame();
  EXPECT_EQ(GameOverMessages(), 1);
  EXPECT_LE(game.world.removedStones.size(), flying);
  // Both the score and the time left read 0.
  EXPECT_EQ(std::count_if(frame.begin(), frame.end(), [](const DrawCommand& c) { return c.text == "0"; }), 2);
  EXPECT_NE(FindTextCommand(frame, Text(TextId::Continue)), nullptr);
}

TEST_F(GameScreenTest, APausedTurboGameKeepsItsTimeLeft) {
  Start(Turbo);
  Clock(kStart + 51000);
  ExpectHudText(Frame(), "1:10", 319);
  Pause(30000);
  ExpectHudText(Frame(), "1:10", 319);

  // A pause right before the end does not end the game on resuming.
  Clock(game.deadline - 1);
  Pause(60000);
  Frame();
  EXPECT_EQ(game.gameOverState, 0);
  Clock(NowMillis() + 2);
  Frame();
  EXPECT_EQ(game.gameOverState, 1);
}

TEST_F(GameScreenTest, APausedLevelGameGetsNoEarlyRowAndItsBarStandsStill) {
  Start(Level);
  Clock(kStart + 2000);
  const int before = ImagesOf(Frame(), &progressBar)[1].viewWidth;
  Pause(10000);
  const int after = ImagesOf(Frame(), &progressBar)[1].viewWidth;
  EXPECT_EQ(after, before);
  EXPECT_EQ(game.rowsToNextLevel, 10);
  Clock(NowMillis() + 101);
  Frame();
  EXPECT_EQ(game.rowsToNextLevel, 9);
}

TEST_F(GameScreenTest, WeiterClearsTheBoardAndHandsOverOnceNothingIsInFlight) {
  Start(Classic, 0);
  for (int frame = 0; frame < 40; ++frame) Frame();
  EXPECT_EQ(FindTextCommand(rec.LastFrame(), Text(TextId::Continue)), nullptr);
  const int sideSupply = game.sideSupply;
  game.gameOverState = 1;
  TMsg::create(ui.messages, Text(TextId::GameOverNews), -1, 0);

  const DrawCommand* button = FindTextCommand(Frame(), Text(TextId::Continue));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(std::tie(button->red, button->green, button->blue), std::make_tuple(47, 55, 58));
  EXPECT_EQ(button->y, 130.0f);

  ClickWeiter();
  Frame();
  EXPECT_EQ(game.gameOverState, 2);
  EXPECT_EQ(FilledCells(), 0);  // no side columns come in either
  EXPECT_EQ(game.sideSupply, sideSupply);
  EXPECT_EQ(game.world.removedStones.size(), 323u);
  EXPECT_EQ(ui.screen, GameScreen);

  int frames = 0;
  while (ui.screen == GameScreen && frames < 100) {
    EXPECT_FALSE(game.world.removedStones.empty());
    Frame();
    ++frames;
  }
  EXPECT_EQ(ui.screen, NewHighscore);
  EXPECT_EQ(frames, 34);  // a stone fades in 34 frames
  EXPECT_EQ(game.score, 0);  // no points for the cleared stones
}

TEST_F(GameScreenTest, AClickBesideWeiterDoesNothing) {
  Start(Level);
  game.gameOverState = 1;
  ui.mouseX = 300;
  ui.mouseY = 138;
  ui.mouseClicked = 1;
  Frame();
  EXPECT_EQ(game.gameOverState, 1);
  EXPECT_EQ(FilledCells(), 170);
}

TEST_F(GameScreenTest, ALevelGameRunsToGameOverAndWeiterLeadsOn) {
  ui.scale = 1.25f;
  Start(Level);
  int now = kStart;
  int rows = 0;
  while (game.gameOverState == 0 && now < kStart + 60000) {
    now += 17;
    Clock(now);
    const int before = game.rowsToNextLevel;
    Frame();
    if (game.rowsToNextLevel != before || game.gameOverState != 0) ++rows;
  }
  EXPECT_EQ(game.gameOverState, 1);
  EXPECT_EQ(rows, 10);  // rows 9 to 0 fill up, the 10th row finds the top taken
  EXPECT_EQ(GameOverMessages(), 1);
  EXPECT_EQ(ui.messages.size(), 1u);

  ClickWeiter();
  for (int frame = 0; frame < 60 && ui.screen == GameScreen; ++frame) {
    now += 17;
    Clock(now);
    Frame();
  }
  EXPECT_EQ(ui.screen, NewHighscore);
  EXPECT_EQ(game.gameOverState, 2);
}

TEST_F(GameScreenTest, TheBoardsBordersAreOutsideIt) {
  for (float scale : {1.0f, 2.0f}) {
    ui.scale = scale;
    auto inside = [&](float x, float y) {
      ui.mouseX = static_cast<int>(x * scale);
      ui.mouseY = static_cast<int>(y * scale);
      return MouseInsideBoard(ui);
    };
    EXPECT_FALSE(inside(30, 200));
    EXPECT_FALSE(inside(370, 200));
    EXPECT_FALSE(inside(200, 90));
    EXPECT_FALSE(inside(200, 470));
    EXPECT_TRUE(inside(31, 91));
    EXPECT_TRUE(inside(369, 469));
  }
}

TEST_F(GameScreenTest, TheMousePositionNamesTheCellUnderIt) {
  auto cellAt = [this](int x, int y) {
    ui.mouseX = x;
    ui.mouseY = y;
    int c = -1, r = -1;
    CellUnderMouse(ui, c, r);
    return std::pair{c, r};
  };
  EXPECT_EQ(cellAt(31, 91), std::pair(0, 0));
  EXPECT_EQ(cellAt(369, 469), std::pair(16, 18));
  EXPECT_EQ(cellAt(50, 110), std::pair(1, 1));
  EXPECT_EQ(cellAt(49, 109), std::pair(0, 0));

  // A 480 x 600 canvas: 444 is inside the right border (370 * 1.2 rounds
  // above it) but divides back to exactly 370 in single precision.
  ui.scale = 480 / 400.0f;
  ui.mouseX = 444;
  ui.mouseY = 300;
  ASSERT_TRUE(MouseInsideBoard(ui));
  EXPECT_EQ(cellAt(444, 300).first, 16);
}

// A press on the border is no click on the board: it neither plays nor lets
// a marked group go, as a press on an empty cell inside the board does.
TEST_F(GameScreenTest, APressOnTheBorderLeavesTheMarkedGroupAlone) {
  game.minGroup = 2;
  PutStone(0, 18, 2);
  PutStone(1, 18, 2);
  ui.mouseX = static_cast<int>(CellCentreX(0));
  ui.mouseY = static_cast<int>(CellCentreY(18));
  HandleBoardClick(ui, game);
  ASSERT_EQ(game.world.board.groupMarked, 1);
  ui.mouseX = 30;
  HandleBoardClick(ui, game);
  EXPECT_EQ(game.world.board.groupMarked, 1);
  ui.mouseX = static_cast<int>(CellCentreX(5));
  HandleBoardClick(ui, game);
  EXPECT_EQ(game.world.board.groupMarked, 0);
}

// What the game reports becomes messages over the board: a bonus and a new
// level for a while, the end until the game is left; the end clears the others.
TEST_F(GameScreenTest, TheGamesNewsBecomesItsMessages) {
  game.outbox = {{GameNews::Bonus, 500}, {GameNews::LevelRose, 4}};
  ShowGameNews(ui, game);
  EXPECT_TRUE(game.outbox.empty());
  ASSERT_EQ(ui.messages.size(), 2u);
  const TMsg& bonus = *ui.messages.front();
  EXPECT_EQ(bonus.txt, FormatText(TextId::BonusPoints, {"500"}));
  EXPECT_EQ(std::tie(bonus.timer, bonus.y_offset), std::make_tuple(50, 50));
  const TMsg& level = *ui.messages.back();
  EXPECT_EQ(level.txt, FormatText(TextId::LevelNumber, {"4"}));
  EXPECT_EQ(std::tie(level.timer, level.y_offset), std::make_tuple(150, 0));

  game.outbox = {{GameNews::Ended, 0}};
  ShowGameNews(ui, game);
  ASSERT_EQ(ui.messages.size(), 1u);
  const TMsg& end = *ui.messages.back();
  EXPECT_EQ(end.txt, Text(TextId::GameOverNews));
  EXPECT_EQ(std::tie(end.timer, end.y_offset), std::make_tuple(-1, 0));
}

}  // namespace quarzello::gameplay_test
