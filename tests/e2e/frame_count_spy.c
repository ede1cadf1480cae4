/* Preloaded into the game by an end-to-end test: every frame the renderer
   draws sets up its projection once (glOrtho), and each such call is noted in
   the file named by FRAME_SPY_LOG as the CLOCK_MONOTONIC time in
   milliseconds, before the call goes on to the driver. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

typedef void (*Ortho)(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble);

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near, GLdouble far) {
  static FILE *log;
  static Ortho real;
  if (real == NULL) real = (Ortho)dlsym(RTLD_NEXT, "glOrtho");
  if (log == NULL) {
    const char *path = getenv("FRAME_SPY_LOG");
    log = path ? fopen(path, "a") : NULL;
  }
  if (log != NULL) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    fprintf(log, "%lld\n", (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000);
    fflush(log);
  }
  if (real != NULL) real(left, right, bottom, top, near, far);
}
