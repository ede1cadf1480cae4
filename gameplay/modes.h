// The game modes and difficulties as the player meets them: their names (from
// the text table, gameplay/texts.h), and
// which of the seven rankings a game counts in. Classic and Turbo have one
// ranking per difficulty, Level one for all. The same number orders the start
// settings, names the ranking in the online protocol, and with the list kind
// picks one of the highscore store's fourteen lists.
#pragma once

#include <algorithm>
#include <cstdint>

#include "gameplay/game.h"
#include "gameplay/texts.h"

namespace quarzello {

// The keys of the names: Classic, Turbo, Level.
constexpr TextId ModeNameId(uint8_t mode) {
  constexpr TextId kNames[] = {TextId::ModeClassic, TextId::ModeTurbo, TextId::ModeLevel};
  return kNames[std::min<uint8_t>(mode, Level)];
}
// Leicht, Mittel, Schwer (Easy, Medium, Hard).
constexpr TextId DifficultyNameId(uint8_t difficulty) {
  constexpr TextId kNames[] = {TextId::DifficultyEasy, TextId::DifficultyMedium, TextId::DifficultyHard};
  return kNames[std::min<uint8_t>(difficulty, 2)];
}
// The names in the selected language.
inline const char* ModeName(uint8_t mode) { return Text(ModeNameId(mode)); }
inline const char* DifficultyName(uint8_t difficulty) { return Text(DifficultyNameId(difficulty)); }

// The values are those of the table view's byte: 1 the local list, 0 the online copy.
enum class ListKind : uint8_t { Online = 0, Local = 1 };

constexpr int kRankings = 7;

constexpr uint8_t RankingIndex(uint8_t mode, uint8_t difficulty, ListKind kind = ListKind::Local) {
  const int local = mode >= Level ? kRankings - 1 : mode * 3 + std::min<int>(difficulty, 2);
  return static_cast<uint8_t>(kind == ListKind::Local ? local : local + kRankings);
}

}  // namespace quarzello
