// A board built by the test from rows of characters, in a plain Game with a
// generator of its own, the clock set, and a recording backend for the tests
// that look at how the board is drawn.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/board.h"
#include "board/rules.h"
#include "gameplay/game.h"
#include "platform/platform.h"

namespace quarzello::board_test {

class BoardTest : public ::testing::Test {
 protected:
  RecordingBackend rec;
  Image stones = Strip(32, 32, 130);
  Image counterFont = Strip(10, 20, 12);
  Random generator;
  Game game;

  static Image Strip(int cellWidth, int cellHeight, int frames) {
    Image strip;
    strip.cellWidth = cellWidth;
    strip.cellHeight = cellHeight;
    strip.frames = frames;
    return strip;
  }

  void SetUp() override {
    game.random = &generator;
    SetBackend(&rec);
    ResetDrawingState();
    SetTestClock(5000);
    generator.Seed(7);
  }
  void TearDown() override { SetBackend(nullptr); }

  // The last rows of the board, bottom row last, 17 characters each:
  // '.' empty, '0'..'3' a colour, 'R' a rock, 'A' an area bomb, 'a'..'d' a
  // colour bomb of colour 0..3. Every stone rests at its cell centre.
  void LoadBoard(const std::vector<std::string>& rows) {
    game.world.board.clear();
    const int top = kRows - static_cast<int>(rows.size());
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
      for (int c = 0; c < kColumns; ++c) {
        const char ch = rows[i].at(c);
        if (ch == '.') continue;
        auto& cell = game.world.board(c, top + i);
        cell = std::make_unique<stone>();
        cell->x = CellCentreX(c);
        cell->y = CellCentreY(top + i);
        cell->sx = cell->sy = cell->alpha = 1.0f;
        cell->mode = Resting;
        if (ch >= '0' && ch <= '3') {
          cell->col = ch - '0';
        } else if (ch >= 'a' && ch <= 'd') {
          cell->col = ch - 'a';
          cell->bombe = 1;
        } else {
          cell->col = 4;
          cell->bombe = ch == 'A' ? 1 : 0;
        }
      }
    }
  }

  // The bottom rows in the same notation, for comparing with LoadBoard's input.
  std::vector<std::string> Rows(int count) const {
    std::vector<std::string> rows;
    for (int r = kRows - count; r < kRows; ++r) {
      std::string row;
      for (int c = 0; c < kColumns; ++c) {
        const stone* s = game.world.board(c, r).get();
        if (s == nullptr) {
          row += '.';
        } else if (s->bombe == 1) {
          row += s->col == 4 ? 'A' : static_cast<char>('a' + s->col);
        } else {
          row += s->col == 4 ? 'R' : static_cast<char>('0' + s->col);
        }
      }
      rows.push_back(row);
    }
    return rows;
  }

  // A click on cell (c, r) of the game, now.
  void ClickAtCell(int c, int r) { ClickBoardCell(game, c, r, NowMillis()); }

  // The marked stones taken off as the game does it: they fly off in
  // game.world.removedStones, and the side supply they used is gone.
  void RemoveMarked() {
    Removal removal = RemoveMarkedStones(game.world.board, CurrentRules(game, NowMillis()));
    for (auto& flying : removal.removed) game.world.removedStones.push_back(std::move(flying));
    game.sideSupply -= removal.columnsSupplied;
  }

  void MarkCells(const std::vector<std::pair<int, int>>& cells) {
    for (auto [c, r] : cells) game.world.board(c, r)->mode = Marked;
  }
};

}  // namespace quarzello::board_test
