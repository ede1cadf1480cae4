#include "platform/damage.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/platform.h"
#include "tests/gameplay/stand_in_images.h"

namespace quarzello::platform_test {

namespace {

constexpr int kWidth = 400, kHeight = 500;

using gameplay_test::StandIn;

DrawCommand Clear(int width = kWidth, int height = kHeight) {
  DrawCommand command;
  command.viewWidth = width;
  command.viewHeight = height;
  return command;
}

DrawCommand Draw(const Image& image, float x, float y, int frame = 0, float scale = 1) {
  DrawCommand command = Clear();
  command.kind = DrawCommand::kImage;
  command.image = &image;
  command.frame = frame;
  command.x = x;
  command.y = y;
  command.sx = command.sy = scale;
  return command;
}

DrawCommand Write(const Font* font, const std::string& text, float x, float y) {
  DrawCommand command = Clear();
  command.kind = DrawCommand::kText;
  command.font = font;
  command.text = text;
  command.x = x;
  command.y = y;
  return command;
}

// Whether every pixel of `inner` lies in one of the rectangles.
bool Covered(const std::vector<PixelRect>& rects, const PixelRect& inner) {
  for (int y = inner.y0; y < inner.y1; ++y) {
    for (int x = inner.x0; x < inner.x1; ++x) {
      bool inside = false;
      for (const PixelRect& r : rects) inside |= x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1;
      if (!inside) return false;
    }
  }
  return true;
}

bool Overlap(const PixelRect& a, const PixelRect& b) { return !Intersection(a, b).Empty(); }

long long AreaOf(const Damage& damage) {
  long long area = 0;
  for (const PixelRect& r : damage.rects) area += r.Area();
  return area;
}

class DamageTest : public ::testing::Test {
 protected:
  Image background = StandIn(400, 500, 1, false);
  Image stones = StandIn(32, 32, 10, true);
  DisplayList Board() {
    DisplayList list{Clear(), Draw(background, 0, 0)};
    for (int i = 0; i < 10; ++i) list.push_back(Draw(stones, 40.0f + 20 * i, 100, i % 3));
    return list;
  }
};

}  // namespace

TEST_F(DamageTest, UnchangedListsHaveNoDamage) {
  const DisplayList list = Board();
  const Damage damage = DamageBetween(list, list, kWidth, kHeight);
  EXPECT_FALSE(damage.full);
  EXPECT_TRUE(damage.rects.empty());
  EXPECT_TRUE(DamageBetween({}, {}, kWidth, kHeight).rects.empty());
}

TEST_F(DamageTest, MovedSpriteDamagesWhereItWasAndWhereItIs) {
  DisplayList before = Board(), after = Board();
  after.push_back(Draw(stones, 300, 400, 1));
  before.push_back(Draw(stones, 300, 300, 1));
  const Damage damage = DamageBetween(before, after, kWidth, kHeight);
  ASSERT_FALSE(damage.full);
  // 32 x 32 centred on its position, and the margin around it.
  EXPECT_TRUE(Covered(damage.rects, {284, 284, 316, 316}));
  EXPECT_TRUE(Covered(damage.rects, {284, 384, 316, 416}));
  EXPECT_LE(AreaOf(damage), 2 * 36 * 36);
  for (const PixelRect& r : damage.rects) EXPECT_FALSE(Overlap(r, {0, 0, 400, 250})) << r.y0;
}

TEST_F(DamageTest, ChangeOfBlendOrAlphaOnlyDamagesThatSprite) {
  const DisplayList before = Board();
  DisplayList blend = Board(), alpha = Board(), colour = Board();
  blend[5].blend = kBlendLight;
  alpha[5].alpha = 0.25f;
  colour[5].green = 10;
  const PixelRect sprite{40 + 20 * 3 - 16, 84, 40 + 20 * 3 + 16, 116};
  for (const DisplayList* after : {&blend, &alpha, &colour}) {
    const Damage damage = DamageBetween(before, *after, kWidth, kHeight);
    ASSERT_FALSE(damage.full);
    ASSERT_EQ(damage.rects.size(), 1u);
    EXPECT_TRUE(Covered(damage.rects, sprite));
    EXPECT_LE(damage.rects[0].Area(), 36 * 36);
  }
}

TEST_F(DamageTest, ListThatGrewOrShrankDamagesOnlyTheCommandsAddedOrRemoved) {
  const DisplayList before = Board();
  DisplayList grown = Board(), shrunk = Board();
  grown.insert(grown.begin() + 4, Draw(stones, 200, 300, 2));  // drawn under the later stones
  shrunk.erase(shrunk.begin() + 6);
  Damage damage = DamageBetween(before, grown, kWidth, kHeight);
  ASSERT_EQ(damage.rects.size(), 1u);
  EXPECT_EQ(damage.rects[0], (PixelRect{182, 282, 218, 318}));
  damage = DamageBetween(grown, before, kWidth, kHeight);
  ASSERT_EQ(damage.rects.size(), 1u);
  EXPECT_EQ(damage.rects[0], (PixelRect{182, 282, 218, 318}));
  damage = DamageBetween(before, shrunk, kWidth, kHeight);
  ASSERT_EQ(damage.rects.size(), 1u);
  EXPECT_TRUE(Covered(damage.rects, {40 + 20 * 4 - 16, 84, 40 + 20 * 4 + 16, 116}));
  EXPECT_LE(damage.rects[0].Area(), 36 * 36);
  // Grown at the end, and shrunk back.
  DisplayList appended = Board();
  appended.push_back(Draw(stones, 10, 10, 0));
  EXPECT_EQ(DamageBetween(before, appended, kWidth, kHeight).rects, (std::vector<PixelRect>{{0, 0, 28, 28}}));
  EXPECT_EQ(DamageBetween(appended, before, kWidth, kHeight).rects, (std::vector<PixelRect>{{0, 0, 28, 28}}));
}

TEST_F(DamageTest, TwoOverlappingSpritesSwappedDamageWhereTheyOverlap) {
  DisplayList before = Board(), after = Board();
  std::swap(after[3], after[4]);  // 44..76 and 64..96: which is on top changes
  const Damage damage = DamageBetween(before, after, kWidth, kHeight);
  ASSERT_FALSE(damage.rects.empty());
  EXPECT_TRUE(Covered(damage.rects, {64, 84, 76, 116}));
  // One of them moved in the order, the other kept its place.
  EXPECT_LE(AreaOf(damage), 36 * 36);
}

TEST_F(DamageTest, ScaledSpriteAtFractionsIncludesItsRoundingMargin) {
  DisplayList before = Board(), after = Board();
  after.push_back(Draw(stones, 100.3f, 200.7f, 1, 1.37f));
  const Damage damage = DamageBetween(before, after, kWidth, kHeight);
  ASSERT_EQ(damage.rects.size(), 1u);
  const float half = 16 * 1.37f;
  // Every pixel whose centre the quad may reach, and one more around.
  const PixelRect quad{static_cast<int>(100.3f - half) - 1, static_cast<int>(200.7f - half) - 1,
                       static_cast<int>(100.3f + half) + 2, static_cast<int>(200.7f + half) + 2};
  EXPECT_TRUE(Covered(damage.rects, quad));
}

TEST_F(DamageTest, ViewportLimitsTheBoundsAndItsChangeDamagesBoth) {
  Image bar = StandIn(362, 10, 2, false);
  DrawCommand fill = Draw(bar, 19, 62, 0);
  fill.viewX = 19, fill.viewY = 62, fill.viewWidth = 100, fill.viewHeight = 10;
  DisplayList before = Board(), after = Board();
  before.push_back(fill);
  fill.viewWidth = 104;
  after.push_back(fill);
  const Damage damage = DamageBetween(before, after, kWidth, kHeight);
  ASSERT_EQ(damage.rects.size(), 1u);
  EXPECT_EQ(damage.rects[0], (PixelRect{19, 62, 123, 72}));
}

TEST_F(DamageTest, TextIsBoundedByItsGlyphs) {
  Font* font = LoadFontFile(QUARZELLO_RESOURCES_DIR "/lucidagrande.ttf", 14, 5);
  ASSERT_NE(font, nullptr);
  ASSERT_FALSE(font->glyphs[static_cast<unsigned char>('W')].coverage.empty());
  SelectFont(font);
  DisplayList before = Board(), after = Board();
  after.push_back(Write(font, "Weiter", 150.4f, 130));
  const Damage damage = DamageBetween(before, after, kWidth, kHeight);
  ASSERT_EQ(damage.rects.size(), 1u);
  const PixelRect r = damage.rects[0];
  EXPECT_LE(r.x0, 150);
  EXPECT_LE(r.y0, 130 + font->glyphs[static_cast<unsigned char>('W')].top);
  EXPECT_GE(r.x1, 150 + StringWidth("Weiter") - 2);
  EXPECT_LT(r.x1, 150 + StringWidth("Weiter") + 8);
  EXPECT_LT(r.y1, 130 + font->height + 8);
  SelectFont(nullptr);
}

TEST_F(DamageTest, TextCoversItsGlyphsAboveLatin1) {
  const std::string omega = "\xCE\xA9";  // UTF-8
  AddFontCharacters(omega);
  Font* font = LoadFontFile(QUARZELLO_RESOURCES_DIR "/lucidagrande.ttf", 14, 5);
  ASSERT_NE(font, nullptr);
  const DrawCommand text = Write(font, "A" + omega, 150, 130);
  DisplayList before = Board(), after = Board();
  before.push_back(Write(font, "A", 150, 130));
  after.push_back(text);
  PixelRect glyph;
  ForEachGlyphQuad(text, [&](uint32_t code, float x0, float y0, float x1, float y1) {
    if (code == 0x3A9) glyph = {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1), static_cast<int>(y1)};
  });
  ASSERT_FALSE(glyph.Empty());
  EXPECT_GT(glyph.x0, 150 + 4);
  EXPECT_TRUE(Covered({CommandBounds(text, kWidth, kHeight)}, glyph));
  EXPECT_TRUE(Covered(DamageBetween(before, after, kWidth, kHeight).rects, glyph));
}

