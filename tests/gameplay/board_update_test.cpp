#include <tuple>

#include "tests/gameplay/game_fixture.h"

namespace quarzello::gameplay_test {

TEST_F(GameTest, ANewStoneIsOpaqueAfter13FramesAndRestsOnThe31st) {
  stone& s = NewStone(4, 7);
  for (int frame = 1; frame <= 31; ++frame) {
    StepBoardStones(game.world.board);
    EXPECT_EQ(s.alpha >= 1.0f, frame >= 13) << "frame " << frame;
    EXPECT_LE(s.alpha, 1.0f);
    EXPECT_EQ(s.mode, frame >= 31 ? Resting : Appearing) << "frame " << frame;
  }
  StepBoardStones(game.world.board);
  EXPECT_EQ(s.sx, 1.0f);
  EXPECT_EQ(s.sy, 1.0f);
}

TEST_F(GameTest, AMarkedStoneGrowsForSevenFramesAndShrinksBackInSeven) {
  stone& s = PutStone(3, 3);
  s.mode = Growing;
  for (int frame = 1; frame <= 7; ++frame) {
    StepBoardStones(game.world.board);
    EXPECT_EQ(s.mode, frame == 7 ? Marked : Growing) << "frame " << frame;
  }
  StepBoardStones(game.world.board);
  EXPECT_EQ(s.sx, 1.2f);
  EXPECT_EQ(s.sy, 1.2f);

  s.mode = Shrinking;
  for (int frame = 1; frame <= 7; ++frame) {
    StepBoardStones(game.world.board);
    EXPECT_EQ(s.mode, frame == 7 ? Resting : Shrinking) << "frame " << frame;
  }
  StepBoardStones(game.world.board);
  EXPECT_EQ(s.sx, 1.0f);
  EXPECT_EQ(s.alpha, 1.0f);
}

TEST_F(GameTest, StonesEaseTowardTheirCellAndNeverOvershoot) {
  stone& s = NewStone(0, 0);
  StepBoardStones(game.world.board);
  EXPECT_FLOAT_EQ(s.x, (5.0f * 200.0f + 40.0f) / 6.0f);
  EXPECT_FLOAT_EQ(s.y, (5.0f * 250.0f + 100.0f) / 6.0f);
  float lastX = s.x;
  for (int frame = 0; frame < 120; ++frame) {
    StepBoardStones(game.world.board);
    EXPECT_LE(s.x, lastX);
    EXPECT_GE(s.x, 40.0f);
    lastX = s.x;
  }
  EXPECT_NEAR(s.x, 40.0f, 0.01f);
  EXPECT_NEAR(s.y, 100.0f, 0.01f);
}

TEST_F(GameTest, StonesAreDrawnRowByRowScaledToTheCanvas) {
  ui.scale = 2.0f;
  PutStone(3, 0, 1);
  PutStone(1, 1, 2);
  stone& appearing = NewStone(0, 1);
  const DisplayList frame = BoardFrame();
  const auto drawn = ImagesOf(frame, &stones);
  ASSERT_EQ(drawn.size(), 3u);

  EXPECT_EQ(drawn[0].frame, 26);
  EXPECT_FLOAT_EQ(drawn[0].x, 100.0f * 2.0f);
  EXPECT_FLOAT_EQ(drawn[0].y, 100.0f * 2.0f);
  EXPECT_FLOAT_EQ(drawn[0].sx, 2.0f);
  EXPECT_EQ(drawn[0].alpha, 1.0f);
  EXPECT_EQ(drawn[0].blend, kBlendAlpha);

  EXPECT_EQ(drawn[1].frame, 52);
  EXPECT_FLOAT_EQ(drawn[1].x, appearing.x * 2.0f);
  EXPECT_FLOAT_EQ(drawn[1].sx, appearing.sx * 2.0f);
  EXPECT_FLOAT_EQ(drawn[1].alpha, appearing.alpha);

  EXPECT_EQ(drawn[2].frame, 52);
  EXPECT_FLOAT_EQ(drawn[2].x, 60.0f * 2.0f);
  EXPECT_FLOAT_EQ(drawn[2].y, 120.0f * 2.0f);
}

TEST_F(GameTest, AMarkedStoneGlowsAdditivelyBrightest900msAfterMarking) {
  Clock(kStart + 900);
  stone& s = PutStone(5, 5, 3, Marked);
  s.ms = kStart;
  DisplayList frame = BoardFrame();
  auto drawn = ImagesOf(frame, &stones);
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[0].frame, 78);
  EXPECT_EQ(drawn[0].blend, kBlendAlpha);
  EXPECT_EQ(drawn[1].frame, 79);
  EXPECT_EQ(drawn[1].blend, kBlendLight);
  EXPECT_FLOAT_EQ(drawn[1].alpha, 0.3f);
  EXPECT_FLOAT_EQ(drawn[1].sx, 1.2f);
  EXPECT_EQ(drawn[1].x, drawn[0].x);

