#include <algorithm>
#include <cstdint>
#include <utility>

#include "board/board.h"
#include "front/frontend.h"
#include "front/widgets.h"
#include "gameplay/game.h"
#include "platform/platform.h"

namespace {

constexpr float kAppearGrowth = 0.03f;
constexpr float kAppearFade = 0.08f;
constexpr float kMarkGrowth = 0.03f;
constexpr float kMarkedSize = 1.2f;
constexpr float kDimmedAlpha = 0.25f;   // top rows under "GAME OVER" and "Weiter"
constexpr int kDimmedRows = 3;
constexpr int kGlowPeriodMillis = 1800;

// One frame of a stone's life on the board; returns whether it glows.
bool StepStone(stone& s) {
  switch (s.mode) {
    case Appearing:
      if (s.sx < 1.0f) s.sx += kAppearGrowth;
      if (s.sy < 1.0f) s.sy += kAppearGrowth;
      if (s.alpha < 1.0f) s.alpha += kAppearFade;
      if (s.alpha > 1.0f) s.alpha = 1.0f;
      if (s.alpha >= 1.0f && s.sx >= 1.0f && s.sy >= 1.0f) s.mode = Resting;
      return false;
    case Resting:
      s.sx = s.sy = s.alpha = 1.0f;
      return false;
    case Growing:
      s.sx += kMarkGrowth;
      s.sy += kMarkGrowth;
      if (s.sx > kMarkedSize && s.sy > kMarkedSize) s.mode = Marked;
      return false;
    case Marked:
      s.sx = s.sy = kMarkedSize;
      s.alpha = 1.0f;
      return true;
    case Shrinking:
      s.sx -= kMarkGrowth;
      s.sy -= kMarkGrowth;
      if (s.sx < 1.0f && s.sy < 1.0f) s.mode = Resting;
      return false;
    default:
      return false;
  }
}

// The glow starts at its dimmest when the stone is marked and pulses once per
// 1.8 seconds between 0.1 and 0.3.
float GlowAlpha(int64_t now, int64_t markedAt) {
  const int degrees = static_cast<int>((now - markedAt) % kGlowPeriodMillis) / 5 - 90;
  return 0.2f + 0.1f * SinDeg(static_cast<float>(degrees));
}

// How many rows a level lasts.
int RowsOfLevel(int level) {
  constexpr int kRowsOfLevel[] = {10, 10, 11, 12, 14, 16, 18, 22, 30};  // levels 1..9
  return level <= 9 ? kRowsOfLevel[std::max(level, 1) - 1] : 40;
}

// New colours, rocks, bombs and a larger smallest group, level by level.
void ApplyLevelSettings(int level) {
  switch (level) {
    case 3: game.maxColour = 3; break;
    case 4: game.rocksOn = 1; break;
    case 5: game.bombLevel = 1; break;
    case 6: game.bombLevel = 2; break;
    case 7: game.minGroup = 3; break;
    default: break;
  }
}

}  // namespace

int RowInterval(int level) {
  // In 64 bits, so that a game left running for days cannot overflow.
  const int64_t l = level;
  return static_cast<int>(std::max<int64_t>(500, 3000 - l * (10 * l + 150)));
}

void UpdateBoardStones() {
  const int64_t now = NowMillis();
  const int bombFrame = 2 + static_cast<int>(now % 480) / 20;  // all bombs burn in step
  const float scale = ui.scale;
  const bool gameOver = game.gameOverState != 0;
  SetBlend(kBlendAlpha);
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      stone* s = world.board(c, r).get();
      if (s == nullptr) continue;
      const bool glows = StepStone(*s);
      // Never quite arrives, so falling, sliding and rising all look the same.
      s->x = (5.0f * s->x + CellCentreX(c)) / 6.0f;
      s->y = (5.0f * s->y + CellCentreY(r)) / 6.0f;

      const float x = s->x * scale, y = s->y * scale;
      SetAlpha(gameOver && r < kDimmedRows ? kDimmedAlpha : s->alpha);
      SetDrawScale(s->sx * scale, s->sy * scale);
      DrawImageFrame(img.imgStones, x, y, s->col * 26 + (s->bombe == 1 ? bombFrame : 0));
      if (glows) {
        SetBlend(kBlendLight);
        SetAlpha(GlowAlpha(now, s->ms));
        DrawImageFrame(img.imgStones, x, y, s->col * 26 + 1);
        SetBlend(kBlendAlpha);
      }
    }
  }
  SetColor(255, 255, 255);
  SetDrawScale(1.0f, 1.0f);
  SetAlpha(1.0f);
}

void FeedRowFromBelow() {
  if (game.gameMode != Level || game.gameOverState != 0 || NowMillis() <= game.deadline) return;

  int rows = game.rowsToNextLevel - 1;
  if (rows == 0) {
    game.level += 1;
    rows = RowsOfLevel(game.level);
    ApplyLevelSettings(game.level);
    TMsg::create("LEVEL " + IntToText(game.level), 150, 0);
  }
  game.rowsToNextLevel = rows;
  game.deadline = NowMillis() + RowInterval(game.level);

  // Everything moves up one cell and keeps its position, so the whole board
  // glides up; the new row starts just below the board.
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      if (r == 0 && world.board(c, 0) != nullptr) game.gameOverState = 1;  // the column was full
      if (r < kRows - 1) {
        world.board(c, r) = std::move(world.board(c, r + 1));
      } else {
        world.board(c, r) = stone::create(40 + 20 * c, 490);
      }
    }
  }

  if (game.gameOverState == 1) {
    TMsg::messages.clear();
    TMsg::create("GAME OVER", -1, 0);
  }
}
