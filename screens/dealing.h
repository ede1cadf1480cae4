// Ranked online games are played on boards the service deals. While the
// menus show and the online box is ticked (the choice highscore.tvs keeps),
// a board for every ranking is fetched beside the loop, one after the other,
// so that one is at hand whichever game the player starts. A game started
// without one (offline, or before it came) is dealt by the run's own
// generator as ever; it is kept locally, and the service says why it does
// not count online.
#pragma once

#include <cstdint>

#include "screens/app.h"

namespace quarzello {

// A board at hand is replaced before the service would forget it unplayed.
constexpr int64_t kDealtBoardLifeMillis = 50 * 60 * 1000;
// After a deal that failed, the next waits this long.
constexpr int64_t kDealRetryMillis = 30 * 1000;

// One step on a menu frame: fetches the next board missing, unless a fetch
// runs, the box is not ticked or the last one failed a moment ago.
void KeepBoardsDealt(App& app, int64_t now);
// The start of a game of game.gameMode and game.difficulty: with a dealt
// board at hand, the generator takes its state, the service is told of the
// start, and the ticket goes with the game (app.gameTicket); the board is
// used up. Without one the ticket is 0.
void DealTheGame(App& app);

}  // namespace quarzello
