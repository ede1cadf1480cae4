#include "server/texts.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <utility>

#include "server/form.h"
#include "server/web_text.h"

namespace highscored {

namespace {

// Every text the service says, in German: the catalogues' keys.
constexpr const char* kKeys[] = {
    // The game's requests.
    N_("Die Anfrage ist fehlerhaft kodiert."),
    N_("Der Name muss aus 2 bis 15 einfachen Zeichen bestehen."),
    N_("Die Punktzahl ist ungültig."),
    N_("Diese Rangliste gibt es nicht."),
    N_("Die Prüfsumme des Punktwerts stimmt nicht. Er wurde nicht gespeichert."),
    N_("Zu viele Anfragen von Ihrer Adresse. Bitte versuchen Sie es in einer Minute erneut."),
    N_("Der Highscore-Server ist gerade gestört. Bitte versuchen Sie es später erneut."),
    N_("Das Feld \"%1\" fehlt oder ist ungültig."),
    // The recording of a submitted game.
    N_("Die Aufzeichnung des Spiels ist fehlerhaft kodiert."),
    N_("Zu diesem Eintrag nimmt der Highscore-Server keine Aufzeichnung an."),
    N_("Die Prüfsumme der Aufzeichnung stimmt nicht. Sie wurde nicht angenommen."),
    N_("Dieser Eintrag ist schon mit seiner Aufzeichnung bestätigt."),
    N_("Diese Aufzeichnung bestätigt schon einen anderen Eintrag."),
    N_("Die Aufzeichnung ist beschädigt und lässt sich nicht abspielen."),
    N_("Die Aufzeichnung lässt sich nicht in der erlaubten Zeit abspielen."),
    N_("Die Aufzeichnung braucht zum Abspielen zu viel Speicher."),
    N_("Die Aufzeichnung ist ein Spiel einer anderen Rangliste."),
    N_("Das aufgezeichnete Spiel ist nicht zu Ende gespielt."),
    N_("Das aufgezeichnete Spiel erreicht nicht den eingetragenen Punktwert."),
    N_("Der Highscore-Server kann die Aufzeichnung gerade nicht prüfen. Bitte versuchen Sie es später erneut."),
    // Boards dealt for ranked games, and why a game does not count for one.
    N_("Zu diesem Brett nimmt der Highscore-Server keinen Spielbeginn an."),
    N_("Das Spiel wurde nicht auf einem vom Highscore-Server ausgeteilten Brett gespielt und zählt darum nicht in der "
     "Online-Rangliste."),
    N_("Der Highscore-Server kennt das Brett dieses Spiels nicht; das Spiel zählt nicht in der Online-Rangliste."),
    N_("Auf diesem Brett zählt schon ein anderes Spiel; dieses zählt nicht in der Online-Rangliste."),
    N_("Das Brett wurde für eine andere Rangliste ausgeteilt; das Spiel zählt nicht in der Online-Rangliste."),
    N_("Das Spiel wurde nicht auf dem ausgeteilten Brett gespielt und zählt nicht in der Online-Rangliste."),
    N_("Das Spiel kam schneller an, als es sich spielen lässt, und zählt nicht in der Online-Rangliste."),
    N_("Das ausgeteilte Brett war abgelaufen, als das Spiel ankam; es zählt nicht in der Online-Rangliste."),
    N_("Das Spiel kam zu lange nach seinem Ende an und zählt nicht in der Online-Rangliste."),
    // The rankings page.
    N_("Diese Seite gibt es nicht."),
    N_("Diese Adresse gibt es auf dem Highscore-Server nicht."),
    N_("Leicht"),
    N_("Mittel"),
    N_("Schwer"),
    N_("Ranglisten"),
    N_("Kein Einträge"),
    N_("eingetragen %1"),
    N_("neu"),
    N_("Platz"),
    N_("Name"),
    N_("Punkte"),
    N_("Seiten"),
    N_("vorige Seite"),
    N_("nächste Seite"),
    N_("Seite %1 von %2"),
    N_("in den letzten 24 Stunden eingetragen"),
    N_("nachgespielt und bestätigt: die Aufzeichnung laden"),
    N_("nachgespielt und bestätigt (zur Aufzeichnung)"),
    N_("nicht nachgespielt"),
    N_("Zu diesem Eintrag gibt es keine bestätigte Aufzeichnung."),
    N_("Diese Seite als JSON"),
    N_("Die Online-Ranglisten von Quarzello"),
    N_("Quarzello Highscore: %1, Seite %2"),
    N_("Zu den Ranglisten"),
    // The HTTP layer's own refusals.
    N_("Der Highscore-Server nimmt nur POST-Anfragen an."),
    N_("Die Anfrage nennt die Länge ihres Inhalts nicht."),
    N_("Die Anfrage ist zu groß."),
    N_("Die Kopfzeilen der Anfrage sind zu groß."),
    N_("Zu viele Verbindungen von Ihrer Adresse. Bitte versuchen Sie es gleich erneut."),
    N_("Der Highscore-Server prüft gerade zu viele Aufzeichnungen. Bitte versuchen Sie es später erneut."),
    N_("Die Anfrage ist fehlerhaft."),
    N_("Diese Adresse ist nur zum Lesen da."),
};

// Each loaded language's texts in the order of kKeys, ISO-8859-1. Written
// once before serving, read only afterwards.
std::map<Language, std::vector<std::string>>& Loaded() {
  static std::map<Language, std::vector<std::string>> loaded;
  return loaded;
}

// The catalogues are UTF-8; the service's texts travel as ISO-8859-1.
std::string Latin1FromUtf8(const std::string& utf8, bool& lossless) {
  std::string latin1;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      latin1 += static_cast<char>(lead);
      continue;
    }
    size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    uint32_t code = lead & (0x3F >> extra);
    for (; extra > 0 && i + 1 < utf8.size(); --extra) code = code << 6 | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
    lossless = lossless && code <= 0xFF;
    latin1 += code <= 0xFF ? static_cast<char>(code) : '?';
  }
  return latin1;
}

