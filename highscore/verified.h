// The online rankings' verified entries and their recordings, so that the
// player can watch the game behind a score. The game's own table (get.php)
// names no entries; which of them have a recording comes from the service's
// rankings for programs (GET /quarzello/api/rankings, JSON), a page at a
// time, and a recording from /quarzello/replays/ID. Both are requests like
// the others (highscore/online.h): blocking, reading only their context.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "highscore/online.h"

namespace quarzello {

struct VerifiedEntry {
  std::string name;  // ISO-8859-1, as the game's table has it
  int32_t points = 0;
  int32_t recordingId = 0;
};

struct VerifiedPage {
  OnlineResult result = OnlineResult::NoConnection;
  std::vector<VerifiedEntry> entries;  // in the page's order
};

// The verified entries of one page (from 1) of a ranking (a RankingIndex).
VerifiedPage FetchVerifiedEntries(const ClientContext& context, uint8_t ranking, int page);
// The verified entries of a rankings reply; none when it is not one.
std::optional<std::vector<VerifiedEntry>> ParseVerifiedEntries(const std::string& json);

struct DownloadedRecording {
  OnlineResult result = OnlineResult::NoConnection;  // ServerError: the service has no such recording
  std::string bytes;
};
DownloadedRecording DownloadRecording(const ClientContext& context, int32_t recordingId);

// For each entry of a shown page (name and points), the id of its verified
// recording, 0 for none. Entries equal in name and points are paired in
// their order, so that a page fetched a moment apart still matches.
std::vector<int32_t> MatchVerifiedEntries(const std::vector<std::pair<std::string, int32_t>>& shown,
                                          const std::vector<VerifiedEntry>& verified);

}  // namespace quarzello
