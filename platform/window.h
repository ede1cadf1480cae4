// The window with its OpenGL canvas and the event queue that feeds the
// game's loop. The loop sees the window only through GameWindow, so tests can
// drive it with a window of their own and events made by hand.
#pragma once

#include <set>
#include <string>

enum EventKind : int {
  KeyDown = 0x201,      // value: key code of the pressed key; repeat, shift
  KeyUp = 0x202,        // value: key code of the released key (80 = P)
  KeyChar = 0x203,      // value: character code (Unicode code point)
  MouseDown = 0x401,    // value: button, 1 = left
  MouseMove = 0x403,    // x, y: mouse position in canvas pixels
  TimerTick = 0x801,
  GadgetPaint = 0x2002,
  WindowSize = 0x4002,
  WindowClose = 0x4003,
  WorkDone = 0x8001,    // work beside the loop has finished (WakeLoop, platform/platform.h)
};

struct Event {
  int kind = 0;
  int value = 0;
  int x = 0, y = 0;
  bool repeat = false;  // KeyDown: made by the keyboard's auto-repeat of a held key
  bool shift = false;   // KeyDown: a Shift key was held
};

// Key codes of KeyDown, KeyUp and KeyPressCount.
constexpr int kKeyTab = 9;
constexpr int kKeyEnter = 13;  // the main and the keypad Enter
constexpr int kKeyEscape = 27;
constexpr int kKeySpace = 32;
constexpr int kKeyLeft = 37;
constexpr int kKeyUp = 38;
constexpr int kKeyRight = 39;
constexpr int kKeyDown = 40;
constexpr int kKeyP = 80;

// Tells a key's first press from the presses the keyboard repeats while it is
// held: the window system repeats a held key as presses with no release
// between them.
class HeldKeys {
 public:
  // True when the key is already held, that is when this press is a repeat.
  bool Press(int keyCode) { return !held_.insert(keyCode).second; }
  void Release(int keyCode) { held_.erase(keyCode); }
  // A key that went down while another window had the keyboard (a message
  // box) is held all the same: its repeats must not pass for presses.
  void Hold(int keyCode) { held_.insert(keyCode); }
  // The keyboard went elsewhere: releases will not arrive.
  void ReleaseAll() { held_.clear(); }

 private:
  std::set<int> held_;
};

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
// Starting it comes first: it loads the OpenGL driver, the longest step of
// the start, on a thread of its own, so that everything up to the first
// frame happens beside it. Failures show later, when the window is opened.
void StartWindowSystem();
int DesktopWidth();
int DesktopHeight();
// The part of the main screen that windows may take (without panels and docks).
struct ScreenArea {
  int x = 0, y = 0, width = 0, height = 0;
};
ScreenArea DesktopWorkArea();
// The X server's Xft.dpi resource as written, the desktop's scale (96 at
// 100 %, 192 at 200 %); empty when it has none.
std::string XftDpiResource();
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
