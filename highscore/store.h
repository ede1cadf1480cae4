// The rankings: seven local lists kept in highscore.tvs and seven online
// lists filled from the highscore service, and the state of the table that is
// on screen.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct TScore {
  std::string name;
  int32_t punkte = 0;
};

// Entries are shared: a page, the highlighted own entry and the rankings all
// point at the same objects, and entries are told apart by identity.
using ScoreRef = std::shared_ptr<TScore>;
using ScorePage = std::vector<ScoreRef>;

constexpr int kPageSize = 10;
constexpr int kLocalLists = 7;
constexpr int kOnlineOffset = 7;  // the online copy of local list i is list i + 7
constexpr const char* kHighscoreFile = "highscore.tvs";

// Local list index of a ranking: mode * 3 + difficulty, Level (mode 2) always 6.
uint8_t ListIndex(uint8_t mode, uint8_t difficulty);

class TScorelist {
 public:
  std::vector<ScoreRef> list;  // place 1 first

  void add(ScoreRef score);
  ScoreRef add_sorted(const std::string& name, int32_t punkte);
  void add_before(ScoreRef fresh, const TScore* existing);
  int find(const TScore* score) const;  // page of the entry; the last page when it is not here
  ScorePage get_page(int page) const;
  int pages() const;
};

class THighscore {
 public:
  std::array<TScorelist, kLocalLists * 2> list;
  uint8_t online = 0;  // 1 once the online lists were fetched

  void add(uint8_t mode, uint8_t difficulty, const std::string& name, int32_t punkte);
  ScorePage get(uint8_t mode, uint8_t difficulty, uint8_t local, int page) const;
  int pages(uint8_t mode, uint8_t difficulty, uint8_t local) const;

  void LoadHighscore();
  // Replaces highscore.tvs as a whole or not at all; false when it could not
  // be written, in which case the old file is untouched.
  bool SaveHighscore() const;

  void reset() { *this = THighscore{}; }

 private:
  const TScorelist& ranking(uint8_t mode, uint8_t difficulty, uint8_t local) const;
};
extern THighscore highscores;

// Which ranking the highscore table shows, and which entry it highlights.
struct TableView {
  uint8_t shownMode = 0;
  uint8_t shownDifficulty = 0;
  uint8_t shownLocal = 0;  // 1 local list, 0 online list
  int shownPage = 1;
  int pageCount = 1;
  std::optional<ScorePage> pageEntries;  // none: the table screen is set up afresh
  ScoreRef ownScore;

  void reset() { *this = TableView{}; }
};
extern TableView tableView;

// The bytes SaveHighscore writes.
std::string EncodeHighscoreFile(const THighscore& store, const std::string& playerName,
                                uint8_t saveOnline);
// Writes bytes to a temporary file beside path, syncs it and renames it over
// path. On failure the temporary file is removed and path is left as it was.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes);
