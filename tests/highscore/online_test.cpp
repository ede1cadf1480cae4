#include <cstdlib>

#include "gameplay/texts.h"
#include "highscore/deal.h"
#include "highscore/verified.h"
#include "protocol/upload.h"
#include "tests/highscore/fake_server.h"
#include "tests/highscore/fixture.h"

namespace quarzello::highscore_test {

namespace {

using Answer = FakeHighscoreServer::Answer;
using Behaviour = FakeHighscoreServer::Behaviour;

class OnlineTest : public HighscoreTest {
 protected:
  void SetUp() override {
    HighscoreTest::SetUp();
    setenv("QUARZELLO_HIGHSCORE_HOST", server.Host().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("QUARZELLO_HIGHSCORE_HOST");
    HighscoreTest::TearDown();
  }

  static std::string Request(const std::string& path, const std::string& body) {
    return "POST /quarzello/" + path + " HTTP/1.0\r\nHost: " + HighscoreWebHost() +
           "\r\nAccept: text/plain\r\nAccept-Charset: iso-8859-5\r\nUser-Agent: Quarzello\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body + "\r\n";
  }

  std::string OnlyRequest() {
    std::vector<std::string> requests = server.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? std::string() : requests[0];
  }

  FakeHighscoreServer server;
};

TEST_F(OnlineTest, RegisterSendsExactlyTheRequestAndKeepsTheKey) {
  server.AnswerWith({"OKAY", "0123456789abcdefXYZ", "4711"});
  EXPECT_EQ(RegisterClient(), OnlineResult::Done);
  EXPECT_EQ(OnlyRequest(),
            "POST /quarzello/register.php HTTP/1.0\r\nHost: " + HighscoreWebHost() +
                "\r\nAccept: text/plain\r\nAccept-Charset: iso-8859-5\r\nUser-Agent: Quarzello\r\n"
                "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 12\r\n\r\nregister=yes\r\n");
  EXPECT_EQ(onlineState.onlineKey, "0123456789abcdefXYZ");
  EXPECT_EQ(onlineState.keyId, 4711);
  EXPECT_TRUE(recording.messages.empty());
}

TEST_F(OnlineTest, RegisterErrorIsShownInASeriousBox) {
  server.AnswerWith({"ERROR", "Zu viele Anmeldungen"});
  EXPECT_EQ(RegisterClient(), OnlineResult::ServerError);
  ASSERT_EQ(recording.messages.size(), 1u);
  EXPECT_EQ(recording.messages[0].title, Text(TextId::ErrorTitle));
  EXPECT_EQ(recording.messages[0].text, "Trelvani meldete folgenden Fehler:\r\nZu viele Anmeldungen");
  EXPECT_TRUE(recording.messages[0].serious);
  EXPECT_EQ(onlineState.onlineKey, "");

  // A reply without a body is a server error too, with an empty message.
  server.AnswerWith({});
  EXPECT_EQ(RegisterClient(), OnlineResult::ServerError);
  EXPECT_EQ(recording.messages.back().text, "Trelvani meldete folgenden Fehler:\r\n");
}

TEST_F(OnlineTest, SubmitSendsNameScoreModeKeyAndHash) {
  onlineState.onlineKey = "0123456789abcdef";
  onlineState.keyId = 99;
  server.AnswerWith({"OKAY", "321"});
  EXPECT_EQ(SubmitScore("A b+c!", 1234, RankingIndex(Turbo, 1)), OnlineResult::Done);
  EXPECT_EQ(onlineState.ownId, 321);
  // The Adler-32 sum of "0123456789abcdef12344".
  EXPECT_EQ(OnlyRequest(),
            Request("highscore.php", "name=A%20b+c%21&pts=1234&mode=4&lang=de&key_id=99&hash=944506209"));
}

TEST_F(OnlineTest, SubmitWithANegativeHash) {
  // A long key of high character codes pushes the second sum past 2^15.
  onlineState.onlineKey = std::string(17, '\xF0');
  server.AnswerWith({"OKAY", "7"});
  EXPECT_EQ(SubmitScore("Zz", 99999, RankingIndex(Level, 0)), OnlineResult::Done);
  std::string request = OnlyRequest();
  EXPECT_NE(request.find("&mode=6&lang=de&key_id=0&hash=-276557500\r\n"), std::string::npos) << request;
}

TEST_F(OnlineTest, SubmitRepliesOtherThanOkay) {
  auto submit = [this] { return SubmitScore("Zz", 10, RankingIndex(Classic, 0)); };
  server.AnswerWith({"OKAY", "keine Zahl"});
  onlineState.ownId = 5;
  EXPECT_EQ(submit(), OnlineResult::Done);
  EXPECT_EQ(onlineState.ownId, 0);

  server.AnswerWith({"FAIL", "RETRY"});
  EXPECT_EQ(submit(), OnlineResult::Retry);
  EXPECT_TRUE(recording.messages.empty());

  server.AnswerWith({"FAIL", "Falscher Hash"});
  EXPECT_EQ(submit(), OnlineResult::ServerError);
  ASSERT_EQ(recording.messages.size(), 1u);
  EXPECT_EQ(recording.messages[0].text, "Trelvani meldete folgenden Fehler:\r\nFalscher Hash");
  EXPECT_TRUE(recording.messages[0].serious);
}

TEST_F(OnlineTest, UrlEncodingKeepsOnlyTheSafeCharacters) {
  EXPECT_EQ(UrlEncodeName("Az09+-._"), "Az09+-._");
  EXPECT_EQ(UrlEncodeName("a b!&=%~"), "a%20b%21%26%3D%25%7E");
  EXPECT_EQ(UrlEncodeName("J\xF6rg\x01"), "J%F6rg%01");
}

TEST_F(OnlineTest, FetchReturnsTheTablesInTheServersOrder) {
  server.AnswerWith({"ENTRY", "lost", "77", "TABLE", "4", "ENTRY", "Low", "5", "ENTRY", "High", "900",
                     "TABLE", "9", "ENTRY", "Top", "1000", "is own", "ENTRY", "Second", "800"});
  FetchedTables fetched = FetchTables();
  EXPECT_EQ(fetched.result, OnlineResult::Done);
  ASSERT_EQ(fetched.lists[4].list.size(), 2u);
  EXPECT_EQ(fetched.lists[4].list[1]->name, "High");
  ASSERT_EQ(fetched.lists[6].list.size(), 2u) << "table 9 clamped to 6";
  ASSERT_TRUE(fetched.own.has_value());
  EXPECT_EQ(*fetched.own, fetched.lists[6].list[0]);
  EXPECT_TRUE(recording.frames.empty()) << "the protocol draws nothing";
}

TEST_F(OnlineTest, FetchFillsTheOnlineListsInTheServersOrder) {
  for (int index = 7; index < 14; ++index) highscores.list[index].add(std::make_shared<TScore>(TScore{"stale", 1}));
  highscores.list[0].add_sorted("local", 10);
  onlineState.ownId = 42;
  server.AnswerWith({"ENTRY", "lost", "77", "TABLE", "4", "ENTRY", "Low", "5", "ENTRY", "High", "900", "something",
                     "TABLE", "9", "ENTRY", "Top", "1000", "is own", "ENTRY", "Second", "800"});
  EXPECT_EQ(FetchOnlineTables(), OnlineResult::Done);
  EXPECT_EQ(OnlyRequest(), Request("get.php", "get_highscore=yes&own=42"));
  EXPECT_EQ(highscores.online, 1);
  for (int index = 7; index < 14; ++index) {
    std::vector<std::pair<std::string, int32_t>> entries;
    for (const ScoreRef& score : highscores.list[index].list) entries.emplace_back(score->name, score->punkte);
    if (index == 11)
      EXPECT_EQ(entries, (std::vector<std::pair<std::string, int32_t>>{{"Low", 5}, {"High", 900}}));
    else if (index == 13)  // table 9 clamped to 6
      EXPECT_EQ(entries, (std::vector<std::pair<std::string, int32_t>>{{"Top", 1000}, {"Second", 800}}));
    else
      EXPECT_TRUE(entries.empty()) << "list " << index;
  }
  EXPECT_EQ(highscores.list[0].list.size(), 1u) << "local lists untouched";
  EXPECT_EQ(tableView.ownScore, highscores.list[13].list[0]);
  // The connection notice was shown first.
  ASSERT_EQ(recording.frames.size(), 1u);
  EXPECT_NE(FindText(recording.frames[0], Text(TextId::Fetching)), nullptr);
}

TEST_F(OnlineTest, IsOwnBeforeAnyEntryMeansNone) {
  tableView.ownScore = highscores.add(Classic, 0, "mine", 5).entry;
  server.AnswerWith({"ENTRY", "orphan", "3", "is own", "TABLE", "0", "ENTRY", "A", "1"});
  EXPECT_EQ(FetchOnlineTables(), OnlineResult::Done);
  EXPECT_EQ(tableView.ownScore, nullptr);
  EXPECT_EQ(highscores.list[7].list.size(), 1u);

  // Without "is own" the own entry stays what it was.
  ScoreRef before = highscores.list[7].list[0];
  tableView.ownScore = before;
  server.AnswerWith({"TABLE", "0", "ENTRY", "B", "2"});
  EXPECT_EQ(FetchOnlineTables(), OnlineResult::Done);
  EXPECT_EQ(tableView.ownScore, before);
}

TEST_F(OnlineTest, TheConnectionNoticeMovesAndOffersToGiveUp) {
  ui.scale = 2.0f;
  bool cancelled = false;
  StartOnline<int>(
      app, TextId::Registering, [] { return 0; }, [](int) {}, [&cancelled] { cancelled = true; });
  // Drawn while the request's work waits for its turn, which never comes here.
  auto drawNotice = [this] {
    DrawConnecting(app);
    ui.mouseClicked = 0;
  };
  for (int i = 0; i < 9; ++i) drawNotice();
  ASSERT_EQ(recording.frames.size(), 9u);
  const DisplayList& frame = recording.frames[0];
  EXPECT_EQ(Texts(frame), (std::vector<std::string>{Text(TextId::PanelScore), Text(TextId::PanelMode), Text(TextId::PanelLevel),
                                                     Text(TextId::ConnectingTo), Text(TextId::Registering), Text(TextId::HighscoreTitle),
                                                     Text(TextId::ConnectingServer), Text(TextId::Cancel)}));
  const DrawCommand* connecting = FindText(frame, Text(TextId::ConnectingTo));
  EXPECT_EQ(connecting->x, 80.0f);
  EXPECT_EQ(connecting->y, 420.0f);
  EXPECT_EQ(FindText(frame, Text(TextId::ConnectingServer))->y, 444.0f);
  EXPECT_EQ(FindText(frame, Text(TextId::HighscoreTitle))->y, 170.0f);
  // Small font for the first two lines, large for the rest, each in its colour.
  EXPECT_EQ(connecting->red, 79);
  EXPECT_EQ(FindText(frame, Text(TextId::ConnectingServer))->red, 47);
  EXPECT_EQ(FindText(frame, Text(TextId::ConnectingServer))->font, FindText(frame, Text(TextId::HighscoreTitle))->font);

  // The ring of stones turns, a little every frame: the same stones in the
  // same places, lit in turn.
  auto ring = [this](size_t index) {
    std::vector<DrawCommand> stones;
    for (const DrawCommand& command : recording.frames[index])
      if (command.kind == DrawCommand::kImage && command.image == &this->stones) stones.push_back(command);
    return stones;
  };
  ASSERT_EQ(ring(0).size(), 10u);
  for (size_t frame = 1; frame < 9; ++frame) EXPECT_NE(ring(frame - 1), ring(frame)) << frame;
  ASSERT_EQ(ring(8).size(), 10u);
  for (size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(ring(0)[i].x, ring(8)[i].x);
    EXPECT_EQ(ring(0)[i].sx, 1.5f) << "three quarters of the size at scale 2";
  }
  EXPECT_EQ(ring(0)[0].alpha, 1.0f);
  EXPECT_EQ(ring(8)[1].alpha, 1.0f);

  // Its button gives the request up.
  EXPECT_FALSE(cancelled);
  ClickAt(200, 410);
  drawNotice();
  EXPECT_TRUE(cancelled);
  EXPECT_FALSE(ConnectionUnderway(app));
}

// ---------------------------------------------------------------- servers that misbehave

TEST_F(OnlineTest, NoServerMeansNoConnectionAndNoChange) {
  setenv("QUARZELLO_HIGHSCORE_HOST", ("127.0.0.1:" + std::to_string(FakeHighscoreServer::UnusedPort())).c_str(), 1);
  highscores.list[7].add(std::make_shared<TScore>(TScore{"kept", 1}));
  EXPECT_EQ(RegisterClient(), OnlineResult::NoConnection);
  EXPECT_EQ(SubmitScore("Zz", 10, 0), OnlineResult::NoConnection);
  EXPECT_EQ(FetchOnlineTables(), OnlineResult::NoConnection);
  EXPECT_EQ(highscores.list[7].list.size(), 1u);
  EXPECT_EQ(highscores.online, 0);
  EXPECT_TRUE(recording.messages.empty());
}

TEST_F(OnlineTest, SilentServerCountsAsNoConnection) {
  onlineState.timeoutMillis = 300;
  highscores.list[8].add(std::make_shared<TScore>(TScore{"kept", 1}));
  server.Script({{"", Behaviour::kSilent}, {"", Behaviour::kSilent}, {"", Behaviour::kSilent}});
  EXPECT_EQ(RegisterClient(), OnlineResult::NoConnection);
  EXPECT_EQ(SubmitScore("Zz", 10, 0), OnlineResult::NoConnection);
  EXPECT_EQ(FetchOnlineTables(), OnlineResult::NoConnection);
  EXPECT_EQ(highscores.list[8].list.size(), 1u);
  EXPECT_EQ(highscores.online, 0);
  EXPECT_TRUE(recording.messages.empty());
  EXPECT_EQ(server.Requests().size(), 3u) << "each request was sent in full before waiting";
}

TEST_F(OnlineTest, OverlongLinesAreCutAndOverlongRepliesAreNotUsed) {
  // A line beyond the limit is cut there, and the rest of the body is dropped.
  server.AnswerWith({"OKAY", std::string(3 * kMaxReplyLine, 'k'), "4711"});
  EXPECT_EQ(RegisterClient(), OnlineResult::Done);
  EXPECT_EQ(onlineState.onlineKey.size(), kMaxReplyLine);
  EXPECT_EQ(onlineState.keyId, 0);

  // One line that never ends.
  onlineState = OnlineState{};
  server.Script({{FakeHighscoreServer::Reply({"OKAY"}), Behaviour::kEndless}});
  EXPECT_EQ(RegisterClient(), OnlineResult::NoConnection);
  EXPECT_EQ(onlineState.onlineKey, "");

  // Entries without end: a table cut at the size limit is not taken for the whole.
  highscores.list[9].add(std::make_shared<TScore>(TScore{"kept", 1}));
  std::string entries = FakeHighscoreServer::Reply({"TABLE", "2"});
  while (entries.size() < 3 * kMaxReplyBytes) entries += "ENTRY\r\nSomeone\r\n100\r\n";
  server.Script({{entries, Behaviour::kReply}});
  EXPECT_EQ(FetchOnlineTables(), OnlineResult::NoConnection);
  EXPECT_EQ(highscores.list[9].list.size(), 1u);
  EXPECT_EQ(highscores.online, 0);
}

TEST_F(OnlineTest, RepliesCutOffHalfWayCountAsNoConnectionAndChangeNothing) {
  const std::vector<std::string> table = {"TABLE", "0", "ENTRY", "Anna", "10", "is own", "TABLE", "1", "ENTRY", "Bert", "5"};
  const std::string whole = FakeHighscoreServer::ReplyWithLength(table);
  auto kept = std::make_shared<TScore>(TScore{"kept", 1});
  highscores.list[7].add(kept);
  tableView.ownScore = kept;
  onlineState.timeoutMillis = 300;
  server.Script({
      {whole.substr(0, whole.size() - 8), Behaviour::kReply},         // shorter than its Content-Length
      {FakeHighscoreServer::Reply(table), Behaviour::kReset},          // no length, and a broken connection
      {FakeHighscoreServer::Reply(table), Behaviour::kTrickle},        // the deadline passes first
      {whole.substr(0, whole.size() - 8), Behaviour::kHold},           // the server stalls
  });
  for (int attempt = 0; attempt < 4; ++attempt) {
    EXPECT_EQ(FetchOnlineTables(), OnlineResult::NoConnection) << attempt;
    ASSERT_EQ(highscores.list[7].list.size(), 1u) << attempt;
    EXPECT_EQ(highscores.list[7].list[0], kept) << attempt;
    EXPECT_TRUE(highscores.list[8].list.empty()) << attempt;
    EXPECT_EQ(tableView.ownScore, kept) << attempt;
    EXPECT_EQ(highscores.online, 0) << attempt;
  }

  // Cut-off registrations and submissions leave the key and the own id alone.
  onlineState.onlineKey = "old";
  onlineState.keyId = 1;
  onlineState.ownId = 2;
  const std::string registered = FakeHighscoreServer::ReplyWithLength({"OKAY", "0123456789abcdef", "4711"});
  const std::string stored = FakeHighscoreServer::ReplyWithLength({"OKAY", "99"});
  server.Script({{registered.substr(0, registered.size() - 4), Behaviour::kReply},
                 {stored.substr(0, stored.size() - 3), Behaviour::kReply}});
  EXPECT_EQ(RegisterClient(), OnlineResult::NoConnection);
  EXPECT_EQ(SubmitScore("Zz", 10, 0), OnlineResult::NoConnection);
  EXPECT_EQ(onlineState.onlineKey, "old");
  EXPECT_EQ(onlineState.keyId, 1);
  EXPECT_EQ(onlineState.ownId, 2);
  EXPECT_TRUE(recording.messages.empty());
}

TEST_F(OnlineTest, AReplyAsLongAsItsContentLengthIsWholeWithoutWaitingForTheClose) {
  onlineState.timeoutMillis = 2000;
  server.Script({{FakeHighscoreServer::ReplyWithLength({"TABLE", "3", "ENTRY", "Anna", "10"}), Behaviour::kHold}});
  EXPECT_EQ(FetchOnlineTables(), OnlineResult::Done);
  ASSERT_EQ(highscores.list[10].list.size(), 1u);
  EXPECT_EQ(highscores.list[10].list[0]->name, "Anna");
  EXPECT_EQ(highscores.online, 1);
}

// ---------------------------------------------------------------- boards dealt for ranked games

TEST_F(OnlineTest, ABoardIsDealtForItsRankingAndItsStartIsReportedWithItsState) {
  server.AnswerWith({"OKAY", "4711", "123456789"});
  const DealtBoard board = FetchDealtBoard(CurrentClientContext(onlineState), RankingIndex(Turbo, 1));
  EXPECT_EQ(OnlyRequest(), Request("deal.php", "mode=4&lang=de"));
  EXPECT_EQ(board.result, OnlineResult::Done);
  EXPECT_EQ(board.ticket, 4711);
  EXPECT_EQ(board.generatorState, 123456789);
  EXPECT_EQ(board.ranking, RankingIndex(Turbo, 1));

  server.AnswerWith({"OKAY"});
  EXPECT_TRUE(ReportGameStart(CurrentClientContext(onlineState), board));
  server.AnswerWith({"ERROR", "Zu diesem Brett nimmt der Highscore-Server keinen Spielbeginn an."});
  EXPECT_FALSE(ReportGameStart(CurrentClientContext(onlineState), board));
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1], Request("start.php", "ticket=4711&state=123456789"));
  EXPECT_TRUE(recording.messages.empty()) << "the player is not told";
}

TEST_F(OnlineTest, ADealRefusedIsTheServersMessageAndOneWithoutAUsableBoardIsNone) {
  server.AnswerWith({"ERROR", "Zu viele Anfragen"});
  const DealtBoard refused = FetchDealtBoard(CurrentClientContext(onlineState), 6);
  EXPECT_EQ(refused.result, OnlineResult::ServerError);
  EXPECT_EQ(refused.serverMessage, "Zu viele Anfragen");
  EXPECT_TRUE(recording.messages.empty()) << "the caller decides what the player sees";

  // No ticket, or a state the generator cannot be in: the game would start
  // from a board the service never dealt.
  for (const std::vector<std::string>& reply : std::vector<std::vector<std::string>>{
           {"OKAY", "0", "5"}, {"OKAY", "7", "0"}, {"OKAY", "7", "2147483647"}, {"OKAY", "7"}, {"OKAY"}}) {
    server.AnswerWith(reply);
    const DealtBoard board = FetchDealtBoard(CurrentClientContext(onlineState), 6);
    EXPECT_EQ(board.result, OnlineResult::NoConnection) << reply.size();
    EXPECT_EQ(board.ticket, 0);
  }
  setenv("QUARZELLO_HIGHSCORE_HOST", ("127.0.0.1:" + std::to_string(FakeHighscoreServer::UnusedPort())).c_str(), 1);
  EXPECT_EQ(FetchDealtBoard(CurrentClientContext(onlineState), 6).result, OnlineResult::NoConnection);
  EXPECT_FALSE(ReportGameStart(CurrentClientContext(onlineState), DealtBoard{OnlineResult::Done, 4711, 5, 6, ""}));
}

TEST_F(OnlineTest, TheUploadNamesItsTicketAndTellsWhyAnEntryDoesNotCount) {
  onlineState.onlineKey = "0123456789abcdef";
  onlineState.keyId = 9;
  onlineState.ownId = 31;
  const std::string recorded = "QZRC\x01zz";
  const std::string fields = "key_id=9&id=31&lang=de&hash=" +
                             std::to_string(RecordingHash(onlineState.onlineKey, recorded));
  server.AnswerWith({"OKAY", "31"});
  const UploadReply counted = quarzello::UploadRecording(CurrentClientContext(onlineState), recorded, 4711);
  EXPECT_EQ(counted.result, OnlineResult::Done);
  EXPECT_EQ(counted.unverifiedReason, "");
  server.AnswerWith({"OKAY", "31", "UNVERIFIED", "no-ticket", "Das Spiel zählt nicht."});
  const UploadReply unranked = quarzello::UploadRecording(CurrentClientContext(onlineState), recorded);
  EXPECT_EQ(unranked.result, OnlineResult::Done);
  EXPECT_EQ(unranked.unverifiedReason, "no-ticket");
  EXPECT_EQ(unranked.unverifiedMessage, "Das Spiel zählt nicht.");
  EXPECT_EQ(Accept(unranked), OnlineResult::Done);
  EXPECT_TRUE(recording.messages.empty()) << "no error box: the screens tell the player";

  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], Request("replay.php", fields + "&ticket=4711&recording=" + EncodeBase64Url(recorded)));
  EXPECT_EQ(requests[1], Request("replay.php", fields + "&recording=" + EncodeBase64Url(recorded)))
      << "without a ticket, the request of old";
}

