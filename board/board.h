// The board: 17 columns by 19 rows of stones, row 0 at the top, its
// geometry in design units, and the short-lived objects that a removal
// leaves behind. Plain data; the rules that change it are in board/rules.h.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/random.h"

namespace quarzello {

constexpr int kColumns = 17;
constexpr int kRows = 19;

// ---------------------------------------------------------------- geometry

// Cells are kCellSize design units apart; the board's outer edge runs from
// (kBoardLeft, kBoardTop) to (kBoardRight, kBoardBottom).
constexpr float kCellSize = 20.0f;
constexpr float kBoardLeft = 30.0f;
constexpr float kBoardTop = 90.0f;
constexpr float kBoardRight = kBoardLeft + kColumns * kCellSize;  // 370
constexpr float kBoardBottom = kBoardTop + kRows * kCellSize;     // 470

constexpr float CellCentreX(int c) { return kBoardLeft + kCellSize / 2 + kCellSize * static_cast<float>(c); }
constexpr float CellCentreY(int r) { return kBoardTop + kCellSize / 2 + kCellSize * static_cast<float>(r); }

// Where new stones start before they glide to their cells.
constexpr int kMiddleX = 200, kMiddleY = 250;    // a new game's stones fly in from here
constexpr int kRefillY = 65;                     // Turbo: above the top row
constexpr int kLeftSupplyX = 10;                 // Classic: the side columns enter from outside
constexpr int kRightSupplyX = 390;
constexpr int kRisingRowY = 490;                 // Level: just below the bottom row

// What the rules read of the game's settings (chosen by mode and difficulty,
// changed as a Level game rises).
struct BoardSettings {
  int feedFromTop = 0;    // every removed stone is replaced from the top
  int sideSupplyOn = 0;   // emptied outer columns are refilled from the sides
  int instantRemove = 0;  // 1: one click removes; 0: a click marks, a second removes
  int maxColour = 3;      // colours 0..maxColour
  int minGroup = 3;       // smallest group that may be removed
  int bombLevel = 0;      // 0 none, 1 colour bombs, 2 colour and area bombs
  int rocksOn = 0;
};


// ---------------------------------------------------------------- stones

enum StoneMode : int {
  Appearing = 0,
  Resting = 1,
  Growing = 2,
  Marked = 3,
  Shrinking = 4,
  Removed = 5,
};

// Colours 0..3 are the ordinary colours; kGrey is the colour of rocks and of
// area bombs (and of everything an area bomb takes with it).
constexpr int kColourCount = 4;
constexpr int kGrey = 4;

enum class StoneKind : uint8_t { Ordinary, Rock, ColourBomb, AreaBomb };

class stone {
 public:
  float x = 0, y = 0;  // centre, design units
  float alpha = 0;
  float sx = 0, sy = 0;
  int mode = Appearing;
  int col = 0;    // 0..3 a colour, kGrey a rock or an area bomb
  int w = 0;      // fly-off direction in degrees after removal; 0 stays in place
  int64_t ms = 0;  // NowMillis when last marked
  int bombe = 0;  // 1 = bomb
  bool glows = false;  // the mark's pulsing glow is drawn over it this frame

  // A new stone of random kind at design position (x, y); not yet on the board.
  static std::unique_ptr<stone> create(int x, int y, const BoardSettings& settings, Random& random);

  bool IsMarked() const { return mode == Growing || mode == Marked; }
  // The one answer to what a stone is; every rule and picture asks it.
  StoneKind Kind() const {
    if (bombe == 1) return col == kGrey ? StoneKind::AreaBomb : StoneKind::ColourBomb;
    return col == kGrey ? StoneKind::Rock : StoneKind::Ordinary;
  }
  bool IsBomb() const { return Kind() == StoneKind::ColourBomb || Kind() == StoneKind::AreaBomb; }
};

// A floating plate with the points a marked group is worth.
class counter {
 public:
  enum Mode : int { kShown = 0, kFading = 2 };

  int points = 0;
  float x = 0, y = 0;
  float sx = 0, sy = 0;
  float alpha = 0;
  int mode = kShown;

  bool Finished() const { return mode == kFading && !(alpha > 0.0f); }
};

// The grey blast of an area bomb.
class explosion {
 public:
  float x = 0, y = 0;
  float alpha = 0;
  float sx = 0, sy = 0;

  bool Finished() const { return !(alpha > 0.0f); }
};

// Cells are laid out column by column: index c * kRows + r.
class Board {
 public:
  std::unique_ptr<stone>& operator()(int c, int r) { return cells[c * kRows + r]; }
  const std::unique_ptr<stone>& operator()(int c, int r) const { return cells[c * kRows + r]; }
  void clear() {
    for (auto& cell : cells) cell.reset();
  }

  std::array<std::unique_ptr<stone>, kColumns * kRows> cells;
  int groupMarked = 0;  // 1 while a group waits for its confirming click
};

// The board and the effects in flight over it.
struct World {
  Board board;
  std::vector<std::unique_ptr<stone>> removedStones;  // in order of removal
  std::vector<counter> counters;
  std::vector<explosion> explosions;

  void reset() {
    board.clear();
    board.groupMarked = 0;
    removedStones.clear();
    counters.clear();
    explosions.clear();
  }
};

}  // namespace quarzello
