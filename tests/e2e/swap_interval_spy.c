/* Preloaded into the game by an end-to-end test. The GLX extensions named in
   SWAP_SPY_OFFER (blank-separated) are added to those the driver reports, and
   every swap interval the game then asks for through glXSwapIntervalEXT or
   glXSwapIntervalMESA is noted in the file named by SWAP_SPY_LOG ("EXT 0",
   "MESA 0") instead of reaching a driver that may not have the extension. */
#define _GNU_SOURCE
#include <GL/glx.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef void (*GlxFunction)(void);
typedef GlxFunction (*GetProcAddress)(const GLubyte *);
typedef const char *(*QueryExtensionsString)(Display *, int);

static void Note(const char *extension, int interval) {
  const char *path = getenv("SWAP_SPY_LOG");
  FILE *log = path ? fopen(path, "a") : NULL;
  if (log == NULL) return;
  fprintf(log, "%s %d\n", extension, interval);
  fclose(log);
}

static void SpyExt(Display *display, GLXDrawable drawable, int interval) {
  (void)display;
  (void)drawable;
  Note("EXT", interval);
}

static int SpyMesa(unsigned int interval) {
  Note("MESA", (int)interval);
  return 0;
}

static GlxFunction Look(const char *next, const GLubyte *name) {
  if (strcmp((const char *)name, "glXSwapIntervalEXT") == 0) return (GlxFunction)SpyExt;
  if (strcmp((const char *)name, "glXSwapIntervalMESA") == 0) return (GlxFunction)SpyMesa;
  GetProcAddress real = (GetProcAddress)dlsym(RTLD_NEXT, next);
  return real ? real(name) : NULL;
}

GlxFunction glXGetProcAddressARB(const GLubyte *name) { return Look("glXGetProcAddressARB", name); }
GlxFunction glXGetProcAddress(const GLubyte *name) { return Look("glXGetProcAddress", name); }

const char *glXQueryExtensionsString(Display *display, int screen) {
  static char extensions[8192];
  QueryExtensionsString real = (QueryExtensionsString)dlsym(RTLD_NEXT, "glXQueryExtensionsString");
  const char *offer = getenv("SWAP_SPY_OFFER");
  snprintf(extensions, sizeof extensions, "%s %s", real ? real(display, screen) : "", offer ? offer : "");
  return extensions;
}
