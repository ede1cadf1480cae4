#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "widgets/frontend.h"
#include "widgets/keyboard.h"
#include "widgets/widgets.h"
#include "screens/board_view.h"
#include "screens/dealing.h"
#include "gameplay/game.h"
#include "screens/game_screen.h"
#include "gameplay/modes.h"
#include "gameplay/texts.h"
#include "platform/platform.h"
#include "screens/app.h"
#include "screens/backdrop.h"
#include "screens/resume.h"

namespace quarzello {

namespace {

// The tops of the values in the three panels at the top of the background.
constexpr float kHudY = 33.0f;

// The Level progress bar: outline and fill, one frame each.
constexpr float kBarX = 19.0f, kBarY = 62.0f, kBarWidth = 362.0f, kBarHeight = 10.0f;

std::string ModeValue(const Game& game) {
  switch (game.gameMode) {
    case Classic: return game.sideSupply < 1 ? "-" : IntToText(game.sideSupply);
    case Turbo: return FormatTimeLeft(game);
    default: return IntToText(game.level) + " (" + IntToText(game.rowsToNextLevel) + ")";
  }
}

void DrawHudText(const FrontEnd& ui, const std::string& text, float x) {
  const float scale = ui.scale;
  DrawTextCentered(text, Truncate(x * scale), Truncate(kHudY * scale), scale);
}

// How much of the wait for the next row has passed; full once the game is over.
void DrawProgressBar(const FrontEnd& ui, const Game& game) {
  const float scale = ui.scale;
  float filled = 1.0f;
  if (game.gameOverState == Running) {
    const int interval = RowInterval(game.level);
    filled = static_cast<float>(interval - (game.deadline - game.now)) / static_cast<float>(interval);
    filled = std::clamp(filled, 0.0f, 1.0f);
  }
  const float x = kBarX * scale, y = kBarY * scale;
  DrawImageFrame(ui.img.imgProgressBar, x, y, 1);
  SetViewport(Truncate(x), Truncate(y), Truncate(filled * kBarWidth * scale), Truncate(kBarHeight * scale));
  DrawImageFrame(ui.img.imgProgressBar, x, y, 0);
  SetViewport(0, 0, Truncate(kDesignWidth * scale), Truncate(kDesignHeight * scale));
}

// "Weiter" under "GAME OVER". A game being watched shows it as it stood,
// idle, and takes no press on it.
void OfferContinue(FrontEnd& ui, Game& game, GameInput input) {
  TFont::set(0);
  SetColor(47, 55, 58);
  const std::string label = Text(TextId::Continue);
  if (input == GameInput::Watched) {
    SetDrawScale(ui.scale, ui.scale);
    DrawTextCentered(label, Truncate(200.0f * ui.scale), Truncate(130.0f * ui.scale), ui.scale);
  } else {
    const float width = static_cast<float>(StringWidth(label));
    if (TabButton(ui, label, 200.0f, 130.0f, width, 16.0f) == WidgetResult::Clicked) PressContinue(game, game.now);
  }
  SetColor(255, 255, 255);
}

// The keyboard's cursor over the stones, as long as the game runs. Its
// picture has twice the detail of a stone's and is drawn at half size.
void DrawBoardCursor(const FrontEnd& ui, const Game& game) {
  if (!ui.keyboard.cursor.shown() || game.gameOverState != Running) return;
  const float scale = ui.scale;
  const Cell cell = ui.keyboard.cursor.cell();
  SetColor(255, 255, 255);
  SetAlpha(1.0f);
  SetBlend(kBlendAlpha);
  SetDrawScale(0.5f * scale, 0.5f * scale);
  DrawImageFrame(ui.img.imgCursor, CellCentreX(cell.column) * scale, CellCentreY(cell.row) * scale, 0);
  SetDrawScale(scale, scale);
}

}  // namespace

std::string FormatTimeLeft(const Game& game) {
  if (game.gameOverState != Running) return "0";
  int seconds = static_cast<int>((game.deadline - game.now) / 1000);
  const int minutes = seconds / 60;
  seconds -= 60 * minutes;
  if (minutes > 0) return IntToText(minutes) + ":" + (seconds < 10 ? "0" : "") + IntToText(seconds);
  return FormatText(TextId::SecondsLeft, {IntToText(seconds)});
}

void KeepRecordingForTesting(const Game& game) {
  const char* dir = std::getenv("QUARZELLO_RECORD_DIR");
  if (dir == nullptr || *dir == 0) return;
  const std::string bytes = EncodeRecording(game.recording);
  if (bytes.empty()) return;
  // Named alike in every language.
  const std::string mode = TextIn(German(), ModeNameId(game.gameMode));
  const std::string name = std::string(dir) + "/" + mode + "-" + IntToText(game.difficulty) + "-" + IntToText(game.score) + "-" + IntToText(getpid()) + "-" +
                           IntToText(static_cast<int>(NowMillis() % 1000000000)) + ".qzr";
  // Written aside and renamed, so that whoever waits for the file never reads half of it.
  const std::string partial = name + ".part";
  FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) return;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) == 0 && written) {
    std::rename(partial.c_str(), name.c_str());
  } else {
    std::remove(partial.c_str());
  }
}