TEST_F(DamageTest, LargeDamageOrAnotherSizeIsAFullRepaint) {
  DisplayList before = Board(), after = Board();
  after[1].alpha = 0.5f;  // the background
  EXPECT_TRUE(DamageBetween(before, after, kWidth, kHeight).full);
  EXPECT_TRUE(DamageBetween(before, after, 0, 0).full);
}

TEST_F(DamageTest, ManyScatteredChangesAreMergedIntoFewRectangles) {
  DisplayList before{Clear(), Draw(background, 0, 0)}, after = before;
  for (int i = 0; i < 40; ++i) {
    before.push_back(Draw(stones, 20.0f + 9 * i, 20.0f + 11 * (i % 7) * 5, 1));
    after.push_back(Draw(stones, 20.0f + 9 * i, 20.0f + 11 * (i % 7) * 5, 2));
  }
  const Damage damage = DamageBetween(before, after, kWidth, kHeight, 0.9);
  ASSERT_FALSE(damage.full);
  EXPECT_LE(damage.rects.size(), 16u);
  for (size_t i = 0; i < damage.rects.size(); ++i) {
    for (size_t j = i + 1; j < damage.rects.size(); ++j) EXPECT_FALSE(Overlap(damage.rects[i], damage.rects[j]));
  }
}

