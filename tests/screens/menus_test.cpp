#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "gameplay/modes.h"
#include "gameplay/texts.h"
#include "screens/screens.h"
#include "tests/app/frame_support.h"

namespace quarzello::front_test {

namespace {

using MenuTest = FrameTest;

const std::vector<std::string> kClassicLines = {
    Text(TextId::ClassicLine1),
    Text(TextId::ClassicLine2),
    Text(TextId::ClassicLine3),
    Text(TextId::ClassicLine4),
    Text(TextId::ClassicLine5),
};
const std::vector<std::string> kTurboLines = {
    Text(TextId::TurboLine1),
    Text(TextId::TurboLine2),
    Text(TextId::TurboLine3),
    Text(TextId::TurboLine4),
    Text(TextId::TurboLine5),
};
const std::vector<std::string> kLevelLines = {
    Text(TextId::LevelLine1),
    Text(TextId::LevelLine2),
    Text(TextId::LevelLine3),
    Text(TextId::LevelLine4),
    Text(TextId::LevelLine5),
};

// The texts of a frame that are not in `others`.
std::vector<std::string> TextsBesides(const DisplayList& frame, const std::vector<std::string>& others) {
  std::vector<std::string> rest;
  for (const std::string& text : TextStrings(frame))
    if (std::find(others.begin(), others.end(), text) == others.end()) rest.push_back(text);
  return rest;
}

// Lines drawn left-aligned at design x 30, 15 units apart from design y 300,
// in the small font with the dark colour. Empty lines are not checked.
void ExpectDescription(const DisplayList& frame, const std::vector<std::string>& lines, float scale) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    SCOPED_TRACE(Utf8FromLatin1(lines[i]));
    const DrawCommand& line = TextCommand(frame, lines[i]);
    EXPECT_FLOAT_EQ(line.x, 30 * scale);
    EXPECT_FLOAT_EQ(line.y, (300.0f + 15.0f * static_cast<float>(i)) * scale);
    EXPECT_FLOAT_EQ(line.sx, scale);
    EXPECT_EQ(line.font, TFont::font(0));
    EXPECT_EQ(std::tie(line.red, line.green, line.blue), std::make_tuple(47, 55, 58));
  }
}

// A text centred on design x 200 at design y, drawn at the canvas scale.
void ExpectCentred(const DisplayList& frame, const std::string& text, float y, int fontIndex, float scale) {
  SCOPED_TRACE(Utf8FromLatin1(text));
  const DrawCommand& command = TextCommand(frame, text);
  EXPECT_EQ(command.font, TFont::font(fontIndex));
  EXPECT_FLOAT_EQ(command.sx, scale);
  EXPECT_FLOAT_EQ(command.x, CentredLeft(text, TFont::font(fontIndex), Truncate(200 * scale), scale));
  EXPECT_FLOAT_EQ(command.y, static_cast<float>(Truncate(y * scale)));
}

// A menu entry at design y: large font, dark colour, 80 % unless `hovered`.
void ExpectEntry(const DisplayList& frame, const std::string& text, float y, bool hovered, float scale) {
  SCOPED_TRACE(Utf8FromLatin1(text));
  const DrawCommand& command = TextCommand(frame, text);
  const float factor = hovered ? scale : 0.8f * scale;
  EXPECT_EQ(command.font, TFont::font(1));
  EXPECT_EQ(std::tie(command.red, command.green, command.blue), std::make_tuple(47, 55, 58));
  EXPECT_FLOAT_EQ(command.sx, factor);
  EXPECT_FLOAT_EQ(command.x, CentredLeft(text, TFont::font(1), Truncate(200 * scale), factor));
  EXPECT_FLOAT_EQ(command.y, static_cast<float>(Truncate(y * scale)));
}

TEST_F(MenuTest, MainMenuDrawsItsBackgroundAndFourEntries) {
  ui.scale = 1.5f;
  MouseAtDesign(200, 20);
  const DisplayList& frame = Paint(DrawMainMenu);
  ASSERT_GE(frame.size(), 2u);
  EXPECT_EQ(frame[0].kind, DrawCommand::kClear);
  EXPECT_EQ(frame[1].kind, DrawCommand::kImage);
  EXPECT_EQ(frame[1].image, &menuBackground);
  EXPECT_EQ(frame[1].x, 0.0f);
  EXPECT_EQ(frame[1].y, 0.0f);
  EXPECT_FLOAT_EQ(frame[1].sx, 1.5f);

  EXPECT_EQ(TextStrings(frame), (std::vector<std::string>{Text(TextId::MenuPlay), Text(TextId::MenuHighscore), Text(TextId::MenuCredits), Text(TextId::MenuQuit)}));
  ExpectEntry(frame, Text(TextId::MenuPlay), 150, false, 1.5f);
  ExpectEntry(frame, Text(TextId::MenuHighscore), 200, false, 1.5f);
  ExpectEntry(frame, Text(TextId::MenuCredits), 250, false, 1.5f);
  ExpectEntry(frame, Text(TextId::MenuQuit), 400, false, 1.5f);

  MouseAtDesign(5, 260);
  const DisplayList& hovered = Paint(DrawMainMenu);
  ExpectEntry(hovered, Text(TextId::MenuPlay), 150, false, 1.5f);
  ExpectEntry(hovered, Text(TextId::MenuCredits), 250, true, 1.5f);
  EXPECT_EQ(ui.screen, MainMenu);
}

