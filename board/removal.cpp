#include "board/rules.h"
#include "base/numbers.h"

namespace quarzello {

Removal RemoveMarkedStones(Board& board, const RuleContext& rules) {
  int minColumn = kColumns - 1, maxColumn = 0, minRow = kRows - 1, maxRow = 0;
  size_t marked = 0;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      stone* s = board(c, r).get();
      if (s == nullptr || !s->IsMarked()) continue;
      if (c < minColumn) minColumn = c;
      if (c > maxColumn) maxColumn = c;
      if (r < minRow) minRow = r;
      if (r > maxRow) maxRow = r;
      s->mode = Removed;
      ++marked;
    }
  }

  // The stones fly away from the middle of the removed area's bounding box.
  const float cx = static_cast<float>(minColumn + maxColumn) / 2.0f;
  const float cy = static_cast<float>(minRow + maxRow) / 2.0f;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      stone* s = board(c, r).get();
      if (s == nullptr || s->mode != Removed) continue;
      const float fc = static_cast<float>(c), fr = static_cast<float>(r);
      int w = Truncate(ATan2Deg(100.0f * fr - 100.0f * cy, 100.0f * fc - 100.0f * cx));
      // 0 means "stays in place", so a stone straight right of the centre
      // flies off at 1 degree instead.
      if (w == 0) w = 1;
      if (fc == cx && fr == cy) w = 0;
      s->w = w;
    }
  }

  Removal removal;
  removal.removed.reserve(marked);
  ApplyGravity(board, rules, removal.removed);
  removal.columnsSupplied = CloseEmptyColumns(board, rules);
  return removal;
}

void ApplyGravity(Board& board, const RuleContext& rules, std::vector<std::unique_ptr<stone>>& removed) {
  const bool refill = rules.settings.feedFromTop == 1 && rules.running;
  for (int c = 0; c < kColumns; ++c) {
    int r = kRows - 1;
    while (r >= 0 && board(c, r) != nullptr) {
      if (board(c, r)->mode != Removed) {
        --r;
        continue;
      }
      removed.push_back(std::move(board(c, r)));
      for (int k = r; k >= 1; --k) board(c, k) = std::move(board(c, k - 1));
      if (refill) board(c, 0) = stone::create(static_cast<int>(CellCentreX(c)), kRefillY, rules.settings, *rules.random);
      // Row r now holds the stone from above, which may be removed as well.
    }
  }
}

namespace {

// Column `to` takes over all cells of column `from`, which is left empty.
void MoveColumn(Board& board, int from, int to) {
  for (int r = 0; r < kRows; ++r) board(to, r) = std::move(board(from, r));
}

// Refills the outer column `c` with a fresh column entering from x, or leaves
// it empty; returns whether a column was supplied.
bool SupplyColumn(Board& board, const RuleContext& rules, int c, int x, bool supplied) {
  for (int r = 0; r < kRows; ++r) {
    if (supplied) {
      board(c, r) = stone::create(x, static_cast<int>(CellCentreY(r)), rules.settings, *rules.random);
    } else {
      board(c, r).reset();
    }
  }
  return supplied;
}

}  // namespace

int CloseEmptyColumns(Board& board, const RuleContext& rules) {
  int supply = rules.sideSupply;
  auto supplied = [&] { return rules.settings.sideSupplyOn == 1 && supply > 0 && rules.running; };

  // Each half closes toward the middle: column 8 always from the left, column
  // 9 from the right, so no stone ever crosses between the halves.
  for (int c = 0; c <= 8; ++c) {
    if (board(c, kRows - 1) != nullptr) continue;
    for (int d = c; d >= 1; --d) MoveColumn(board, d - 1, d);
    if (SupplyColumn(board, rules, 0, kLeftSupplyX, supplied())) --supply;
  }
  for (int c = kColumns - 1; c >= 9; --c) {
    if (board(c, kRows - 1) != nullptr) continue;
    for (int d = c; d <= kColumns - 2; ++d) MoveColumn(board, d + 1, d);
    if (SupplyColumn(board, rules, kColumns - 1, kRightSupplyX, supplied())) --supply;
  }
  return rules.sideSupply - supply;
}

void MarkEveryStone(Board& board) {
  for (auto& cell : board.cells) {
    if (cell != nullptr) cell->mode = Marked;
  }
}

bool PushRowFromBelow(Board& board, const BoardSettings& settings, Random& random) {
  // Everything moves up one cell and keeps its position, so the whole board
  // glides up; the new row starts just below the board.
  bool columnWasFull = false;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      if (r == 0 && board(c, 0) != nullptr) columnWasFull = true;
      if (r < kRows - 1) {
        board(c, r) = std::move(board(c, r + 1));
      } else {
        board(c, r) = stone::create(static_cast<int>(CellCentreX(c)), kRisingRowY, settings, random);
      }
    }
  }
  return columnWasFull;
}

}  // namespace quarzello