// ---------------------------------------------------------------- verified entries and their recordings

std::string Get(const std::string& path, const std::string& accept) {
  return "GET " + path + " HTTP/1.0\r\nHost: " + HighscoreWebHost() + "\r\nAccept: " + accept +
         "\r\nUser-Agent: Quarzello\r\n\r\n";
}

std::string HttpReply(const std::string& status, const std::string& type, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

// A page as the service writes it: names sent as UTF-8, "<" escaped.
const std::string kRankingsPage =
    R"({"mode":6,"title":"Level","page":2,"pages":2,"total":14,"entries":[)"
    R"({"place":11,"name":"J)" "\xc3\xb6" R"(rg","points":900,"submitted":"2026-12-08T09:41:07Z","new":true,)"
    R"("verified":true,"recording":"/quarzello/replays/17"},)"
    R"({"place":12,"name":"Eva","points":800,"submitted":"2026-12-08T09:41:07Z","new":false,"verified":false},)"
    R"({"place":13,"name":"\u003cb\u003e","points":700,"submitted":"2026-12-08T09:41:07Z","new":false,)"
    R"("verified":true,"recording":"/quarzello/replays/4711"},)"
    R"({"place":14,"name":")" "\xe2\x82\xac" R"(","points":600,"verified":true,"recording":"/quarzello/replays/5"},)"
    R"({"place":15,"name":"Ali","points":500,"verified":true,"recording":"/elsewhere/6"}]})";

TEST_F(OnlineTest, TheVerifiedEntriesOfAPageAreTheOnesWithARecordingOfTheService) {
  const auto entries = ParseVerifiedEntries(kRankingsPage);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 2u) << "the unverified one, a name no table can hold and a foreign link are left out";
  EXPECT_EQ((*entries)[0].name, "J\xf6rg") << "in ISO-8859-1, as the game's table has it";
  EXPECT_EQ((*entries)[0].points, 900);
  EXPECT_EQ((*entries)[0].recordingId, 17);
  EXPECT_EQ((*entries)[1].name, "<b>");
  EXPECT_EQ((*entries)[1].recordingId, 4711);

  for (const char* reply : {"", "<html>", "[]", R"({"error":"Diese Seite gibt es nicht."})", R"({"entries":{}})"})
    EXPECT_FALSE(ParseVerifiedEntries(reply)) << reply;
  EXPECT_EQ(ParseVerifiedEntries(R"({"entries":[1,{"verified":true,"name":3}]})")->size(), 0u);
}

