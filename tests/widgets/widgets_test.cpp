#include <gtest/gtest.h>

#include "gameplay/modes.h"
#include "gameplay/texts.h"
#include "tests/app/frame_support.h"

namespace quarzello::front_test {

namespace {

using WidgetTest = FrameTest;

TEST_F(WidgetTest, FontsCarryTheirSizesAndColours) {
  EXPECT_EQ(TFont::font(0)->pixelSize, 14);
  EXPECT_EQ(TFont::font(1)->pixelSize, 36);
  EXPECT_EQ(TFont::font(2)->pixelSize, 11);
  for (int index : {0, 1, 2}) EXPECT_EQ(TFont::font(index)->style, 5) << index;

  const DisplayList& frame = Record([] {
    TFont::set(0);
    DrawString("klein", 0, 0);
    TFont::set(1);
    DrawString("gross", 0, 0);
    TFont::set(2);
    DrawString("Punkte", 0, 0);
  });
  const DrawCommand& label = TextCommand(frame, "Punkte");
  EXPECT_EQ(label.font, TFont::font(2));
  EXPECT_EQ(std::tie(label.red, label.green, label.blue), std::make_tuple(98, 116, 130));
  const DrawCommand& small = TextCommand(frame, "klein");
  EXPECT_EQ(small.font, TFont::font(0));
  EXPECT_EQ(std::tie(small.red, small.green, small.blue), std::make_tuple(79, 88, 94));
  const DrawCommand& large = TextCommand(frame, "gross");
  EXPECT_EQ(large.font, TFont::font(1));
  EXPECT_EQ(std::tie(large.red, large.green, large.blue), std::make_tuple(47, 55, 58));
}

TEST_F(WidgetTest, AFontThatFailedToLoadFallsBackToTheDefaultFontButKeepsItsColour) {
  TFont::reset();
  const DisplayList& frame = Record([] {
    TFont::set(1);
    DrawString("ohne", 0, 0);
  });
  const DrawCommand& text = TextCommand(frame, "ohne");
  EXPECT_EQ(text.font, nullptr);
  EXPECT_EQ(std::tie(text.red, text.green, text.blue), std::make_tuple(47, 55, 58));
}

TEST_F(WidgetTest, DrawTextCenteredHalvesTheWidthBeforeScaling) {
  // An odd width shows whether the half width is rounded down before it is scaled.
  std::string odd;
  for (const char* candidate : {"A", "B", "C", "W", "Ab", Text(TextId::BackToMenu), Text(TextId::Continue), "ij", DifficultyName(Mittel)}) {
    if (WidthIn(TFont::font(1), candidate) % 2 == 1) {
      odd = candidate;
      break;
    }
  }
  ASSERT_FALSE(odd.empty()) << "no text of odd width among the candidates";

  const DisplayList& frame = Record([&] {
    TFont::set(1);
    DrawTextCentered(odd, 300, 120, 1.5f);
    DrawTextCentered(odd + " ", 300, 140, 0.8f);
  });
  const int width = WidthIn(TFont::font(1), odd);
  EXPECT_FLOAT_EQ(TextCommand(frame, odd).x, 300.0f - static_cast<float>(width / 2) * 1.5f);
  EXPECT_FLOAT_EQ(TextCommand(frame, odd).y, 120.0f);
  EXPECT_FLOAT_EQ(TextCommand(frame, odd + " ").x, CentredLeft(odd + " ", TFont::font(1), 300, 0.8f));
}

TEST_F(WidgetTest, MenuRowsHaveStrictEdgesAndIgnoreTheMouseX) {
  ui.scale = 1.5f;
  TFont::set(1);
  const int height = FontHeight(Text(TextId::MenuPlay));
  const float bottom = 150 + height * 1.5f;  // the band's lower edge in canvas pixels

  ui.mouseX = 0;
  ui.mouseY = 150;
  EXPECT_FALSE(MenuRowHit(ui, Text(TextId::MenuPlay), 150));
  ui.mouseY = 151;
  EXPECT_TRUE(MenuRowHit(ui, Text(TextId::MenuPlay), 150));
  ui.mouseX = -40;  // even left of the canvas
  EXPECT_TRUE(MenuRowHit(ui, Text(TextId::MenuPlay), 150));
  ui.mouseX = 10000;
  EXPECT_TRUE(MenuRowHit(ui, Text(TextId::MenuPlay), 150));

  ui.mouseY = static_cast<int>(bottom);
  EXPECT_EQ(MenuRowHit(ui, Text(TextId::MenuPlay), 150), static_cast<float>(ui.mouseY) < bottom);
  ui.mouseY = static_cast<int>(bottom) + 1;
  EXPECT_FALSE(MenuRowHit(ui, Text(TextId::MenuPlay), 150));
  ui.mouseY = static_cast<int>(bottom) - 1;
  EXPECT_TRUE(MenuRowHit(ui, Text(TextId::MenuPlay), 150));
}

TEST_F(WidgetTest, BoxesHaveStrictEdgesOnAllFourSides) {
  // x 100 with w 21: the half width 10 is rounded down, so the box spans 90..110.
  auto hit = [this](int mx, int my) {
    ui.mouseX = mx;
    ui.mouseY = my;
    return BoxHit(ui, 100, 50, 21, 16);
  };
  EXPECT_TRUE(hit(100, 58));
  EXPECT_FALSE(hit(90, 58));
  EXPECT_TRUE(hit(91, 58));
  EXPECT_TRUE(hit(109, 58));
  EXPECT_FALSE(hit(110, 58));
  EXPECT_FALSE(hit(100, 50));
  EXPECT_TRUE(hit(100, 51));
  EXPECT_TRUE(hit(100, 65));
  EXPECT_FALSE(hit(100, 66));
}

TEST_F(WidgetTest, MenuButtonIsSmallerAwayFromTheMouseAndFullSizeUnderIt) {
  ui.scale = 2.0f;
  MouseAtDesign(30, 210);  // inside the second entry's band, far from its text
  WidgetResult away{}, under{};
  const DisplayList& frame = Record([&] {
    TFont::set(1);
    SetColor(10, 20, 30);
    away = MenuButton(ui, Text(TextId::MenuPlay), 200, 150);
    under = MenuButton(ui, Text(TextId::MenuCredits), 200, 200);
    DrawString("after", 0, 0);
  });
  EXPECT_EQ(away, WidgetResult::Idle);
  EXPECT_EQ(under, WidgetResult::Hovered);

  const DrawCommand& small = TextCommand(frame, Text(TextId::MenuPlay));
  EXPECT_FLOAT_EQ(small.sx, 0.8f * 2.0f);
  EXPECT_FLOAT_EQ(small.sy, 0.8f * 2.0f);
  EXPECT_FLOAT_EQ(small.x, CentredLeft(Text(TextId::MenuPlay), TFont::font(1), 400, 0.8f * 2.0f));
  EXPECT_FLOAT_EQ(small.y, 300.0f);

  const DrawCommand& large = TextCommand(frame, Text(TextId::MenuCredits));
  EXPECT_FLOAT_EQ(large.sx, 2.0f);
  EXPECT_FLOAT_EQ(large.x, CentredLeft(Text(TextId::MenuCredits), TFont::font(1), 400, 2.0f));
  EXPECT_FLOAT_EQ(large.y, 400.0f);

  // The caller's font and colour are kept; the draw scale goes back to the canvas scale.
  for (const DrawCommand* text : TextsOf(frame)) {
    EXPECT_EQ(text->font, TFont::font(1));
    EXPECT_EQ(std::tie(text->red, text->green, text->blue), std::make_tuple(10, 20, 30));
  }
  EXPECT_FLOAT_EQ(TextCommand(frame, "after").sx, 2.0f);
}

TEST_F(WidgetTest, OverlappingMenuBandsBothGrowButOnlyTheFirstTakesTheClick) {
  TFont::set(1);
  MouseAtDesign(200, 165);  // in the band of an entry at 150 and of one at 160
  ui.mouseClicked = 1;
  WidgetResult first{}, second{};
  const DisplayList& frame = Record([&] {
    first = MenuButton(ui, "Erster", 200, 150);
    second = MenuButton(ui, "Zweiter", 200, 160);
  });
  EXPECT_EQ(first, WidgetResult::Clicked);
  EXPECT_EQ(second, WidgetResult::Hovered);
  EXPECT_EQ(ui.mouseClicked, 0);
  EXPECT_FLOAT_EQ(TextCommand(frame, "Erster").sx, 1.0f);
  EXPECT_FLOAT_EQ(TextCommand(frame, "Zweiter").sx, 1.0f);
}

TEST_F(WidgetTest, AClickAwayFromEveryWidgetIsLeftForOthers) {
  TFont::set(1);
  MouseAtDesign(200, 20);
  ui.mouseClicked = 1;
  EXPECT_EQ(MenuButton(ui, Text(TextId::MenuPlay), 200, 150), WidgetResult::Idle);
  EXPECT_EQ(TabButton(ui, Text(TextId::Continue), 200, 130, 40, 16), WidgetResult::Idle);
  EXPECT_EQ(ui.mouseClicked, 1);
}

TEST_F(WidgetTest, TabButtonAwayFromTheMouseKeepsTheCallersFontAndDrawsNoGlow) {
  ui.scale = 1.5f;
  MouseAtDesign(10, 10);
  const DisplayList& frame = Record([this] {
    TFont::set(1);
    SetColor(1, 2, 3);
    EXPECT_EQ(TabButton(ui, Text(TextId::LocalList), 78, 33, 116, 24), WidgetResult::Idle);
  });
  for (const DrawCommand& command : frame) EXPECT_NE(command.kind, DrawCommand::kImage);
  const DrawCommand& label = TextCommand(frame, Text(TextId::LocalList));
  EXPECT_EQ(label.font, TFont::font(1));
  EXPECT_EQ(std::tie(label.red, label.green, label.blue), std::make_tuple(1, 2, 3));
  EXPECT_FLOAT_EQ(label.sx, 1.5f);
  EXPECT_FLOAT_EQ(label.x, CentredLeft(Text(TextId::LocalList), TFont::font(1), Truncate(78 * 1.5f), 1.5f));
  EXPECT_FLOAT_EQ(label.y, static_cast<float>(Truncate(33 * 1.5f)));
}

TEST_F(WidgetTest, TabButtonUnderTheMouseGlowsAdditivelyUnderALabelInTheSmallFont) {
  ui.scale = 1.5f;
  MouseAtDesign(78 + 50, 33 + 20);  // inside the 116 x 24 box
  ui.mouseClicked = 1;
  WidgetResult result{};
  const DisplayList& frame = Record([&] {
    TFont::set(1);
    SetColor(1, 2, 3);
    result = TabButton(ui, Text(TextId::OnlineList), 78, 33, 116, 24);
    DrawString("after", 0, 0);
  });
  EXPECT_EQ(result, WidgetResult::Clicked);
  EXPECT_EQ(ui.mouseClicked, 0);

  ASSERT_EQ(frame.size(), 4u);  // clear, glow, label, "after"
  const DrawCommand& glow = frame[1];
  ASSERT_EQ(glow.kind, DrawCommand::kImage);
  EXPECT_EQ(glow.image, &blend);
  EXPECT_EQ(glow.blend, kBlendLight);
  EXPECT_EQ(std::tie(glow.red, glow.green, glow.blue), std::make_tuple(64, 64, 64));
  // The glow's width comes from the label measured in the caller's font.
  EXPECT_FLOAT_EQ(glow.sx, static_cast<float>(WidthIn(TFont::font(1), Text(TextId::OnlineList)) / 8) * 1.5f);
  EXPECT_FLOAT_EQ(glow.sy, 1.5f);
  EXPECT_FLOAT_EQ(glow.x, 76 * 1.5f);
  EXPECT_FLOAT_EQ(glow.y, 42 * 1.5f);

  const DrawCommand& label = frame[2];
  EXPECT_EQ(label.text, Text(TextId::OnlineList));
  EXPECT_EQ(label.font, TFont::font(0));
  EXPECT_EQ(std::tie(label.red, label.green, label.blue), std::make_tuple(79, 88, 94));
  EXPECT_EQ(label.blend, kBlendAlpha);
  EXPECT_FLOAT_EQ(label.sx, 1.5f);
  EXPECT_FLOAT_EQ(label.x, CentredLeft(Text(TextId::OnlineList), TFont::font(0), Truncate(78 * 1.5f), 1.5f));
  EXPECT_FLOAT_EQ(frame[3].sx, 1.5f);
}

TEST_F(WidgetTest, TabButtonWithoutTheGlowPictureStillWorks) {
  ui.img.imgBlend = nullptr;
  MouseAtDesign(200, 135);
  ui.mouseClicked = 1;
  WidgetResult result{};
  const DisplayList& frame = Record([&] {
    TFont::set(1);
    result = TabButton(ui, Text(TextId::Continue), 200, 130, 60, 16);
  });
  EXPECT_EQ(result, WidgetResult::Clicked);
  for (const DrawCommand& command : frame) EXPECT_NE(command.kind, DrawCommand::kImage);
  EXPECT_EQ(TextCommand(frame, Text(TextId::Continue)).font, TFont::font(0));
}

TEST_F(WidgetTest, TabButtonHitBoxIsScaledFromDesignUnits) {
  ui.scale = 2.0f;
  TFont::set(0);
  // Box 16 wide centred on design x 100: canvas x 184..216 at scale 2, edges excluded;
  // rows 710..742.
  auto hit = [this](int mx, int my) {
    ui.mouseX = mx;
    ui.mouseY = my;
    return TabButton(ui, "<", 100, 355, 16, 16);
  };
  EXPECT_EQ(hit(184, 720), WidgetResult::Idle);
  EXPECT_EQ(hit(185, 720), WidgetResult::Hovered);
  EXPECT_EQ(hit(215, 720), WidgetResult::Hovered);
  EXPECT_EQ(hit(216, 720), WidgetResult::Idle);
  EXPECT_EQ(hit(200, 710), WidgetResult::Idle);
  EXPECT_EQ(hit(200, 741), WidgetResult::Hovered);
  EXPECT_EQ(hit(200, 742), WidgetResult::Idle);
}

}  // namespace

}  // namespace quarzello::front_test
