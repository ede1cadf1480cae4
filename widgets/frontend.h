// The front end's state that the widgets see: the current screen, the canvas
// scale, the mouse as the event loop last saw it, the name being typed, the
// keyboard's cursor and highlight, the images the screens draw with, and the
// messages over the board.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "widgets/keyboard.h"
#include "widgets/widgets.h"

namespace quarzello {

// Every position and size is given on a 400 x 500 design canvas and
// multiplied by ui.scale when drawn or compared with the mouse.
constexpr int kDesignWidth = 400;
constexpr int kDesignHeight = 500;

enum Screen : uint8_t {
  MainMenu = 0,
  GameScreen = 1,
  Credits = 2,
  ModeSelect = 3,
  DifficultySelect = 4,
  Pause = 5,
  NewHighscore = 6,
  Highscores = 7,
  Watching = 8,  // a recorded game on the game screen
};

struct Images {
  Image* imgGameBackground = nullptr;
  Image* imgMenuBackground = nullptr;
  Image* imgLogo = nullptr;
  Image* imgStones = nullptr;       // 130 frames of 32 x 32, 26 per colour
  Image* imgProgressBar = nullptr;  // 2 frames of 362 x 10
  Image* imgBlend = nullptr;        // may be missing: drawing it is then skipped
  Image* imgCounterFont = nullptr;  // 12 frames of 10 x 20
  Image* imgCursor = nullptr;       // the board cursor, drawn at half size
};

struct FrontEnd {
  uint8_t screen = MainMenu;
  float scale = 1.0f;       // canvas size relative to the 400 x 500 design size
  int mouseX = 0, mouseY = 0;  // canvas pixels, not divided by scale
  uint8_t mouseClicked = 0;
  // A move that came after a press the widgets have not seen yet: it takes
  // effect once the next frame is drawn, so the click counts where it was made.
  bool moveHeld = false;
  int heldX = 0, heldY = 0;
  std::string playerName;   // at most 15 characters, kept in the highscore file
  uint8_t saveOnline = 0;   // the "save online" choice, kept in the highscore file
  KeyboardState keyboard;   // the board cursor and the buttons' highlight
  Images img;               // loaded once at start-up; the platform owns the pictures
  MessageList messages;     // over the board, drawn by TMsg::update
};

// Registers the embedded files and loads the images in their fixed order with
// their flags and handles; a missing image ends the program with status 255.
void RegisterEmbeddedFiles();
void LoadImages(Images& img);
// LoadImages in two steps, so that the images can be decoded before the
// window exists and checked after it, as when they were loaded after it:
// decoding leaves a missing image out, checking then ends the program for the
// first missing one in loading order.
void DecodeImages(Images& img);
void CheckImages(const Images& img);

}  // namespace quarzello