  // Dimmest at the moment of marking, and again a whole period later.
  for (int age : {0, 1800}) {
    Clock(kStart + age);
    frame = BoardFrame();
    drawn = ImagesOf(frame, &stones);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_NEAR(drawn[1].alpha, 0.1f, 1e-6f) << age;
  }
  Clock(kStart + 450);
  EXPECT_NEAR(ImagesOf(BoardFrame(), &stones)[1].alpha, 0.2f, 1e-6f);
}

TEST_F(GameTest, AfterTheBoardTheDrawingStateIsBackToPlain) {
  ui.scale = 1.5f;
  PutStone(5, 5, 3, Marked);
  Cls();
  StepBoardStones(game.world.board);
  DrawBoardStones(BoardPictures{ui.scale, &stones, &counterFont}, game.world.board, NowMillis(), NowMillis(), false);
  DrawImageFrame(&blend, 0, 0, 0);
  Flip(-1);
  const DrawCommand& probe = rec.LastFrame().back();
  EXPECT_EQ(probe.alpha, 1.0f);
  EXPECT_EQ(probe.sx, 1.0f);
  EXPECT_EQ(probe.sy, 1.0f);
  EXPECT_EQ(probe.blend, kBlendAlpha);
  EXPECT_EQ(std::tie(probe.red, probe.green, probe.blue), std::make_tuple(255, 255, 255));
}

TEST_F(GameTest, AllBombsShowTheSameFuseFrameOnePer20ms) {
  PutStone(2, 10, 1).bombe = 1;
  PutStone(9, 10, 4).bombe = 1;
  PutStone(12, 10, 4);  // a rock: no fuse
  const struct {
    int now, offset;
  } cases[] = {{0, 2}, {19, 2}, {20, 3}, {479, 25}, {480, 2}, {kStart + 100, 3}};
  for (const auto& c : cases) {
    Clock(c.now);
    const auto drawn = ImagesOf(BoardFrame(), &stones);
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[0].frame, 26 + c.offset) << c.now;
    EXPECT_EQ(drawn[1].frame, 104 + c.offset) << c.now;
    EXPECT_EQ(drawn[2].frame, 104) << c.now;
  }
}

TEST_F(GameTest, AfterTheEndTheTopThreeRowsAreDimmedButNotTheirGlow) {
  game.gameOverState = 1;
  PutStone(0, 0);
  stone& marked = PutStone(1, 1, 2, Marked);
  marked.ms = kStart;
  PutStone(2, 2);
  PutStone(3, 3);
  const auto drawn = ImagesOf(BoardFrame(), &stones);
  ASSERT_EQ(drawn.size(), 5u);
  EXPECT_EQ(drawn[0].alpha, 0.25f);
  EXPECT_EQ(drawn[1].alpha, 0.25f);
  EXPECT_NEAR(drawn[2].alpha, 0.1f, 1e-6f);  // glow of the marked stone
  EXPECT_EQ(drawn[2].blend, kBlendLight);
  EXPECT_EQ(drawn[3].alpha, 0.25f);
  EXPECT_EQ(drawn[4].alpha, 1.0f);

  game.gameOverState = 0;
  for (const auto& cmd : ImagesOf(BoardFrame(), &stones)) {
    if (cmd.blend == kBlendAlpha) {
      EXPECT_EQ(cmd.alpha, 1.0f);
    }
  }
}

TEST_F(GameTest, RowIntervalShrinksLevelByLevelDownTo500ms) {
  const int expected[] = {2840, 2660, 2460, 2240, 2000, 1740, 1460, 1160, 840, 500, 500};
  for (int level = 1; level <= 11; ++level) EXPECT_EQ(RowInterval(level), expected[level - 1]) << level;
  EXPECT_EQ(RowInterval(100000), 500);
}

}  // namespace quarzello::gameplay_test
