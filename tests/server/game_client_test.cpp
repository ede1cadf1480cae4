// The game's own online client against the real server, on both stores.

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "base/random.h"
#include "highscore/deal.h"
#include "tests/highscore/fixture.h"
#include "tests/server/harness.h"
#include "tests/server/recorded_games.h"

namespace servertest {

using namespace quarzello;
using quarzello::highscore_test::HighscoreTest;

namespace {

class GameClientTest : public HighscoreTest, public ::testing::WithParamInterface<std::string> {
 protected:
  void SetUp() override {
    HighscoreTest::SetUp();
    // An upload waits for the replay of its game, which a sanitizer-built
    // service on a busy machine takes several times longer over than the
    // shipped one the game's 8 s are meant for.
    onlineState.timeoutMillis = 30'000;
    database = MakeDatabase(GetParam(), serverDir);
    // Most of these submit scores that no game made.
    StartServer({"--accept-unverified"});
  }
  void StartServer(const std::vector<std::string>& more) {
    std::vector<std::string> options = {"--db", database, "--rate-limit", "0", "--threads", "4"};
    options.insert(options.end(), more.begin(), more.end());
    server.reset();
    server = std::make_unique<ServerProcess>(options, serverDir.path() + "/server.log");
    ASSERT_TRUE(server->started()) << server->Log();
    setenv("QUARZELLO_HIGHSCORE_HOST", ("127.0.0.1:" + std::to_string(server->port())).c_str(), 1);
  }
  void TearDown() override {
    unsetenv("QUARZELLO_HIGHSCORE_HOST");
    server.reset();
    HighscoreTest::TearDown();
  }

  // Submits a finished game's result under the last registration.
  OnlineResult Submit(const std::string& name, int score, GameModeId mode, uint8_t difficulty) {
    return SubmitScore(name, score, RankingIndex(mode, difficulty));
  }

