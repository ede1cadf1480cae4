#include "server/texts.h"

#include <cctype>
#include <cstdlib>
#include <utility>

#include "server/form.h"

namespace highscored {

namespace {

struct Entry {
  const char* german;
  const char* english;
};

constexpr Entry kEnglish[] = {
    // The game's requests.
    {"Die Anfrage ist fehlerhaft kodiert.", "The request is not encoded properly."},
    {"Der Name muss aus 2 bis 15 einfachen Zeichen bestehen.", "The name must be 2 to 15 plain characters long."},
    {"Die Punktzahl ist ungültig.", "The score is not valid."},
    {"Diese Rangliste gibt es nicht.", "There is no such ranking."},
    {"Die Prüfsumme des Punktwerts stimmt nicht. Er wurde nicht gespeichert.",
     "The score's checksum does not match. The score was not stored."},
    {"Zu viele Anfragen von Ihrer Adresse. Bitte versuchen Sie es in einer Minute erneut.",
     "Too many requests from your address. Please try again in a minute."},
    {"Der Highscore-Server ist gerade gestört. Bitte versuchen Sie es später erneut.",
     "The highscore server is having trouble right now. Please try again later."},
    {"Das Feld \"%1\" fehlt oder ist ungültig.", "The field \"%1\" is missing or not valid."},
    // The recording of a submitted game.
    {"Die Aufzeichnung des Spiels ist fehlerhaft kodiert.", "The recording of the game is not encoded properly."},
    {"Zu diesem Eintrag nimmt der Highscore-Server keine Aufzeichnung an.",
     "The highscore server takes no recording for this entry."},
    {"Die Prüfsumme der Aufzeichnung stimmt nicht. Sie wurde nicht angenommen.",
     "The recording's checksum does not match. It was not accepted."},
    {"Dieser Eintrag ist schon mit seiner Aufzeichnung bestätigt.", "This entry has already been verified by its recording."},
    {"Diese Aufzeichnung bestätigt schon einen anderen Eintrag.", "This recording already verifies another entry."},
    {"Die Aufzeichnung ist beschädigt und lässt sich nicht abspielen.", "The recording is damaged and cannot be played."},
    {"Die Aufzeichnung lässt sich nicht in der erlaubten Zeit abspielen.",
     "The recording cannot be played in the time allowed."},
    {"Die Aufzeichnung braucht zum Abspielen zu viel Speicher.", "The recording takes too much memory to play."},
    {"Die Aufzeichnung ist ein Spiel einer anderen Rangliste.", "The recording is a game of another ranking."},
    {"Das aufgezeichnete Spiel ist nicht zu Ende gespielt.", "The recorded game was not played to its end."},
    {"Das aufgezeichnete Spiel erreicht nicht den eingetragenen Punktwert.",
     "The recorded game does not reach the score entered."},
    {"Der Highscore-Server kann die Aufzeichnung gerade nicht prüfen. Bitte versuchen Sie es später erneut.",
     "The highscore server cannot check the recording right now. Please try again later."},
    // Boards dealt for ranked games, and why a game does not count for one.
    {"Zu diesem Brett nimmt der Highscore-Server keinen Spielbeginn an.",
     "The highscore server takes no start of a game for this board."},
    {"Das Spiel wurde nicht auf einem vom Highscore-Server ausgeteilten Brett gespielt und zählt darum nicht in der "
     "Online-Rangliste.",
     "The game was not played on a board dealt by the highscore server, so it does not count in the online ranking."},
    {"Der Highscore-Server kennt das Brett dieses Spiels nicht; das Spiel zählt nicht in der Online-Rangliste.",
     "The highscore server does not know the board of this game; the game does not count in the online ranking."},
    {"Auf diesem Brett zählt schon ein anderes Spiel; dieses zählt nicht in der Online-Rangliste.",
     "Another game already counts on this board; this one does not count in the online ranking."},
    {"Das Brett wurde für eine andere Rangliste ausgeteilt; das Spiel zählt nicht in der Online-Rangliste.",
     "The board was dealt for another ranking; the game does not count in the online ranking."},
    {"Das Spiel wurde nicht auf dem ausgeteilten Brett gespielt und zählt nicht in der Online-Rangliste.",
     "The game was not played on the board that was dealt; it does not count in the online ranking."},
    {"Das Spiel kam schneller an, als es sich spielen lässt, und zählt nicht in der Online-Rangliste.",
     "The game arrived sooner than it can be played; it does not count in the online ranking."},
    {"Das ausgeteilte Brett war abgelaufen, als das Spiel ankam; es zählt nicht in der Online-Rangliste.",
     "The dealt board had expired when the game arrived; it does not count in the online ranking."},
    {"Das Spiel kam zu lange nach seinem Ende an und zählt nicht in der Online-Rangliste.",
     "The game arrived too long after its end; it does not count in the online ranking."},
    // The rankings page.
    {"Diese Seite gibt es nicht.", "There is no such page."},
    {"Diese Adresse gibt es auf dem Highscore-Server nicht.", "There is no such address on the highscore server."},
    {"Leicht", "Easy"},
    {"Mittel", "Medium"},
    {"Schwer", "Hard"},
    {"Ranglisten", "Rankings"},
    {"Kein Einträge", "No entries yet"},
    {"eingetragen %1", "entered %1"},
    {"neu", "new"},
    {"Platz", "Place"},
    {"Punkte", "Points"},
    {"Seiten", "Pages"},
    {"vorige Seite", "previous page"},
    {"nächste Seite", "next page"},
    {"Seite %1 von %2", "Page %1 of %2"},
    {"in den letzten 24 Stunden eingetragen", "entered in the last 24 hours"},
    {"nachgespielt und bestätigt: die Aufzeichnung laden", "played again and verified: download the recording"},
    {"nachgespielt und bestätigt (zur Aufzeichnung)", "played again and verified (links the recording)"},
    {"nicht nachgespielt", "not played again"},
    {"Zu diesem Eintrag gibt es keine bestätigte Aufzeichnung.", "There is no verified recording of this entry."},
    {"Diese Seite als JSON", "This page as JSON"},
    {"Die Online-Ranglisten von Quarzello", "The online rankings of Quarzello"},
    {"Quarzello Highscore: %1, Seite %2", "Quarzello Highscore: %1, page %2"},
    {"Zu den Ranglisten", "To the rankings"},
};

std::string_view Trimmed(std::string_view text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// Accept-Language: the list of language ranges with their weights. English
// wins only with a higher weight than German, or the same weight listed first.
Language FromAcceptLanguage(std::string_view header) {
  double english = 0, german = 0;
  size_t englishAt = 0, germanAt = 0, position = 0;
  while (!header.empty()) {
    const size_t comma = header.find(',');
    const std::string_view item = header.substr(0, comma);
    header = comma == std::string_view::npos ? std::string_view() : header.substr(comma + 1);
    ++position;
    const size_t semicolon = item.find(';');
    const std::string range = Lower(Trimmed(item.substr(0, semicolon)));
    double weight = 1;
    if (semicolon != std::string_view::npos) {
      const std::string parameter = Lower(Trimmed(item.substr(semicolon + 1)));
      if (parameter.rfind("q=", 0) != 0) continue;
      char* end = nullptr;
      weight = std::strtod(parameter.c_str() + 2, &end);
      if (end == parameter.c_str() + 2 || *end != 0 || !(weight >= 0 && weight <= 1)) continue;
    }
    const std::string primary = range.substr(0, range.find('-'));
    if (primary == "en" && weight > english) std::tie(english, englishAt) = std::pair(weight, position);
    if (primary == "de" && weight > german) std::tie(german, germanAt) = std::pair(weight, position);
  }
  const bool preferred = english > german || (english > 0 && english == german && englishAt < germanAt);
  return preferred ? Language::kEnglish : Language::kGerman;
}

}  // namespace

Language BodyLanguage(std::string_view body) {
  // The final line break some clients count into the body is no part of the field.
  while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.remove_suffix(1);
  while (!body.empty()) {
    const size_t amp = body.find('&');
    if (body.substr(0, amp) == "lang=en") return Language::kEnglish;
    body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
  }
  return Language::kGerman;
}

PageLanguage ChoosePageLanguage(std::string_view query, std::string_view acceptLanguage) {
  if (const auto form = ParseForm(std::string(query))) {
    const auto it = form->find("lang");
    if (it != form->end() && it->second == "en") return {Language::kEnglish, true};
    if (it != form->end() && it->second == "de") return {Language::kGerman, true};
  }
  return {FromAcceptLanguage(acceptLanguage), false};
}

std::string Translate(std::string_view german, Language language, std::initializer_list<std::string_view> values) {
  std::string_view pattern = german;
  if (language == Language::kEnglish) {
    for (const Entry& entry : kEnglish) {
      if (german == entry.german) pattern = entry.english;
    }
  }
  std::string text;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const size_t n = i + 1 < pattern.size() && pattern[i] == '%' ? static_cast<size_t>(pattern[i + 1] - '1') : 9;
    if (n < values.size()) {
      text += *(values.begin() + n);
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

const char* LanguageCode(Language language) { return language == Language::kEnglish ? "en" : "de"; }

}  // namespace highscored
