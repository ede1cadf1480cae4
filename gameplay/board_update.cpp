#include "gameplay/game.h"

namespace quarzello {

namespace {

constexpr float kAppearGrowth = 0.03f;
constexpr float kAppearFade = 0.08f;
constexpr float kMarkGrowth = 0.03f;
constexpr float kMarkedSize = 1.2f;

// One frame of a stone's life on the board.
void StepStone(stone& s) {
  s.glows = false;
  switch (s.mode) {
    case Appearing:
      if (s.sx < 1.0f) s.sx += kAppearGrowth;
      if (s.sy < 1.0f) s.sy += kAppearGrowth;
      if (s.alpha < 1.0f) s.alpha += kAppearFade;
      if (s.alpha > 1.0f) s.alpha = 1.0f;
      if (s.alpha >= 1.0f && s.sx >= 1.0f && s.sy >= 1.0f) s.mode = Resting;
      break;
    case Resting:
      s.sx = s.sy = s.alpha = 1.0f;
      break;
    case Growing:
      s.sx += kMarkGrowth;
      s.sy += kMarkGrowth;
      if (s.sx > kMarkedSize && s.sy > kMarkedSize) s.mode = Marked;
      break;
    case Marked:
      s.sx = s.sy = kMarkedSize;
      s.alpha = 1.0f;
      s.glows = true;  // only once fully grown, not on the frame it gets there
      break;
    case Shrinking:
      s.sx -= kMarkGrowth;
      s.sy -= kMarkGrowth;
      if (s.sx < 1.0f && s.sy < 1.0f) s.mode = Resting;
      break;
    default:
      break;
  }
}

}  // namespace

void StepBoardStones(Board& board) {
  // Stones step on their own, so in the order they lie in memory.
  for (int c = 0; c < kColumns; ++c) {
    for (int r = 0; r < kRows; ++r) {
      stone* s = board(c, r).get();
      if (s == nullptr) continue;
      StepStone(*s);
      // Never quite arrives, so falling, sliding and rising all look the same.
      s->x = (5.0f * s->x + CellCentreX(c)) / 6.0f;
      s->y = (5.0f * s->y + CellCentreY(r)) / 6.0f;
    }
  }
}

}  // namespace quarzello
