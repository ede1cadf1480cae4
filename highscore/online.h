// The client of the online highscore service: register for a key, submit the
// finished game's score, upload the recording of that game so that the
// service can play it again, fetch the seven online rankings. Each request is one
// HTTP/1.0 POST on its own connection and blocks until it is done. What the
// player sees meanwhile is the caller's business; only the server's own error
// messages are shown from here, as they arrive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "highscore/store.h"

namespace quarzello {

struct OnlineState {
  std::string onlineKey;  // key of the last successful registration
  int32_t keyId = 0;
  int32_t ownId = 0;      // id of the last stored score, sent with every fetch
  // A request is over after this long (host-name lookup, connecting, sending
  // and reading together); a server that has not answered whole by then
  // counts as no connection.
  int timeoutMillis = 8000;

  void reset() { *this = OnlineState{}; }
};
extern OnlineState onlineState;

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

OnlineResult RegisterClient();
// ranking: the RankingIndex of the game's local list.
OnlineResult SubmitScore(const std::string& playerName, int32_t points, uint8_t ranking);
FetchedTables FetchTables();
// The recording (EncodeRecording's bytes) of the game whose score was just
// submitted, for the entry ownId under the key it was submitted with. A
// refusal is the server's error, shown as such.
OnlineResult UploadRecording(const std::string& recording);

// The upload's check value: CRC-32 over the key, the recording and the key
// again, as a signed 32-bit number; the service computes the same.
int32_t RecordingHash(const std::string& key, const std::string& recording);
// RFC 4648 base64 with the URL-safe alphabet and no padding.
std::string Base64UrlEncode(const std::string& bytes);

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
