#include "front/app.h"

#include <cmath>

#include "front/frontend.h"
#include "front/screens.h"
#include "gameplay/game.h"

namespace quarzello {

namespace {

constexpr float kSmallestScale = 0.3f;
constexpr size_t kLongestName = 15;

bool painting = false;

void TogglePause() {
  if (ui.screen == Game) {
    ui.screen = Pause;
    game.pauseStart = NowMillis();
  } else if (ui.screen == Pause) {
    ui.screen = Game;
    game.deadline += NowMillis() - game.pauseStart;
  }
}

void EditPlayerName(int code) {
  if (code == 8) {
    if (!ui.playerName.empty()) ui.playerName.pop_back();
  } else if (code >= 32 && code <= 125 && ui.playerName.size() < kLongestName) {
    ui.playerName.push_back(static_cast<char>(code));
  }
}

void DrawScreen(uint8_t screen) {
  switch (screen) {
    case MainMenu: DrawMainMenu(); break;
    case Game: UpdateGameScreen(); break;
    case Credits: DrawCredits(); break;
    case ModeSelect: DrawModeSelect(); break;
    case DifficultySelect: DrawDifficultySelect(); break;
    case Pause: DrawPause(); break;
    case NewHighscore: DrawNewHighscore(); break;
    case Highscores: DrawHighscores(); break;
    default: break;
  }
}

}  // namespace

void HandleEvent(const Event& event, GameWindow& window) {
  switch (event.kind) {
    case KeyUp:
      if (event.value == kKeyP) TogglePause();
      break;
    case KeyChar:
      if (ui.screen == NewHighscore) EditPlayerName(event.value);
      break;
    case MouseDown:
      if (event.value != 1) break;
      // A press the board takes is the board's alone; handing it to the
      // widgets as well would let the click that ends a game also press
      // "Weiter" where it lies over the board.
      if (ui.screen == Game && game.gameOverState == Running) {
        HandleBoardClick();
      } else {
        ui.mouseClicked = 1;
      }
      break;
    case MouseMove:
      ui.mouseX = event.x;
      ui.mouseY = event.y;
      break;
    case GadgetPaint: PaintFrame(window); break;
    case TimerTick: window.RequestRepaint(); break;
    case WindowClose: ExitProgram();
    case WindowSize: KeepAspectRatio(window); break;
    default: break;
  }
}

void ExitIfRequested() {
  if (KeyPressCount(kKeyEscape) > 0 || AppTerminate()) ExitProgram();
}

void PaintFrame(GameWindow& window) {
  if (painting) return;
  painting = true;
  SetViewport(0, 0, window.ClientWidth(), window.ClientHeight());
  DrawScreen(ui.screen);
  ui.mouseClicked = 0;
  painting = false;
}

void KeepAspectRatio(GameWindow& window) {
  const float m = static_cast<float>(window.ClientWidth()) / kDesignWidth;
  const float t = static_cast<float>(window.ClientHeight()) / kDesignHeight;
  ui.scale = m <= t ? m : t;
  if (std::fabs(m - t) <= 0.01f && ui.scale >= kSmallestScale) return;
  if (ui.scale < kSmallestScale) ui.scale = kSmallestScale;
  const int x = window.IsWindowMaximized()
                    ? Truncate(static_cast<float>(window.DesktopWidth() / 2) - kDesignWidth * ui.scale / 2)
                    : window.GadgetLeft();
  window.SetGadgetRect(x, window.GadgetTop(), Truncate(kDesignWidth * ui.scale), Truncate(kDesignHeight * ui.scale));
}

}  // namespace quarzello
