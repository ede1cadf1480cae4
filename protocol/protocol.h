// What the game and the highscore service agree on, in one place that both
// build from: player names, the request paths of the online protocol, and
// the seven rankings a game counts in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "gameplay/modes.h"
#include "gameplay/texts.h"

namespace quarzello {

// A player's name: 2 to 15 characters, each of the codes 32 to 125.
constexpr size_t kShortestName = 2;
constexpr size_t kLongestName = 15;
constexpr int kFirstNameCode = 32;
constexpr int kLastNameCode = 125;
constexpr bool IsNameCode(int code) { return code >= kFirstNameCode && code <= kLastNameCode; }

constexpr const char kRegisterPath[] = "/quarzello/register.php";
constexpr const char kSubmitPath[] = "/quarzello/highscore.php";
constexpr const char kFetchPath[] = "/quarzello/get.php";
constexpr const char kUploadPath[] = "/quarzello/replay.php";
// A board dealt for a ranked game, and the report of that game's start.
constexpr const char kDealPath[] = "/quarzello/deal.php";
constexpr const char kStartPath[] = "/quarzello/start.php";
// The third line of an upload's "OKAY" when the entry does not count: its
// game was not played on a board the service dealt, once, in a time that
// fits. A reason word and the reason in words follow.
constexpr const char kUnverifiedMark[] = "UNVERIFIED";

// A ranking's number on the wire is the core's RankingIndex of its local
// list: 0 to 2 Classic Leicht to Schwer, 3 to 5 Turbo, 6 Level; kRankings of them.
constexpr bool IsRanking(int64_t ranking) { return ranking >= 0 && ranking < kRankings; }
constexpr uint8_t RankingMode(int ranking) {
  return static_cast<uint8_t>(ranking >= RankingIndex(Level, 0) ? int{Level} : ranking / 3);
}
// Level has one ranking for all difficulties.
constexpr bool RankingHasDifficulty(int ranking) { return RankingMode(ranking) != Level; }
constexpr uint8_t RankingDifficulty(int ranking) { return static_cast<uint8_t>(ranking % 3); }

// The ranking's names as the game shows them in language: "Turbo",
// "Mittel", and together "Turbo Mittel"; Level's difficulty name is empty.
std::string RankingModeName(int ranking, const Language& language);
std::string RankingDifficultyName(int ranking, const Language& language);
std::string RankingTitle(int ranking, const Language& language);

}  // namespace quarzello
