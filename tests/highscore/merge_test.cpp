// Several games on one highscore.tvs: every save enters its entries into the
// file as it is at that moment, under a lock that no game waits on for long.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <thread>

#include "tests/highscore/fixture.h"

namespace quarzello::highscore_test {

namespace {

using Entries = std::vector<std::pair<std::string, int32_t>>;

Entries EntriesOf(const TScorelist& ranking) {
  Entries entries;
  for (const ScoreRef& score : ranking.list) entries.emplace_back(score->name, score->punkte);
  return entries;
}

// The local lists of a file that must be whole: the player record, then the
// seven list records in order, each entry complete, nothing after. Empty when
// the bytes are not such a file.
std::optional<std::array<Entries, kRankings>> DecodeWhole(const std::string& bytes) {
  size_t at = 0;
  auto byte = [&]() -> std::optional<int> {
    if (at >= bytes.size()) return std::nullopt;
    return static_cast<uint8_t>(bytes[at++]);
  };
  auto text = [&]() -> std::optional<std::string> {
    std::optional<int> length = byte();
    if (!length || at + static_cast<size_t>(*length) > bytes.size()) return std::nullopt;
    at += static_cast<size_t>(*length);
    return bytes.substr(at - static_cast<size_t>(*length), static_cast<size_t>(*length));
  };
  if (byte() != 3 || !text() || !byte()) return std::nullopt;
  std::array<Entries, kRankings> lists;
  for (int index = 0; index < kRankings; ++index) {
    if (byte() != 1 || byte() != index) return std::nullopt;
    while (at < bytes.size() && bytes[at] == 2) {
      ++at;
      std::optional<std::string> name = text();
      if (!name || at + 4 > bytes.size()) return std::nullopt;
      uint32_t bits = 0;
      for (int shift = 0; shift < 32; shift += 8) bits |= static_cast<uint32_t>(*byte()) << shift;
      lists[index].emplace_back(*name, static_cast<int32_t>(bits));
    }
  }
  if (at != bytes.size()) return std::nullopt;
  return lists;
}

std::string NumberedName(const char* prefix, int i) {
  std::string name = prefix;
  name += std::to_string(i);
  return name;
}

class MergeTest : public HighscoreTest {
 protected:
  std::array<Entries, kRankings> FileLists() {
    std::optional<std::array<Entries, kRankings>> lists = DecodeWhole(ReadFile(kHighscoreFile));
    EXPECT_TRUE(lists.has_value()) << "highscore.tvs is not whole";
    return lists.value_or(std::array<Entries, kRankings>{});
  }
  void TearDown() override {
    for (pid_t child : children) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
    HighscoreTest::TearDown();
  }
  // Runs body in a child process; its return value becomes the exit status.
  template <typename Body>
  pid_t Fork(Body body) {
    pid_t child = fork();
    if (child == 0) _exit(body());
    children.push_back(child);
    return child;
  }
  int Reap(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    std::erase(children, child);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::vector<pid_t> children;
};

TEST_F(MergeTest, TwoGamesOnOneFileKeepBothEntries) {
  THighscore start;
  start.add(Level, 0, "Alt", 3000);
  start.add(Level, 0, "Tief", 100);
  ASSERT_TRUE(start.SaveHighscore("", 0));

  THighscore first, second;
  std::string ignoredName;
  uint8_t ignoredChoice = 0;
  first.LoadHighscore(ignoredName, ignoredChoice);
  second.LoadHighscore(ignoredName, ignoredChoice);
  first.add(Level, 1, "Anna", 2049);
  EXPECT_TRUE(first.SaveHighscore("Anna", 1).locked);
  // As many points as Anna: her entry, saved first, keeps the better place.
  const NewEntry bernd = second.add(Level, 2, "Bernd", 2049);
  const SaveOutcome saved = second.SaveHighscore("Bernd", 0);
  EXPECT_TRUE(saved.written);
  EXPECT_TRUE(saved.locked);

  const Entries expected = {{"Alt", 3000}, {"Anna", 2049}, {"Bernd", 2049}, {"Tief", 100}};
  EXPECT_EQ(FileLists()[RankingIndex(Level, 0)], expected);
  // The saving game's player record.
  EXPECT_EQ(ReadFile(kHighscoreFile).substr(0, 8), std::string("\x03\x05" "Bernd\x00", 8));
  // The second game now holds the file's rankings, its own entry the same object.
  EXPECT_EQ(EntriesOf(second.list[bernd.list]), expected);
  EXPECT_EQ(second.list[bernd.list].list[2], bernd.entry);
  EXPECT_EQ(second.list[bernd.list].find(bernd.entry.get()), 1);
  EXPECT_TRUE(second.unsaved.empty());
  // The first game sees Bernd once it looks at the file again.
  first.ReloadLocalRankings();
  EXPECT_EQ(EntriesOf(first.list[bernd.list]), expected);
}

TEST_F(MergeTest, AnEntryKeptFromAFailedSaveGoesInWithTheNext) {
  THighscore other;
  other.add(Classic, 2, "Ole", 50);
  ASSERT_TRUE(other.SaveHighscore("", 0));
  const std::string before = ReadFile(kHighscoreFile);
  {
    FileSizeLimit full(before.size() + 5);
    highscores.add(Classic, 2, "Mia", 70);
    EXPECT_FALSE(highscores.SaveHighscore("Mia", 0));
  }
  EXPECT_EQ(ReadFile(kHighscoreFile), before);
  EXPECT_EQ(EntriesOf(highscores.list[2]), (Entries{{"Mia", 70}, {"Ole", 50}})) << "the file's, and Mia's";

  // Meanwhile the other game saves again; a table opened now shows both of
  // its entries and Mia's, which is still waiting for a save.
  other.add(Classic, 2, "Ute", 60);
  ASSERT_TRUE(other.SaveHighscore("", 0));
  highscores.ReloadLocalRankings();
  EXPECT_EQ(EntriesOf(highscores.list[2]), (Entries{{"Mia", 70}, {"Ute", 60}, {"Ole", 50}}));

  highscores.add(Classic, 2, "Mia", 10);
  ASSERT_TRUE(highscores.SaveHighscore("Mia", 0));
  EXPECT_EQ(FileLists()[2], (Entries{{"Mia", 70}, {"Ute", 60}, {"Ole", 50}, {"Mia", 10}}));
}

TEST_F(MergeTest, ASaveWaitsForAnotherGameThatHoldsTheLock) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  // Another game in the middle of its save: it holds the lock, has read the
  // file and writes its own entry a little later.
  const pid_t child = Fork([&] {
    int lock = open(kHighscoreLockFile, O_RDWR | O_CREAT, 0644);
    if (lock < 0 || flock(lock, LOCK_EX) != 0 || write(ready[1], "x", 1) != 1) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    THighscore other;
    other.list[RankingIndex(Turbo, 1)].add_sorted("Anderer", 900);
    return ReplaceFileAtomically(kHighscoreFile, EncodeHighscoreFile(other, "", 0)) ? 0 : 1;
  });
  char locked = 0;
  ASSERT_EQ(read(ready[0], &locked, 1), 1);
  highscores.add(Turbo, 1, "Ich", 800);
  const SaveOutcome saved = highscores.SaveHighscore("Ich", 0);
  EXPECT_TRUE(saved.written);
  EXPECT_TRUE(saved.locked);
  EXPECT_EQ(Reap(child), 0);
  EXPECT_EQ(FileLists()[RankingIndex(Turbo, 1)], (Entries{{"Anderer", 900}, {"Ich", 800}}));
  close(ready[0]);
  close(ready[1]);
}

TEST_F(MergeTest, AStoppedGameHoldingTheLockDoesNotBlockASave) {
  const pid_t child = Fork([] {
    int lock = open(kHighscoreLockFile, O_RDWR | O_CREAT, 0644);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) return 1;
    raise(SIGSTOP);
    return 0;
  });
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
  ASSERT_TRUE(WIFSTOPPED(status));

