#include "highscore/store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "protocol/protocol.h"

namespace quarzello {

namespace {

enum FileTag : uint8_t { kTagList = 1, kTagEntry = 2, kTagPlayer = 3 };

// (n - 1) / 10 + 1 when n is a multiple of 10, else n / 10 + 1: the page that
// holds place n, and for a list of n entries its number of pages (at least 1).
int PageOfPlace(int n) { return n % kPageSize == 0 ? (n - 1) / kPageSize + 1 : n / kPageSize + 1; }

// The file's bytes, read the way the platform's streams read: every read
// past the end gives 0, and an integer cut off by the end keeps the bytes
// present.
class FileBytes {
 public:
  explicit FileBytes(const std::string& bytes) : bytes_(bytes) {}
  bool Eof() const { return at_ >= bytes_.size(); }
  int Byte() { return Eof() ? 0 : static_cast<uint8_t>(bytes_[at_++]); }
  int32_t Int() {
    uint32_t value = 0;
    for (int shift = 0; shift < 32 && !Eof(); shift += 8) value |= static_cast<uint32_t>(Byte()) << shift;
    return static_cast<int32_t>(value);
  }
  // A text cut off by the end of the file is completed with zero bytes.
  std::string Text() {
    int length = Byte();
    std::string text;
    for (int i = 0; i < length; ++i) text += static_cast<char>(Byte());
    return text;
  }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

// The records of a highscore file: entries are appended to lists (the seven
// local ones), the name to playerName. Damaged files are read as far as they
// go: an entry before any list record or a list index above 6 ends reading,
// unknown tags are skipped byte by byte.
void ParseHighscoreFile(const std::string& bytes, TScorelist* lists, std::string& playerName,
                        uint8_t& saveOnline) {
  FileBytes file(bytes);
  TScorelist* current = nullptr;
  while (!file.Eof()) {
    int tag = file.Byte();
    if (tag == kTagList) {
      int index = file.Byte();
      if (index >= kRankings) break;
      current = &lists[index];
    } else if (tag == kTagEntry) {
      if (!current) break;
      auto score = std::make_shared<TScore>();
      score->name = file.Text();
      score->punkte = file.Int();
      current->add(score);
    } else if (tag == kTagPlayer) {
      playerName += file.Text();
      if (playerName.size() > kLongestName) playerName.resize(kLongestName);
      saveOnline = file.Byte() != 0 ? 1 : 0;
    }
  }
}

// The lock a save holds while it reads, merges and replaces highscore.tvs.
//
// It is taken on a lock file beside the rankings, not on highscore.tvs
// itself: a save replaces highscore.tvs by renaming a new file over it, so a
// lock on it would sit on an inode that the next save takes away from the
// name. A game that waited for that lock would get it on the old, replaced
// file while a third game opens and locks the new one, and both would write
// at once (unless every taker checked the inode again after locking and
// started over). There may also be no highscore.tvs yet, and locking it would
// then mean creating an empty one ahead of the save, which is not "replaced as
// a whole or not at all". The lock file is never renamed or removed, so all
// games lock the same inode for ever; it stays empty.
//
// flock is tried without blocking, again every few milliseconds, for at most
// kHighscoreLockWaitMillis: a game stopped (or hung) while it holds the lock
// makes the others wait a moment only, and then they save without it, as
// every save did before there was a lock. Closing the file releases the lock.
class SaveLock {
 public:
  SaveLock() {
    fd_ = open(kHighscoreLockFile, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // Someone else's lock file: a lock needs no write access.
    if (fd_ < 0) fd_ = open(kHighscoreLockFile, O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHighscoreLockWaitMillis);
    for (;;) {
      if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return;
      }
      // Anything but "held by another" (no locks on this file system, ...):
      // no use waiting.
      if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    close(fd_);
    fd_ = -1;
  }
  ~SaveLock() {
    if (fd_ >= 0) close(fd_);
  }
  SaveLock(const SaveLock&) = delete;
  SaveLock& operator=(const SaveLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

void AppendText(std::string& bytes, const std::string& text) {
  bytes += static_cast<char>(text.size());
  bytes += text;
}

void AppendInt(std::string& bytes, int32_t value) {
  auto bits = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((bits >> shift) & 0xFF);
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

// ---------------------------------------------------------------- one ranking

void TScorelist::add(ScoreRef score) { list.push_back(std::move(score)); }

ScoreRef TScorelist::add_sorted(const std::string& name, int32_t punkte) {
  auto score = std::make_shared<TScore>(TScore{name, punkte});
  insert_sorted(score);
  return score;
}

void TScorelist::insert_sorted(ScoreRef score) {
  // Strictly smaller: among equal points the older entry keeps the better place.
  const int32_t punkte = score->punkte;
  auto below = std::find_if(list.begin(), list.end(), [&](const ScoreRef& s) { return s->punkte < punkte; });
  if (below == list.end())
    add(std::move(score));
  else
    add_before(std::move(score), below->get());
}

void TScorelist::add_before(ScoreRef fresh, const TScore* existing) {
  auto at = std::find_if(list.begin(), list.end(), [&](const ScoreRef& s) { return s.get() == existing; });
  list.insert(at, std::move(fresh));
}

int TScorelist::find(const TScore* score) const {
  auto at = std::find_if(list.begin(), list.end(), [&](const ScoreRef& s) { return s.get() == score; });
  int count = at == list.end() ? static_cast<int>(list.size()) : static_cast<int>(at - list.begin()) + 1;
  return PageOfPlace(count);
}

ScorePage TScorelist::get_page(int page) const {
  if (page < 1) page = 1;
  ScorePage entries;
  size_t first = static_cast<size_t>(page - 1) * kPageSize;
  for (size_t i = first; i < list.size() && i < first + kPageSize; ++i) entries.push_back(list[i]);
  return entries;
}

int TScorelist::pages() const { return PageOfPlace(static_cast<int>(list.size())); }

// ---------------------------------------------------------------- the store

const TScorelist& THighscore::ranking(uint8_t mode, uint8_t difficulty, ListKind kind) const {
  return list[RankingIndex(mode, difficulty, kind)];
}

ScorePage THighscore::get(uint8_t mode, uint8_t difficulty, ListKind kind, int page) const {
  return ranking(mode, difficulty, kind).get_page(page);
}

int THighscore::pages(uint8_t mode, uint8_t difficulty, ListKind kind) const {
  return ranking(mode, difficulty, kind).pages();
}

NewEntry THighscore::add(uint8_t mode, uint8_t difficulty, const std::string& name, int32_t punkte) {
  const uint8_t index = RankingIndex(mode, difficulty);
  ScoreRef entry = list[index].add_sorted(name, punkte);
  unsaved.emplace_back(index, entry);
  return {index, entry, list[index].find(entry.get())};
}

void THighscore::SetOnlineLists(OnlineLists fetched) {
  for (int ranking = 0; ranking < kRankings; ++ranking)
    list[ranking + kRankings] = std::move(fetched[ranking]);
  online = 1;
}

// ---------------------------------------------------------------- the file

void THighscore::LoadHighscore(std::string& playerName, uint8_t& saveOnline) {
  std::string bytes;
  if (ReadWholeFile(kHighscoreFile, bytes) != FileState::kRead) return;
  ParseHighscoreFile(bytes, list.data(), playerName, saveOnline);
}

void THighscore::ReloadLocalRankings() {
  std::string bytes;
  // A file that is there but cannot be read is not taken for empty rankings.
  if (ReadWholeFile(kHighscoreFile, bytes) == FileState::kUnreadable) return;
  std::array<TScorelist, kRankings> fresh;
  std::string ignoredName;  // the player record of the game that saved last
  uint8_t ignoredChoice = 0;
  ParseHighscoreFile(bytes, fresh.data(), ignoredName, ignoredChoice);
  for (const auto& [index, entry] : unsaved) fresh[index].insert_sorted(entry);
  for (int index = 0; index < kRankings; ++index) list[index] = std::move(fresh[index]);
}

std::string EncodeHighscoreFile(const THighscore& store, const std::string& playerName,
                                uint8_t saveOnline) {
  std::string bytes;
  bytes += static_cast<char>(kTagPlayer);
  AppendText(bytes, playerName);
  bytes += static_cast<char>(saveOnline);
  for (int index = 0; index < kRankings; ++index) {
    bytes += static_cast<char>(kTagList);
    bytes += static_cast<char>(index);
    for (const ScoreRef& score : store.list[index].list) {
      bytes += static_cast<char>(kTagEntry);
      // The length is one byte; a longer name is stored cut to 255 characters.
      AppendText(bytes, score->name.substr(0, 255));
      AppendInt(bytes, score->punkte);
    }
  }
  return bytes;
}

// Two games may run at once on one highscore.tvs (the installed launcher
// starts every game in the same directory). Each read the file at its start;
// writing out its own copy would drop what the other saved since, so the
// file is read again, under the lock, and the new entries go into that.
SaveOutcome THighscore::SaveHighscore(const std::string& playerName, uint8_t saveOnline) {
  const SaveLock lock;
  ReloadLocalRankings();
  SaveOutcome outcome;
  outcome.locked = lock.held();
  outcome.written = ReplaceFileAtomically(kHighscoreFile, EncodeHighscoreFile(*this, playerName, saveOnline));
  if (outcome.written) unsaved.clear();
  return outcome;
}

FileState ReadWholeFile(const char* path, std::string& bytes) {
  bytes.clear();
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? FileState::kMissing : FileState::kUnreadable;
  struct stat info {};
  FileState state = fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode) ? FileState::kRead : FileState::kUnreadable;
  char buffer[16384];
  while (state == FileState::kRead) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) state = FileState::kUnreadable;
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return state;
}

// A crash, a full disk or a read-only directory must never cost the player
// the rankings already on disk, so the new contents go to a fresh file that
// only replaces the old one once it is completely on disk.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
  std::string temporary = path + ".XXXXXX";
  int fd = mkstemp(temporary.data());
  if (fd < 0) return false;
  bool written = fchmod(fd, 0644) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
  written = close(fd) == 0 && written;
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable; the new file is already complete either way.
  int dir = open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

}  // namespace quarzello
