// The Level mode's clock: a row from below at ever shorter intervals, and
// the level rise with its new colours, rocks and bombs.
#include <algorithm>
#include <cstdint>

#include "gameplay/game.h"

namespace quarzello {

namespace {

// How many rows a level lasts.
int RowsOfLevel(int level) {
  constexpr int kRowsOfLevel[] = {10, 10, 11, 12, 14, 16, 18, 22, 30};  // levels 1..9
  return level <= 9 ? kRowsOfLevel[std::max(level, 1) - 1] : 40;
}

// New colours, rocks, bombs and a larger smallest group, level by level.
void ApplyLevelSettings(Game& game, int level) {
  switch (level) {
    case 3: game.maxColour = 3; break;
    case 4: game.rocksOn = 1; break;
    case 5: game.bombLevel = 1; break;
    case 6: game.bombLevel = 2; break;
    case 7: game.minGroup = 3; break;
    default: break;
  }
}

}  // namespace

int RowInterval(int level) {
  // In 64 bits, so that a game left running for days cannot overflow.
  const int64_t l = level;
  return static_cast<int>(std::max<int64_t>(500, 3000 - l * (10 * l + 150)));
}

void FeedRowFromBelow(Game& game) {
  if (game.gameMode != Level || game.gameOverState != Running || game.now <= game.deadline) return;

  int rows = game.rowsToNextLevel - 1;
  if (rows == 0) {
    game.level += 1;
    rows = RowsOfLevel(game.level);
    ApplyLevelSettings(game, game.level);
    game.outbox.push_back({GameNews::LevelRose, game.level});
  }
  game.rowsToNextLevel = rows;
  game.deadline = game.now + RowInterval(game.level);

  // The row is pushed in even when a column was full; that ends the game.
  if (PushRowFromBelow(game.world.board, game, *game.random)) EndGame(game);
}

}  // namespace quarzello