// A marked group bent like an L: its changing glows overlap one another, yet
// the empty corner between its arms stays out of the damage.
TEST_F(DamageTest, BentGroupLeavesTheCornerBetweenItsArmsAlone) {
  DisplayList before{Clear(), Draw(background, 0, 0)}, after = before;
  std::vector<PixelRect> sprites;
  for (int i = 0; i < 8; ++i) {
    for (const auto& [x, y] : {std::pair{40.0f + 24 * i, 60.0f}, std::pair{40.0f, 84.0f + 24 * i}}) {
      DrawCommand glow = Draw(stones, x, y, 1, 1.2f);
      glow.blend = kBlendLight;
      glow.alpha = 0.2f;
      before.push_back(glow);
      glow.alpha = 0.25f;
      after.push_back(glow);
      sprites.push_back(CommandBounds(glow, kWidth, kHeight));
    }
  }
  const Damage damage = DamageBetween(before, after, kWidth, kHeight);
  ASSERT_FALSE(damage.full);
  for (const PixelRect& sprite : sprites) EXPECT_TRUE(Covered(damage.rects, sprite));
  const PixelRect corner{66, 86, 230, 270};
  for (const PixelRect& r : damage.rects) EXPECT_FALSE(Overlap(r, corner)) << r.x0 << "," << r.y0;
  for (size_t i = 0; i < damage.rects.size(); ++i) {
    for (size_t j = i + 1; j < damage.rects.size(); ++j) EXPECT_FALSE(Overlap(damage.rects[i], damage.rects[j]));
  }
}

