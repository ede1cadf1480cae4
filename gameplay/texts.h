// Every text the player sees, in German and in English: one table, looked up
// by key. The German set is the game's own wording, byte for byte (ISO-8859-1
// like every string of the game); the English set is written for the same
// places, its description lines broken to fit the same 400-px design width.
// Screens never spell a text out: they ask for it by key, and tests look it
// up the same way.
//
// The table lives in the core because the mode and difficulty names
// (gameplay/modes.h) are among its texts; the core's game logic itself shows
// nothing. Which set is shown is chosen once at start-up (QUARZELLO_LANG=en
// picks English, anything else German) and read by the screens and the
// online client; German until something selects another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace quarzello {

enum class Language : uint8_t { German = 0, English = 1 };

enum class TextId : uint16_t {
  WindowTitle,
  // The modes and difficulties: the menu entries, the head-up display, the ranking tabs.
  ModeClassic,
  ModeTurbo,
  ModeLevel,
  DifficultyEasy,
  DifficultyMedium,
  DifficultyHard,
  // Main menu.
  MenuPlay,
  MenuHighscore,
  MenuCredits,
  MenuGoOn,
  MenuQuit,
  // Credits, top to bottom.
  CreditsYear,
  CreditsCompany,
  CreditsProgramming,
  CreditsProgrammers,
  CreditsGraphics,
  CreditsArtists,
  CreditsWebsite,
  // Mode and difficulty choice.
  ChooseMode,
  ChooseDifficulty,
  Back,
  ClassicLine1,
  ClassicLine2,
  ClassicLine3,
  ClassicLine4,
  ClassicLine5,
  TurboLine1,
  TurboLine2,
  TurboLine3,
  TurboLine4,
  TurboLine5,
  LevelLine1,
  LevelLine2,
  LevelLine3,
  LevelLine4,
  LevelLine5,
  ThreeColours,
  FourColours,
  MuchSideSupply,
  LittleSideSupply,
  NoSideSupply,
  SmallestGroup1,
  SmallestGroup2,
  SmallestGroup3,
  RocksAppear,
  // Pause.
  PauseTitle,
  AbandonGame,
  PauseHint,
  // The game screen.
  Continue,
  BonusPoints,  // %1: the points
  LevelNumber,  // %1: the new level
  GameOverNews,
  SecondsLeft,  // %1: Turbo's seconds left, under a minute
  // The name entry.
  NewHighscoreTitle,
  NameLine,  // %1: the name as typed so far
  SaveOnline,
  Cancel,
  NoteTitle,
  NameTooShort,
  NoConnection,
  EntryRefused,
  ListNotSaved,
  TooLongToRecord,
  RecordingNotSent,
  // The connection notice.
  ConnectingTo,
  ConnectingServer,
  Registering,
  Submitting,
  Fetching,
  SendingRecording,
  // The table.
  HighscoreTitle,
  LocalList,
  OnlineList,
  PageOf,  // %1: the page, %2: the number of pages
  RefreshOnline,
  NoEntries,
  BackToMenu,
  // The online client.
  ErrorTitle,
  ServerReported,  // %1: the server's message
  // Watching a recorded game.
  ReplayMark,
  ReplayPoints,  // %1: the points
  WatchPause,
  WatchGoOn,
  WatchLeave,
  WatchSpeed,  // %1: 1, 2 or 4
  WatchKeysPause,
  WatchKeysSpeed,
  RecordingRefused,  // followed by one of the five reasons below
  FaultNotARecording,
  FaultOtherVersion,
  FaultTooLarge,
  FaultDamaged,
  FaultImpossible,
  RecordingUnreadable,  // %1: the file
  WatchEntry,           // beside a table row whose game can be watched
  LoadingRecording,     // the connection notice while an online entry's recording comes
  RecordingGone,        // the service has no recording for that entry (any more)
  // The labels over the head-up display's three panels; the third panel
  // shows the side supply, the clock or the level, and says "Level" in all.
  PanelScore,
  PanelMode,
  PanelLevel,

  Count
};

constexpr size_t kTextCount = static_cast<size_t>(TextId::Count);

// The text of that key in that language.
const char* TextIn(Language language, TextId id);
// The text of that key in the selected language.
const char* Text(TextId id);
// A text with its placeholders %1, %2, ... replaced by the values in order
// (in one pass: a value is never searched for placeholders itself).
std::string FormatText(TextId id, std::initializer_list<std::string_view> values);
std::string FormatTextIn(Language language, TextId id, std::initializer_list<std::string_view> values);

void SelectLanguage(Language language);
Language SelectedLanguage();
// The language a value of QUARZELLO_LANG asks for: "en" English, anything
// else (nothing included) German.
Language LanguageFromSetting(const char* setting);
// "de" or "en", as the online protocol names it.
const char* LanguageCode(Language language);

}  // namespace quarzello
