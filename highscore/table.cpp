#include "highscore/table.h"

#include "front/frontend.h"
#include "front/screens.h"
#include "front/widgets.h"
#include "gameplay/game.h"
#include "highscore/online.h"
#include "highscore/store.h"
#include "platform/platform.h"

std::list<std::unique_ptr<TScoreview>> TScoreview::scoreRows;

namespace {

const char* const kModeNames[] = {"Classic", "Turbo", "Level"};
const char* const kDifficultyNames[] = {"Leicht", "Mittel", "Schwer"};

float Scaled(float designUnits) { return designUnits * ui.scale; }
int ScaledInt(float designUnits) { return Truncate(designUnits * ui.scale); }

// The shown ranking from page 1 on, after a tab changed it.
void ShowFirstPage() {
  tableView.shownPage = 1;
  tableView.pageEntries = highscores.get(tableView.shownMode, tableView.shownDifficulty, tableView.shownLocal, 1);
  tableView.pageCount = highscores.pages(tableView.shownMode, tableView.shownDifficulty, tableView.shownLocal);
}

void ShowShownPage() {
  tableView.pageEntries =
      highscores.get(tableView.shownMode, tableView.shownDifficulty, tableView.shownLocal, tableView.shownPage);
}

}  // namespace

const char* ModeName(uint8_t mode) { return kModeNames[mode < 3 ? mode : 2]; }
const char* DifficultyName(uint8_t difficulty) { return kDifficultyNames[difficulty < 3 ? difficulty : 2]; }

// ---------------------------------------------------------------- rows

TScoreview* TScoreview::create(int32_t platz, const std::string& name, int32_t punkte, uint8_t minus,
                               uint8_t highlight, int32_t y, uint8_t wait) {
  auto row = std::make_unique<TScoreview>();
  row->platz = platz;
  row->name = name;
  row->punkte = punkte;
  row->minus = minus;
  row->highlight = highlight;
  row->y = y;
  row->wait = wait;
  scoreRows.push_back(std::move(row));
  return scoreRows.back().get();
}

void TScoreview::update() {
  for (auto row = scoreRows.begin(); row != scoreRows.end();) {
    if ((*row)->draw())
      ++row;
    else
      row = scoreRows.erase(row);
  }
}

