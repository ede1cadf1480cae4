#include "server/web_routes.h"

namespace highscored {

HttpResponse ToHttpResponse(const WebReply& reply) {
  HttpResponse response;
  response.status = reply.status;
  response.body = reply.body;
  for (const auto& [name, value] : reply.headers) {
    if (name == "Content-Type") {
      response.contentType = value;
    } else {
      response.headers.emplace_back(name, value);
    }
  }
  if (!reply.note.empty()) response.logSummary = std::to_string(reply.body.size()) + " bytes (" + reply.note + ")";
  return response;
}

void AddWebRoutes(HttpFrontEnd& frontEnd, WebRankings& web) {
  const GetHandler handler = [&web](const HttpRequest& request) {
    return ToHttpResponse(
        web.Get(request.path, request.query, request.Header("If-None-Match"), request.Header("Accept-Language")));
  };
  // "/" takes every path the game's own leave; the others name the page
  // under the game's folder without its slash.
  for (const char* path : {"/", "/quarzello"}) frontEnd.AddGetRoute(path, handler);
}

}  // namespace highscored