TEST_F(MenuTest, MainMenuEntriesLeadToTheirScreens) {
  const std::pair<float, uint8_t> entries[] = {{150, ModeSelect}, {200, Highscores}, {250, Credits}};
  for (const auto& [y, target] : entries) {
    ui.screen = MainMenu;
    ui.mouseX = 0;  // the whole width of the canvas belongs to an entry
    ui.mouseY = Truncate((y + 10) * ui.scale);
    ui.mouseClicked = 1;
    Paint(DrawMainMenu);
    EXPECT_EQ(ui.screen, target) << "entry at " << y;
    EXPECT_EQ(ui.mouseClicked, 0);
  }
}

TEST_F(MenuTest, AClickIsTakenByOneScreenOnly) {
  // "Spielen" and "Classic" lie at the same place on consecutive screens.
  MouseAtDesign(200, 160);
  ui.mouseClicked = 1;
  Paint(DrawMainMenu);
  ASSERT_EQ(ui.screen, ModeSelect);
  Paint(DrawModeSelect);
  EXPECT_EQ(ui.screen, ModeSelect);
  EXPECT_EQ(game.gameMode, Classic);
}

TEST_F(MenuTest, BeendenEndsWithStatusZeroAndWritesNothing) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quarzello-menu-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);

  MouseAtDesign(200, 410);
  ui.mouseClicked = 1;
  EXPECT_EXIT(DrawMainMenu(app), ::testing::ExitedWithCode(0), "");

  std::filesystem::current_path(previous);
  EXPECT_TRUE(std::filesystem::is_empty(dir));
  std::filesystem::remove_all(dir);
}

TEST_F(MenuTest, CreditsShowTheLogoAndSevenCentredLines) {
  ui.screen = Credits;
  ui.scale = 1.5f;
  MouseAtDesign(200, 20);
  const DisplayList& frame = Paint(DrawCredits);
  ASSERT_GE(frame.size(), 3u);
  EXPECT_EQ(frame[1].image, &menuBackground);
  EXPECT_EQ(frame[2].image, &logo);
  EXPECT_FLOAT_EQ(frame[2].x, 300.0f);
  EXPECT_FLOAT_EQ(frame[2].y, 255.0f);

  const std::pair<float, std::string> lines[] = {
      {260, Text(TextId::CreditsYear)},           {275, Text(TextId::CreditsCompany)}, {320, Text(TextId::CreditsProgramming)},
      {335, Text(TextId::CreditsProgrammers)}, {380, Text(TextId::CreditsGraphics)}, {395, Text(TextId::CreditsArtists)},
      {450, Text(TextId::CreditsWebsite)},
  };
  const std::vector<const DrawCommand*> texts = TextsOf(frame);
  ASSERT_EQ(texts.size(), 7u);
  for (size_t i = 0; i < texts.size(); ++i) {
    const auto& [y, text] = lines[i];
    const DrawCommand& line = *texts[i];
    EXPECT_EQ(line.text, text);
    EXPECT_EQ(line.font, TFont::font(0));
    EXPECT_EQ(std::tie(line.red, line.green, line.blue), std::make_tuple(47, 55, 58));
    EXPECT_FLOAT_EQ(line.sx, 1.5f);
    EXPECT_FLOAT_EQ(line.x, CentredLeft(text, TFont::font(0), 300, 1.5f));
    EXPECT_FLOAT_EQ(line.y, static_cast<float>(Truncate(y * 1.5f)));
  }
  EXPECT_EQ(ui.screen, Credits);
}

TEST_F(MenuTest, AnyClickOnTheCreditsLeadsBackToTheMenu) {
  const std::pair<float, float> places[] = {{0, 0}, {200, 275}, {399, 499}, {200, 170}};
  for (const auto& [x, y] : places) {
    ui.screen = Credits;
    MouseAtDesign(x, y);
    ui.mouseClicked = 1;
    const size_t before = rec.frames.size();
    Paint(DrawCredits);
    EXPECT_EQ(rec.frames.size(), before + 1) << "the frame is drawn before leaving";
    EXPECT_EQ(ui.screen, MainMenu);
    EXPECT_EQ(ui.mouseClicked, 0);
  }
  ui.screen = Credits;
  Paint(DrawCredits);
  EXPECT_EQ(ui.screen, Credits);
}

