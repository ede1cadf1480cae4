// Every text the player sees, looked up by key. The German texts are the
// game's own wording, byte for byte, and the keys of the gettext catalogues
// under po/; every other language is a catalogue, its description lines
// broken to fit the same 400-px design width. Screens never spell a text
// out: they ask for it by key, and tests look it up the same way.
//
// The table lives in the core because the mode and difficulty names
// (gameplay/modes.h) are among its texts; the core's game logic itself shows
// nothing. Which language is shown is chosen once at start-up from the
// desktop's settings (app/app.h) and read by the screens and the online
// client.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"

namespace quarzello {

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

// One language's texts, UTF-8, one per TextId.
struct Language {
  std::string code;  // as the catalogues and the online protocol name it: "de", "en", "fr"
  std::vector<std::string> texts;
};

// The game's own texts, which need no catalogue.
const Language& German();
// A language's texts from its catalogue; German when it has none.
Language LoadLanguage(const Catalogues& catalogues, std::string_view code);
// The catalogue keys, in the order of TextId: the German texts, some with a
// context (catalogue/catalogue.h).
std::span<const char* const> TextKeys();

// The text of that key in that language.
const char* TextIn(const Language& language, TextId id);
// The text of that key in the selected language.
const char* Text(TextId id);
// A text with its placeholders %1, %2, ... replaced by the values in order
// (in one pass: a value is never searched for placeholders itself).
std::string FormatText(TextId id, std::initializer_list<std::string_view> values);
std::string FormatTextIn(const Language& language, TextId id, std::initializer_list<std::string_view> values);

// The language the screens and the online client use; German until one is selected.
void SelectLanguage(Language language);
const Language& SelectedLanguage();

}  // namespace quarzello