// The promise the OpenGL backend relies on: outside the damage, each pixel is
// covered by the same commands in the same order in both lists, so its
// colour does not change. Checked on random edits of random lists.
TEST_F(DamageTest, OutsideTheDamageEveryPixelSeesTheSameCommands) {
  constexpr int kW = 96, kH = 80;
  std::mt19937 random(23);
  Image small = StandIn(8, 8, 4, true);
  const auto randomCommand = [&] {
    std::uniform_real_distribution<float> x(-10, kW + 10), y(-10, kH + 10), s(0.5f, 3);
    DrawCommand command = Draw(small, x(random), y(random), static_cast<int>(random() % 4), s(random));
    command.viewWidth = kW, command.viewHeight = kH;
    if (random() % 5 == 0) command.viewX = 10, command.viewY = 5, command.viewWidth = 50, command.viewHeight = 40;
    return command;
  };
  for (int round = 0; round < 300; ++round) {
    DisplayList before{Clear(kW, kH)};
    const int count = 1 + static_cast<int>(random() % 30);
    for (int i = 0; i < count; ++i) before.push_back(randomCommand());
    DisplayList after = before;
    if (round % 50 == 0) {  // too many edits to match: every command moved, one more or less
      for (int i = 0; i < 100; ++i) before.push_back(randomCommand());
      after = before;
      for (size_t i = 1; i < after.size(); ++i) after[i].x += 1;
      if (round % 100 == 0) after.erase(after.begin() + 7);
    }
    const int edits = static_cast<int>(random() % 6);
    for (int e = 0; e < edits; ++e) {
      const size_t at = 1 + random() % (after.size());
      switch (random() % 4) {
        case 0: after.insert(after.begin() + static_cast<long>(at), randomCommand()); break;
        case 1: if (at < after.size()) after.erase(after.begin() + static_cast<long>(at)); break;
        case 2: if (at < after.size()) after[at].alpha = 0.5f; break;
        default: if (at + 1 < after.size()) std::swap(after[at], after[at + 1]); break;
      }
    }
    const Damage damage = DamageBetween(before, after, kW, kH, 1.1);
    ASSERT_FALSE(damage.full);
    for (int py = 0; py < kH; ++py) {
      for (int px = 0; px < kW; ++px) {
        bool damaged = false;
        for (const PixelRect& r : damage.rects) damaged |= px >= r.x0 && px < r.x1 && py >= r.y0 && py < r.y1;
        if (damaged) continue;
        const auto covering = [&](const DisplayList& list) {
          std::vector<DrawCommand> commands;
          for (const DrawCommand& c : list) {
            const PixelRect b = CommandBounds(c, kW, kH);
            if (px >= b.x0 && px < b.x1 && py >= b.y0 && py < b.y1) commands.push_back(c);
          }
          return commands;
        };
        ASSERT_EQ(covering(before), covering(after)) << "round " << round << " pixel " << px << "," << py;
      }
    }
  }
}

}  // namespace quarzello::platform_test
