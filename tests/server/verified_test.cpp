// Recordings played again before a score counts, against the real service:
// real games played through the core, and the forgeries and floods of a
// player who would rather not play.

#include <libpq-fe.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "gameplay/replay.h"
#include "server/replay_pool.h"
#include "server/store.h"
#include "tests/server/recorded_games.h"
#include "tests/server/store_fixture.h"

namespace servertest {
namespace {

using Clock = std::chrono::steady_clock;
using VerifiedTest = StoreTest;

const std::string kTurboMittel = "/quarzello/api/rankings?mode=4";

constexpr PlayPlan kTurboPlan = {.mode = 1, .difficulty = 1, .seed = 4};
constexpr PlayPlan kTurboLeichtPlan = {.mode = 1, .difficulty = 0, .seed = 4};

// Games played once per test program, on boards no service dealt: a whole
// Turbo game, the same seed at another difficulty, and a short Level game.
const PlayedGame& TurboGame() {
  static const PlayedGame game = PlayToTheEnd(kTurboPlan);
  return game;
}
const PlayedGame& TurboLeichtGame() {
  static const PlayedGame game = PlayToTheEnd(kTurboLeichtPlan);
  return game;
}
const PlayedGame& LongLevelGame() {
  static const PlayedGame game =
      PlayToTheEnd({.mode = 2, .seed = 5, .movesUntilMillis = 590'000, .framesBetweenMoves = 3});
  return game;
}
const PlayedGame& LevelGame() {
  static const PlayedGame game =
      PlayToTheEnd({.mode = 2, .seed = 9, .movesUntilMillis = 60'000, .framesBetweenMoves = 6});
  return game;
}

bool Okay(const HttpReply& reply) { return !reply.lines.empty() && reply.lines[0] == "OKAY"; }

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> Names(const std::vector<FetchedEntry>& ranking) {
  std::vector<std::string> names;
  for (const auto& entry : ranking) names.push_back(entry.name);
  return names;
}

int CountLines(const std::string& log, const std::string& part) {
  int count = 0;
  for (size_t at = log.find(part); at != std::string::npos; at = log.find(part, at + 1)) ++count;
  return count;
}

TEST_P(VerifiedTest, AReplayedRecordingMakesItsEntryCountEverywhereAndCanBeDownloaded) {
  auto server = StartVerifying();
  const int port = server->port();
  const auto dealt = PlayDealtGame(port, database_, kTurboPlan);
  ASSERT_TRUE(dealt);
  const PlayedGame& game = dealt->game;
  ASSERT_FALSE(game.recording.empty());
  ASSERT_GT(game.score, 0);
  const auto entry = SubmitEntry(port, "Anna", game.score, game.ranking);
  ASSERT_TRUE(entry);
  ASSERT_TRUE(RegisterAndSubmit(port, "Mallory", 999'999, game.ranking)) << "the written submit alone";

  auto before = Fetch(port, entry->id);
  ASSERT_TRUE(before);
  EXPECT_TRUE((*before)[game.ranking].empty()) << "nothing counts before its recording is played again";
  EXPECT_FALSE(Contains(Body(Get(port, kTurboMittel)), "Mallory"));

  const HttpReply uploaded = UploadDealt(port, entry->registration, entry->id, game.recording, dealt->ticket.id);
  ASSERT_TRUE(Counts(uploaded)) << uploaded.raw << server->Log();
  EXPECT_NE(uploaded.statusLine.find(" 200 "), std::string::npos);

  const auto after = Fetch(port, entry->id);
  ASSERT_TRUE(after);
  EXPECT_EQ((*after)[game.ranking], (std::vector<FetchedEntry>{{"Anna", game.score, true}}));
  const std::string json = Body(Get(port, kTurboMittel));
  EXPECT_TRUE(Contains(json, "\"name\":\"Anna\",\"points\":" + std::to_string(game.score)));
  EXPECT_TRUE(Contains(json, "\"verified\":true,\"recording\":\"/quarzello/replays/" + std::to_string(entry->id) +
                                 "\"}"))
      << json;
  EXPECT_FALSE(Contains(json, "Mallory"));
  const std::string page = Body(Get(port, "/quarzello/?mode=4"));
  EXPECT_TRUE(Contains(page, "Anna<span class=\"new-mark\"")) << page;
  EXPECT_TRUE(Contains(page, "<a class=\"verified\" href=\"replays/" + std::to_string(entry->id) + "\""));

  // Anyone may fetch the recording and play it again.
  const HttpReply download = Get(port, "/quarzello/replays/" + std::to_string(entry->id));
  EXPECT_NE(download.statusLine.find(" 200 "), std::string::npos) << download.raw.substr(0, 300);
  EXPECT_TRUE(Contains(download.raw, "Content-Type: application/octet-stream"));
  ASSERT_EQ(Body(download), game.recording);
  const quarzello::ReplayResult replayed = quarzello::ReplayGame(Body(download));
  EXPECT_TRUE(replayed.ok() && replayed.reachedEnd) << replayed.error;
  EXPECT_EQ(replayed.score, game.score);
  EXPECT_NE(Get(port, "/quarzello/replays/" + std::to_string(entry->id + 1)).statusLine.find(" 404 "),
            std::string::npos)
      << "the unverified entry has none";

  // Another service on the same database: verified there too; listing
  // the others as well, it marks them.
  auto other = Start();
  const std::string both = Body(Get(other->port(), kTurboMittel));
  EXPECT_TRUE(Contains(both, "\"name\":\"Mallory\",\"points\":999999")) << both;
  EXPECT_TRUE(Contains(both, "\"verified\":false}")) << both;
  EXPECT_TRUE(Contains(both, "\"verified\":true,\"recording\":")) << both;
  EXPECT_TRUE(Contains(Body(Get(other->port(), "/?mode=4")), "Mallory<span class=\"new-mark\""));
  EXPECT_TRUE(Contains(Body(Get(other->port(), "/?mode=4")), "<span class=\"unverified\""));
}

TEST_P(VerifiedTest, RecordingsOfOtherGamesOrDamagedOnesAreRefusedAndChangeNothing) {
  auto server = StartVerifying();
  const int port = server->port();
  const auto dealt = PlayDealtGame(port, database_, kTurboPlan);
  ASSERT_TRUE(dealt);
  const PlayedGame& game = dealt->game;
  const auto entry = SubmitEntry(port, "Anna", game.score, game.ranking);
  ASSERT_TRUE(entry);
  const std::string body = UnpackRecording(game.recording);

  const std::vector<size_t> records = RecordOffsets(body);
  ASSERT_GT(records.size(), 100u);
  // The first click moved to the corner: the game goes on otherwise.
  const auto click = std::find_if(records.begin(), records.end(), [&](size_t at) { return body[at] == 1; });
  ASSERT_NE(click, records.end());
  std::string edited = body;
  size_t cell = *click + 1;
  while (static_cast<unsigned char>(body[cell]) & 0x80) ++cell;  // the step of the clock
  ++cell;
  edited[cell] = 0;      // column 0 ...
  edited[cell + 1] = 0;  // ... row 0
  std::string padded = game.recording;
  padded += std::string(16, '\0');
  std::string flipped = game.recording;
  flipped[flipped.size() / 2] ^= 0x40;

  struct Forgery {
    const char* what;
    std::string recording;
    const char* message;  // the start of what the player is shown
  };
  const std::vector<Forgery> forgeries = {
      {"another difficulty", TurboLeichtGame().recording, "Die Aufzeichnung ist ein Spiel einer anderen Rangliste."},
      {"another mode", LevelGame().recording, "Die Aufzeichnung ist ein Spiel einer anderen Rangliste."},
      {"cut short", game.recording.substr(0, game.recording.size() - 40), "Die Aufzeichnung ist besch"},
      {"edited", PackRecording(edited), "Das aufgezeichnete Spiel erreicht nicht den eingetragenen Punktwert."},
      {"padded", padded, "Die Aufzeichnung ist besch"},
      {"flipped", flipped, "Die Aufzeichnung ist besch"},
      {"not a recording", std::string("QZRC\x01") + std::string(100, 'x'), "Die Aufzeichnung ist besch"},
      {"unfinished", PackRecording(body.substr(0, records[records.size() / 2])),
       "Das aufgezeichnete Spiel ist nicht zu Ende gespielt."},
  };
  for (const Forgery& forgery : forgeries) {
    const HttpReply reply = UploadDealt(port, entry->registration, entry->id, forgery.recording, dealt->ticket.id);
    EXPECT_TRUE(IsShownError(reply)) << forgery.what << "\n" << reply.raw;
    EXPECT_EQ(reply.lines.at(1).rfind(forgery.message, 0), 0u) << forgery.what << ": " << reply.lines.at(1);
    EXPECT_NE(reply.statusLine.find(" 400 "), std::string::npos) << forgery.what;
  }
  const auto tables = Fetch(port);
  ASSERT_TRUE(tables);
  EXPECT_TRUE((*tables)[game.ranking].empty());
  EXPECT_NE(Get(port, "/quarzello/replays/" + std::to_string(entry->id)).statusLine.find(" 404 "), std::string::npos);

  // A recording of a higher score for the same points: refused too.
  const auto other = SubmitEntry(port, "Bert", game.score + 1, game.ranking);
  ASSERT_TRUE(other);
  const HttpReply higher = UploadDealt(port, other->registration, other->id, game.recording, dealt->ticket.id);
  EXPECT_EQ(higher.lines.at(1), "Das aufgezeichnete Spiel erreicht nicht den eingetragenen Punktwert.");
  // Nor for fewer points: one game would fill a ranking one point apart.
  const auto lower = SubmitEntry(port, "Carl", game.score - 1, game.ranking);
  ASSERT_TRUE(lower);
  const HttpReply fewer = UploadDealt(port, lower->registration, lower->id, game.recording, dealt->ticket.id);
  EXPECT_EQ(fewer.lines.at(1), "Das aufgezeichnete Spiel erreicht nicht den eingetragenen Punktwert.");

  // Each refusal is one line of the log, saying what was wrong.
  const std::string log = server->Log();
  EXPECT_EQ(CountLines(log, "POST /quarzello/replay.php 400 ERROR"), static_cast<int>(forgeries.size()) + 2) << log;
  EXPECT_TRUE(Contains(log, "bytes after the end of the recording")) << log;
  EXPECT_TRUE(Contains(log, "recording damaged or cut short")) << log;

  // Nothing of it was stored, nor the ticket used: the true recording still verifies the entry.
  EXPECT_TRUE(Counts(UploadDealt(port, entry->registration, entry->id, game.recording, dealt->ticket.id)));
  EXPECT_EQ((*Fetch(port))[game.ranking], (std::vector<FetchedEntry>{{"Anna", game.score, false}}));
}

TEST_P(VerifiedTest, OneGameVerifiesOneEntryOnceHoweverItIsPacked) {
  auto server = StartVerifying();
  const int port = server->port();
  const auto dealt = PlayDealtGame(port, database_, kTurboPlan);
  ASSERT_TRUE(dealt);
  const PlayedGame& game = dealt->game;
  const int32_t ticket = dealt->ticket.id;
  const auto first = SubmitEntry(port, "Anna", game.score, game.ranking);
  const auto second = SubmitEntry(port, "Anna2", game.score, game.ranking);
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(Counts(UploadDealt(port, first->registration, first->id, game.recording, ticket)));

  const HttpReply again = UploadDealt(port, first->registration, first->id, game.recording, ticket);
  EXPECT_EQ(again.lines.at(1), "Dieser Eintrag ist schon mit seiner Aufzeichnung best\xe4tigt.");
  // The same game, and the same game packed otherwise; with a few more
  // frames after its end it is no game the recorder writes.
  std::string longer = UnpackRecording(game.recording);
  for (int i = 0; i < 30; ++i) longer += std::string("\x00\x10", 2);
  const HttpReply padded = UploadDealt(port, second->registration, second->id, PackRecording(longer, 1), ticket);
  EXPECT_EQ(padded.lines.at(1).rfind("Die Aufzeichnung ist besch", 0), 0u) << padded.raw;
  EXPECT_TRUE(Contains(server->Log(), "a record after the game's end")) << server->Log();
  for (const std::string& copy : {game.recording, PackRecording(UnpackRecording(game.recording), 1)}) {
    EXPECT_EQ(UnverifiedReason(UploadDealt(port, second->registration, second->id, copy, ticket)), "ticket-used");
    // The same board dealt again, as one draw in 2^31 does: the game still
    // verifies one entry only.
    const auto redealt = Deal(port, game.ranking);
    ASSERT_TRUE(redealt);
    RunSql(database_, "UPDATE tickets SET generator_state = " + std::to_string(dealt->ticket.generatorState) +
                          " WHERE id = " + std::to_string(redealt->id));
    MoveTicketBack(database_, redealt->id, game.playMillis + 2000);
    const HttpReply reply = UploadDealt(port, second->registration, second->id, copy, redealt->id);
    EXPECT_TRUE(IsShownError(reply)) << reply.raw;
    EXPECT_EQ(reply.lines.at(1), "Diese Aufzeichnung best\xe4tigt schon einen anderen Eintrag.");
    EXPECT_NE(reply.statusLine.find(" 409 "), std::string::npos);
  }
  EXPECT_EQ(Names((*Fetch(port))[game.ranking]), (std::vector<std::string>{"Anna"}));
}

TEST_P(VerifiedTest, UploadsWithAWrongKeyOrEntryAreRefusedBeforeAnyReplay) {
  auto server = StartVerifying();
  const int port = server->port();
  const auto dealt = PlayDealtGame(port, database_, kTurboPlan);
  ASSERT_TRUE(dealt);
  const PlayedGame& game = dealt->game;
  const auto anna = SubmitEntry(port, "Anna", game.score, game.ranking);
  const auto mallory = SubmitEntry(port, "Mallory", game.score, game.ranking);
  ASSERT_TRUE(anna && mallory);
  const auto unused = Register(port);
  ASSERT_TRUE(unused);

  const std::string recording = Base64Url(game.recording);
  auto body = [&](const Registration& key, int32_t id, int32_t hash) {
    return "key_id=" + std::to_string(key.keyId) + "&id=" + std::to_string(id) + "&hash=" + std::to_string(hash) +
           "&recording=" + recording;
  };
  const int32_t annaHash = RecordingCheck(anna->registration.key, game.recording);
  const std::vector<std::string> bodies = {
      body(anna->registration, anna->id, annaHash ^ 1),                                            // wrong hash
      body(mallory->registration, anna->id, RecordingCheck(mallory->registration.key, game.recording)),  // her key
      body(*unused, anna->id, RecordingCheck(unused->key, game.recording)),                        // a fresh key
      body(anna->registration, anna->id + 1000, annaHash),                                         // no such entry
      body(anna->registration, -anna->id, annaHash),
      "key_id=" + std::to_string(anna->registration.keyId) + "&id=" + std::to_string(anna->id) + "&hash=" +
          std::to_string(annaHash) + "&recording=" + recording.substr(0, 40) + "%2B" + recording.substr(40),
      "key_id=" + std::to_string(anna->registration.keyId) + "&id=" + std::to_string(anna->id) + "&hash=" +
          std::to_string(annaHash),
      "id=" + std::to_string(anna->id) + "&hash=" + std::to_string(annaHash) + "&recording=" + recording,
      "",
  };
  for (const std::string& upload : bodies) {
    const HttpReply reply = PostAsGame(port, kUploadPath, upload);
    EXPECT_TRUE(IsShownError(reply)) << upload.substr(0, 120) << "\n" << reply.raw;
  }
  EXPECT_FALSE(Contains(server->Log(), "replayed:")) << "refused before a replay";
  EXPECT_TRUE((*Fetch(port))[game.ranking].empty());
  EXPECT_TRUE(Counts(UploadDealt(port, anna->registration, anna->id, game.recording, dealt->ticket.id)))
      << "the key is still Anna's";
}

TEST_P(VerifiedTest, UploadsCountAgainstTheSendersRateLimit) {
  const PlayedGame& game = TurboGame();
  auto server = StartVerifying({"--rate-limit", "3"});
  const int port = server->port();
  const auto entry = SubmitEntry(port, "Anna", game.score, game.ranking);
  ASSERT_TRUE(entry);
  ASSERT_TRUE(Okay(Upload(port, entry->registration, entry->id, game.recording)));
  const HttpReply limited = Upload(port, entry->registration, entry->id, game.recording);
  EXPECT_NE(limited.statusLine.find(" 429 "), std::string::npos) << limited.raw;
  EXPECT_TRUE(IsShownError(limited));
  EXPECT_TRUE(Okay(PostAsGame(port, kRegisterPath, "register=yes", "127.0.0.2"))) << "other addresses are not";
}

INSTANTIATE_TEST_SUITE_P(Sqlite, VerifiedTest, ::testing::Values("sqlite"));
INSTANTIATE_TEST_SUITE_P(Postgres, VerifiedTest, ::testing::Values("postgresql"));

using ReplayLimitsTest = StoreTest;

TEST_P(ReplayLimitsTest, LongGamesBombsAndCostlyReplaysAreRefusedAndTheServiceGoesOn) {
  auto server = StartVerifying({"--replay-workers", "1"});
  const int port = server->port();
  const auto dealt = PlayDealtGame(port, database_, kTurboPlan);
  ASSERT_TRUE(dealt);
  const PlayedGame& game = dealt->game;
  const auto entry = SubmitEntry(port, "Anna", game.score, game.ranking);
  ASSERT_TRUE(entry);

  // Ten hours: the game's start and then a frame a second.
  const std::string body = UnpackRecording(game.recording);
  std::string start = body.substr(0, RecordOffsets(body).front());
  start[1] = 0;  // Classic, which no clock ends
  std::string tenHours = start;
  for (int i = 0; i < 36'000; ++i) tenHours += std::string("\x00\xe8\x07", 3);  // 1000 ms
  // Packed small, unpacked far beyond what the recorder ever writes.
  const std::string bomb = PackRecording(start + std::string(64u << 20, '\0'));
  ASSERT_LT(bomb.size(), 100'000u);

  const HttpReply tooLong = Upload(port, entry->registration, entry->id, PackRecording(tenHours));
  EXPECT_EQ(tooLong.lines.at(1).rfind("Die Aufzeichnung ist besch", 0), 0u) << tooLong.raw;
  const HttpReply bombed = Upload(port, entry->registration, entry->id, bomb);
  EXPECT_EQ(bombed.lines.at(1).rfind("Die Aufzeichnung ist besch", 0), 0u) << bombed.raw;
  const HttpReply huge = Upload(port, entry->registration, entry->id, std::string(900'000, 'x'));
  EXPECT_NE(huge.statusLine.find(" 413 "), std::string::npos) << huge.raw.substr(0, 200);
  const std::string log = server->Log();
  EXPECT_TRUE(Contains(log, "recording longer than a game may last")) << log;
  EXPECT_TRUE(Contains(log, "recording unpacks to more than")) << log;
  EXPECT_TRUE(Counts(UploadDealt(port, entry->registration, entry->id, game.recording, dealt->ticket.id)));
  EXPECT_EQ(server->Terminate(), 0);

  // A replay over its CPU time is stopped; its worker is replaced.
  auto strict = StartVerifying({"--replay-workers", "1", "--replay-cpu-limit", "10"});
  const PlayedGame& level = LongLevelGame();
  const auto levelEntry = SubmitEntry(strict->port(), "Lea", level.score, level.ranking);
  ASSERT_TRUE(levelEntry);
  for (int i = 0; i < 2; ++i) {
    const HttpReply costly = Upload(strict->port(), levelEntry->registration, levelEntry->id, level.recording);
    EXPECT_EQ(costly.lines.at(1), "Die Aufzeichnung l\xe4sst sich nicht in der erlaubten Zeit abspielen.") << costly.raw;
  }
  EXPECT_TRUE(Contains(strict->Log(), "replay stopped after 10 ms of CPU time")) << strict->Log();
}

// A flood of uploads, each played through and refused (the entry's points
// are one more than the game's), from one address; meanwhile a player on
// another address fetches. The bound is loose for a busy machine: it
// catches fetches that wait for replays, which take seconds. The benchmark
// (bench/server/uploads.sh) measures the real figures.
TEST_P(ReplayLimitsTest, AFloodOfUploadsDoesNotHoldUpFetches) {
  const PlayedGame& level = LevelGame();
  auto server = StartVerifying({"--replay-workers", "2"});
  const int port = server->port();
  const auto entry = SubmitEntry(port, "Flut", level.score + 1, level.ranking);
  ASSERT_TRUE(entry);

  std::atomic<int> replayed{0}, busy{0};
  std::vector<std::jthread> flood;
  for (int i = 0; i < 8; ++i) {
    flood.emplace_back([&](std::stop_token stop) {
      while (!stop.stop_requested()) {
        const HttpReply reply = Upload(port, entry->registration, entry->id, level.recording, "127.0.0.3");
        if (reply.statusLine.find(" 400 ") != std::string::npos) ++replayed;
        if (reply.statusLine.find(" 503 ") != std::string::npos) ++busy;
      }
    });
  }
  std::vector<Clock::duration> fetches;
  while (replayed < 20 || fetches.size() < 200) {
    const auto begin = Clock::now();
    ASSERT_TRUE(Fetch(port, 0, "127.0.0.2"));
    fetches.push_back(Clock::now() - begin);
    ASSERT_LT(fetches.size(), 20'000u) << "the uploads were not played: " << replayed << " replayed, " << busy
                                       << " busy";
  }
  flood.clear();
  std::sort(fetches.begin(), fetches.end());
  const auto p99 = fetches[fetches.size() * 99 / 100];
  EXPECT_LT(p99, std::chrono::milliseconds(500))
      << std::chrono::duration_cast<std::chrono::microseconds>(p99).count() << " us";
  EXPECT_GE(CountLines(server->Log(), "replayed: ranking 6"), 20);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, ReplayLimitsTest, ::testing::Values("sqlite"));

// What a replay costs is the sender's: replay time per address, memory per
// worker, and what is kept of an upload is what the core makes of it.
using ReplayCostsTest = StoreTest;

// An upload being received holds no replay slot, and one address has room
// for only a few at once: twenty trickling bodies from one address leave
// every other player's upload as it was.
TEST_P(ReplayCostsTest, TricklingUploadsFromOneAddressDoNotStarveOthers) {
  auto server = StartVerifying({"--client-timeout", "4"});
  const int port = server->port();
  const auto dealt = PlayDealtGame(port, database_, kTurboPlan);
  ASSERT_TRUE(dealt);
  const PlayedGame& game = dealt->game;
  const auto entry = SubmitEntry(port, "Anna", game.score, game.ranking);
  ASSERT_TRUE(entry);
  const std::string head = "POST " + kUploadPath +
                           " HTTP/1.0\r\nHost: t\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                           "Content-Length: 500000\r\n\r\nkey_id=1&id=1&hash=1&recording=";
  std::vector<int> trickling;
  for (int i = 0; i < 20; ++i) {
    const int fd = Connect(port, "127.0.0.3");
    ASSERT_GE(fd, 0);
    send(fd, head.data(), head.size(), MSG_NOSIGNAL);
    trickling.push_back(fd);
  }
  std::jthread trickler([&](std::stop_token stop) {
    while (!stop.stop_requested()) {
      for (const int fd : trickling) send(fd, "AAAA", 4, MSG_NOSIGNAL | MSG_DONTWAIT);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  // Wait until the service has refused the ones beyond the address's room.
  for (int i = 0; i < 100 && !Contains(server->Log(), "uploads from this address at their cap"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const HttpReply reply =
      UploadDealt(port, entry->registration, entry->id, game.recording, dealt->ticket.id, "127.0.0.2");
  EXPECT_TRUE(Counts(reply)) << reply.raw << server->Log();
  trickler.request_stop();
  trickler.join();
  for (const int fd : trickling) close(fd);
  const std::string log = server->Log();
  EXPECT_EQ(CountLines(log, "uploads from this address at their cap"), 16) << log;
  EXPECT_FALSE(Contains(log, "(uploads at their cap)")) << log;
}

// Recordings that run into the CPU bound, sent without pause from one
// address: it is refused (429) once its replay time for the minute is
// used, and another player's real game verifies meanwhile.
TEST_P(ReplayCostsTest, HeavyRecordingsFromOneAddressUseUpItsReplayTimeAndNoOneElses) {
  // A bound the real game keeps well within and the costly recording does
  // not: the sanitizer build replays several times slower.
#if defined(__SANITIZE_ADDRESS__)
  const std::string bound = "1000";
#else
  const std::string bound = "200";
#endif
  auto server = StartVerifying({"--replay-cpu-limit", bound});  // twice that a minute per address
  const int port = server->port();
  const auto dealt = PlayDealtGame(port, database_, kTurboPlan);
  ASSERT_TRUE(dealt);
  const PlayedGame& game = dealt->game;
  const auto heavy = SubmitEntry(port, "Mallory", 999'999, game.ranking);
  const auto real = SubmitEntry(port, "Anna", game.score, game.ranking);
  ASSERT_TRUE(heavy && real);
  const std::string costly = CostlyRecording();

  std::atomic<int> limited{0};
  std::vector<std::jthread> flood;
  for (int i = 0; i < 4; ++i) {
    flood.emplace_back([&](std::stop_token stop) {
      while (!stop.stop_requested()) {
        const HttpReply reply = Upload(port, heavy->registration, heavy->id, costly, "127.0.0.3");
        if (reply.statusLine.find(" 429 ") != std::string::npos) ++limited;
      }
    });
  }
  // Its replay time runs out after two replays' bound; a worker stays free
  // for others meanwhile. A refusal may come while the first replay still
  // runs (the second waits for the address's one worker), so both are
  // awaited: stopped at the CPU bound, or given up on a busy machine.
  const auto playedIn = [&bound](const std::string& log) {
    return CountLines(log, "replay stopped after " + bound + " ms of CPU time") +
           CountLines(log, "no replay worker free");
  };
  const auto giveUp = Clock::now() + std::chrono::seconds(60);
  while (Clock::now() < giveUp) {
    const std::string log = server->Log();
    if (Contains(log, "replay time used up") && playedIn(log) >= 2) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const HttpReply reply = UploadDealt(port, real->registration, real->id, game.recording, dealt->ticket.id, "127.0.0.2");
  EXPECT_TRUE(Counts(reply)) << reply.raw << server->Log();
  flood.clear();
  const std::string log = server->Log();
  ASSERT_TRUE(Contains(log, "replay time used up")) << log;
  const int played = playedIn(log);
  EXPECT_GE(played, 2) << log;
  EXPECT_LE(played, 3) << "two replays' bound a minute, and a little that came back meanwhile\n" << log;
  EXPECT_GT(limited, 0);
  EXPECT_EQ((*Fetch(port))[game.ranking], (std::vector<FetchedEntry>{{"Anna", game.score, false}}));
}

// A worker bounded to a few MiB beyond its start: a recording that
// unpacks to 4 MiB takes more. The worker is stopped and replaced, and
// the upload refused; the next upload verifies.
TEST_P(ReplayCostsTest, AWorkerThatTakesTooMuchMemoryIsStoppedAndTheServiceGoesOn) {
  if (!highscored::kWorkerMemoryBounded) GTEST_SKIP() << "the sanitizer build bounds no worker's memory";
  auto server = StartVerifying({"--replay-workers", "1", "--replay-memory-limit", "4"});
  const int port = server->port();
  const auto dealt = PlayDealtGame(port, database_, kTurboPlan);
  ASSERT_TRUE(dealt);
  const PlayedGame& game = dealt->game;
  const auto entry = SubmitEntry(port, "Anna", game.score, game.ranking);
  ASSERT_TRUE(entry);
  const std::string body = UnpackRecording(game.recording);
  const std::string large = PackRecording(body.substr(0, RecordOffsets(body).front()) + std::string(4'000'000, '\x10'));
  for (int i = 0; i < 2; ++i) {
    const HttpReply reply = Upload(port, entry->registration, entry->id, large);
    EXPECT_NE(reply.statusLine.find(" 400 "), std::string::npos) << reply.raw;
    EXPECT_EQ(reply.lines.at(1), "Die Aufzeichnung braucht zum Abspielen zu viel Speicher.") << server->Log();
  }
  EXPECT_EQ(CountLines(server->Log(), "replay stopped at 4 MiB of memory"), 2) << server->Log();
  const HttpReply reply = UploadDealt(port, entry->registration, entry->id, game.recording, dealt->ticket.id);
  EXPECT_TRUE(Counts(reply)) << reply.raw << server->Log();
}

// What is stored is the game as the core records it when it plays the
// upload again: packed otherwise or padded after its end, it is the same
// bytes as the game's own recording.
TEST_P(ReplayCostsTest, WhatIsStoredIsTheGameAsTheCoreWritesItNotWhatWasSent) {
  auto server = StartVerifying();
  const int port = server->port();
  // Frames after the end, each of its own step: the service ignores them
  // or refuses the recording.
  std::string padding;
  for (int i = 0; i < 50'000; ++i) padding += std::string("\x00", 1) + static_cast<char>(i % 100 + 1);
  const auto turbo = PlayDealtGame(port, database_, kTurboPlan);
  const auto turboLeicht = PlayDealtGame(port, database_, kTurboLeichtPlan);
  ASSERT_TRUE(turbo && turboLeicht);
  struct Sent {
    const char* what;
    const DealtGame& dealt;
    std::string recording;
  };
  const std::vector<Sent> sent = {
      {"unpacked", *turbo, PackRecording(UnpackRecording(turbo->game.recording), 0)},
      {"padded", *turboLeicht, PackRecording(UnpackRecording(turboLeicht->game.recording) + padding, 0)}};
  int verified = 0;
  for (const Sent& upload : sent) {
    const PlayedGame& game = upload.dealt.game;
    ASSERT_EQ(game.playMillis / 1000, 121) << upload.what;
    ASSERT_GT(upload.recording.size(), game.recording.size() * 5) << upload.what;
    const auto entry = SubmitEntry(port, "Anna", game.score, game.ranking);
    ASSERT_TRUE(entry);
    const HttpReply reply = UploadDealt(port, entry->registration, entry->id, upload.recording, upload.dealt.ticket.id);
    if (!Counts(reply)) {
      EXPECT_NE(reply.statusLine.find(" 400 "), std::string::npos) << upload.what << ": " << reply.raw;
      EXPECT_STRNE(upload.what, "unpacked") << "the game itself";
      continue;
    }
    ++verified;
    const std::string stored = Body(Get(port, "/quarzello/replays/" + std::to_string(entry->id)));
    EXPECT_EQ(stored, game.recording) << upload.what << ": " << stored.size() << " bytes stored";
    EXPECT_LT(stored.size(), 2000u) << "a 121-s Turbo game";
  }
  EXPECT_GE(verified, 1);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, ReplayCostsTest, ::testing::Values("sqlite"));
INSTANTIATE_TEST_SUITE_P(Postgres, ReplayCostsTest, ::testing::Values("postgresql"));

// Several services on one PostgreSQL database: one limit for them all.
using SharedLimitTest = StoreTest;

TEST_P(SharedLimitTest, ServicesOnOneDatabaseCountTheSameRequests) {
  auto first = StartVerifying({"--rate-limit", "4"});
  auto second = StartVerifying({"--rate-limit", "4"});
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(Okay(PostAsGame(first->port(), kRegisterPath, "register=yes")));
    ASSERT_TRUE(Okay(PostAsGame(second->port(), kRegisterPath, "register=yes")));
  }
  for (auto* server : {first.get(), second.get()}) {
    const HttpReply limited = PostAsGame(server->port(), kRegisterPath, "register=yes");
    EXPECT_NE(limited.statusLine.find(" 429 "), std::string::npos) << limited.raw;
  }
  EXPECT_TRUE(Okay(PostAsGame(second->port(), kRegisterPath, "register=yes", "127.0.0.2")));
}

// The database's buckets across the once-a-minute sweep: a drained bucket
// stays drained, and only full ones are forgotten.
TEST_P(SharedLimitTest, TheSweepForgetsOnlyFullBuckets) {
  {
    auto creator = StartVerifying();  // makes the tables
  }
  const auto store = highscored::OpenStore(database_, 1);
  const int64_t t0 = 1'000'000'000;
  ASSERT_TRUE(store->AllowRequest("10.0.0.9", 3, t0));  // a full bucket, forgotten by the next sweep
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(store->AllowRequest("10.0.0.1", 3, t0 + 59'900));
  // The next request comes with a sweep.
  EXPECT_FALSE(store->AllowRequest("10.0.0.1", 3, t0 + 60'000)) << "drained just before the sweep";
  EXPECT_FALSE(store->AllowRequest("10.0.0.1", 3, t0 + 79'000));
  EXPECT_TRUE(store->AllowRequest("10.0.0.1", 3, t0 + 80'000)) << "one request back every 20 s";

  PGconn* conn = PQconnectdb(database_.c_str());
  PGresult* rows = PQexec(conn, "SELECT address FROM rate_buckets ORDER BY address");
  ASSERT_EQ(PQresultStatus(rows), PGRES_TUPLES_OK);
  ASSERT_EQ(PQntuples(rows), 1);
  EXPECT_STREQ(PQgetvalue(rows, 0, 0), "10.0.0.1");
  PQclear(rows);
  PQfinish(conn);
}

INSTANTIATE_TEST_SUITE_P(Postgres, SharedLimitTest, ::testing::Values("postgresql"));

}  // namespace
}  // namespace servertest
