#include "server/web_rankings.h"

#include "server/clock.h"
#include "server/form.h"
#include "server/rankings_json.h"
#include "server/web_files.h"
#include "server/web_page.h"
#include "server/web_text.h"

namespace highscored {

namespace {

const std::string kPrefix = "/quarzello";
const std::string kJsonPath = "api/rankings";
const std::string kPicturesPath = "web/";
const std::string kReplaysPath = "replays/";

const char* const kHtmlType = "text/html; charset=utf-8";
const char* const kJsonType = "application/json";
// Browsers ask again every time, and get a 304 while the page is unchanged.
const char* const kRankingsCaching = "no-cache";
const char* const kPictureCaching = "public, max-age=86400";
// The page has no scripts, and what it shows comes from the service alone.
const char* const kPagePolicy = "default-src 'none'; img-src 'self'; style-src 'unsafe-inline'";

const char* const kMalformedQuery = "Die Anfrage ist fehlerhaft kodiert.";
const char* const kNoSuchRanking = "Diese Rangliste gibt es nicht.";
const char* const kNoSuchPage = "Diese Seite gibt es nicht.";
const char* const kNoSuchAddress = "Diese Adresse gibt es auf dem Highscore-Server nicht.";
const char* const kNoSuchRecording = "Zu diesem Eintrag gibt es keine bestätigte Aufzeichnung.";
const char* const kStoreFailed = "Der Highscore-Server ist gerade gestört. Bitte versuchen Sie es später erneut.";

// The path below /quarzello/ or below the root.
std::string Relative(const std::string& path) {
  if (path == kPrefix) return "";
  if (path.rfind(kPrefix + "/", 0) == 0) return path.substr(kPrefix.size() + 1);
  return path.substr(1);
}

std::optional<int32_t> Parameter(const Form& form, const char* name, int32_t absent) {
  const auto it = form.find(name);
  if (it == form.end()) return absent;
  return ParseDecimal(it->second, false);
}

}  // namespace

WebRankings::WebRankings(ScoreStore& store, std::function<uint64_t()> storedScores, const WebSettings& settings)
    : store_(store), storedScores_(std::move(storedScores)), settings_(settings) {}

bool WebRankings::Serves(const std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  const std::string relative = Relative(path);
  return relative.empty() || relative == kJsonPath ||
         (relative.rfind(kPicturesPath, 0) == 0 && WebPicture(relative.substr(kPicturesPath.size()))) ||
         (relative.rfind(kReplaysPath, 0) == 0 && ParseDecimal(relative.substr(kReplaysPath.size()), false));
}

WebReply WebRankings::Get(const std::string& path, const std::string& query, const std::string& ifNoneMatch,
                          const std::string& acceptLanguage) {
  const PageLanguage language = ChoosePageLanguage(query, acceptLanguage);
  if (!Serves(path)) {
    return {404, RenderErrorPage(kNoSuchAddress, language),
            {{"Content-Type", kHtmlType}, {"X-Content-Type-Options", "nosniff"}, {"Vary", "Accept-Language"}}, ""};
  }
  const std::string relative = Relative(path);
  if (relative.empty()) return Rankings(Kind::kPage, query, ifNoneMatch, language);
  if (relative == kJsonPath) return Rankings(Kind::kJson, query, ifNoneMatch, {});
  if (relative.rfind(kReplaysPath, 0) == 0) {
    return Recording(*ParseDecimal(relative.substr(kReplaysPath.size()), false), language);
  }

  const std::string_view picture = *WebPicture(relative.substr(kPicturesPath.size()));
  const std::string etag = EntityTag(picture);
  WebReply reply{200, std::string(picture),
                 {{"Content-Type", "image/png"}, {"Cache-Control", kPictureCaching}, {"ETag", etag}}, ""};
  if (MatchesEntityTag(ifNoneMatch, etag)) {
    reply.status = 304;
    reply.body.clear();
  }
  return reply;
}

// A verified entry's recording, as it was uploaded: for quarzello-replay.
WebReply WebRankings::Recording(int32_t entryId, PageLanguage language) {
  std::optional<std::string> bytes;
  try {
    bytes = store_.Recording(entryId);
  } catch (const StoreError& error) {
    WebReply reply{503, RenderErrorPage(kStoreFailed, language), {{"Content-Type", kHtmlType}}, error.what()};
    return reply;
  }
  if (!bytes) {
    return {404, RenderErrorPage(kNoSuchRecording, language), {{"Content-Type", kHtmlType}, {"X-Content-Type-Options", "nosniff"}},
            ""};
  }
  const std::string etag = EntityTag(*bytes);
  return {200, std::move(*bytes),
          {{"Content-Type", "application/octet-stream"},
           {"Content-Disposition", "attachment; filename=\"quarzello-" + std::to_string(entryId) + ".qzr\""},
           {"Cache-Control", kPictureCaching},
           {"ETag", etag},
           {"X-Content-Type-Options", "nosniff"}},
          ""};
}

WebReply WebRankings::Rankings(Kind kind, const std::string& query, const std::string& ifNoneMatch,
                               PageLanguage language) {
  WebReply reply;
  if (kind == Kind::kPage) {
    reply.headers = {{"Content-Type", kHtmlType}, {"Content-Security-Policy", kPagePolicy}, {"Vary", "Accept-Language"}};
  } else {
    reply.headers = {{"Content-Type", kJsonType}, {"Access-Control-Allow-Origin", "*"}};
  }
  reply.headers.emplace_back("X-Content-Type-Options", "nosniff");
  auto refuse = [&](int status, const std::string& message) {
    reply.status = status;
    reply.body = kind == Kind::kPage ? RenderErrorPage(message, language) : RenderJsonError(message);
    return reply;
  };

  const auto form = ParseForm(query);
  if (!form) return refuse(400, kMalformedQuery);
  const auto ranking = Parameter(*form, "mode", 0);
  if (!ranking || !quarzello::IsRanking(*ranking)) return refuse(400, kNoSuchRanking);
  const auto page = Parameter(*form, "page", 1);
  if (!page || *page < 1) return refuse(400, kNoSuchPage);

  std::shared_ptr<const Built> built;
  try {
    built = CachedOrBuilt(kind, *ranking, *page, language);
  } catch (const StoreError& error) {
    reply = refuse(503, kStoreFailed);
    reply.note = error.what();
    return reply;
  }
  reply.headers.emplace_back("Cache-Control", kRankingsCaching);
  if (built->status != 200) {
    reply.status = built->status;
    reply.body = built->body;
    return reply;
  }
  reply.headers.emplace_back("ETag", built->etag);
  if (MatchesEntityTag(ifNoneMatch, built->etag)) {
    reply.status = 304;
  } else {
    reply.body = built->body;
  }
  return reply;
}

bool WebRankings::IsFresh(const Built& built, int64_t nowMillis) const {
  return built.generation == storedScores_() && nowMillis - built.builtMillis < settings_.maxAgeMillis;
}

std::shared_ptr<const WebRankings::Built> WebRankings::Lookup(const std::string& key, int64_t nowMillis) {
  std::lock_guard lock(cacheMutex_);
  const auto it = cache_.find(key);
  if (it == cache_.end() || !IsFresh(*it->second, nowMillis)) return nullptr;
  return it->second;
}

std::shared_ptr<const WebRankings::Built> WebRankings::CachedOrBuilt(Kind kind, int ranking, int64_t page,
                                                                   PageLanguage language) {
  const std::string key = (kind == Kind::kPage ? "page " : "json ") + std::to_string(ranking) + " " +
                          std::to_string(page) + " " + language.language +
                          (language.fromQuery ? " asked" : "");
  if (auto cached = Lookup(key, SteadyMillis())) return cached;

  // One request builds a page while the others that want it wait for it.
  std::lock_guard build(buildMutex_);
  if (auto cached = Lookup(key, SteadyMillis())) return cached;
  auto built = std::make_shared<const Built>(Build(kind, ranking, page, language));

  std::lock_guard lock(cacheMutex_);
  if (cache_.size() >= settings_.maxCachedPages) {
    const int64_t now = SteadyMillis();
    std::erase_if(cache_, [&](const auto& item) { return !IsFresh(*item.second, now); });
    // Still full of fresh pages (someone walks through them all): start over.
    if (cache_.size() >= settings_.maxCachedPages) cache_.clear();
  }
  cache_[key] = built;
  return built;
}

WebRankings::Built WebRankings::Build(Kind kind, int ranking, int64_t page, PageLanguage language) {
  Built built;
  // Read before the query: a score stored meanwhile makes this copy stale at once.
  built.generation = storedScores_();
  built.builtMillis = SteadyMillis();
  const RankingSlice slice = store_.Slice(ranking, FirstOnPage(page), kEntriesPerPage, settings_.acceptUnverified);
  const RankingView view = MakeRankingView(ranking, page, slice, WallMillis());
  if (page > view.pageCount) {
    built.status = 404;
    built.body = kind == Kind::kPage ? RenderErrorPage(kNoSuchPage, language) : RenderJsonError(kNoSuchPage);
    return built;
  }
  built.body = kind == Kind::kPage ? RenderRankingsPage(view, settings_.acceptUnverified, language)
                                   : RenderRankingsJson(view);
  built.etag = EntityTag(built.body);
  return built;
}

}  // namespace highscored
