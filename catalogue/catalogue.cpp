#include "catalogue/catalogue.h"

#include <libintl.h>
#include <locale.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

// glibc's count of catalogue changes: a look-up cached under another value
// is looked up again, which a changed LANGUAGE needs.
extern "C" int _nl_msg_cat_cntr;

namespace quarzello {

namespace {

const char* Nonempty(const char* value) { return value != nullptr && value[0] != '\0' ? value : nullptr; }

// "fr_CA.UTF-8@euro" gives "fr_CA@euro", "fr_CA" and "fr"; the codeset never
// names a catalogue.
void AddCandidates(std::string_view name, std::vector<std::string>& list) {
  const size_t at = name.find('@');
  const std::string_view modifier = at == std::string_view::npos ? std::string_view() : name.substr(at);
  std::string_view base = name.substr(0, at);
  base = base.substr(0, base.find('.'));
  if (base.empty()) return;
  std::vector<std::string> candidates;
  if (!modifier.empty()) candidates.push_back(std::string(base) + std::string(modifier));
  candidates.emplace_back(base);
  const size_t underscore = base.find('_');
  if (underscore != std::string_view::npos && underscore > 0) candidates.emplace_back(base.substr(0, underscore));
  for (std::string& candidate : candidates) {
    if (std::find(list.begin(), list.end(), candidate) == list.end()) list.push_back(std::move(candidate));
  }
}

// Sets LANGUAGE and a messages locale that is not C for the time of the
// look-ups (gettext ignores LANGUAGE under C, and the desktop's own locale may
// not be installed), and puts both back afterwards.
class LookupLanguage {
 public:
  explicit LookupLanguage(std::string_view language) {
    if (const char* previous = std::getenv("LANGUAGE")) previous_ = previous;
    setenv("LANGUAGE", std::string(language).c_str(), 1);
    messages_ = newlocale(LC_MESSAGES_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (messages_ != static_cast<locale_t>(nullptr)) outer_ = uselocale(messages_);
    ++_nl_msg_cat_cntr;
  }
  ~LookupLanguage() {
    if (previous_) {
      setenv("LANGUAGE", previous_->c_str(), 1);
    } else {
      unsetenv("LANGUAGE");
    }
    if (messages_ != static_cast<locale_t>(nullptr)) {
      uselocale(outer_);
      freelocale(messages_);
    }
    ++_nl_msg_cat_cntr;
  }
  LookupLanguage(const LookupLanguage&) = delete;
  LookupLanguage& operator=(const LookupLanguage&) = delete;

 private:
  std::optional<std::string> previous_;
  locale_t messages_ = static_cast<locale_t>(nullptr);
  locale_t outer_ = static_cast<locale_t>(nullptr);
};

}  // namespace

LocaleSettings LocaleSettingsFromEnvironment() {
  return {std::getenv("LANGUAGE"), std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG")};
}

std::vector<std::string> RequestedLanguages(const LocaleSettings& settings) {
  const char* locale = Nonempty(settings.lcAll);
  if (locale == nullptr) locale = Nonempty(settings.lcMessages);
  if (locale == nullptr) locale = Nonempty(settings.lang);
  const std::string_view name = locale != nullptr ? locale : "C";
  std::vector<std::string> list;
  if (name == "C" || name == "POSIX") return list;
  if (const char* languages = Nonempty(settings.language)) {
    std::string_view rest = languages;
    while (!rest.empty()) {
      const size_t colon = rest.find(':');
      AddCandidates(rest.substr(0, colon), list);
      rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
  }
  // C.UTF-8 names a codeset, not a language.
  if (name.substr(0, 2) != "C.") AddCandidates(name, list);
  return list;
}

Catalogues::Catalogues(std::string domain, std::string directory)
    : domain_(std::move(domain)), directory_(std::move(directory)) {
  bindtextdomain(domain_.c_str(), directory_.c_str());
  bind_textdomain_codeset(domain_.c_str(), "UTF-8");
}

bool Catalogues::Has(std::string_view language) const {
  if (language == kSourceLanguage) return true;
  // A name that could leave the locale directory is no language.
  if (language.empty() || language.find('/') != std::string_view::npos || language.find("..") != std::string_view::npos) {
    return false;
  }
  std::error_code error;
  const std::filesystem::path file =
      std::filesystem::path(directory_) / std::string(language) / "LC_MESSAGES" / (domain_ + ".mo");
  return std::filesystem::is_regular_file(file, error);
}

std::string Catalogues::Choose(std::span<const std::string> requested) const {
  for (const std::string& language : requested) {
    if (Has(language)) return language;
  }
  return std::string(kSourceLanguage);
}

std::vector<std::string> Catalogues::Present() const {
  std::vector<std::string> languages;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory_, error)) {
    const std::string name = entry.path().filename().string();
    if (name != kSourceLanguage && Has(name)) languages.push_back(name);
  }
  std::sort(languages.begin(), languages.end());
  return languages;
}

std::vector<std::string> Catalogues::Translate(std::string_view language, std::span<const char* const> keys) const {
  std::vector<std::string> texts;
  texts.reserve(keys.size());
  if (language == kSourceLanguage || !Has(language)) {
    for (const char* key : keys) texts.emplace_back(SourceText(key));
    return texts;
  }
  const LookupLanguage lookup(language);
  for (const char* key : keys) {
    const char* text = dgettext(domain_.c_str(), key);
    // gettext hands back the key itself when it has no translation.
    texts.emplace_back(text == key ? SourceText(key) : std::string_view(text));
  }
  return texts;
}

std::string_view SourceText(std::string_view key) {
  const size_t context = key.find('\004');
  return context == std::string_view::npos ? key : key.substr(context + 1);
}

std::string CatalogueDirectory(const char* installed) {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path beside = program.parent_path() / "locale";
    if (std::filesystem::is_directory(beside, error)) return beside.string();
  }
  return installed;
}

}  // namespace quarzello
