#include "server/tickets.h"

#include "gameplay/recording.h"

namespace highscored {

namespace {

// The longest game a replay plays, pauses included (quarzello::ReplayLimits).
constexpr int64_t kLongestGameMillis = quarzello::kMaxRecordedMillis + 60'000;

}  // namespace

int64_t TicketLifetimeMillis(const TicketTimes& times) {
  return times.startWindowMillis + kLongestGameMillis + times.endAllowanceMillis + times.clockSlackMillis;
}

TicketVerdict JudgeTicket(bool ticketSent, const std::optional<Ticket>& ticket, const UploadedGame& game,
                          const TicketTimes& times) {
  if (!ticketSent) return TicketVerdict::NoTicket;
  if (!ticket) return TicketVerdict::UnknownTicket;
  if (ticket->used) return TicketVerdict::TicketUsed;
  if (ticket->ranking != game.ranking) return TicketVerdict::OtherRanking;
  if (ticket->generatorState != game.generatorState) return TicketVerdict::OtherBoard;
  // Paused time passed as well between the deal and the upload.
  const int64_t span = game.playMillis + game.pauseMillis;
  const int64_t sinceDeal = game.arrivedMillis - ticket->issuedMillis;
  if (sinceDeal + times.clockSlackMillis < span) return TicketVerdict::TooSoon;
  if (ticket->startedMillis) {
    if (game.arrivedMillis - *ticket->startedMillis > span + times.endAllowanceMillis + times.clockSlackMillis) {
      return TicketVerdict::TooLate;
    }
  } else if (sinceDeal > times.startWindowMillis + span + times.endAllowanceMillis + times.clockSlackMillis) {
    return TicketVerdict::Expired;
  }
  return TicketVerdict::Counts;
}

const char* VerdictWord(TicketVerdict verdict) {
  switch (verdict) {
    case TicketVerdict::Counts: break;
    case TicketVerdict::NoTicket: return "no-ticket";
    case TicketVerdict::UnknownTicket: return "unknown-ticket";
    case TicketVerdict::TicketUsed: return "ticket-used";
    case TicketVerdict::OtherRanking: return "other-ranking";
    case TicketVerdict::OtherBoard: return "other-board";
    case TicketVerdict::TooSoon: return "too-soon";
    case TicketVerdict::Expired: return "expired";
    case TicketVerdict::TooLate: return "too-late";
  }
  return "";
}

const char* VerdictText(TicketVerdict verdict) {
  switch (verdict) {
    case TicketVerdict::Counts: break;
    case TicketVerdict::NoTicket:
      return "Das Spiel wurde nicht auf einem vom Highscore-Server ausgeteilten Brett gespielt und zählt darum nicht "
             "in der Online-Rangliste.";
    case TicketVerdict::UnknownTicket:
      return "Der Highscore-Server kennt das Brett dieses Spiels nicht; das Spiel zählt nicht in der "
             "Online-Rangliste.";
    case TicketVerdict::TicketUsed:
      return "Auf diesem Brett zählt schon ein anderes Spiel; dieses zählt nicht in der Online-Rangliste.";
    case TicketVerdict::OtherRanking:
      return "Das Brett wurde für eine andere Rangliste ausgeteilt; das Spiel zählt nicht in der Online-Rangliste.";
    case TicketVerdict::OtherBoard:
      return "Das Spiel wurde nicht auf dem ausgeteilten Brett gespielt und zählt nicht in der Online-Rangliste.";
    case TicketVerdict::TooSoon:
      return "Das Spiel kam schneller an, als es sich spielen lässt, und zählt nicht in der Online-Rangliste.";
    case TicketVerdict::Expired:
      return "Das ausgeteilte Brett war abgelaufen, als das Spiel ankam; es zählt nicht in der Online-Rangliste.";
    case TicketVerdict::TooLate:
      return "Das Spiel kam zu lange nach seinem Ende an und zählt nicht in der Online-Rangliste.";
  }
  return "";
}

}  // namespace highscored
