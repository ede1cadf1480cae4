// The rankings for browsers from the real server over HTTP, on both stores.

#include <libpq-fe.h>
#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "tests/server/store_fixture.h"

namespace servertest {
namespace {

using Clock = std::chrono::steady_clock;

std::string Header(const HttpReply& reply, const std::string& name) {
  const std::string head = reply.raw.substr(0, reply.raw.find("\r\n\r\n") + 2);
  const size_t start = head.find("\r\n" + name + ": ");
  if (start == std::string::npos) return "";
  const size_t value = start + name.size() + 4;
  return head.substr(value, head.find("\r\n", value) - value);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A score put into the database behind the service's back, as an older
// version or an administrator may have left it.
void InsertDirectly(const std::string& database, int mode, const std::string& name, int points,
                    int64_t createdAtMillis) {
  const std::string values = std::to_string(mode) + ", '" + name + "', " + std::to_string(points) + ", " +
                             std::to_string(createdAtMillis);
  const std::string sql = "INSERT INTO scores (mode, name, points, created_at) VALUES (" + values + ")";
  if (database.rfind("sqlite:", 0) == 0) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.substr(7).c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    return;
  }
  PGconn* conn = PQconnectdb(database.c_str());
  PGresult* result = PQexec(conn, sql.c_str());
  EXPECT_EQ(PQresultStatus(result), PGRES_COMMAND_OK) << PQerrorMessage(conn);
  PQclear(result);
  PQfinish(conn);
}

using WebRequestsTest = StoreTest;

TEST_P(WebRequestsTest, TheWholeRankingPageByPageBeyondWhatAFetchReturns) {
  auto server = Start({"--table-size", "5"});
  const int port = server->port();
  for (int i = 1; i <= 23; ++i) ASSERT_TRUE(RegisterAndSubmit(port, "Spieler" + std::to_string(i), 5000 - i, 4));
  InsertDirectly(database_, 4, "Altmeister", 4000, 1000);

  const HttpReply json = Get(port, "/quarzello/api/rankings?mode=4&page=3");
  EXPECT_EQ(json.statusLine, "HTTP/1.1 200 OK");
  EXPECT_EQ(Header(json, "Content-Type"), "application/json");
  const std::string data = Body(json);
  EXPECT_TRUE(Contains(data, "{\"mode\":4,\"title\":\"Turbo Mittel\",\"page\":3,\"pages\":3,\"total\":24,\"entries\":["
                             "{\"place\":21,\"name\":\"Spieler21\",\"points\":4979,"))
      << data;
  EXPECT_TRUE(Contains(data, "\"place\":23,\"name\":\"Spieler23\""));
  EXPECT_TRUE(Contains(data, "{\"place\":24,\"name\":\"Altmeister\",\"points\":4000,"
                             "\"submitted\":\"1970-01-01T00:00:01Z\",\"new\":false,\"verified\":false}]}"));

  const HttpReply page = Get(port, "/quarzello/?mode=4&page=3");
  EXPECT_EQ(page.statusLine, "HTTP/1.1 200 OK");
  EXPECT_EQ(Header(page, "Content-Type"), "text/html; charset=utf-8");
  const std::string html = Body(page);
  EXPECT_TRUE(Contains(html, "<tr class=\"new\"><td class=\"place\">22.</td><td class=\"name\">Spieler22<"));
  EXPECT_TRUE(Contains(html, "<tr><td class=\"place\">24.</td><td class=\"name\">Altmeister<span class=\"unverified\""));
  EXPECT_EQ(Body(Get(port, "/?mode=4&page=3")), html) << "the same page under the root";

  EXPECT_EQ(Get(port, "/quarzello/api/rankings?mode=4&page=4").statusLine, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(Get(port, "/quarzello/api/rankings?mode=9").statusLine, "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(Get(port, "/quarzello/?page=x").statusLine, "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(Get(port, "/nothing/here").statusLine, "HTTP/1.1 404 Not Found");
  const HttpReply head = ParseHttpReply(
      SendRaw(port, "HEAD /quarzello/?mode=4&page=3 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"));
  EXPECT_EQ(Header(head, "Content-Length"), std::to_string(html.size()));
  EXPECT_TRUE(Body(head).empty());
  const HttpReply picture = Get(port, "/quarzello/web/stones.png");
  EXPECT_EQ(Header(picture, "Content-Type"), "image/png");
  EXPECT_EQ(Body(picture).substr(1, 3), "PNG");
}

TEST_P(WebRequestsTest, AScoreStoredByAnotherServerShowsWithinASecond) {
  auto shown = Start();
  auto other = Start();
  const std::string path = "/quarzello/api/rankings?mode=6";
  const HttpReply before = Get(shown->port(), path);
  const std::string tag = Header(before, "ETag");
  ASSERT_FALSE(tag.empty()) << before.raw;
  EXPECT_EQ(Header(before, "Cache-Control"), "no-cache");
  const HttpReply unchanged = Get(shown->port(), path, "If-None-Match: " + tag + "\r\n");
  EXPECT_EQ(unchanged.statusLine, "HTTP/1.1 304 Not Modified");
  EXPECT_TRUE(Body(unchanged).empty());

  ASSERT_TRUE(RegisterAndSubmit(other->port(), "Anderswo", 777, 6));
  const auto stored = Clock::now();
  HttpReply after;
  do {
    after = Get(shown->port(), path, "If-None-Match: " + tag + "\r\n");
  } while (after.statusLine != "HTTP/1.1 200 OK" && Clock::now() - stored < std::chrono::seconds(3));
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stored).count();
  // Copies live for a second; the rest is slack for a busy machine.
  EXPECT_LE(waited, 1400);
  EXPECT_TRUE(Contains(Body(after), "\"name\":\"Anderswo\",\"points\":777")) << after.raw;
  EXPECT_NE(Header(after, "ETag"), tag);

  ASSERT_TRUE(RegisterAndSubmit(shown->port(), "Hier", 778, 6));
  EXPECT_TRUE(Contains(Body(Get(shown->port(), path)), "\"name\":\"Hier\"")) << "one's own score shows at once";
}

INSTANTIATE_TEST_SUITE_P(Sqlite, WebRequestsTest, ::testing::Values("sqlite"));
INSTANTIATE_TEST_SUITE_P(Postgres, WebRequestsTest, ::testing::Values("postgresql"));

TEST(WebRequestsSqliteTest, NamesInTheDatabaseAreIso88591AndShowInUtf8) {
  TempDir dir;
  const std::string database = MakeDatabase("sqlite", dir);
  {
    ServerProcess creator({"--db", database}, dir.path() + "/first.log");  // creates the tables
    ASSERT_TRUE(creator.started());
  }
  InsertDirectly(database, 0, "J\xfcrgen <b>", 10, 1000);
  ServerProcess server({"--db", database, "--accept-unverified"}, dir.path() + "/server.log");
  EXPECT_TRUE(Contains(Body(Get(server.port(), "/quarzello/")), "J\xc3\xbcrgen &lt;b&gt;"));
  EXPECT_TRUE(Contains(Body(Get(server.port(), "/api/rankings")), "\"name\":\"J\xc3\xbcrgen \\u003cb\\u003e\""));
}

}  // namespace
}  // namespace servertest
