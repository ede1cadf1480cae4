// Boards dealt by the service: fetched one after another while the menus
// show and the online box is ticked, taken by the game that starts, and
// named with its upload; a game without one is told why it does not count.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "gameplay/recording.h"
#include "screens/dealing.h"
#include "screens/entry.h"
#include "screens/game_screen.h"
#include "tests/highscore/fake_server.h"
#include "tests/highscore/fixture.h"

namespace quarzello::highscore_test {

namespace {

class DealingTest : public HighscoreTest {
 protected:
  void SetUp() override {
    HighscoreTest::SetUp();
    setenv("QUARZELLO_HIGHSCORE_HOST", server.Host().c_str(), 1);
    deals.Install(app.dealt.runner);
    ui.saveOnline = 1;
    game.gameMode = Turbo;
    game.difficulty = Mittel;
  }
  void TearDown() override {
    unsetenv("QUARZELLO_HIGHSCORE_HOST");
    HighscoreTest::TearDown();
  }
  // One menu frame of the dealing, its fetch over at once.
  bool DealStep(int64_t now) {
    KeepBoardsDealt(app, now);
    std::vector<RequestRunner::Task> started = deals.TakeStarted();
    test::InlineRequests::RunAll(started);
    app.dealt.runner.Deliver();
    return !started.empty();
  }
  // The requests the server has seen, once there are at least `count`.
  std::vector<std::string> RequestsWhenThere(size_t count) {
    for (int i = 0; i < 200 && server.Requests().size() < count; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return server.Requests();
  }
  static std::string Reply(const std::vector<std::string>& lines) { return FakeHighscoreServer::Reply(lines); }

  FakeHighscoreServer server;
  test::InlineRequests deals;
};

TEST_F(DealingTest, EveryRankingGetsABoardTheChosenOneFirst) {
  std::vector<FakeHighscoreServer::Answer> answers;
  for (int i = 0; i < kRankings; ++i) answers.push_back({Reply({"OKAY", std::to_string(100 + i), std::to_string(5000 + i)})});
  server.Script(answers);
  for (int i = 0; i < kRankings; ++i) ASSERT_TRUE(DealStep(1000)) << i;
  EXPECT_FALSE(DealStep(1000)) << "seven boards at hand: nothing more to fetch";
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 7u);
  const std::vector<int> order = {4, 0, 1, 2, 3, 5, 6};  // Turbo Mittel was chosen last
  for (size_t i = 0; i < order.size(); ++i) {
    EXPECT_NE(requests[i].find("POST /quarzello/deal.php"), std::string::npos);
    EXPECT_NE(requests[i].find("mode=" + std::to_string(order[i]) + "&lang=de"), std::string::npos) << requests[i];
  }
  ASSERT_TRUE(app.dealt.atHand[4]);
  EXPECT_EQ(app.dealt.atHand[4]->ticket, 100);

  // Not played within the hour, a board is fetched anew.
  server.Script({{Reply({"OKAY", "200", "6000"})}});
  const int64_t came = NowMillis();
  EXPECT_FALSE(DealStep(came + kDealtBoardLifeMillis - 1));
  EXPECT_TRUE(DealStep(came + kDealtBoardLifeMillis));
  EXPECT_EQ(app.dealt.atHand[4]->ticket, 200);
}

TEST_F(DealingTest, AGameStartsFromItsBoardAndReportsItsStart) {
  server.Script({{Reply({"OKAY", "4711", "123456"})}, {Reply({"OKAY"})}});
  ASSERT_TRUE(DealStep(1000));
  StartNewGame(app);
  EXPECT_EQ(app.gameTicket, 4711);
  EXPECT_FALSE(app.dealt.atHand[4]) << "a board deals one game";
  const std::string recording = EncodeRecording(game.recording);
  Random dealt;
  dealt.state = 123456;
  Game same;
  same.gameMode = Turbo;
  same.difficulty = Mittel;
  StartGame(same, dealt, game.now);
  EXPECT_EQ(recording, EncodeRecording(same.recording)) << "the game is dealt from the board's state";
  const std::vector<std::string> requests = RequestsWhenThere(2);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].find("POST /quarzello/start.php"), std::string::npos);
  EXPECT_NE(requests[1].find("ticket=4711&state=123456"), std::string::npos);

  // The next game of that ranking has no board until one is fetched.
  ui.screen = MainMenu;
  StartNewGame(app);
  EXPECT_EQ(app.gameTicket, 0);
}

TEST_F(DealingTest, NothingIsDealtOfflineAndAFailedDealWaits) {
  ui.saveOnline = 0;
  EXPECT_FALSE(DealStep(1000));
  StartNewGame(app);
  EXPECT_EQ(app.gameTicket, 0);
  EXPECT_TRUE(server.Requests().empty());

  ui.saveOnline = 1;
  server.Script({{Reply({"ERROR", "Datenbank"})}, {Reply({"OKAY", "9", "99"})}});
  EXPECT_TRUE(DealStep(1000));
  EXPECT_FALSE(app.dealt.atHand[4]);
  EXPECT_TRUE(recording.messages.empty()) << "a deal that fails is not the player's business";
  const int64_t failedAt = NowMillis();
  EXPECT_FALSE(DealStep(failedAt + kDealRetryMillis - 1));
  EXPECT_TRUE(DealStep(failedAt + kDealRetryMillis));
  EXPECT_EQ(app.dealt.atHand[4]->ticket, 9);
}

TEST_F(DealingTest, TheUploadNamesTheTicketAndAGameThatDoesNotCountIsToldWhy) {
  StartGame(game, app.generator, NowMillis());
  game.score = 4321;
  app.gameTicket = 77;
  ui.screen = NewHighscore;
  ui.playerName = "Lena";
  const std::string why = "Das Spiel wurde nicht auf einem vom Highscore-Server ausgeteilten Brett gespielt.";
  server.Script({{Reply({"OKAY", "0123456789abcdef", "11"})},
                 {Reply({"OKAY", "555"})},
                 {Reply({"OKAY", "555", "UNVERIFIED", "other-board", why})},
                 {Reply({"TABLE", "0"})}});
  ClickAt(200, 355);  // "Weiter"
  PaintFrame(DrawNewHighscore);
  PaintUntilConnected(DrawNewHighscore);
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_NE(requests[2].find("&ticket=77&recording="), std::string::npos);
  ASSERT_EQ(recording.messages.size(), 1u) << "told once";
  EXPECT_EQ(recording.messages[0].text, why);
  EXPECT_FALSE(recording.messages[0].serious) << "a note, not an error: the entry is kept";
  EXPECT_EQ(ui.screen, Highscores);
}

}  // namespace

}  // namespace quarzello::highscore_test
