// The languages the tests show screens in: German and the build tree's catalogues.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "app/app.h"
#include "gameplay/texts.h"

namespace quarzello {

inline const Language& TestLanguage(const std::string& code) {
  static std::deque<Language> loaded;  // references handed out stay valid
  for (const Language& language : loaded) {
    if (language.code == code) return language;
  }
  return loaded.emplace_back(LoadLanguage(GameCatalogues(), code));
}

inline const Language& English() { return TestLanguage("en"); }

// German first, then every language with a catalogue.
inline std::vector<const Language*> EveryLanguage() {
  std::vector<const Language*> languages{&German()};
  for (const std::string& code : GameCatalogues().Present()) languages.push_back(&TestLanguage(code));
  return languages;
}

}  // namespace quarzello
