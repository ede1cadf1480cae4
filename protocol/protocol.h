// What the game and the highscore service agree on, in one place that both
// build from: player names and the request paths of the online protocol.
// The number of rankings is the core's kRankings (gameplay/modes.h).
#pragma once

#include <cstddef>

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

}  // namespace quarzello
