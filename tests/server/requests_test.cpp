// The game's three requests against the real server, on both stores.

#include <chrono>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "tests/server/store_fixture.h"

namespace servertest {
namespace {

using RequestsTest = StoreTest;

std::vector<std::string> RankingNames(const std::vector<FetchedEntry>& ranking) {
  std::vector<std::string> names;
  for (const auto& entry : ranking) names.push_back(entry.name);
  return names;
}

TEST_P(RequestsTest, RegisterSubmitAndFetchWithTheOwnEntryMarked) {
  auto server = Start();
  const auto registration = Register(server->port());
  ASSERT_TRUE(registration);
  EXPECT_EQ(registration->key.size(), 32u);
  EXPECT_NE(registration->keyId, 0);

  const HttpReply submitted = Submit(server->port(), *registration, "Anna", 4200, 3);
  ASSERT_EQ(submitted.lines.size(), 2u) << submitted.raw;
  EXPECT_EQ(submitted.lines[0], "OKAY");
  const int32_t id = std::stoi(submitted.lines[1]);
  EXPECT_GT(id, 0);
  const auto other = RegisterAndSubmit(server->port(), "Bert", 5000, 3);
  ASSERT_TRUE(other);

  const HttpReply raw = PostAsGame(server->port(), kFetchPath, "get_highscore=yes&own=" + std::to_string(id));
  EXPECT_EQ(raw.lines, (std::vector<std::string>{"TABLE", "0", "TABLE", "1", "TABLE", "2", "TABLE", "3", "ENTRY",
                                                 "Bert", "5000", "ENTRY", "Anna", "4200", "is own", "TABLE", "4",
                                                 "TABLE", "5", "TABLE", "6"}));
  EXPECT_NE(raw.raw.find("Connection: close"), std::string::npos);

  const auto noOwn = Fetch(server->port(), 0);
  ASSERT_TRUE(noOwn);
  EXPECT_FALSE((*noOwn)[3][0].own || (*noOwn)[3][1].own);
}

TEST_P(RequestsTest, RankingsAreBestFirstWithTiesToTheEarlierAndCutToTheTableSize) {
  auto server = Start({"--table-size", "4"});
  const int port = server->port();
  ASSERT_TRUE(RegisterAndSubmit(port, "first300", 300, 6));
  ASSERT_TRUE(RegisterAndSubmit(port, "top500", 500, 6));
  ASSERT_TRUE(RegisterAndSubmit(port, "second300", 300, 6));
  ASSERT_TRUE(RegisterAndSubmit(port, "low100", 100, 6));
  ASSERT_TRUE(RegisterAndSubmit(port, "mid400", 400, 6));
  ASSERT_TRUE(RegisterAndSubmit(port, "other", 999, 0));

  const auto tables = Fetch(port);
  ASSERT_TRUE(tables);
  EXPECT_EQ(RankingNames((*tables)[6]), (std::vector<std::string>{"top500", "mid400", "first300", "second300"}));
  EXPECT_EQ(RankingNames((*tables)[0]), (std::vector<std::string>{"other"}));
  for (int mode : {1, 2, 3, 4, 5}) EXPECT_TRUE((*tables)[mode].empty());
}

TEST_P(RequestsTest, NamesComeBackExactlyAsTyped) {
  auto server = Start();
  // Quotes, SQL and escape characters, a plus sign the game sends unencoded,
  // and the ends of the allowed range of codes.
  const std::vector<std::string> names = {"O'Brien\"; --", "x'); DROP--", "%_\\*+?&=", "A+B C", "  ", "}}}{|"};
  int32_t points = 100;
  for (const auto& name : names) ASSERT_TRUE(RegisterAndSubmit(server->port(), name, ++points, 1)) << name;

  const auto tables = Fetch(server->port());
  ASSERT_TRUE(tables);
  std::vector<std::string> expected(names.rbegin(), names.rend());
  EXPECT_EQ(RankingNames((*tables)[1]), expected);
}

TEST_P(RequestsTest, ExtremePointsAndRankingsAreAccepted) {
  auto server = Start();
  ASSERT_TRUE(RegisterAndSubmit(server->port(), "Max", 2147483647, 6));
  ASSERT_TRUE(RegisterAndSubmit(server->port(), "Null", 0, 0));
  ASSERT_TRUE(RegisterAndSubmit(server->port(), "abcdefghijklmno", 1, 5));
  const auto tables = Fetch(server->port());
  ASSERT_TRUE(tables);
  EXPECT_EQ((*tables)[6], (std::vector<FetchedEntry>{{"Max", 2147483647, false}}));
  EXPECT_EQ((*tables)[0], (std::vector<FetchedEntry>{{"Null", 0, false}}));
  EXPECT_EQ((*tables)[5], (std::vector<FetchedEntry>{{"abcdefghijklmno", 1, false}}));
}

TEST_P(RequestsTest, AKeyIsGoodForOneSubmissionOnly) {
  auto server = Start();
  const auto registration = Register(server->port());
  ASSERT_TRUE(registration);
  ASSERT_EQ(Submit(server->port(), *registration, "Anna", 10, 0).lines[0], "OKAY");

  const HttpReply reused = Submit(server->port(), *registration, "Anna", 10, 0);
  EXPECT_NE(reused.lines.at(0), "OKAY");
  EXPECT_EQ(reused.lines.at(1), "RETRY");

  const HttpReply unknown = Submit(server->port(), {registration->key, registration->keyId + 1000}, "Anna", 10, 0);
  EXPECT_EQ(unknown.lines.at(1), "RETRY");
  EXPECT_EQ((*Fetch(server->port()))[0].size(), 1u);
}

TEST_P(RequestsTest, AWrongHashIsRefusedAndLeavesTheKeyToItsOwner) {
  auto server = Start();
  const auto registration = Register(server->port());
  ASSERT_TRUE(registration);
  const std::string body = "name=Anna&pts=1000000&mode=0&lang=de&key_id=" + std::to_string(registration->keyId) +
                           "&hash=" + std::to_string(GameHash(registration->key, 1000, 0));
  const HttpReply refused = PostAsGame(server->port(), kSubmitPath, body);
  EXPECT_TRUE(IsShownError(refused)) << refused.raw;
  EXPECT_NE(refused.lines.at(1), "RETRY") << "a retry would only repeat the forgery";

  EXPECT_EQ(Submit(server->port(), *registration, "Anna", 1000, 0).lines.at(0), "OKAY");
  EXPECT_EQ((*Fetch(server->port()))[0], (std::vector<FetchedEntry>{{"Anna", 1000, false}}));
}

TEST_P(RequestsTest, ErrorsSpeakTheLanguageTheGameNames) {
  auto server = Start();
  const auto registration = Register(server->port());
  ASSERT_TRUE(registration);
  const auto wrongSubmit = [&](const char* language) {
    return PostAsGame(server->port(), kSubmitPath,
                      "name=Anna&pts=1000000&mode=0&lang=" + std::string(language) + "&key_id=" +
                          std::to_string(registration->keyId) + "&hash=" +
                          std::to_string(GameHash(registration->key, 1000, 0)));
  };
  const HttpReply german = wrongSubmit("de");
  EXPECT_EQ(german.lines, (std::vector<std::string>{"ERROR", "Die Prüfsumme des Punktwerts stimmt nicht. Er wurde "
                                                               "nicht gespeichert."}));
  const HttpReply english = wrongSubmit("en");
  EXPECT_EQ(english.lines,
            (std::vector<std::string>{"ERROR", "The score's checksum does not match. The score was not stored."}));
  EXPECT_EQ(german.statusLine, english.statusLine);

  EXPECT_EQ(PostAsGame(server->port(), kSubmitPath, "name=A&pts=1&mode=0&lang=en").lines.at(1),
            "The name must be 2 to 15 plain characters long.");
  EXPECT_EQ(PostAsGame(server->port(), kSubmitPath, "name=Anna&pts=1&mode=0&lang=en&key_id=1").lines.at(1),
            "The field \"hash\" is missing or not valid.");
  EXPECT_EQ(PostAsGame(server->port(), kRegisterPath, "register=no&lang=en").lines.at(1),
            "The field \"register\" is missing or not valid.");
  EXPECT_EQ(PostAsGame(server->port(), kRegisterPath, "register=no").lines.at(1),
            "Das Feld \"register\" fehlt oder ist ungültig.");
  EXPECT_EQ(PostAsGame(server->port(), kSubmitPath, "name=%zz&lang=en").lines.at(1),
            "The request is not encoded properly.")
      << "the language counts even in a body that cannot be decoded";
  EXPECT_EQ(PostAsGame(server->port(), kSubmitPath, "name=Anna&lang=xx").lines.at(1),
            "Die Punktzahl ist ungültig.")
      << "a language without a catalogue gets German";

  // French from its catalogue, in the ISO-8859-1 of the wire like every reply.
  const HttpReply french = wrongSubmit("fr");
  EXPECT_EQ(french.lines, (std::vector<std::string>{"ERROR", "La somme de contr\xF4le du score est incorrecte. Il "
                                                              "n'a pas \xE9t\xE9 enregistr\xE9."}));
  EXPECT_EQ(PostAsGame(server->port(), kSubmitPath, "name=Anna&lang=fr").lines.at(1), "Le score n'est pas valide.");
  // The HTTP layer's own refusal, once it has read the request: a POST to the rankings' pages.
  EXPECT_EQ(PostAsGame(server->port(), "/nowhere", "lang=fr").lines.at(1), "Cette adresse est en lecture seule.");
}

TEST_P(RequestsTest, KeyIdsAreDrawnOverTheWholeRangeTheGameReads) {
  auto server = Start();
  std::set<int32_t> ids;
  std::optional<Registration> negative;
  for (int i = 0; i < 32; ++i) {
    const auto registration = Register(server->port());
    ASSERT_TRUE(registration);
    ids.insert(registration->keyId);
    if (registration->keyId < 0) negative = registration;
  }
  EXPECT_EQ(ids.size(), 32u);
  EXPECT_EQ(ids.count(0), 0u) << "the game holds 0 before it has registered";
  // Both signs and no close neighbours: nothing to count on from one's own id.
  EXPECT_LT(*ids.begin(), -(1 << 24));
  EXPECT_GT(*ids.rbegin(), 1 << 24);
  for (auto it = ids.begin(); std::next(it) != ids.end(); ++it) EXPECT_GT(int64_t{*std::next(it)} - *it, 1000);

  ASSERT_TRUE(negative);
  EXPECT_EQ(Submit(server->port(), *negative, "Anna", 5, 1).lines.at(0), "OKAY") << "the game sends it with its sign";
}

TEST_P(RequestsTest, AGuessedKeyIdCannotSpoilAnotherPlayersSubmission) {
  auto server = Start();
  const auto anna = Register(server->port());
  const auto mallory = Register(server->port());
  ASSERT_TRUE(anna && mallory);
  // Mallory aims at Anna's key (as if guessed) and at the ids next to her own.
  for (const int32_t target : {anna->keyId, mallory->keyId + 1, mallory->keyId - 1}) {
    const HttpReply forged = Submit(server->port(), {mallory->key, target}, "Mallory", 10, 0);
    EXPECT_NE(forged.lines.at(0), "OKAY") << forged.raw;
  }
  EXPECT_EQ(Submit(server->port(), *anna, "Anna", 20, 0).lines.at(0), "OKAY");
  EXPECT_EQ((*Fetch(server->port()))[0], (std::vector<FetchedEntry>{{"Anna", 20, false}}));
}

TEST_P(RequestsTest, KeysExpire) {
  auto server = Start({"--key-ttl", "1"});
  const auto registration = Register(server->port());
  ASSERT_TRUE(registration);
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  EXPECT_EQ(Submit(server->port(), *registration, "Anna", 10, 0).lines.at(1), "RETRY");
  EXPECT_TRUE((*Fetch(server->port()))[0].empty());
}

TEST_P(RequestsTest, InvalidSubmissionsAreRefusedWithAMessageAndKeepTheKey) {
  auto server = Start();
  const auto registration = Register(server->port());
  ASSERT_TRUE(registration);
  const std::string key = "&key_id=" + std::to_string(registration->keyId);
  auto hashFor = [&](int32_t points, int mode) {
    return "&hash=" + std::to_string(GameHash(registration->key, points, mode));
  };

  const std::vector<std::string> bodies = {
      "name=Anna&pts=10&mode=7&lang=de" + key + hashFor(10, 7),
      "name=Anna&pts=-10&mode=0&lang=de" + key + hashFor(-10, 0),
      "name=Anna&pts=2147483648&mode=0&lang=de" + key + hashFor(0, 0),
      "name=abcdefghijklmnop&pts=10&mode=0&lang=de" + key + hashFor(10, 0),
      "name=A&pts=10&mode=0&lang=de" + key + hashFor(10, 0),
      "name=Anna%7E&pts=10&mode=0&lang=de" + key + hashFor(10, 0),
      "name=Anna%0A&pts=10&mode=0&lang=de" + key + hashFor(10, 0),
      "name=Anna%FC&pts=10&mode=0&lang=de" + key + hashFor(10, 0),
      "name=Anna%2&pts=10&mode=0&lang=de" + key + hashFor(10, 0),
      "pts=10&mode=0&lang=de" + key + hashFor(10, 0),
      "name=Anna&mode=0&lang=de" + key + hashFor(10, 0),
      "name=Anna&pts=10&lang=de" + key + hashFor(10, 0),
      "name=Anna&pts=10&mode=0&lang=de" + hashFor(10, 0),
      "name=Anna&pts=10&mode=0&lang=de" + key,
      "name=Anna&pts=ten&mode=0&lang=de" + key + hashFor(10, 0),
      "name=Anna&pts=10&mode=0&lang=de" + key + "&hash=x",
      "name=Anna&name=Bert&pts=10&mode=0&lang=de" + key + hashFor(10, 0),
      "",
  };
  for (const auto& body : bodies) {
    const HttpReply reply = PostAsGame(server->port(), kSubmitPath, body);
    EXPECT_TRUE(IsShownError(reply)) << body << "\n" << reply.raw;
    EXPECT_NE(reply.lines.at(1), "RETRY") << body;
  }
  EXPECT_EQ(Submit(server->port(), *registration, "Anna", 10, 0).lines.at(0), "OKAY")
      << "refused requests leave the key unused";
  EXPECT_EQ((*Fetch(server->port()))[0], (std::vector<FetchedEntry>{{"Anna", 10, false}}));
}

TEST_P(RequestsTest, RegisterAndFetchNeedTheirFields) {
  auto server = Start();
  EXPECT_TRUE(IsShownError(PostAsGame(server->port(), kRegisterPath, "register=no")));
  EXPECT_TRUE(IsShownError(PostAsGame(server->port(), kRegisterPath, "")));
  EXPECT_TRUE(IsShownError(PostAsGame(server->port(), kFetchPath, "get_highscore=yes")));
  EXPECT_TRUE(IsShownError(PostAsGame(server->port(), kFetchPath, "own=0")));
  EXPECT_TRUE(IsShownError(PostAsGame(server->port(), kFetchPath, "get_highscore=yes&own=x")));
}

TEST_P(RequestsTest, RegistrationsAndSubmissionsAreLimitedPerAddress) {
  auto server = Start({"--rate-limit", "3"});
  const auto registration = Register(server->port());
  ASSERT_TRUE(registration);
  ASSERT_TRUE(Register(server->port()));
  ASSERT_EQ(Submit(server->port(), *registration, "Anna", 10, 0).lines.at(0), "OKAY");

  const HttpReply limited = PostAsGame(server->port(), kRegisterPath, "register=yes");
  EXPECT_TRUE(IsShownError(limited));
  EXPECT_NE(limited.lines.at(1), "RETRY") << "the game would retry at once, for ever";
  EXPECT_NE(limited.statusLine.find(" 429 "), std::string::npos);
  EXPECT_TRUE(Fetch(server->port())) << "fetching is not limited";
}

TEST_P(RequestsTest, EveryRequestIsLoggedOnItsOwnLine) {
  auto server = Start();
  ASSERT_TRUE(RegisterAndSubmit(server->port(), "Anna", 10, 0));
  ASSERT_TRUE(Fetch(server->port()));
  PostAsGame(server->port(), kFetchPath, "");
  const std::string log = server->Log();
  EXPECT_NE(log.find("POST " + kRegisterPath + " 200 OKAY"), std::string::npos) << log;
  EXPECT_NE(log.find("POST " + kSubmitPath + " 200 OKAY"), std::string::npos) << log;
  EXPECT_NE(log.find("POST " + kFetchPath + " 200 TABLE"), std::string::npos) << log;
  EXPECT_NE(log.find("POST " + kFetchPath + " 400 ERROR"), std::string::npos) << log;
}

TEST_P(RequestsTest, ScoresOutliveARestart) {
  {
    auto server = Start();
    ASSERT_TRUE(RegisterAndSubmit(server->port(), "Anna", 10, 2));
    EXPECT_EQ(server->Terminate(), 0);
  }
  auto server = Start();
  const auto id = RegisterAndSubmit(server->port(), "Bert", 20, 2);
  ASSERT_TRUE(id);
  EXPECT_EQ((*Fetch(server->port(), *id))[2],
            (std::vector<FetchedEntry>{{"Bert", 20, true}, {"Anna", 10, false}}));
}

INSTANTIATE_TEST_SUITE_P(Sqlite, RequestsTest, ::testing::Values("sqlite"));
INSTANTIATE_TEST_SUITE_P(Postgres, RequestsTest, ::testing::Values("postgresql"));

}  // namespace
}  // namespace servertest
