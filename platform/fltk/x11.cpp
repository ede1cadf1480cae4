#include "platform/fltk/x11.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <GL/glx.h>
#include <GL/glxext.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xresource.h>

#include <string>
#include <thread>

const int kCanvasVisual[] = {GLX_RGBA, GLX_GREEN_SIZE, 1, GLX_DOUBLEBUFFER, None};

namespace {

// The connection the driver is loaded on, apart from FLTK's: Xlib cannot
// have one connection waiting for replies in two threads at once.
struct DriverLoader {
  std::thread thread;
  Display* connection = nullptr;
} driverLoader;

}  // namespace

void StartLoadingOpenGlDriver() {
  XInitThreads();  // Xlib's shared state is used from two threads from here on
  driverLoader.thread = std::thread([] {
    driverLoader.connection = XOpenDisplay(nullptr);
    if (driverLoader.connection == nullptr) return;  // the game's own connection reports it
    // The first GLX call on a connection loads the driver for the display:
    // the same libraries serve the game's own connection later.
    XVisualInfo* visual = glXChooseVisual(driverLoader.connection, DefaultScreen(driverLoader.connection),
                                          const_cast<int*>(kCanvasVisual));
    if (visual != nullptr) XFree(visual);
  });
}

void OpenDisplay() { fl_open_display(); }

std::string ReadXftDpi() {
  fl_open_display();
  const char* resources = XResourceManagerString(fl_display);
  if (resources == nullptr) return "";
  XrmInitialize();
  XrmDatabase database = XrmGetStringDatabase(resources);
  if (database == nullptr) return "";
  char* type = nullptr;
  XrmValue value{};
  std::string dpi;
  if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr)
    dpi.assign(value.addr, value.size > 0 ? value.size - 1 : 0);
  XrmDestroyDatabase(database);
  return dpi;
}

void UseDetectableAutoRepeat() {
  fl_open_display();
  XkbSetDetectableAutoRepeat(fl_display, True, nullptr);
}

bool IsMaximizedByWindowManager(Fl_Window& window) {
  if (!window.shown()) return false;
  const Atom state = XInternAtom(fl_display, "_NET_WM_STATE", False);
  const Atom horizontal = XInternAtom(fl_display, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
  const Atom vertical = XInternAtom(fl_display, "_NET_WM_STATE_MAXIMIZED_VERT", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(fl_display, fl_xid(&window), state, 0, 64, False, XA_ATOM, &type, &format, &count,
                         &remaining, &data) != Success ||
      data == nullptr) {
    return false;
  }
  bool maximizedHorizontally = false, maximizedVertically = false;
  const auto* atoms = reinterpret_cast<const Atom*>(data);
  for (unsigned long i = 0; i < count; ++i) {
    maximizedHorizontally |= atoms[i] == horizontal;
    maximizedVertically |= atoms[i] == vertical;
  }
  XFree(data);
  return maximizedHorizontally && maximizedVertically;
}

namespace {

// Whether the display's GLX offers an extension of that name.
bool Offers(Display* display, const char* name) {
  // Appended piece by piece: g++ 12 at -O3 warns falsely about the copy
  // inside " " + std::string.
  std::string extensions = " ";
  extensions += glXQueryExtensionsString(display, DefaultScreen(display));
  extensions += ' ';
  std::string word = " ";
  word += name;
  word += ' ';
  return extensions.find(word) != std::string::npos;
}

__GLXextFuncPtr GlxFunction(const char* name) { return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)); }

PFNGLXCOPYSUBBUFFERMESAPROC copySubBuffer = nullptr;
Display* copySubBufferDisplay = nullptr;

}  // namespace

bool CanCopySubBuffer() {
  Display* display = glXGetCurrentDisplay();
  if (display == nullptr) return false;
  if (display != copySubBufferDisplay) {
    copySubBufferDisplay = display;
    copySubBuffer = Offers(display, "GLX_MESA_copy_sub_buffer")
                        ? reinterpret_cast<PFNGLXCOPYSUBBUFFERMESAPROC>(GlxFunction("glXCopySubBufferMESA"))
                        : nullptr;
  }
  return copySubBuffer != nullptr;
}

void CopySubBuffer(int x0, int y0, int x1, int y1, int canvasHeight) {
  Display* display = glXGetCurrentDisplay();
  const GLXDrawable drawable = glXGetCurrentDrawable();
  if (display == nullptr || drawable == 0 || !CanCopySubBuffer()) return;
  // GLX counts from the bottom left corner.
  copySubBuffer(display, drawable, x0, canvasHeight - y1, x1 - x0, y1 - y0);
}

void SwapWithoutWaitingForRetrace() {
  Display* display = glXGetCurrentDisplay();
  const GLXDrawable drawable = glXGetCurrentDrawable();
  if (display == nullptr || drawable == 0) return;
  const auto offers = [&](const char* name) { return Offers(display, name); };
  const auto function = GlxFunction;
  // GLX_SGI_swap_control cannot ask for 0, so only these two serve.
  if (offers("GLX_EXT_swap_control")) {
    if (auto set = reinterpret_cast<PFNGLXSWAPINTERVALEXTPROC>(function("glXSwapIntervalEXT"))) {
      set(display, drawable, 0);
      return;
    }
  }
  if (offers("GLX_MESA_swap_control")) {
    if (auto set = reinterpret_cast<PFNGLXSWAPINTERVALMESAPROC>(function("glXSwapIntervalMESA"))) set(0);
  }
}

namespace {

Pixmap earlyPixmap = 0;
GLXPixmap earlyDrawable = 0;

}  // namespace

void* CreateEarlyContext() {
  fl_open_display();
  XVisualInfo* visual = glXChooseVisual(fl_display, fl_screen, const_cast<int*>(kCanvasVisual));
  if (visual == nullptr) return nullptr;
  // Direct rendering; sharing nothing, as the window's own context would.
  GLXContext context = glXCreateContext(fl_display, visual, nullptr, True);
  // Nothing is read back from it: one pixel is enough to draw a frame into.
  earlyPixmap = XCreatePixmap(fl_display, RootWindow(fl_display, fl_screen), 1, 1,
                              static_cast<unsigned>(visual->depth));
  earlyDrawable = glXCreateGLXPixmap(fl_display, visual, earlyPixmap);
  XFree(visual);
  if (context != nullptr && glXMakeCurrent(fl_display, earlyDrawable, context)) return context;
  if (context != nullptr) glXDestroyContext(fl_display, context);
  ReleaseEarlyDrawable();
  return nullptr;
}

void ReleaseEarlyDrawable() {
  if (earlyDrawable != 0) glXDestroyGLXPixmap(fl_display, earlyDrawable);
  if (earlyPixmap != 0) XFreePixmap(fl_display, earlyPixmap);
  earlyDrawable = 0;
  earlyPixmap = 0;
}

void FinishLoadingOpenGlDriver() {
  if (driverLoader.thread.joinable()) driverLoader.thread.join();
  if (driverLoader.connection != nullptr) XCloseDisplay(driverLoader.connection);
  driverLoader.connection = nullptr;
}
