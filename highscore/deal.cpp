#include "highscore/deal.h"

#include <system_error>
#include <thread>

#include "base/random.h"
#include "highscore/http_client.h"
#include "protocol/protocol.h"

namespace quarzello {

DealtBoard FetchDealtBoard(const ClientContext& context, uint8_t ranking) {
  DealtBoard board;
  board.ranking = ranking;
  Connection connection = Connect(context);
  if (!connection) return board;
  SendRequest(connection.get(), context, RequestLine(kDealPath),
              "mode=" + IntToText(ranking) + "&lang=" + context.language);
  ReplyReader reply(connection.get());
  if (!reply.Whole()) return board;
  if (reply.Line() != "OKAY") {
    board.result = OnlineResult::ServerError;
    board.serverMessage = reply.Line();
    return board;
  }
  const int ticket = TextToInt(reply.Line());
  const int state = TextToInt(reply.Line());
  if (ticket <= 0 || !Random::ValidState(state)) return board;
  board.result = OnlineResult::Done;
  board.ticket = ticket;
  board.generatorState = state;
  return board;
}

bool ReportGameStart(const ClientContext& context, const DealtBoard& board) {
  Connection connection = Connect(context);
  if (!connection) return false;
  // The state proves the ticket is the sender's: the service dealt it to no one else.
  SendRequest(connection.get(), context, RequestLine(kStartPath),
              "ticket=" + IntToText(board.ticket) + "&state=" + IntToText(board.generatorState));
  ReplyReader reply(connection.get());
  return reply.Whole() && reply.Line() == "OKAY";
}

void ReportGameStartAside(const ClientContext& context, const DealtBoard& board) {
  try {
    std::thread([context, board] { ReportGameStart(context, board); }).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the game goes unstamped, and still counts.
  }
}

}  // namespace quarzello
