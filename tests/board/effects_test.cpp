
#include "screens/board_view.h"
#include "tests/board/board_fixture.h"

namespace quarzello::board_test {

namespace {

// One frame of an effect list as the game screen runs it.
using EffectsUpdate = void (*)(World& world, const BoardPictures& pictures);

class EffectsTest : public BoardTest {
 protected:
  float scale = 1.0f;  // of the canvas the effects are drawn on

  // One frame of `update`, followed by a probe drawn with whatever drawing
  // state the update left behind; returns the frame's image commands.
  DisplayList Frame(EffectsUpdate update) {
    Cls();
    update(game.world, BoardPictures{scale, &stones, &counterFont});
    DrawImageFrame(&stones, 0, 0, 0);
    Flip(-1);
    DisplayList images;
    for (const auto& command : rec.LastFrame()) {
      if (command.kind == DrawCommand::kImage) images.push_back(command);
    }
    const DrawCommand& probe = images.back();
    EXPECT_EQ(probe.alpha, 1.0f);
    EXPECT_EQ(probe.sx, 1.0f);
    EXPECT_EQ(probe.sy, 1.0f);
    images.pop_back();
    return images;
  }

  stone& AddRemovedStone(int w, float alpha) {
    auto s = std::make_unique<stone>();
    s->x = 100;
    s->y = 200;
    s->sx = s->sy = 1;
    s->alpha = alpha;
    s->mode = Removed;
    s->col = 2;
    s->w = w;
    game.world.removedStones.push_back(std::move(s));
    return *game.world.removedStones.back();
  }
};

// One frame of each effect list as the game screen runs it: a step, the
// drawing, and what has run its course dropped.
void UpdateCounters(World& world, const BoardPictures& pictures) {
  StepCounters(world.counters);
  DrawCounters(pictures, world.counters);
  DropFinishedEffects(world);
}
void UpdateRemovedStones(World& world, const BoardPictures& pictures) {
  StepRemovedStones(world.removedStones);
  DrawRemovedStones(pictures, world.removedStones);
  DropFinishedEffects(world);
}
void UpdateExplosions(World& world, const BoardPictures& pictures) {
  StepExplosions(world.explosions);
  DrawExplosions(pictures, world.explosions);
  DropFinishedEffects(world);
}

counter Shown(int points, float sx, float alpha) {
  counter shown;
  shown.points = points;
  shown.x = 100;
  shown.y = 200;
  shown.sx = sx;
  shown.sy = alpha;  // grown as far as it is visible
  shown.alpha = alpha;
  return shown;
}

struct Glyph {
  float x, y;
  int frame;
  bool operator==(const Glyph&) const = default;
};

std::vector<Glyph> Glyphs(const DisplayList& drawn) {
  std::vector<Glyph> glyphs;
  for (const auto& command : drawn) glyphs.push_back({command.x, command.y, command.frame});
  return glyphs;
}

TEST_F(EffectsTest, CounterGlyphsAreCentredOnTheGroup) {
  scale = 2.0f;
  game.world.counters.push_back(Shown(4, 1, 1));
  auto drawn = Frame(UpdateCounters);
  EXPECT_EQ(Glyphs(drawn), (std::vector<Glyph>{{180, 380, 0}, {200, 380, 5}, {220, 380, 11}}));
  for (const auto& command : drawn) {
    EXPECT_EQ(command.image, &counterFont);
    EXPECT_EQ(command.sx, 2.0f);
    EXPECT_EQ(command.blend, kBlendAlpha);
  }

  scale = 1.0f;
  game.world.counters[0].points = 16;
  EXPECT_EQ(Glyphs(Frame(UpdateCounters)),
            (std::vector<Glyph>{{85, 190, 0}, {95, 190, 2}, {105, 190, 7}, {115, 190, 11}}));

  game.world.counters[0] = Shown(144, 1.5f, 1);
  EXPECT_EQ(Glyphs(Frame(UpdateCounters)),
            (std::vector<Glyph>{{70, 190, 0}, {85, 190, 2}, {100, 190, 5}, {115, 190, 5}, {130, 190, 11}}));
}

TEST_F(EffectsTest, CounterGrowsInForTenFramesAndFadesOutInEleven) {
  game.world.counters.push_back(Shown(1, 0, 0));
  for (int frame = 1; frame <= 10; ++frame) Frame(UpdateCounters);
  const counter grown = game.world.counters[0];
  EXPECT_GE(grown.alpha, 1.0f);
  EXPECT_GE(grown.sx, 1.0f);
  Frame(UpdateCounters);
  EXPECT_EQ(game.world.counters[0].alpha, grown.alpha);  // held until it fades

  FadeOutCounters(game.world.counters);
  for (int frame = 1; frame <= 10; ++frame) Frame(UpdateCounters);
  ASSERT_EQ(game.world.counters.size(), 1u);
  EXPECT_GT(game.world.counters[0].sx, 1.9f);  // swells while it fades
  EXPECT_EQ(Frame(UpdateCounters).size(), 3u);  // drawn once more, then gone
  EXPECT_TRUE(game.world.counters.empty());
}

TEST_F(EffectsTest, RemovedStonesFlyOffAndFadeInThirtyFourFrames) {
  scale = 2.0f;
  const stone& flying = AddRemovedStone(180, 1.0f);
  const stone& staying = AddRemovedStone(0, 1.0f);
  auto drawn = Frame(UpdateRemovedStones);
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_FLOAT_EQ(flying.x, 100 - 2 * 1.025f);
  EXPECT_NEAR(flying.y, 200, 1e-4);
  EXPECT_EQ(drawn[0].frame, 53);
  EXPECT_EQ(drawn[0].x, flying.x * 2);
  EXPECT_EQ(drawn[0].sx, 1.025f * 2);
  EXPECT_EQ(drawn[0].alpha, flying.alpha);
  EXPECT_EQ(staying.x, 100.0f);

  for (int frame = 2; frame <= 33; ++frame) Frame(UpdateRemovedStones);
  EXPECT_EQ(game.world.removedStones.size(), 2u);
  EXPECT_LT(flying.x, 0.0f);  // it speeds up as it grows
  EXPECT_EQ(Frame(UpdateRemovedStones).size(), 2u);
  EXPECT_TRUE(game.world.removedStones.empty());

  AddRemovedStone(90, 0.5f);  // removed while still appearing
  for (int frame = 1; frame <= 16; ++frame) Frame(UpdateRemovedStones);
  EXPECT_EQ(game.world.removedStones.size(), 1u);
  Frame(UpdateRemovedStones);
  EXPECT_TRUE(game.world.removedStones.empty());
}

TEST_F(EffectsTest, ExplosionGrowsAndIsGoneOnItsHundredAndFirstFrame) {
  explosion blast;
  blast.x = 50;
  blast.y = 470;
  blast.alpha = 1;
  blast.sx = blast.sy = 5;
  game.world.explosions.push_back(blast);
  auto drawn = Frame(UpdateExplosions);
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].frame, 105);
  EXPECT_EQ(drawn[0].image, &stones);
  EXPECT_EQ(drawn[0].x, 50.0f);
  EXPECT_FLOAT_EQ(drawn[0].sx, 5.5f);
  EXPECT_FLOAT_EQ(drawn[0].alpha, 0.99f);

  for (int frame = 2; frame <= 100; ++frame) Frame(UpdateExplosions);
  ASSERT_EQ(game.world.explosions.size(), 1u);
  EXPECT_GT(game.world.explosions[0].sx, 60000.0f);
  EXPECT_EQ(Frame(UpdateExplosions).size(), 1u);
  EXPECT_TRUE(game.world.explosions.empty());
}

}  // namespace

}  // namespace quarzello::board_test
