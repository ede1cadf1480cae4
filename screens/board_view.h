// Drawing the board and its effects, read-only: the frame shows the state
// the step functions left.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "board/board.h"

namespace quarzello {

// The stone picture strip: one row of kFramesPerColour frames per colour
// (kGrey last): the stone, its glow, then the bomb's burning fuse.
constexpr int kFramesPerColour = 26;
constexpr int kGlowFrame = 1;
constexpr int kFirstFuseFrame = 2;

// The board row by row from the top, the top rows dimmed under "GAME OVER".
void DrawBoardStones(const Board& board, int64_t now, bool gameOver);
void DrawExplosions(const std::vector<explosion>& explosions);
void DrawRemovedStones(const std::vector<std::unique_ptr<stone>>& removed);
void DrawCounters(const std::vector<counter>& counters);

}  // namespace quarzello
