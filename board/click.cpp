#include <array>
#include <cstdint>

#include "board/rules.h"

namespace quarzello {

namespace {

int CountStonesInMode(const Board& board, int lowest, int highest) {
  int n = 0;
  for (const auto& cell : board.cells) {
    if (cell != nullptr && cell->mode >= lowest && cell->mode <= highest) ++n;
  }
  return n;
}

void TakeRemoval(Removal removal, ClickOutcome& outcome) {
  outcome.removed = std::move(removal.removed);
  outcome.columnsSupplied = removal.columnsSupplied;
}

// A colour bomb takes every stone of its colour, itself and other bombs of
// that colour included.
void MarkColourBombBlast(Board& board, int c, int r) {
  const int colour = board(c, r)->col;
  for (auto& cell : board.cells) {
    if (cell != nullptr && cell->col == colour) cell->mode = Growing;
  }
}

// An area bomb takes the 7 x 7 square around it as far as it lies on the
// board; everything caught flies off in the grey glow, and bombs caught in the
// blast go without exploding.
explosion MarkAreaBombBlast(Board& board, int c, int r) {
  for (int dy = -3; dy <= 3; ++dy) {
    for (int dx = -3; dx <= 3; ++dx) {
      const int cc = c + dx, rr = r + dy;
      if (cc < 0 || cc >= kColumns || rr < 0 || rr >= kRows) continue;
      stone* s = board(cc, rr).get();
      if (s == nullptr) continue;
      s->mode = Growing;
      s->col = kGrey;
    }
  }
  // The blast centres on the bomb cell's lower right corner.
  explosion blast;
  blast.x = CellCentreX(c) + kCellSize / 2;
  blast.y = CellCentreY(r) + kCellSize / 2;
  blast.sx = blast.sy = 5.0f;
  blast.alpha = 1.0f;
  return blast;
}

void TakeExplosion(Board& board, const RuleContext& rules, ClickOutcome& outcome) {
  outcome.result = ClickResult::Exploded;
  TakeRemoval(RemoveMarkedStones(board, rules), outcome);
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

ClickOutcome FirstClick(Board& board, const RuleContext& rules, int c, int r) {
  ClickOutcome outcome;
  const stone* clicked = board(c, r).get();
  if (clicked == nullptr) return outcome;
  switch (clicked->Kind()) {
    case StoneKind::ColourBomb:
      MarkColourBombBlast(board, c, r);
      TakeExplosion(board, rules, outcome);
      return outcome;
    case StoneKind::AreaBomb:
      outcome.blast = MarkAreaBombBlast(board, c, r);
      TakeExplosion(board, rules, outcome);
      return outcome;
    case StoneKind::Rock: return outcome;
    case StoneKind::Ordinary: break;
  }

  const BoardSettings& settings = rules.settings;
  MarkGroup(board, c, r, clicked->col, rules.now);
  const int n = CountStonesInMode(board, Growing, Growing);
  outcome.stones = n;
  if (n < settings.minGroup) {
    for (auto& cell : board.cells) {
      if (cell != nullptr && cell->mode > Resting) cell->mode = Resting;
    }
    outcome.result = ClickResult::TooSmall;
    return outcome;
  }

  if (settings.instantRemove == 0) {
    board.groupMarked = 1;
    outcome.result = ClickResult::Marked;
    outcome.pointsCounter = PointsCounter(board, n * n);
    return outcome;
  }
  outcome.result = ClickResult::Removed;
  outcome.points = GroupPoints(n, rules.levelMode, rules.level);
  TakeRemoval(RemoveMarkedStones(board, rules), outcome);
  if (rules.levelMode && NoMoveLeft(board, settings.minGroup)) outcome.bonus = LevelBonus(board, rules.level);
  return outcome;
}

ClickOutcome ConfirmingClick(Board& board, const RuleContext& rules, int c, int r) {
  ClickOutcome outcome;
  outcome.result = ClickResult::LetGo;
  const stone* clicked = board(c, r).get();
  if (clicked != nullptr && clicked->IsMarked()) {
    const int n = CountStonesInMode(board, Growing, Marked);
    outcome.result = ClickResult::Confirmed;
    outcome.stones = n;
    outcome.points = n * n;  // what the counter showed
    TakeRemoval(RemoveMarkedStones(board, rules), outcome);
    outcome.gameOver = NoMoveLeft(board, rules.settings.minGroup);
  }
  // Hit or miss, whatever is still marked lets go.
  for (auto& cell : board.cells) {
    if (cell != nullptr && cell->IsMarked()) cell->mode = Shrinking;
  }
  board.groupMarked = 0;
  outcome.fadeCounters = true;
  return outcome;
}

}  // namespace

ClickOutcome ClickCell(Board& board, const RuleContext& rules, int c, int r) {
  return board.groupMarked == 0 ? FirstClick(board, rules, c, r) : ConfirmingClick(board, rules, c, r);
}

void MarkGroup(Board& board, int c, int r, int colour, int64_t now) {
  stone* s = board(c, r).get();
  s->mode = Growing;
  s->ms = now;
  auto joins = [&](int nc, int nr) {
    const stone* n = board(nc, nr).get();
    // Not yet marked: a stone still appearing or shrinking back joins as well.
    return n != nullptr && n->col == colour && !n->IsMarked() && !n->IsBomb();
  };
  if (r > 0 && joins(c, r - 1)) MarkGroup(board, c, r - 1, colour, now);
  if (c > 0 && joins(c - 1, r)) MarkGroup(board, c - 1, r, colour, now);
  if (c < kColumns - 1 && joins(c + 1, r)) MarkGroup(board, c + 1, r, colour, now);
  if (r < kRows - 1 && joins(c, r + 1)) MarkGroup(board, c, r + 1, colour, now);
}

bool NoMoveLeft(const Board& board, int minGroup) {
  ScratchGrid grid{};
  for (int i = 0; i < kColumns * kRows; ++i) {
    const stone* s = board.cells[i].get();
    if (s == nullptr) continue;
    if (s->IsBomb()) return false;  // a bomb can always be clicked
    if (s->Kind() == StoneKind::Ordinary) grid[i] = static_cast<uint8_t>(s->col + 1);
  }
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      if (grid[c * kRows + r] > 0 && GroupSize(grid, c, r) >= minGroup) return false;
    }
  }
  return true;
}

int CountStones(const Board& board) { return CountStonesInMode(board, Appearing, Removed); }

int GroupPoints(int stones, bool levelMode, int level) {
  const int points = stones * stones;
  return levelMode ? points * level : points;
}

int LevelBonus(const Board& board, int level) {
  const int bonus = 500 * level - 250 * CountStones(board);
  if (bonus < 0) return 0;
  return bonus == 0 ? 100 : bonus;
}

counter PointsCounter(const Board& board, int points) {
  int minColumn = kColumns - 1, maxColumn = 0, minRow = kRows - 1;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      const stone* s = board(c, r).get();
      if (s == nullptr || !s->IsMarked()) continue;
      if (c < minColumn) minColumn = c;
      if (c > maxColumn) maxColumn = c;
      if (r < minRow) minRow = r;
    }
  }
  // Centred over the group's columns, one cell above its top row.
  counter shown;
  shown.x = (CellCentreX(minColumn) + CellCentreX(maxColumn)) / 2.0f;
  shown.y = CellCentreY(minRow) - kCellSize / 2;
  shown.points = points;
  return shown;
}

}  // namespace quarzello
