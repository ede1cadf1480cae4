#include "server/ranking_view.h"

namespace highscored {

namespace {

constexpr int kLevelRanking = 6;
constexpr int kDifficulties = 3;

}  // namespace

int64_t PageCount(int64_t total) { return total <= 0 ? 1 : (total + kEntriesPerPage - 1) / kEntriesPerPage; }

int64_t FirstOnPage(int64_t page) { return (page - 1) * kEntriesPerPage; }

RankingView MakeRankingView(int ranking, int64_t page, const RankingSlice& slice, int64_t nowMillis) {
  RankingView view;
  view.ranking = ranking;
  view.page = page;
  view.total = slice.total;
  view.pageCount = PageCount(slice.total);
  int64_t place = FirstOnPage(page);
  for (const DatedEntry& entry : slice.entries) {
    view.entries.push_back({++place, entry.name, entry.points, entry.submittedMillis,
                            nowMillis - entry.submittedMillis < kRecentMillis, entry.verified, entry.id});
  }
  return view;
}

std::string ModeName(int ranking) {
  if (ranking == kLevelRanking) return "Level";
  return ranking < kDifficulties ? "Classic" : "Turbo";
}

std::string DifficultyName(int ranking) {
  if (ranking == kLevelRanking) return "";
  static const char* const kNames[kDifficulties] = {"Leicht", "Mittel", "Schwer"};
  return kNames[ranking % kDifficulties];
}

std::string RankingTitle(int ranking) {
  const std::string difficulty = DifficultyName(ranking);
  return difficulty.empty() ? ModeName(ranking) : ModeName(ranking) + " " + difficulty;
}

}  // namespace highscored
