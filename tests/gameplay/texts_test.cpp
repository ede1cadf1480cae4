// The text table: the catalogues and the choice of language, every language
// complete and alike in its placeholders, UTF-8, and every text fitting its
// place on the 400 x 500 design canvas, measured in the game's own fonts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/app.h"
#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "gameplay/modes.h"
#include "gameplay/texts.h"
#include "platform/platform.h"
#include "tests/languages.h"

namespace quarzello::front_test {
namespace {

TextId Key(size_t index) { return static_cast<TextId>(index); }

std::multiset<std::string> Placeholders(const std::string& text) {
  std::multiset<std::string> found;
  for (size_t at = text.find('%'); at != std::string::npos && at + 1 < text.size(); at = text.find('%', at + 1))
    found.insert(text.substr(at, 2));
  return found;
}

bool IsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                        : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

TEST(Texts, TheBuildHasTheCataloguesOfEnglishAndFrench) {
  const std::vector<std::string> present = GameCatalogues().Present();
  EXPECT_EQ(present, (std::vector<std::string>{"en", "fr"}));
  EXPECT_EQ(English().code, "en");
  EXPECT_STREQ(TextIn(English(), TextId::DifficultyMedium), "Medium");
  EXPECT_STREQ(TextIn(TestLanguage("fr"), TextId::DifficultyMedium), "Moyen");
  // A language without a catalogue is German, named as German.
  EXPECT_EQ(TestLanguage("xx").code, "de");
  EXPECT_STREQ(TextIn(TestLanguage("xx"), TextId::DifficultyMedium), "Mittel");
}

TEST(Texts, OneGermanTextSaidTwoWaysHasAContext) {
  EXPECT_STREQ(TextIn(German(), TextId::Continue), "Weiter");
  EXPECT_STREQ(TextIn(German(), TextId::WatchGoOn), "Weiter");
  EXPECT_STREQ(TextIn(English(), TextId::Continue), "Continue");
  EXPECT_STREQ(TextIn(English(), TextId::WatchGoOn), "Play");
}

TEST(Texts, EveryLanguageHasEveryTextWithTheGermanPlaceholders) {
  for (const Language* language : EveryLanguage()) {
    ASSERT_EQ(language->texts.size(), kTextCount) << language->code;
    for (size_t i = 0; i < kTextCount; ++i) {
      const std::string german = TextIn(German(), Key(i));
      const std::string text = TextIn(*language, Key(i));
      EXPECT_FALSE(text.empty()) << language->code << " key " << i;
      EXPECT_EQ(Placeholders(german), Placeholders(text)) << language->code << ": " << german << " / " << text;
    }
  }
}

TEST(Texts, AreUtf8AndTheGermanOnesTheGamesOwn) {
  EXPECT_EQ(std::string(TextIn(German(), TextId::Back)), "Zur\xC3\xBC" "ck");
  EXPECT_EQ(std::string(TextIn(German(), TextId::NoEntries)), "Kein Eintr\xC3\xA4ge");
  for (const Language* language : EveryLanguage()) {
    for (size_t i = 0; i < kTextCount; ++i) EXPECT_TRUE(IsUtf8(TextIn(*language, Key(i)))) << language->code << " " << i;
  }
}

TEST(Texts, TheSelectionSwitchesEveryLookUpAndBack) {
  SelectLanguage(German());
  const std::string germanName = DifficultyName(Mittel);
  SelectLanguage(English());
  EXPECT_EQ(SelectedLanguage().code, "en");
  EXPECT_STREQ(Text(TextId::Continue), TextIn(English(), TextId::Continue));
  EXPECT_STREQ(DifficultyName(Mittel), TextIn(English(), TextId::DifficultyMedium));
  EXPECT_NE(DifficultyName(Mittel), germanName);
  SelectLanguage(German());
  EXPECT_EQ(SelectedLanguage().code, "de");
  EXPECT_EQ(DifficultyName(Mittel), germanName);
}

TEST(Texts, FormatFillsEachPlaceholderOnce) {
  EXPECT_EQ(FormatTextIn(English(), TextId::PageOf, {"2", "7"}), std::string("Page 2 of 7"));
  // A value is not searched for placeholders itself, and a missing one leaves nothing.
  const std::string name = FormatTextIn(German(), TextId::NameLine, {"%2%1"});
  EXPECT_NE(name.find("%2%1"), std::string::npos) << name;
  EXPECT_EQ(FormatTextIn(German(), TextId::PageOf, {"2"}).find('%'), std::string::npos);
}

// The desktop's settings as gettext reads them; "fr_FR.UTF-8" need not be an
// installed locale for its catalogue to be chosen.
TEST(Texts, TheGameFollowsTheDesktopsLanguage) {
  const Catalogues catalogues = GameCatalogues();
  const auto choose = [&](LocaleSettings desktop, const char* setting = nullptr) {
    return ChooseLanguageCode(catalogues, setting, desktop);
  };
  EXPECT_EQ(choose({.lang = "fr_FR.UTF-8"}), "fr");
  EXPECT_EQ(choose({.lang = "fr_CA.UTF-8@euro"}), "fr");
  EXPECT_EQ(choose({.language = "xx:fr", .lang = "de_DE.UTF-8"}), "fr") << "the list falls through";
  EXPECT_EQ(choose({.language = "en_GB:fr", .lang = "fr_FR.UTF-8"}), "en");
  EXPECT_EQ(choose({.language = "fr", .lang = "C.UTF-8"}), "fr");
  EXPECT_EQ(choose({.lcAll = "en_US.UTF-8", .lcMessages = "fr_FR.UTF-8", .lang = "fr_FR.UTF-8"}), "en");
  EXPECT_EQ(choose({.lcMessages = "fr_BE.UTF-8", .lang = "en_US.UTF-8"}), "fr");
  EXPECT_EQ(choose({.lcAll = "", .lcMessages = "", .lang = "en_US.UTF-8"}), "en") << "empty counts as unset";
  // German, the game's own language, when nothing matches or the locale is C.
  EXPECT_EQ(choose({.lang = "C"}), "de");
  EXPECT_EQ(choose({.language = "fr", .lang = "C"}), "de") << "gettext ignores LANGUAGE under C";
  EXPECT_EQ(choose({.language = "fr", .lang = "POSIX"}), "de");
  EXPECT_EQ(choose({.language = "fr"}), "de") << "no locale is C";
  EXPECT_EQ(choose({.lang = "es_ES.UTF-8"}), "de");
  EXPECT_EQ(choose({.language = "es:de:fr", .lang = "es_ES.UTF-8"}), "de") << "German ends the search";
  EXPECT_EQ(choose({.language = "../fr", .lang = "xx_YY.UTF-8"}), "de") << "no path out of the locale directory";
  // QUARZELLO_LANG overrides the desktop.
  EXPECT_EQ(choose({.lang = "fr_FR.UTF-8"}, "en"), "en");
  EXPECT_EQ(choose({.lang = "en_US.UTF-8"}, "fr_FR"), "fr");
  EXPECT_EQ(choose({.lang = "fr_FR.UTF-8"}, "de"), "de");
  EXPECT_EQ(choose({.lang = "fr_FR.UTF-8"}, "english"), "de") << "a setting no catalogue has is German";
  EXPECT_EQ(choose({.lang = "fr_FR.UTF-8"}, ""), "fr") << "an empty setting is none";
}

TEST(Texts, LookingUpLeavesTheEnvironmentAsItWas) {
  setenv("LANGUAGE", "es:it", 1);
  (void)LoadLanguage(GameCatalogues(), "fr");
  EXPECT_STREQ(std::getenv("LANGUAGE"), "es:it");
  unsetenv("LANGUAGE");
  (void)LoadLanguage(GameCatalogues(), "fr");
  EXPECT_EQ(std::getenv("LANGUAGE"), nullptr);
}

// ---------------------------------------------------------------- fitting the places

enum FontIndex { kSmall = 0, kLarge = 1, kLabel = 2 };
constexpr float kDescriptionWidth = 318;

struct Place {
  std::vector<TextId> texts;
  FontIndex font;
  float widest;  // design units
  const char* where;
};

std::vector<TextId> Range(TextId first, TextId last) {
  std::vector<TextId> keys;
  for (size_t i = static_cast<size_t>(first); i <= static_cast<size_t>(last); ++i) keys.push_back(Key(i));
  return keys;
}

// What each place leaves a text: the canvas less a margin, or the box of its widget.
std::vector<Place> Places() {
  return {
      // From x 30 to about 50 units before the right edge, as the German lines keep.
      {Range(TextId::ClassicLine1, TextId::RocksAppear), kSmall, kDescriptionWidth, "description lines at x 30"},
      {{TextId::ChooseMode, TextId::ChooseDifficulty, TextId::PauseHint, TextId::CreditsYear,
        TextId::CreditsCompany, TextId::CreditsProgramming, TextId::CreditsProgrammers, TextId::CreditsGraphics,
        TextId::CreditsArtists, TextId::CreditsWebsite, TextId::RefreshOnline},
       kSmall, 360, "centred small lines"},
      // Menu entries grow to full size under the mouse.
      {{TextId::MenuPlay, TextId::MenuHighscore, TextId::MenuCredits, TextId::MenuQuit, TextId::Back,
        TextId::ModeClassic, TextId::ModeTurbo, TextId::ModeLevel, TextId::DifficultyEasy,
        TextId::DifficultyMedium, TextId::DifficultyHard, TextId::AbandonGame, TextId::Continue, TextId::Cancel,
        TextId::BackToMenu, TextId::PauseTitle, TextId::HighscoreTitle, TextId::NewHighscoreTitle,
        TextId::GameOverNews},
       kLarge, 360, "menu entries and titles"},
      // The three panels of the head-up display and the table's tabs.
      {{TextId::ModeClassic, TextId::ModeTurbo, TextId::ModeLevel, TextId::DifficultyEasy,
        TextId::DifficultyMedium, TextId::DifficultyHard, TextId::LocalList, TextId::OnlineList},
       kSmall, 100, "tabs of 116 units"},
      // Above the wells of the panels, which are 98 units wide.
      {{TextId::PanelScore, TextId::PanelMode, TextId::PanelLevel}, kLabel, 90, "the panels' labels"},
      // The checkbox label starts at x 65.
      {{TextId::SaveOnline}, kSmall, 300, "the checkbox label"},
      // The connection notice's lines start at x 40.
      {{TextId::ConnectingTo, TextId::Registering, TextId::Submitting, TextId::Fetching}, kSmall, 320,
       "the connection notice"},
  };
}

class TextPlaces : public ::testing::Test {
 protected:
  void SetUp() override {
    static const bool registered = [] {
      RegisterEmbeddedFiles();
      for (const Language* language : EveryLanguage()) {
        for (const std::string& text : language->texts) AddFontCharacters(text);
      }
      return true;
    }();
    (void)registered;
    if (TFont::font(0) == nullptr || TFont::font(1) == nullptr) TFont::load();
    ASSERT_NE(TFont::font(1), nullptr);
    ASSERT_NE(TFont::font(2), nullptr);
  }
  void TearDown() override { SelectLanguage(German()); }
};

TEST_F(TextPlaces, EveryTextFitsItsPlaceInEveryLanguage) {
  for (const Place& place : Places()) {
    TFont::set(place.font);
    for (const Language* language : EveryLanguage()) {
      for (TextId id : place.texts) {
        const std::string text = TextIn(*language, id);
        EXPECT_LE(StringWidth(text), place.widest) << language->code << ": \"" << text << "\" in " << place.where;
      }
    }
  }
}

TEST_F(TextPlaces, EveryCharacterOfEveryTextHasAGlyphInEveryFont) {
  for (int font = kSmall; font <= kLabel; ++font) {
    for (const Language* language : EveryLanguage()) {
      for (size_t i = 0; i < kTextCount; ++i) {
        const std::string text = TextIn(*language, Key(i));
        for (uint32_t code : CodePointsFromUtf8(text)) {
          if (code < 0x20) continue;  // the line break of a message box, which the desktop draws
          EXPECT_NE(FindGlyph(*TFont::font(font), code), nullptr)
              << language->code << ": U+" << std::hex << code << " of \"" << text << "\" in font " << font;
        }
      }
    }
  }
}

TEST_F(TextPlaces, TranslatedDescriptionsKeepTheirShape) {
  // Broken by hand like the German ones: no line ends in a space or is left
  // so short that the next line's first word would still have fitted.
  TFont::set(kSmall);
  const std::vector<TextId> lines = Range(TextId::ClassicLine1, TextId::LevelLine5);
  for (const Language* language : EveryLanguage()) {
    if (language == &German()) continue;  // the game's own lines, hyphens and all
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string line = TextIn(*language, lines[i]);
      EXPECT_NE(line.back(), ' ') << language->code << ": " << line;
      if (i % 5 == 4) continue;  // the last line of a description
      const std::string next = TextIn(*language, lines[i + 1]);
      const std::string joined = line + " " + next.substr(0, next.find(' '));
      EXPECT_GT(StringWidth(joined), kDescriptionWidth)
          << language->code << ": \"" << line << "\" could take \"" << next << '"';
    }
  }
}

TEST(StartScale, HighDpiDoublesTheWindowWhenItFits) {
  constexpr int kFullHd[] = {1920, 1200};
  EXPECT_EQ(StartScaleFactor("192", kFullHd[0], kFullHd[1]), 2);
  EXPECT_EQ(StartScaleFactor("144", kFullHd[0], kFullHd[1]), 2);
  EXPECT_EQ(StartScaleFactor("288.5", 3840, 2160), 2) << "never more than twice the size";
  EXPECT_EQ(StartScaleFactor(" 192\n", kFullHd[0], kFullHd[1]), 2);
  EXPECT_EQ(StartScaleFactor("143.9", kFullHd[0], kFullHd[1]), 1);
  EXPECT_EQ(StartScaleFactor("96", kFullHd[0], kFullHd[1]), 1);
  EXPECT_EQ(StartScaleFactor("", kFullHd[0], kFullHd[1]), 1);
  for (const char* junk : {"abc", "192dpi", "nan", "inf", "-192", "1e400"})
    EXPECT_EQ(StartScaleFactor(junk, kFullHd[0], kFullHd[1]), 1) << junk;
}

TEST(StartScale, TheDoubledAreaMustFitNinetyPercentOfTheWorkArea) {
  EXPECT_EQ(StartScaleFactor("192", 1280, 1024), 1) << "1000 rows need 1112";
  EXPECT_EQ(StartScaleFactor("192", 1280, 1112), 2);
  EXPECT_EQ(StartScaleFactor("192", 1280, 1111), 1);
  EXPECT_EQ(StartScaleFactor("192", 889, 1200), 2);
  EXPECT_EQ(StartScaleFactor("192", 888, 1200), 1);
  EXPECT_EQ(StartScaleFactor("192", 300, 300), 1) << "the written size even when nothing fits";
}

}  // namespace
}  // namespace quarzello::front_test
