#include "gameplay/texts.h"

#include <array>
#include <cstring>

namespace quarzello {

namespace {

struct Entry {
  TextId id;
  const char* german;
  const char* english;
};

// In the order of TextId (checked below). The German texts are the game's
// own, typos included; do not correct them here, they are what the golden
// traces hold.
constexpr Entry kTexts[] = {
    {TextId::WindowTitle, "Quarzello", "Quarzello"},

    {TextId::ModeClassic, "Classic", "Classic"},
    {TextId::ModeTurbo, "Turbo", "Turbo"},
    {TextId::ModeLevel, "Level", "Level"},
    {TextId::DifficultyEasy, "Leicht", "Easy"},
    {TextId::DifficultyMedium, "Mittel", "Medium"},
    {TextId::DifficultyHard, "Schwer", "Hard"},

    {TextId::MenuPlay, "Spielen", "Play"},
    {TextId::MenuHighscore, "Highscore", "Highscores"},
    {TextId::MenuCredits, "Credits", "Credits"},
    {TextId::MenuGoOn, "Weiterspielen", "Resume game"},
    {TextId::MenuQuit, "Beenden", "Quit"},

    {TextId::CreditsYear, "2026", "2026"},
    {TextId::CreditsCompany, "Trelvani", "Trelvani"},
    {TextId::CreditsProgramming, "PROGRAMMING", "PROGRAMMING"},
    {TextId::CreditsProgrammers, "Quarzello-Team", "The Quarzello Team"},
    {TextId::CreditsGraphics, "GRAPHICS", "GRAPHICS"},
    {TextId::CreditsArtists, "Quarzello-Team", "The Quarzello Team"},
    {TextId::CreditsWebsite, "https://quarzello.invalid", "https://quarzello.invalid"},

    {TextId::ChooseMode, "Wählen Sie einen Spielmodus:", "Choose a game mode:"},
    {TextId::ChooseDifficulty, "Wählen Sie einen Schwierigkeitsgrad:", "Choose a difficulty:"},
    {TextId::Back, "Zurück", "Back"},
    {TextId::ClassicLine1, "Im Classic-Modus besteht keinerlei Zeit-", "Classic mode has no time limit at all. The game is"},
    {TextId::ClassicLine2, "beschränkung. Das Spiel ist beendet, sobald", "over as soon as no more stones can be"},
    {TextId::ClassicLine3, "keine Spielsteine mehr entfernt werden können.", "removed. So the goal is to score as many points"},
    {TextId::ClassicLine4, "Ziel ist also, mit den gegebenen Steinen eine", "as you can with the stones you are given. Big"},
    {TextId::ClassicLine5, "möglichst hohe Punktzahl zu erreichen.", "groups pay far more than many small ones."},
    {TextId::TurboLine1, "Im Turbo-Modus fallen kontinuierlich von", "In Turbo mode, one click removes a group, and"},
    {TextId::TurboLine2, "oben neue Steine nach. Es wird gegen die Zeit", "new stones keep dropping in from the top to fill"},
    {TextId::TurboLine3, "gespielt und am Ende kriegt ein schnelles Auge", "every gap. You play against the clock, and in the"},
    {TextId::TurboLine4, "gepaart mit einer noch schnelleren Hand die", "end a quick eye paired with an even quicker"},
    {TextId::TurboLine5, "meisten Punkte.", "hand scores the most points."},
    {TextId::LevelLine1, "Im Level-Modus steigt der Schwierigkeits-", "In Level mode, the game gets harder and harder"},
    {TextId::LevelLine2, "grad immer weiter an, indem Steine in immer", "as new rows of stones rise from below at ever"},
    {TextId::LevelLine3, "kürzeren Intervallen unten dazugekommen. Das", "shorter intervals. The game ends as soon as a"},
    {TextId::LevelLine4, "Spiel endet, sobald eine Spalte bis oben hin", "column is filled with stones right up to the top."},
    {TextId::LevelLine5, "mit Spielsteinen befüllt ist.", "Every level multiplies your points."},
    {TextId::ThreeColours, "- Spielsteine in 3 verschiedenen Farben", "- stones in 3 different colours"},
    {TextId::FourColours, "- Spielsteine in 4 verschiedenen Farben", "- stones in 4 different colours"},
    {TextId::MuchSideSupply, "- viel Steinnachschub von der Seite", "- plenty of new stones from the sides"},
    {TextId::LittleSideSupply, "- wenig Steinnachschub von der Seite", "- a few new stones from the sides"},
    {TextId::NoSideSupply, "- kein Steinnachschub von der Seite", "- no new stones from the sides"},
    {TextId::SmallestGroup1, "- Mindestanzahl zusammenhängender Steine: 1", "- smallest group you can remove: 1 stone"},
    {TextId::SmallestGroup2, "- Mindestanzahl zusammenhängender Steine: 2", "- smallest group you can remove: 2 stones"},
    {TextId::SmallestGroup3, "- Mindestanzahl zusammenhängender Steine: 3", "- smallest group you can remove: 3 stones"},
    {TextId::RocksAppear, "- es tauchen gelegentlich Felsen auf", "- now and then a rock turns up"},

    {TextId::PauseTitle, "PAUSE", "PAUSED"},
    {TextId::AbandonGame, "Spiel abbrechen", "Abandon game"},
    {TextId::PauseHint, "Drücken Sie 'P' um das Spiel fortzusetzen!", "Press 'P' to carry on playing!"},

    {TextId::Continue, "Weiter", "Continue"},
    {TextId::BonusPoints, "Bonus: %1", "Bonus: %1"},
    {TextId::LevelNumber, "LEVEL %1", "LEVEL %1"},
    {TextId::GameOverNews, "GAME OVER", "GAME OVER"},
    {TextId::SecondsLeft, "%1s", "%1s"},

    {TextId::NewHighscoreTitle, "Neue Highscore", "New Highscore"},
    {TextId::NameLine, "Name: %1", "Name: %1"},
    {TextId::SaveOnline, "Punktwert online speichern", "Save my score online"},
    {TextId::Cancel, "Abbrechen", "Cancel"},
    {TextId::NoteTitle, "Hinweis", "Note"},
    {TextId::NameTooShort, "Ihr angegebener Name muss mindestens 2 Zeichen lang sein!",
     "Your name must be at least 2 characters long!"},
    {TextId::NoConnection, "Es konnte keine Verbindung zum Internet herrgestellt werden!",
     "Could not connect to the Internet!"},
    {TextId::EntryRefused,
     "Der Highscore-Server hat den Eintrag mehrmals abgelehnt. Bitte versuchen Sie es später noch einmal!",
     "The highscore server turned the entry down several times. Please try again later!"},
    {TextId::ListNotSaved,
     "Die Highscore-Liste konnte nicht gespeichert werden! Ihr Eintrag bleibt nur bis zum Beenden des Spiels "
     "erhalten.",
     "The highscore list could not be saved! Your entry is kept only until you quit the game."},
    {TextId::TooLongToRecord,
     "Das Spiel ist zu lang für eine Aufzeichnung. Der Punktwert kann online nicht bestätigt werden.",
     "The game was too long to be recorded. Its score cannot be verified online."},
    {TextId::RecordingNotSent,
     "Die Aufzeichnung des Spiels konnte nicht übertragen werden! Online zählt der Punktwert erst mit ihr.",
     "The recording of the game could not be sent! Online, the score counts only with it."},

    {TextId::ConnectingTo, "Verbinde zu", "Connecting to"},
    {TextId::ConnectingServer, "Trelvani", "Trelvani"},
    {TextId::Registering, "Highscore wird angemeldet...", "Registering your score..."},
    {TextId::Submitting, "Highscore wird eingetragen...", "Entering your score..."},
    {TextId::Fetching, "Lade aktuelle Highscore...", "Loading the latest highscores..."},
    {TextId::SendingRecording, "Aufzeichnung wird übertragen", "Sending the recording"},

    {TextId::HighscoreTitle, "Highscore", "Highscores"},
    {TextId::LocalList, "Lokal", "Local"},
    {TextId::OnlineList, "Online", "Online"},
    {TextId::PageOf, "Seite %1 von %2", "Page %1 of %2"},
    {TextId::RefreshOnline, "Online-Higscore aktualisieren", "Refresh the online highscores"},
    {TextId::NoEntries, "Kein Einträge", "No entries yet"},
    {TextId::BackToMenu, "Menü", "Menu"},

    {TextId::ErrorTitle, "Fehler", "Error"},
    {TextId::ServerReported, "Trelvani meldete folgenden Fehler:\r\n%1", "Trelvani reported this error:\r\n%1"},

    {TextId::ReplayMark, "Wiedergabe", "Replay"},
    {TextId::ReplayPoints, "%1 Punkte", "%1 points"},
    {TextId::WatchPause, "Pause", "Pause"},
    {TextId::WatchGoOn, "Weiter", "Play"},
    {TextId::WatchLeave, "Ende", "Leave"},
    {TextId::WatchSpeed, "%1×", "%1×"},
    {TextId::WatchKeysPause, "P oder Leertaste: Pause und weiter", "P or Space: pause and play"},
    {TextId::WatchKeysSpeed, "1, 2, 4: Tempo       Esc: Ende", "1, 2, 4: speed       Esc: leave"},
    {TextId::RecordingRefused, "Diese Aufzeichnung lässt sich nicht abspielen.", "This recording cannot be played."},
    {TextId::FaultNotARecording, "Die Datei ist keine Aufzeichnung eines Spiels.", "The file is not the recording of a game."},
    {TextId::FaultOtherVersion, "Sie stammt aus einer anderen Version des Spiels.", "It comes from another version of the game."},
    {TextId::FaultTooLarge, "Sie ist größer als jede, die das Spiel schreibt.", "It is larger than any the game writes."},
    {TextId::FaultDamaged, "Sie ist beschädigt oder unvollständig.", "It is damaged or incomplete."},
    {TextId::FaultImpossible, "Sie enthält Eingaben, die kein Spieler machen kann.", "It holds inputs that no player can make."},
    {TextId::RecordingUnreadable, "Die Datei %1 lässt sich nicht lesen.", "The file %1 cannot be read."},
    {TextId::WatchEntry, "»", "»"},
    {TextId::LoadingRecording, "Lade die Aufzeichnung...", "Loading the recording..."},
    {TextId::RecordingGone, "Der Highscore-Server hat zu diesem Eintrag keine Aufzeichnung mehr.",
     "The highscore server no longer has a recording of this entry."},

    {TextId::PanelScore, "Punkte", "Score"},
    {TextId::PanelMode, "Modus", "Mode"},
    {TextId::PanelLevel, "Level", "Level"},
};

static_assert(std::size(kTexts) == kTextCount, "one entry per TextId");

constexpr bool InKeyOrder() {
  for (size_t i = 0; i < std::size(kTexts); ++i) {
    if (static_cast<size_t>(kTexts[i].id) != i) return false;
  }
  return true;
}
static_assert(InKeyOrder(), "the entries are in the order of TextId");

Language selected = Language::German;

}  // namespace

const char* TextIn(Language language, TextId id) {
  const size_t index = static_cast<size_t>(id);
  if (index >= kTextCount) return "";
  return language == Language::English ? kTexts[index].english : kTexts[index].german;
}

const char* Text(TextId id) { return TextIn(selected, id); }

std::string FormatTextIn(Language language, TextId id, std::initializer_list<std::string_view> values) {
  const std::string_view pattern = TextIn(language, id);
  std::string text;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const size_t n = static_cast<size_t>(pattern[i + 1] - '1');
      if (n < values.size()) text += *(values.begin() + n);
      ++i;
    } else {
      text += c;
    }
  }
  return text;
}

std::string FormatText(TextId id, std::initializer_list<std::string_view> values) {
  return FormatTextIn(selected, id, values);
}

void SelectLanguage(Language language) { selected = language; }

Language SelectedLanguage() { return selected; }

Language LanguageFromSetting(const char* setting) {
  return setting != nullptr && std::strcmp(setting, "en") == 0 ? Language::English : Language::German;
}

const char* LanguageCode(Language language) { return language == Language::English ? "en" : "de"; }

}  // namespace quarzello
