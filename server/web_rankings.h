#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "server/store.h"
#include "server/texts.h"

namespace highscored {

struct WebReply {
  int status = 200;
  std::string body;  // empty for 304
  std::vector<std::pair<std::string, std::string>> headers;  // Content-Type among them
  std::string note;  // for the log only: why the service failed
};

struct WebSettings {
  // A page is built from the database at most this often; a score stored by
  // another service on the same database shows within this time.
  int64_t maxAgeMillis = 1000;
  size_t maxCachedPages = 512;
  // Whether entries whose recording has not been played again are listed (marked).
  bool acceptUnverified = false;
};

// The rankings for browsers: the HTML page, its JSON variant and the
// page's pictures, answered from short-lived copies so that a busy page
// does not reach the database on every hit.
class WebRankings {
 public:
  // storedScores counts the scores this service has stored; a copy made
  // before the last of them is not used, so one's own score shows at once.
  WebRankings(ScoreStore& store, std::function<uint64_t()> storedScores, const WebSettings& settings = {});

  // The paths answered here, under /quarzello/ and under the root alike.
  static bool Serves(const std::string& path);

  // A GET or HEAD with its raw query string and the request's If-None-Match
  // and Accept-Language headers (empty when none); a path not served gets a
  // page saying so. Pages follow the language (server/texts.h); the JSON
  // variant stays German.
  WebReply Get(const std::string& path, const std::string& query, const std::string& ifNoneMatch,
               const std::string& acceptLanguage = "");

 private:
  struct Built {
    int status = 200;
    std::string body;
    std::string etag;
    uint64_t generation = 0;
    int64_t builtMillis = 0;
  };
  enum class Kind { kPage, kJson };

  WebReply Rankings(Kind kind, const std::string& query, const std::string& ifNoneMatch, PageLanguage language);
  WebReply Recording(int32_t entryId, PageLanguage language);
  std::shared_ptr<const Built> CachedOrBuilt(Kind kind, int ranking, int64_t page, PageLanguage language);
  std::shared_ptr<const Built> Lookup(const std::string& key, int64_t nowMillis);
  bool IsFresh(const Built& built, int64_t nowMillis) const;
  Built Build(Kind kind, int ranking, int64_t page, PageLanguage language);

  ScoreStore& store_;
  const std::function<uint64_t()> storedScores_;
  const WebSettings settings_;
  std::mutex cacheMutex_;
  std::mutex buildMutex_;
  std::map<std::string, std::shared_ptr<const Built>> cache_;
};

}  // namespace highscored
