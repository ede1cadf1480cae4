#include <string>

#include "board/board.h"
#include "board/rules.h"
#include "front/frontend.h"
#include "front/widgets.h"
#include "gameplay/game.h"
#include "platform/platform.h"

int GroupPoints(int stones) {
  const int points = stones * stones;
  return game.gameMode == Level ? points * game.level : points;
}

void AwardLevelBonus() {
  int bonus = 500 * game.level - 250 * CountStones();
  if (bonus == 0) {
    bonus = 100;
  } else if (bonus < 0) {
    return;
  }
  TMsg::create("Bonus: " + IntToText(bonus), 50, 50);
  game.score += bonus;
}

void SpawnPointsCounter(int points) {
  int minColumn = kColumns - 1, maxColumn = 0, minRow = kRows - 1;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      const stone* s = world.board(c, r).get();
      if (s == nullptr || !s->IsMarked()) continue;
      if (c < minColumn) minColumn = c;
      if (c > maxColumn) maxColumn = c;
      if (r < minRow) minRow = r;
    }
  }
  counter shown;
  shown.x = static_cast<float>(40 + (20 * minColumn + 20 * maxColumn) / 2);
  shown.y = static_cast<float>(20 * (minRow - 1) + 110);
  shown.points = points;
  world.counters.push_back(shown);
}

void FadeOutCounters() {
  for (auto& shown : world.counters) shown.mode = 2;
}

namespace {

// The effects draw with alpha blending at the given opacity and size; the
// caller puts alpha and scale back to 1 when its whole list is drawn.
void SetEffectState(float alpha, float sx, float sy) {
  SetBlend(kBlendAlpha);
  SetAlpha(alpha);
  SetDrawScale(sx * ui.scale, sy * ui.scale);
}

void RestoreEffectState() {
  SetAlpha(1.0f);
  SetDrawScale(1.0f, 1.0f);
}

void DrawCounter(const counter& shown) {
  const std::string digits = IntToText(shown.points);
  const int glyphs = static_cast<int>(digits.size()) + 2;
  const float pitch = 10.0f * shown.sx;
  float x = shown.x - static_cast<float>(glyphs / 2) * pitch;
  if (glyphs % 2 == 0) x += 5.0f * shown.sx;
  const float y = (shown.y - 10.0f) * ui.scale;

  SetEffectState(shown.alpha, shown.sx, shown.sy);
  auto glyph = [&](int frame) {
    DrawImageFrame(img.imgCounterFont, x * ui.scale, y, frame);
    x += pitch;
  };
  glyph(0);
  for (char digit : digits) glyph(digit - '0' + 1);
  glyph(11);
}

}  // namespace

void UpdateCounters() {
  auto& counters = world.counters;
  for (auto it = counters.begin(); it != counters.end();) {
    counter& shown = *it;
    bool finished = false;
    if (shown.mode == 0) {
      if (shown.sx < 1.0f) shown.sx += 0.1f;
      if (shown.sy < 1.0f) shown.sy += 0.1f;
      if (shown.alpha < 1.0f) shown.alpha += 0.1f;
    } else if (shown.mode == 2) {
      // A fading counter swells while it disappears.
      if (shown.sx > 0.0f) shown.sx += 0.1f;
      if (shown.sy > 0.0f) shown.sy += 0.1f;
      if (shown.alpha > 0.0f) shown.alpha -= 0.1f;
      finished = !(shown.alpha > 0.0f);
    }
    DrawCounter(shown);
    it = finished ? counters.erase(it) : it + 1;
  }
  RestoreEffectState();
}

void UpdateRemovedStones() {
  auto& removed = world.removedStones;
  for (auto it = removed.begin(); it != removed.end();) {
    stone& s = **it;
    s.sx *= 1.025f;
    s.sy *= 1.025f;
    if (s.w != 0) {
      const float angle = static_cast<float>(s.w);
      s.x += 2.0f * CosDeg(angle) * s.sx;
      s.y += 2.0f * SinDeg(angle) * s.sy;
    }
    if (s.alpha > 0.0f) s.alpha -= 0.03f;
    SetEffectState(s.alpha, s.sx, s.sy);
    DrawImageFrame(img.imgStones, s.x * ui.scale, s.y * ui.scale, 26 * s.col + 1);
    it = s.alpha > 0.0f ? it + 1 : removed.erase(it);
  }
  RestoreEffectState();
}

void UpdateExplosions() {
  auto& explosions = world.explosions;
  for (auto it = explosions.begin(); it != explosions.end();) {
    explosion& blast = *it;
    blast.sx *= 1.1f;
    blast.sy *= 1.1f;
    blast.alpha -= 0.01f;
    SetEffectState(blast.alpha, blast.sx, blast.sy);
    DrawImageFrame(img.imgStones, blast.x * ui.scale, blast.y * ui.scale, 105);
    it = blast.alpha > 0.0f ? it + 1 : explosions.erase(it);
  }
  RestoreEffectState();
}
