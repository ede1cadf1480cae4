#include "server/rankings_json.h"

#include "server/web_text.h"

namespace highscored {

std::string RenderRankingsJson(const RankingView& view) {
  std::string json = "{\"mode\":" + std::to_string(view.ranking) + ",\"title\":" + JsonQuote(RankingTitle(view.ranking)) +
                     ",\"page\":" + std::to_string(view.page) + ",\"pages\":" + std::to_string(view.pageCount) +
                     ",\"total\":" + std::to_string(view.total) + ",\"entries\":[";
  const char* separator = "";
  for (const ShownEntry& entry : view.entries) {
    json += separator;
    separator = ",";
    json += "{\"place\":" + std::to_string(entry.place) + ",\"name\":" + JsonQuote(entry.name) +
            ",\"points\":" + std::to_string(entry.points) + ",\"submitted\":\"" +
            IsoUtcTime(entry.submittedMillis) + "\",\"new\":" + (entry.recent ? "true" : "false") +
            ",\"verified\":" + (entry.verified ? "true" : "false");
    if (entry.verified) json += ",\"recording\":\"/quarzello/replays/" + std::to_string(entry.id) + "\"";
    json += "}";
  }
  return Latin1ToUtf8(json + "]}\n");
}

std::string RenderJsonError(const std::string& message) {
  return Latin1ToUtf8("{\"error\":" + JsonQuote(message) + "}\n");
}

}  // namespace highscored
