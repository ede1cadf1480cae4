// A fresh App for each test, with a recording backend, a set clock, a seeded
// generator and stand-in images of the right frame layout.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/rules.h"
#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "screens/board_view.h"
#include "gameplay/game.h"
#include "screens/game_screen.h"
#include "platform/platform.h"
#include "screens/app.h"
#include "tests/gameplay/stand_in_images.h"

namespace quarzello::gameplay_test {

class GameTest : public ::testing::Test, protected StandInImages {
 protected:
  static constexpr int kStart = 10000;  // clock at the start of each test

  App app;
  FrontEnd& ui = app.ui;
  Game& game = app.game;
  Random& generator = app.generator;
  RecordingBackend rec;

  void SetUp() override {
    // The HUD and "Weiter" are measured in the game's own fonts.
    static const bool registered = (RegisterEmbeddedFiles(), true);
    (void)registered;
    if (TFont::font(0) == nullptr || TFont::font(1) == nullptr) TFont::load();
    ASSERT_NE(TFont::font(0), nullptr);
    ui.img = AsImages();
    SetBackend(&rec);
    ResetDrawingState();
    Clock(kStart);
    generator.Seed(11);
  }
  void TearDown() override { SetBackend(nullptr); }

  // The clock, and the time of the frame the game is in.
  void Clock(int64_t millis) {
    SetTestClock(millis);
    game.now = millis;
  }

  // Runs one frame of the board update alone and returns what it drew.
  DisplayList BoardFrame() {
    Cls();
    StepBoardStones(game.world.board);
    DrawBoardStones(BoardPictures{ui.scale, &stones, &counterFont}, game.world.board, NowMillis(), NowMillis(),
                    game.gameOverState != Running);
    Flip(-1);
    return rec.LastFrame();
  }

  // A stone at rest at the centre of cell (c, r).
  stone& PutStone(int c, int r, int col = 0, int mode = Resting) {
    auto& cell = game.world.board(c, r);
    cell = std::make_unique<stone>();
    cell->x = CellCentreX(c);
    cell->y = CellCentreY(r);
    cell->sx = cell->sy = cell->alpha = 1.0f;
    cell->mode = mode;
    cell->col = col;
    return *cell;
  }

  // A stone as the start of a game makes it, in cell (c, r).
  stone& NewStone(int c, int r) {
    stone& s = PutStone(c, r, 2, Appearing);
    s.x = 200.0f;
    s.y = 250.0f;
    s.sx = s.sy = 0.1f;
    s.alpha = 0.0f;
    return s;
  }

  int FilledCells() const {
    int filled = 0;
    for (const auto& cell : game.world.board.cells) filled += cell != nullptr;
    return filled;
  }
};

inline std::vector<DrawCommand> ImagesOf(const DisplayList& list, const Image* image) {
  std::vector<DrawCommand> found;
  for (const auto& cmd : list) {
    if (cmd.kind == DrawCommand::kImage && cmd.image == image) found.push_back(cmd);
  }
  return found;
}

// The first text drawn with exactly this string, or null when there is none.
inline const DrawCommand* FindTextCommand(const DisplayList& list, const std::string& text) {
  for (const auto& cmd : list) {
    if (cmd.kind == DrawCommand::kText && cmd.text == text) return &cmd;
  }
  return nullptr;
}

}  // namespace quarzello::gameplay_test
