// The cost of the board rules on a full board: one click that removes a large
// group, and the move test on a board without a move.
#include <benchmark/benchmark.h>

#include "board/board.h"
#include "board/rules.h"
#include "gameplay/game.h"
#include "platform/platform.h"

using namespace quarzello;

namespace {

void PutStone(Game& game, int c, int r, int colour) {
  auto& cell = game.world.board(c, r);
  cell = std::make_unique<stone>();
  cell->x = CellCentreX(c);
  cell->y = CellCentreY(r);
  cell->sx = cell->sy = cell->alpha = 1.0f;
  cell->mode = Resting;
  cell->col = colour;
}

// Colour 0 in the 5 x 8 block of columns 6..10, rows 11..18 (40 stones), and
// a pattern of the other three colours around it that never touches it with
// colour 0.
void FillBoardWithFortyStoneGroup(Game& game) {
  for (int c = 0; c < kColumns; ++c) {
    for (int r = 0; r < kRows; ++r) {
      const bool inGroup = c >= 6 && c <= 10 && r >= 11;
      PutStone(game, c, r, inGroup ? 0 : 1 + (c + r) % 3);
    }
  }
}

void BM_ClickRemovingFortyStones(benchmark::State& state) {
  Random generator;
  generator.Seed(1);
  Game game;
  game.random = &generator;
  game.gameMode = Turbo;
  game.feedFromTop = 1;
  game.instantRemove = 1;
  game.minGroup = 2;
  for (auto _ : state) {
    state.PauseTiming();
    game.world.reset();
    FillBoardWithFortyStoneGroup(game);
    state.ResumeTiming();
    ClickBoardCell(game, 8, 15, 1000);
  }
  if (game.world.removedStones.size() != 40) state.SkipWithError("the click did not remove 40 stones");
}
BENCHMARK(BM_ClickRemovingFortyStones);

// Stripes of three colours in a checkered order: no two neighbours share a
// colour, so no group of two exists.
void BM_NoMoveLeftOnFullBoard(benchmark::State& state) {
  Game game;
  game.minGroup = 2;
  for (int c = 0; c < kColumns; ++c) {
    for (int r = 0; r < kRows; ++r) PutStone(game, c, r, (c + 2 * r) % 3);
  }
  bool noMove = false;
  for (auto _ : state) {
    noMove = NoMoveLeft(game.world.board, game.minGroup);
    benchmark::DoNotOptimize(noMove);
  }
  if (!noMove) state.SkipWithError("the board has a move");
}
BENCHMARK(BM_NoMoveLeftOnFullBoard);

}  // namespace
