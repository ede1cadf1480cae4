// One game as one value: the choice of mode and difficulty, the settings
// derived from it, the play state, the board with the effects in flight, the
// generator it draws from, its recording, and an outbox of what happened that
// the screens show. It is fed plain events (a click on a cell, pause, resume,
// "Weiter", abort) and one step per frame with that frame's time, and reads
// no clock, no global and no pixel: the same inputs play the same game in
// the window, in a test and in a replay.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/rules.h"
#include "gameplay/recording.h"
#include "base/random.h"

namespace quarzello {

enum GameModeId : uint8_t { Classic = 0, Turbo = 1, Level = 2 };
enum DifficultyId : uint8_t { Leicht = 0, Mittel = 1, Schwer = 2 };

enum GameOverState : uint8_t {
  Running = 0,        // the board takes clicks
  GameOver = 1,       // "GAME OVER" shown, "Weiter" offered
  ClearingBoard = 2,  // "Weiter" pressed: the last stones fly off
};

// What a game reports as it happens, for the screens to show.
struct GameNews {
  enum Kind : uint8_t {
    Ended,      // "GAME OVER": messages still showing give way to it
    Bonus,      // value: the bonus points of a Level board without a move
    LevelRose,  // value: the new level
  };
  Kind kind = Ended;
  int value = 0;

  bool operator==(const GameNews&) const = default;
};

struct Game : BoardSettings {
  // The player's choice.
  uint8_t gameMode = Classic;
  uint8_t difficulty = Leicht;  // not read in Level mode

  // Play state.
  int score = 0;
  int sideSupply = 0;
  int64_t deadline = 0;  // Turbo: end of play; Level: next row (the frames' clock)
  int64_t pauseStart = 0;
  int level = 0;
  int rowsToNextLevel = 0;
  uint8_t gameOverState = Running;
  bool paused = false;
  bool aborted = false;

  // The time of the frame being played: every rule of one frame sees it.
  int64_t now = 0;

  World world;
  Random* random = nullptr;  // shared with the games before and after this one
  GameRecording recording;
  std::vector<GameNews> outbox;  // taken and emptied by whoever shows the game
};

// A new game of game.gameMode and game.difficulty, dealt from random, started
// at time now. Values that the mode does not set stay as the last game left
// them, as the player's first game found them at zero.
void StartGame(Game& game, Random& random, int64_t now);

// A click on cell (c, r) at time now; ignored unless the game runs, and
// beyond the clicks a mouse gives (recording.h). A click at or after
// Turbo's deadline, or after the Level row that ends the game was due, ends
// the game instead. A click long after the last frame first plays the frame
// the loop missed.
void ClickBoardCell(Game& game, int c, int r, int64_t now);
// Pause stops the clocks; resume moves the deadline by the time paused.
void PauseGame(Game& game, int64_t now);
void ResumeGame(Game& game, int64_t now);
// "Weiter" after "GAME OVER": everything left on the board flies off.
void PressContinue(Game& game, int64_t now);
// The player gives the game up; it is neither scored nor played on.
void AbortGame(Game& game, int64_t now);

// One frame, in two halves at one time. BeginFrame moves the stones and the
// effects on by a step; the screen then draws the game as it stands;
// EndFrame drops the effects that have run their course and runs the clocks
// (the Turbo end, the Level rows), whose doings show from the next frame on.
void BeginFrame(Game& game, int64_t now);
void EndFrame(Game& game);
// "Weiter" was pressed and the last stone has flown off.
bool GameFinished(const Game& game);

// The rules' view of the game as it stands, at time now.
RuleContext CurrentRules(const Game& game, int64_t now);
// The one place where a game ends: "GAME OVER" and, in Turbo, the board
// flies apart at once.
void EndGame(Game& game);

// The stones' per-frame animation: growing, marking, gliding to their cells.
void StepBoardStones(Board& board);
// Level mode: a new row from below when its time has come, and the level rise.
void FeedRowFromBelow(Game& game);
int RowInterval(int level);  // milliseconds between two Level rows

}  // namespace quarzello
