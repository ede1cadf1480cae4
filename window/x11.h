// The few things FLTK leaves to plain Xlib. Kept apart because the X headers
// name a type Font, as the game's platform header does.
#pragma once

#include <string>

class Fl_Window;

// Opens the game's connection to the X server and starts a thread that loads
// the OpenGL driver's libraries, the longest step of the start, beside the
// rest of it. The thread makes no X request: the connection is the main
// thread's alone.
void StartLoadingOpenGlDriver();
// Connects FLTK to that connection (ends the program through Fl::fatal
// without one).
void OpenDisplay();
// The Xft.dpi entry of the server's resource database (RESOURCE_MANAGER, as
// xrdb sets it), or "" when it has none.
std::string ReadXftDpi();
// Held keys then give one key-up per real release, not one per auto-repeat.
void UseDetectableAutoRepeat();
// Whether the window manager shows the window maximized in both directions.
bool IsMaximizedByWindowManager(Fl_Window& window);
// Asks the driver not to wait for the vertical retrace when the current
// drawable's buffers are swapped, through whichever swap-control extension it
// offers: frames are paced by the game's 60 Hz timer, and a display of
// another rate must not slow them down. A driver without one keeps its way.
void SwapWithoutWaitingForRetrace();

// Whether the current context can copy a rectangle of its drawable's back
// buffer onto the window without swapping (GLX_MESA_copy_sub_buffer). The
// back buffer then keeps the whole picture, and a frame that changes a few
// rectangles repaints and sends only those.
bool CanCopySubBuffer();
// Copies [x0, x1) x [y0, y1) (canvas pixels, y down) of the current drawable's
// back buffer onto the window, a canvas canvasHeight pixels high.
void CopySubBuffer(int x0, int y0, int x1, int y1, int canvasHeight);

// The GLX attributes the canvas's visual is chosen with: RGB, double-buffered.
extern const int kCanvasVisual[];
// Waits for that thread and makes a context current on a small off-screen
// pixmap: textures can then be uploaded and shaders compiled while nothing
// is on the screen yet. The context suits windows of the
// canvas's visual. nullptr if the display could not make one; the window
// then makes its own.
void* TakeEarlyContext();
// Frees the pixmap once the context is current on the window.
void ReleaseEarlyDrawable();
