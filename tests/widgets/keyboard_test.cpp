// Playing with the keyboard alone, through the event loop: the board cursor,
// the highlight over every screen's buttons, and keys that act as the mouse's
// click would.
#include "gameplay/texts.h"
#include "widgets/keyboard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "board/board.h"
#include "app/app.h"
#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "gameplay/game.h"
#include "screens/game_screen.h"
#include "highscore/store.h"
#include "screens/table.h"
#include "tests/app/fixed_window.h"
#include "tests/gameplay/stand_in_images.h"

namespace quarzello::front_test {

namespace {

TEST(BoardCursor, FirstArrowPlacesThenArrowsMoveWithinTheBoard) {
  BoardCursor cursor;
  EXPECT_FALSE(cursor.shown());
  cursor.Arrow(-1, 0, std::nullopt);
  EXPECT_TRUE(cursor.shown());
  EXPECT_EQ(cursor.cell(), (Cell{8, 18}));  // the middle of the bottom row, not moved yet
  cursor.Arrow(0, 1, std::nullopt);
  EXPECT_EQ(cursor.cell(), (Cell{8, 18}));
  for (int i = 0; i < 20; ++i) cursor.Arrow(-1, -1, Cell{3, 3});
  EXPECT_EQ(cursor.cell(), (Cell{0, 0}));
  for (int i = 0; i < 20; ++i) cursor.Arrow(1, 0, std::nullopt);
  EXPECT_EQ(cursor.cell(), (Cell{16, 0}));

  cursor.Hide();
  cursor.Arrow(1, 0, Cell{3, 4});
  EXPECT_EQ(cursor.cell(), (Cell{3, 4}));  // placed under the mouse again
}

TEST(ButtonFocus, StepsThroughTheButtonsOfTheLastFrame) {
  ButtonFocus focus;
  focus.Next();
  EXPECT_FALSE(focus.active()) << "no frame has shown a button yet";
  for (int i = 0; i < 3; ++i) EXPECT_EQ(focus.Claim(), ButtonFocus::kNotHighlighted);
  focus.EndFrame();

  focus.Press();  // nothing highlighted: Enter does nothing
  focus.Previous();
  EXPECT_EQ(focus.Claim(), ButtonFocus::kNotHighlighted);
  EXPECT_EQ(focus.Claim(), ButtonFocus::kNotHighlighted);
  EXPECT_EQ(focus.Claim(), ButtonFocus::kHighlighted);  // the first Up: the last button
  focus.EndFrame();
  focus.Next();  // past the last: the first again
  focus.Press();
  EXPECT_EQ(focus.Claim(), ButtonFocus::kPressed);
  EXPECT_EQ(focus.Claim(), ButtonFocus::kNotHighlighted);
  EXPECT_EQ(focus.Claim(), ButtonFocus::kNotHighlighted);
  focus.EndFrame();
  EXPECT_EQ(focus.Claim(), ButtonFocus::kHighlighted) << "a press is taken once";
}

TEST(HeldKeys, RepeatsArePressesWithoutARelease) {
  HeldKeys keys;
  EXPECT_FALSE(keys.Press(kKeySpace));
  EXPECT_TRUE(keys.Press(kKeySpace));
  EXPECT_FALSE(keys.Press(kKeyEnter));
  keys.Release(kKeySpace);
  EXPECT_FALSE(keys.Press(kKeySpace));
  keys.ReleaseAll();
  keys.Hold(kKeyEnter);  // went down while a message box had the keyboard
  EXPECT_TRUE(keys.Press(kKeyEnter));
}

struct Point {
  float x, y;
};

class Keys : public ::testing::Test, protected gameplay_test::StandInImages {
 protected:
  void SetUp() override {
    static const bool registered = (RegisterEmbeddedFiles(), true);
    (void)registered;
    if (!TFont::font(0) || !TFont::font(1)) TFont::load();
    oldDirectory = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "keyboard-test-XXXXXX").string();
    directory = mkdtemp(pattern.data());
    std::filesystem::current_path(directory);
    Fresh();
  }
  void TearDown() override {
    std::filesystem::current_path(oldDirectory);
    std::filesystem::remove_all(directory);
    SetBackend(nullptr);
    UseSystemClock();
  }

  // Everything as at start-up: a new App, with the images as loaded.
  void Fresh() {
    app.emplace();
    Images& img = app->ui.img;
    img = AsImages();
    img.imgMenuBackground = &menuBackground;
    img.imgLogo = &logo;
    img.imgCursor = &cursor;
    rec = RecordingBackend{};
    SetBackend(&rec);
    ResetDrawingState();
    SetTestClock(10000);
    app->generator.Seed(5);
  }

