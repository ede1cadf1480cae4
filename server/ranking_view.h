#pragma once

// One page of one online ranking as the web shows it: ten entries like the
// game's own table, numbered over the whole ranking.

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/protocol.h"
#include "server/store.h"

namespace highscored {

constexpr int kEntriesPerPage = 10;
// Entries younger than this are marked as new.
constexpr int64_t kRecentMillis = 24 * 60 * 60 * 1000;

struct ShownEntry {
  int64_t place = 0;
  std::string name;  // ISO-8859-1, as stored
  int32_t points = 0;
  int64_t submittedMillis = 0;
  bool recent = false;
  bool verified = false;  // its recording, at replays/ID, reached its points
  int32_t id = 0;
};

struct RankingView {
  int ranking = 0;  // 0..6, numbered as the game numbers its lists
  int64_t page = 1;
  int64_t pageCount = 1;  // an empty ranking still has its one page
  int64_t total = 0;
  std::vector<ShownEntry> entries;
};

int64_t PageCount(int64_t total);

// The entries to ask the store for on a page.
int64_t FirstOnPage(int64_t page);

RankingView MakeRankingView(int ranking, int64_t page, const RankingSlice& slice, int64_t nowMillis);

// The game's own (German) words for the parts of a ranking, from the
// protocol: "Classic", "Turbo", "Level"; "Leicht", "Mittel", "Schwer", or
// empty for Level; together "Turbo Schwer". The page translates them.
inline std::string ModeName(int ranking) { return quarzello::RankingModeName(ranking, quarzello::German()); }
inline std::string DifficultyName(int ranking) {
  return quarzello::RankingDifficultyName(ranking, quarzello::German());
}
inline std::string RankingTitle(int ranking) { return quarzello::RankingTitle(ranking, quarzello::German()); }

}  // namespace highscored
