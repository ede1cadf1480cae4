#include "highscore/store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/platform.h"

namespace quarzello {

THighscore highscores;

namespace {

enum FileTag : uint8_t { kTagList = 1, kTagEntry = 2, kTagPlayer = 3 };
constexpr size_t kMaxPlayerName = 15;

// (n - 1) / 10 + 1 when n is a multiple of 10, else n / 10 + 1: the page that
// holds place n, and for a list of n entries its number of pages (at least 1).
int PageOfPlace(int n) { return n % kPageSize == 0 ? (n - 1) / kPageSize + 1 : n / kPageSize + 1; }

// A text cut off by the end of the file is completed with zero bytes, as
// every read past the end gives 0.
std::string ReadText(Stream* file) {
  int length = ReadByte(file);
  std::string text;
  for (int i = 0; i < length; ++i) text += static_cast<char>(ReadByte(file));
  return text;
}

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
  // Strictly smaller: among equal points the older entry keeps the better place.
  auto below = std::find_if(list.begin(), list.end(), [&](const ScoreRef& s) { return s->punkte < punkte; });
  if (below == list.end())
    add(score);
  else
    add_before(score, below->get());
  return score;
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
  return {index, entry, list[index].find(entry.get())};
}

void THighscore::SetOnlineLists(OnlineLists fetched) {
  for (int ranking = 0; ranking < kRankings; ++ranking)
    list[ranking + kRankings] = std::move(fetched[ranking]);
  online = 1;
}

// ---------------------------------------------------------------- the file

void THighscore::LoadHighscore(std::string& playerName, uint8_t& saveOnline) {
  Stream* file = OpenRead(kHighscoreFile);
  if (!file) return;
  TScorelist* current = nullptr;
  while (!Eof(file)) {
    int tag = ReadByte(file);
    if (tag == kTagList) {
      int index = ReadByte(file);
      if (index >= kRankings) break;
      current = &list[index];
    } else if (tag == kTagEntry) {
      if (!current) break;
      auto score = std::make_shared<TScore>();
      score->name = ReadText(file);
      score->punkte = ReadInt(file);
      current->add(score);
    } else if (tag == kTagPlayer) {
      playerName += ReadText(file);
      if (playerName.size() > kMaxPlayerName) playerName.resize(kMaxPlayerName);
      saveOnline = ReadByte(file) != 0 ? 1 : 0;
    }
  }
  CloseByteStream(file);
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

bool THighscore::SaveHighscore(const std::string& playerName, uint8_t saveOnline) const {
  return ReplaceFileAtomically(kHighscoreFile, EncodeHighscoreFile(*this, playerName, saveOnline));
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