  // A fresh start on the screen that `enter` makes current, drawn once.
  void Open(const std::function<void(App&)>& enter) {
    Fresh();
    enter(*app);
    Paint();
  }
  void Feed(const Event& event) { HandleEvent(*app, event, window); }
  void Press(int key, bool shift = false, bool repeat = false) {
    Event event{KeyDown, key};
    event.shift = shift;
    event.repeat = repeat;
    Feed(event);
  }
  void Presses(int key, int times) {
    for (int i = 0; i < times; ++i) Press(key);
  }
  void MoveMouse(Point p) { Feed({MouseMove, 0, Truncate(p.x * app->ui.scale), Truncate(p.y * app->ui.scale)}); }
  void Click(Point p) {
    MoveMouse(p);
    Feed({MouseDown, 1});
  }
  const DisplayList& Paint() {
    Feed({GadgetPaint});
    return rec.LastFrame();
  }
  void Paints(int frames) {
    for (int i = 0; i < frames; ++i) Paint();
  }

  static std::vector<DrawCommand> Without(const DisplayList& frame, const Image* image) {
    std::vector<DrawCommand> kept;
    for (const DrawCommand& command : frame)
      if (command.image != image || command.kind != DrawCommand::kImage) kept.push_back(command);
    return kept;
  }
  std::vector<DrawCommand> CursorsIn(const DisplayList& frame) const {
    std::vector<DrawCommand> found;
    for (const DrawCommand& command : frame)
      if (command.kind == DrawCommand::kImage && command.image == &cursor) found.push_back(command);
    return found;
  }

  std::optional<App> app;
  quarzello::test::FixedWindow window;
  RecordingBackend rec;
  Image menuBackground = gameplay_test::StandIn(400, 500, 1, false);
  Image logo = gameplay_test::StandIn(149, 136, 1, true);
  Image cursor = gameplay_test::StandIn(64, 64, 1, true);
  std::filesystem::path oldDirectory, directory;
};

// ---------------------------------------------------------------- buttons

struct ButtonScreen {
  const char* name;
  std::function<void(App&)> enter;  // makes the screen current
  std::vector<Point> buttons;   // where the mouse hovers each, in reading order
};

void GameOver(App& app) {
  app.ui.screen = GameScreen;
  app.game.gameOverState = 1;
}

void NameEntry(App& app) {
  // A save merges into the file an earlier run of the same buttons left in
  // the test's directory: each run starts without one.
  std::filesystem::remove(kHighscoreFile);
  app.ui.screen = NewHighscore;
  app.game.score = 120;
  app.ui.playerName = "Anna";
}

const std::vector<ButtonScreen>& Screens() {
  static const std::vector<ButtonScreen> screens = {
      {"main menu", [](App& app) { app.ui.screen = MainMenu; }, {{200, 160}, {200, 210}, {200, 260}, {200, 410}}},
      {"mode", [](App& app) { app.ui.screen = ModeSelect; }, {{200, 160}, {200, 210}, {200, 260}, {200, 410}}},
      {"difficulty",
       [](App& app) {
         app.ui.screen = DifficultySelect;
         app.game.gameMode = Turbo;
       },
       {{200, 160}, {200, 210}, {200, 260}, {200, 410}}},
      {"pause", [](App& app) { app.ui.screen = Pause; }, {{200, 410}}},
      {"game over", GameOver, {{200, 138}}},
      {"name entry", NameEntry, {{100, 208}, {200, 360}, {200, 410}}},
      {"table",
       [](App& app) { app.ui.screen = Highscores; },
       {{78, 40}, {200, 40}, {319, 40}, {100, 362}, {300, 362}, {200, 410}}},
  };
  return screens;
}

TEST_F(Keys, HighlightLooksExactlyLikeTheHoverInReadingOrder) {
  for (const ButtonScreen& screen : Screens()) {
    const int count = static_cast<int>(screen.buttons.size());
    for (int i = 0; i < count; ++i) {
      SCOPED_TRACE(std::string(screen.name) + ", button " + std::to_string(i));
      Open(screen.enter);
      MoveMouse(screen.buttons[i]);
      const DisplayList hovered = Paint();

      Open(screen.enter);
      Presses(kKeyDown, i + 1);
      EXPECT_EQ(Paint(), hovered) << "Down";

      Open(screen.enter);
      for (int k = 0; k <= i; ++k) Press(kKeyTab);
      EXPECT_EQ(Paint(), hovered) << "Tab";

      Open(screen.enter);
      Presses(kKeyUp, count - i);
      EXPECT_EQ(Paint(), hovered) << "Up, from the last";

      Open(screen.enter);
      for (int k = 0; k < count - i; ++k) Press(kKeyTab, true);
      EXPECT_EQ(Paint(), hovered) << "Shift+Tab";
    }
  }
}

TEST_F(Keys, NothingShowsUntilAKeyAndTheMouseTakesItAway) {
  for (const ButtonScreen& screen : Screens()) {
    SCOPED_TRACE(screen.name);
    Fresh();
    screen.enter(*app);
    const DisplayList untouched = Paint();
    Press(kKeyEnter);  // nothing highlighted: nothing pressed
    Press(kKeySpace);
    Press(kKeyLeft);
    EXPECT_EQ(Paint(), untouched);

    Press(kKeyDown);
    EXPECT_NE(Paint(), untouched);
    Feed({MouseMove, 0, 0, 0});  // where the mouse already is: not a move
    Feed({MouseDown, 1});
    EXPECT_NE(Paint(), untouched);
    MoveMouse({1, 1});
    EXPECT_EQ(Paint(), untouched);
  }
}

// Everything a button can change, to compare a click with Enter.
struct Outcome {
  uint8_t screen, gameMode, difficulty, gameOverState, saveOnline, shownMode, shownDifficulty;
  size_t messages;
  bool operator==(const Outcome&) const = default;
};

TEST_F(Keys, EnterOnEachButtonLeadsWhereTheClickLeads) {
  for (const ButtonScreen& screen : Screens()) {
    const int count = static_cast<int>(screen.buttons.size());
    for (int i = 0; i < count; ++i) {
      const std::string name = std::string(screen.name) + ", button " + std::to_string(i);
      // "Beenden" ends the program; the table's first tab goes online.
      if (name == "main menu, button 3" || name == "table, button 0") continue;
      SCOPED_TRACE(name);
      auto outcome = [&] {
        Paint();
        MoveMouse({399, 499});  // the same place in both runs
        const DisplayList next = Paint();
        return std::make_pair(Outcome{app->ui.screen, app->game.gameMode, app->game.difficulty, app->game.gameOverState, app->ui.saveOnline,
                                      app->tableView.shownMode, app->tableView.shownDifficulty, rec.messages.size()},
                              next);
      };
      Open(screen.enter);
      Click(screen.buttons[i]);
      const auto clicked = outcome();

      Open(screen.enter);
      Presses(kKeyDown, i + 1);
      Press(kKeyEnter);
      const auto entered = outcome();
      EXPECT_EQ(entered.first, clicked.first);
      EXPECT_EQ(entered.second, clicked.second);
    }
  }
}

TEST_F(Keys, HeldEnterPressesOnce) {
  NameEntry(*app);
  app->ui.playerName = "A";
  Paint();
  Presses(kKeyDown, 2);  // "Weiter"
  Press(kKeyEnter);
  Paint();
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].title, Text(TextId::NoteTitle));
  EXPECT_EQ(rec.messages[0].text, Text(TextId::NameTooShort));
  Press(kKeyEnter, false, true);
  Paint();
  EXPECT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(app->ui.screen, NewHighscore);
}

