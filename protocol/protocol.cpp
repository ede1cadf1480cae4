#include "protocol/protocol.h"

namespace quarzello {

std::string RankingModeName(int ranking, const Language& language) {
  return TextIn(language, ModeNameId(RankingMode(ranking)));
}

std::string RankingDifficultyName(int ranking, const Language& language) {
  return RankingHasDifficulty(ranking) ? TextIn(language, DifficultyNameId(RankingDifficulty(ranking))) : "";
}

std::string RankingTitle(int ranking, const Language& language) {
  const std::string difficulty = RankingDifficultyName(ranking, language);
  const std::string mode = RankingModeName(ranking, language);
  return difficulty.empty() ? mode : mode + " " + difficulty;
}

}  // namespace quarzello
