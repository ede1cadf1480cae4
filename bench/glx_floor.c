/* The least an OpenGL program on X has to do before its first picture: a
 * window of the game's size and place, a GLX context, one clear, one swap.
 * It then waits until it is ended, so that its memory can be read. */
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <unistd.h>

int main(void) {
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "glx_floor: cannot open the display\n");
    return 1;
  }
  int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE, 1, None};
  const int screen = DefaultScreen(display);
  XVisualInfo* visual = glXChooseVisual(display, screen, attributes);
  if (visual == NULL) {
    fprintf(stderr, "glx_floor: no double-buffered RGB visual\n");
    return 1;
  }
  const Window root = RootWindow(display, screen);
  XSetWindowAttributes set = {0};
  set.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
  set.event_mask = ExposureMask;
  const int width = 400, height = 500;
  const Window window = XCreateWindow(display, root, (DisplayWidth(display, screen) - width) / 2,
                                      (DisplayHeight(display, screen) - height) / 2, width, height, 0,
                                      visual->depth, InputOutput, visual->visual, CWColormap | CWEventMask, &set);
  XStoreName(display, window, "glx floor");
  GLXContext context = glXCreateContext(display, visual, NULL, True);
  XMapWindow(display, window);
  glXMakeCurrent(display, window, context);
  XEvent event;
  do XNextEvent(display, &event);
  while (event.type != Expose);
  glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glXSwapBuffers(display, window);
  glFinish();
  for (;;) pause();
}
