#include <algorithm>

#include "tests/highscore/fixture.h"

namespace quarzello::highscore_test {

namespace {

std::vector<int32_t> Points(const TScorelist& ranking) {
  std::vector<int32_t> points;
  for (const ScoreRef& score : ranking.list) points.push_back(score->punkte);
  return points;
}

TScorelist ListOf(int entries) {
  TScorelist ranking;
  for (int i = 0; i < entries; ++i) {
    // Appended rather than "p" + to_string: g++ 12 at -O3 warns falsely about
    // the overlapping copy inside that operator+.
    std::string name = "p";
    name += std::to_string(i);
    ranking.add(std::make_shared<TScore>(TScore{name, 1000 - i}));
  }
  return ranking;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

using StoreTest = HighscoreTest;

TEST_F(StoreTest, EqualPointsKeepTheOlderEntryInFront) {
  TScorelist ranking;
  ScoreRef first500 = ranking.add_sorted("a", 500);
  ScoreRef first300 = ranking.add_sorted("b", 300);
  ScoreRef second300 = ranking.add_sorted("c", 300);
  ranking.add_sorted("d", 400);
  ScoreRef another500 = ranking.add_sorted("e", 500);
  EXPECT_EQ(Points(ranking), (std::vector<int32_t>{500, 500, 400, 300, 300}));
  EXPECT_EQ(ranking.list[0], first500);
  EXPECT_EQ(ranking.list[1], another500);
  EXPECT_EQ(ranking.list[3], first300);
  EXPECT_EQ(ranking.list[4], second300);
  ranking.add_sorted("low", -5);
  EXPECT_EQ(ranking.list.back()->punkte, -5);
}

TEST_F(StoreTest, PagesHoldTenEntries) {
  for (auto [entries, pages] : {std::pair{0, 1}, {1, 1}, {10, 1}, {11, 2}, {20, 2}, {21, 3}})
    EXPECT_EQ(ListOf(entries).pages(), pages) << entries << " entries";

  TScorelist ranking = ListOf(20);
  EXPECT_EQ(ranking.find(ranking.list[0].get()), 1);
  EXPECT_EQ(ranking.find(ranking.list[9].get()), 1);
  EXPECT_EQ(ranking.find(ranking.list[10].get()), 2);
  EXPECT_EQ(ranking.find(ranking.list[19].get()), 2);
  // Found by identity: an equal copy is not in the list, which means the last page.
  TScore copy = *ranking.list[0];
  EXPECT_EQ(ranking.find(&copy), 2);
  EXPECT_EQ(ranking.find(nullptr), 2);
  EXPECT_EQ(ListOf(11).find(nullptr), 2);
  EXPECT_EQ(ListOf(10).find(nullptr), 1);
  EXPECT_EQ(ListOf(0).find(nullptr), 1);
}

TEST_F(StoreTest, GetPageReturnsTheRankingsOwnEntries) {
  TScorelist ranking = ListOf(25);
  ScorePage first = ranking.get_page(0);
  ASSERT_EQ(first.size(), 10u);
  EXPECT_EQ(first[0], ranking.list[0]);
  EXPECT_EQ(ranking.get_page(-3), first);
  ScorePage third = ranking.get_page(3);
  ASSERT_EQ(third.size(), 5u);
  EXPECT_EQ(third[0], ranking.list[20]);
  EXPECT_TRUE(ranking.get_page(4).empty());
  EXPECT_TRUE(ListOf(0).get_page(1).empty());
}

TEST_F(StoreTest, RankingsByModeAndDifficulty) {
  EXPECT_EQ(RankingIndex(Classic, 0), 0);
  EXPECT_EQ(RankingIndex(Classic, 2), 2);
  EXPECT_EQ(RankingIndex(Turbo, 0), 3);
  EXPECT_EQ(RankingIndex(Turbo, 2), 5);
  EXPECT_EQ(RankingIndex(Level, 0), 6);
  EXPECT_EQ(RankingIndex(Level, 2), 6);
  EXPECT_EQ(RankingIndex(Classic, 0, ListKind::Online), 7);
  EXPECT_EQ(RankingIndex(Level, 1, ListKind::Online), 13);

  highscores.add(Level, 2, "Schwer", 10);
  highscores.add(Level, 0, "Leicht", 20);
  EXPECT_EQ(highscores.list[6].list.size(), 2u);
  EXPECT_EQ(highscores.get(Level, 1, ListKind::Local, 1).size(), 2u);
  highscores.list[13].add(std::make_shared<TScore>(TScore{"web", 5}));
  EXPECT_EQ(highscores.get(Level, 0, ListKind::Online, 1)[0]->name, "web");
  EXPECT_EQ(highscores.pages(Turbo, 1, ListKind::Online), 1);
}

TEST_F(StoreTest, AddingAResultSaysWhereItWent) {
  for (int i = 0; i < 12; ++i) highscores.add(Turbo, 1, "old", 1000 - i);
  const NewEntry added = highscores.add(Turbo, 1, "new", 989);  // ties with the 12th: goes behind it, place 13
  EXPECT_EQ(added.list, RankingIndex(Turbo, 1));
  EXPECT_EQ(added.page, 2);
  EXPECT_EQ(added.entry->name, "new");
  EXPECT_EQ(highscores.list[added.list].list[12], added.entry);
}

TEST_F(StoreTest, OnlineListsAreReplacedAllAtOnce) {
  highscores.list[RankingIndex(Classic, 0, ListKind::Online)].add(std::make_shared<TScore>(TScore{"stale", 1}));
  OnlineLists fetched;
  fetched[RankingIndex(Turbo, 2)].add(std::make_shared<TScore>(TScore{"fresh", 2}));
  highscores.SetOnlineLists(fetched);
  EXPECT_EQ(highscores.online, 1);
  EXPECT_TRUE(highscores.ranking(Classic, 0, ListKind::Online).list.empty());
  ASSERT_EQ(highscores.ranking(Turbo, 2, ListKind::Online).list.size(), 1u);
  EXPECT_EQ(highscores.ranking(Turbo, 2, ListKind::Online).list[0]->name, "fresh");
  EXPECT_TRUE(highscores.ranking(Turbo, 2, ListKind::Local).list.empty());
}

// ---------------------------------------------------------------- the file

// The player's name and online choice travel with the file.
class HighscoreFileTest : public HighscoreTest {
 protected:
  std::vector<std::string> DirectoryEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string playerName;
  uint8_t saveOnline = 0;
};

TEST_F(HighscoreFileTest, EmptyStoreIsNineteenBytes) {
  playerName = "Al";
  saveOnline = 1;
  ASSERT_TRUE(highscores.SaveHighscore(playerName, saveOnline));
  EXPECT_EQ(ReadFile("highscore.tvs"),
            Bytes({0x03, 0x02, 0x41, 0x6C, 0x01, 0x01, 0x00, 0x01, 0x01, 0x01, 0x02, 0x01, 0x03, 0x01, 0x04, 0x01,
                   0x05, 0x01, 0x06}));
  // Only the file and the (empty) lock file are left behind: no temporary file.
  EXPECT_EQ(DirectoryEntries(), (std::vector<std::string>{"highscore.tvs", "highscore.tvs.lock"}));
  EXPECT_EQ(ReadFile(kHighscoreLockFile), "");
}

TEST_F(HighscoreFileTest, EntriesAreWrittenAsTaggedRecords) {
  highscores.add(Classic, 1, "Bo", 0x01020304);
  highscores.add(Classic, 1, "Ann", -2);
  saveOnline = 0;
  ASSERT_TRUE(highscores.SaveHighscore(playerName, saveOnline));
  EXPECT_EQ(ReadFile("highscore.tvs"),
            Bytes({3, 0, 0, 1, 0, 1, 1, 2, 2, 'B', 'o', 4, 3, 2, 1, 2, 3, 'A', 'n', 'n', 0xFE, 0xFF, 0xFF, 0xFF,
                   1, 2, 1, 3, 1, 4, 1, 5, 1, 6}));
}

TEST_F(HighscoreFileTest, SavedStoreLoadsTheSame) {
  highscores.add(Classic, 0, "Anna", 500);
  highscores.add(Classic, 0, "Bert", 700);
  highscores.add(Turbo, 2, std::string("J\xF6rg", 4), 123456);
  highscores.add(Level, 0, "Zed", 0);
  highscores.list[RankingIndex(Classic, 0, ListKind::Online)].add(std::make_shared<TScore>(TScore{"online", 9}));
  playerName = "Mister X";
  saveOnline = 1;
  ASSERT_TRUE(highscores.SaveHighscore(playerName, saveOnline));
  THighscore saved = highscores;

  highscores = THighscore{};
  playerName.clear();
  saveOnline = 0;
  highscores.LoadHighscore(playerName, saveOnline);
  EXPECT_EQ(playerName, "Mister X");
  EXPECT_EQ(saveOnline, 1);
  for (int index = 0; index < kRankings; ++index) {
    ASSERT_EQ(highscores.list[index].list.size(), saved.list[index].list.size()) << "list " << index;
    for (size_t i = 0; i < saved.list[index].list.size(); ++i) {
      EXPECT_EQ(highscores.list[index].list[i]->name, saved.list[index].list[i]->name);
      EXPECT_EQ(highscores.list[index].list[i]->punkte, saved.list[index].list[i]->punkte);
    }
  }
  EXPECT_TRUE(highscores.list[RankingIndex(Classic, 0, ListKind::Online)].list.empty());
}

TEST_F(HighscoreFileTest, MissingFileLeavesEverythingEmpty) {
  highscores.LoadHighscore(playerName, saveOnline);
  EXPECT_EQ(playerName, "");
  EXPECT_EQ(saveOnline, 0);
  for (const TScorelist& ranking : highscores.list) EXPECT_TRUE(ranking.list.empty());
}

TEST_F(HighscoreFileTest, DamagedFilesAreReadAsFarAsTheyGo) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string name;
    uint8_t saveOnline;
    std::vector<std::vector<std::pair<std::string, int32_t>>> lists;  // lists 0, 1, ...
  };
  const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
  std::vector<Case> cases = {
      {"a 20-character name is cut to 15", Bytes({3, 20}) + twenty + Bytes({1}), "ABCDEFGHIJKLMNO", 1, {}},
      {"several player records add up, the last flag counts",
       Bytes({3, 2, 'A', 'b', 1, 3, 3, 'c', 'd', 'e', 0, 3, 12}) + "fghijklmnopq" + Bytes({0, 3, 1, 'Z', 5}),
       "Abcdefghijklmno", 1, {}},
      {"an entry before any list record ends loading", Bytes({2, 1, 'x', 1, 0, 0, 0, 1, 0, 2, 1, 'y', 2, 0, 0, 0}),
       "", 0, {}},
      {"a list index above 6 ends loading",
       Bytes({1, 1, 2, 1, 'a', 7, 0, 0, 0, 1, 7, 2, 1, 'b', 8, 0, 0, 0, 3, 1, 'N', 1}), "", 0, {{}, {{"a", 7}}}},
      {"a file cut inside an integer keeps the bytes present", Bytes({1, 0, 2, 2, 'h', 'i', 0x34, 0x12}), "", 0,
       {{{"hi", 0x1234}}}},
      {"a name cut short is completed with zero bytes", Bytes({1, 0, 2, 5, 'a', 'b'}), "", 0,
       {{{std::string("ab\0\0\0", 5), 0}}}},
      {"a player record cut before its flag", Bytes({3, 2, 'x', 'y'}), "xy", 0, {}},
      {"unknown tags are skipped byte by byte", Bytes({0, 9, 1, 0, 200, 2, 1, 'q', 3, 0, 0, 0}), "", 0,
       {{{"q", 3}}}},
      {"entries keep the file's order, sorted or not", Bytes({1, 2, 2, 1, 'l', 1, 0, 0, 0, 2, 1, 'h', 9, 0, 0, 0}),
       "", 0, {{}, {}, {{"l", 1}, {"h", 9}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    highscores = THighscore{};
    playerName.clear();
    saveOnline = 0;
    WriteFile("highscore.tvs", c.bytes);
    highscores.LoadHighscore(playerName, saveOnline);
    EXPECT_EQ(playerName, c.name);
    EXPECT_EQ(saveOnline, c.saveOnline);
    for (int index = 0; index < kRankings; ++index) {
      std::vector<std::pair<std::string, int32_t>> expected =
          index < static_cast<int>(c.lists.size()) ? c.lists[index] : std::vector<std::pair<std::string, int32_t>>{};
      std::vector<std::pair<std::string, int32_t>> loaded;
      for (const ScoreRef& score : highscores.list[index].list) loaded.emplace_back(score->name, score->punkte);
      EXPECT_EQ(loaded, expected) << "list " << index;
    }
  }
  // The store stays usable after a damaged file.
  highscores.add(Classic, 0, "next", 50);
  EXPECT_EQ(highscores.list[0].list.back()->name, "next");
}

TEST_F(HighscoreFileTest, FailedSaveKeepsTheOldFileAndTheEntries) {
  highscores.add(Classic, 0, "first", 100);
  ASSERT_TRUE(highscores.SaveHighscore(playerName, saveOnline));
  const std::string before = ReadFile("highscore.tvs");

  for (int i = 0; i < 20; ++i) highscores.add(Classic, 0, "more", 200 + i);
  {
    FileSizeLimit full(before.size() + 10);
    EXPECT_FALSE(highscores.SaveHighscore(playerName, saveOnline));
  }
  EXPECT_EQ(ReadFile("highscore.tvs"), before);
  EXPECT_EQ(highscores.list[0].list.size(), 21u);
  EXPECT_EQ(highscores.unsaved.size(), 20u) << "kept for the next save";
  EXPECT_EQ(DirectoryEntries(), (std::vector<std::string>{"highscore.tvs", "highscore.tvs.lock"}))
      << "temporary file left behind";

  // The target cannot be replaced at all, nor read: a directory stands in its
  // place. The rankings in memory are kept as they are.
  std::filesystem::remove("highscore.tvs");
  std::filesystem::create_directory("highscore.tvs");
  std::filesystem::create_directory("highscore.tvs/inside");
  EXPECT_FALSE(highscores.SaveHighscore(playerName, saveOnline));
  EXPECT_TRUE(std::filesystem::is_directory("highscore.tvs/inside"));
  EXPECT_EQ(DirectoryEntries(), (std::vector<std::string>{"highscore.tvs", "highscore.tvs.lock"}));
  EXPECT_EQ(highscores.list[0].list.size(), 21u);

  // Once it can be written again, everything is there.
  std::filesystem::remove_all("highscore.tvs");
  WriteFile("highscore.tvs", before);
  EXPECT_TRUE(highscores.SaveHighscore(playerName, saveOnline));
  EXPECT_TRUE(highscores.unsaved.empty());
  highscores = THighscore{};
  highscores.LoadHighscore(playerName, saveOnline);
  EXPECT_EQ(highscores.list[0].list.size(), 21u);
}

}  // namespace

}  // namespace quarzello::highscore_test
