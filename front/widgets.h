// Immediate-mode widgets, the two game fonts and the on-screen messages.
#pragma once

#include <list>
#include <memory>
#include <string>

#include "platform/platform.h"

class TFont {
 public:
  static void load();            // both fonts from "incbin::lucidagrande.ttf"
  static void set(int index);    // 0: 14 px, colour (79, 88, 94); 1: 36 px, colour (47, 55, 58)
  static Font* font(int index);  // the loaded font or nullptr
  static void reset();           // forget the loaded fonts (tests)
};

// Text centred on canvas pixel x, top at y; factor -1 stands for the canvas scale.
void DrawTextCentered(const std::string& text, int x, int y, float factor);
bool MenuRowHit(const std::string& text, int y);
int MenuButton(const std::string& text, float x, float y);  // 0 idle, 1 under the mouse, 2 clicked
bool BoxHit(int x, int y, int w, int h);
int TabButton(const std::string& text, float x, float y, float w, float h);

// A large message over the board: fades in, holds, then grows while it fades out.
class TMsg {
 public:
  std::string txt;
  uint8_t state = 1;  // 1 fading in, 2 holding, 3 fading out
  float alpha = 0.0f;
  int timer = 0;      // frames still to hold; -1 holds until the list is emptied
  int y_offset = 0;

  static std::list<std::unique_ptr<TMsg>> messages;
  static TMsg* create(const std::string& text, int holdFrames, int yOffset);
  static void update();  // advances and draws every message in list order
  void draw();
};
