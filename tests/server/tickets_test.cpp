// Boards the service deals for ranked games, against the real service on
// both stores: an entry counts only for a game played on a board dealt for
// its ranking, uploaded once, in a time that fits the game. The deal's time
// is moved back in the database where a test needs the game to have been
// played since.

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "base/random.h"
#include "gameplay/modes.h"
#include "server/store.h"
#include "tests/server/recorded_games.h"
#include "tests/server/store_fixture.h"

namespace servertest {
namespace {

using TicketsTest = StoreTest;

constexpr PlayPlan kTurboPlan = {.mode = 1, .difficulty = 1, .seed = 4};  // Turbo Mittel, ranking 4
constexpr int kTurboMittel = 4;
const std::string kTurboMittelJson = "/quarzello/api/rankings?mode=4";
// What an upload may take beyond its game without a reported start, and
// with one (the service's TicketTimes).
constexpr int64_t kStartWindowMillis = 60 * 60'000;
constexpr int64_t kEndAllowanceMillis = 30 * 60'000;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int64_t Number(const std::string& text) { return text.empty() ? -1 : std::stoll(text); }

// Runs work(0) to work(count - 1) on threads of their own, let go together.
void AtOnce(int count, const std::function<void(int)>& work) {
  std::atomic<int> ready{0};
  std::vector<std::jthread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, i] {
      ++ready;
      while (ready < count) std::this_thread::yield();
      work(i);
    });
  }
}

TEST_P(TicketsTest, ABoardIsDealtForARankingFromAStateTheServiceDrewAndItsStartIsStampedOnce) {
  auto server = StartVerifying();
  const int port = server->port();
  const HttpReply dealt = PostAsGame(port, kDealPath, "mode=4&lang=de");
  ASSERT_EQ(dealt.lines.size(), 3u) << dealt.raw;
  EXPECT_EQ(dealt.lines[0], "OKAY");
  const DealtTicket ticket{std::stoi(dealt.lines[1]), std::stoi(dealt.lines[2])};
  EXPECT_GT(ticket.id, 0);
  EXPECT_TRUE(Random::ValidState(ticket.generatorState));
  const auto other = Deal(port, kTurboMittel);
  ASSERT_TRUE(other);
  EXPECT_NE(other->id, ticket.id);
  EXPECT_NE(other->generatorState, ticket.generatorState);
  const std::string row = " FROM tickets WHERE id = " + std::to_string(ticket.id);
  EXPECT_EQ(QuerySql(database_, "SELECT mode" + row), "4");
  EXPECT_EQ(QuerySql(database_, "SELECT started_at" + row), "");

  for (const char* body : {"mode=7", "mode=-1", "lang=de", "mode=x"}) {
    const HttpReply refused = PostAsGame(port, kDealPath, body);
    EXPECT_NE(refused.statusLine.find(" 400 "), std::string::npos) << body;
    EXPECT_EQ(refused.lines.at(1), "Diese Rangliste gibt es nicht.") << body;
  }

  // Only with the board's state: an id alone stamps no one else's game.
  const HttpReply guessed = ReportStart(port, {ticket.id, ticket.generatorState ^ 1});
  EXPECT_TRUE(IsShownError(guessed)) << guessed.raw;
  EXPECT_EQ(guessed.lines.at(1), "Zu diesem Brett nimmt der Highscore-Server keinen Spielbeginn an.");
  const HttpReply started = ReportStart(port, ticket);
  EXPECT_EQ(started.lines, std::vector<std::string>{"OKAY"}) << started.raw;
  const int64_t stamp = Number(QuerySql(database_, "SELECT started_at" + row));
  EXPECT_GE(stamp, Number(QuerySql(database_, "SELECT issued_at" + row)));
  EXPECT_TRUE(IsShownError(ReportStart(port, ticket))) << "once";
  EXPECT_EQ(Number(QuerySql(database_, "SELECT started_at" + row)), stamp);

  // A game starts within the hour after its deal.
  MoveTicketBack(database_, other->id, kStartWindowMillis + 1000);
  EXPECT_TRUE(IsShownError(ReportStart(port, *other)));
  EXPECT_TRUE(Contains(server->Log(), "POST /quarzello/start.php 400 ERROR")) << server->Log();
}

TEST_P(TicketsTest, DealsAndStartReportsCountAgainstTheSendersRateLimit) {
  auto server = StartVerifying({"--rate-limit", "3"});
  const int port = server->port();
  const auto ticket = Deal(port, 6);
  ASSERT_TRUE(ticket);
  ASSERT_TRUE(Deal(port, 6));
  ASSERT_EQ(ReportStart(port, *ticket).lines.at(0), "OKAY");
  const HttpReply limited = PostAsGame(port, kDealPath, "mode=6&lang=en");
  EXPECT_NE(limited.statusLine.find(" 429 "), std::string::npos) << limited.raw;
  EXPECT_EQ(limited.lines.at(1), "Too many requests from your address. Please try again in a minute.");
  EXPECT_TRUE(Deal(port, 6, "127.0.0.2")) << "other addresses are not";
}

