// The text table: the choice of language, both sets complete and alike in
// their placeholders, one byte per character, and every text fitting its
// place on the 400 x 500 design canvas, measured in the game's own fonts.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/app.h"
#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "gameplay/modes.h"
#include "gameplay/texts.h"
#include "platform/platform.h"

namespace quarzello::front_test {
namespace {

constexpr Language kLanguages[] = {Language::German, Language::English};

TextId Key(size_t index) { return static_cast<TextId>(index); }

std::multiset<std::string> Placeholders(const std::string& text) {
  std::multiset<std::string> found;
  for (size_t at = text.find('%'); at != std::string::npos && at + 1 < text.size(); at = text.find('%', at + 1))
    found.insert(text.substr(at, 2));
  return found;
}

TEST(Texts, OnlyEnSelectsEnglish) {
  EXPECT_EQ(LanguageFromSetting("en"), Language::English);
  for (const char* other : {"", "de", "EN", "en_GB", "en_US.UTF-8", "english", " en", "fr"})
    EXPECT_EQ(LanguageFromSetting(other), Language::German) << other;
  EXPECT_EQ(LanguageFromSetting(nullptr), Language::German);
  EXPECT_STREQ(LanguageCode(Language::German), "de");
  EXPECT_STREQ(LanguageCode(Language::English), "en");
}

TEST(Texts, BothSetsHaveEveryTextWithTheSamePlaceholders) {
  for (size_t i = 0; i < kTextCount; ++i) {
    const std::string german = TextIn(Language::German, Key(i));
    const std::string english = TextIn(Language::English, Key(i));
    EXPECT_FALSE(german.empty()) << "key " << i;
    EXPECT_FALSE(english.empty()) << "key " << i;
    EXPECT_EQ(Placeholders(german), Placeholders(english)) << german << " / " << english;
  }
}

TEST(Texts, AreOneBytePerCharacter) {
  // A text compiled as UTF-8 would show two odd characters for every umlaut.
  EXPECT_EQ(std::string(TextIn(Language::German, TextId::Back)).size(), 6u);
  for (Language language : kLanguages) {
    for (size_t i = 0; i < kTextCount; ++i) {
      const std::string text = TextIn(language, Key(i));
      for (size_t k = 0; k + 1 < text.size(); ++k) {
        const auto lead = static_cast<unsigned char>(text[k]), next = static_cast<unsigned char>(text[k + 1]);
        EXPECT_FALSE(lead >= 0xC2 && lead <= 0xC3 && next >= 0x80 && next <= 0xBF) << text;
      }
    }
  }
}

TEST(Texts, TheSelectionSwitchesEveryLookUpAndBack) {
  SelectLanguage(Language::German);
  const std::string germanName = DifficultyName(Mittel);
  SelectLanguage(Language::English);
  EXPECT_EQ(SelectedLanguage(), Language::English);
  EXPECT_STREQ(Text(TextId::Continue), TextIn(Language::English, TextId::Continue));
  EXPECT_STREQ(DifficultyName(Mittel), TextIn(Language::English, TextId::DifficultyMedium));
  EXPECT_NE(DifficultyName(Mittel), germanName);
  SelectLanguage(Language::German);
  EXPECT_EQ(SelectedLanguage(), Language::German);
  EXPECT_EQ(DifficultyName(Mittel), germanName);
}

TEST(Texts, FormatFillsEachPlaceholderOnce) {
  EXPECT_EQ(FormatTextIn(Language::English, TextId::PageOf, {"2", "7"}),
            std::string("Page 2 of 7"));
  // A value is not searched for placeholders itself, and a missing one leaves nothing.
  const std::string name = FormatTextIn(Language::German, TextId::NameLine, {"%2%1"});
  EXPECT_NE(name.find("%2%1"), std::string::npos) << name;
  EXPECT_EQ(FormatTextIn(Language::German, TextId::PageOf, {"2"}).find('%'), std::string::npos);
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
    static const bool registered = (RegisterEmbeddedFiles(), true);
    (void)registered;
    if (TFont::font(0) == nullptr || TFont::font(1) == nullptr) TFont::load();
    ASSERT_NE(TFont::font(1), nullptr);
    ASSERT_NE(TFont::font(2), nullptr);
  }
  void TearDown() override { SelectLanguage(Language::German); }
};

TEST_F(TextPlaces, EveryTextFitsItsPlaceInBothLanguages) {
  for (const Place& place : Places()) {
    TFont::set(place.font);
    for (Language language : kLanguages) {
      for (TextId id : place.texts) {
        const std::string text = TextIn(language, id);
        EXPECT_LE(StringWidth(text), place.widest) << '"' << text << "\" in " << place.where;
      }
    }
  }
}

TEST_F(TextPlaces, EnglishDescriptionsKeepTheirShape) {
  // Broken by hand like the German ones: no line ends in a space or is left
  // so short that the next line's first word would still have fitted.
  TFont::set(kSmall);
  const std::vector<TextId> lines = Range(TextId::ClassicLine1, TextId::LevelLine5);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line = TextIn(Language::English, lines[i]);
    EXPECT_NE(line.back(), ' ') << line;
    if (i % 5 == 4) continue;  // the last line of a description
    const std::string next = TextIn(Language::English, lines[i + 1]);
    const std::string joined = line + " " + next.substr(0, next.find(' '));
    EXPECT_GT(StringWidth(joined), kDescriptionWidth) << '"' << line << "\" could take \"" << next << '"';
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
