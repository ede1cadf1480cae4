// The client of the online highscore service: register for a key, submit the
// finished game's score, fetch the seven online rankings. Each request is one
// HTTP/1.0 POST on its own connection and blocks until it is done.
#pragma once

#include <cstdint>
#include <string>

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

// Results of the requests.
constexpr int kNoConnection = 0;
constexpr int kDone = 1;
constexpr int kServerError = 2;  // already shown to the player
constexpr int kRetry = 3;        // the server wants a new registration and submission

int RegisterClient();
int SubmitScore();  // the score, mode and difficulty of the game just played
int FetchTables();  // refills the online lists; 0 leaves them as they were
void ShowConnecting(const std::string& text);

std::string UrlEncodeName(const std::string& text);
int32_t ScoreHash();
// Adler-32 over the character codes, as a signed 32-bit number.
int32_t Adler32(const std::string& text);

// "host" or "host:port" of the service: QUARZELLO_HIGHSCORE_HOST from the
// environment when set, else the one the game was built with.
std::string HighscoreHost();
// The name sent in the "Host: " header.
std::string HighscoreWebHost();

// Replies are cut at these sizes: a body line at the first, and the whole
// reply, which then counts as cut off, at the second.
constexpr size_t kMaxReplyLine = 1024;
constexpr size_t kMaxReplyBytes = 1 << 20;
