/* The least an OpenGL program on X has to do before its first picture: a
 * window of the game's size and place, a GLX context, one clear, one swap.
 * With --textured the picture is one blended, textured quad over the clear
 * (a texture of the window's size, fixed-function modulate, client arrays,
 * as the game draws): the least a program drawing pictures pays, which on a
 * software rasterizer includes building the draw's code for the new context.
 * It then waits until it is ended, so that its memory can be read. */
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void DrawTexturedQuad(int width, int height) {
  unsigned char* pixels = malloc((size_t)width * (size_t)height * 4);
  if (pixels == NULL) return;
  const unsigned char opaqueAmber[4] = {200, 120, 40, 255};
  for (int i = 0; i < width * height; ++i) memcpy(pixels + 4 * i, opaqueAmber, sizeof opaqueAmber);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  free(pixels);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, height, 0, -1, 1);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  const float w = (float)width, h = (float)height;
  const float corners[] = {0, 0, 0, 0, w, 0, 1, 0, w, h, 1, 1, 0, h, 0, 1};
  const unsigned char colours[16] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, 4 * sizeof(float), corners);
  glTexCoordPointer(2, GL_FLOAT, 4 * sizeof(float), corners + 2);
  glColorPointer(4, GL_UNSIGNED_BYTE, 4, colours);
  glDrawArrays(GL_QUADS, 0, 4);
}

int main(int argc, char** argv) {
  const int textured = argc > 1 && strcmp(argv[1], "--textured") == 0;
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
  if (textured) DrawTexturedQuad(width, height);
  glXSwapBuffers(display, window);
  glFinish();
  for (;;) pause();
}
