#include <cstdlib>

#include "gameplay/modes.h"
#include "gameplay/texts.h"
#include "tests/highscore/fake_server.h"
#include "tests/highscore/fixture.h"

namespace quarzello::highscore_test {

namespace {

class TableTest : public HighscoreTest {
 protected:
  void Frame() { PaintFrame(DrawHighscores); }
  // Advances and draws the rows alone, as one frame.
  void RowsFrame() {
    Cls();
    TScoreview::update(scoreRows, ui);
    Flip(-1);
  }
  TScoreview& Row(size_t i) {
    auto it = scoreRows.begin();
    std::advance(it, i);
    return **it;
  }
  // Into the file as well: a table opened from the menu shows the file.
  void Fill(uint8_t index, int entries) {
    for (int i = 0; i < entries; ++i) highscores.list[index].add_sorted("Spieler" + std::to_string(i), 1000 - i);
    WriteFile(kHighscoreFile, EncodeHighscoreFile(highscores, "", 0));
  }
};

TEST_F(TableTest, RowWaitsSlidesInRestsAndSlidesOut) {
  tableView.pageEntries = ScorePage{std::make_shared<TScore>(TScore{"Eva", 77})};
  tableView.shownPage = 1;
  BuildTableRows(app, 0);
  ASSERT_EQ(scoreRows.size(), 1u);
  TScoreview& row = Row(0);
  EXPECT_EQ(row.wait, 5);
  EXPECT_EQ(row.y, 145);
  EXPECT_EQ(row.platz, 1);

  int frame = 0;
  while (row.mode == kRowWaitingIn) RowsFrame(), ++frame;
  EXPECT_EQ(frame, 5);
  // Still off screen while waiting: 500 units to the right.
  EXPECT_EQ(FindText(recording.frames[0], "Eva")->x, 590.0f);
  EXPECT_EQ(FindText(recording.frames[4], "Eva")->x, 590.0f);
  while (row.mode == kRowSlidingIn) RowsFrame(), ++frame;
  EXPECT_EQ(frame, 55);
  // First sliding frame: ab_x 49.
  EXPECT_FLOAT_EQ(FindText(recording.frames[5], "Eva")->x, 90 + 0.2f * 49 * 49);
  EXPECT_EQ(FindText(recording.LastFrame(), "Eva")->x, 90.0f);
  EXPECT_EQ(FindText(recording.LastFrame(), "1.")->x, 40.0f);
  // Points end at x 360.
  const DrawCommand* points = FindText(recording.LastFrame(), "77");
  EXPECT_EQ(points->x, 360.0f - static_cast<float>(StringWidth("77")));

  TScoreview::remove(scoreRows, 0);
  EXPECT_EQ(row.mode, kRowWaitingOut);
  EXPECT_EQ(row.wait, 5);
  frame = 0;
  while (row.mode == kRowWaitingOut) RowsFrame(), ++frame;
  EXPECT_EQ(frame, 5);
  EXPECT_EQ(row.minus, 1) << "leaves to the left";
  frame = 0;
  while (!scoreRows.empty()) RowsFrame(), ++frame;
  EXPECT_EQ(frame, 26);
  // Drawn in its last frame too, far to the left.
  EXPECT_FLOAT_EQ(FindText(recording.LastFrame(), "Eva")->x, 90 - 0.2f * 52 * 52);
}

TEST_F(TableTest, WaitIsCountedOnAByte) {
  TScoreview::create(scoreRows, 0, "x", 0, 0, 0, 145, 0);
  int frames = 0;
  while (Row(0).mode == kRowWaitingIn) RowsFrame(), ++frames;
  EXPECT_EQ(frames, 256);
}

TEST_F(TableTest, DrawingARowLeavesItWhereItIs) {
  TScoreview& row = *TScoreview::create(scoreRows, 3, "Ida", 30, 1, 0, 185, 1);
  row.step();  // waited its one frame: sliding in from here
  row.step();
  const TScoreview before = row;
  for (int i = 0; i < 3; ++i) {
    Cls();
    row.draw(ui);
    Flip(-1);
  }
  EXPECT_EQ(row.mode, kRowSlidingIn);
  EXPECT_EQ(row.ab_x, before.ab_x);
  EXPECT_EQ(recording.frames[0], recording.frames[2]);
  // Offset to the left while sliding in from the left.
  EXPECT_FLOAT_EQ(FindText(recording.frames[0], "Ida")->x, 90 - 0.2f * 49 * 49);
}

TEST_F(TableTest, PagingWhileRowsComeIn) {
  Fill(0, 12);
  Frame();  // entered from the menu: page 1 of the local Classic/Leicht table
  ASSERT_EQ(scoreRows.size(), 10u);
  for (int i = 0; i < 7; ++i) Frame();
  // Rows 1 is sliding in, the rest still wait.
  ASSERT_EQ(Row(0).mode, kRowSlidingIn);
  ASSERT_EQ(Row(1).mode, kRowWaitingIn);
  ClickAt(300, 363);  // forward arrow
  Frame();
  EXPECT_EQ(tableView.shownPage, 2);
  // The sliding row turned round and leaves on the other side; the waiting ones are gone.
  ASSERT_EQ(scoreRows.size(), 3u);
  EXPECT_EQ(Row(0).platz, 1);
  EXPECT_EQ(Row(0).mode, kRowSlidingOut);
  EXPECT_EQ(Row(0).minus, 1);
  EXPECT_EQ(Row(1).platz, 11);
  EXPECT_EQ(Row(2).platz, 12);
  EXPECT_EQ(Row(1).minus, 0);

  // Back again: the new rows come in from the left.
  for (int i = 0; i < 70; ++i) Frame();
  ASSERT_EQ(scoreRows.size(), 2u);
  ClickAt(100, 363);
  Frame();
  EXPECT_EQ(tableView.shownPage, 1);
  ASSERT_EQ(scoreRows.size(), 12u);
  EXPECT_EQ(Row(0).mode, kRowWaitingOut);
  EXPECT_EQ(Row(0).minus, 1);
  EXPECT_EQ(Row(1).wait, 9) << "10, less this frame's";
  EXPECT_EQ(Row(2).minus, 1);
  EXPECT_EQ(Row(2).platz, 1);
}

TEST_F(TableTest, PageLineAndArrowsAtTheEnds) {
  Fill(0, 25);
  Frame();
  EXPECT_NE(FindText(recording.LastFrame(), FormatText(TextId::PageOf, {"1", "3"})), nullptr);
  ClickAt(100, 363);
  Frame();
  EXPECT_EQ(tableView.shownPage, 1);
  for (int i = 0; i < 2; ++i) {
    ClickAt(300, 363);
    Frame();
  }
  EXPECT_EQ(tableView.shownPage, 3);
  size_t rows = scoreRows.size();
  ClickAt(300, 363);
  Frame();
  EXPECT_EQ(tableView.shownPage, 3);
  EXPECT_EQ(scoreRows.size(), rows) << "no rebuild";
  EXPECT_NE(FindText(recording.LastFrame(), FormatText(TextId::PageOf, {"3", "3"})), nullptr);
}

TEST_F(TableTest, TabsCycleThroughTheRankings) {
  auto tabs = [&] {
    std::vector<std::string> texts = Texts(recording.LastFrame());
    // After the panels' three labels.
    return std::vector<std::string>(texts.begin() + 3, texts.begin() + (tableView.shownMode == Level ? 5 : 6));
  };
  tableView.shownMode = Turbo;  // from an earlier visit: the menu always starts at Classic/Leicht
  tableView.ownScore = std::make_shared<TScore>();
  Frame();
  EXPECT_EQ(tabs(), (std::vector<std::string>{Text(TextId::LocalList), ModeName(Classic), DifficultyName(Leicht)}));
  EXPECT_EQ(tableView.ownScore, nullptr);

  ClickAt(319, 45);
  Frame();
  ClickAt(319, 45);
  Frame();
  EXPECT_EQ(tableView.shownDifficulty, 2);
  ClickAt(200, 45);
  Frame();
  Frame();  // a clicked tab shows its new label from the next frame on
  EXPECT_EQ(tabs(), (std::vector<std::string>{Text(TextId::LocalList), ModeName(Turbo), DifficultyName(Schwer)}));
  ClickAt(200, 45);
  Frame();
  Frame();
  EXPECT_EQ(tableView.shownMode, Level);
  EXPECT_EQ(FindText(recording.LastFrame(), DifficultyName(Schwer)), nullptr) << "no difficulty tab in Level";
  ClickAt(319, 45);  // where the difficulty tab was: nothing there
  Frame();
  EXPECT_EQ(tableView.shownDifficulty, 2);
  ClickAt(200, 45);
  Frame();
  Frame();
  EXPECT_EQ(tabs(), (std::vector<std::string>{Text(TextId::LocalList), ModeName(Classic), DifficultyName(Schwer)}));
  ClickAt(319, 45);
  Frame();
  EXPECT_EQ(tableView.shownDifficulty, 0);
}

TEST_F(TableTest, EachTabShowsItsRankingFromPageOne) {
  Fill(RankingIndex(Turbo, 0), 15);
  Fill(0, 3);
  Frame();
  ClickAt(300, 363);
  Frame();
  EXPECT_EQ(tableView.shownPage, 1) << "one page only";
  ClickAt(200, 45);
  Frame();
  EXPECT_EQ(tableView.pageCount, 2);
  ClickAt(300, 363);
  Frame();
  EXPECT_EQ(tableView.shownPage, 2);
  ClickAt(319, 45);  // Turbo/Mittel: empty
  Frame();
  EXPECT_EQ(tableView.shownPage, 1);
  EXPECT_EQ(tableView.pageCount, 1);
  ASSERT_EQ(scoreRows.back()->name, Text(TextId::NoEntries));
  EXPECT_EQ(scoreRows.back()->platz, 0);
  EXPECT_EQ(scoreRows.back()->y, 145);
}

TEST_F(TableTest, OnlineTabFetchesOnceAndOffersARefresh) {
  FakeHighscoreServer server;
  setenv("QUARZELLO_HIGHSCORE_HOST", server.Host().c_str(), 1);
  server.Script({{FakeHighscoreServer::Reply({"TABLE", "0", "ENTRY", "Web", "42"})},
                 {FakeHighscoreServer::Reply({"TABLE", "0"})}});
  Frame();
  EXPECT_EQ(FindText(recording.LastFrame(), Text(TextId::RefreshOnline)), nullptr);
  ClickAt(78, 45);
  Frame();
  EXPECT_EQ(tableView.shownLocal, ListKind::Local) << "until the fetch is over";
  Frame();
  EXPECT_NE(FindText(recording.LastFrame(), Text(TextId::Fetching)), nullptr);
  Frame();
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(tableView.shownLocal, ListKind::Online);
  ASSERT_EQ(tableView.pageEntries->size(), 1u);
  EXPECT_EQ((*tableView.pageEntries)[0]->name, "Web");
  EXPECT_NE(FindText(recording.LastFrame(), Text(TextId::OnlineList)), nullptr);
  EXPECT_NE(FindText(recording.LastFrame(), Text(TextId::RefreshOnline)), nullptr);

  // Back to local and to online again: no second fetch.
  ClickAt(78, 45);
  Frame();
  ClickAt(78, 45);
  Frame();
  EXPECT_EQ(server.Requests().size(), 1u);

  // The refresh link fetches again; the ranking is empty now.
  ClickAt(200, 383);
  Frame();
  PaintUntilConnected(DrawHighscores);
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_TRUE(tableView.pageEntries->empty());
  EXPECT_EQ(scoreRows.back()->name, Text(TextId::NoEntries));
  unsetenv("QUARZELLO_HIGHSCORE_HOST");
}

TEST_F(TableTest, FailedFetchTriesAgainOnTheNextSwitch) {
  setenv("QUARZELLO_HIGHSCORE_HOST", ("127.0.0.1:" + std::to_string(FakeHighscoreServer::UnusedPort())).c_str(), 1);
  Frame();
  ClickAt(78, 45);
  Frame();
  PaintUntilConnected(DrawHighscores);
  EXPECT_EQ(tableView.shownLocal, ListKind::Online);
  EXPECT_EQ(highscores.online, 0);
  EXPECT_TRUE(recording.messages.empty());
  ClickAt(78, 45);
  Frame();
  EXPECT_EQ(tableView.shownLocal, ListKind::Local);
  ClickAt(78, 45);
  Frame();
  Frame();
  EXPECT_NE(FindText(recording.LastFrame(), Text(TextId::Fetching)), nullptr) << "the fetch was tried again";
  EXPECT_FALSE(ConnectionUnderway(app));
  EXPECT_EQ(tableView.shownLocal, ListKind::Online);

  // A fetch given up is the same as one that found no server.
  ClickAt(78, 45);
  Frame();
  EXPECT_EQ(tableView.shownLocal, ListKind::Local);
  ClickAt(78, 45);
  Frame();
  ASSERT_TRUE(ConnectionUnderway(app));
  app.requests.Cancel();
  EXPECT_EQ(tableView.shownLocal, ListKind::Online);
  EXPECT_EQ(highscores.online, 0);
  EXPECT_TRUE(recording.messages.empty());
  EXPECT_EQ(scoreRows.back()->name, Text(TextId::NoEntries));
  unsetenv("QUARZELLO_HIGHSCORE_HOST");
}

TEST_F(TableTest, VerifiedOnlineEntriesGetAWatchButtonOnceTheServiceHasNamedThem) {
  FakeHighscoreServer server;
  setenv("QUARZELLO_HIGHSCORE_HOST", server.Host().c_str(), 1);
  const std::string page =
      R"({"mode":6,"page":1,"pages":1,"total":3,"entries":[{"place":1,"name":"Anna","points":900,"verified":false},)"
      R"({"place":2,"name":"Bert","points":800,"verified":true,"recording":"/quarzello/replays/31"},)"
      R"({"place":3,"name":"Cora","points":700,"verified":true,"recording":"/quarzello/replays/32"}]})";
  server.Script({{FakeHighscoreServer::Reply({"TABLE", "6", "ENTRY", "Anna", "900", "ENTRY", "Bert", "800", "ENTRY",
                                              "Cora", "700"})},
                 {"HTTP/1.0 200 OK\r\nContent-Type: application/json\r\n\r\n" + page},
                 {"HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<p>Nichts</p>"}});
  ASSERT_EQ(FetchOnlineTables(), OnlineResult::Done);
  ui.screen = Highscores;
  ShowRankingPage(app, Level, 0, ListKind::Online, 1);
  for (int i = 0; i < 80; ++i) Frame();
  auto buttons = [this] {
    int shown = 0;
    for (const DrawCommand& command : recording.LastFrame())
      shown += command.kind == DrawCommand::kText && command.text == Text(TextId::WatchEntry);
    return shown;
  };
  EXPECT_EQ(buttons(), 0) << "not before the service has said which entries it verified";

  RunLookups();
  EXPECT_EQ(server.Requests().at(1).substr(0, 46), "GET /quarzello/api/rankings?mode=6&page=1 HTTP");
  Frame();
  EXPECT_EQ(buttons(), 2);
  EXPECT_FALSE(Row(0).watchable);
  EXPECT_EQ(Row(1).recordingId, 31);
  EXPECT_EQ(Row(2).recordingId, 32);

  // Shown again, the page is not asked for again.
  ShowRankingPage(app, Level, 0, ListKind::Online, 1);
  RunLookups();
  for (int i = 0; i < 120; ++i) Frame();
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(buttons(), 2);

  // Bert's game is no longer at the service: a message box says so, and the
  // table stays. The keyboard's highlight reaches it after the two tabs.
  for (int i = 0; i < 3; ++i) ui.keyboard.focus.Next();
  ui.keyboard.focus.Press();
  Frame();
  Frame();
  EXPECT_NE(FindText(recording.LastFrame(), Text(TextId::LoadingRecording)), nullptr);
  PaintUntilConnected(DrawHighscores);
  EXPECT_EQ(server.Requests().at(2).substr(0, 31), "GET /quarzello/replays/31 HTTP/");
  ASSERT_EQ(recording.messages.size(), 1u);
  EXPECT_EQ(recording.messages[0].text, Text(TextId::RecordingGone));
  EXPECT_EQ(ui.screen, Highscores);
  unsetenv("QUARZELLO_HIGHSCORE_HOST");
}

TEST_F(TableTest, RowsAreClippedAndTheOwnEntryGlows) {
  ui.scale = 2.0f;
  highscores.add(Classic, 0, "Null", 0);
  const NewEntry mine = highscores.add(Classic, 0, "Ich", 10);
  tableView.ownScore = mine.entry;
  ShowRankingPage(app, Classic, 0, ListKind::Local, mine.page);
  ui.screen = Highscores;
  for (int i = 0; i < 80; ++i) Frame();
  const DisplayList& frame = recording.LastFrame();
  const DrawCommand* name = FindText(frame, "Ich");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->x, 180.0f);
  EXPECT_EQ(name->y, 290.0f);
  EXPECT_EQ((std::vector<int>{name->viewX, name->viewY, name->viewWidth, name->viewHeight}),
            (std::vector<int>{50, 160, 700, 720}));
  const DrawCommand* title = FindText(frame, Text(TextId::HighscoreTitle));
  EXPECT_EQ((std::vector<int>{title->viewX, title->viewY, title->viewWidth, title->viewHeight}),
            (std::vector<int>{0, 0, 800, 1000}));
  // An entry with 0 points shows its place and name only.
  EXPECT_NE(FindText(frame, "2."), nullptr);
  EXPECT_NE(FindText(frame, "Null"), nullptr);
  EXPECT_EQ(FindText(frame, "0"), nullptr);

