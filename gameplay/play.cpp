// What the game makes of its inputs: the board rules' outcomes turned into
// points, counters, explosions and flying stones; pause, "Weiter", abort; the
// frame step with its clocks; and the end of the game.
#include <iterator>

#include "gameplay/game.h"

namespace quarzello {

namespace {

void TakeRemovedStones(Game& game, std::vector<std::unique_ptr<stone>>& removed, int columnsSupplied) {
  auto& flying = game.world.removedStones;
  if (flying.empty()) {
    flying.swap(removed);
  } else {
    flying.insert(flying.end(), std::make_move_iterator(removed.begin()), std::make_move_iterator(removed.end()));
  }
  game.sideSupply -= columnsSupplied;
}

void Apply(Game& game, ClickOutcome& outcome) {
  game.score += outcome.points;
  if (outcome.pointsCounter) game.world.counters.push_back(*outcome.pointsCounter);
  if (outcome.fadeCounters) FadeOutCounters(game.world.counters);
  if (outcome.blast) game.world.explosions.push_back(*outcome.blast);
  TakeRemovedStones(game, outcome.removed, outcome.columnsSupplied);
  if (outcome.bonus > 0) {
    game.outbox.push_back({GameNews::Bonus, outcome.bonus});
    game.score += outcome.bonus;
  }
  if (outcome.gameOver) EndGame(game);
}

// Everything left on the board flies off (no new stones come in once the
// game is over).
void ClearBoard(Game& game) {
  MarkEveryStone(game.world.board);
  Removal removal = RemoveMarkedStones(game.world.board, CurrentRules(game, game.now));
  TakeRemovedStones(game, removal.removed, removal.columnsSupplied);
}

// Turbo's time is up at its deadline; a Level game is over once the row is
// due that arrives while a column is full.
bool TimeIsUp(const Game& game, int64_t now) {
  if (game.gameMode == Turbo) return now >= game.deadline;
  if (game.gameMode != Level || now <= game.deadline) return false;
  for (int c = 0; c < kColumns; ++c) {
    if (game.world.board(c, 0) != nullptr) return true;
  }
  return false;
}

void CheckTurboClock(Game& game) {
  if (game.gameMode == Turbo && game.gameOverState == Running && game.now > game.deadline) EndGame(game);
}

}  // namespace

RuleContext CurrentRules(const Game& game, int64_t now) {
  RuleContext rules;
  rules.settings = game;
  rules.running = game.gameOverState == Running;
  rules.levelMode = game.gameMode == Level;
  rules.level = game.level;
  rules.sideSupply = game.sideSupply;
  rules.now = now;
  rules.random = game.random;
  return rules;
}

void ClickBoardCell(Game& game, int c, int r, int64_t now) {
  if (game.gameOverState != Running || game.paused || game.aborted) return;
  if (c < 0 || c >= kColumns || r < 0 || r >= kRows) return;
  // The loop was held up and the click comes long after the last frame:
  // the game first catches up with the frame it missed, clocks and all.
  if (game.recording.bounds.ClickLag(now) > kLongestClickLag) {
    BeginFrame(game, now);
    EndFrame(game);
    if (game.gameOverState != Running) return;
  }
  // More clicks than a mouse gives change nothing and are not recorded.
  if (!game.recording.bounds.Refusal(RecordTag::Click, now).empty()) return;
  RecordEvent(game.recording, RecordTag::Click, now, c, r);
  if (TimeIsUp(game, now)) {
    // The click came too late to count; the game ends at its moment.
    game.now = now;
    if (game.gameMode == Turbo) {
      EndGame(game);
    } else {
      FeedRowFromBelow(game);  // the row that ends it
    }
    return;
  }
  ClickOutcome outcome = ClickCell(game.world.board, CurrentRules(game, now), c, r);
  Apply(game, outcome);
}

void PauseGame(Game& game, int64_t now) {
  if (game.paused || game.aborted) return;
  RecordEvent(game.recording, RecordTag::Pause, now);
  game.paused = true;
  game.pauseStart = now;
}

void ResumeGame(Game& game, int64_t now) {
  if (!game.paused || game.aborted) return;
  RecordEvent(game.recording, RecordTag::Resume, now);
  game.paused = false;
  game.deadline += now - game.pauseStart;
}

void PressContinue(Game& game, int64_t now) {
  if (game.gameOverState != GameOver || game.paused || game.aborted) return;
  // After the end nothing is recorded.
  game.now = now;
  game.gameOverState = ClearingBoard;
  ClearBoard(game);
}

void AbortGame(Game& game, int64_t now) {
  if (game.aborted) return;
  RecordEvent(game.recording, RecordTag::Abort, now);
  EndRecording(game.recording);
  game.aborted = true;
}

void BeginFrame(Game& game, int64_t now) {
  RecordFrame(game.recording, now);
  game.now = now;
  StepBoardStones(game.world.board);
  StepExplosions(game.world.explosions);
  StepRemovedStones(game.world.removedStones);
  StepCounters(game.world.counters);
}

void EndFrame(Game& game) {
  DropFinishedEffects(game.world);
  CheckTurboClock(game);
  FeedRowFromBelow(game);
}

bool GameFinished(const Game& game) {
  return game.gameOverState == ClearingBoard && game.world.removedStones.empty();
}

void EndGame(Game& game) {
  game.gameOverState = GameOver;
  EndRecording(game.recording);
  // Turbo's time is up: nothing is left to look at, the board flies apart.
  if (game.gameMode == Turbo) ClearBoard(game);
  game.outbox.push_back({GameNews::Ended, 0});
}

}  // namespace quarzello
