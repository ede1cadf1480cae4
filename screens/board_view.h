// Drawing the board and its effects, read-only: the frame shows the state
// the step functions left.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "board/board.h"
#include "platform/platform.h"

namespace quarzello {

// The stone picture strip: one row of kFramesPerColour frames per colour
// (kGrey last): the stone, its glow, then the bomb's burning fuse.
constexpr int kFramesPerColour = 26;
constexpr int kGlowFrame = 1;
constexpr int kFirstFuseFrame = 2;

// What the board is drawn with: the canvas scale (a design unit is `scale`
// canvas pixels) and the two picture strips.
struct BoardPictures {
  float scale = 1.0f;
  const Image* stones = nullptr;       // kFramesPerColour frames per colour
  const Image* counterFont = nullptr;  // the points plate: its two ends and the ten digits
};

// The board row by row from the top, the top rows dimmed under "GAME OVER".
// The bombs' fuses burn by the time since the game began, so that a replay
// of the game shows them as the play did.
void DrawBoardStones(const BoardPictures& pictures, const Board& board, int64_t now, int64_t sinceStart, bool gameOver);
void DrawExplosions(const BoardPictures& pictures, const std::vector<explosion>& explosions);
void DrawRemovedStones(const BoardPictures& pictures, const std::vector<std::unique_ptr<stone>>& removed);
void DrawCounters(const BoardPictures& pictures, const std::vector<counter>& counters);

}  // namespace quarzello
