// Pages beside the game's requests: the front end's GET routes, served in
// this process over 127.0.0.1.

#include <gtest/gtest.h>

#include <thread>

#include "server/http_frontend.h"
#include "server/store.h"
#include "tests/server/harness.h"

namespace servertest {
namespace {

using highscored::HttpRequest;
using highscored::HttpResponse;

class RoutesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    front_.AddGetRoute("/quarzello/", [](const HttpRequest& request) {
      HttpResponse page;
      page.contentType = "text/html; charset=UTF-8";
      page.headers.emplace_back("ETag", "\"v1\"");
      page.body = "page " + request.path + " ?" + request.query + " if " + request.Header("if-none-match");
      return page;
    });
    front_.AddGetRoute("/quarzello/api/rankings", [](const HttpRequest&) {
      HttpResponse json;
      json.contentType = "application/json";
      json.body = "{}";
      return json;
    });
    port_ = front_.Bind();
    ASSERT_GT(port_, 0);
    serving_ = std::thread([this] { front_.Run(); });
  }
  void TearDown() override {
    front_.Stop();
    serving_.join();
  }

  static highscored::HttpSettings Settings() {
    highscored::HttpSettings settings;
    settings.port = 0;  // a free one
    settings.threads = 2;
    return settings;
  }

  HttpReply Get(const std::string& method, const std::string& target, const std::string& headers = "") {
    return ParseHttpReply(SendRaw(port_, method + " " + target + " HTTP/1.1\r\nHost: x\r\n" + headers + "\r\n"));
  }

  TempDir dir_;
  std::unique_ptr<highscored::ScoreStore> store_ = highscored::OpenStore("sqlite:" + dir_.path() + "/db", 2);
  highscored::HighscoreService service_{*store_, {}};
  highscored::HttpFrontEnd front_{service_, Settings()};
  int port_ = -1;
  std::thread serving_;
};

TEST_F(RoutesTest, PathsGoToTheirRouteOrTheLongestPrefixBelowIt) {
  const HttpReply page = Get("GET", "/quarzello/tab/3?page=2", "If-None-Match: \"v0\"\r\n");
  EXPECT_NE(page.statusLine.find(" 200 "), std::string::npos) << page.raw;
  EXPECT_EQ(page.lines.at(0), "page /quarzello/tab/3 ?page=2 if \"v0\"");
  EXPECT_NE(page.raw.find("ETag: \"v1\""), std::string::npos) << page.raw;
  EXPECT_NE(page.raw.find("Content-Type: text/html; charset=UTF-8"), std::string::npos) << page.raw;

  EXPECT_EQ(Get("GET", "/quarzello/api/rankings?mode=1").lines.at(0), "{}");
  EXPECT_NE(Get("GET", "/elsewhere").statusLine.find(" 404 "), std::string::npos);
  EXPECT_TRUE(Fetch(port_)) << "the game's requests keep their paths";
}

TEST_F(RoutesTest, HeadHasTheHeadersOnlyAndOtherMethodsAreRefused) {
  const HttpReply head = Get("HEAD", "/quarzello/");
  EXPECT_NE(head.raw.find("Content-Length: 22"), std::string::npos) << head.raw;
  EXPECT_TRUE(head.lines.empty()) << head.raw;

  const HttpReply post = ParseHttpReply(SendRaw(port_, "POST /quarzello/ HTTP/1.1\r\nContent-Length: 0\r\n\r\n"));
  EXPECT_NE(post.statusLine.find(" 405 "), std::string::npos) << post.raw;
  EXPECT_NE(post.raw.find("Allow: GET, HEAD"), std::string::npos) << post.raw;
}

TEST_F(RoutesTest, APortInUseIsRefusedNotShared) {
  highscored::HttpSettings settings = Settings();
  settings.port = port_;
  highscored::HttpFrontEnd second(service_, settings);
  EXPECT_EQ(second.Bind(), -1);
}

}  // namespace
}  // namespace servertest