TEST_F(MenuTest, ChoiceScreensAskTheirQuestionAboveFourEntries) {
  const std::tuple<FrameFunction, std::string, std::vector<std::string>> screens[] = {
      {DrawModeSelect, Text(TextId::ChooseMode), {ModeName(Classic), ModeName(Turbo), ModeName(Level)}},
      {DrawDifficultySelect, Text(TextId::ChooseDifficulty), {DifficultyName(Leicht), DifficultyName(Mittel), DifficultyName(Schwer)}},
  };
  ui.scale = 0.8f;
  MouseAtDesign(200, 300);  // below the entries: no description either
  for (const auto& [frameFunction, question, entries] : screens) {
    const DisplayList frame = Paint(frameFunction);
    std::vector<std::string> expected = {question};
    expected.insert(expected.end(), entries.begin(), entries.end());
    expected.push_back(Text(TextId::Back));
    EXPECT_EQ(TextStrings(frame), expected);
    ExpectCentred(frame, question, 90, 0, 0.8f);
    const DrawCommand& asked = TextCommand(frame, question);
    EXPECT_EQ(std::tie(asked.red, asked.green, asked.blue), std::make_tuple(47, 55, 58));
    for (size_t i = 0; i < entries.size(); ++i) ExpectEntry(frame, entries[i], 150.0f + 50.0f * i, false, 0.8f);
    ExpectEntry(frame, Text(TextId::Back), 400, false, 0.8f);
  }
}

TEST_F(MenuTest, HoveringAModeShowsItsDescription) {
  const std::vector<std::string> entries = {Text(TextId::ChooseMode), ModeName(Classic), ModeName(Turbo), ModeName(Level), Text(TextId::Back)};
  const std::pair<float, const std::vector<std::string>*> modes[] = {
      {160, &kClassicLines}, {210, &kTurboLines}, {260, &kLevelLines}};
  ui.screen = ModeSelect;
  ui.scale = 1.25f;
  for (const auto& [y, lines] : modes) {
    MouseAtDesign(350, y);
    const DisplayList frame = Paint(DrawModeSelect);
    EXPECT_EQ(TextsBesides(frame, entries), *lines) << "mouse at " << y;
    ExpectDescription(frame, *lines, 1.25f);
  }
  MouseAtDesign(200, 410);  // "Zurück" has no description
  EXPECT_TRUE(TextsBesides(Paint(DrawModeSelect), entries).empty());
  EXPECT_EQ(ui.screen, ModeSelect);
}

TEST_F(MenuTest, ModeEntriesSetTheModeAndMoveOn) {
  const std::tuple<float, uint8_t, uint8_t> entries[] = {
      {160, Classic, DifficultySelect}, {210, Turbo, DifficultySelect}, {410, Classic, MainMenu}};
  for (const auto& [y, mode, target] : entries) {
    ui.screen = ModeSelect;
    game.gameMode = 7;  // no mode at all, to see whether one is written
    MouseAtDesign(200, y);
    ui.mouseClicked = 1;
    Paint(DrawModeSelect);
    EXPECT_EQ(ui.screen, target) << "entry at " << y;
    EXPECT_EQ(game.gameMode, target == MainMenu ? 7 : mode) << "entry at " << y;
  }
}

TEST_F(MenuTest, LevelStartsAGameAtOnce) {
  MouseAtDesign(200, 260);
  ui.mouseClicked = 1;
  Paint(DrawModeSelect);
  EXPECT_EQ(game.gameMode, Level);
  EXPECT_EQ(ui.screen, GameScreen);
}