TEST_F(Keys, NameEntryTakesSpacesAndEnterOnlyPressesAHighlightedButton) {
  NameEntry(*app);
  Paint();
  Press(kKeySpace);
  Feed({KeyChar, ' '});
  Press(kKeyEnter);
  Feed({KeyChar, 13});
  Paint();
  EXPECT_EQ(app->ui.playerName, "Anna ");
  EXPECT_EQ(app->ui.screen, NewHighscore);
  EXPECT_TRUE(rec.messages.empty());

  Press(kKeyDown);  // the checkbox
  Press(kKeyEnter);
  Paint();
  EXPECT_EQ(app->ui.saveOnline, 1);
  Press(kKeyEnter);
  Paint();
  EXPECT_EQ(app->ui.saveOnline, 0);
}

TEST_F(Keys, EnterLeavesTheCredits) {
  app->ui.screen = Credits;
  Paint();
  Press(kKeyEnter, false, true);  // still held from the main menu
  Paint();
  EXPECT_EQ(app->ui.screen, Credits);
  Press(kKeyEnter);
  Paint();
  EXPECT_EQ(app->ui.screen, MainMenu);
}

TEST_F(Keys, HighlightStartsAfreshOnANewScreen) {
  app->ui.screen = MainMenu;
  Paint();
  Press(kKeyDown);
  Press(kKeyEnter);  // "Spielen"
  Paint();
  ASSERT_EQ(app->ui.screen, ModeSelect);
  const DisplayList fresh = Paint();
  Fresh();
  app->ui.screen = ModeSelect;
  EXPECT_EQ(Paint(), fresh);
}

// ---------------------------------------------------------------- the board

class BoardKeys : public Keys {
 protected:
  // A game of the mode (at Leicht) whose stones have flown in and come to rest.
  void Start(uint8_t mode) {
    app->game.gameMode = mode;
    app->game.difficulty = 0;
    StartNewGame(*app);
    Paints(80);
  }
  // Puts the cursor on (column, row) from its first place, the middle of the
  // bottom row.
  void CursorTo(int column, int row) {
    Press(kKeyLeft);
    for (int c = 8; c > column; --c) Press(kKeyLeft);
    for (int c = 8; c < column; ++c) Press(kKeyRight);
    for (int r = 18; r > row; --r) Press(kKeyUp);
  }
  static Point CentreOf(int column, int row) { return {CellCentreX(column), CellCentreY(row)}; }
};

