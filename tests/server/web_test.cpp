// The rankings for browsers without a network: the page, its JSON, the
// escaping of names, and the short-lived copies that spare the database.

#include <gtest/gtest.h>

#include <atomic>

#include "server/ranking_view.h"
#include "server/rankings_json.h"
#include "server/web_page.h"
#include "server/texts.h"
#include "server/web_rankings.h"
#include "server/web_text.h"

namespace highscored {
namespace {

constexpr int64_t kNow = 1'800'000'000'000;
constexpr int64_t kHour = 60 * 60 * 1000;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(WebTextTest, NamesShowAsTypedAndNeverAsMarkup) {
  EXPECT_EQ(HtmlEscape("<script>\"&'"), "&lt;script&gt;&quot;&amp;&#39;");
  EXPECT_EQ(HtmlEscape(std::string("a\nb\x01\x7f\x85", 6)), "a&#xFFFD;b&#xFFFD;&#xFFFD;&#xFFFD;");
  EXPECT_EQ(JsonQuote("\"\\</script>&\t"), "\"\\\"\\\\\\u003c/script\\u003e\\u0026\\u0009\"");
  // The database holds one ISO-8859-1 byte per character.
  EXPECT_EQ(Latin1ToUtf8("J\xfcrgen \xdf\xff"), "J\xc3\xbcrgen \xc3\x9f\xc3\xbf");
}

TEST(WebTextTest, EntityTagsFollowTheBodyAndMatchListsWeakTagsAndStar) {
  const std::string tag = EntityTag("body");
  EXPECT_EQ(tag, EntityTag("body"));
  EXPECT_NE(tag, EntityTag("bodY"));
  EXPECT_EQ(tag.front(), '"');
  EXPECT_TRUE(MatchesEntityTag(tag, tag));
  EXPECT_TRUE(MatchesEntityTag("\"x\", W/" + tag + " ", tag));
  EXPECT_TRUE(MatchesEntityTag("*", tag));
  EXPECT_FALSE(MatchesEntityTag("", tag));
  EXPECT_FALSE(MatchesEntityTag("\"x\",\"y\"", tag));
}

RankingSlice Slice(int64_t total, int count, int64_t submitted) {
  RankingSlice slice{total, {}};
  for (int i = 0; i < count; ++i) slice.entries.push_back({i + 1, "P" + std::to_string(i), 1000 - i, submitted});
  return slice;
}

TEST(RankingViewTest, PagesOfTenNumberedOverTheWholeRanking) {
  EXPECT_EQ(PageCount(0), 1);
  EXPECT_EQ(PageCount(10), 1);
  EXPECT_EQ(PageCount(11), 2);
  EXPECT_EQ(FirstOnPage(3), 20);

  const RankingView view = MakeRankingView(4, 3, Slice(25, 5, kNow), kNow);
  EXPECT_EQ(view.pageCount, 3);
  EXPECT_EQ(view.total, 25);
  ASSERT_EQ(view.entries.size(), 5u);
  EXPECT_EQ(view.entries.front().place, 21);
  EXPECT_EQ(view.entries.back().place, 25);
  EXPECT_EQ(RankingTitle(4), "Turbo Mittel");
  EXPECT_EQ(RankingTitle(6), "Level");
}

TEST(RankingViewTest, EntriesOfTheLastDayAreNew) {
  RankingSlice slice = Slice(3, 3, 0);
  slice.entries[0].submittedMillis = kNow - 24 * kHour + 1;
  slice.entries[1].submittedMillis = kNow - 24 * kHour;
  slice.entries[2].submittedMillis = kNow;
  const RankingView view = MakeRankingView(0, 1, slice, kNow);
  EXPECT_TRUE(view.entries[0].recent);
  EXPECT_FALSE(view.entries[1].recent);
  EXPECT_TRUE(view.entries[2].recent);
}

RankingView NamedView(const std::string& name, bool recent) {
  RankingView view;
  view.ranking = 5;
  view.page = 2;
  view.pageCount = 3;
  view.total = 21;
  view.entries.push_back({11, name, 4711, kNow, recent, true, 31});
  view.entries.push_back({12, "Null", 0, kNow - 48 * kHour, false});
  return view;
}

TEST(WebPageTest, RowsTabsAndPageLinks) {
  const std::string page = RenderRankingsPage(NamedView("<script>\"&'", true));
  EXPECT_TRUE(Contains(page, "<meta charset=\"utf-8\">"));
  EXPECT_TRUE(Contains(page, "<h2>Turbo Schwer</h2>"));
  EXPECT_TRUE(Contains(page, "<tr class=\"new\"><td class=\"place\">11.</td><td class=\"name\">"
                             "&lt;script&gt;&quot;&amp;&#39;<span class=\"new-mark\""));
  EXPECT_FALSE(Contains(page, "<script"));
  // As in the game, no points are shown for an entry without any.
  EXPECT_TRUE(Contains(page, "<tr><td class=\"place\">12.</td><td class=\"name\">Null</td><td class=\"points\"></td>"));
  EXPECT_TRUE(Contains(page, "<span>Seite 2 von 3</span>"));
  EXPECT_TRUE(Contains(page, "rel=\"prev\" href=\"?mode=5\""));
  EXPECT_TRUE(Contains(page, "rel=\"next\" href=\"?mode=5&amp;page=3\""));
  for (int ranking = 0; ranking < kRankings; ++ranking) {
    EXPECT_TRUE(Contains(page, "href=\"?mode=" + std::to_string(ranking) + "\" title=\"" + RankingTitle(ranking)))
        << ranking;
  }
  EXPECT_TRUE(Contains(page, "class=\"tab s0 current\" href=\"?mode=5\""));
  EXPECT_TRUE(Contains(page, "n\xc3\xa4" "chste Seite")) << "sent as UTF-8";
}

TEST(WebPageTest, AnEmptyRankingSaysSoAndHasNoWayOn) {
  RankingView view;
  view.ranking = 6;
  const std::string page = RenderRankingsPage(view);
  EXPECT_TRUE(Contains(page, "Kein Eintr\xc3\xa4ge"));
  EXPECT_TRUE(Contains(page, "Seite 1 von 1"));
  EXPECT_FALSE(Contains(page, "rel=\"prev\""));
  EXPECT_FALSE(Contains(page, "rel=\"next\""));
}

TEST(PageLanguageTest, TheHighestWeightOfASpokenLanguageWinsAndTheQueryDecides) {
  const auto chosen = [](const char* query, const char* accept) { return ChoosePageLanguage(query, accept).language; };
  for (const char* accept : {"en", "en-GB,en;q=0.9", "xx, en;q=0.5", "EN-us", "de;q=0.5, en", "en, de",
                             "de;q=0.4,en-US;q=0.8,en;q=0.7", "fr;q=0.3, en;q=0.8"})
    EXPECT_EQ(chosen("", accept), "en") << accept;
  for (const char* accept : {"fr;q=0.9, en;q=0.8", "fr-CA", "fr-FR,fr;q=0.9,en-US;q=0.8,en;q=0.7", "en;q=0.5, fr",
                             "fr, en"})
    EXPECT_EQ(chosen("", accept), "fr") << accept;
  for (const char* accept : {"", "de", "de-DE,de;q=0.9,en;q=0.8", "xx", "*", "de, en", "en;q=0", "en;q=x",
                             "en;q=2", "enx", "de-CH, en;q=0.9", "es-ES, pt;q=0.9"})
    EXPECT_EQ(chosen("", accept), "de") << accept;
  EXPECT_EQ(chosen("mode=2&lang=en", "de"), "en");
  EXPECT_EQ(chosen("lang=de", "fr;q=0.9, en;q=0.8"), "de");
  EXPECT_EQ(chosen("lang=fr", "en"), "fr");
  EXPECT_EQ(chosen("lang=xx", "de"), "de") << "an unknown one leaves it to the browser";
  EXPECT_EQ(chosen("lang=xx", "en"), "en");
  EXPECT_EQ(chosen("lang=../fr", "en"), "en");
  EXPECT_TRUE(ChoosePageLanguage("lang=de", "en").fromQuery);
  EXPECT_FALSE(ChoosePageLanguage("mode=1", "en").fromQuery);
}

TEST(WebPageTest, TheEnglishPageSaysItAllInEnglishAndKeepsAnAskedLanguage) {
  const std::string page = RenderRankingsPage(NamedView("Anna", true), false, {"en", true});
  for (const char* text : {"<html lang=\"en\">", "<h2>Turbo Hard</h2>", "<span>Page 2 of 3</span>", ">Place</th>",
                           ">Points</th>", "aria-label=\"next page\"", ">new</span> entered in the last 24 hours",
                           "The online rankings of Quarzello", "This page as JSON", ">Easy</a>", ">Medium</a>",
                           "<title>Quarzello Highscore: Turbo Hard, page 2</title>",
                           "rel=\"next\" href=\"?mode=5&amp;page=3&amp;lang=en\""})
    EXPECT_TRUE(Contains(page, text)) << text;
  for (const char* german : {"Seite", "Platz", "Punkte", "Leicht", "Schwer", "eingetragen", ">neu<", "Ranglisten"})
    EXPECT_FALSE(Contains(page, german)) << german;
  EXPECT_TRUE(Contains(page, "href=\"api/rankings?mode=5&amp;page=2\"")) << "JSON stays German";
  // Chosen by the browser, the links leave the choice to the browser again.
  EXPECT_TRUE(Contains(RenderRankingsPage(NamedView("Anna", true), false, {"en", false}),
                       "rel=\"next\" href=\"?mode=5&amp;page=3\""));
  const std::string error = RenderErrorPage("Diese Seite gibt es nicht.", {"en", false});
  EXPECT_TRUE(Contains(error, "<h2>There is no such page.</h2>")) << error;
  EXPECT_TRUE(Contains(error, "To the rankings"));
}

TEST(RankingsJsonTest, OnePageWithItsPlaceNamesAndMarks) {
  EXPECT_EQ(RenderRankingsJson(NamedView("J\xfc\"<", true)),
            "{\"mode\":5,\"title\":\"Turbo Schwer\",\"page\":2,\"pages\":3,\"total\":21,\"entries\":["
            "{\"place\":11,\"name\":\"J\xc3\xbc\\\"\\u003c\",\"points\":4711,\"submitted\":\"2027-01-15T08:00:00Z\","
            "\"new\":true,\"verified\":true,\"recording\":\"/quarzello/replays/31\"},"
            "{\"place\":12,\"name\":\"Null\",\"points\":0,\"submitted\":\"2027-01-13T08:00:00Z\",\"new\":false,"
            "\"verified\":false}]}\n");
  EXPECT_EQ(RenderJsonError("Diese Seite gibt es nicht."), "{\"error\":\"Diese Seite gibt es nicht.\"}\n");
}

// Counts the queries the web makes and answers them from a fixed ranking.
class CountingStore : public ScoreStore {
 public:
  bool AddKey(int32_t, const std::string&, int64_t) override { return true; }
  SubmitResult AddScore(const NewScore&, int64_t, const std::function<bool(const std::string&)>&) override {
    return {};
  }
  Rankings TopEntries(int, bool) override { return {}; }
  void DropExpiredKeys(int64_t) override {}
  std::optional<UploadTarget> FindUploadTarget(int32_t) override { return {}; }
  VerifyStatus StoreVerified(const VerifiedRecording&, int64_t) override { return VerifyStatus::Stored; }
  bool AddTicket(const Ticket&) override { return true; }
  bool StampTicketStart(int32_t, int64_t, int64_t, int64_t) override { return false; }
  std::optional<Ticket> FindTicket(int32_t) override { return {}; }
  void DropStaleTickets(int64_t) override {}
  std::optional<std::string> Recording(int32_t id) override {
    if (id != 7) return std::nullopt;
    return std::string("QZRC\x01 bytes", 11);
  }
  RankingSlice Slice(int ranking, int64_t offset, int count, bool) override {
    ++slices;
    if (failing) throw StoreError("gone");
    RankingSlice slice{total, {}};
    for (int64_t i = offset; i < total && i < offset + count; ++i) {
      slice.entries.push_back({static_cast<int32_t>(i), "R" + std::to_string(ranking), 10, 0});
    }
    return slice;
  }
  std::atomic<int> slices{0};
  int64_t total = 15;
  bool failing = false;
};

std::string Header(const WebReply& reply, const std::string& name) {
  for (const auto& [key, value] : reply.headers) {
    if (key == name) return value;
  }
  return "";
}

class WebRankingsTest : public ::testing::Test {
 protected:
  WebRankings Web(int64_t maxAgeMillis) {
    return WebRankings(store, [this] { return stored.load(); }, {maxAgeMillis, 4});
  }
  CountingStore store;
  std::atomic<uint64_t> stored{0};
};

TEST_F(WebRankingsTest, PathsUnderTheGamesFolderAndTheRoot) {
  for (const char* path : {"/", "/quarzello", "/quarzello/", "/api/rankings", "/quarzello/api/rankings",
                           "/web/stones.png", "/quarzello/web/title.png", "/quarzello/web/icon.png"}) {
    EXPECT_TRUE(WebRankings::Serves(path)) << path;
  }
  for (const char* path : {"/quarzello/get.php", "/quarzello/web/", "/web/nothing.png", "/quarzello/api",
                           "/index.html", "", "quarzello/"}) {
    EXPECT_FALSE(WebRankings::Serves(path)) << path;
  }
  const WebReply missing = Web(1000).Get("/index.html", "", "");
  EXPECT_EQ(missing.status, 404);
  EXPECT_TRUE(Contains(missing.body, "Diese Adresse gibt es auf dem Highscore-Server nicht."));
}

TEST_F(WebRankingsTest, BadParametersAreRefusedWithoutAskingTheStore) {
  WebRankings web = Web(1000);
  for (const char* query : {"mode=7", "mode=-1", "mode=x", "mode=", "page=0", "page=-2", "page=1.5",
                            "mode=1&mode=2", "mode=%zz", "page=99999999999"}) {
    const WebReply json = web.Get("/quarzello/api/rankings", query, "");
    EXPECT_EQ(json.status, 400) << query;
    EXPECT_EQ(json.body.rfind("{\"error\":", 0), 0u) << query;
    EXPECT_EQ(web.Get("/quarzello/", query, "").status, 400) << query;
  }
  EXPECT_EQ(store.slices, 0);
}

TEST_F(WebRankingsTest, APagePastTheLastIsNotFoundAndDefaultsAreTheFirstPage) {
  WebRankings web = Web(1000);
  EXPECT_EQ(web.Get("/api/rankings", "mode=2&page=3", "").status, 404);
  const WebReply first = web.Get("/api/rankings", "", "");
  EXPECT_EQ(first.status, 200);
  EXPECT_TRUE(Contains(first.body, "\"mode\":0,\"title\":\"Classic Leicht\",\"page\":1,\"pages\":2,\"total\":15"));
  EXPECT_EQ(Header(first, "Content-Type"), "application/json");
  EXPECT_EQ(web.Get("/api/rankings", "mode=2&page=2&utm=x", "").status, 200) << "other fields are ignored";
}

TEST_F(WebRankingsTest, EachLanguageHasItsOwnCopyAndTheReplySaysItVaries) {
  WebRankings web = Web(1000);
  const WebReply german = web.Get("/quarzello/", "mode=1", "", "de-DE,de;q=0.9");
  const WebReply english = web.Get("/quarzello/", "mode=1", "", "en-US,en;q=0.9");
  EXPECT_TRUE(Contains(german.body, "Classic Mittel"));
  EXPECT_TRUE(Contains(english.body, "Classic Medium"));
  EXPECT_NE(Header(german, "ETag"), Header(english, "ETag"));
  EXPECT_EQ(Header(english, "Vary"), "Accept-Language");
  EXPECT_EQ(web.Get("/quarzello/", "mode=1", Header(english, "ETag"), "en").status, 304);
  EXPECT_EQ(web.Get("/quarzello/", "mode=1", Header(english, "ETag"), "de").status, 200);
  EXPECT_TRUE(Contains(web.Get("/quarzello/", "mode=9", "", "en").body, "There is no such ranking."));
  EXPECT_TRUE(Contains(web.Get("/api/rankings", "mode=1", "", "en").body, "\"title\":\"Classic Mittel\""));
}

TEST_F(WebRankingsTest, CopiesAreReusedUntilOldOrAScoreIsStoredHere) {
  WebRankings web = Web(60'000);
  const WebReply first = web.Get("/quarzello/", "mode=1", "");
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(Header(first, "Cache-Control"), "no-cache");
  EXPECT_EQ(web.Get("/", "mode=1", "").body, first.body);
  EXPECT_EQ(store.slices, 1);
  web.Get("/quarzello/api/rankings", "mode=1", "");
  web.Get("/quarzello/", "mode=1&page=2", "");
  EXPECT_EQ(store.slices, 3) << "each page and each form has its own copy";

  ++stored;
  web.Get("/quarzello/", "mode=1", "");
  EXPECT_EQ(store.slices, 4);

  WebRankings uncached = Web(0);
  uncached.Get("/", "", "");
  uncached.Get("/", "", "");
  EXPECT_EQ(store.slices, 6);
}

TEST_F(WebRankingsTest, AKnownTagGetsNotModifiedWithoutABody) {
  WebRankings web = Web(60'000);
  const WebReply first = web.Get("/quarzello/", "mode=6", "");
  const std::string tag = Header(first, "ETag");
  ASSERT_FALSE(tag.empty());
  const WebReply again = web.Get("/quarzello/", "mode=6", "\"other\", " + tag);
  EXPECT_EQ(again.status, 304);
  EXPECT_TRUE(again.body.empty());
  EXPECT_EQ(Header(again, "ETag"), tag);

  const WebReply picture = web.Get("/web/stones.png", "", "");
  EXPECT_EQ(picture.status, 200);
  EXPECT_EQ(picture.body.substr(1, 3), "PNG");
  EXPECT_EQ(web.Get("/web/stones.png", "", Header(picture, "ETag")).status, 304);
}

TEST_F(WebRankingsTest, ManyPagesKeepTheCacheBoundedAndAFailingStoreIsNotCached) {
  WebRankings web = Web(60'000);
  store.total = 1000;
  for (int page = 1; page <= 20; ++page) web.Get("/", "page=" + std::to_string(page), "");
  EXPECT_EQ(store.slices, 20);
  web.Get("/", "page=20", "");
  EXPECT_EQ(store.slices, 20);

  store.failing = true;
  EXPECT_EQ(web.Get("/", "mode=3", "").status, 503);
  store.failing = false;
  EXPECT_EQ(web.Get("/", "mode=3", "").status, 200);
}

}  // namespace
}  // namespace highscored
