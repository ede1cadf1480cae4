#include "window/x11.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <GL/glx.h>
#include <GL/glxext.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xresource.h>

#include <dlfcn.h>
#include <link.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

const int kCanvasVisual[] = {GLX_RGBA, GLX_GREEN_SIZE, 1, GLX_DOUBLEBUFFER, None};

namespace {

// Reported and survived, as FLTK reports them on a connection it opens itself.
int OnXError(Display* display, XErrorEvent* error) {
  char request[128], name[128], text[128];
  std::snprintf(request, sizeof request, "XRequest.%d", error->request_code);
  XGetErrorDatabaseText(display, "", request, request, name, sizeof name);
  XGetErrorText(display, error->error_code, text, sizeof text);
  Fl::warning("%s: %s 0x%lx", name, text, error->resourceid);
  return 0;
}

int OnXIoError(Display*) {
  Fl::fatal("X I/O error");
  return 0;
}

// The game's one connection, opened at the start and only ever used by the
// main thread, and the OpenGL context made on it for windows of the canvas's
// visual, current on a small off-screen pixmap until the window is shown.
struct EarlyOpenGl {
  Display* display = nullptr;
  // Never destroyed: a start that ends early (a fatal X error, say) must not
  // wait for the libraries to load or abort over a thread still running.
  std::thread* loader = nullptr;
  GLXContext context = nullptr;
  Pixmap pixmap = 0;
  GLXPixmap drawable = 0;
} early;

void FreeEarlyDrawable(Display* display) {
  if (early.drawable != 0) glXDestroyGLXPixmap(display, early.drawable);
  if (early.pixmap != 0) XFreePixmap(display, early.pixmap);
  early.drawable = 0;
  early.pixmap = 0;
}

// The directory Mesa loads its DRI drivers from: the first of
// LIBGL_DRIVERS_PATH when set, as Mesa's loader reads it, else dri/ beside
// its GLX library.
std::string DriDriverDirectory(void* mesaGlx) {
  if (const char* path = std::getenv("LIBGL_DRIVERS_PATH"); path != nullptr && *path != '\0') {
    const std::string paths = path;
    return paths.substr(0, paths.find(':'));
  }
  link_map* library = nullptr;
  if (dlinfo(mesaGlx, RTLD_DI_LINKMAP, &library) != 0 || library == nullptr) return "";
  const std::string file = library->l_name;
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? "" : file.substr(0, slash) + "/dri";
}

// Maps and relocates Mesa's GLX library and its DRI driver, the bulk of the
// driver's start (the driver alone pulls in LLVM), without a single X
// request. An X connection is never shared between threads: Xlib deadlocks
// when one thread waits for a request with several replies (the font list
// behind FLTK's font set) while another waits for GLX's. So this thread
// only loads, and the context is made on the main thread once FLTK has
// connected. When the first GLX call loads the same files, the dynamic
// linker hands out these copies. Debian's DRI drivers are all one file under
// many names, so swrast_dri.so stands for whichever the display picks.
void LoadDriverLibraries() {
  const char* vendor = std::getenv("__GLX_VENDOR_LIBRARY_NAME");
  if (vendor != nullptr && std::strcmp(vendor, "mesa") != 0) return;  // another vendor's driver
  void* mesaGlx = dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_GLOBAL);
  if (mesaGlx == nullptr) return;  // the first GLX call then finds whatever serves the display
  const std::string directory = DriDriverDirectory(mesaGlx);
  // Both stay loaded for good: the first GLX call takes them over.
  if (!directory.empty()) dlopen((directory + "/swrast_dri.so").c_str(), RTLD_NOW | RTLD_GLOBAL);
}

void MakeEarlyContext(Display* display) {
  const int screen = DefaultScreen(display);
  XVisualInfo* visual = glXChooseVisual(display, screen, const_cast<int*>(kCanvasVisual));
  if (visual == nullptr) return;
  // Direct rendering; sharing nothing, as the window's own context would.
  GLXContext context = glXCreateContext(display, visual, nullptr, True);
  // Nothing is read back from it: one pixel is enough to draw a frame into.
  early.pixmap = XCreatePixmap(display, RootWindow(display, screen), 1, 1, static_cast<unsigned>(visual->depth));
  early.drawable = glXCreateGLXPixmap(display, visual, early.pixmap);
  XFree(visual);
  if (context != nullptr && glXMakeCurrent(display, early.drawable, context)) {
    early.context = context;
    return;
  }
  if (context != nullptr) glXDestroyContext(display, context);
  FreeEarlyDrawable(display);
}

}  // namespace

void StartLoadingOpenGlDriver() {
  // Before any thread runs: setlocale is not safe beside other threads. The
  // input method FLTK opens follows the desktop's locale and modifiers.
  std::setlocale(LC_CTYPE, "");
  XSetLocaleModifiers("");
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(OnXIoError);
  early.display = XOpenDisplay(nullptr);
  if (early.display == nullptr) return;  // reported when the display is first needed
  early.loader = new std::thread(LoadDriverLibraries);
}

void OpenDisplay() {
  if (fl_display != nullptr) return;
  if (early.display == nullptr) Fl::fatal("Can't open display: %s", XDisplayName(nullptr));
  fl_open_display(early.display);
}

std::string ReadXftDpi() {
  OpenDisplay();
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
  OpenDisplay();
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

void* TakeEarlyContext() {
  if (early.loader != nullptr && early.loader->joinable()) early.loader->join();
  MakeEarlyContext(fl_display);
  return early.context;
}

void ReleaseEarlyDrawable() { FreeEarlyDrawable(fl_display); }
