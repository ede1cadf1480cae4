// The board: 17 columns by 19 rows of stones, row 0 at the top, and the
// short-lived objects that a removal leaves behind.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

constexpr int kColumns = 17;
constexpr int kRows = 19;

enum StoneMode : int {
  Appearing = 0,
  Resting = 1,
  Growing = 2,
  Marked = 3,
  Shrinking = 4,
  Removed = 5,
};

class stone {
 public:
  float x = 0, y = 0;  // centre, design pixels
  int sprite = 0;
  float alpha = 0;
  float sx = 0, sy = 0;
  int mode = Appearing;
  int col = 0;    // 0..3 a colour, 4 a rock or an area bomb
  int w = 0;      // fly-off direction in degrees after removal; 0 stays in place
  int64_t ms = 0;  // NowMillis when last marked
  int bombe = 0;  // 1 = bomb

  // A new stone of random kind at design position (x, y); not yet on the board.
  static std::unique_ptr<stone> create(int x, int y);

  bool IsMarked() const { return mode == Growing || mode == Marked; }
};

class counter {
 public:
  int points = 0;
  float x = 0, y = 0;
  float sx = 0, sy = 0;
  float alpha = 0;
  int mode = 0;  // 0 shown, 2 fading out
};

class explosion {
 public:
  float x = 0, y = 0;
  float alpha = 0;
  float sx = 0, sy = 0;
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
};

struct World {
  Board board;
  std::vector<std::unique_ptr<stone>> removedStones;  // in order of removal
  std::vector<counter> counters;
  std::vector<explosion> explosions;
  int groupMarked = 0;  // 1 while a group waits for its confirming click

  void reset() {
    board.clear();
    removedStones.clear();
    counters.clear();
    explosions.clear();
    groupMarked = 0;
  }
};
extern World world;

// Cell geometry in design pixels.
inline float CellCentreX(int c) { return 40.0f + 20.0f * c; }
inline float CellCentreY(int r) { return 100.0f + 20.0f * r; }
bool MouseInsideBoard();                  // strict test against ui.mouseX/mouseY
void CellUnderMouse(int& c, int& r);
