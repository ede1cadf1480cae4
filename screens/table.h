// The highscore table screen: which ranking it shows, and its rows, each of
// which slides in from one side, rests, and slides out to the other when the
// shown page changes.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "highscore/store.h"
#include "highscore/verified.h"

namespace quarzello {

struct App;
struct FrontEnd;

// Which ranking the highscore table shows, and which entry it highlights.
struct TableView {
  uint8_t shownMode = 0;
  uint8_t shownDifficulty = 0;
  ListKind shownLocal = ListKind::Online;
  int shownPage = 1;
  int pageCount = 1;
  std::optional<ScorePage> pageEntries;  // none: the table screen is set up afresh
  ScoreRef ownScore;
  // The verified entries of the online pages looked up since the online
  // tables were last fetched, by ranking and page; a lookup that failed
  // leaves an empty list, and is not tried again before the next fetch.
  std::map<std::pair<uint8_t, int>, std::vector<VerifiedEntry>> verifiedPages;
};

enum RowPhase : uint8_t {
  kRowWaitingIn = 1,
  kRowSlidingIn = 2,
  kRowResting = 3,
  kRowWaitingOut = 4,
  kRowSlidingOut = 5,
};

class TScoreview;
using ScoreRows = std::list<std::unique_ptr<TScoreview>>;

class TScoreview {
 public:
  int32_t platz = 0;  // 0: no place number
  std::string name;
  int32_t punkte = 0;  // drawn only when above 0
  uint8_t highlight = 0;
  int32_t y = 0;       // top of the row's text, design units
  float ab_x = 50.0f;  // the horizontal offset is 0.2 * ab_x^2
  uint8_t minus = 0;   // 1: offset to the left
  uint8_t mode = kRowWaitingIn;
  uint8_t wait = 0;    // frames to wait in phases 1 and 4, counted on the byte
  // The recording of the entry's game can be watched: kept beside the
  // highscore file for a local entry, verified by the service for an online
  // one (recordingId).
  bool watchable = false;
  int32_t recordingId = 0;

  static TScoreview* create(ScoreRows& rows, int32_t platz, const std::string& name, int32_t punkte,
                            uint8_t minus, uint8_t highlight, int32_t y, uint8_t wait);
  // Advances every row by one frame, draws them in list order, and drops the
  // rows that have slid out (they are still drawn in that frame).
  static void update(ScoreRows& rows, const FrontEnd& ui);
  static void remove(ScoreRows& rows, int direction);  // sends the current rows out

  void step();  // one frame of the row's phase
  void draw(const FrontEnd& ui) const;
  bool hasLeft() const { return mode == kRowSlidingOut && ab_x > 50; }
};

// Replaces the rows by rows for the shown page: direction 0 brings them in
// from the right and sends the old ones out to the left, 1 the other way.
void BuildTableRows(App& app, int direction);
// Shows the given page of a ranking, its rows coming in from the right.
void ShowRankingPage(App& app, uint8_t mode, uint8_t difficulty, ListKind kind, int page);

// The frame function of the table screen.
void DrawHighscores(App& app);

}  // namespace quarzello
