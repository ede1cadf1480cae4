/* Starts one program on the X server of $DISPLAY and watches the whole
 * screen until its picture holds still, the same way for every program:
 *
 *   startup_probe settle|drawn -- COMMAND [ARG...]
 *
 * Every 2 ms a row in every 25 of the screen is read (the requests of one
 * sample go out together, so a sample costs one round trip), and the first
 * window mapped on the root is noted. "settle" waits until the sampled rows
 * have not changed for 300 ms and reports when they first looked like that;
 * "drawn" (for a program that never holds still) reports the first sample
 * with more than 50 bright pixels that the empty screen did not have. Three
 * seconds after the start the program's PSS is read, then it is ended and the
 * screen is waited for until it is empty again.
 *
 * Prints one line: mapped_ms first_frame_ms pss_kb samples sampled_span_ms
 * (a time is -1 when it did not happen within 10 s). */
#define _GNU_SOURCE
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

enum { kRowStep = 25, kMaxSamples = 20000 };
static const double kPollSeconds = 0.002, kSettleSeconds = 0.3, kGiveUpSeconds = 10, kPssAfter = 3;

static xcb_connection_t* connection;
static xcb_screen_t* screen;
static int rows;

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

static void Sleep(double seconds) {
  struct timespec t = {(time_t)seconds, (long)((seconds - (double)(time_t)seconds) * 1e9)};
  nanosleep(&t, NULL);
}

/* The sampled rows, one after the other, 4 bytes a pixel, into `pixels`. */
static void Sample(uint8_t* pixels) {
  xcb_get_image_cookie_t cookies[rows];
  for (int i = 0; i < rows; ++i) {
    cookies[i] = xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0,
                               (int16_t)(kRowStep / 2 + i * kRowStep), screen->width_in_pixels, 1, ~0u);
  }
  const size_t rowBytes = (size_t)screen->width_in_pixels * 4;
  for (int i = 0; i < rows; ++i) {
    xcb_get_image_reply_t* reply = xcb_get_image_reply(connection, cookies[i], NULL);
    uint8_t* target = pixels + rowBytes * (size_t)i;
    if (reply == NULL) {
      memset(target, 0, rowBytes);
      continue;
    }
    const size_t length = (size_t)xcb_get_image_data_length(reply);
    memcpy(target, xcb_get_image_data(reply), length < rowBytes ? length : rowBytes);
    free(reply);
  }
}

static uint64_t Hash(const uint8_t* bytes, size_t size) {
  uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
  return hash;
}

static int BrightNewPixels(const uint8_t* pixels, const uint8_t* before, size_t size) {
  int count = 0;
  for (size_t i = 0; i + 3 < size; i += 4 * 7) {
    const int bright = pixels[i] > 100 || pixels[i + 1] > 100 || pixels[i + 2] > 100;
    if (bright && memcmp(pixels + i, before + i, 3) != 0) ++count;
  }
  return count;
}

static int MapsSeen(void) {
  int maps = 0;
  xcb_generic_event_t* event;
  while ((event = xcb_poll_for_event(connection)) != NULL) {
    if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) ++maps;
    free(event);
  }
  return maps;
}

static long PssKb(pid_t pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/smaps_rollup", (int)pid);
  FILE* file = fopen(path, "r");
  if (file == NULL) return -1;
  char line[256];
  long kb = -1;
  while (fgets(line, sizeof line, file) != NULL) {
    if (sscanf(line, "Pss: %ld", &kb) == 1) break;
  }
  fclose(file);
  return kb;
}

static void Stop(pid_t pid) {
  kill(pid, SIGTERM);
  for (double deadline = Now() + 5; Now() < deadline; Sleep(0.01)) {
    if (waitpid(pid, NULL, WNOHANG) == pid) return;
  }
  kill(pid, SIGKILL);
  waitpid(pid, NULL, 0);
}

int main(int argc, char** argv) {
  if (argc < 4 || strcmp(argv[2], "--") != 0 || (strcmp(argv[1], "settle") != 0 && strcmp(argv[1], "drawn") != 0)) {
    fprintf(stderr, "usage: startup_probe settle|drawn -- COMMAND [ARG...]\n");
    return 2;
  }
  const int settles = strcmp(argv[1], "settle") == 0;
  connection = xcb_connect(NULL, NULL);
  if (xcb_connection_has_error(connection)) {
    fprintf(stderr, "startup_probe: cannot open the display\n");
    return 2;
  }
  screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  rows = (screen->height_in_pixels - kRowStep / 2 + kRowStep - 1) / kRowStep;
  const size_t size = (size_t)screen->width_in_pixels * 4 * (size_t)rows;
  uint8_t* before = malloc(size);
  uint8_t* pixels = malloc(size);
  static double times[kMaxSamples];
  static uint64_t hashes[kMaxSamples];

  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
  Sample(before);
  const uint64_t emptyHash = Hash(before, size);
  MapsSeen();

  const double start = Now();
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[3], argv + 3);
    _exit(127);
  }
  double mapped = -1, first = -1;
  int samples = 0;
  for (;;) {
    Sample(pixels);
    const double now = Now() - start;
    if (samples < kMaxSamples) {
      times[samples] = now;
      hashes[samples] = Hash(pixels, size);
      ++samples;
    }
    if (mapped < 0 && MapsSeen() > 0) mapped = now;
    if (waitpid(pid, NULL, WNOHANG) == pid) {
      fprintf(stderr, "startup_probe: %s ended during its start\n", argv[3]);
      return 1;
    }
    if (!settles && BrightNewPixels(pixels, before, size) > 50) {
      first = now;
      break;
    }
    if (settles && hashes[samples - 1] != emptyHash && now > 0.5) {
      int still = 1;
      for (int i = samples - 1; i >= 0 && times[i] > now - kSettleSeconds; --i) still &= hashes[i] == hashes[samples - 1];
      if (still) {
        int i = samples - 1;
        while (i > 0 && hashes[i - 1] == hashes[samples - 1]) --i;
        first = times[i];
        break;
      }
    }
    if (now > kGiveUpSeconds) break;
    Sleep(kPollSeconds);
  }
  const double span = times[samples - 1] - times[0];
  const double wait = start + kPssAfter - Now();
  if (wait > 0) Sleep(wait);
  if (mapped < 0 && MapsSeen() > 0) mapped = Now() - start;
  const long pss = PssKb(pid);
  Stop(pid);
  // The next start must find the screen empty again.
  for (double deadline = Now() + 5; Now() < deadline; Sleep(0.02)) {
    Sample(pixels);
    if (memcmp(pixels, before, size) == 0) break;
  }
  printf("%.2f %.2f %ld %d %.2f\n", mapped < 0 ? -1 : mapped * 1000, first < 0 ? -1 : first * 1000, pss, samples,
         span * 1000);
  xcb_disconnect(connection);
  return 0;
}
