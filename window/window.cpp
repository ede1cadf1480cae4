// The game's window on FLTK: one OpenGL window whose whole inside is the
// canvas, its events turned into the game's events, the ticker and the
// message box.
#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/fl_ask.H>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "platform/damage.h"
#include "window/gl_renderer.h"
#include "window/x11.h"
#include "platform/platform.h"
#include "platform/window.h"

namespace {

std::deque<Event> pendingEvents;

// Repaints and ticks that are already waiting absorb new ones, and a mouse
// move replaces one still waiting at the end of the queue.
void Post(const Event& event) {
  if (event.kind == TimerTick || event.kind == GadgetPaint) {
    for (const Event& waiting : pendingEvents) {
      if (waiting.kind == event.kind) return;
    }
  }
  if (event.kind == MouseMove && !pendingEvents.empty() && pendingEvents.back().kind == MouseMove) {
    pendingEvents.back() = event;
    return;
  }
  pendingEvents.push_back(event);
}

// Shift+Tab arrives as its own key on X.
constexpr int kFlLeftTab = 0xfe20;

// FLTK reports letters in lower case; the game counts keys by their capital.
int GameKeyCode(int flKey) {
  if (flKey >= 'a' && flKey <= 'z') return flKey - 'a' + 'A';
  switch (flKey) {
    case FL_Escape: return kKeyEscape;
    case FL_BackSpace: return 8;
    case FL_Tab:
    case kFlLeftTab: return kKeyTab;
    case FL_Enter:
    case FL_KP_Enter: return kKeyEnter;
    case FL_Left: return kKeyLeft;
    case FL_Up: return kKeyUp;
    case FL_Right: return kKeyRight;
    case FL_Down: return kKeyDown;
    default: return flKey;
  }
}

// The keys whose presses the game acts on once, with the FLTK keys behind them.
constexpr int kFlPressKeys[] = {FL_Enter, FL_KP_Enter, ' '};

// A testing aid: QUARZELLO_FULL_REPAINT=1 repaints every changed frame whole
// and swaps, the way frames were drawn before the damage was computed.
bool FullRepaintsForced() {
  const char* value = std::getenv("QUARZELLO_FULL_REPAINT");
  return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

class Canvas final : public Fl_Gl_Window, public GameWindow, public Backend {
 public:
  Canvas(int x, int y, int width, int height, const char* title) : Fl_Gl_Window(x, y, width, height, title) {
    mode(kCanvasVisual);
    resizable(this);
    callback(OnWindowCallback);
  }

  // GameWindow
  int ClientWidth() const override { return w(); }
  int ClientHeight() const override { return h(); }
  int GadgetLeft() const override { return x(); }
  int GadgetTop() const override { return y(); }
  int DesktopWidth() const override { return ::DesktopWidth(); }
  bool IsWindowMaximized() const override { return IsMaximizedByWindowManager(*const_cast<Canvas*>(this)); }
  void SetGadgetRect(int x, int y, int width, int height) override { resize(x, y, width, height); }
  void RequestRepaint() override { Post({GadgetPaint}); }

  // Backend
  void Present(const DisplayList& frame) override;
  void ShowMessage(const std::string& title, const std::string& text, bool serious) override;
  int CanvasWidth() const override { return w(); }
  int CanvasHeight() const override { return h(); }

  // Fl_Gl_Window
  void draw() override;
  int handle(int event) override;
  void resize(int x, int y, int width, int height) override;

 private:
  static void OnWindowCallback(Fl_Widget*, void*) {
    // Escape would close an FLTK window too; the game sees it as a key instead.
    if (Fl::event() == FL_CLOSE) Post({WindowClose});
  }
  void RenderLast();
  // Paints the frame over the one the back buffer holds, only inside the
  // damage, and copies those rectangles onto the window.
  void RepaintDamage(const Damage& damage);
  void ShowWithFirstFrame();
  // Keys still down when the window gets the keyboard back count as held.
  void HoldKeysDown();

  GlRenderer renderer_;
  HeldKeys heldKeys_;
  DisplayList lastFrame_;
  bool damaged_ = true;  // the canvas does not show lastFrame_
  // Until the window is on the screen, frames are only kept: drawing them
  // would be lost, and its first expose draws the newest.
  bool exposed_ = false;
  bool onWindow_ = false;  // the context has drawn on the window since it was made
  // The back buffer holds the whole picture of lastFrame_ at this size (it
  // was last shown by copying rectangles, never by a swap, which leaves the
  // back buffer undefined).
  bool backHoldsLast_ = false;
  int backWidth_ = 0, backHeight_ = 0;
  // The size at the last swap. Mesa's software driver learns a new size of
  // the window only from a swap: until one at the current size, a copied
  // rectangle would be placed by the old height (and refused).
  int swappedWidth_ = 0, swappedHeight_ = 0;
  const bool fullRepaints_ = FullRepaintsForced();
};

void Canvas::RenderLast() {
  if (!context_valid()) {
    renderer_.ForgetTextures();
    context_valid(1);
    onWindow_ = false;
  }
  // Until show() the context is current on the early pixmap. The swap
  // interval belongs to the drawable, so the window is given its own.
  if (shown() && !onWindow_) {
    ReleaseEarlyDrawable();
    SwapWithoutWaitingForRetrace();
    onWindow_ = true;
  }
  renderer_.Render(lastFrame_, w(), h());
}

void Canvas::draw() {
  // Exposes, resizes and message boxes' own loops land here: they show the
  // last finished frame again and never run a frame function. FLTK swaps
  // the buffers after it.
  RenderLast();
  damaged_ = false;
  exposed_ = true;
  backHoldsLast_ = false;
  swappedWidth_ = w();
  swappedHeight_ = h();
}

void Canvas::Present(const DisplayList& frame) {
  // A still screen produces the same list tick after tick: nothing to send.
  if (!damaged_ && frame == lastFrame_) return;
  if (!shown()) {
    lastFrame_ = frame;
    return ShowWithFirstFrame();
  }
  if (!exposed_) {
    lastFrame_ = frame;
    return;  // drawn by the first expose
  }
  make_current();
  // Only what changed is painted when the back buffer still holds the last
  // frame whole; a resize, an expose, a new context and the first frame on
  // the window paint everything.
  const bool partial = !fullRepaints_ && !damaged_ && backHoldsLast_ && context_valid() && onWindow_ &&
                       backWidth_ == w() && backHeight_ == h() && CanCopySubBuffer();
  const Damage damage = partial ? DamageBetween(lastFrame_, frame, w(), h()) : Damage{true, {}};
  lastFrame_ = frame;
  if (!damage.full) {
    RepaintDamage(damage);
  } else {
    RenderLast();
    if (!fullRepaints_ && swappedWidth_ == w() && swappedHeight_ == h() && CanCopySubBuffer()) {
      // Copied rather than swapped, so that the back buffer keeps the picture.
      CopySubBuffer(0, 0, w(), h(), h());
      backHoldsLast_ = true;
      backWidth_ = w();
      backHeight_ = h();
    } else {
      swap_buffers();
      backHoldsLast_ = false;
      swappedWidth_ = w();
      swappedHeight_ = h();
    }
  }
  damaged_ = false;
}

void Canvas::RepaintDamage(const Damage& damage) {
  renderer_.Render(lastFrame_, w(), h(), &damage.rects);
  for (const PixelRect& rect : damage.rects) CopySubBuffer(rect.x0, rect.y0, rect.x1, rect.y1, h());
}

// The window appears only once its first frame is ready, and that frame is
// rendered off screen first: the textures it needs are uploaded and its
// shaders compiled before the window is mapped, so the window shows its
// picture at once instead of an empty area while the renderer warms up.
void Canvas::ShowWithFirstFrame() {
  if (context() != nullptr) RenderLast();
  show();
  Fl::focus(this);  // not earlier: focusing a hidden window shows it
}

void Canvas::ShowMessage(const std::string& title, const std::string& text, bool serious) {
  // The game's texts are UTF-8, as FLTK takes them.
  fl_message_title(title.c_str());
  fl_close = "OK";  // the box's one button; FLTK's own label is English
  if (serious) {
    fl_alert("%s", text.c_str());
  } else {
    fl_message("%s", text.c_str());
  }
  // The Enter that closed the box may still be down and repeating.
  HoldKeysDown();
}

void Canvas::HoldKeysDown() {
  for (int flKey : kFlPressKeys) {
    if (Fl::get_key(flKey)) heldKeys_.Hold(GameKeyCode(flKey));
  }
}

int Canvas::handle(int event) {
  switch (event) {
    case FL_ENTER:
      // Without a window manager the keys go to the window under the pointer,
      // but FLTK hands key releases only to the widget it thinks has focus.
      Fl::focus(this);
      Post({MouseMove, 0, Fl::event_x(), Fl::event_y()});
      return 1;
    case FL_MOVE:
    case FL_DRAG:
      Post({MouseMove, 0, Fl::event_x(), Fl::event_y()});
      return 1;
    case FL_PUSH:
      Fl::focus(this);
      // The press may come without a move before it (a click where the pointer already was).
      Post({MouseMove, 0, Fl::event_x(), Fl::event_y()});
      Post({MouseDown, Fl::event_button()});
      return 1;
    case FL_RELEASE:
    case FL_LEAVE:
      return 1;
    case FL_FOCUS:
      HoldKeysDown();
      return 1;
    case FL_UNFOCUS:
      heldKeys_.ReleaseAll();
      return 1;
    case FL_KEYDOWN:
    case FL_SHORTCUT: {  // a key arriving while FLTK thinks nothing has focus
      const int key = GameKeyCode(Fl::event_key());
      CountKeyPress(key);
      Event press{KeyDown, key};
      press.repeat = heldKeys_.Press(key);
      press.shift = Fl::event_state(FL_SHIFT) != 0;
      Post(press);
      const std::string text(Fl::event_text(), static_cast<size_t>(Fl::event_length()));
      for (uint32_t code : CodePointsFromUtf8(text)) Post({KeyChar, static_cast<int>(code)});
      return 1;
    }
    case FL_KEYUP: {
      const int key = GameKeyCode(Fl::event_key());
      heldKeys_.Release(key);
      Post({KeyUp, key});
      return 1;
    }
    default:
      return Fl_Gl_Window::handle(event);
  }
}

void Canvas::resize(int x, int y, int width, int height) {
  const bool sizeChanged = width != w() || height != h();
  Fl_Gl_Window::resize(x, y, width, height);
  if (!sizeChanged) return;
  damaged_ = true;
  Post({WindowSize});
}

// The desktop asks the program to end with a signal; the handler may only
// write to a pipe, which the loop then reads between events.
int quitPipe[2] = {-1, -1};

void OnQuitSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(quitPipe[1], &byte, 1);
}

void OnQuitPipe(int fd, void*) {
  char bytes[16];
  while (read(fd, bytes, sizeof bytes) > 0) {
  }
  RequestAppTerminate();
  Post({});  // wakes the loop so that it sees the request at once
}

void CatchQuitSignals() {
  if (pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  Fl::add_fd(quitPipe[0], FL_READ, OnQuitPipe);
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal, &action, nullptr);
}

// Work finished on another thread writes a byte to this pipe (a thread must
// not touch FLTK); the loop reads it and queues a WorkDone event.
int wakePipe[2] = {-1, -1};

void WakeFromAnyThread() {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(wakePipe[1], &byte, 1);  // a full pipe has woken it already
}

void OnWakePipe(int fd, void*) {
  char bytes[16];
  while (read(fd, bytes, sizeof bytes) > 0) {
  }
  Post({WorkDone});
}

void CatchWakeUps() {
  if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  Fl::add_fd(wakePipe[0], FL_READ, OnWakePipe);
  SetLoopWaker(WakeFromAnyThread);
}

void OnFltkFatal(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  char message[512];
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  FatalError(message);
}

double tickerPeriod = 0;

void OnTick(void*) {
  Post({TimerTick});
  Fl::repeat_timeout(tickerPeriod, OnTick);  // counted from when this tick was due: no drift
}

void ConnectDisplay() {
  Fl::fatal = OnFltkFatal;  // no display: end like any other failure of the platform
  OpenDisplay();
}

}  // namespace