// The game played on its board, its start reported: the entry counts once,
// and its ticket keeps when the service learnt of the deal, the start and
// the end.
TEST_P(TicketsTest, AGameOnItsDealtBoardCountsForOneEntryOnce) {
  auto server = StartVerifying();
  const int port = server->port();
  const auto ticket = Deal(port, kTurboMittel);
  ASSERT_TRUE(ticket);
  ASSERT_EQ(ReportStart(port, *ticket).lines.at(0), "OKAY");
  PlayPlan plan = kTurboPlan;
  plan.generatorState = ticket->generatorState;
  const PlayedGame game = PlayToTheEnd(plan);
  MoveTicketBack(database_, ticket->id, game.playMillis + 2000);
  const auto entry = SubmitEntry(port, "Anna", game.score, game.ranking);
  const auto copy = SubmitEntry(port, "Anna2", game.score, game.ranking);
  ASSERT_TRUE(entry && copy);

  const HttpReply counted = UploadDealt(port, entry->registration, entry->id, game.recording, ticket->id);
  ASSERT_TRUE(Counts(counted)) << counted.raw << server->Log();
  EXPECT_EQ((*Fetch(port, entry->id))[game.ranking], (std::vector<FetchedEntry>{{"Anna", game.score, true}}));
  const std::string row = " FROM tickets WHERE id = " + std::to_string(ticket->id);
  EXPECT_EQ(QuerySql(database_, "SELECT score_id" + row), std::to_string(entry->id));
  const int64_t issued = Number(QuerySql(database_, "SELECT issued_at" + row));
  const int64_t started = Number(QuerySql(database_, "SELECT started_at" + row));
  const int64_t ended = Number(QuerySql(database_, "SELECT ended_at" + row));
  EXPECT_LE(issued, started);
  EXPECT_GE(ended - started, game.playMillis);
  EXPECT_TRUE(IsShownError(ReportStart(port, *ticket))) << "a used ticket starts no game";

  const HttpReply again = UploadDealt(port, copy->registration, copy->id, game.recording, ticket->id);
  EXPECT_EQ(UnverifiedReason(again), "ticket-used") << again.raw;
  EXPECT_EQ((*Fetch(port))[game.ranking].size(), 1u);
}

// Games played on one dealt board, each its own way, uploaded for their
// entries at once from several addresses on several replay workers: the
// ticket counts for one of them.
TEST_P(TicketsTest, GamesUploadedAtOnceOnOneTicketCountForOneEntry) {
  auto server = StartVerifying({"--replay-workers", "4"});
  const int port = server->port();
  const auto ticket = Deal(port, kTurboMittel);
  ASSERT_TRUE(ticket);
  constexpr int kUploads = 4;
  std::vector<PlayedGame> games;
  std::vector<SubmittedEntry> entries;
  for (int i = 0; i < kUploads; ++i) {
    PlayPlan plan = kTurboPlan;
    plan.seed = 10 + i;  // the player's choices
    plan.generatorState = ticket->generatorState;
    games.push_back(PlayToTheEnd(plan));
    const auto entry = SubmitEntry(port, "Anna" + std::to_string(i), games.back().score, games.back().ranking);
    ASSERT_TRUE(entry);
    entries.push_back(*entry);
  }
  MoveTicketBack(database_, ticket->id, games[0].playMillis + 2000);
  std::vector<HttpReply> replies(kUploads);
  AtOnce(kUploads, [&](int i) {
    replies[i] = UploadDealt(port, entries[i].registration, entries[i].id, games[i].recording, ticket->id,
                             "127.0.0." + std::to_string(i + 2));
  });
  int counted = 0;
  for (const HttpReply& reply : replies) {
    if (Counts(reply)) {
      ++counted;
    } else {
      EXPECT_EQ(UnverifiedReason(reply), "ticket-used") << reply.raw;
    }
  }
  EXPECT_EQ(counted, 1) << server->Log();
  EXPECT_EQ((*Fetch(port))[kTurboMittel].size(), 1u);
}