  int glows = 0;
  for (const DrawCommand& command : frame) {
    if (command.kind != DrawCommand::kImage || command.image != &blend) continue;
    ++glows;
    EXPECT_EQ(command.blend, kBlendLight);
    EXPECT_EQ(command.sx, 46.0f);
    EXPECT_FLOAT_EQ(command.sy, 2.3f);
    EXPECT_EQ(command.x, 400.0f);
    EXPECT_EQ(command.y, 308.0f);
    EXPECT_EQ(command.red, 64);
  }
  EXPECT_EQ(glows, 1);
  // The glow leaves the row's text in the small font's colour, alpha blended.
  EXPECT_EQ(name->blend, kBlendAlpha);
  EXPECT_EQ(name->red, 79);
}

TEST_F(TableTest, FromTheMenuTheTableShowsTheFileAsItIsNow) {
  highscores.list[0].add_sorted("Alt", 10);  // as read at start-up
  THighscore other;
  other.add(Classic, 0, "Neu", 20);
  other.add(Classic, 0, "Neuer", 30);
  ASSERT_TRUE(other.SaveHighscore("", 0));
  Frame();
  ASSERT_EQ(tableView.pageEntries->size(), 2u);
  EXPECT_EQ((*tableView.pageEntries)[0]->name, "Neuer");
  EXPECT_EQ(scoreRows.size(), 2u);

  ClickAt(200, 405);  // "Menü"
  Frame();
  other.add(Classic, 0, "Dritter", 5);
  ASSERT_TRUE(other.SaveHighscore("", 0));
  ui.screen = Highscores;
  Frame();
  ASSERT_EQ(tableView.pageEntries->size(), 3u);
  EXPECT_EQ((*tableView.pageEntries)[2]->name, "Dritter");
}

TEST_F(TableTest, MenuLeavesAndForgetsTheTable) {
  Fill(0, 5);
  Frame();
  ui.screen = Highscores;
  ClickAt(200, 405);
  Frame();
  EXPECT_EQ(ui.screen, MainMenu);
  EXPECT_FALSE(tableView.pageEntries.has_value());
  EXPECT_TRUE(scoreRows.empty());
  EXPECT_NE(FindText(recording.LastFrame(), Text(TextId::BackToMenu)), nullptr);
}

}  // namespace

}  // namespace quarzello::highscore_test
