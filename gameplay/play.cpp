// What the game makes of the board rules' outcomes: points, counters,
// explosions, flying stones, messages and the end of the game.
#include <iterator>

#include "front/frontend.h"
#include "front/widgets.h"
#include "gameplay/game.h"
#include "platform/platform.h"

namespace quarzello {

namespace {

void TakeRemovedStones(std::vector<std::unique_ptr<stone>>& removed, int columnsSupplied) {
  if (world.removedStones.empty()) {
    world.removedStones.swap(removed);
  } else {
    world.removedStones.insert(world.removedStones.end(), std::make_move_iterator(removed.begin()),
                               std::make_move_iterator(removed.end()));
  }
  game.sideSupply -= columnsSupplied;
}

void Apply(ClickOutcome& outcome) {
  game.score += outcome.points;
  if (outcome.pointsCounter) world.counters.push_back(*outcome.pointsCounter);
  if (outcome.fadeCounters) FadeOutCounters(world.counters);
  if (outcome.blast) world.explosions.push_back(*outcome.blast);
  TakeRemovedStones(outcome.removed, outcome.columnsSupplied);
  if (outcome.bonus > 0) {
    TMsg::create("Bonus: " + IntToText(outcome.bonus), 50, 50);
    game.score += outcome.bonus;
  }
  if (outcome.gameOver) EndGame();
}

}  // namespace

RuleContext CurrentRules() {
  RuleContext rules;
  rules.settings = game;
  rules.running = game.gameOverState == Running;
  rules.levelMode = game.gameMode == Level;
  rules.level = game.level;
  rules.sideSupply = game.sideSupply;
  rules.now = NowMillis();
  rules.random = RandomInt;
  return rules;
}

void ClickBoardCell(int c, int r) {
  ClickOutcome outcome = ClickCell(world.board, CurrentRules(), c, r);
  Apply(outcome);
}

void EndGame() {
  game.gameOverState = GameOver;
  // Turbo's time is up: nothing is left to look at, the board flies apart.
  if (game.gameMode == Turbo) ClearBoard();
  // A level or bonus message still showing gives way.
  TMsg::messages.clear();
  TMsg::create("GAME OVER", -1, 0);
}

void ClearBoard() {
  MarkEveryStone(world.board);
  Removal removal = RemoveMarkedStones(world.board, CurrentRules());
  TakeRemovedStones(removal.removed, removal.columnsSupplied);
}

}  // namespace quarzello
