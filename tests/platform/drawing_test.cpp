#include <gtest/gtest.h>

#include "platform/platform.h"

namespace quarzello::platform_test {

namespace {

class Drawing : public ::testing::Test {
 protected:
  RecordingBackend recorder;
  void SetUp() override {
    ResetDrawingState();
    SetBackend(&recorder);
  }
  void TearDown() override {
    SetBackend(nullptr);
    ResetDrawingState();
  }
};

TEST_F(Drawing, FrameRecordsEveryCommandWithItsState) {
  Image picture;
  Cls();
  SetColor(10, 20, 300);
  SetAlpha(0.5f);
  SetBlend(kBlendLight);
  SetDrawScale(2, 3);
  DrawImageFrame(&picture, 4, 5, 1);
  SetViewport(10, 20, 30, 40);
  DrawString("Menü", 6, 7);
  Flip(-1);

  ASSERT_EQ(recorder.frames.size(), 1u);
  const DisplayList& list = recorder.LastFrame();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].kind, DrawCommand::kClear);
  EXPECT_EQ(list[0].viewWidth, 400);  // the whole canvas until a viewport is set
  EXPECT_EQ(list[0].viewHeight, 500);

  EXPECT_EQ(list[1].kind, DrawCommand::kImage);
  EXPECT_EQ(list[1].image, &picture);
  EXPECT_EQ(list[1].frame, 1);
  EXPECT_EQ(list[1].blue, 255);  // clamped
  EXPECT_FLOAT_EQ(list[1].alpha, 0.5f);
  EXPECT_EQ(list[1].blend, kBlendLight);
  EXPECT_FLOAT_EQ(list[1].sy, 3);

  EXPECT_EQ(list[2].kind, DrawCommand::kText);
  EXPECT_EQ(list[2].text, "Men\xFC");
  EXPECT_EQ(list[2].font, nullptr);
  EXPECT_EQ(list[2].viewX, 10);
  EXPECT_EQ(list[2].viewHeight, 40);
  EXPECT_FLOAT_EQ(list[2].x, 6);
}

TEST_F(Drawing, AlphaIsClampedIntoZeroToOne) {
  Image picture;
  Cls();
  for (float alpha : {1.5f, -1.0f, 0.25f}) {
    SetAlpha(alpha);
    DrawImageFrame(&picture, 0, 0, 0);
  }
  Flip(-1);
  const DisplayList& list = recorder.LastFrame();
  EXPECT_FLOAT_EQ(list[1].alpha, 1.0f);
  EXPECT_FLOAT_EQ(list[2].alpha, 0.0f);
  EXPECT_FLOAT_EQ(list[3].alpha, 0.25f);
}

TEST_F(Drawing, OnlyAlphaAndLightBlendingAreKept) {
  Image picture;
  SetBlend(kBlendLight);
  SetBlend(7);
  DrawImageFrame(&picture, 0, 0, 0);
  Flip(-1);
  EXPECT_EQ(recorder.LastFrame()[0].blend, kBlendLight);
}

TEST_F(Drawing, EachFlipPresentsOneFreshList) {
  Image picture;
  Cls();
  DrawImageFrame(&picture, 0, 0, 0);
  Flip(-1);
  Cls();
  Flip(-1);
  ASSERT_EQ(recorder.frames.size(), 2u);
  EXPECT_EQ(recorder.frames[1].size(), 1u);
  EXPECT_NE(recorder.frames[0], recorder.frames[1]);
}

TEST_F(Drawing, SecondClsInAFrameClearsOnlyItsViewportAndKeepsTheRest) {
  Image picture;
  Cls();
  DrawImageFrame(&picture, 0, 0, 0);
  SetViewport(50, 60, 70, 80);
  Cls();
  Flip(-1);
  const DisplayList& list = recorder.LastFrame();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[2].kind, DrawCommand::kClear);
  EXPECT_EQ(list[2].viewX, 50);
}

