// Shared set-up for tests of frame functions: a fresh App, a recording
// backend, both game fonts, stand-in images, and helpers to look through a
// recorded frame.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "gameplay/game.h"
#include "platform/platform.h"
#include "screens/app.h"

namespace quarzello::front_test {

using FrameFunction = void (*)(App& app);

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Puts the mouse at design coordinates, converted to canvas pixels.
  void MouseAtDesign(float x, float y);
  // Runs a frame function that draws a whole frame and returns that frame.
  const DisplayList& Paint(FrameFunction frameFunction);
  // Draws between Cls and Flip with `body` and returns the recorded frame.
  template <typename Body>
  const DisplayList& Record(Body body) {
    Cls();
    body();
    Flip(-1);
    return rec.LastFrame();
  }

  App app;
  FrontEnd& ui = app.ui;
  Game& game = app.game;
  RecordingBackend rec;
  // Stand-ins for the embedded pictures, with their real sizes and handles.
  Image menuBackground, logo, blend;
};

std::vector<const DrawCommand*> TextsOf(const DisplayList& frame);
std::vector<std::string> TextStrings(const DisplayList& frame);
// The one text command with exactly this text; fails the test if there is
// none or more than one.
const DrawCommand& TextCommand(const DisplayList& frame, const std::string& text);
bool HasText(const DisplayList& frame, const std::string& text);

// Where DrawTextCentered puts the left edge of a text centred on canvas
// pixel x at the given factor, measured in the font `font`.
float CentredLeft(const std::string& text, Font* font, int x, float factor);
int WidthIn(Font* font, const std::string& text);
int HeightIn(Font* font, const std::string& text);

}  // namespace quarzello::front_test