  highscores.add(Classic, 0, "Eilig", 42);
  const auto started = std::chrono::steady_clock::now();
  const SaveOutcome saved = highscores.SaveHighscore("Eilig", 0);
  // Not a measurement: a save that waited for the stopped game would never
  // come back; this only keeps the failure short.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  EXPECT_TRUE(saved.written) << "saved without the lock";
  EXPECT_FALSE(saved.locked);
  EXPECT_EQ(FileLists()[0], (Entries{{"Eilig", 42}}));

  // Once that game has let go, the lock is there again.
  kill(child, SIGCONT);
  EXPECT_EQ(Reap(child), 0);
  highscores.add(Classic, 0, "Ruhig", 41);
  EXPECT_TRUE(highscores.SaveHighscore("Ruhig", 0).locked);
}

TEST_F(MergeTest, AWriterInAnotherProcessLosesNothingAndTheFileIsAlwaysWhole) {
  constexpr int kWriterSaves = 300;
  constexpr int kOwnSaves = 40;
  // Another game saving over and over into the same ranking, a few
  // milliseconds apart.
  const pid_t writer = Fork([] {
    THighscore other;
    for (int i = 0; i < kWriterSaves; ++i) {
      other.add(Classic, 0, NumberedName("W", i), 5000 + i % 50);
      if (!other.SaveHighscore("W", 0)) return 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    return 0;
  });

  // Meanwhile this game reads the file again and again and saves now and then.
  int ownSaved = 0, writerSeen = 0, reads = 0;
  int status = 0;
  bool writing = true;
  while (writing || ownSaved < kOwnSaves) {
    if (writing && waitpid(writer, &status, WNOHANG) == writer) {
      writing = false;
      std::erase(children, writer);
    }
    if (reads++ % 20 == 0 && ownSaved < kOwnSaves) {
      highscores.add(Classic, 0, NumberedName("P", ownSaved), 5000 + ownSaved % 50);
      ASSERT_TRUE(highscores.SaveHighscore("P", 0).written);
      ++ownSaved;
    }
    // The first round saved before reading: there is a file from here on.
    std::optional<std::array<Entries, kRankings>> lists = DecodeWhole(ReadFile(kHighscoreFile));
    ASSERT_TRUE(lists.has_value()) << "read " << reads << " is not whole";
    int own = 0, written = 0;
    for (const auto& [name, points] : (*lists)[0]) (name[0] == 'P' ? own : written) += 1;
    ASSERT_EQ(own, ownSaved) << "an entry of this game was lost";
    ASSERT_GE(written, writerSeen) << "an entry of the other game was lost";
    writerSeen = written;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  const Entries final = FileLists()[0];
  ASSERT_EQ(final.size(), static_cast<size_t>(kWriterSaves + kOwnSaves));
  for (size_t i = 1; i < final.size(); ++i) EXPECT_GE(final[i - 1].second, final[i].second) << "place " << i + 1;
  std::vector<std::string> names;
  for (const auto& [name, points] : final) names.push_back(name);
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected;
  for (int i = 0; i < kWriterSaves; ++i) expected.push_back(NumberedName("W", i));
  for (int i = 0; i < kOwnSaves; ++i) expected.push_back(NumberedName("P", i));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

}  // namespace

}  // namespace quarzello::highscore_test
