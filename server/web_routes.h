#pragma once

#include "server/http_frontend.h"
#include "server/web_rankings.h"

namespace highscored {

// Serves the rankings for browsers under /quarzello/ and under the root.
void AddWebRoutes(HttpFrontEnd& frontEnd, WebRankings& web);

// The HTTP form of one of its replies.
HttpResponse ToHttpResponse(const WebReply& reply);

}  // namespace highscored
