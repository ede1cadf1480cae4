#include "screens/table.h"

#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "gameplay/game.h"
#include "gameplay/modes.h"
#include "gameplay/texts.h"
#include "highscore/kept_games.h"
#include "screens/app.h"
#include "screens/backdrop.h"
#include "screens/connecting.h"
#include "platform/platform.h"

namespace quarzello {

namespace {

float Scaled(const FrontEnd& ui, float designUnits) { return designUnits * ui.scale; }
int ScaledInt(const FrontEnd& ui, float designUnits) { return Truncate(designUnits * ui.scale); }

// The shown ranking from page 1 on, after a tab changed it.
void ShowFirstPage(App& app) {
  TableView& tableView = app.tableView;
  tableView.shownPage = 1;
  tableView.pageEntries = app.highscores.get(tableView.shownMode, tableView.shownDifficulty, tableView.shownLocal, 1);
  tableView.pageCount = app.highscores.pages(tableView.shownMode, tableView.shownDifficulty, tableView.shownLocal);
}

void ShowShownPage(App& app) {
  TableView& tableView = app.tableView;
  tableView.pageEntries =
      app.highscores.get(tableView.shownMode, tableView.shownDifficulty, tableView.shownLocal, tableView.shownPage);
}

// Entered from the main menu: always the local Classic/Leicht table, of the
// file as it is now (another game may have saved since this one started).
void SetUpFromMenu(App& app) {
  app.highscores.ReloadLocalRankings();
  TableView& tableView = app.tableView;
  tableView.shownMode = Classic;
  tableView.shownDifficulty = 0;
  tableView.shownLocal = ListKind::Local;
  tableView.ownScore = nullptr;
  ShowFirstPage(app);
}

// The three tabs: local or online, the mode, the difficulty (not in Level).
// True when one of them changed the shown ranking.
bool RankingTabs(App& app) {
  FrontEnd& ui = app.ui;
  TableView& tableView = app.tableView;
  bool changed = false;
  const char* const table = Text(tableView.shownLocal == ListKind::Local ? TextId::LocalList : TextId::OnlineList);
  if (TabButton(ui, table, 78, 33, 116, 24) == WidgetResult::Clicked) {
    if (tableView.shownLocal == ListKind::Local && app.highscores.online == 0) {
      // The first switch to the online table fetches it; the table switches
      // once the fetch is over, whatever became of it.
      FetchOnlineTables(app, [&app](OnlineResult) {
        app.tableView.shownLocal = ListKind::Online;
        ShowFirstPage(app);
        BuildTableRows(app, 0);
      });
    } else {
      tableView.shownLocal = tableView.shownLocal == ListKind::Local ? ListKind::Online : ListKind::Local;
      changed = true;
    }
  }
  if (TabButton(ui, ModeName(tableView.shownMode), 200, 33, 116, 24) == WidgetResult::Clicked) {
    tableView.shownMode = static_cast<uint8_t>((tableView.shownMode + 1) % 3);
    changed = true;
  }
  if (tableView.shownMode != Level &&
      TabButton(ui, DifficultyName(tableView.shownDifficulty), 319, 33, 116, 24) == WidgetResult::Clicked) {
    tableView.shownDifficulty = static_cast<uint8_t>((tableView.shownDifficulty + 1) % 3);
    changed = true;
  }
  if (changed) ShowFirstPage(app);
  return changed;
}

// The page line and its two arrows: -1 when the page went back, 1 when it
// went forward, 0 when it stayed.
int PageArrows(App& app) {
  FrontEnd& ui = app.ui;
  TableView& tableView = app.tableView;
  DrawTextCentered(FormatText(TextId::PageOf, {IntToText(tableView.shownPage), IntToText(tableView.pageCount)}),
                   ScaledInt(ui, 200), ScaledInt(ui, 355), ui.scale);
  int turn = 0;
  if (TabButton(ui, "< ", 100, 355, 16, 16) == WidgetResult::Clicked && tableView.shownPage > 1) turn = -1;
  if (TabButton(ui, " >", 300, 355, 16, 16) == WidgetResult::Clicked && tableView.shownPage < tableView.pageCount)
    turn = 1;
  if (turn != 0) {
    tableView.shownPage += turn;
    ShowShownPage(app);
  }
  return turn;
}

// On the online table: the link that fetches it again; the same page is
// shown anew once the fetch is over.
void RefreshLink(App& app) {
  FrontEnd& ui = app.ui;
  if (app.tableView.shownLocal != ListKind::Online) return;
  const std::string refresh = Text(TextId::RefreshOnline);
  const float width = static_cast<float>(StringWidth(refresh));
  if (TabButton(ui, refresh, 200, 375, width, 16) != WidgetResult::Clicked) return;
  FetchOnlineTables(app, [&app](OnlineResult) {
    ShowShownPage(app);
    TableView& tableView = app.tableView;
    tableView.pageCount = app.highscores.pages(tableView.shownMode, tableView.shownDifficulty, ListKind::Online);
    BuildTableRows(app, 0);
  });
}

// The entry a row of the shown page stands for.
const TScore* RowEntry(const App& app, const TScoreview& row) {
  const TableView& tableView = app.tableView;
  if (!tableView.pageEntries || row.platz <= 0) return nullptr;
  const size_t index = static_cast<size_t>(row.platz - 1 - (tableView.shownPage - 1) * kPageSize);
  return index < tableView.pageEntries->size() ? (*tableView.pageEntries)[index].get() : nullptr;
}

// An online entry's game comes from the service under the connection
// notice; the table stays when it does not come.
void WatchOnlineEntry(App& app, int32_t recordingId, const ReplayLabel& label) {
  StartOnline<DownloadedRecording>(
      app, TextId::LoadingRecording,
      [context = CurrentClientContext(app.online), recordingId] { return DownloadRecording(context, recordingId); },
      [&app, label](DownloadedRecording downloaded) {
        if (downloaded.result == OnlineResult::Done) {
          StartWatching(app, downloaded.bytes, label, Highscores, false);
          return;
        }
        const bool gone = downloaded.result == OnlineResult::ServerError;
        Notify(Text(TextId::ReplayMark), Text(gone ? TextId::RecordingGone : TextId::NoConnection), true);
      },
      [] {});
}

// Beside each resting row whose game can be watched, its button; a click
// on it (or Enter while it is highlighted) plays the game.
void WatchButtons(App& app) {
  FrontEnd& ui = app.ui;
  const TableView& tableView = app.tableView;
  const uint8_t ranking = RankingIndex(tableView.shownMode, tableView.shownDifficulty);
  for (const auto& row : app.scoreRows) {
    if (!row->watchable || row->mode != kRowResting) continue;
    if (TabButton(ui, Text(TextId::WatchEntry), 368, static_cast<float>(row->y), 14, 18) != WidgetResult::Clicked)
      continue;
    if (row->recordingId != 0) {
      WatchOnlineEntry(app, row->recordingId, {row->name, row->punkte});
      return;
    }
    const TScore* entry = RowEntry(app, *row);
    const std::optional<std::string> recording =
        entry != nullptr ? KeptEntryRecording(ranking, *entry) : std::nullopt;
    if (!recording) {
      Notify(Text(TextId::ReplayMark), Text(TextId::FaultDamaged), true);
      return;
    }
    StartWatching(app, *recording, {row->name, row->punkte}, Highscores, false);
    return;
  }
}

void MarkVerifiedRows(App& app);

// Asks the service which entries of the shown online page it verified, when
// no lookup runs; the rows get their buttons when the answer comes.
void LookUpVerifiedEntries(App& app) {
  if (app.lookups.Busy()) return;
  const TableView& tableView = app.tableView;
  const uint8_t ranking = RankingIndex(tableView.shownMode, tableView.shownDifficulty);
  const int page = tableView.shownPage;
  app.lookups.Start<VerifiedPage>(
      [context = CurrentClientContext(app.online), ranking, page] {
        return FetchVerifiedEntries(context, ranking, page);
      },
      [&app, ranking, page](VerifiedPage found) {
        app.tableView.verifiedPages[{ranking, page}] = std::move(found.entries);
        MarkVerifiedRows(app);  // or looks up the page shown by now
      },
      [] {});
}

// The rows of the shown online page that stand for verified entries can be
// watched.
void MarkVerifiedRows(App& app) {
  const TableView& tableView = app.tableView;
  if (tableView.shownLocal != ListKind::Online || !tableView.pageEntries || tableView.pageEntries->empty()) return;
  const auto known =
      tableView.verifiedPages.find({RankingIndex(tableView.shownMode, tableView.shownDifficulty), tableView.shownPage});
  if (known == tableView.verifiedPages.end()) return LookUpVerifiedEntries(app);
  std::vector<std::pair<std::string, int32_t>> shown;
  for (const ScoreRef& entry : *tableView.pageEntries) shown.emplace_back(entry->name, entry->punkte);
  const std::vector<int32_t> ids = MatchVerifiedEntries(shown, known->second);
  for (const auto& row : app.scoreRows) {
    if (row->mode == kRowWaitingOut || row->mode == kRowSlidingOut || row->platz <= 0) continue;
    const size_t index = static_cast<size_t>(row->platz - 1 - (tableView.shownPage - 1) * kPageSize);
    if (index >= ids.size()) continue;
    row->recordingId = ids[index];
    row->watchable = ids[index] != 0;
  }
}

}  // namespace

// ---------------------------------------------------------------- rows

TScoreview* TScoreview::create(ScoreRows& rows, int32_t platz, const std::string& name, int32_t punkte,
                               uint8_t minus, uint8_t highlight, int32_t y, uint8_t wait) {
  auto row = std::make_unique<TScoreview>();
  row->platz = platz;
  row->name = name;
  row->punkte = punkte;
  row->minus = minus;
  row->highlight = highlight;
  row->y = y;
  row->wait = wait;
  rows.push_back(std::move(row));
  return rows.back().get();
}

void TScoreview::update(ScoreRows& rows, const FrontEnd& ui) {
  for (const auto& row : rows) row->step();
  for (const auto& row : rows) row->draw(ui);
  rows.remove_if([](const auto& row) { return row->hasLeft(); });
}

void TScoreview::remove(ScoreRows& rows, int direction) {
  uint8_t k = 1;
  for (auto it = rows.begin(); it != rows.end();) {
    TScoreview& row = **it;
    if (row.mode == kRowWaitingIn) {
      // Not on screen yet: nothing to slide out.
      it = rows.erase(it);
      continue;
    }
    if (row.mode == kRowResting) {
      row.wait = static_cast<uint8_t>(5 * k);
      row.mode = kRowWaitingOut;
      row.minus = static_cast<uint8_t>(direction);
      ++k;
    } else if (row.mode == kRowSlidingIn) {
      // A row still sliding in turns round at once.
      row.mode = kRowSlidingOut;
      row.minus = static_cast<uint8_t>(1 - direction);
    }
    ++it;
  }
}

void TScoreview::step() {
  switch (mode) {
    case kRowWaitingIn:
      if (--wait == 0) mode = kRowSlidingIn;
      break;
    case kRowSlidingIn:
      if (ab_x > 0) ab_x -= 1.0f;
      if (ab_x < 0.25f) {
        ab_x = 0;
        mode = kRowResting;
      }
      break;
    case kRowWaitingOut:
      if (--wait == 0) {
        mode = kRowSlidingOut;
        minus = static_cast<uint8_t>(1 - minus);
      }
      break;
    case kRowSlidingOut:
      ab_x += 2.0f;
      break;
    default:
      break;
  }
}

void TScoreview::draw(const FrontEnd& ui) const {
  float offset = 0.2f * ab_x * ab_x;
  if (minus == 1) offset = -offset;

  if (highlight) {
    SetColor(64, 64, 64);
    SetBlend(kBlendLight);
    SetDrawScale(23 * ui.scale, 1.15f * ui.scale);
    if (ui.img.imgBlend) DrawImageFrame(ui.img.imgBlend, Scaled(ui, 200 + offset), Scaled(ui, static_cast<float>(y) + 9), 0);
    TFont::set(0);
    SetBlend(kBlendAlpha);
    SetDrawScale(ui.scale, ui.scale);
  }
  float top = Scaled(ui, static_cast<float>(y));
  if (platz > 0) DrawString(IntToText(platz) + ".", Scaled(ui, 40 + offset), top);
  DrawString(name, Scaled(ui, 90 + offset), top);
  if (punkte > 0) {
    std::string points = IntToText(punkte);
    DrawString(points, Scaled(ui, static_cast<float>(360 - StringWidth(points)) + offset), top);
  }
}

void BuildTableRows(App& app, int direction) {
  TScoreview::remove(app.scoreRows, direction);
  const TableView& tableView = app.tableView;
  const ScorePage none;
  const ScorePage& entries = tableView.pageEntries ? *tableView.pageEntries : none;
  if (entries.empty()) {
    TScoreview::create(app.scoreRows, 0, Text(TextId::NoEntries), 0, 0, 0, 145, 5);
    return;
  }
  // The games of a local ranking's first page are kept.
  const bool kept = tableView.shownLocal == ListKind::Local && tableView.shownPage == 1;
  const uint8_t ranking = RankingIndex(tableView.shownMode, tableView.shownDifficulty);
  int i = 1;
  for (const ScoreRef& entry : entries) {
    TScoreview* row =
        TScoreview::create(app.scoreRows, (tableView.shownPage - 1) * kPageSize + i, entry->name, entry->punkte,
                           static_cast<uint8_t>(direction), entry == tableView.ownScore ? 1 : 0, 125 + 20 * i,
                           static_cast<uint8_t>(5 * i));
    row->watchable = kept && HasKeptEntryRecording(ranking, *entry);
    ++i;
  }
  MarkVerifiedRows(app);
}

void ShowRankingPage(App& app, uint8_t mode, uint8_t difficulty, ListKind kind, int page) {
  TableView& tableView = app.tableView;
  tableView.shownMode = mode;
  tableView.shownDifficulty = difficulty;
  tableView.shownLocal = kind;
  tableView.pageCount = app.highscores.pages(mode, difficulty, kind);
  tableView.shownPage = page;
  tableView.pageEntries = app.highscores.get(mode, difficulty, kind, page);
  BuildTableRows(app, 0);
}

// ---------------------------------------------------------------- the screen

void DrawHighscores(App& app) {
  if (ConnectionUnderway(app)) return DrawConnecting(app);
  FrontEnd& ui = app.ui;
  bool rebuild = !app.tableView.pageEntries;
  if (rebuild) SetUpFromMenu(app);

  Cls();
  SetColor(255, 255, 255);
  DrawGameBackdrop(ui);
  TFont::set(0);
  rebuild = RankingTabs(app) || rebuild;
  // The rows' buttons come in reading order, before the page line, for the
  // keyboard's highlight; not in the frame that changes the rows.
  if (!rebuild) WatchButtons(app);
  const int turn = PageArrows(app);
  RefreshLink(app);
  rebuild = turn != 0 || rebuild;
  if (rebuild) BuildTableRows(app, turn < 0 ? 1 : 0);

  SetViewport(ScaledInt(ui, 25), ScaledInt(ui, 80), ScaledInt(ui, 350), ScaledInt(ui, 360));
  TScoreview::update(app.scoreRows, ui);
  SetViewport(0, 0, ScaledInt(ui, 400), ScaledInt(ui, 500));

  TFont::set(1);
  DrawTextCentered(Text(TextId::HighscoreTitle), ScaledInt(ui, 200), ScaledInt(ui, 85), ui.scale);
  if (MenuButton(ui, Text(TextId::BackToMenu), 200, 400) == WidgetResult::Clicked) {
    app.scoreRows.clear();
    app.tableView.pageEntries.reset();
    ui.screen = MainMenu;
  }
  SetColor(255, 255, 255);
  Flip(-1);
}

}  // namespace quarzello
