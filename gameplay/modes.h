// The game modes and difficulties as the player meets them: their names, and
// which of the seven rankings a game counts in. Classic and Turbo have one
// ranking per difficulty, Level one for all. The same number orders the start
// settings, names the ranking in the online protocol, and with the list kind
// picks one of the highscore store's fourteen lists.
#pragma once

#include <algorithm>
#include <cstdint>

#include "gameplay/game.h"

namespace quarzello {

// "Classic", "Turbo", "Level"
constexpr const char* ModeName(uint8_t mode) {
  constexpr const char* kNames[] = {"Classic", "Turbo", "Level"};
  return kNames[std::min<uint8_t>(mode, Level)];
}
// "Leicht", "Mittel", "Schwer"
constexpr const char* DifficultyName(uint8_t difficulty) {
  constexpr const char* kNames[] = {"Leicht", "Mittel", "Schwer"};
  return kNames[std::min<uint8_t>(difficulty, 2)];
}

// The values are those of the table view's byte: 1 the local list, 0 the online copy.
enum class ListKind : uint8_t { Online = 0, Local = 1 };

constexpr int kRankings = 7;

constexpr uint8_t RankingIndex(uint8_t mode, uint8_t difficulty, ListKind kind = ListKind::Local) {
  const int local = mode >= Level ? kRankings - 1 : mode * 3 + std::min<int>(difficulty, 2);
  return static_cast<uint8_t>(kind == ListKind::Local ? local : local + kRankings);
}

}  // namespace quarzello
