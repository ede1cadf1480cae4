#include <algorithm>

#include "board/rules.h"
#include "base/numbers.h"

namespace quarzello {

void FadeOutCounters(std::vector<counter>& counters) {
  for (auto& shown : counters) shown.mode = counter::kFading;
}

void StepCounters(std::vector<counter>& counters) {
  for (counter& shown : counters) {
    if (shown.mode == counter::kShown) {
      if (shown.sx < 1.0f) shown.sx += 0.1f;
      if (shown.sy < 1.0f) shown.sy += 0.1f;
      if (shown.alpha < 1.0f) shown.alpha += 0.1f;
    } else if (shown.mode == counter::kFading) {
      // A fading counter swells while it disappears.
      if (shown.sx > 0.0f) shown.sx += 0.1f;
      if (shown.sy > 0.0f) shown.sy += 0.1f;
      if (shown.alpha > 0.0f) shown.alpha -= 0.1f;
    }
  }
}

void StepRemovedStones(std::vector<std::unique_ptr<stone>>& removed) {
  for (auto& flying : removed) {
    stone& s = *flying;
    s.sx *= 1.025f;
    s.sy *= 1.025f;
    if (s.w != 0) {
      const float angle = static_cast<float>(s.w);
      s.x += 2.0f * CosDeg(angle) * s.sx;
      s.y += 2.0f * SinDeg(angle) * s.sy;
    }
    if (s.alpha > 0.0f) s.alpha -= 0.03f;
  }
}

void StepExplosions(std::vector<explosion>& explosions) {
  for (explosion& blast : explosions) {
    blast.sx *= 1.1f;
    blast.sy *= 1.1f;
    blast.alpha -= 0.01f;
  }
}

void DropFinishedEffects(World& world) {
  std::erase_if(world.counters, [](const counter& shown) { return shown.Finished(); });
  std::erase_if(world.removedStones, [](const std::unique_ptr<stone>& s) { return !(s->alpha > 0.0f); });
  std::erase_if(world.explosions, [](const explosion& blast) { return blast.Finished(); });
}

}  // namespace quarzello
