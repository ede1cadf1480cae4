#include <gtest/gtest.h>

#include "widgets/frontend.h"
#include "platform/platform.h"

namespace quarzello::platform_test {

namespace {

class FontTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterEmbeddedFiles(); }
  void TearDown() override { SelectFont(nullptr); }
};

TEST_F(FontTest, GameFontHasTheGermanLettersButNoControlCodes) {
  const Font* font = LoadFontFile("incbin::lucidagrande.ttf", 14, 5);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->pixelSize, 14);
  EXPECT_EQ(font->style, 5);
  for (unsigned char c : std::string("AZaz09äöüÄÖÜß")) {
    const Glyph& glyph = font->glyphs[c];
    EXPECT_TRUE(glyph.present) << int(c);
    EXPECT_GT(glyph.advance, 2.0f) << int(c);
    EXPECT_GT(glyph.width * glyph.height, 0) << int(c);
    EXPECT_EQ(glyph.coverage.size(), static_cast<size_t>(glyph.width * glyph.height));
  }
  EXPECT_FALSE(font->glyphs[1].present);
  EXPECT_FALSE(font->glyphs[10].present);
  EXPECT_TRUE(font->glyphs[' '].present);
  EXPECT_TRUE(font->glyphs[' '].coverage.empty());
  EXPECT_GT(font->height, 14);
  EXPECT_LT(font->height, 24);
}

TEST_F(FontTest, GlyphsHangFromTheTopOfTheText) {
  const Font* font = LoadFontFile("incbin::lucidagrande.ttf", 36, 5);
  ASSERT_NE(font, nullptr);
  const Glyph& capital = font->glyphs['H'];
  const Glyph& small = font->glyphs['x'];
  const Glyph& umlaut = font->glyphs[0xC4];
  EXPECT_EQ(capital.top + capital.height, small.top + small.height);  // one baseline
  EXPECT_LT(umlaut.top, capital.top);                                  // the dots sit above
  EXPECT_GE(umlaut.top, 0);
}

TEST_F(FontTest, WidthsGrowWithTheSize) {
  Font* small = LoadFontFile("incbin::lucidagrande.ttf", 14, 5);
  Font* large = LoadFontFile("incbin::lucidagrande.ttf", 36, 5);
  SelectFont(small);
  const int smallWidth = StringWidth("Wählen");
  SelectFont(large);
  const int largeWidth = StringWidth("Wählen");
  EXPECT_GT(smallWidth, 30);
  EXPECT_GT(largeWidth, 2 * smallWidth);
  EXPECT_NE(small->id, large->id);
}

TEST_F(FontTest, DefaultFontIsBuiltIn) {
  SelectFont(nullptr);
  EXPECT_GT(StringWidth("Menü"), 0);
  EXPECT_GT(FontHeight(""), 0);
  EXPECT_TRUE(DefaultFont()->glyphs[0xFC].present);
}

TEST_F(FontTest, MissingOrBrokenFontIsNone) {
  static const uint8_t garbage[] = {0, 1, 0, 0, 9, 9};
  RegisterEmbeddedFile("broken.ttf", garbage, sizeof garbage);
  EXPECT_EQ(LoadFontFile("incbin::broken.ttf", 14, 5), nullptr);
  EXPECT_EQ(LoadFontFile("incbin::nothing.ttf", 14, 5), nullptr);
  EXPECT_EQ(LoadFontFile("incbin::lucidagrande.ttf", 0, 5), nullptr);
}

}  // namespace

}  // namespace quarzello::platform_test
