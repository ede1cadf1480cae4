// Boards the highscore service deals for ranked online games. While the
// menus show, the game fetches a ticket for the ranking about to be played:
// the generator state its board is dealt from and an id the service keeps.
// The game then starts from that state, reports the start, and names the
// ticket when it uploads the game's recording (UploadRecording): only then
// does the entry count online. A game started without a ticket (offline,
// or before the ticket came) is kept locally as ever, and its upload is
// answered with the reason it does not count.
#pragma once

#include <cstdint>
#include <string>

#include "highscore/online.h"

namespace quarzello {

struct DealtBoard {
  OnlineResult result = OnlineResult::NoConnection;
  int32_t ticket = 0;          // for the start report and the upload
  int32_t generatorState = 0;  // the game's Random starts from it (a valid state when Done)
  uint8_t ranking = 0;         // the RankingIndex it was dealt for; a game of another does not count
  std::string serverMessage;   // with ServerError
};

// A ticket for a game of ranking (RankingIndex of the local list, 0..6).
// Blocks like the other requests, on a thread beside the loop; a reply
// without a usable ticket counts as no connection.
DealtBoard FetchDealtBoard(const ClientContext& context, uint8_t ranking);

// Tells the service that the board's game has started, so that it stamps
// the start; whether it did. An upload long after the start does not count.
bool ReportGameStart(const ClientContext& context, const DealtBoard& board);
// The same on a thread of its own, its answer dropped: the game goes on at
// once, and a report that fails changes nothing but the stamp.
void ReportGameStartAside(const ClientContext& context, const DealtBoard& board);

}  // namespace quarzello
