#pragma once

// Boards the service deals for ranked games. A ticket holds a generator
// state the service drew; a game played from it, uploaded once and within a
// time that fits its play, makes its entry count. What that proves and what
// it does not is written down in README.md.

#include <cstdint>
#include <optional>

#include "server/store.h"

namespace highscored {

// How long a ticket and its game may take, on the service's wall clock.
struct TicketTimes {
  // From the deal to the start of its game: a ticket fetched while the
  // menus show may wait that long.
  int64_t startWindowMillis = 60 * 60'000;
  // From the game's end to its upload: "GAME OVER", the name typed in, the
  // registration and submission, the upload itself.
  int64_t endAllowanceMillis = 30 * 60'000;
  // Services on one database stamp by their own clocks, which NTP keeps
  // within this of each other.
  int64_t clockSlackMillis = 1000;
};

// An unused ticket older than this can make no upload count any more.
int64_t TicketLifetimeMillis(const TicketTimes& times);

enum class TicketVerdict {
  Counts,
  NoTicket,      // the upload names none: an old client, or a game played offline or before its ticket came
  UnknownTicket,
  TicketUsed,    // another upload counted for it
  OtherRanking,  // dealt for another ranking than the entry's
  OtherBoard,    // the recording starts from another generator state
  TooSoon,       // arrived sooner after the deal than the game takes to play
  Expired,       // no start was reported, and the upload came later than the longest wait allows
  TooLate,       // arrived later after the reported start than the game and the allowance take
};

// What an upload shows of its game: the replay's figures.
struct UploadedGame {
  int ranking = 0;  // the entry's
  int64_t generatorState = 0;
  int64_t playMillis = 0;
  int64_t pauseMillis = 0;
  int64_t arrivedMillis = 0;  // when the upload came in
};

// Whether the game counts for the ticket the upload named (none: not sent).
// The lower bound is counted from the deal, the earliest the board was
// known: a start report may come late, and a sender may leave it out. The
// upper bound is counted from the start when one was reported.
TicketVerdict JudgeTicket(bool ticketSent, const std::optional<Ticket>& ticket, const UploadedGame& game,
                          const TicketTimes& times);

// The reason's word in the upload's reply and its log line; empty for Counts.
const char* VerdictWord(TicketVerdict verdict);
// The reason in German words, for Translate; empty for Counts.
const char* VerdictText(TicketVerdict verdict);

}  // namespace highscored
