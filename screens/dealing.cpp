#include "screens/dealing.h"

#include "gameplay/modes.h"
#include "highscore/deal.h"
#include "platform/platform.h"

namespace quarzello {

namespace {

bool Fresh(const App& app, int ranking, int64_t now) {
  const auto& board = app.dealt.atHand[static_cast<size_t>(ranking)];
  return board && now - app.dealt.dealtAt[static_cast<size_t>(ranking)] < kDealtBoardLifeMillis;
}

// The ranking last chosen first: the player is likely to play it again.
int NextMissing(const App& app, int64_t now) {
  const int chosen = RankingIndex(app.game.gameMode, app.game.difficulty);
  if (!Fresh(app, chosen, now)) return chosen;
  for (int ranking = 0; ranking < kRankings; ++ranking) {
    if (!Fresh(app, ranking, now)) return ranking;
  }
  return -1;
}

}  // namespace

void KeepBoardsDealt(App& app, int64_t now) {
  DealtBoards& dealt = app.dealt;
  if (app.ui.saveOnline != 1 || dealt.runner.Busy() || now < dealt.nextTry) return;
  const int ranking = NextMissing(app, now);
  if (ranking < 0) return;
  dealt.runner.Start<DealtBoard>(
      [context = CurrentClientContext(app.online), ranking] {
        return FetchDealtBoard(context, static_cast<uint8_t>(ranking));
      },
      [&app, ranking](DealtBoard board) {
        const int64_t came = NowMillis();
        if (board.result != OnlineResult::Done) {
          app.dealt.nextTry = came + kDealRetryMillis;
          return;
        }
        app.dealt.atHand[static_cast<size_t>(ranking)] = board;
        app.dealt.dealtAt[static_cast<size_t>(ranking)] = came;
      },
      [] {});
}

void DealTheGame(App& app) {
  const int ranking = RankingIndex(app.game.gameMode, app.game.difficulty);
  app.gameTicket = 0;
  auto& board = app.dealt.atHand[static_cast<size_t>(ranking)];
  if (app.ui.saveOnline != 1 || !Fresh(app, ranking, NowMillis())) return;
  app.generator.state = board->generatorState;
  app.gameTicket = board->ticket;
  ReportGameStartAside(CurrentClientContext(app.online), *board);
  board.reset();
}

}  // namespace quarzello
