#include <array>
#include <cstdint>

#include "board/board.h"
#include "board/rules.h"
#include "front/widgets.h"
#include "gameplay/game.h"
#include "platform/platform.h"

namespace {

int CountStonesInMode(int lowest, int highest) {
  int n = 0;
  for (const auto& cell : world.board.cells) {
    if (cell != nullptr && cell->mode >= lowest && cell->mode <= highest) ++n;
  }
  return n;
}

void ExplodeBomb(int c, int r) {
  Board& board = world.board;
  const int colour = board(c, r)->col;
  if (colour != 4) {
    // A colour bomb takes every stone of its colour, itself and other bombs
    // of that colour included.
    for (auto& cell : board.cells) {
      if (cell != nullptr && cell->col == colour) cell->mode = Growing;
    }
  } else {
    // An area bomb takes the 7 x 7 square around it as far as it lies on the
    // board; everything caught flies off in the grey glow, and bombs caught in
    // the blast go without exploding.
    for (int dy = -3; dy <= 3; ++dy) {
      for (int dx = -3; dx <= 3; ++dx) {
        const int cc = c + dx, rr = r + dy;
        if (cc < 0 || cc >= kColumns || rr < 0 || rr >= kRows) continue;
        stone* s = board(cc, rr).get();
        if (s == nullptr) continue;
        s->mode = Growing;
        s->col = 4;
      }
    }
    explosion blast;
    blast.x = static_cast<float>(50 + 20 * c);
    blast.y = static_cast<float>(110 + 20 * r);
    blast.sx = blast.sy = 5.0f;
    blast.alpha = 1.0f;
    world.explosions.push_back(blast);
  }
  RemoveMarkedStones();
}

using ScratchGrid = std::array<uint8_t, kColumns * kRows>;

// Size of the component of equal values around (c, r); zeroes every cell it
// counts so that each component is measured once.
int GroupSize(ScratchGrid& grid, int c, int r) {
  const uint8_t v = grid[c * kRows + r];
  grid[c * kRows + r] = 0;
  int size = 1;
  if (r > 0 && grid[c * kRows + r - 1] == v) size += GroupSize(grid, c, r - 1);
  if (r < kRows - 1 && grid[c * kRows + r + 1] == v) size += GroupSize(grid, c, r + 1);
  if (c > 0 && grid[(c - 1) * kRows + r] == v) size += GroupSize(grid, c - 1, r);
  if (c < kColumns - 1 && grid[(c + 1) * kRows + r] == v) size += GroupSize(grid, c + 1, r);
  return size;
}

void HandleFirstClick(int c, int r) {
  stone* clicked = world.board(c, r).get();
  if (clicked == nullptr) return;
  if (clicked->bombe == 1) {
    ExplodeBomb(c, r);
    return;
  }
  if (clicked->col == 4) return;  // a rock

  MarkGroup(c, r, clicked->col);
  const int n = CountStonesInMode(Growing, Growing);
  if (n < game.minGroup) {
    for (auto& cell : world.board.cells) {
      if (cell != nullptr && cell->mode > Resting) cell->mode = Resting;
    }
    return;
  }

  world.groupMarked = 1;
  if (game.instantRemove == 0) {
    SpawnPointsCounter(n * n);
    return;
  }
  world.groupMarked = 0;
  game.score += GroupPoints(n);
  RemoveMarkedStones();
  if (game.gameMode == Level && NoMoveLeft()) AwardLevelBonus();
}

void HandleConfirmingClick(int c, int r) {
  const stone* clicked = world.board(c, r).get();
  if (clicked != nullptr && clicked->IsMarked()) {
    const int n = CountStonesInMode(Growing, Marked);
    game.score += n * n;  // what the counter showed
    RemoveMarkedStones();
    if (NoMoveLeft()) {
      TMsg::create("GAME OVER", -1, 0);
      game.gameOverState = 1;
    }
  }
  // Hit or miss, whatever is still marked lets go.
  for (auto& cell : world.board.cells) {
    if (cell != nullptr && cell->IsMarked()) cell->mode = Shrinking;
  }
  world.groupMarked = 0;
  FadeOutCounters();
}

}  // namespace

void HandleBoardClick() {
  if (!MouseInsideBoard()) return;
  int c = 0, r = 0;
  CellUnderMouse(c, r);
  ClickCell(c, r);
}

void ClickCell(int c, int r) {
  if (world.groupMarked == 0) {
    HandleFirstClick(c, r);
  } else {
    HandleConfirmingClick(c, r);
  }
}

void MarkGroup(int c, int r, int colour) {
  stone* s = world.board(c, r).get();
  s->mode = Growing;
  s->ms = NowMillis();
  auto joins = [&](int nc, int nr) {
    const stone* n = world.board(nc, nr).get();
    // Not yet marked: a stone still appearing or shrinking back joins as well.
    return n != nullptr && n->col == colour && !n->IsMarked() && n->bombe == 0;
  };
  if (r > 0 && joins(c, r - 1)) MarkGroup(c, r - 1, colour);
  if (c > 0 && joins(c - 1, r)) MarkGroup(c - 1, r, colour);
  if (c < kColumns - 1 && joins(c + 1, r)) MarkGroup(c + 1, r, colour);
  if (r < kRows - 1 && joins(c, r + 1)) MarkGroup(c, r + 1, colour);
}

bool NoMoveLeft() {
  ScratchGrid grid{};
  for (int i = 0; i < kColumns * kRows; ++i) {
    const stone* s = world.board.cells[i].get();
    if (s == nullptr) continue;
    if (s->bombe == 1) return false;  // a bomb can always be clicked
    if (s->col != 4) grid[i] = static_cast<uint8_t>(s->col + 1);
  }
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      if (grid[c * kRows + r] > 0 && GroupSize(grid, c, r) >= game.minGroup) return false;
    }
  }
  return true;
}

int CountStones() { return CountStonesInMode(Appearing, Removed); }