TEST_F(BoardKeys, CursorShowsOnItsCellAtHalfSizeAndStaysOnTheBoard) {
  Start(Classic);
  EXPECT_TRUE(CursorsIn(Paint()).empty());
  Press(kKeyUp);
  auto cursors = CursorsIn(Paint());
  ASSERT_EQ(cursors.size(), 1u);
  EXPECT_FLOAT_EQ(cursors[0].x, CellCentreX(8));
  EXPECT_FLOAT_EQ(cursors[0].y, CellCentreY(18));
  EXPECT_FLOAT_EQ(cursors[0].sx, 0.5f);

  Presses(kKeyUp, 25);
  Presses(kKeyRight, 25);
  cursors = CursorsIn(Paint());
  ASSERT_EQ(cursors.size(), 1u);
  EXPECT_FLOAT_EQ(cursors[0].x, CellCentreX(16));
  EXPECT_FLOAT_EQ(cursors[0].y, CellCentreY(0));

  MoveMouse(CentreOf(3, 4));
  EXPECT_TRUE(CursorsIn(Paint()).empty());
  Press(kKeyDown);  // placed under the mouse, not moved
  cursors = CursorsIn(Paint());
  ASSERT_EQ(cursors.size(), 1u);
  EXPECT_FLOAT_EQ(cursors[0].x, CellCentreX(3));
  EXPECT_FLOAT_EQ(cursors[0].y, CellCentreY(4));

  app->ui.scale = 2.0f;
  cursors = CursorsIn(Paint());
  ASSERT_EQ(cursors.size(), 1u);
  EXPECT_FLOAT_EQ(cursors[0].x, 2 * CellCentreX(3));
  EXPECT_FLOAT_EQ(cursors[0].sx, 1.0f);
}

TEST_F(BoardKeys, CursorSurvivesThePauseButNotTheGame) {
  Start(Classic);
  Press(kKeyUp);
  Feed({KeyUp, kKeyP});
  Paint();
  Feed({KeyUp, kKeyP});
  EXPECT_EQ(CursorsIn(Paint()).size(), 1u);

  GameOver(*app);
  EXPECT_TRUE(CursorsIn(Paint()).empty());
  Press(kKeyDown);  // the keys now reach "Weiter"
  Press(kKeyEnter);
  Paint();
  EXPECT_EQ(app->game.gameOverState, 2);
}

// Space or Enter on the cursor's cell, against a click on that cell: the
// frames that follow are the same but for the cursor itself.
struct BoardCase {
  const char* name;
  uint8_t mode;
  bool bomb;
  std::vector<int> keys;  // each acts on (5, 15)
};

TEST_F(BoardKeys, EnterOrSpaceOnACellIsAClickThere) {
  const BoardCase cases[] = {
      {"Classic, mark and confirm", Classic, false, {kKeySpace, kKeyEnter}},
      {"Turbo", Turbo, false, {kKeyEnter}},
      {"Level", Level, false, {kKeySpace}},
      {"a bomb", Turbo, true, {kKeyEnter}},
  };
  for (const BoardCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto play = [&](const std::function<void(int key)>& act) {
      Fresh();
      Start(c.mode);
      if (c.bomb) app->game.world.board(5, 15)->bombe = 1;
      std::vector<std::vector<DrawCommand>> frames;
      const int scoreBefore = app->game.score;
      for (int key : c.keys) {
        act(key);
        for (int f = 0; f < 30; ++f) frames.push_back(Without(Paint(), &cursor));
      }
      EXPECT_TRUE(c.bomb || app->game.score > scoreBefore) << "the moves must remove a group";
      return frames;
    };
    const auto clicked = play([&](int) { Click(CentreOf(5, 15)); });
    bool placed = false;
    const auto keyed = play([&](int key) {
      if (!placed) CursorTo(5, 15);
      placed = true;
      Press(key);
    });
    placed = false;
    EXPECT_EQ(keyed, clicked);
  }
}

TEST_F(BoardKeys, HeldSpaceMarksButDoesNotRemove) {
  Start(Classic);
  CursorTo(5, 15);
  Press(kKeySpace);
  ASSERT_EQ(app->game.world.board.groupMarked, 1);
  Press(kKeySpace, false, true);
  Press(kKeyEnter, false, true);
  EXPECT_EQ(app->game.world.board.groupMarked, 1);
  EXPECT_EQ(app->game.score, 0);
  Press(kKeySpace);
  EXPECT_GT(app->game.score, 0);
}

}  // namespace

}  // namespace quarzello::front_test
