// Fills a running highscore service through the game's own online client.
//   game_client_fill HOST:PORT < games
// Each line of games is one finished game, "gameMode difficulty score name",
// registered and submitted as the new-highscore screen does it, with a new
// registration whenever the server asks for one. Exits non-zero at the first
// game the service does not store.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "gameplay/modes.h"
#include "highscore/online.h"
#include "platform/platform.h"

using namespace quarzello;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s HOST:PORT < games\n", argv[0]);
    return 2;
  }
  setenv("QUARZELLO_HIGHSCORE_HOST", argv[1], 1);
  // Messages the client would show are kept here instead.
  RecordingBackend recording;
  SetBackend(&recording);

  OnlineState online;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream fields(line);
    int mode = 0, difficulty = 0, score = 0;
    std::string name;
    fields >> mode >> difficulty >> score >> std::ws;
    std::getline(fields, name);
    const uint8_t ranking = RankingIndex(static_cast<uint8_t>(mode), static_cast<uint8_t>(difficulty));
    OnlineResult result = OnlineResult::Retry;
    while (result == OnlineResult::Retry) {
      result = Accept(online, RegisterClient(CurrentClientContext(online))) == OnlineResult::Done
                   ? Accept(online, SubmitScore(CurrentClientContext(online), name, score, ranking))
                   : OnlineResult::NoConnection;
    }
    if (result != OnlineResult::Done) {
      std::fprintf(stderr, "not stored: %s (%s)\n", line.c_str(),
                   recording.messages.empty() ? "no connection" : recording.messages.back().text.c_str());
      return 1;
    }
  }
  return 0;
}
