#include <gtest/gtest.h>

#include <cmath>

#include "gameplay/texts.h"
#include "tests/app/frame_support.h"

namespace quarzello::front_test {

namespace {

class MessageTest : public FrameTest {
 protected:
  // One frame of the message layer.
  const DisplayList& Step() {
    return Record([this] { TMsg::update(ui.messages, ui.scale); });
  }
};

TEST_F(MessageTest, CreateAppendsAFreshMessageInStateOne) {
  TMsg* first = TMsg::create(ui.messages, FormatText(TextId::LevelNumber, {"2"}), 150, 0);
  TMsg* second = TMsg::create(ui.messages, FormatText(TextId::BonusPoints, {"500"}), 50, 50);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages.front().get(), first);
  EXPECT_EQ(ui.messages.back().get(), second);
  EXPECT_EQ(second->txt, FormatText(TextId::BonusPoints, {"500"}));
  EXPECT_EQ(second->state, 1);
  EXPECT_EQ(second->alpha, 0.0f);
  EXPECT_EQ(second->timer, 50);
  EXPECT_EQ(second->y_offset, 50);
}

TEST_F(MessageTest, HoldOf150IsFullyOpaqueFor151FramesAndGoneAfter180) {
  ui.scale = 1.25f;
  TMsg::create(ui.messages, FormatText(TextId::LevelNumber, {"3"}), 150, 0);
  std::vector<DrawCommand> drawn;
  for (int i = 0; i < 181; ++i) {
    const DisplayList& frame = Step();
    for (const DrawCommand* text : TextsOf(frame)) drawn.push_back(*text);
  }
  ASSERT_EQ(drawn.size(), 180u);
  EXPECT_TRUE(ui.messages.empty());

  // Fading in: ten frames at 0.0, 0.1 ... 0.9.
  for (int i = 0; i < 10; ++i) {
    EXPECT_NEAR(drawn[i].alpha, 0.1f * i, 1e-5f) << "frame " << i;
    EXPECT_FLOAT_EQ(drawn[i].sx, 1.25f);
  }
  // 150 holding frames and the first fading frame, all opaque at normal size.
  int opaque = 0;
  for (const DrawCommand& text : drawn)
    if (text.alpha == 1.0f && text.sx == 1.25f) ++opaque;
  EXPECT_EQ(opaque, 151);
  for (int i = 10; i < 161; ++i) EXPECT_EQ(drawn[i].alpha, 1.0f) << "frame " << i;
  // Fading out: twenty frames growing from 1.0 to 1.95.
  for (int i = 160; i < 180; ++i) {
    const float fade = 1.0f - 0.05f * static_cast<float>(i - 160);
    EXPECT_NEAR(drawn[i].alpha, fade, 1e-5f) << "frame " << i;
    EXPECT_NEAR(drawn[i].sx, 1.25f * (2.0f - fade), 1e-5f) << "frame " << i;
    EXPECT_FLOAT_EQ(drawn[i].sx, drawn[i].sy);
  }
  EXPECT_NEAR(drawn[179].sx, 1.25f * 1.95f, 1e-5f);
}

TEST_F(MessageTest, MessageIsCentredInTheLargeFontBelowItsOffset) {
  ui.scale = 2.0f;
  TMsg* message = TMsg::create(ui.messages, FormatText(TextId::BonusPoints, {"250"}), 0, 50);
  for (int i = 0; i < 12; ++i) Step();  // fade in, the one holding frame, the first fading frame
  ASSERT_EQ(message->state, 3);
  const DisplayList growing = Step();
  const DisplayList after = Record([] { DrawString("after", 0, 0); });

  const DrawCommand& text = TextCommand(growing, FormatText(TextId::BonusPoints, {"250"}));
  EXPECT_EQ(text.font, TFont::font(1));
  EXPECT_EQ(std::tie(text.red, text.green, text.blue), std::make_tuple(47, 55, 58));
  EXPECT_FLOAT_EQ(text.y, 270.0f);  // (50 + 85) * 2
  const float factor = text.sx;     // this frame's size: scale times (2 - alpha)
  EXPECT_NEAR(factor, 2.0f * 1.05f, 1e-5f);
  EXPECT_FLOAT_EQ(text.x, CentredLeft(FormatText(TextId::BonusPoints, {"250"}), TFont::font(1), 400, factor));

  // The message leaves the drawing state as it found it in a frame.
  const DrawCommand& next = TextCommand(after, "after");
  EXPECT_FLOAT_EQ(next.sx, 2.0f);
  EXPECT_EQ(next.alpha, 1.0f);
  EXPECT_EQ(std::tie(next.red, next.green, next.blue), std::make_tuple(255, 255, 255));
}

TEST_F(MessageTest, HoldOfZeroLastsThirtyOneFrames) {
  TMsg::create(ui.messages, "kurz", 0, 0);
  int frames = 0;
  while (!ui.messages.empty() && frames < 100) {
    Step();
    ++frames;
  }
  EXPECT_EQ(frames, 31);
}

TEST_F(MessageTest, HoldOfMinusOneNeverFadesUntilTheListIsEmptied) {
  TMsg* message = TMsg::create(ui.messages, Text(TextId::GameOverNews), -1, 0);
  for (int i = 0; i < 2000; ++i) Step();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(message->state, 2);
  EXPECT_EQ(TextCommand(Step(), Text(TextId::GameOverNews)).alpha, 1.0f);

  ui.messages.clear();
  EXPECT_TRUE(TextsOf(Step()).empty());
}

TEST_F(MessageTest, AMessageRemovingItselfDoesNotSkipTheNextOne) {
  TMsg::create(ui.messages, "erste", 100, 0);
  TMsg::create(ui.messages, "kurz", 0, 0);  // fades out first, in the middle of the list
  TMsg::create(ui.messages, "dritte", 100, 0);
  TMsg::create(ui.messages, "vierte", 100, 0);
  for (int i = 1; i <= 40; ++i) {
    const std::vector<std::string> texts = TextStrings(Step());
    std::vector<std::string> expected = {"erste", "kurz", "dritte", "vierte"};
    if (i > 31) expected.erase(expected.begin() + 1);
    EXPECT_EQ(texts, expected) << "frame " << i;
  }
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages.front()->txt, "erste");
}

TEST_F(MessageTest, TheLastMessageCanRemoveItself) {
  TMsg::create(ui.messages, "lang", 100, 0);
  TMsg::create(ui.messages, "kurz", 0, 0);
  for (int i = 0; i < 31; ++i) Step();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(TextStrings(Step()), std::vector<std::string>{"lang"});
}

}  // namespace

}  // namespace quarzello::front_test
