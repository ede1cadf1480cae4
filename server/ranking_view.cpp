#include "server/ranking_view.h"

namespace highscored {

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

}  // namespace highscored
