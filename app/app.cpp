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
#include "protocol/protocol.h"
#include "screens/dealing.h"
#include "screens/resume.h"

namespace quarzello {

namespace {

constexpr float kSmallestScale = 0.3f;

// A game not over is kept to go on with at the next start.
[[noreturn]] void LeaveProgram(App& app) {
  KeepInterruptedGame(app, NowMillis());
  ExitProgram();
}

void TogglePause(App& app) {
  FrontEnd& ui = app.ui;
  if (ui.screen == GameScreen) {
    ui.screen = Pause;
    PauseGame(app.game, NowMillis());
  } else if (ui.screen == Pause) {
    ui.screen = GameScreen;
    ResumeGame(app.game, NowMillis());
  }
}

void EditPlayerName(FrontEnd& ui, int code) {
  if (code == 8) {
    if (!ui.playerName.empty()) ui.playerName.pop_back();
  } else if (IsNameCode(code) && ui.playerName.size() < kLongestName) {
    ui.playerName.push_back(static_cast<char>(code));
  }
}

std::optional<Cell> CellUnderTheMouse(const FrontEnd& ui) {
  if (!MouseInsideBoard(ui)) return std::nullopt;
  Cell cell;
  CellUnderMouse(ui, cell.column, cell.row);
  return cell;
}

// While a game runs the keys play on the board: the arrows move the cursor,
// and Space or Enter click the cell under it.
void PlayOnBoard(App& app, const Event& event) {
  FrontEnd& ui = app.ui;
  BoardCursor& cursor = ui.keyboard.cursor;
  switch (event.value) {
    case kKeyLeft: cursor.Arrow(-1, 0, CellUnderTheMouse(ui)); break;
    case kKeyRight: cursor.Arrow(1, 0, CellUnderTheMouse(ui)); break;
    case kKeyUp: cursor.Arrow(0, -1, CellUnderTheMouse(ui)); break;
    case kKeyDown: cursor.Arrow(0, 1, CellUnderTheMouse(ui)); break;
    case kKeySpace:
    case kKeyEnter:
      // Held down, the key must not mark a group and then remove it.
      if (!event.repeat && cursor.shown()) PlayCell(ui, app.game, cursor.cell().column, cursor.cell().row);
      break;
    default: break;
  }
}

// Everywhere else they move the highlight over the buttons, and Enter
// presses the highlighted one.
void PressButtons(FrontEnd& ui, const Event& event) {
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

void HandleKeyDown(App& app, const Event& event) {
  FrontEnd& ui = app.ui;
  FollowScreen(ui.keyboard, ui.screen);
  if (ui.screen == Watching) HandleWatchKey(app, event);
  if (ui.screen == GameScreen && app.game.gameOverState == Running) {
    PlayOnBoard(app, event);
  } else {
    PressButtons(ui, event);
  }
}

void DrawScreen(App& app) {
  switch (app.ui.screen) {
    case MainMenu: DrawMainMenu(app); break;
    case GameScreen:
      UpdateGameScreen(app.ui, app.game);
      if (app.runningGameKept && app.game.gameOverState != Running) ForgetInterruptedGame(app);
      break;
    case Credits: DrawCredits(app); break;
    case ModeSelect: DrawModeSelect(app); break;
    case DifficultySelect: DrawDifficultySelect(app); break;
    case Pause: DrawPause(app); break;
    case NewHighscore: DrawNewHighscore(app); break;
    case Highscores: DrawHighscores(app); break;
    case Watching: DrawWatchScreen(app); break;
    default: break;
  }
}

}  // namespace

void HandleEvent(App& app, const Event& event, GameWindow& window) {
  FrontEnd& ui = app.ui;
  switch (event.kind) {
    case KeyDown: HandleKeyDown(app, event); break;
    case KeyUp:
      if (ui.screen == Watching) HandleWatchKey(app, event);
      if (event.value == kKeyP) TogglePause(app);
      break;
    case KeyChar:
      if (ui.screen == Watching) HandleWatchKey(app, event);
      // The name a request is under way with stays as it was sent.
      if (ui.screen == NewHighscore && !app.requests.Busy()) EditPlayerName(ui, event.value);
      break;
    case MouseDown:
      if (event.value != 1) break;
      // A press the board takes is the board's alone; handing it to the
      // widgets as well would let the click that ends a game also press
      // "Weiter" where it lies over the board.
      if (ui.screen == GameScreen && app.game.gameOverState == Running) {
        HandleBoardClick(ui, app.game);
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
    case GadgetPaint: PaintFrame(app, window); break;
    case TimerTick: window.RequestRepaint(); break;
    case WindowClose: LeaveProgram(app);
    case WindowSize: KeepAspectRatio(ui, window); break;
    case WorkDone:
      app.requests.Deliver();
      app.dealt.runner.Deliver();
      app.lookups.Deliver();
      break;
    default: break;
  }
}

void ExitIfRequested(App& app) {
  // While a request runs, Escape gives it up instead.
  if (KeyPressCount(kKeyEscape) > 0) {
    // Escape leaves a replay, not the program.
    if (app.ui.screen == Watching) {
      LeaveWatching(app);
    } else {
      if (!app.requests.Busy()) LeaveProgram(app);
      app.requests.Cancel();
    }
  }
  if (AppTerminate()) LeaveProgram(app);
}

void PaintFrame(App& app, GameWindow& window) {
  if (app.painting) return;
  app.painting = true;
  FrontEnd& ui = app.ui;
  SetViewport(0, 0, window.ClientWidth(), window.ClientHeight());
  FollowScreen(ui.keyboard, ui.screen);
  // Boards for ranked games are fetched while the player picks one.
  if (ui.screen == MainMenu || ui.screen == Credits || ui.screen == ModeSelect || ui.screen == DifficultySelect)
    KeepBoardsDealt(app, NowMillis());
  DrawScreen(app);
  ui.keyboard.focus.EndFrame();
  ui.mouseClicked = 0;
  if (ui.moveHeld) {
    ui.mouseX = ui.heldX;
    ui.mouseY = ui.heldY;
    ui.moveHeld = false;
  }
  app.painting = false;
}

Catalogues GameCatalogues() { return Catalogues("quarzello", CatalogueDirectory(QUARZELLO_LOCALEDIR)); }

std::string ChooseLanguageCode(const Catalogues& catalogues, const char* setting, const LocaleSettings& desktop) {
  if (setting != nullptr && setting[0] != '\0') {
    // The setting names a language as LANGUAGE's entries do.
    LocaleSettings chosen;
    chosen.language = setting;
    chosen.lang = "C.UTF-8";
    return catalogues.Choose(RequestedLanguages(chosen));
  }
  return catalogues.Choose(RequestedLanguages(desktop));
}

std::optional<StartOptions> ParseCommandLine(const std::vector<std::string_view>& args, std::string& complaint) {
  StartOptions options;
  if (args.empty()) return options;
  if (args.size() == 2 && args[0] == "--watch" && !args[1].empty()) {
    options.watch = args[1];
    return options;
  }
  complaint = args.size() == 1 && args[0] == "--help" ? "" : "quarzello: unknown arguments\n";
  complaint += "usage: quarzello [--watch FILE.qzr]\n";
  return std::nullopt;
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

void KeepAspectRatio(FrontEnd& ui, GameWindow& window) {
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
