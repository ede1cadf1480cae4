// The service's texts: every language of the build tree loaded before any
// test, the French ones found, and every text fit for the wire.
#include <gtest/gtest.h>

#include <string>

#include "server/texts.h"

namespace highscored {
namespace {

std::vector<std::string> unfitTexts;

class ServiceTextsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    unfitTexts = LoadServiceTexts(quarzello::Catalogues("quarzello-highscored", QUARZELLO_BUILD_LOCALEDIR));
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ServiceTextsEnvironment);

TEST(ServiceTextsTest, EveryCatalogueOfTheBuildIsSpoken) {
  EXPECT_EQ(ServiceLanguages(), (std::vector<Language>{"de", "en", "fr"}));
  EXPECT_EQ(Translate("Schwer", "en"), "Hard");
  EXPECT_EQ(Translate("Schwer", "fr"), "Difficile");
  EXPECT_EQ(Translate("Schwer", "xx"), "Schwer");
  EXPECT_EQ(Translate("Kein Text des Dienstes", "fr"), "Kein Text des Dienstes");
  EXPECT_EQ(Translate("Seite %1 von %2", "fr", {"2", "7"}).find('%'), std::string::npos);
}

TEST(ServiceTextsTest, TheGameNamesItsLanguageInTheBody) {
  EXPECT_EQ(BodyLanguage("name=Anna&lang=fr&pts=1"), "fr");
  EXPECT_EQ(BodyLanguage("register=yes&lang=en\r\n"), "en");
  EXPECT_EQ(BodyLanguage("lang=xx"), "de");
  EXPECT_EQ(BodyLanguage("lang=../../etc"), "de");
  EXPECT_EQ(BodyLanguage("name=%zz&lang=fr"), "fr") << "found in a body that cannot be decoded";
  EXPECT_EQ(BodyLanguage("register=yes"), "de");
}

// The wire and the page's source are ISO-8859-1: a translation may use any
// character of it, and one beyond it would arrive as "?".
TEST(ServiceTextsTest, EveryTranslationTravelsAsIso88591) {
  for (const std::string& text : unfitTexts) ADD_FAILURE() << text;
  const quarzello::Catalogues curly("quarzello-highscored", QUARZELLO_TEST_CATALOGUES);
  const std::vector<std::string> planted = LoadServiceTexts(curly);
  ASSERT_EQ(planted.size(), 1u);
  EXPECT_EQ(planted[0], "xx: Le serveur n\xE2\x80\x99" "accepte que les requ\xC3\xAA" "tes POST.");
  EXPECT_EQ(Translate("Der Highscore-Server nimmt nur POST-Anfragen an.", "xx"),
            "Le serveur n?accepte que les requ\xEA" "tes POST.");
  LoadServiceTexts(quarzello::Catalogues("quarzello-highscored", QUARZELLO_BUILD_LOCALEDIR));

  for (const Language& language : ServiceLanguages()) {
    for (const char* german : {"Die Prüfsumme des Punktwerts stimmt nicht. Er wurde nicht gespeichert.",
                               "Der Highscore-Server prüft gerade zu viele Aufzeichnungen. Bitte versuchen Sie es "
                               "später erneut.",
                               "nachgespielt und bestätigt: die Aufzeichnung laden", "Die Anfrage ist zu groß.",
                               "Diese Adresse ist nur zum Lesen da."}) {
      const std::string text = Translate(german, language);
      EXPECT_EQ(text.find('?'), std::string::npos) << language << ": " << text;
      if (language != "de") {
        EXPECT_NE(text, german) << language;
      }
    }
  }
  EXPECT_EQ(HtmlLanguage("pt_BR"), "pt-BR");
  EXPECT_EQ(HtmlLanguage("sr@latin"), "sr");
}

}  // namespace
}  // namespace highscored