  TempDir serverDir;
  std::string database;
  std::unique_ptr<ServerProcess> server;
};

TEST_P(GameClientTest, RegisterSubmitAndFetchMarkTheOwnEntry) {
  ASSERT_TRUE(RegisterAndSubmit(server->port(), "Vorne", 9000, 5));

  // Key ids are drawn over the whole signed range: a negative one must make
  // its way back through the client too.
  for (int attempt = 0; attempt < 64 && onlineState.keyId >= 0; ++attempt)
    ASSERT_EQ(RegisterClient(), OnlineResult::Done);
  EXPECT_EQ(onlineState.onlineKey.size(), 32u);
  ASSERT_LT(onlineState.keyId, 0);
  ASSERT_EQ(Submit("Spieler +1!", 4321, Turbo, 2), OnlineResult::Done);
  EXPECT_GT(onlineState.ownId, 0);

  ASSERT_EQ(FetchOnlineTables(), OnlineResult::Done);
  EXPECT_EQ(highscores.online, 1);
  const auto& turboSchwer = highscores.list[RankingIndex(Turbo, 2, ListKind::Online)].list;
  ASSERT_EQ(turboSchwer.size(), 2u);
  EXPECT_EQ(turboSchwer[0]->name, "Vorne");
  EXPECT_EQ(turboSchwer[0]->punkte, 9000);
  EXPECT_EQ(turboSchwer[1]->name, "Spieler +1!");
  EXPECT_EQ(turboSchwer[1]->punkte, 4321);
  EXPECT_EQ(tableView.ownScore, turboSchwer[1]);
  for (int other : {0, 1, 2, 3, 4, 6}) {
    EXPECT_TRUE(highscores.list[other + kRankings].list.empty()) << other;
  }
  EXPECT_TRUE(recording.messages.empty());
}

TEST_P(GameClientTest, AReusedKeyAsksForRetryAndANewRegistrationSucceeds) {
  ASSERT_EQ(RegisterClient(), OnlineResult::Done);
  ASSERT_EQ(Submit("Anna", 700, Level, 0), OnlineResult::Done);
  const int32_t firstId = onlineState.ownId;

  EXPECT_EQ(Submit("Anna", 700, Level, 0), OnlineResult::Retry);
  EXPECT_TRUE(recording.messages.empty()) << "a retry is not shown to the player";

  ASSERT_EQ(RegisterClient(), OnlineResult::Done);
  ASSERT_EQ(Submit("Anna", 700, Level, 0), OnlineResult::Done);
  EXPECT_NE(onlineState.ownId, firstId);

  ASSERT_EQ(FetchOnlineTables(), OnlineResult::Done);
  const auto& level = highscores.list[RankingIndex(Level, 0, ListKind::Online)].list;
  ASSERT_EQ(level.size(), 2u);
  EXPECT_EQ(tableView.ownScore, level[1]) << "the later of two equal scores is the own one";
}

TEST_P(GameClientTest, RefusedScoresShowTheServersMessage) {
  ASSERT_EQ(RegisterClient(), OnlineResult::Done);
  EXPECT_EQ(Submit("A", 700, Classic, 1), OnlineResult::ServerError);
  ASSERT_EQ(recording.messages.size(), 1u);
  EXPECT_EQ(recording.messages[0].title, "Fehler");
  EXPECT_EQ(recording.messages[0].text,
            "Trelvani meldete folgenden Fehler:\r\nDer Name muss aus 2 bis 15 einfachen Zeichen bestehen.");
  EXPECT_TRUE(recording.messages[0].serious);
}

// As the game plays online: a board fetched while the menus show, the game
// started from its state and its start reported, the ticket named with the
// upload.
TEST_P(GameClientTest, AGameOnADealtBoardCountsOnceItsRecordingIsPlayedAgainAndARefusalIsShown) {
  StartServer({});
  const DealtBoard board = FetchDealtBoard(CurrentClientContext(onlineState), RankingIndex(Turbo, 2));
  ASSERT_EQ(board.result, OnlineResult::Done) << server->Log();
  ASSERT_TRUE(Random::ValidState(board.generatorState));
  EXPECT_TRUE(ReportGameStart(CurrentClientContext(onlineState), board));
  EXPECT_FALSE(ReportGameStart(CurrentClientContext(onlineState), board)) << "a start is stamped once";
  const PlayedGame played =
      PlayToTheEnd({.mode = Turbo, .difficulty = 2, .seed = 21, .generatorState = board.generatorState});
  ASSERT_FALSE(played.recording.empty());
  MoveTicketBack(database, board.ticket, played.playMillis + 2000);  // as if played since
  ASSERT_EQ(RegisterClient(), OnlineResult::Done);
  ASSERT_EQ(Submit("Kurt", played.score, Turbo, 2), OnlineResult::Done);
  ASSERT_EQ(FetchOnlineTables(), OnlineResult::Done);
  EXPECT_TRUE(highscores.list[RankingIndex(Turbo, 2, ListKind::Online)].list.empty()) << "not before its recording";

  const UploadReply upload = quarzello::UploadRecording(CurrentClientContext(onlineState), played.recording, board.ticket);
  ASSERT_EQ(Accept(upload), OnlineResult::Done) << server->Log();
  EXPECT_EQ(upload.unverifiedReason, "");
  ASSERT_EQ(FetchOnlineTables(), OnlineResult::Done);
  const auto& turboSchwer = highscores.list[RankingIndex(Turbo, 2, ListKind::Online)].list;
  ASSERT_EQ(turboSchwer.size(), 1u);
  EXPECT_EQ(turboSchwer[0]->punkte, played.score);
  EXPECT_EQ(tableView.ownScore, turboSchwer[0]);
  EXPECT_TRUE(recording.messages.empty());

  // The same game for a score it did not make.
  ASSERT_EQ(RegisterClient(), OnlineResult::Done);
  ASSERT_EQ(Submit("Kurt", played.score + 10, Turbo, 2), OnlineResult::Done);
  EXPECT_EQ(Accept(quarzello::UploadRecording(CurrentClientContext(onlineState), played.recording, board.ticket)),
            OnlineResult::ServerError);
  ASSERT_EQ(recording.messages.size(), 1u);
  EXPECT_EQ(recording.messages[0].title, "Fehler");
  EXPECT_EQ(recording.messages[0].text, "Trelvani meldete folgenden Fehler:\r\nDas aufgezeichnete Spiel erreicht "
                                        "nicht den eingetragenen Punktwert.");
}

// A game played before its board came, or offline: the upload goes through
// as ever, and its answer says in words why the entry is not listed.
TEST_P(GameClientTest, AGameWithoutADealtBoardIsUploadedAndToldWhyItDoesNotCount) {
  StartServer({});
  const PlayedGame played = PlayToTheEnd({.mode = Level, .seed = 9, .movesUntilMillis = 20'000});
  ASSERT_EQ(RegisterClient(), OnlineResult::Done);
  ASSERT_EQ(Submit("Lea", played.score, Level, 0), OnlineResult::Done);
  const UploadReply upload = quarzello::UploadRecording(CurrentClientContext(onlineState), played.recording);
  EXPECT_EQ(Accept(upload), OnlineResult::Done);
  EXPECT_EQ(upload.unverifiedReason, "no-ticket");
  EXPECT_EQ(upload.unverifiedMessage, "Das Spiel wurde nicht auf einem vom Highscore-Server ausgeteilten Brett "
                                      "gespielt und z\xe4hlt darum nicht in der Online-Rangliste.");
  EXPECT_TRUE(recording.messages.empty()) << "no error box";
  ASSERT_EQ(FetchOnlineTables(), OnlineResult::Done);
  EXPECT_TRUE(highscores.list[RankingIndex(Level, 0, ListKind::Online)].list.empty());

  // The start reported beside the game: the game goes on at once, the
  // service stamps it soon after.
  const DealtBoard board = FetchDealtBoard(CurrentClientContext(onlineState), RankingIndex(Level, 0));
  ASSERT_EQ(board.result, OnlineResult::Done);
  ReportGameStartAside(CurrentClientContext(onlineState), board);
  const std::string started = "SELECT started_at FROM tickets WHERE id = " + std::to_string(board.ticket);
  for (int wait = 0; wait < 500 && QuerySql(database, started).empty(); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_NE(QuerySql(database, started), "");

  const DealtBoard refused = FetchDealtBoard(CurrentClientContext(onlineState), kRankings);
  EXPECT_EQ(refused.result, OnlineResult::ServerError);
  EXPECT_EQ(refused.serverMessage, "Diese Rangliste gibt es nicht.");
  server.reset();
  EXPECT_EQ(FetchDealtBoard(CurrentClientContext(onlineState), 0).result, OnlineResult::NoConnection);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, GameClientTest, ::testing::Values("sqlite"));
INSTANTIATE_TEST_SUITE_P(Postgres, GameClientTest, ::testing::Values("postgresql"));

}  // namespace
}  // namespace servertest