TEST_F(OnlineTest, TheShownRowsGetTheRecordingsOfTheirVerifiedEntries) {
  const std::vector<VerifiedEntry> verified = {{"Anna", 500, 7}, {"Anna", 500, 9}, {"Cora", 300, 3}, {"Bert", 401, 8}};
  EXPECT_EQ(MatchVerifiedEntries({{"Anna", 500}, {"Bert", 400}, {"Anna", 500}, {"Cora", 300}, {"Anna", 500}}, verified),
            (std::vector<int32_t>{7, 0, 9, 3, 0}))
      << "equal entries in their order, each recording once; other points are another entry";
}

TEST_F(OnlineTest, APageOfVerifiedEntriesIsAskedForByItsRankingAndPage) {
  server.Script({{HttpReply("200 OK", "application/json", kRankingsPage)}});
  const VerifiedPage found = FetchVerifiedEntries(CurrentClientContext(onlineState), 6, 2);
  EXPECT_EQ(OnlyRequest(), Get("/quarzello/api/rankings?mode=6&page=2", "application/json"));
  EXPECT_EQ(found.result, OnlineResult::Done);
  EXPECT_EQ(found.entries.size(), 2u);

  // A page past the last, or a service without the page for programs.
  server.Script({{HttpReply("404 Not Found", "application/json", R"({"error":"Diese Seite gibt es nicht."})")},
                 {HttpReply("200 OK", "text/html", "<html></html>")}});
  EXPECT_EQ(FetchVerifiedEntries(CurrentClientContext(onlineState), 6, 3).result, OnlineResult::ServerError);
  EXPECT_EQ(FetchVerifiedEntries(CurrentClientContext(onlineState), 6, 1).result, OnlineResult::ServerError);
  EXPECT_TRUE(recording.messages.empty()) << "a lookup tells the player nothing";
}

