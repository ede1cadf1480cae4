#include "screens/board_view.h"

#include <string>

#include "platform/platform.h"

namespace quarzello {

namespace {

constexpr float kDimmedAlpha = 0.25f;  // top rows under "GAME OVER" and "Weiter"
constexpr int kDimmedRows = 3;
constexpr int kGlowPeriodMillis = 1800;
constexpr int kFuseFrameMillis = 20;
constexpr int kFuseFrames = 24;

// The glow starts at its dimmest when the stone is marked and pulses once per
// 1.8 seconds between 0.1 and 0.3.
float GlowAlpha(int64_t now, int64_t markedAt) {
  const int degrees = static_cast<int>((now - markedAt) % kGlowPeriodMillis) / 5 - 90;
  return 0.2f + 0.1f * SinDeg(static_cast<float>(degrees));
}

// The effects draw with alpha blending at the given opacity and size; alpha
// and scale go back to 1 when a whole list is drawn.
void SetEffectState(float scale, float alpha, float sx, float sy) {
  SetBlend(kBlendAlpha);
  SetAlpha(alpha);
  SetDrawScale(sx * scale, sy * scale);
}

void RestoreEffectState() {
  SetAlpha(1.0f);
  SetDrawScale(1.0f, 1.0f);
}

void DrawCounter(const BoardPictures& pictures, const counter& shown) {
  const float scale = pictures.scale;
  const std::string digits = IntToText(shown.points);
  const int glyphs = static_cast<int>(digits.size()) + 2;
  const float pitch = 10.0f * shown.sx;
  float x = shown.x - static_cast<float>(glyphs / 2) * pitch;
  if (glyphs % 2 == 0) x += 5.0f * shown.sx;
  const float y = (shown.y - 10.0f) * scale;

  SetEffectState(scale, shown.alpha, shown.sx, shown.sy);
  // The plate's left end, the digits, its right end.
  auto glyph = [&](int frame) {
    DrawImageFrame(pictures.counterFont, x * scale, y, frame);
    x += pitch;
  };
  glyph(0);
  for (char digit : digits) glyph(digit - '0' + 1);
  glyph(11);
}

}  // namespace

void DrawBoardStones(const BoardPictures& pictures, const Board& board, int64_t now, int64_t sinceStart, bool gameOver) {
  // All bombs burn in step.
  const int bombFrame =
      kFirstFuseFrame + static_cast<int>(sinceStart % (kFuseFrames * kFuseFrameMillis)) / kFuseFrameMillis;
  const float scale = pictures.scale;
  SetBlend(kBlendAlpha);
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      const stone* s = board(c, r).get();
      if (s == nullptr) continue;
      const float x = s->x * scale, y = s->y * scale;
      SetAlpha(gameOver && r < kDimmedRows ? kDimmedAlpha : s->alpha);
      SetDrawScale(s->sx * scale, s->sy * scale);
      DrawImageFrame(pictures.stones, x, y, s->col * kFramesPerColour + (s->IsBomb() ? bombFrame : 0));
      if (s->glows) {
        SetBlend(kBlendLight);
        SetAlpha(GlowAlpha(now, s->ms));
        DrawImageFrame(pictures.stones, x, y, s->col * kFramesPerColour + kGlowFrame);
        SetBlend(kBlendAlpha);
      }
    }
  }
  SetColor(255, 255, 255);
  SetDrawScale(1.0f, 1.0f);
  SetAlpha(1.0f);
}

void DrawExplosions(const BoardPictures& pictures, const std::vector<explosion>& explosions) {
  const float scale = pictures.scale;
  for (const explosion& blast : explosions) {
    SetEffectState(scale, blast.alpha, blast.sx, blast.sy);
    DrawImageFrame(pictures.stones, blast.x * scale, blast.y * scale, kGrey * kFramesPerColour + kGlowFrame);
  }
  RestoreEffectState();
}

void DrawRemovedStones(const BoardPictures& pictures, const std::vector<std::unique_ptr<stone>>& removed) {
  const float scale = pictures.scale;
  for (const auto& flying : removed) {
    const stone& s = *flying;
    SetEffectState(scale, s.alpha, s.sx, s.sy);
    DrawImageFrame(pictures.stones, s.x * scale, s.y * scale, kFramesPerColour * s.col + kGlowFrame);
  }
  RestoreEffectState();
}

void DrawCounters(const BoardPictures& pictures, const std::vector<counter>& counters) {
  for (const counter& shown : counters) DrawCounter(pictures, shown);
  RestoreEffectState();
}

}  // namespace quarzello
