// The main menu, the credits, the choice of mode and difficulty, and the
// pause screen. None keeps state between frames: each frame draws the whole
// screen and reacts to the click of this frame through the widgets.
#include <array>
#include <string>

#include "front/widgets/frontend.h"
#include "front/screens.h"
#include "front/widgets/widgets.h"
#include "gameplay/game.h"

namespace quarzello {

namespace {

// The colour of the large font, used for the small texts of these screens too.
void SelectSmallDarkText() {
  TFont::set(0);
  SetColor(47, 55, 58);
}

void BeginMenuFrame() {
  Cls();
  SetDrawScale(ui.scale, ui.scale);
  DrawImageFrame(img.imgMenuBackground, 0, 0, 0);
}

void EndMenuFrame() {
  SetColor(255, 255, 255);
  Flip(-1);
}

// A text centred on design x, top at design y.
void DrawCentredAt(const std::string& text, float x, float y) {
  DrawTextCentered(text, Truncate(x * ui.scale), Truncate(y * ui.scale), -1.0f);
}

// Left-aligned lines at design x 30, one every 15 units from design y 300.
template <size_t N>
void DrawDescription(const std::array<const char*, N>& lines) {
  float y = 300;
  for (const char* line : lines) {
    DrawString(line, 30 * ui.scale, y * ui.scale);
    y += 15;
  }
}

using ModeText = std::array<const char*, 5>;
const ModeText kClassicText = {
    "Im Classic-Modus besteht keinerlei Zeit-",
    "beschränkung. Das Spiel ist beendet, sobald",
    "keine Spielsteine mehr entfernt werden können.",
    "Ziel ist also, mit den gegebenen Steinen eine",
    "möglichst hohe Punktzahl zu erreichen.",
};
const ModeText kTurboText = {
    "Im Turbo-Modus fallen kontinuierlich von",
    "oben neue Steine nach. Es wird gegen die Zeit",
    "gespielt und am Ende kriegt ein schnelles Auge",
    "gepaart mit einer noch schnelleren Hand die",
    "meisten Punkte.",
};
const ModeText kLevelText = {
    "Im Level-Modus steigt der Schwierigkeits-",
    "grad immer weiter an, indem Steine in immer",
    "kürzeren Intervallen unten dazugekommen. Das",
    "Spiel endet, sobald eine Spalte bis oben hin",
    "mit Spielsteinen befüllt ist.",
};

// Indexed by difficulty: Leicht, Mittel, Schwer.
using DifficultyText = std::array<const char*, 3>;
const DifficultyText kClassicDifficultyText[3] = {
    {"- Spielsteine in 3 verschiedenen Farben", "- viel Steinnachschub von der Seite",
     "- Mindestanzahl zusammenhängender Steine: 1"},
    {"- Spielsteine in 4 verschiedenen Farben", "- wenig Steinnachschub von der Seite",
     "- Mindestanzahl zusammenhängender Steine: 2"},
    {"- Spielsteine in 4 verschiedenen Farben", "- kein Steinnachschub von der Seite",
     "- Mindestanzahl zusammenhängender Steine: 3"},
};
const DifficultyText kTurboDifficultyText[3] = {
    {"- Spielsteine in 3 verschiedenen Farben", "- Mindestanzahl zusammenhängender Steine: 1", ""},
    {"- Spielsteine in 4 verschiedenen Farben", "- Mindestanzahl zusammenhängender Steine: 2", ""},
    {"- Spielsteine in 3 verschiedenen Farben", "- Mindestanzahl zusammenhängender Steine: 3",
     "- es tauchen gelegentlich Felsen auf"},
};

struct CreditLine {
  float y;
  const char* text;
};
const CreditLine kCredits[] = {
    {260, "2026"},
    {275, "Trelvani"},
    {320, "PROGRAMMING"},
    {335, "Quarzello-Team"},
    {380, "GRAPHICS"},
    {395, "Quarzello-Team"},
    {450, "https://quarzello.invalid"},
};

}  // namespace

void DrawMainMenu() {
  BeginMenuFrame();
  TFont::set(1);
  if (MenuButton("Spielen", 200, 150) == WidgetResult::Clicked) ui.screen = ModeSelect;
  if (MenuButton("Highscore", 200, 200) == WidgetResult::Clicked) ui.screen = Highscores;
  if (MenuButton("Credits", 200, 250) == WidgetResult::Clicked) ui.screen = Credits;
  if (MenuButton("Beenden", 200, 400) == WidgetResult::Clicked) ExitProgram();
  SetDrawScale(ui.scale, ui.scale);
  EndMenuFrame();
}

void DrawCredits() {
  BeginMenuFrame();
  DrawImageFrame(img.imgLogo, 200 * ui.scale, 170 * ui.scale, 0);
  SelectSmallDarkText();
  for (const CreditLine& line : kCredits) DrawCentredAt(line.text, 200, line.y);
  EndMenuFrame();
  // Any click leaves, wherever it lands.
  if (ui.mouseClicked == 1) {
    ui.screen = MainMenu;
    ui.mouseClicked = 0;
  }
}

void DrawModeSelect() {
  BeginMenuFrame();
  SelectSmallDarkText();
  DrawCentredAt("Wählen Sie einen Spielmodus:", 200, 90);

  TFont::set(1);
  const WidgetResult classic = MenuButton("Classic", 200, 150);
  const WidgetResult turbo = MenuButton("Turbo", 200, 200);
  const WidgetResult level = MenuButton("Level", 200, 250);
  if (MenuButton("Zurück", 200, 400) == WidgetResult::Clicked) ui.screen = MainMenu;

  SelectSmallDarkText();
  if (classic != WidgetResult::Idle) {
    DrawDescription(kClassicText);
    if (classic == WidgetResult::Clicked) {
      game.gameMode = Classic;
      ui.screen = DifficultySelect;
    }
  }
  if (turbo != WidgetResult::Idle) {
    DrawDescription(kTurboText);
    if (turbo == WidgetResult::Clicked) {
      game.gameMode = Turbo;
      ui.screen = DifficultySelect;
    }
  }
  if (level != WidgetResult::Idle) {
    DrawDescription(kLevelText);
    // Level mode asks for no difficulty.
    if (level == WidgetResult::Clicked) {
      game.gameMode = Level;
      StartNewGame();
    }
  }
  SetDrawScale(ui.scale, ui.scale);
  EndMenuFrame();
}

void DrawDifficultySelect() {
  BeginMenuFrame();
  SelectSmallDarkText();
  DrawCentredAt("Wählen Sie einen Schwierigkeitsgrad:", 200, 90);

  TFont::set(1);
  const WidgetResult choice[3] = {MenuButton("Leicht", 200, 150), MenuButton("Mittel", 200, 200),
                         MenuButton("Schwer", 200, 250)};
  if (MenuButton("Zurück", 200, 400) == WidgetResult::Clicked) ui.screen = ModeSelect;

  SelectSmallDarkText();
  const DifficultyText* texts = game.gameMode == Classic ? kClassicDifficultyText : kTurboDifficultyText;
  for (uint8_t difficulty = 0; difficulty < 3; ++difficulty) {
    if (choice[difficulty] == WidgetResult::Idle) continue;
    DrawDescription(texts[difficulty]);
    if (choice[difficulty] == WidgetResult::Clicked) {
      game.difficulty = difficulty;
      StartNewGame();
    }
  }
  SetDrawScale(ui.scale, ui.scale);
  EndMenuFrame();
}

void DrawPause() {
  BeginMenuFrame();
  TFont::set(1);
  DrawCentredAt("PAUSE", 200, 200);
  // The game is dropped as it stands: neither scored nor kept for later.
  if (MenuButton("Spiel abbrechen", 200, 400) == WidgetResult::Clicked) {
    AbortGame(game, NowMillis());
    KeepRecordingForTesting(game);
    ui.screen = MainMenu;
  }
  SelectSmallDarkText();
  DrawCentredAt("Drücken Sie 'P' um das Spiel fortzusetzen!", 200, 240);
  EndMenuFrame();
}

}  // namespace quarzello
