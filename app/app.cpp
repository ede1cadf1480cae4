#include "app/app.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "widgets/frontend.h"
#include "widgets/keyboard.h"
#include "screens/screens.h"
#include "widgets/widgets.h"
#include "gameplay/game.h"
#include "gameplay/texts.h"
#include "highscore/online.h"
#include "protocol/protocol.h"
#include "highscore/requests.h"
#include "screens/connecting.h"
#include "screens/table.h"
#include "highscore/store.h"

namespace quarzello {

namespace {

constexpr float kSmallestScale = 0.3f;

bool painting = false;

void TogglePause() {
  if (ui.screen == GameScreen) {
    ui.screen = Pause;
    PauseGame(game, NowMillis());
  } else if (ui.screen == Pause) {
    ui.screen = GameScreen;
    ResumeGame(game, NowMillis());
  }
}

void EditPlayerName(int code) {
  if (code == 8) {
    if (!ui.playerName.empty()) ui.playerName.pop_back();
  } else if (IsNameCode(code) && ui.playerName.size() < kLongestName) {
    ui.playerName.push_back(static_cast<char>(code));
  }
}

std::optional<Cell> CellUnderTheMouse() {
  if (!MouseInsideBoard()) return std::nullopt;
  Cell cell;
  CellUnderMouse(cell.column, cell.row);
  return cell;
}

// While a game runs the keys play on the board: the arrows move the cursor,
// and Space or Enter click the cell under it.
void PlayOnBoard(const Event& event) {
  BoardCursor& cursor = ui.keyboard.cursor;
  switch (event.value) {
    case kKeyLeft: cursor.Arrow(-1, 0, CellUnderTheMouse()); break;
    case kKeyRight: cursor.Arrow(1, 0, CellUnderTheMouse()); break;
    case kKeyUp: cursor.Arrow(0, -1, CellUnderTheMouse()); break;
    case kKeyDown: cursor.Arrow(0, 1, CellUnderTheMouse()); break;
    case kKeySpace:
    case kKeyEnter:
      // Held down, the key must not mark a group and then remove it.
      if (!event.repeat && cursor.shown()) PlayCell(cursor.cell().column, cursor.cell().row);
      break;
    default: break;
  }
}

// Everywhere else they move the highlight over the buttons, and Enter
// presses the highlighted one.
void PressButtons(const Event& event) {
  ButtonFocus& focus = ui.keyboard.focus;
  switch (event.value) {
    case kKeyDown: focus.Next(); break;
    case kKeyUp: focus.Previous(); break;
    case kKeyTab: event.shift ? focus.Previous() : focus.Next(); break;
    case kKeyEnter:
      if (event.repeat) break;
      // The credits have no buttons: any click leaves them, and so does Enter.
      if (ui.screen == Credits) {
        ui.screen = MainMenu;
      } else {
        focus.Press();
      }
      break;
    default: break;
  }
}

void HandleKeyDown(const Event& event) {
  FollowScreen(ui.keyboard, ui.screen);
  if (ui.screen == GameScreen && game.gameOverState == Running) {
    PlayOnBoard(event);
  } else {
    PressButtons(event);
  }
}

void DrawScreen(uint8_t screen) {
  switch (screen) {
    case MainMenu: DrawMainMenu(); break;
    case GameScreen: UpdateGameScreen(); break;
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
    case KeyDown: HandleKeyDown(event); break;
    case KeyUp:
      if (event.value == kKeyP) TogglePause();
      break;
    case KeyChar:
      // The name a request is under way with stays as it was sent.
      if (ui.screen == NewHighscore && !onlineRequests.Busy()) EditPlayerName(event.value);
      break;
    case MouseDown:
      if (event.value != 1) break;
      // A press the board takes is the board's alone; handing it to the
      // widgets as well would let the click that ends a game also press
      // "Weiter" where it lies over the board.
      if (ui.screen == GameScreen && game.gameOverState == Running) {
        HandleBoardClick();
      } else {
        ui.mouseClicked = 1;
      }
      break;
    case MouseMove:
      // A press or a window event may report the place the mouse already had.
      if (event.x != ui.mouseX || event.y != ui.mouseY) HideKeyboardFocus(ui.keyboard);
      if (ui.mouseClicked) {
        ui.moveHeld = true;
        ui.heldX = event.x;
        ui.heldY = event.y;
        break;
      }
      ui.mouseX = event.x;
      ui.mouseY = event.y;
      break;
    case GadgetPaint: PaintFrame(window); break;
    case TimerTick: window.RequestRepaint(); break;
    case WindowClose: ExitProgram();
    case WindowSize: KeepAspectRatio(window); break;
    case WorkDone: onlineRequests.Deliver(); break;
    default: break;
  }
}

void ExitIfRequested() {
  // While a request runs, Escape gives it up instead.
  if (KeyPressCount(kKeyEscape) > 0) {
    if (!onlineRequests.Busy()) ExitProgram();
    onlineRequests.Cancel();
  }
  if (AppTerminate()) ExitProgram();
}

void PaintFrame(GameWindow& window) {
  if (painting) return;
  painting = true;
  SetViewport(0, 0, window.ClientWidth(), window.ClientHeight());
  FollowScreen(ui.keyboard, ui.screen);
  DrawScreen(ui.screen);
  ui.keyboard.focus.EndFrame();
  ui.mouseClicked = 0;
  if (ui.moveHeld) {
    ui.mouseX = ui.heldX;
    ui.mouseY = ui.heldY;
    ui.moveHeld = false;
  }
  painting = false;
}

int StartScaleFactor(const std::string& xftDpi, int workWidth, int workHeight) {
  constexpr double kHighDpi = 144.0;
  constexpr int kHighDpiFactor = 2;
  constexpr double kUsableShare = 0.9;
  const char* const begin = xftDpi.c_str();
  char* stop = nullptr;
  const double dpi = std::strtod(begin, &stop);
  const char* const end = stop;
  const bool number = end != begin && std::all_of(end, begin + xftDpi.size(),
                                                  [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
  if (!number || !std::isfinite(dpi) || dpi < kHighDpi) return 1;
  for (int factor = kHighDpiFactor; factor > 1; --factor) {
    if (kDesignWidth * factor <= kUsableShare * workWidth && kDesignHeight * factor <= kUsableShare * workHeight)
      return factor;
  }
  return 1;
}

void ResetGameWideState() {
  SelectLanguage(Language::German);
  const Images images = ui.img;
  ui = FrontEnd{};
  ui.img = images;
  generator = Random{};
  game.reset();
  game.random = &generator;
  highscores.reset();
  tableView.reset();
  onlineState.reset();
  onlineRequests = RequestRunner{};
  connectionNotice.reset();
  TScoreview::scoreRows.clear();
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