TEST_F(Drawing, SameDrawingGivesEqualLists) {
  Image picture;
  for (int i = 0; i < 2; ++i) {
    Cls();
    SetColor(1, 2, 3);
    DrawImageFrame(&picture, 10, 10, 0);
    Flip(-1);
  }
  EXPECT_EQ(recorder.frames[0], recorder.frames[1]);
}

TEST_F(Drawing, WithoutBackendFramesAreDropped) {
  SetBackend(nullptr);
  Cls();
  DrawString("x", 0, 0);
  Flip(-1);
  SetBackend(&recorder);
  Cls();
  Flip(-1);
  ASSERT_EQ(recorder.frames.size(), 1u);
  EXPECT_EQ(recorder.LastFrame().size(), 1u);
}

TEST_F(Drawing, ResetDrawingStateRestoresTheStartValues) {
  Font font;
  SetColor(1, 2, 3);
  SetAlpha(0.1f);
  SetBlend(kBlendLight);
  SetDrawScale(4, 4);
  SetViewport(1, 1, 1, 1);
  SelectFont(&font);
  ResetDrawingState();
  Cls();
  DrawString("a", 0, 0);
  Flip(-1);
  DrawCommand expected;
  expected.kind = DrawCommand::kText;
  expected.text = "a";
  expected.viewWidth = 400;
  expected.viewHeight = 500;
  EXPECT_EQ(recorder.LastFrame()[1], expected);
}

Font FontWithAdvance(float advance) {
  Font font;
  font.height = 17;
  for (int c = 'a'; c <= 'z'; ++c) {
    font.glyphs[c].present = true;
    font.glyphs[c].advance = advance;
  }
  return font;
}

TEST_F(Drawing, StringWidthTruncatesAfterEachCharacter) {
  Font font = FontWithAdvance(2.6f);
  SelectFont(&font);
  EXPECT_EQ(StringWidth("abc"), 6);  // not the 7 of 7.8
  EXPECT_EQ(StringWidth(""), 0);
  EXPECT_EQ(FontHeight("abc"), 17);
  EXPECT_EQ(FontHeight(""), 17);
}

TEST_F(Drawing, CharactersWithoutGlyphAddNothing) {
  Font font = FontWithAdvance(3.0f);
  SelectFont(&font);
  EXPECT_EQ(StringWidth("A\x01\xFF"), 0);
  EXPECT_EQ(StringWidth("aAb"), 6);
}

TEST(Input, KeyPressCountCountsAndResets) {
  EXPECT_EQ(KeyPressCount(27), 0);
  CountKeyPress(27);
  CountKeyPress(27);
  CountKeyPress(80);
  EXPECT_EQ(KeyPressCount(27), 2);
  EXPECT_EQ(KeyPressCount(27), 0);
  EXPECT_EQ(KeyPressCount(80), 1);
}

TEST(Input, AppTerminateReportsARequestOnce) {
  EXPECT_FALSE(AppTerminate());
  RequestAppTerminate();
  EXPECT_TRUE(AppTerminate());
  EXPECT_FALSE(AppTerminate());
}

TEST(Messages, NotifyShowsTheTitleThroughTheBackend) {
  RecordingBackend recorder;
  SetBackend(&recorder);
  Notify("Fehler", "Verbindung fehlgeschlagen", true);
  Notify("Hinweis", "herrgestellt", false);
  SetBackend(nullptr);
  ASSERT_EQ(recorder.messages.size(), 2u);
  EXPECT_EQ(recorder.messages[0].title, "Fehler");
  EXPECT_TRUE(recorder.messages[0].serious);
  EXPECT_EQ(recorder.messages[1].text, "herrgestellt");
  EXPECT_FALSE(recorder.messages[1].serious);
}

TEST(Termination, ExitProgramEndsWithStatusZero) {
  EXPECT_EXIT(ExitProgram(), ::testing::ExitedWithCode(0), "");
}

TEST(Termination, FatalErrorWritesTheMessageAndEndsWith255) {
  EXPECT_EXIT(FatalError("Error reading from stream"), ::testing::ExitedWithCode(255),
              "^Error reading from stream\n$");
}

}  // namespace

}  // namespace quarzello::platform_test