bool MouseInsideBoard(const FrontEnd& ui) {
  const float scale = ui.scale;
  return ui.mouseX > kBoardLeft * scale && ui.mouseX < kBoardRight * scale && ui.mouseY > kBoardTop * scale &&
         ui.mouseY < kBoardBottom * scale;
}

void CellUnderMouse(const FrontEnd& ui, int& c, int& r) {
  const float scale = ui.scale;
  c = static_cast<int>(std::floor((static_cast<float>(ui.mouseX) / scale - kBoardLeft) / kCellSize));
  r = static_cast<int>(std::floor((static_cast<float>(ui.mouseY) / scale - kBoardTop) / kCellSize));
  // At some window sizes a mouse position just inside the right or bottom
  // border divides back to exactly 370 or 470 in single precision, which would
  // name a cell beyond the board; such a position belongs to the last cell.
  c = std::clamp(c, 0, kColumns - 1);
  r = std::clamp(r, 0, kRows - 1);
}

void HandleBoardClick(FrontEnd& ui, Game& game) {
  if (!MouseInsideBoard(ui)) return;
  int c = 0, r = 0;
  CellUnderMouse(ui, c, r);
  PlayCell(ui, game, c, r);
}

void PlayCell(FrontEnd& ui, Game& game, int c, int r) {
  ClickBoardCell(game, c, r, NowMillis());
  ShowGameNews(ui, game);
}

void StartNewGame(App& app) {
  // Messages of an earlier game have nothing to say about this one.
  app.ui.messages.clear();
  // Another game replaces the one kept to go on with.
  ForgetInterruptedGame(app);
  DealTheGame(app);
  StartGame(app.game, app.generator, NowMillis());
  app.ui.screen = GameScreen;
}

void ShowGameNews(FrontEnd& ui, Game& game) {
  for (const GameNews& news : game.outbox) {
    switch (news.kind) {
      case GameNews::Bonus: TMsg::create(ui.messages, FormatText(TextId::BonusPoints, {IntToText(news.value)}), 50, 50); break;
      case GameNews::LevelRose: TMsg::create(ui.messages, FormatText(TextId::LevelNumber, {IntToText(news.value)}), 150, 0); break;
      case GameNews::Ended:
        // A level or bonus message still showing gives way.
        ui.messages.clear();
        TMsg::create(ui.messages, Text(TextId::GameOverNews), -1, 0);
        break;
    }
  }
  game.outbox.clear();
}

void PlayGameFrame(FrontEnd& ui, Game& game, int64_t now, GameInput input) {
  const float scale = ui.scale;
  BeginFrame(game, now);

  // The display shows the frame's motion; what the clocks bring at its end
  // shows from the next frame on.
  Cls();
  DrawGameBackdrop(ui);
  TFont::set(0);
  DrawHudText(ui, IntToText(game.score), kPanelScoreX);
  DrawHudText(ui, ModeName(game.gameMode), kPanelModeX);
  DrawHudText(ui, ModeValue(game), kPanelValueX);
  SetColor(255, 255, 255);
  if (game.gameMode == Level) DrawProgressBar(ui, game);
  const World& world = game.world;
  const BoardPictures pictures{scale, ui.img.imgStones, ui.img.imgCounterFont};
  DrawBoardStones(pictures, world.board, now, now - game.recording.startTime, game.gameOverState != Running);
  if (input == GameInput::Player) DrawBoardCursor(ui, game);
  DrawExplosions(pictures, world.explosions);
  DrawRemovedStones(pictures, world.removedStones);
  TMsg::update(ui.messages, scale);
  DrawCounters(pictures, world.counters);

  EndFrame(game);
  ShowGameNews(ui, game);

  if (game.gameOverState == GameOver) OfferContinue(ui, game, input);
}

void UpdateGameScreen(FrontEnd& ui, Game& game) {
  PlayGameFrame(ui, game, NowMillis(), GameInput::Player);
  // The new-highscore screen takes over once the last stone has flown off.
  if (GameFinished(game)) {
    KeepRecordingForTesting(game);
    ui.screen = NewHighscore;
  }
  Flip(-1);
}

}  // namespace quarzello