// The same at the store: verifications of several entries with one ticket
// at once, on as many connections; one is stored.
TEST_P(TicketsTest, TheStoreUsesATicketForOneOfSeveralVerificationsAtOnce) {
  auto server = StartVerifying();
  const auto ticket = Deal(server->port(), kTurboMittel);
  ASSERT_TRUE(ticket);
  constexpr int kWrites = 8;
  std::vector<highscored::VerifiedRecording> recordings;
  for (int i = 0; i < kWrites; ++i) {
    const auto entry = SubmitEntry(server->port(), "Anna" + std::to_string(i), 1000 + i, kTurboMittel);
    ASSERT_TRUE(entry);
    recordings.push_back({entry->id, kTurboMittel, 1000 + i, ticket->generatorState, ticket->id, "QZRC"});
  }
  const auto store = highscored::OpenStore(database_, kWrites);
  std::vector<highscored::VerifyStatus> outcomes(kWrites);
  AtOnce(kWrites, [&](int i) { outcomes[i] = store->StoreVerified(recordings[i], 1); });
  EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), highscored::VerifyStatus::Stored), 1);
  EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), highscored::VerifyStatus::TicketUsed), kWrites - 1);
  EXPECT_EQ(QuerySql(database_, "SELECT count(*) FROM scores WHERE verified"), "1");
}

// Every upload below is answered "OKAY", as an old client is: the entry is
// kept, does not count, and the reply says why.
TEST_P(TicketsTest, AGameThatDoesNotFitItsTicketIsKeptUnverifiedAndTheReplySaysWhy) {
  auto server = StartVerifying();
  const int port = server->port();
  auto upload = [&](const PlayedGame& game, std::optional<int32_t> ticket, const std::string& name = "Bert") {
    const auto entry = SubmitEntry(port, name, game.score, game.ranking);
    EXPECT_TRUE(entry);
    if (!entry) return HttpReply{};
    const HttpReply reply = ticket ? UploadDealt(port, entry->registration, entry->id, game.recording, *ticket)
                                   : Upload(port, entry->registration, entry->id, game.recording);
    EXPECT_NE(reply.statusLine.find(" 200 "), std::string::npos) << reply.raw;
    EXPECT_FALSE(IsShownError(reply)) << reply.raw;
    EXPECT_EQ(reply.lines.at(1), std::to_string(entry->id));
    return reply;
  };
  auto playOn = [](const DealtTicket& ticket, PlayPlan plan) {
    plan.generatorState = ticket.generatorState;
    return PlayToTheEnd(plan);
  };

  // An old client's upload, or a game played before its ticket came.
  const PlayedGame undealt = PlayToTheEnd(kTurboPlan);
  const HttpReply old = upload(undealt, std::nullopt, "Alt");
  EXPECT_EQ(UnverifiedReason(old), "no-ticket");
  EXPECT_EQ(old.lines.at(4), "Das Spiel wurde nicht auf einem vom Highscore-Server ausgeteilten Brett gespielt und "
                             "z\xe4hlt darum nicht in der Online-Rangliste.");
  EXPECT_EQ(UnverifiedReason(upload(undealt, 1)), "unknown-ticket");

  const auto ticket = Deal(port, kTurboMittel);
  ASSERT_TRUE(ticket);
  const PlayedGame game = playOn(*ticket, kTurboPlan);
  EXPECT_EQ(UnverifiedReason(upload(undealt, ticket->id)), "other-board");
  // Dealt just now: a 121-s game cannot be over yet.
  EXPECT_EQ(UnverifiedReason(upload(game, ticket->id)), "too-soon");
  const auto leicht = Deal(port, quarzello::RankingIndex(1, 0));
  ASSERT_TRUE(leicht);
  MoveTicketBack(database_, leicht->id, game.playMillis + 2000);
  EXPECT_EQ(UnverifiedReason(upload(playOn(*leicht, kTurboPlan), leicht->id)), "other-ranking");

  // A ticket left in the menus for longer than the hour and its game, or
  // a game uploaded long after its reported start.
  const auto waited = Deal(port, kTurboMittel);
  const auto started = Deal(port, kTurboMittel);
  ASSERT_TRUE(waited && started);
  ASSERT_EQ(ReportStart(port, *started).lines.at(0), "OKAY");
  const PlayedGame waitedGame = playOn(*waited, kTurboPlan);
  const PlayedGame startedGame = playOn(*started, kTurboPlan);
  MoveTicketBack(database_, waited->id, kStartWindowMillis + waitedGame.playMillis + kEndAllowanceMillis + 5000);
  MoveTicketBack(database_, started->id, startedGame.playMillis + kEndAllowanceMillis + 5000);
  EXPECT_EQ(UnverifiedReason(upload(waitedGame, waited->id)), "expired");
  EXPECT_EQ(UnverifiedReason(upload(startedGame, started->id)), "too-late");
  // Within that, the same wait counts: the ticket was fetched in the menus an hour ago.
  const auto fetchedEarly = Deal(port, kTurboMittel);
  ASSERT_TRUE(fetchedEarly);
  const PlayedGame earlyGame = playOn(*fetchedEarly, kTurboPlan);
  MoveTicketBack(database_, fetchedEarly->id, kStartWindowMillis + earlyGame.playMillis + kEndAllowanceMillis - 5000);
  EXPECT_TRUE(Counts(upload(earlyGame, fetchedEarly->id, "Eva")));

  // In English for an English client.
  const auto english = SubmitEntry(port, "Bert", undealt.score, undealt.ranking);
  ASSERT_TRUE(english);
  const HttpReply inEnglish = PostAsGame(
      port, kUploadPath,
      "key_id=" + std::to_string(english->registration.keyId) + "&id=" + std::to_string(english->id) +
          "&lang=en&hash=" + std::to_string(RecordingCheck(english->registration.key, undealt.recording)) +
          "&recording=" + Base64Url(undealt.recording));
  EXPECT_EQ(inEnglish.lines.at(4),
            "The game was not played on a board dealt by the highscore server, so it does not count in the online "
            "ranking.");

  // None of them is listed, nor its recording kept, and none of the
  // refusals used the ticket: its own game, once it could have been
  // played, counts.
  EXPECT_EQ((*Fetch(port))[game.ranking], (std::vector<FetchedEntry>{{"Eva", earlyGame.score, false}}));
  EXPECT_NE(Get(port, "/quarzello/replays/" + old.lines.at(1)).statusLine.find(" 404 "), std::string::npos);
  MoveTicketBack(database_, ticket->id, game.playMillis + 2000);
  EXPECT_TRUE(Counts(upload(game, ticket->id, "Anna")));
  const std::string log = server->Log();
  for (const char* reason : {"no-ticket", "unknown-ticket", "other-board", "too-soon", "other-ranking", "expired",
                             "too-late"}) {
    EXPECT_TRUE(Contains(log, std::string("not verified: ") + reason)) << reason << "\n" << log;
  }

  // A service that takes unverified entries lists them, marked.
  auto open = Start();
  const std::string listed = Body(Get(open->port(), kTurboMittelJson));
  EXPECT_TRUE(Contains(listed, "\"name\":\"Alt\",\"points\":" + std::to_string(undealt.score))) << listed;
  EXPECT_TRUE(Contains(listed, "\"verified\":false}")) << listed;
  EXPECT_TRUE(Contains(listed, "\"name\":\"Anna\",\"points\":" + std::to_string(game.score) +
                                   ",\"submitted\"")) << listed;
}

