#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "server/highscore_service.h"
#include "server/web_rankings.h"

namespace highscored {

struct HttpSettings {
  std::string address = "127.0.0.1";
  int port = 8080;  // 0 picks a free port
  int threads = 16;
  size_t maxBodyBytes = 4096;
  // How long a client may keep a connection without sending its request.
  int clientTimeoutSeconds = 5;
  // Requests arriving from this address (a reverse proxy) count for the
  // client named last in their X-Forwarded-For header.
  std::string trustedProxy;
};

// Serves the game's three requests over HTTP, one request per connection,
// and the rankings for browsers.
class HttpFrontEnd {
 public:
  HttpFrontEnd(HighscoreService& service, WebRankings& web, const HttpSettings& settings);
  ~HttpFrontEnd();

  // Opens the listening socket and returns its port; -1 when that fails.
  int Bind();
  // Serves until Stop; requests under way are answered before it returns.
  void Run();
  void Stop();

 private:
  class Server;
  const HttpSettings settings_;
  std::unique_ptr<Server> server_;
};

}  // namespace highscored
