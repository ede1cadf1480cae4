// The window with its OpenGL canvas and the event queue that feeds the
// game's loop. The loop sees the window only through GameWindow, so tests can
// drive it with a window of their own and events made by hand.
#pragma once

#include <string>

enum EventKind : int {
  KeyUp = 0x202,        // value: key code of the released key (80 = P)
  KeyChar = 0x203,      // value: character code (Unicode code point)
  MouseDown = 0x401,    // value: button, 1 = left
  MouseMove = 0x403,    // x, y: mouse position in canvas pixels
  TimerTick = 0x801,
  GadgetPaint = 0x2002,
  WindowSize = 0x4002,
  WindowClose = 0x4003,
};

struct Event {
  int kind = 0;
  int value = 0;
  int x = 0, y = 0;
};

// Key codes of KeyUp and KeyPressCount.
constexpr int kKeyEscape = 27;
constexpr int kKeyP = 80;

class GameWindow {
 public:
  virtual ~GameWindow() = default;
  // Size of the inner drawing area (the canvas follows it).
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  virtual int GadgetLeft() const = 0;
  virtual int GadgetTop() const = 0;
  virtual bool IsWindowMaximized() const = 0;
  virtual int DesktopWidth() const = 0;
  // Moves and resizes the inner area; a new size arrives as a WindowSize event.
  virtual void SetGadgetRect(int x, int y, int width, int height) = 0;
  // Queues one GadgetPaint (requests made before it is handled merge into it).
  virtual void RequestRepaint() = 0;
};

// The desktop window system; linked into the game only, never into tests.
// First thing in the program: starts what the window will need and can be
// done beside the rest of the start.
void PrepareWindowSystem();
int DesktopWidth();
int DesktopHeight();
// Opens the window titled `title` whose inner area is width x height at
// (x, y), with an OpenGL canvas filling it, and makes the canvas the backend
// of all drawing. Ends the program if there is no display or no OpenGL. The
// window goes on the screen with the first presented frame.
GameWindow* OpenWindow(const std::string& title, int x, int y, int width, int height);
// Posts a TimerTick that many times per second (a tick not yet handled
// absorbs the next).
void StartTicker(float hertz);
// Blocks until an event is queued and returns it.
Event WaitNextEvent();
