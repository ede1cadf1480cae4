// The client of the online highscore service: register for a key, submit the
// finished game's score, upload the recording of that game so that the
// service can play it again, fetch the seven online rankings. Each request is one
// HTTP/1.0 POST on its own connection and blocks until it is done. A request
// reads only the ClientContext it is given and changes nothing, so that it can
// run on a thread beside the event loop; its answer is then taken in on the
// loop (Accept), which keeps what the server handed out and shows the
// server's own error message. What the player sees meanwhile is the caller's
// business.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "gameplay/texts.h"
#include "highscore/store.h"
#include "platform/platform.h"

namespace quarzello {

struct OnlineState {
  std::string onlineKey;  // key of the last successful registration
  int32_t keyId = 0;
  int32_t ownId = 0;      // id of the last stored score, sent with every fetch
  // A request is over after this long (host-name lookup, connecting, sending
  // and reading together); a server that has not answered whole by then
  // counts as no connection.
  int timeoutMillis = kNetworkTimeoutMillis;
};

enum class OnlineResult : uint8_t {
  NoConnection = 0,
  Done = 1,
  ServerError = 2,  // already shown to the player
  Retry = 3,        // the server wants a new registration and submission
};

// The seven online rankings of one fetch, in the server's order.
struct FetchedTables {
  OnlineResult result = OnlineResult::NoConnection;
  OnlineLists lists;
  // Set when the reply marked an entry "is own": that entry, or none when
  // the mark came before any entry.
  std::optional<ScoreRef> own;
};

// Everything a request reads besides its own arguments, copied when it is
// made: where the service is, the game's language and the online state.
struct ClientContext {
  std::string host;     // HighscoreHost()
  std::string webHost;  // HighscoreWebHost()
  std::string language = "de";  // as the catalogues name it
  OnlineState online;
};
// The context as the game is now, with its online state; on the loop's thread.
ClientContext CurrentClientContext(const OnlineState& online);

// The answers of the requests. serverMessage: with ServerError, what the
// server reported, for the player.
struct Registration {
  OnlineResult result = OnlineResult::NoConnection;
  std::string onlineKey;
  int32_t keyId = 0;
  std::string serverMessage;
};
struct Submission {
  OnlineResult result = OnlineResult::NoConnection;
  int32_t ownId = 0;
  std::string serverMessage;
};
struct UploadReply {
  OnlineResult result = OnlineResult::NoConnection;
  std::string serverMessage;
  // With Done, when the entry does not count online (its game was not
  // played on a board the service dealt, once, in a time that fits): the
  // service's word for why, and the reason in words for the player.
  std::string unverifiedReason;
  std::string unverifiedMessage;
};

Registration RegisterClient(const ClientContext& context);
// Under the key of context.online. ranking: the RankingIndex of the game's local list.
Submission SubmitScore(const ClientContext& context, const std::string& playerName, int32_t points,
                       uint8_t ranking);
// Sends context.online.ownId, so that the server can mark that entry.
FetchedTables FetchTables(const ClientContext& context);
// The recording (EncodeRecording's bytes) of the game whose score was just
// submitted, for the entry ownId under the key it was submitted with, and
// the ticket its board was dealt with (highscore/deal.h; 0: none, the entry
// will not count). A refusal is the server's error.
UploadReply UploadRecording(const ClientContext& context, const std::string& recording, int32_t ticket = 0);

// On the loop: a registration's key and a submission's id go into the
// game's online state, and a server's error is shown in its message box.
// Each returns the answer's result.
OnlineResult Accept(OnlineState& online, const Registration& registration);
OnlineResult Accept(OnlineState& online, const Submission& submission);
OnlineResult Accept(const UploadReply& upload);

std::string UrlEncodeName(const std::string& text);

// "host" or "host:port" of the service: QUARZELLO_HIGHSCORE_HOST from the
// environment when set, else the one the game was built with.
std::string HighscoreHost();
// The name sent in the "Host: " header.
std::string HighscoreWebHost();

// Replies are cut at these sizes: a body line at the first, and the whole
// reply, which then counts as cut off, at the second.
constexpr size_t kMaxReplyLine = 1024;
constexpr size_t kMaxReplyBytes = 1 << 20;

}  // namespace quarzello