TEST_F(MenuTest, DifficultyDescriptionsDependOnTheChosenMode) {
  const std::vector<std::string> entries = {Text(TextId::ChooseDifficulty), DifficultyName(Leicht), DifficultyName(Mittel), DifficultyName(Schwer),
                                            Text(TextId::Back)};
  const std::vector<std::string> classic[3] = {
      {Text(TextId::ThreeColours), Text(TextId::MuchSideSupply),
       Text(TextId::SmallestGroup1)},
      {Text(TextId::FourColours), Text(TextId::LittleSideSupply),
       Text(TextId::SmallestGroup2)},
      {Text(TextId::FourColours), Text(TextId::NoSideSupply),
       Text(TextId::SmallestGroup3)},
  };
  const std::vector<std::string> turbo[3] = {
      {Text(TextId::ThreeColours), Text(TextId::SmallestGroup1), ""},
      {Text(TextId::FourColours), Text(TextId::SmallestGroup2), ""},
      {Text(TextId::FourColours), Text(TextId::SmallestGroup3),
       Text(TextId::RocksAppear)},
  };
  for (uint8_t mode : {Classic, Turbo}) {
    for (int difficulty = 0; difficulty < 3; ++difficulty) {
      SCOPED_TRACE(testing::Message() << "mode " << int(mode) << ", difficulty " << difficulty);
      game.gameMode = mode;
      MouseAtDesign(100, 160 + 50 * difficulty);
      const DisplayList frame = Paint(DrawDifficultySelect);
      std::vector<std::string> expected = mode == Classic ? classic[difficulty] : turbo[difficulty];
      std::erase(expected, "");
      std::vector<std::string> shown = TextsBesides(frame, entries);
      std::erase(shown, "");
      EXPECT_EQ(shown, expected);
      ExpectDescription(frame, mode == Classic ? classic[difficulty] : turbo[difficulty], 1.0f);

      // The colours it names are the colours the game deals.
      Game dealt;
      Random random;
      dealt.gameMode = mode;
      dealt.difficulty = static_cast<uint8_t>(difficulty);
      StartGame(dealt, random, 0);
      EXPECT_EQ(expected[0], Text(dealt.maxColour == 2 ? TextId::ThreeColours : TextId::FourColours));
    }
  }
}

TEST_F(MenuTest, ChoosingADifficultyStartsTheGame) {
  for (uint8_t difficulty = 0; difficulty < 3; ++difficulty) {
    ui.screen = DifficultySelect;
    game.gameMode = Turbo;
    game.difficulty = 9;
    MouseAtDesign(200, 160 + 50 * difficulty);
    ui.mouseClicked = 1;
    Paint(DrawDifficultySelect);
    EXPECT_EQ(game.difficulty, difficulty);
    EXPECT_EQ(game.gameMode, Turbo);
    EXPECT_EQ(ui.screen, GameScreen);
  }

  // "Zurück" goes back to the mode screen, not to the main menu.
  ui.screen = DifficultySelect;
  MouseAtDesign(200, 410);
  ui.mouseClicked = 1;
  Paint(DrawDifficultySelect);
  EXPECT_EQ(ui.screen, ModeSelect);
}

TEST_F(MenuTest, PauseShowsItsTextsAndCanAbandonTheGame) {
  ui.scale = 1.5f;
  ui.screen = Pause;
  game.score = 1234;
  game.deadline = 99000;
  game.pauseStart = 5000;
  MouseAtDesign(200, 20);
  const DisplayList frame = Paint(DrawPause);
  EXPECT_EQ(TextStrings(frame), (std::vector<std::string>{Text(TextId::PauseTitle), Text(TextId::AbandonGame),
                                                           Text(TextId::PauseHint)}));
  ExpectCentred(frame, Text(TextId::PauseTitle), 200, 1, 1.5f);
  ExpectEntry(frame, Text(TextId::AbandonGame), 400, false, 1.5f);
  ExpectCentred(frame, Text(TextId::PauseHint), 240, 0, 1.5f);
  const DrawCommand& hint = TextCommand(frame, Text(TextId::PauseHint));
  EXPECT_EQ(std::tie(hint.red, hint.green, hint.blue), std::make_tuple(47, 55, 58));
  EXPECT_EQ(ui.screen, Pause);

  MouseAtDesign(200, 410);
  ui.mouseClicked = 1;
  Paint(DrawPause);
  EXPECT_EQ(ui.screen, MainMenu);
  // The abandoned game is left as it stood.
  EXPECT_EQ(game.score, 1234);
  EXPECT_EQ(game.deadline, 99000);
  EXPECT_EQ(game.pauseStart, 5000);
}

TEST_F(MenuTest, EveryScreenLeavesWhiteAndTheCanvasScaleBehind) {
  ui.scale = 1.5f;
  for (FrameFunction frameFunction : {DrawMainMenu, DrawCredits, DrawModeSelect, DrawDifficultySelect, DrawPause}) {
    MouseAtDesign(200, 160);
    Paint(frameFunction);
    const DisplayList after = Record([] { DrawString("x", 0, 0); });
    const DrawCommand& text = TextCommand(after, "x");
    EXPECT_EQ(std::tie(text.red, text.green, text.blue), std::make_tuple(255, 255, 255));
    EXPECT_FLOAT_EQ(text.sx, 1.5f);
  }
}

}  // namespace

}  // namespace quarzello::front_test
