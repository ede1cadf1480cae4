#include "gameplay/texts.h"

#include <array>
#include <utility>

#include "catalogue/catalogue.h"

namespace quarzello {

namespace {

struct Entry {
  TextId id;
  const char *key;
};

// In the order of TextId (checked below). The German texts are the game's
// own, typos included, and the catalogues' keys: do not correct them here,
// the golden traces and every translation hold them. This file is compiled
// to UTF-8, as the catalogues are.
constexpr Entry kTexts[] = {
    {TextId::WindowTitle, N_("Quarzello")},

    {TextId::ModeClassic, N_("Classic")},
    {TextId::ModeTurbo, N_("Turbo")},
    {TextId::ModeLevel, N_("Level")},
    {TextId::DifficultyEasy, N_("Leicht")},
    {TextId::DifficultyMedium, N_("Mittel")},
    {TextId::DifficultyHard, N_("Schwer")},

    {TextId::MenuPlay, N_("Spielen")},
    {TextId::MenuHighscore, N_("Highscore")},
    {TextId::MenuCredits, N_("Credits")},
    {TextId::MenuGoOn, N_("Weiterspielen")},
    {TextId::MenuQuit, N_("Beenden")},

    {TextId::CreditsYear, N_("2026")},
    {TextId::CreditsCompany, N_("Trelvani")},
    {TextId::CreditsProgramming, N_("PROGRAMMING")},
    {TextId::CreditsProgrammers, N_("Quarzello-Team")},
    {TextId::CreditsGraphics, N_("GRAPHICS")},
    {TextId::CreditsArtists, N_("Quarzello-Team")},
    {TextId::CreditsWebsite, N_("https://quarzello.invalid")},

    {TextId::ChooseMode, N_("Wählen Sie einen Spielmodus:")},
    {TextId::ChooseDifficulty, N_("Wählen Sie einen Schwierigkeitsgrad:")},
    {TextId::Back, N_("Zurück")},
    // Translators: The five lines of each mode description are drawn one under
    // another, each at most 380 pixels wide.
    {TextId::ClassicLine1, N_("Im Classic-Modus besteht keinerlei Zeit-")},
    {TextId::ClassicLine2, N_("beschränkung. Das Spiel ist beendet, sobald")},
    {TextId::ClassicLine3,
     N_("keine Spielsteine mehr entfernt werden können.")},
    {TextId::ClassicLine4, N_("Ziel ist also, mit den gegebenen Steinen eine")},
    {TextId::ClassicLine5, N_("möglichst hohe Punktzahl zu erreichen.")},
    {TextId::TurboLine1, N_("Im Turbo-Modus fallen kontinuierlich von")},
    {TextId::TurboLine2, N_("oben neue Steine nach. Es wird gegen die Zeit")},
    {TextId::TurboLine3, N_("gespielt und am Ende kriegt ein schnelles Auge")},
    {TextId::TurboLine4, N_("gepaart mit einer noch schnelleren Hand die")},
    {TextId::TurboLine5, N_("meisten Punkte.")},
    {TextId::LevelLine1, N_("Im Level-Modus steigt der Schwierigkeits-")},
    {TextId::LevelLine2, N_("grad immer weiter an, indem Steine in immer")},
    {TextId::LevelLine3, N_("kürzeren Intervallen unten dazugekommen. Das")},
    {TextId::LevelLine4, N_("Spiel endet, sobald eine Spalte bis oben hin")},
    {TextId::LevelLine5, N_("mit Spielsteinen befüllt ist.")},
    {TextId::ThreeColours, N_("- Spielsteine in 3 verschiedenen Farben")},
    {TextId::FourColours, N_("- Spielsteine in 4 verschiedenen Farben")},
    {TextId::MuchSideSupply, N_("- viel Steinnachschub von der Seite")},
    {TextId::LittleSideSupply, N_("- wenig Steinnachschub von der Seite")},
    {TextId::NoSideSupply, N_("- kein Steinnachschub von der Seite")},
    {TextId::SmallestGroup1, N_("- Mindestanzahl zusammenhängender Steine: 1")},
    {TextId::SmallestGroup2, N_("- Mindestanzahl zusammenhängender Steine: 2")},
    {TextId::SmallestGroup3, N_("- Mindestanzahl zusammenhängender Steine: 3")},
    {TextId::RocksAppear, N_("- es tauchen gelegentlich Felsen auf")},

    {TextId::PauseTitle, N_("PAUSE")},
    {TextId::AbandonGame, N_("Spiel abbrechen")},
    {TextId::PauseHint, N_("Drücken Sie 'P' um das Spiel fortzusetzen!")},

    {TextId::Continue, NC_("game", "Weiter")},
    // Translators: %1 is the bonus points.
    {TextId::BonusPoints, N_("Bonus: %1")},
    // Translators: %1 is the number of the level reached.
    {TextId::LevelNumber, N_("LEVEL %1")},
    {TextId::GameOverNews, N_("GAME OVER")},
    // Translators: %1 is Turbo's seconds left, under a minute.
    // xgettext:no-c-format
    {TextId::SecondsLeft, N_("%1s")},

    {TextId::NewHighscoreTitle, N_("Neue Highscore")},
    // Translators: %1 is the name typed so far.
    {TextId::NameLine, N_("Name: %1")},
    {TextId::SaveOnline, N_("Punktwert online speichern")},
    {TextId::Cancel, N_("Abbrechen")},
    {TextId::NoteTitle, N_("Hinweis")},
    {TextId::NameTooShort,
     N_("Ihr angegebener Name muss mindestens 2 Zeichen lang sein!")},
    {TextId::NoConnection,
     N_("Es konnte keine Verbindung zum Internet herrgestellt werden!")},
    {TextId::EntryRefused,
     N_("Der Highscore-Server hat den Eintrag mehrmals abgelehnt. Bitte "
        "versuchen Sie es später noch einmal!")},
    {TextId::ListNotSaved,
     N_("Die Highscore-Liste konnte nicht gespeichert werden! Ihr Eintrag "
        "bleibt nur bis zum Beenden des Spiels "
        "erhalten.")},
    {TextId::TooLongToRecord,
     N_("Das Spiel ist zu lang für eine Aufzeichnung. Der Punktwert kann "
        "online nicht bestätigt werden.")},
    {TextId::RecordingNotSent,
     N_("Die Aufzeichnung des Spiels konnte nicht übertragen werden! Online "
        "zählt der Punktwert erst mit ihr.")},

    {TextId::ConnectingTo, N_("Verbinde zu")},
    {TextId::ConnectingServer, N_("Trelvani")},
    {TextId::Registering, N_("Highscore wird angemeldet...")},
    {TextId::Submitting, N_("Highscore wird eingetragen...")},
    {TextId::Fetching, N_("Lade aktuelle Highscore...")},
    {TextId::SendingRecording, N_("Aufzeichnung wird übertragen")},

    {TextId::HighscoreTitle, N_("Highscore")},
    {TextId::LocalList, N_("Lokal")},
    {TextId::OnlineList, N_("Online")},
    // Translators: %1 is the page shown, %2 the number of pages.
    {TextId::PageOf, N_("Seite %1 von %2")},
    {TextId::RefreshOnline, N_("Online-Higscore aktualisieren")},
    {TextId::NoEntries, N_("Kein Einträge")},
    {TextId::BackToMenu, N_("Menü")},

    {TextId::ErrorTitle, N_("Fehler")},
    // Translators: \r\n breaks the line; %1 is the highscore server's message.
    {TextId::ServerReported, N_("Trelvani meldete folgenden Fehler:\r\n%1")},

    {TextId::ReplayMark, N_("Wiedergabe")},
    // Translators: %1 is the points of the game watched.
    {TextId::ReplayPoints, N_("%1 Punkte")},
    {TextId::WatchPause, N_("Pause")},
    {TextId::WatchGoOn, NC_("replay", "Weiter")},
    {TextId::WatchLeave, N_("Ende")},
    // Translators: %1 is 1, 2 or 4.
    {TextId::WatchSpeed, N_("%1×")},
    {TextId::WatchKeysPause, N_("P oder Leertaste: Pause und weiter")},
    {TextId::WatchKeysSpeed, N_("1, 2, 4: Tempo       Esc: Ende")},
    {TextId::RecordingRefused,
     N_("Diese Aufzeichnung lässt sich nicht abspielen.")},
    {TextId::FaultNotARecording,
     N_("Die Datei ist keine Aufzeichnung eines Spiels.")},
    {TextId::FaultOtherVersion,
     N_("Sie stammt aus einer anderen Version des Spiels.")},
    {TextId::FaultTooLarge,
     N_("Sie ist größer als jede, die das Spiel schreibt.")},
    {TextId::FaultDamaged, N_("Sie ist beschädigt oder unvollständig.")},
    {TextId::FaultImpossible,
     N_("Sie enthält Eingaben, die kein Spieler machen kann.")},
    // Translators: %1 is the file.
    {TextId::RecordingUnreadable, N_("Die Datei %1 lässt sich nicht lesen.")},
    // Translators: Beside a table row whose game can be watched.
    {TextId::WatchEntry, N_("»")},
    {TextId::LoadingRecording, N_("Lade die Aufzeichnung...")},
    {TextId::RecordingGone,
     N_("Der Highscore-Server hat zu diesem Eintrag keine Aufzeichnung mehr.")},

    {TextId::PanelScore, NC_("panel", "Punkte")},
    {TextId::PanelMode, N_("Modus")},
    // Translators: The third panel of the game screen shows the side supply,
    // the clock or the level.
    {TextId::PanelLevel, NC_("panel", "Level")},
};

static_assert(std::size(kTexts) == kTextCount, "one entry per TextId");

constexpr bool InKeyOrder() {
  for (size_t i = 0; i < std::size(kTexts); ++i) {
    if (static_cast<size_t>(kTexts[i].id) != i)
      return false;
  }
  return true;
}
static_assert(InKeyOrder(), "the entries are in the order of TextId");

constexpr std::array<const char *, kTextCount> Keys() {
  std::array<const char *, kTextCount> keys{};
  for (size_t i = 0; i < kTextCount; ++i)
    keys[i] = kTexts[i].key;
  return keys;
}
constexpr std::array<const char *, kTextCount> kKeys = Keys();

Language GermanTexts() {
  Language german{std::string(kSourceLanguage), {}};
  for (const char *key : kKeys)
    german.texts.emplace_back(SourceText(key));
  return german;
}

Language &Selected() {
  static Language selected = GermanTexts();
  return selected;
}

} // namespace

std::span<const char *const> TextKeys() { return kKeys; }

const Language &German() {
  static const Language german = GermanTexts();
  return german;
}

Language LoadLanguage(const Catalogues &catalogues, std::string_view code) {
  if (code == kSourceLanguage || !catalogues.Has(code))
    return German();
  return Language{std::string(code), catalogues.Translate(code, kKeys)};
}

const char *TextIn(const Language &language, TextId id) {
  const size_t index = static_cast<size_t>(id);
  if (index >= language.texts.size())
    return "";
  return language.texts[index].c_str();
}

const char *Text(TextId id) { return TextIn(Selected(), id); }

std::string FormatTextIn(const Language &language, TextId id,
                         std::initializer_list<std::string_view> values) {
  const std::string_view pattern = TextIn(language, id);
  std::string text;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
        pattern[i + 1] <= '9') {
      const size_t n = static_cast<size_t>(pattern[i + 1] - '1');
      if (n < values.size())
        text += *(values.begin() + n);
      ++i;
    } else {
      text += c;
    }
  }
  return text;
}

std::string FormatText(TextId id,
                       std::initializer_list<std::string_view> values) {
  return FormatTextIn(Selected(), id, values);
}

void SelectLanguage(Language language) { Selected() = std::move(language); }

const Language &SelectedLanguage() { return Selected(); }

} // namespace quarzello
