#include <cstdlib>

#include "gameplay/modes.h"
#include "gameplay/texts.h"
#include "screens/entry.h"
#include "tests/highscore/fake_server.h"
#include "tests/highscore/fixture.h"

namespace quarzello::highscore_test {

namespace {

using Answer = FakeHighscoreServer::Answer;

class EntryTest : public HighscoreTest {
 protected:
  void SetUp() override {
    HighscoreTest::SetUp();
    setenv("QUARZELLO_HIGHSCORE_HOST", server.Host().c_str(), 1);
    ui.screen = NewHighscore;
    game.gameMode = Turbo;
    game.difficulty = 1;
    game.score = 4321;
    ui.playerName = "Lena";
  }
  void TearDown() override {
    unsetenv("QUARZELLO_HIGHSCORE_HOST");
    HighscoreTest::TearDown();
  }
  void Frame() { PaintFrame(DrawNewHighscore); }
  // "Weiter", and the frames until the requests it made are over.
  void PressWeiter() {
    ClickAt(200, 355);
    Frame();
    PaintUntilConnected(DrawNewHighscore);
  }
  void ToggleCheckbox() {
    ClickAt(100, 208);
    Frame();
  }
  static std::string Reply(const std::vector<std::string>& lines) { return FakeHighscoreServer::Reply(lines); }

