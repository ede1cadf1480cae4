// One game: the choice of mode and difficulty, the settings derived from it,
// the play state, and the per-frame work of the game screen.
#pragma once

#include <cstdint>
#include <string>

enum GameModeId : uint8_t { Classic = 0, Turbo = 1, Level = 2 };

struct GameState {
  // The player's choice.
  uint8_t gameMode = Classic;
  uint8_t difficulty = 0;  // 0 Leicht, 1 Mittel, 2 Schwer; not read in Level mode

  // Settings derived by StartGame (and changed as Level mode rises).
  int feedFromTop = 0;
  int sideSupplyOn = 0;
  int instantRemove = 0;
  int maxColour = 3;
  int minGroup = 3;
  int bombLevel = 0;
  int rocksOn = 0;

  // Play state.
  int score = 0;
  int sideSupply = 0;
  int64_t deadline = 0;  // Turbo: end of play; Level: next row (NowMillis clock)
  int64_t pauseStart = 0;
  int level = 0;
  int rowsToNextLevel = 0;
  uint8_t gameOverState = 0;  // 0 playing, 1 "GAME OVER" shown, 2 clearing the board

  void reset() { *this = GameState{}; }
};
extern GameState game;

void StartGame();
void UpdateBoardStones();
void FeedRowFromBelow();
int RowInterval(int level);  // milliseconds between two Level rows
std::string FormatTimeLeft(int64_t deadline);
