#include "gameplay/game.h"
#include "gameplay/modes.h"

namespace quarzello {

namespace {

// What a mode and difficulty start with. sideSupply is only used by Classic,
// the other modes leave the value of an earlier game alone.
struct StartSettings {
  BoardSettings board;
  int sideSupply;  // -1: not changed
};

// In the order of the rankings: Classic Leicht, Mittel, Schwer; Turbo Leicht,
// Mittel, Schwer; Level. Settings: feedFromTop, sideSupplyOn, instantRemove,
// maxColour, minGroup, bombLevel, rocksOn.
constexpr StartSettings kStartSettings[kRankings] = {
    {{0, 1, 0, 2, 1, 0, 0}, 20}, {{0, 1, 0, 3, 2, 0, 0}, 10}, {{0, 0, 0, 3, 3, 0, 0}, 0},
    {{1, 0, 1, 2, 1, 0, 0}, -1}, {{1, 0, 1, 3, 2, 0, 0}, -1}, {{1, 0, 1, 3, 3, 0, 1}, -1},
    {{0, 0, 1, 2, 2, 0, 0}, -1},
};

constexpr int kTurboMillis = 121000;
constexpr int kFirstRowMillis = 2100;
constexpr int kLevelEmptyRows = 9;  // a Level game starts with the lower 10 rows filled

}  // namespace

void StartGame(Game& game, Random& random, int64_t now) {
  BeginRecording(game.recording, game.gameMode, game.difficulty, random.state, now);
  game.random = &random;
  game.now = now;
  game.outbox.clear();
  game.paused = false;
  game.aborted = false;

  const StartSettings& chosen = kStartSettings[RankingIndex(game.gameMode, game.difficulty)];
  static_cast<BoardSettings&>(game) = chosen.board;
  if (chosen.sideSupply >= 0) game.sideSupply = chosen.sideSupply;
  int emptyRows = 0;
  if (game.gameMode == Level) {
    game.level = 1;
    game.rowsToNextLevel = 10;
    emptyRows = kLevelEmptyRows;
  }

  game.score = 0;

  // Row by row, so the stones draw their kinds in the same order as every
  // other full-board scan; all of them fly in from the middle of the canvas.
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      game.world.board(c, r) = r < emptyRows ? nullptr : stone::create(kMiddleX, kMiddleY, game, random);
    }
  }

  game.world.removedStones.clear();
  game.world.counters.clear();
  game.world.explosions.clear();
  // A group left marked by an abandoned game has no stones on the new board;
  // the flag would only swallow the first click.
  game.world.board.groupMarked = 0;

  game.gameOverState = Running;

  if (game.gameMode == Turbo) game.deadline = now + kTurboMillis;
  if (game.gameMode == Level) game.deadline = now + kFirstRowMillis;
}

}  // namespace quarzello