  FakeHighscoreServer server;
};

TEST_F(EntryTest, ShowsTheResultOfTheGame) {
  ui.scale = 2.0f;
  SetTestClock(100000);  // cursor shown for the first 250 ms of every 500
  Frame();
  const DisplayList& frame = recording.LastFrame();
  EXPECT_EQ(Texts(frame), (std::vector<std::string>{Text(TextId::PanelScore), Text(TextId::PanelMode), Text(TextId::PanelLevel), Text(TextId::NewHighscoreTitle), "4321", ModeName(Turbo), DifficultyName(Mittel), FormatText(TextId::NameLine, {"Lena_"}),
                                                     Text(TextId::SaveOnline), Text(TextId::Continue), Text(TextId::Cancel)}));
  EXPECT_EQ(FindText(frame, FormatText(TextId::NameLine, {"Lena_"}))->x, 60.0f);
  EXPECT_EQ(FindText(frame, FormatText(TextId::NameLine, {"Lena_"}))->y, 300.0f);
  EXPECT_EQ(FindText(frame, DifficultyName(Mittel))->y, 66.0f);
  EXPECT_EQ(FindText(frame, "4321")->red, 79) << "small font";
  EXPECT_EQ(FindText(frame, Text(TextId::NewHighscoreTitle))->red, 47) << "large font";
  SetTestClock(100250);
  Frame();
  EXPECT_NE(FindText(recording.LastFrame(), FormatText(TextId::NameLine, {"Lena"})), nullptr);
  SetTestClock(100499);
  Frame();
  EXPECT_NE(FindText(recording.LastFrame(), FormatText(TextId::NameLine, {"Lena"})), nullptr);
  SetTestClock(100500);
  Frame();
  EXPECT_NE(FindText(recording.LastFrame(), FormatText(TextId::NameLine, {"Lena_"})), nullptr);
  EXPECT_EQ(ui.screen, NewHighscore);

  game.gameMode = Level;
  game.level = 7;
  Frame();
  EXPECT_EQ(Texts(recording.LastFrame())[6], "7");
  game.gameMode = Classic;
  game.difficulty = 2;
  game.sideSupply = 3;
  Frame();
  EXPECT_EQ(Texts(recording.LastFrame())[5], ModeName(Classic));
  EXPECT_EQ(Texts(recording.LastFrame())[6], DifficultyName(Schwer));
}

TEST_F(EntryTest, TheCursorKeepsBlinkingAfterWeeksOfUptime) {
  const int64_t wrap = int64_t{1} << 31;  // where a 32-bit millisecond count turns negative
  const int64_t period = wrap - wrap % 500;
  SetTestClock(period + 500 + 249);
  Frame();
  EXPECT_NE(FindText(recording.LastFrame(), FormatText(TextId::NameLine, {"Lena_"})), nullptr);
  SetTestClock(period + 500 + 250);
  Frame();
  EXPECT_NE(FindText(recording.LastFrame(), FormatText(TextId::NameLine, {"Lena"})), nullptr);
}

TEST_F(EntryTest, CheckboxTogglesAndShowsItsMark) {
  auto mark = [&] {
    for (const DrawCommand& command : recording.LastFrame())
      if (command.kind == DrawCommand::kImage && command.image == &stones) return command;
    return DrawCommand{};
  };
  Frame();
  EXPECT_EQ(mark().frame, 104);
  EXPECT_EQ(mark().x, 40.0f);
  EXPECT_EQ(mark().y, 207.0f);
  ToggleCheckbox();
  EXPECT_EQ(ui.saveOnline, 1);
  EXPECT_EQ(mark().frame, 78);
  ToggleCheckbox();
  EXPECT_EQ(ui.saveOnline, 0);
}

TEST_F(EntryTest, NoPointsOrCancelGoBackToTheMenu) {
  game.score = 0;
  Frame();
  EXPECT_EQ(ui.screen, MainMenu);
  // Even a click on "Weiter" in that frame enters nothing.
  ui.screen = NewHighscore;
  PressWeiter();
  EXPECT_EQ(ui.screen, MainMenu);
  EXPECT_TRUE(highscores.list[RankingIndex(Turbo, 1)].list.empty());

  game.score = 10;
  ui.screen = NewHighscore;
  ClickAt(200, 405);
  Frame();
  EXPECT_EQ(ui.screen, MainMenu);
  EXPECT_TRUE(highscores.list[RankingIndex(Turbo, 1)].list.empty());
  EXPECT_FALSE(std::filesystem::exists("highscore.tvs"));
}

TEST_F(EntryTest, TooShortANameIsRefused) {
  ui.playerName = "L";
  PressWeiter();
  EXPECT_EQ(ui.screen, NewHighscore);
  ASSERT_EQ(recording.messages.size(), 1u);
  EXPECT_EQ(recording.messages[0].title, Text(TextId::NoteTitle));
  EXPECT_EQ(recording.messages[0].text, Text(TextId::NameTooShort));
  EXPECT_FALSE(recording.messages[0].serious);
  EXPECT_FALSE(std::filesystem::exists("highscore.tvs"));
  EXPECT_EQ(ui.playerName, "L");

  ui.playerName = "  ";  // two spaces are long enough
  PressWeiter();
  EXPECT_EQ(ui.screen, Highscores);
}

TEST_F(EntryTest, OfflineEntryIsRankedSavedAndShown) {
  for (int i = 0; i < 10; ++i) highscores.add(Turbo, 1, "Alt", 5000);
  PressWeiter();
  EXPECT_EQ(ui.screen, Highscores);
  EXPECT_TRUE(server.Requests().empty()) << "no connection when not saving online";
  EXPECT_TRUE(recording.messages.empty());
  const TScorelist& ranking = highscores.list[RankingIndex(Turbo, 1)];
  ASSERT_EQ(ranking.list.size(), 11u);
  EXPECT_EQ(ranking.list[10]->name, "Lena");
  EXPECT_EQ(tableView.ownScore, ranking.list[10]);
  EXPECT_EQ(tableView.shownLocal, ListKind::Local);
  EXPECT_EQ(tableView.shownPage, 2);
  ASSERT_EQ(scoreRows.size(), 1u);
  EXPECT_EQ(scoreRows.front()->highlight, 1);

  App restarted;
  restarted.highscores.LoadHighscore(restarted.ui.playerName, restarted.ui.saveOnline);
  EXPECT_EQ(restarted.highscores.list[RankingIndex(Turbo, 1)].list.size(), 11u);
  EXPECT_EQ(restarted.ui.playerName, "Lena");
  EXPECT_EQ(restarted.ui.saveOnline, 0);
}

TEST_F(EntryTest, TheTableShowsWhatAnotherGameSavedMeanwhile) {
  highscores.add(Turbo, 1, "Alt", 100);
  ASSERT_TRUE(highscores.SaveHighscore("Lena", 0));
  // Another game, started from the same file, saves ten better results.
  THighscore other;
  std::string otherName;
  uint8_t otherChoice = 0;
  other.LoadHighscore(otherName, otherChoice);
  for (int i = 0; i < 10; ++i) other.add(Turbo, 1, "Bernd", 5000 + i);
  ASSERT_TRUE(other.SaveHighscore("Bernd", 1));

  PressWeiter();
  EXPECT_EQ(ui.screen, Highscores);
  EXPECT_TRUE(recording.messages.empty());
  const TScorelist& ranking = highscores.list[RankingIndex(Turbo, 1)];
  ASSERT_EQ(ranking.list.size(), 12u);
  EXPECT_EQ(ranking.list[10]->name, "Lena");
  EXPECT_EQ(ranking.list[11]->name, "Alt");
  EXPECT_EQ(tableView.ownScore, ranking.list[10]);
  EXPECT_EQ(tableView.shownPage, 2) << "the page of the entry among the merged rankings";
  EXPECT_EQ(tableView.pageCount, 2);
  ASSERT_EQ(scoreRows.size(), 2u);
  EXPECT_EQ(scoreRows.front()->name, "Lena");
  EXPECT_EQ(scoreRows.front()->platz, 11);
  EXPECT_EQ(scoreRows.front()->highlight, 1);
  EXPECT_EQ(scoreRows.back()->highlight, 0);

  App restarted;
  restarted.highscores.LoadHighscore(restarted.ui.playerName, restarted.ui.saveOnline);
  EXPECT_EQ(restarted.highscores.list[RankingIndex(Turbo, 1)].list.size(), 12u);
  EXPECT_EQ(restarted.ui.playerName, "Lena") << "the name and checkbox of the game that saved";
  EXPECT_EQ(restarted.ui.saveOnline, 0);
}

TEST_F(EntryTest, OnlineEntryIsSubmittedAndItsOnlinePageShown) {
  ui.saveOnline = 1;
  std::vector<std::string> table = {"TABLE", "4"};
  for (int i = 0; i < 14; ++i) table.insert(table.end(), {"ENTRY", "Web" + std::to_string(i), "9000"});
  table.insert(table.end(), {"ENTRY", "Lena", "4321", "is own", "ENTRY", "Tail", "1"});
  server.Script({{Reply({"OKAY", "0123456789abcdef", "11"})},
                 {Reply({"OKAY", "555"})},
                 {Reply(table)}});
  size_t framesBefore = recording.frames.size();
  PressWeiter();
  EXPECT_EQ(ui.screen, Highscores);
  EXPECT_TRUE(recording.messages.empty());
  std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[0].find("register=yes"), std::string::npos);
  EXPECT_NE(requests[1].find("name=Lena&pts=4321&mode=4&lang=de&key_id=11&hash="), std::string::npos);
  EXPECT_NE(requests[2].find("get_highscore=yes&own=555"), std::string::npos);
  // The frame itself and the three connection notices (their second line, after the panels' labels).
  std::vector<std::string> notices;
  for (size_t i = framesBefore + 1; i < recording.frames.size(); ++i) notices.push_back(Texts(recording.frames[i])[4]);
  EXPECT_EQ(notices, (std::vector<std::string>{Text(TextId::Registering), Text(TextId::Submitting),
                                               Text(TextId::Fetching)}));