void StartWindowSystem() { StartLoadingOpenGlDriver(); }

int DesktopWidth() {
  ConnectDisplay();
  return Fl::w();
}

int DesktopHeight() {
  ConnectDisplay();
  return Fl::h();
}

ScreenArea DesktopWorkArea() {
  ConnectDisplay();
  ScreenArea area;
  Fl::screen_work_area(area.x, area.y, area.width, area.height, 0);
  return area;
}

std::string XftDpiResource() {
  ConnectDisplay();
  return ReadXftDpi();
}

GameWindow* OpenWindow(const std::string& title, int x, int y, int width, int height) {
  ConnectDisplay();
  UseDetectableAutoRepeat();
  void* early = TakeEarlyContext();
  if (!Fl_Gl_Window::can_do(kCanvasVisual)) FatalError("This display offers no OpenGL (GLX).");
  CatchQuitSignals();
  static std::string label;  // FLTK keeps the pointer
  label = title;
  auto* canvas = new Canvas(x, y, width, height, label.c_str());
  if (early != nullptr) canvas->context(early, 1);
  SetBackend(canvas);
  return canvas;
}

void StartTicker(float hertz) {
  CatchWakeUps();  // the loop's other source of events
  tickerPeriod = 1.0 / hertz;
  Post({TimerTick});  // the first at once, so the first frame does not wait a period
  Fl::add_timeout(tickerPeriod, OnTick);
}

Event WaitNextEvent() {
  while (pendingEvents.empty()) Fl::wait(1e20);
  const Event event = pendingEvents.front();
  pendingEvents.pop_front();
  return event;
}
