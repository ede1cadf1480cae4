// One game: the choice of mode and difficulty, the settings derived from it,
// the play state, and what the game screen does with the board rules.
#pragma once

#include <cstdint>
#include <string>

#include "board/board.h"
#include "board/rules.h"

namespace quarzello {

enum GameModeId : uint8_t { Classic = 0, Turbo = 1, Level = 2 };
enum DifficultyId : uint8_t { Leicht = 0, Mittel = 1, Schwer = 2 };

enum GameOverState : uint8_t {
  Running = 0,        // the board takes clicks
  GameOver = 1,       // "GAME OVER" shown, "Weiter" offered
  ClearingBoard = 2,  // "Weiter" pressed: the last stones fly off
};

// The settings (derived by StartGame, changed as Level mode rises) and the
// play state of the one game.
struct GameState : BoardSettings {
  // The player's choice.
  uint8_t gameMode = Classic;
  uint8_t difficulty = Leicht;  // not read in Level mode

  // Play state.
  int score = 0;
  int sideSupply = 0;
  int64_t deadline = 0;  // Turbo: end of play; Level: next row (NowMillis clock)
  int64_t pauseStart = 0;
  int level = 0;
  int rowsToNextLevel = 0;
  uint8_t gameOverState = Running;

  void reset() { *this = GameState{}; }
};
extern GameState game;
// The board of the game and the effects in flight over it.
extern World world;

void StartGame();

// The rules' view of the game as it stands: settings, clock and generator.
RuleContext CurrentRules();
// A click on cell (c, r) of a running game, wherever the mouse is (the
// game screen maps the mouse; the keyboard has a cursor of its own).
void ClickBoardCell(int c, int r);
// The one place where a game ends: "GAME OVER" and, in Turbo, the board
// flies apart at once.
void EndGame();
// Everything left on the board flies off (no new stones come in once the
// game is over).
void ClearBoard();

// The stones' per-frame animation: growing, marking, gliding to their cells.
void StepBoardStones(Board& board);

// Level mode: a new row from below when its time has come, and the level rise.
void FeedRowFromBelow();
int RowInterval(int level);  // milliseconds between two Level rows

}  // namespace quarzello