  EXPECT_EQ(tableView.shownLocal, ListKind::Online);
  EXPECT_EQ(tableView.pageCount, 2);
  EXPECT_EQ(tableView.shownPage, 2);
  EXPECT_EQ(tableView.ownScore->name, "Lena");
  EXPECT_EQ(tableView.ownScore, highscores.list[RankingIndex(Turbo, 1, ListKind::Online)].list[14]);
  EXPECT_EQ(highscores.list[RankingIndex(Turbo, 1)].list.size(), 1u) << "entered locally too";
  EXPECT_TRUE(std::filesystem::exists("highscore.tvs"));
}

TEST_F(EntryTest, OnlineWithoutServerEntersNothing) {
  setenv("QUARZELLO_HIGHSCORE_HOST", ("127.0.0.1:" + std::to_string(FakeHighscoreServer::UnusedPort())).c_str(), 1);
  ToggleCheckbox();
  size_t framesBefore = recording.frames.size();
  PressWeiter();
  EXPECT_EQ(ui.screen, NewHighscore);
  EXPECT_EQ(recording.frames.size(), framesBefore + 2) << "the frame and the connection notice";
  EXPECT_NE(FindText(recording.LastFrame(), Text(TextId::Registering)), nullptr);
  ASSERT_EQ(recording.messages.size(), 1u);
  EXPECT_EQ(recording.messages[0].title, Text(TextId::NoteTitle));
  EXPECT_EQ(recording.messages[0].text, Text(TextId::NoConnection));
  EXPECT_FALSE(recording.messages[0].serious);
  EXPECT_TRUE(highscores.list[RankingIndex(Turbo, 1)].list.empty());
  EXPECT_FALSE(std::filesystem::exists("highscore.tvs"));
  EXPECT_EQ(ui.saveOnline, 1);
  EXPECT_EQ(ui.playerName, "Lena");
}

TEST_F(EntryTest, ServerErrorEntersNothing) {
  ui.saveOnline = 1;
  server.Script({{Reply({"OKAY", "k", "1"})}, {Reply({"NEIN", "Name nicht erlaubt"})}});
  PressWeiter();
  EXPECT_EQ(ui.screen, NewHighscore);
  ASSERT_EQ(recording.messages.size(), 1u);
  EXPECT_EQ(recording.messages[0].title, Text(TextId::ErrorTitle));
  EXPECT_TRUE(recording.messages[0].serious);
  EXPECT_TRUE(highscores.list[RankingIndex(Turbo, 1)].list.empty());
  EXPECT_FALSE(std::filesystem::exists("highscore.tvs"));
}

TEST_F(EntryTest, RetryRegistersAgainButNotForEver) {
  ui.saveOnline = 1;
  const Answer key{Reply({"OKAY", "k", "1"})}, retry{Reply({"FAIL", "RETRY"})};
  server.Script({key, retry, key, {Reply({"OKAY", "8"})}, {Reply({"TABLE", "4"})}});
  PressWeiter();
  EXPECT_EQ(ui.screen, Highscores);
  EXPECT_EQ(server.Requests().size(), 5u);
  EXPECT_EQ(onlineState.ownId, 8);

  ui.screen = NewHighscore;
  recording.messages.clear();
  server.Script({key, retry, key, retry, key, retry, key, {Reply({"OKAY", "9"})}});
  PressWeiter();
  EXPECT_EQ(ui.screen, NewHighscore);
  EXPECT_EQ(server.Requests().size(), 5u + 6u) << "three rounds, then it gives up";
  ASSERT_EQ(recording.messages.size(), 1u);
  EXPECT_EQ(recording.messages[0].title, Text(TextId::NoteTitle));
  EXPECT_EQ(highscores.list[RankingIndex(Turbo, 1)].list.size(), 1u);
}

TEST_F(EntryTest, FailedFetchStillShowsTheLocalTable) {
  ui.saveOnline = 1;
  server.Script({{Reply({"OKAY", "k", "1"})}, {Reply({"OKAY", "3"})}, {"", FakeHighscoreServer::Behaviour::kSilent}});
  onlineState.timeoutMillis = 300;
  PressWeiter();
  EXPECT_EQ(ui.screen, Highscores);
  EXPECT_EQ(tableView.shownLocal, ListKind::Local);
  EXPECT_EQ(tableView.ownScore, highscores.list[RankingIndex(Turbo, 1)].list[0]);
  EXPECT_TRUE(recording.messages.empty());
}

TEST_F(EntryTest, GivingUpTheSubmissionIsNoConnectionAndItsLateAnswerIsDropped) {
  ui.saveOnline = 1;
  server.Script({{Reply({"OKAY", "k", "1"})}, {Reply({"OKAY", "77"})}});
  ClickAt(200, 355);
  Frame();
  Frame();  // the registration under its notice
  ASSERT_TRUE(ConnectionUnderway(app));
  std::vector<RequestRunner::Task> submitting = requests.TakeStarted();
  ASSERT_EQ(submitting.size(), 1u);

  // Nothing else happens meanwhile: "Weiter" and "Abbrechen" are not there.
  ClickAt(200, 355);
  Frame();
  EXPECT_EQ(FindText(recording.LastFrame(), Text(TextId::Submitting))->y, 260.0f);
  EXPECT_TRUE(requests.TakeStarted().empty()) << "no second entry";
  EXPECT_EQ(ui.screen, NewHighscore);

  ClickAt(200, 410);  // the notice's "Abbrechen"
  Frame();
  EXPECT_FALSE(ConnectionUnderway(app));
  ASSERT_EQ(recording.messages.size(), 1u);
  EXPECT_EQ(recording.messages[0].title, Text(TextId::NoteTitle));
  EXPECT_EQ(recording.messages[0].text, Text(TextId::NoConnection));

  // The submission still reaches the server, but the game does not listen any more.
  test::InlineRequests::RunAll(submitting);
  app.requests.Deliver();
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(onlineState.ownId, 0);
  EXPECT_EQ(recording.messages.size(), 1u);
  EXPECT_EQ(ui.screen, NewHighscore);
  EXPECT_TRUE(highscores.list[RankingIndex(Turbo, 1)].list.empty());
  EXPECT_FALSE(std::filesystem::exists("highscore.tvs"));
  Frame();
  EXPECT_NE(FindText(recording.LastFrame(), Text(TextId::Continue)), nullptr) << "the entry screen is back";
}

TEST_F(EntryTest, GivingUpTheFetchShowsTheLocalTable) {
  ui.saveOnline = 1;
  server.Script({{Reply({"OKAY", "k", "1"})}, {Reply({"OKAY", "3"})}});
  ClickAt(200, 355);
  Frame();
  Frame();
  Frame();
  ASSERT_EQ(app.notice.text, TextId::Fetching);
  app.requests.Cancel();
  EXPECT_EQ(ui.screen, Highscores);
  EXPECT_EQ(tableView.shownLocal, ListKind::Local);
  EXPECT_EQ(tableView.ownScore, highscores.list[RankingIndex(Turbo, 1)].list[0]);
  EXPECT_TRUE(recording.messages.empty()) << "a failed fetch is silent";
  EXPECT_TRUE(std::filesystem::exists("highscore.tvs"));
}

TEST_F(EntryTest, FailedSaveKeepsTheEntryAndSaysSo) {
  WriteFile("highscore.tvs", std::string("\x03\x02XY\x00", 5));
  {
    FileSizeLimit full(4);
    PressWeiter();
  }
  EXPECT_EQ(ui.screen, Highscores);
  ASSERT_EQ(recording.messages.size(), 1u);
  EXPECT_EQ(recording.messages[0].title, Text(TextId::NoteTitle));
  EXPECT_FALSE(recording.messages[0].serious);
  EXPECT_EQ(highscores.list[RankingIndex(Turbo, 1)].list.size(), 1u);
  EXPECT_EQ(ReadFile("highscore.tvs"), std::string("\x03\x02XY\x00", 5));
}

}  // namespace

}  // namespace quarzello::highscore_test
