#pragma once

// The service's texts. Everything the service says is written in German
// where it is said; a reply for a client or a browser in another language
// passes it through Translate, which looks it up in the catalogues loaded at
// start. The game names its language in the form field "lang" ("de", "en",
// "fr", ...); browsers name theirs in Accept-Language, and "?lang=" in the
// address overrides that. A language without a catalogue gets German.
//
// Like the game's requests and replies, these texts are ISO-8859-1; a
// translation's characters beyond it become "?".

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"

namespace highscored {

// A language as catalogues name it: "de", "en", "fr", "pt_BR".
using Language = std::string;
inline const Language kGerman{quarzello::kSourceLanguage};

// Loads the translations of every catalogue present; before serving, while
// no other thread looks texts up. Without it, the service speaks German only.
// Returns the translations (UTF-8, with their language) that hold a
// character beyond ISO-8859-1, which travels as "?".
std::vector<std::string> LoadServiceTexts(const quarzello::Catalogues& catalogues);
// The service's catalogues: the build tree's beside the program, else the
// installed ones.
quarzello::Catalogues ServiceCatalogues();
// German and every language loaded, German first.
std::vector<Language> ServiceLanguages();

// The language of the field lang of a form-encoded body (found even when the
// rest of the body cannot be decoded) when the service speaks it; German
// otherwise.
Language BodyLanguage(std::string_view body);

// The language a rankings page is shown in: "lang=XX" in the query when the
// service speaks it, else the one Accept-Language weighs highest of those
// the service speaks (the first listed of equal weights), else German.
struct PageLanguage {
  Language language = kGerman;
  bool fromQuery = false;  // then the page's own links keep it
};
PageLanguage ChoosePageLanguage(std::string_view query, std::string_view acceptLanguage);

// The text in that language. German texts are the keys; a text the
// catalogue lacks stays German. "%1", "%2" in a text stand for the values,
// in order.
std::string Translate(std::string_view german, const Language& language,
                      std::initializer_list<std::string_view> values = {});

// The language as HTML's lang attribute names it: "de", "pt-BR".
std::string HtmlLanguage(const Language& language);

}  // namespace highscored
