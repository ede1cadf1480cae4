// The recordings kept beside highscore.tvs: the interrupted game, taken at
// most once and set aside when it cannot be gone on with, and the games of
// the first page of each local ranking, which follow the ranking.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "highscore/kept_games.h"
#include "highscore/store.h"

namespace quarzello::highscore_test {

namespace {

namespace fs = std::filesystem;

class KeptGamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "kept-games-XXXXXX").string();
    directory_ = mkdtemp(pattern.data());
    fs::current_path(directory_);
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::permissions(directory_, fs::perms::owner_all);
    fs::remove_all(directory_);
  }
  static int FilesIn(const fs::path& dir) {
    int count = 0;
    for ([[maybe_unused]] const auto& file : fs::directory_iterator(dir)) ++count;
    return count;
  }

 private:
  fs::path old_, directory_;
};

bool Always(const std::string&) { return true; }
bool Never(const std::string&) { return false; }

TEST_F(KeptGamesTest, AnInterruptedGameIsOfferedUntilItIsDiscarded) {
  EXPECT_FALSE(TakeInterruptedGame(Always));
  ASSERT_TRUE(SaveInterruptedGame("QZRC first"));
  ASSERT_TRUE(SaveInterruptedGame("QZRC second"));
  EXPECT_EQ(TakeInterruptedGame(Always), "QZRC second");
  EXPECT_EQ(TakeInterruptedGame(Always), "QZRC second") << "taking it leaves it there until the game moves on";
  DiscardInterruptedGame();
  EXPECT_FALSE(TakeInterruptedGame(Always));
  EXPECT_FALSE(SaveInterruptedGame("")) << "a game that was not recorded whole leaves nothing to go on with";
  EXPECT_FALSE(fs::exists(kInterruptedGameFile));
}

TEST_F(KeptGamesTest, AnUnusableInterruptedGameIsSetAsideAndNotOfferedAgain) {
  ASSERT_TRUE(SaveInterruptedGame("damaged"));
  EXPECT_FALSE(TakeInterruptedGame(Never));
  EXPECT_FALSE(fs::exists(kInterruptedGameFile));
  std::ifstream aside(std::string(kSetAsidePrefix) + "1", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), "damaged") << "nothing is lost";
  EXPECT_FALSE(TakeInterruptedGame(Always));

  ASSERT_TRUE(SaveInterruptedGame("foreign"));
  EXPECT_FALSE(TakeInterruptedGame(Never));
  EXPECT_TRUE(fs::exists(std::string(kSetAsidePrefix) + "2")) << "an earlier one set aside stays";

  fs::create_directory(kInterruptedGameFile);  // something that cannot be read as a file
  EXPECT_FALSE(TakeInterruptedGame(Always));
  EXPECT_TRUE(fs::is_directory(std::string(kSetAsidePrefix) + "3"));
}

TEST_F(KeptGamesTest, AnUnreadableDirectoryOffersNothingAndKeepsNothing) {
  ASSERT_TRUE(SaveInterruptedGame("QZRC"));  // there, but out of reach
  fs::permissions(".", fs::perms::none);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Root reads anything: the checks run as nobody.
    if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    const bool nothing = !SaveInterruptedGame("QZRC") && !TakeInterruptedGame(Always) &&
                         !KeepEntryRecording(0, TScore{"Anna", 100}, "QZRC") &&
                         !KeptEntryRecording(0, TScore{"Anna", 100});
    DropRecordingsLeftBehind(THighscore{});
    _exit(nothing ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  fs::permissions(".", fs::perms::owner_all);
  EXPECT_EQ(TakeInterruptedGame(Always), "QZRC") << "the saved game is still there once it can be read";
}

TEST_F(KeptGamesTest, TheFirstPageOfEachRankingKeepsItsGames) {
  THighscore store;
  // Ranking 2: eleven entries, two of them alike; ranking 5: one.
  for (int i = 0; i < 10; ++i) store.list[2].add_sorted("Name " + std::to_string(i), 1000 - i);
  const ScoreRef twin = store.list[2].add_sorted("Name 3", 997);
  const ScoreRef other = store.list[5].add_sorted("Zoë", 50);
  for (const ScoreRef& entry : store.list[2].list) {
    ASSERT_TRUE(KeepEntryRecording(2, *entry, "game of " + entry->name));
  }
  ASSERT_TRUE(KeepEntryRecording(5, *other, "game of Zoë"));
  EXPECT_EQ(KeptEntryRecording(5, *other), "game of Zoë");
  EXPECT_FALSE(KeptEntryRecording(2, *other)) << "another ranking's entry";
  EXPECT_FALSE(KeptEntryRecording(5, TScore{"Zoë", 51}));
  EXPECT_EQ(FilesIn(kKeptRecordingsDir), 12);

  // The eleventh entry is off the first page: its game goes. One of the
  // twins leaves the ranking, and the other's game is still found.
  const ScoreRef last = store.list[2].list.back();
  DropRecordingsLeftBehind(store);
  EXPECT_EQ(FilesIn(kKeptRecordingsDir), 11);
  EXPECT_FALSE(KeptEntryRecording(2, *last));
  auto& list = store.list[2].list;
  list.erase(std::find(list.begin(), list.end(), twin) - 1);
  DropRecordingsLeftBehind(store);
  EXPECT_EQ(KeptEntryRecording(2, *twin), "game of Name 3");
  EXPECT_EQ(FilesIn(kKeptRecordingsDir), 10) << "one twin's game is left: nine of ranking 2 and Zoë's";
}

}  // namespace

}  // namespace quarzello::highscore_test
