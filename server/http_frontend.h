#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/highscore_service.h"

namespace highscored {

struct HttpSettings {
  std::string address = "127.0.0.1";
  int port = 8080;  // 0 picks a free port
  int threads = 16;
  size_t maxBodyBytes = 4096;
  // The body of an upload of a recording.
  size_t maxUploadBodyBytes = 1u << 20;
  // Uploads of recordings at once, from their head until they are answered,
  // in all and from one address (0 = no limit per address); one more is
  // refused as soon as its head has arrived. A replay slot is the service's
  // (ServiceSettings::maxReplays), taken only once the upload's checks pass.
  int maxUploadsReceived = 64;
  int maxUploadsPerAddress = 4;
  // Threads that answer uploads (each waits for a replay worker).
  int uploadThreads = 4;
  // Request line and header lines together; this also bounds their number.
  size_t maxHeaderBytes = 8192;
  size_t maxHeaderFields = 64;
  // How long a client may take from connecting to the last byte of its
  // request, and again to take the reply.
  int clientTimeoutSeconds = 5;
  // Connections open at once, in all and from one address (0 = no limit per
  // address). Further ones get a short refusal and are closed at once.
  int maxConnections = 1000;
  int maxConnectionsPerAddress = 32;
  // Requests arriving from this address (a reverse proxy) count for the
  // client named last in their X-Forwarded-For header, and its connections
  // are not limited per address.
  std::string trustedProxy;
};

struct HttpRequest {
  std::string method;
  std::string path;   // the target up to '?', not decoded
  std::string query;  // after '?', not decoded
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string clientAddress;  // after X-Forwarded-For of the trusted proxy

  // The first header of that name (case-insensitive), or "".
  std::string Header(std::string_view name) const;
};

struct HttpResponse {
  int status = 200;
  std::string contentType = "text/plain; charset=ISO-8859-1";
  std::vector<std::pair<std::string, std::string>> headers;  // besides Content-Type and Content-Length
  std::string body;
  // What the request's log line says about the outcome; the body's size when empty.
  std::string logSummary;
};

// Answers a GET (or HEAD: the same reply without its body).
using GetHandler = std::function<HttpResponse(const HttpRequest&)>;

// Serves the game's requests over HTTP, one request per connection,
// plus whatever GET routes are added.
class HttpFrontEnd {
 public:
  HttpFrontEnd(HighscoreService& service, const HttpSettings& settings);
  ~HttpFrontEnd();

  // Before Run. A path ending in '/' also answers every path below it that
  // no longer route claims; the game's own paths cannot be taken.
  void AddGetRoute(const std::string& path, GetHandler handler);

  // Opens the listening socket and returns its port; -1 when that fails.
  int Bind();
  // Serves until Stop.
  void Run();
  // From any thread: stops taking connections, drops those still sending
  // their request, lets replies under way go out and returns once Run has
  // ended, after at most about a second and a half.
  void Stop();

 private:
  class Server;
  std::unique_ptr<Server> server_;
};

}  // namespace highscored
