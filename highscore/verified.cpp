#include "highscore/verified.h"

#include <nlohmann/json.hpp>

#include "highscore/http_client.h"
#include "platform/platform.h"

namespace quarzello {

namespace {

constexpr const char kRankingsPath[] = "/quarzello/api/rankings";
constexpr const char kReplaysPath[] = "/quarzello/replays/";

// Names are stored one ISO-8859-1 byte a character and sent as UTF-8; one
// that is not Latin-1 cannot be an entry of the game's table.
std::optional<std::string> Latin1FromUtf8(const std::string& utf8) {
  std::string latin1;
  for (const uint32_t code : CodePointsFromUtf8(utf8)) {
    if (code > 255) return std::nullopt;
    latin1 += static_cast<char>(code);
  }
  return latin1;
}

}  // namespace

std::optional<std::vector<VerifiedEntry>> ParseVerifiedEntries(const std::string& json) {
  const nlohmann::json reply = nlohmann::json::parse(json, nullptr, false);
  if (!reply.is_object() || !reply.contains("entries") || !reply["entries"].is_array()) return std::nullopt;
  std::vector<VerifiedEntry> verified;
  const std::string prefix = kReplaysPath;
  for (const nlohmann::json& entry : reply["entries"]) {
    if (!entry.is_object() || entry.value("verified", false) != true) continue;
    const nlohmann::json& name = entry.value("name", nlohmann::json());
    const nlohmann::json& points = entry.value("points", nlohmann::json());
    const nlohmann::json& recording = entry.value("recording", nlohmann::json());
    if (!name.is_string() || !points.is_number_integer() || !recording.is_string()) continue;
    const std::string path = recording.get<std::string>();
    const std::optional<std::string> latin1 = Latin1FromUtf8(name.get<std::string>());
    if (!latin1 || path.rfind(prefix, 0) != 0) continue;
    const std::string id = path.substr(prefix.size());
    if (id.empty() || id.size() > 9 || id.find_first_not_of("0123456789") != std::string::npos) continue;
    verified.push_back({*latin1, points.get<int32_t>(), std::stoi(id)});
  }
  return verified;
}

VerifiedPage FetchVerifiedEntries(const ClientContext& context, uint8_t ranking, int page) {
  VerifiedPage fetched;
  Connection connection = Connect(context);
  if (!connection) return fetched;
  SendGetRequest(connection.get(), context,
                 std::string(kRankingsPath) + "?mode=" + IntToText(ranking) + "&page=" + IntToText(page),
                 "application/json");
  ReplyReader reply(connection.get());
  if (!reply.Whole()) return fetched;
  std::optional<std::vector<VerifiedEntry>> entries =
      reply.Status() == 200 ? ParseVerifiedEntries(reply.Body()) : std::nullopt;
  if (!entries) {
    fetched.result = OnlineResult::ServerError;
    return fetched;
  }
  fetched.result = OnlineResult::Done;
  fetched.entries = std::move(*entries);
  return fetched;
}

DownloadedRecording DownloadRecording(const ClientContext& context, int32_t recordingId) {
  DownloadedRecording downloaded;
  Connection connection = Connect(context);
  if (!connection) return downloaded;
  SendGetRequest(connection.get(), context, kReplaysPath + IntToText(recordingId), "application/octet-stream");
  ReplyReader reply(connection.get());
  if (!reply.Whole()) return downloaded;
  if (reply.Status() != 200) {
    downloaded.result = OnlineResult::ServerError;
    return downloaded;
  }
  downloaded.result = OnlineResult::Done;
  downloaded.bytes = reply.Body();
  return downloaded;
}

std::vector<int32_t> MatchVerifiedEntries(const std::vector<std::pair<std::string, int32_t>>& shown,
                                          const std::vector<VerifiedEntry>& verified) {
  std::vector<int32_t> ids(shown.size(), 0);
  std::vector<bool> used(verified.size(), false);
  for (size_t i = 0; i < shown.size(); ++i) {
    for (size_t j = 0; j < verified.size(); ++j) {
      if (used[j] || verified[j].name != shown[i].first || verified[j].points != shown[i].second) continue;
      used[j] = true;
      ids[i] = verified[j].recordingId;
      break;
    }
  }
  return ids;
}

}  // namespace quarzello
