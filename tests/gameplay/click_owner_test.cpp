// A press on the board of a running game belongs to the board alone: the
// widgets of the frame after it must not see it as well.
#include "gameplay/texts.h"
#include "app/app.h"
#include "tests/app/fixed_window.h"
#include "tests/gameplay/game_fixture.h"

namespace quarzello::gameplay_test {

namespace {

class ClickOwnerTest : public GameTest {
 protected:
  quarzello::test::FixedWindow window;

  void Feed(int kind, int value = 0, int x = 0, int y = 0) { HandleEvent(app, {kind, value, x, y}, window); }
  void PressAt(int x, int y) {
    Feed(MouseMove, 0, x, y);
    Feed(MouseDown, 1);
  }
  void PaintOneFrame() {
    Clock(NowMillis() + 16);
    Feed(GadgetPaint);
  }
};

// Column 8 alone: a pair of colour 0 in rows 2 and 3, right under "Weiter",
// above stones of alternating colours that never make a pair.
TEST_F(ClickOwnerTest, TheClickThatEndsAClassicGameUnderWeiterDoesNotPressWeiter) {
  game.gameMode = Classic;
  game.minGroup = 2;
  ui.screen = GameScreen;
  for (int r = 2; r < kRows; ++r) PutStone(8, r, r <= 3 ? 0 : 1 + r % 2);

  PressAt(200, 138);  // marks the pair
  PaintOneFrame();
  PressAt(200, 138);  // takes it: no move is left
  ASSERT_EQ(game.gameOverState, 1);
  PaintOneFrame();

  // The final board stays to be looked at until "Weiter" is pressed.
  EXPECT_EQ(game.gameOverState, 1);
  EXPECT_EQ(FilledCells(), kRows - 4);
  EXPECT_NE(FindTextCommand(rec.LastFrame(), Text(TextId::Continue)), nullptr);

  PressAt(200, 138);
  PaintOneFrame();
  EXPECT_EQ(game.gameOverState, 2);
  EXPECT_EQ(FilledCells(), 0);
}

}  // namespace

}  // namespace quarzello::gameplay_test