// Unused tickets go once no upload could count for them; a used one stays
// as the record of its entry's game. A database made before tickets (here
// one whose table is dropped) gains them on start and keeps its entries.
TEST_P(TicketsTest, StaleTicketsAreForgottenAndADatabaseFromBeforeTicketsKeepsItsEntries) {
  auto server = StartVerifying();
  const auto dealt = PlayDealtGame(server->port(), database_, kTurboPlan);
  ASSERT_TRUE(dealt);
  const PlayedGame& game = dealt->game;
  const auto entry = SubmitEntry(server->port(), "Anna", game.score, game.ranking);
  ASSERT_TRUE(entry);
  ASSERT_TRUE(Counts(UploadDealt(server->port(), entry->registration, entry->id, game.recording, dealt->ticket.id)));
  const auto unused = Deal(server->port(), kTurboMittel);
  ASSERT_TRUE(unused);
  const int64_t sevenHours = 7 * 60 * 60'000;
  MoveTicketBack(database_, dealt->ticket.id, sevenHours);
  MoveTicketBack(database_, unused->id, sevenHours);
  server = StartVerifying();  // its first deal sweeps
  ASSERT_TRUE(Deal(server->port(), kTurboMittel));
  EXPECT_EQ(QuerySql(database_, "SELECT count(*) FROM tickets WHERE id = " + std::to_string(unused->id)), "0");
  EXPECT_EQ(QuerySql(database_, "SELECT score_id FROM tickets WHERE id = " + std::to_string(dealt->ticket.id)),
            std::to_string(entry->id));
  EXPECT_EQ(QuerySql(database_, "SELECT count(*) FROM tickets"), "2");

  server.reset();
  RunSql(database_, "DROP TABLE tickets");
  server = StartVerifying();
  const int port = server->port();
  EXPECT_EQ((*Fetch(port))[game.ranking], (std::vector<FetchedEntry>{{"Anna", game.score, false}}));
  const auto later = PlayDealtGame(port, database_, {.mode = 1, .difficulty = 1, .seed = 5});
  ASSERT_TRUE(later);
  const auto laterEntry = SubmitEntry(port, "Bert", later->game.score, later->game.ranking);
  ASSERT_TRUE(laterEntry);
  EXPECT_TRUE(
      Counts(UploadDealt(port, laterEntry->registration, laterEntry->id, later->game.recording, later->ticket.id)));
  EXPECT_EQ((*Fetch(port))[game.ranking].size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, TicketsTest, ::testing::Values("sqlite"));
INSTANTIATE_TEST_SUITE_P(Postgres, TicketsTest, ::testing::Values("postgresql"));

}  // namespace
}  // namespace servertest
