// The board rules: what a click, a removal and a rising row do to the board.
// They take what they need (the board, the settings, the clock reading and
// the random generator) and return what happened; turning that into points,
// messages and effects on screen is the game's business.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "board/board.h"

namespace quarzello {

// Everything besides the board that a move depends on.
struct RuleContext {
  BoardSettings settings;
  bool running = true;    // new stones come in only while the game runs
  bool levelMode = false; // points times the level, and the level bonus
  int level = 1;
  int sideSupply = 0;     // columns still to be pushed in from the sides
  int64_t now = 0;        // clock reading, stamped on marked stones
  Random* random = nullptr;  // the game's generator, which every new stone draws from
};

// ---------------------------------------------------------------- a click

enum class ClickResult : uint8_t {
  Ignored,    // outside every stone, a rock, or an empty cell with nothing marked
  TooSmall,   // the group is smaller than minGroup and let go at once
  Marked,     // two-click play: the group waits for the confirming click
  Removed,    // one-click play: the group is gone
  Exploded,   // a bomb went off
  Confirmed,  // two-click play: the marked group is gone
  LetGo,      // two-click play: a click beside the marked group
};

struct ClickOutcome {
  ClickResult result = ClickResult::Ignored;
  int stones = 0;  // marked or removed
  int points = 0;  // earned by this click
  std::optional<counter> pointsCounter;  // to show what a marked group is worth
  bool fadeCounters = false;             // the shown counters have had their say
  std::optional<explosion> blast;
  std::vector<std::unique_ptr<stone>> removed;  // in order of removal, to fly off
  int columnsSupplied = 0;                      // side supply used up
  int bonus = 0;         // Level: the board was cleared down to no move
  bool gameOver = false; // two-click play: the confirmed removal left no move
};

// A click on cell (c, r) of the board.
ClickOutcome ClickCell(Board& board, const RuleContext& rules, int c, int r);

void MarkGroup(Board& board, int c, int r, int colour, int64_t now);
bool NoMoveLeft(const Board& board, int minGroup);
int CountStones(const Board& board);

// ---------------------------------------------------------------- removal

struct Removal {
  std::vector<std::unique_ptr<stone>> removed;  // in order of removal
  int columnsSupplied = 0;
};

// Takes every marked stone off the board and sets it flying, lets the stones
// above fall, refills from the top (feedFromTop) and closes empty columns.
Removal RemoveMarkedStones(Board& board, const RuleContext& rules);
void ApplyGravity(Board& board, const RuleContext& rules, std::vector<std::unique_ptr<stone>>& removed);
int CloseEmptyColumns(Board& board, const RuleContext& rules);  // returns the columns supplied

// Everything on the board marked, to be cleared away at the end of a game.
void MarkEveryStone(Board& board);

// ---------------------------------------------------------------- points

int GroupPoints(int stones, bool levelMode, int level);  // n * n, times the level in Level mode
// The bonus for a Level board without a move; 0 when there is none.
int LevelBonus(const Board& board, int level);
// The counter that shows what the marked group is worth, above its top row.
counter PointsCounter(const Board& board, int points);

// ---------------------------------------------------------------- the rising row

// Pushes every stone up by one cell and fills the bottom row with new
// stones; returns whether a column was full (its top stone is dropped).
bool PushRowFromBelow(Board& board, const BoardSettings& settings, Random& random);

// ---------------------------------------------------------------- effects, one frame each

void FadeOutCounters(std::vector<counter>& counters);
void StepCounters(std::vector<counter>& counters);
void StepRemovedStones(std::vector<std::unique_ptr<stone>>& removed);
void StepExplosions(std::vector<explosion>& explosions);
// Drops the effects that have run their course (after their last frame is drawn).
void DropFinishedEffects(World& world);

}  // namespace quarzello
