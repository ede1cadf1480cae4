// The rankings: seven local lists kept in highscore.tvs and seven online
// lists filled from the highscore service. The store knows nothing of the
// screens that show it: adding an entry says where it went, and the player's
// name and online choice travel in and out of the file as arguments.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gameplay/modes.h"

namespace quarzello {

struct TScore {
  std::string name;
  int32_t punkte = 0;
};

// Entries are shared: a page, the highlighted own entry and the rankings all
// point at the same objects, and entries are told apart by identity.
using ScoreRef = std::shared_ptr<TScore>;
using ScorePage = std::vector<ScoreRef>;

constexpr int kPageSize = 10;
constexpr const char* kHighscoreFile = "highscore.tvs";
// Beside the rankings: the file whose lock a save takes (see SaveHighscore).
// It stays empty and is never replaced or removed.
constexpr const char* kHighscoreLockFile = "highscore.tvs.lock";
// The longest a save waits for another game's lock before it saves anyway.
constexpr int kHighscoreLockWaitMillis = 1000;

class TScorelist {
 public:
  std::vector<ScoreRef> list;  // place 1 first

  void add(ScoreRef score);
  ScoreRef add_sorted(const std::string& name, int32_t punkte);
  void insert_sorted(ScoreRef score);  // behind every entry with as many points or more
  void add_before(ScoreRef fresh, const TScore* existing);
  int find(const TScore* score) const;  // page of the entry; the last page when it is not here
  ScorePage get_page(int page) const;
  int pages() const;
};

using OnlineLists = std::array<TScorelist, kRankings>;  // by ranking index

// Where a new entry went: its list (a RankingIndex), the entry, its page.
struct NewEntry {
  uint8_t list = 0;
  ScoreRef entry;
  int page = 1;
};

// How a save went: written or not, and whether it held the lock.
struct SaveOutcome {
  bool written = false;
  bool locked = false;
  explicit operator bool() const { return written; }
};

class THighscore {
 public:
  std::array<TScorelist, kRankings * 2> list;  // by RankingIndex: local lists, then their online copies
  uint8_t online = 0;  // 1 once the online lists were fetched
  // Entries added here and not yet in the file (by local list), in the order
  // they were added: the next save enters them into the file's rankings.
  std::vector<std::pair<uint8_t, ScoreRef>> unsaved;

  // Enters a result into its local ranking, in memory, and keeps it for the
  // next save.
  NewEntry add(uint8_t mode, uint8_t difficulty, const std::string& name, int32_t punkte);
  ScorePage get(uint8_t mode, uint8_t difficulty, ListKind kind, int page) const;
  int pages(uint8_t mode, uint8_t difficulty, ListKind kind) const;
  const TScorelist& ranking(uint8_t mode, uint8_t difficulty, ListKind kind) const;
  // The online lists as fetched, all seven at once.
  void SetOnlineLists(OnlineLists fetched);

  // Appends the name in the file to playerName (cut to 15 characters) and
  // sets saveOnline from it.
  void LoadHighscore(std::string& playerName, uint8_t& saveOnline);
  // Merges the unsaved entries into highscore.tvs, which another game may
  // have rewritten since it was read: under an exclusive lock (at most
  // kHighscoreLockWaitMillis waited for, then without it) the file is read as
  // it is now, the entries are entered into its rankings as add does, and the
  // result replaces the file as a whole or not at all, with playerName and
  // saveOnline as the player record. The local lists in memory become the
  // merged ones either way (their entries are those of the file, the unsaved
  // ones are the same objects as before). Not written: the old file is
  // untouched and the entries stay unsaved, for the next save.
  SaveOutcome SaveHighscore(const std::string& playerName, uint8_t saveOnline);
  // The local lists as the file holds them now, with the unsaved entries
  // entered; kept as they are when the file is there but cannot be read.
  void ReloadLocalRankings();
};

// The bytes SaveHighscore writes.
std::string EncodeHighscoreFile(const THighscore& store, const std::string& playerName,
                                uint8_t saveOnline);
enum class FileState { kRead, kMissing, kUnreadable };
// The whole file in one go. Missing only when there is no file of that name;
// a directory or a failed read is unreadable.
FileState ReadWholeFile(const char* path, std::string& bytes);
// Writes bytes to a temporary file beside path, syncs it and renames it over
// path. On failure the temporary file is removed and path is left as it was.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace quarzello