bool Speaks(const std::string& language) { return language == kGerman || Loaded().count(language) != 0; }

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

// A language range of Accept-Language as the service speaks it: "fr-CH" is
// "fr_CH" when that has a catalogue, else "fr"; none when neither.
std::string SpokenRange(const std::string& range) {
  std::string name = range;
  std::replace(name.begin(), name.end(), '-', '_');
  const size_t underscore = name.find('_');
  if (underscore != std::string::npos) {
    for (size_t i = underscore + 1; i < name.size(); ++i) name[i] = static_cast<char>(std::toupper(name[i]));
    if (Speaks(name)) return name;
    name.resize(underscore);
  }
  return Speaks(name) ? name : std::string();
}

// Accept-Language: the list of language ranges with their weights. The
// highest weight of a language the service speaks wins, of equal weights the
// one listed first.
Language FromAcceptLanguage(std::string_view header) {
  Language best = kGerman;
  double bestWeight = 0;
  while (!header.empty()) {
    const size_t comma = header.find(',');
    const std::string_view item = header.substr(0, comma);
    header = comma == std::string_view::npos ? std::string_view() : header.substr(comma + 1);
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
    const std::string spoken = SpokenRange(range);
    if (!spoken.empty() && weight > bestWeight) std::tie(best, bestWeight) = std::pair(spoken, weight);
  }
  return best;
}

}  // namespace

std::vector<std::string> LoadServiceTexts(const quarzello::Catalogues& catalogues) {
  std::vector<std::string> unfit;
  std::vector<std::string> keys;
  for (const char* key : kKeys) keys.push_back(Latin1ToUtf8(key));
  std::vector<const char*> keyPointers;
  for (const std::string& key : keys) keyPointers.push_back(key.c_str());
  Loaded().clear();
  for (const std::string& language : catalogues.Present()) {
    std::vector<std::string> texts = catalogues.Translate(language, keyPointers);
    for (std::string& text : texts) {
      bool lossless = true;
      std::string latin1 = Latin1FromUtf8(text, lossless);
      if (!lossless) unfit.push_back(language + ": " + text);
      text = std::move(latin1);
    }
    Loaded()[language] = std::move(texts);
  }
  return unfit;
}

quarzello::Catalogues ServiceCatalogues() {
  return quarzello::Catalogues("quarzello-highscored", quarzello::CatalogueDirectory(QUARZELLO_LOCALEDIR));
}

std::vector<Language> ServiceLanguages() {
  std::vector<Language> languages{kGerman};
  for (const auto& [language, texts] : Loaded()) languages.push_back(language);
  return languages;
}

Language BodyLanguage(std::string_view body) {
  // The final line break some clients count into the body is no part of the field.
  while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.remove_suffix(1);
  while (!body.empty()) {
    const size_t amp = body.find('&');
    const std::string_view field = body.substr(0, amp);
    if (field.substr(0, 5) == "lang=") {
      const std::string language(field.substr(5));
      return Speaks(language) ? language : kGerman;
    }
    body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
  }
  return kGerman;
}

PageLanguage ChoosePageLanguage(std::string_view query, std::string_view acceptLanguage) {
  if (const auto form = ParseForm(std::string(query))) {
    const auto it = form->find("lang");
    if (it != form->end() && Speaks(it->second)) return {it->second, true};
  }
  return {FromAcceptLanguage(acceptLanguage), false};
}

std::string Translate(std::string_view german, const Language& language, std::initializer_list<std::string_view> values) {
  std::string_view pattern = german;
  const auto loaded = Loaded().find(language);
  if (loaded != Loaded().end()) {
    for (size_t i = 0; i < std::size(kKeys); ++i) {
      if (german == kKeys[i]) pattern = loaded->second[i];
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

std::string HtmlLanguage(const Language& language) {
  std::string tag = language;
  std::replace(tag.begin(), tag.end(), '_', '-');
  return tag.substr(0, tag.find('@'));
}

}  // namespace highscored
