// Translations the way the desktop does them: the system's gettext looks each
// text up in a compiled catalogue (a .mo file under a locale directory), and
// the desktop's settings say which languages the player reads.
//
// The game's own texts are German and are the catalogues' keys (msgids), so
// German needs no catalogue and is what any text without a translation shows.
// A key may carry a context, "context\004text", for one German text that
// other languages say in two ways; the German is the part after the context.
//
// Look-ups happen once per language, at start-up, not per text drawn: the
// results are plain strings afterwards, so threads and the 60-Hz loop never
// call into gettext.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarzello {

// The code of the game's own language, which has no catalogue.
inline constexpr std::string_view kSourceLanguage = "de";

// The settings gettext reads, each nullptr when unset.
struct LocaleSettings {
  const char* language = nullptr;    // LANGUAGE: a colon-separated list of languages
  const char* lcAll = nullptr;       // LC_ALL
  const char* lcMessages = nullptr;  // LC_MESSAGES
  const char* lang = nullptr;        // LANG
};
LocaleSettings LocaleSettingsFromEnvironment();

// The catalogue names those settings ask for, most wanted first, as gettext
// tries them: the locale of messages is the first set of LC_ALL, LC_MESSAGES
// and LANG; LANGUAGE's list comes before it, except when that locale is C or
// POSIX (or none), where gettext translates nothing. Each name is tried with
// its territory and then without: "fr_CA.UTF-8" asks for "fr_CA", then "fr".
std::vector<std::string> RequestedLanguages(const LocaleSettings& settings);

// The catalogues of one text domain in one locale directory
// (DIRECTORY/LANGUAGE/LC_MESSAGES/DOMAIN.mo).
class Catalogues {
 public:
  Catalogues(std::string domain, std::string directory);

  // Whether the language is the source language or has a catalogue.
  bool Has(std::string_view language) const;
  // The first of the languages that Has, or the source language.
  std::string Choose(std::span<const std::string> requested) const;
  // Every language with a catalogue, sorted.
  std::vector<std::string> Present() const;
  // The keys' texts in that language, UTF-8; a key its catalogue lacks (or
  // any key, for the source language) gives its German text. Not to be
  // called while another thread looks texts up through gettext.
  std::vector<std::string> Translate(std::string_view language, std::span<const char* const> keys) const;

  const std::string& directory() const { return directory_; }

 private:
  std::string domain_;
  std::string directory_;
};

// The German text of a key: the key without its context.
std::string_view SourceText(std::string_view key);

// The locale directory of a program: "locale" beside its executable when
// there is one (the build tree), else the installed one.
std::string CatalogueDirectory(const char* installed);

}  // namespace quarzello

// Marks a catalogue key where it is written, for xgettext
// (--keyword=N_ --keyword=NC_:1c,2); NC_ gives it a context.
#define N_(text) text
#define NC_(context, text) context "\004" text
