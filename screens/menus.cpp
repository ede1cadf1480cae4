// The main menu, the credits, the choice of mode and difficulty, and the
// pause screen. None keeps state between frames: each frame draws the whole
// screen and reacts to the click of this frame through the widgets.
#include <vector>
#include <string>

#include "widgets/frontend.h"
#include "screens/screens.h"
#include "widgets/widgets.h"
#include "gameplay/game.h"
#include "gameplay/modes.h"
#include "gameplay/texts.h"
#include "screens/resume.h"

namespace quarzello {

namespace {

// The colour of the large font, used for the small texts of these screens too.
void SelectSmallDarkText() {
  TFont::set(0);
  SetColor(47, 55, 58);
}

void BeginMenuFrame(const FrontEnd& ui) {
  Cls();
  SetDrawScale(ui.scale, ui.scale);
  DrawImageFrame(ui.img.imgMenuBackground, 0, 0, 0);
}

void EndMenuFrame() {
  SetColor(255, 255, 255);
  Flip(-1);
}

// A text centred on design x, top at design y.
void DrawCentredAt(const FrontEnd& ui, const std::string& text, float x, float y) {
  DrawTextCentered(text, Truncate(x * ui.scale), Truncate(y * ui.scale), ui.scale);
}

// Left-aligned lines at design x 30, one every 15 units from design y 300.
void DrawDescription(const FrontEnd& ui, const std::vector<TextId>& lines) {
  float y = 300;
  for (const TextId line : lines) {
    DrawString(Text(line), 30 * ui.scale, y * ui.scale);
    y += 15;
  }
}

// Indexed by difficulty: Leicht, Mittel, Schwer.
using DifficultyText = std::vector<TextId>;
const DifficultyText kClassicDifficultyText[3] = {
    {TextId::ThreeColours, TextId::MuchSideSupply, TextId::SmallestGroup1},
    {TextId::FourColours, TextId::LittleSideSupply, TextId::SmallestGroup2},
    {TextId::FourColours, TextId::NoSideSupply, TextId::SmallestGroup3},
};
const DifficultyText kTurboDifficultyText[3] = {
    {TextId::ThreeColours, TextId::SmallestGroup1},
    {TextId::FourColours, TextId::SmallestGroup2},
    {TextId::FourColours, TextId::SmallestGroup3, TextId::RocksAppear},
};

struct CreditLine {
  float y;
  TextId text;
};
const CreditLine kCredits[] = {
    {260, TextId::CreditsYear},
    {275, TextId::CreditsCompany},
    {320, TextId::CreditsProgramming},
    {335, TextId::CreditsProgrammers},
    {380, TextId::CreditsGraphics},
    {395, TextId::CreditsArtists},
    {450, TextId::CreditsWebsite},
};

}  // namespace

void DrawMainMenu(App& app) {
  FrontEnd& ui = app.ui;
  BeginMenuFrame(ui);
  TFont::set(1);
  if (MenuButton(ui, Text(TextId::MenuPlay), 200, 150) == WidgetResult::Clicked) ui.screen = ModeSelect;
  if (MenuButton(ui, Text(TextId::MenuHighscore), 200, 200) == WidgetResult::Clicked) ui.screen = Highscores;
  if (MenuButton(ui, Text(TextId::MenuCredits), 200, 250) == WidgetResult::Clicked) ui.screen = Credits;
  // Only while a game the window was closed on waits to be gone on with.
  if (app.interrupted && MenuButton(ui, Text(TextId::MenuGoOn), 200, 325) == WidgetResult::Clicked)
    GoOnWithInterruptedGame(app, NowMillis());
  if (MenuButton(ui, Text(TextId::MenuQuit), 200, 400) == WidgetResult::Clicked) ExitProgram();
  SetDrawScale(ui.scale, ui.scale);
  EndMenuFrame();
}

void DrawCredits(App& app) {
  FrontEnd& ui = app.ui;
  BeginMenuFrame(ui);
  DrawImageFrame(ui.img.imgLogo, 200 * ui.scale, 170 * ui.scale, 0);
  SelectSmallDarkText();
  for (const CreditLine& line : kCredits) DrawCentredAt(ui, Text(line.text), 200, line.y);
  EndMenuFrame();
  // Any click leaves, wherever it lands.
  if (ui.mouseClicked == 1) {
    ui.screen = MainMenu;
    ui.mouseClicked = 0;
  }
}

void DrawModeSelect(App& app) {
  FrontEnd& ui = app.ui;
  BeginMenuFrame(ui);
  SelectSmallDarkText();
  DrawCentredAt(ui, Text(TextId::ChooseMode), 200, 90);

  TFont::set(1);
  const WidgetResult classic = MenuButton(ui, ModeName(Classic), 200, 150);
  const WidgetResult turbo = MenuButton(ui, ModeName(Turbo), 200, 200);
  const WidgetResult level = MenuButton(ui, ModeName(Level), 200, 250);
  if (MenuButton(ui, Text(TextId::Back), 200, 400) == WidgetResult::Clicked) ui.screen = MainMenu;

  SelectSmallDarkText();
  if (classic != WidgetResult::Idle) {
    DrawDescription(ui, {TextId::ClassicLine1, TextId::ClassicLine2, TextId::ClassicLine3, TextId::ClassicLine4,
                         TextId::ClassicLine5});
    if (classic == WidgetResult::Clicked) {
      app.game.gameMode = Classic;
      ui.screen = DifficultySelect;
    }
  }
  if (turbo != WidgetResult::Idle) {
    DrawDescription(
        ui, {TextId::TurboLine1, TextId::TurboLine2, TextId::TurboLine3, TextId::TurboLine4, TextId::TurboLine5});
    if (turbo == WidgetResult::Clicked) {
      app.game.gameMode = Turbo;
      ui.screen = DifficultySelect;
    }
  }
  if (level != WidgetResult::Idle) {
    DrawDescription(
        ui, {TextId::LevelLine1, TextId::LevelLine2, TextId::LevelLine3, TextId::LevelLine4, TextId::LevelLine5});
    // Level mode asks for no difficulty.
    if (level == WidgetResult::Clicked) {
      app.game.gameMode = Level;
      StartNewGame(app);
    }
  }
  SetDrawScale(ui.scale, ui.scale);
  EndMenuFrame();
}

void DrawDifficultySelect(App& app) {
  FrontEnd& ui = app.ui;
  BeginMenuFrame(ui);
  SelectSmallDarkText();
  DrawCentredAt(ui, Text(TextId::ChooseDifficulty), 200, 90);

  TFont::set(1);
  const WidgetResult choice[3] = {MenuButton(ui, DifficultyName(Leicht), 200, 150),
                                  MenuButton(ui, DifficultyName(Mittel), 200, 200),
                                  MenuButton(ui, DifficultyName(Schwer), 200, 250)};
  if (MenuButton(ui, Text(TextId::Back), 200, 400) == WidgetResult::Clicked) ui.screen = ModeSelect;

  SelectSmallDarkText();
  const DifficultyText* texts = app.game.gameMode == Classic ? kClassicDifficultyText : kTurboDifficultyText;
  for (uint8_t difficulty = 0; difficulty < 3; ++difficulty) {
    if (choice[difficulty] == WidgetResult::Idle) continue;
    DrawDescription(ui, texts[difficulty]);
    if (choice[difficulty] == WidgetResult::Clicked) {
      app.game.difficulty = difficulty;
      StartNewGame(app);
    }
  }
  SetDrawScale(ui.scale, ui.scale);
  EndMenuFrame();
}

void DrawPause(App& app) {
  FrontEnd& ui = app.ui;
  BeginMenuFrame(ui);
  TFont::set(1);
  DrawCentredAt(ui, Text(TextId::PauseTitle), 200, 200);
  // The game is dropped as it stands: neither scored nor kept for later.
  if (MenuButton(ui, Text(TextId::AbandonGame), 200, 400) == WidgetResult::Clicked) {
    AbortGame(app.game, NowMillis());
    ForgetInterruptedGame(app);
    KeepRecordingForTesting(app.game);
    ui.screen = MainMenu;
  }
  SelectSmallDarkText();
  DrawCentredAt(ui, Text(TextId::PauseHint), 200, 240);
  EndMenuFrame();
}

}  // namespace quarzello
