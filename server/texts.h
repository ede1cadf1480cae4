#pragma once

// The service's texts in English. Everything the service says is written in
// German where it is said; a reply for a client or a browser that asks for
// English passes it through Translate. The game names its language in the
// form field "lang" ("de" or "en"); browsers name theirs in Accept-Language,
// and "?lang=" in the address overrides that.

#include <initializer_list>
#include <string>
#include <string_view>

namespace highscored {

enum class Language { kGerman, kEnglish };

// English for the field lang=en of a form-encoded body (found even when the
// rest of the body cannot be decoded); German for anything else.
Language BodyLanguage(std::string_view body);

// The language a rankings page is shown in: "lang=de" or "lang=en" in the
// query when it has one, else English when Accept-Language prefers it to
// German, else German.
struct PageLanguage {
  Language language = Language::kGerman;
  bool fromQuery = false;  // then the page's own links keep it
};
PageLanguage ChoosePageLanguage(std::string_view query, std::string_view acceptLanguage);

// The text in that language. German texts are the keys; a text the table
// lacks stays German. "%1", "%2" in a text stand for the values, in order.
std::string Translate(std::string_view german, Language language,
                      std::initializer_list<std::string_view> values = {});

// "de" or "en", as HTML's lang attribute and the query name them.
const char* LanguageCode(Language language);

}  // namespace highscored