TEST_F(OnlineTest, ARecordingIsDownloadedByteForByteOrNotAtAll) {
  const std::string bytes("QZRC\x01\0\r\n\n\x00\xff" "end", 14);
  server.Script({{HttpReply("200 OK", "application/octet-stream", bytes)},
                 {HttpReply("404 Not Found", "text/html", "<p>Zu diesem Eintrag gibt es keine Aufzeichnung.</p>")},
                 {HttpReply("200 OK", "application/octet-stream", bytes).substr(0, 90), Behaviour::kReset}});
  const DownloadedRecording downloaded = DownloadRecording(CurrentClientContext(onlineState), 4711);
  EXPECT_EQ(downloaded.result, OnlineResult::Done);
  EXPECT_EQ(downloaded.bytes, bytes);
  EXPECT_EQ(server.Requests().at(0), Get("/quarzello/replays/4711", "application/octet-stream"));

  const DownloadedRecording gone = DownloadRecording(CurrentClientContext(onlineState), 4712);
  EXPECT_EQ(gone.result, OnlineResult::ServerError);
  EXPECT_EQ(gone.bytes, "");
  const DownloadedRecording cut = DownloadRecording(CurrentClientContext(onlineState), 4713);
  EXPECT_EQ(cut.result, OnlineResult::NoConnection) << "a recording cut short is never played";
  EXPECT_EQ(cut.bytes, "");
}

}  // namespace

}  // namespace quarzello::highscore_test
