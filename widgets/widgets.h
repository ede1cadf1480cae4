// Immediate-mode widgets, the game fonts and the on-screen messages.
//
// The widgets read and claim the mouse and the keyboard's highlight of the
// front end they are given (widgets/frontend.h). Menu entries and tab buttons
// take design units (400 x 500) and scale them by ui.scale themselves;
// DrawTextCentered, MenuRowHit and BoxHit take canvas pixels. A widget that
// reports Clicked clears ui.mouseClicked so that no other widget sees the same
// click. While the keyboard highlights one of them (widgets/keyboard.h), the
// highlight takes the mouse's place: the highlighted widget reports Hovered,
// or Clicked when Enter pressed it, and the mouse is not looked at.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace quarzello {

struct FrontEnd;

// What a widget reports for this frame.
enum class WidgetResult : uint8_t {
  Idle = 0,     // not under the mouse
  Hovered = 1,  // under the mouse
  Clicked = 2,  // under the mouse and it took this frame's click
};

class TFont {
 public:
  static void load();            // every font from "incbin::lucidagrande.ttf"
  // 0: 14 px, colour (79, 88, 94); 1: 36 px, colour (47, 55, 58);
  // 2: 11 px, colour (98, 116, 130), the labels of the head-up display's panels
  static void set(int index);
  static Font* font(int index);  // the loaded font or nullptr
  static void reset();           // forget the loaded fonts (tests)
};

// Text centred on canvas pixel x, top at y, in the current font, colour and
// draw scale. factor is the draw scale the caller has set.
void DrawTextCentered(const std::string& text, int x, int y, float factor);
// The mouse lies in the band of a text row whose top is at canvas pixel y
// (edges excluded); the mouse's x does not matter.
bool MenuRowHit(const FrontEnd& ui, const std::string& text, int y);
// A menu entry centred on design x, top at design y: 80 % size, full size under the mouse.
WidgetResult MenuButton(FrontEnd& ui, const std::string& text, float x, float y);
// The mouse lies inside the box w wide centred on x, from y down to y + h
// (canvas pixels, edges excluded).
bool BoxHit(const FrontEnd& ui, int x, int y, int w, int h);
// A small labelled button with a w x h hit box centred on design x, from
// design y down; glows under the mouse.
WidgetResult TabButton(FrontEnd& ui, const std::string& text, float x, float y, float w, float h);

class TMsg;
// Every live message in order of creation. A message removes itself from
// its list once it has faded out; the game empties it when a game starts or ends.
using MessageList = std::list<std::unique_ptr<TMsg>>;

// A large message over the board: fades in, holds, then grows while it fades out.
class TMsg {
 public:
  enum State : uint8_t { kFadingIn = 1, kHolding = 2, kFadingOut = 3 };

  std::string txt;
  uint8_t state = kFadingIn;
  float alpha = 0.0f;
  int timer = 0;      // frames still to hold; -1 holds until the list is emptied
  int y_offset = 0;   // the text's top is at design y = y_offset + 85

  // A new message at the end of the list.
  static TMsg* create(MessageList& messages, const std::string& text, int holdFrames, int yOffset);
  // Draws every message in list order on a canvas of the given scale, then
  // advances each by one frame and drops those that have faded out (they are
  // drawn in their last frame).
  static void update(MessageList& messages, float scale);
  // Draws the message as it stands: a message's state is what the next frame shows.
  void draw(float scale) const;
  // One frame on; false once the message has faded out.
  bool advance();
};

}  // namespace quarzello