void TScoreview::remove(int direction) {
  uint8_t k = 1;
  for (auto it = scoreRows.begin(); it != scoreRows.end();) {
    TScoreview& row = **it;
    if (row.mode == kRowWaitingIn) {
      // Not on screen yet: nothing to slide out.
      it = scoreRows.erase(it);
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

bool TScoreview::draw() {
  bool stays = true;
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
      stays = ab_x <= 50;
      break;
    default:
      break;
  }

  float offset = 0.2f * ab_x * ab_x;
  if (minus == 1) offset = -offset;

  if (highlight) {
    SetColor(64, 64, 64);
    SetBlend(kBlendLight);
    SetDrawScale(23 * ui.scale, 1.15f * ui.scale);
    if (img.imgBlend) DrawImageFrame(img.imgBlend, Scaled(200 + offset), Scaled(static_cast<float>(y) + 9), 0);
    TFont::set(0);
    SetBlend(kBlendAlpha);
    SetDrawScale(ui.scale, ui.scale);
  }
  float top = Scaled(static_cast<float>(y));
  if (platz > 0) DrawString(IntToText(platz) + ".", Scaled(40 + offset), top);
  DrawString(name, Scaled(90 + offset), top);
  if (punkte > 0) {
    std::string points = IntToText(punkte);
    DrawString(points, Scaled(static_cast<float>(360 - StringWidth(points)) + offset), top);
  }
  return stays;
}

void BuildTableRows(int direction) {
  TScoreview::remove(direction);
  const ScorePage none;
  const ScorePage& entries = tableView.pageEntries ? *tableView.pageEntries : none;
  if (entries.empty()) {
    TScoreview::create(0, "Kein Einträge", 0, 0, 0, 145, 5);
    return;
  }
  int i = 1;
  for (const ScoreRef& entry : entries) {
    TScoreview::create((tableView.shownPage - 1) * kPageSize + i, entry->name, entry->punkte,
                       static_cast<uint8_t>(direction), entry == tableView.ownScore ? 1 : 0, 125 + 20 * i,
                       static_cast<uint8_t>(5 * i));
    ++i;
  }
}

// ---------------------------------------------------------------- the screen

void DrawHighscores() {
  bool rebuild = false;
  bool backwards = false;
  if (!tableView.pageEntries) {
    // Entered from the main menu: always the local Classic/Leicht table.
    tableView.shownMode = Classic;
    tableView.shownDifficulty = 0;
    tableView.shownLocal = 1;
    tableView.ownScore = nullptr;
    ShowFirstPage();
    rebuild = true;
  }

  Cls();
  SetColor(255, 255, 255);
  SetDrawScale(ui.scale, ui.scale);
  DrawImageFrame(img.imgGameBackground, 0, 0, 0);
  TFont::set(0);

  if (TabButton(tableView.shownLocal == 1 ? "Lokal" : "Online", 78, 33, 116, 24) == WidgetResult::Clicked) {
    tableView.shownLocal = static_cast<uint8_t>(1 - tableView.shownLocal);
    if (tableView.shownLocal == 0 && highscores.online == 0) FetchTables();
    ShowFirstPage();
    rebuild = true;
  }
  if (TabButton(ModeName(tableView.shownMode), 200, 33, 116, 24) == WidgetResult::Clicked) {
    tableView.shownMode = static_cast<uint8_t>((tableView.shownMode + 1) % 3);
    ShowFirstPage();
    rebuild = true;
  }
  if (tableView.shownMode != Level &&
      TabButton(DifficultyName(tableView.shownDifficulty), 319, 33, 116, 24) == WidgetResult::Clicked) {
    tableView.shownDifficulty = static_cast<uint8_t>((tableView.shownDifficulty + 1) % 3);
    ShowFirstPage();
    rebuild = true;
  }

  DrawTextCentered("Seite " + IntToText(tableView.shownPage) + " von " + IntToText(tableView.pageCount),
                   ScaledInt(200), ScaledInt(355), -1.0f);
  if (TabButton("< ", 100, 355, 16, 16) == WidgetResult::Clicked && tableView.shownPage > 1) {
    --tableView.shownPage;
    ShowShownPage();
    rebuild = true;
    backwards = true;
  }
  if (TabButton(" >", 300, 355, 16, 16) == WidgetResult::Clicked && tableView.shownPage < tableView.pageCount) {
    ++tableView.shownPage;
    ShowShownPage();
    rebuild = true;
  }
  if (tableView.shownLocal == 0) {
    const std::string refresh = "Online-Higscore aktualisieren";
    if (TabButton(refresh, 200, 375, static_cast<float>(StringWidth(refresh)), 16) == WidgetResult::Clicked) {
      FetchTables();
      ShowShownPage();
      tableView.pageCount = highscores.pages(tableView.shownMode, tableView.shownDifficulty, 0);
      rebuild = true;
    }
  }
  if (rebuild) BuildTableRows(backwards ? 1 : 0);

  SetViewport(ScaledInt(25), ScaledInt(80), ScaledInt(350), ScaledInt(360));
  TScoreview::update();
  SetViewport(0, 0, ScaledInt(400), ScaledInt(500));

  TFont::set(1);
  DrawTextCentered("Highscore", ScaledInt(200), ScaledInt(85), -1.0f);
  if (MenuButton("Menü", 200, 400) == WidgetResult::Clicked) {
    TScoreview::scoreRows.clear();
    tableView.pageEntries.reset();
    ui.screen = MainMenu;
  }
  SetColor(255, 255, 255);
  Flip(-1);
}
