// The millisecond clock and the seed of a run.
#include <cstdlib>
#include <ctime>
#include <random>

#include "platform/platform.h"

namespace {

bool testClockSet = false;
int64_t testClockMillis = 0;

}  // namespace

int64_t NowMillis() {
  if (testClockSet) return testClockMillis;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SetTestClock(int64_t millis) {
  testClockSet = true;
  testClockMillis = millis;
}

void UseSystemClock() { testClockSet = false; }

int StartSeed() {
  if (const char* fixed = std::getenv("QUARZELLO_SEED"); fixed != nullptr && *fixed != 0) return TextToInt(fixed);
  return static_cast<int>(std::random_device()());
}

