#include <algorithm>
#include <cmath>
#include <string>

#include "front/frontend.h"
#include "front/keyboard.h"
#include "front/widgets.h"
#include "gameplay/board_view.h"
#include "gameplay/game.h"
#include "gameplay/game_screen.h"
#include "gameplay/modes.h"
#include "platform/platform.h"

namespace quarzello {

namespace {

// The three panels at the top of the background picture.
constexpr float kHudY = 33.0f;
constexpr float kScoreX = 78.0f;
constexpr float kModeNameX = 200.0f;
constexpr float kModeValueX = 319.0f;

// The Level progress bar: outline and fill, one frame each.
constexpr float kBarX = 19.0f, kBarY = 62.0f, kBarWidth = 362.0f, kBarHeight = 10.0f;

std::string ModeValue() {
  switch (game.gameMode) {
    case Classic: return game.sideSupply < 1 ? "-" : IntToText(game.sideSupply);
    case Turbo: return FormatTimeLeft(game.deadline);
    default: return IntToText(game.level) + " (" + IntToText(game.rowsToNextLevel) + ")";
  }
}

void DrawHudText(const std::string& text, float x) {
  const float scale = ui.scale;
  DrawTextCentered(text, Truncate(x * scale), Truncate(kHudY * scale), scale);
}

// How much of the wait for the next row has passed; full once the game is over.
void DrawProgressBar() {
  const float scale = ui.scale;
  float filled = 1.0f;
  if (game.gameOverState == Running) {
    const int interval = RowInterval(game.level);
    filled = static_cast<float>(interval - (game.deadline - NowMillis())) / static_cast<float>(interval);
    filled = std::clamp(filled, 0.0f, 1.0f);
  }
  const float x = kBarX * scale, y = kBarY * scale;
  DrawImageFrame(img.imgProgressBar, x, y, 1);
  SetViewport(Truncate(x), Truncate(y), Truncate(filled * kBarWidth * scale), Truncate(kBarHeight * scale));
  DrawImageFrame(img.imgProgressBar, x, y, 0);
  SetViewport(0, 0, Truncate(kDesignWidth * scale), Truncate(kDesignHeight * scale));
}

void CheckTurboClock() {
  if (game.gameMode != Turbo || game.gameOverState != Running || NowMillis() <= game.deadline) return;
  EndGame();
}

void OfferContinue() {
  TFont::set(0);
  SetColor(47, 55, 58);
  const float width = static_cast<float>(StringWidth("Weiter"));
  if (TabButton("Weiter", 200.0f, 130.0f, width, 16.0f) == WidgetResult::Clicked) {
    game.gameOverState = ClearingBoard;
    ClearBoard();
  }
  SetColor(255, 255, 255);
}

// The keyboard's cursor over the stones, as long as the game runs. Its
// picture has twice the detail of a stone's and is drawn at half size.
void DrawBoardCursor() {
  if (!keyboard.cursor.shown() || game.gameOverState != Running) return;
  const float scale = ui.scale;
  const Cell cell = keyboard.cursor.cell();
  SetColor(255, 255, 255);
  SetAlpha(1.0f);
  SetBlend(kBlendAlpha);
  SetDrawScale(0.5f * scale, 0.5f * scale);
  DrawImageFrame(img.imgCursor, CellCentreX(cell.column) * scale, CellCentreY(cell.row) * scale, 0);
  SetDrawScale(scale, scale);
}

}  // namespace

std::string FormatTimeLeft(int64_t deadline) {
  if (game.gameOverState != Running) return "0";
  int seconds = static_cast<int>((deadline - NowMillis()) / 1000);
  const int minutes = seconds / 60;
  seconds -= 60 * minutes;
  if (minutes > 0) return IntToText(minutes) + ":" + (seconds < 10 ? "0" : "") + IntToText(seconds);
  return IntToText(seconds) + "s";
}

bool MouseInsideBoard() {
  const float scale = ui.scale;
  return ui.mouseX > kBoardLeft * scale && ui.mouseX < kBoardRight * scale && ui.mouseY > kBoardTop * scale &&
         ui.mouseY < kBoardBottom * scale;
}

void CellUnderMouse(int& c, int& r) {
  const float scale = ui.scale;
  c = static_cast<int>(std::floor((static_cast<float>(ui.mouseX) / scale - kBoardLeft) / kCellSize));
  r = static_cast<int>(std::floor((static_cast<float>(ui.mouseY) / scale - kBoardTop) / kCellSize));
  // At some window sizes a mouse position just inside the right or bottom
  // border divides back to exactly 370 or 470 in single precision, which would
  // name a cell beyond the board; such a position belongs to the last cell.
  c = std::clamp(c, 0, kColumns - 1);
  r = std::clamp(r, 0, kRows - 1);
}

void HandleBoardClick() {
  if (!MouseInsideBoard()) return;
  int c = 0, r = 0;
  CellUnderMouse(c, r);
  ClickBoardCell(c, r);
}

void UpdateGameScreen() {
  const float scale = ui.scale;
  const int64_t now = NowMillis();

  // Advance the animations by one frame.
  StepBoardStones(world.board);
  StepExplosions(world.explosions);
  StepRemovedStones(world.removedStones);
  StepCounters(world.counters);

  // Draw them. The display shows the state at the start of the frame: the
  // clocks below run only after it is drawn.
  Cls();
  SetDrawScale(scale, scale);
  DrawImageFrame(img.imgGameBackground, 0.0f, 0.0f, 0);
  TFont::set(0);
  DrawHudText(IntToText(game.score), kScoreX);
  DrawHudText(ModeName(game.gameMode), kModeNameX);
  DrawHudText(ModeValue(), kModeValueX);
  SetColor(255, 255, 255);
  if (game.gameMode == Level) DrawProgressBar();
  DrawBoardStones(world.board, now, game.gameOverState != Running);
  DrawBoardCursor();
  DrawExplosions(world.explosions);
  DrawRemovedStones(world.removedStones);
  TMsg::update();
  DrawCounters(world.counters);
  DropFinishedEffects(world);

  // The clocks; a game that ends shows it from the next frame on.
  CheckTurboClock();
  FeedRowFromBelow();

  if (game.gameOverState == GameOver) OfferContinue();
  // The new-highscore screen takes over once the last stone has flown off.
  if (game.gameOverState == ClearingBoard && world.removedStones.empty()) ui.screen = NewHighscore;

  Flip(-1);
}

}  // namespace quarzello
