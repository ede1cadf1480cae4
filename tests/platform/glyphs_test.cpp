// Characters above ISO-8859-1: UTF-8 texts measured and laid out with the
// glyphs AddFontCharacters adds. The added characters stay for the whole
// test program, so each test adds its own.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace quarzello::platform_test {

namespace {

struct Quad {
  uint32_t code;
  float x0, y0, x1, y1;
  bool operator==(const Quad&) const = default;
};

std::vector<Quad> QuadsOf(const Font* font, const std::string& text) {
  DrawCommand command;
  command.kind = DrawCommand::kText;
  command.font = font;
  command.text = text;
  command.x = 10;
  command.y = 20;
  std::vector<Quad> quads;
  ForEachGlyphQuad(command, [&](uint32_t code, float x0, float y0, float x1, float y1) {
    quads.push_back({code, x0, y0, x1, y1});
  });
  return quads;
}

std::vector<uint32_t> CodesOf(const std::vector<Quad>& quads) {
  std::vector<uint32_t> codes;
  for (const Quad& quad : quads) codes.push_back(quad.code);
  return codes;
}

Font* GameFont() { return LoadFontFile(QUARZELLO_RESOURCES_DIR "/lucidagrande.ttf", 14, 5); }

class Glyphs : public ::testing::Test {
 protected:
  void TearDown() override { SelectFont(nullptr); }
};

}  // namespace

TEST_F(Glyphs, CharactersAboveLatin1DrawOnlyOnceAddedToLoadedAndLaterFonts) {
  // French quotes around a Cyrillic letter, with a Greek lambda and a per-mille
  // sign: characters that no catalogue of the game holds, so that no test
  // before this one has given them to the fonts.
  const std::string text = "\xC2\xAB\xE2\x80\xAF\xCE\xBB\xE2\x80\xB0\xD0\x96\xE2\x80\xAF\xC2\xBB";
  Font* font = GameFont();
  ASSERT_NE(font, nullptr);
  SelectFont(font);
  EXPECT_EQ(CodePointsWithoutGlyph(*font, text), (std::vector<uint32_t>{0x202F, 0x3BB, 0x2030, 0x416}));
  EXPECT_EQ(StringWidth(text), StringWidth("\xAB\xBB"));  // the rest is skipped
  EXPECT_EQ(CodesOf(QuadsOf(font, text)), (std::vector<uint32_t>{0xAB, 0xBB}));

  const uint32_t generation = font->generation;
  AddFontCharacters(text);
  EXPECT_NE(font->generation, generation);  // backends must build their atlas again
  EXPECT_TRUE(CodePointsWithoutGlyph(*font, text).empty());
  const Glyph* narrowSpace = FindGlyph(*font, 0x202F);
  ASSERT_NE(narrowSpace, nullptr);
  EXPECT_GT(narrowSpace->advance, 1.0f);
  EXPECT_LT(narrowSpace->advance, FindGlyph(*font, ' ')->advance);
  EXPECT_GT(StringWidth(text), StringWidth("\xAB\xBB") + 20);

  const std::vector<Quad> quads = QuadsOf(font, text);
  EXPECT_EQ(CodesOf(quads), (std::vector<uint32_t>{0xAB, 0x3BB, 0x2030, 0x416, 0xBB}));  // spaces have no pixels
  for (size_t i = 0; i < quads.size(); ++i) {
    const Glyph* glyph = FindGlyph(*font, quads[i].code);
    EXPECT_EQ(quads[i].x1 - quads[i].x0, static_cast<float>(glyph->width)) << i;
    EXPECT_EQ(quads[i].y1 - quads[i].y0, static_cast<float>(glyph->height)) << i;
    if (i > 0) {
      EXPECT_GT(quads[i].x0, quads[i - 1].x0) << i;
    }
  }

  // A font loaded afterwards has the same glyphs; adding them again changes nothing.
  Font* later = GameFont();
  EXPECT_EQ(QuadsOf(later, text), quads);
  const uint32_t settled = font->generation;
  AddFontCharacters(text + "abc");
  EXPECT_EQ(font->generation, settled);
}

TEST_F(Glyphs, Latin1BytesDrawAsTheirUtf8Spelling) {
  Font* font = GameFont();
  ASSERT_NE(font, nullptr);
  SelectFont(font);
  EXPECT_EQ(StringWidth("Zur\xFC" "ck"), StringWidth("Zur\xC3\xBC" "ck"));
  EXPECT_EQ(QuadsOf(font, "Zur\xFC" "ck"), QuadsOf(font, "Zur\xC3\xBC" "ck"));
  EXPECT_EQ(QuadsOf(font, "Zur\xFC" "ck").size(), 6u);
  // A lead byte without its continuation is a Latin-1 letter of its own.
  EXPECT_EQ(QuadsOf(font, "\xC3" "A"), QuadsOf(font, "\xC3\x83" "A"));
  EXPECT_EQ(StringWidth("\xC3" "A"), StringWidth("\xC3\x83" "A"));
}

TEST_F(Glyphs, CharactersTheFontLacksAreReportedOnceEach) {
  Font* font = GameFont();
  ASSERT_NE(font, nullptr);
  // A Chinese letter the font has no glyph for, a control code, and a smiley it does have.
  const std::string text = "a\xE4\xB8\xAD" "b\x01 \xE4\xB8\xAD\xF0\x9F\x98\x80";
  AddFontCharacters(text);
  EXPECT_EQ(CodePointsWithoutGlyph(*font, text), (std::vector<uint32_t>{0x4E2D, 0x01}));
  EXPECT_EQ(FindGlyph(*font, 0x4E2D), nullptr);
  EXPECT_NE(FindGlyph(*font, 0x1F600), nullptr);
  EXPECT_EQ(CodesOf(QuadsOf(font, text)), (std::vector<uint32_t>{'a', 'b', 0x1F600}));
}

}  // namespace quarzello::platform_test
