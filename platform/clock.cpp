// The millisecond clock, the random generator and small arithmetic helpers.
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <numbers>
#include <random>

#include "platform/platform.h"

namespace {

bool testClockSet = false;
int64_t testClockMillis = 0;

// A multiplicative congruential generator modulo 2^31 - 1: its state is a
// 31-bit number that must be neither 0 nor 2^31 - 1, hence the seeding rule.
constexpr int32_t kModulus = 0x7FFFFFFF;
constexpr int32_t kMultiplier = 48271;
constexpr int32_t kFallbackSeed = 0x1234;
int32_t randomState = kFallbackSeed;

double NextUnit() {
  randomState = static_cast<int32_t>(static_cast<int64_t>(randomState) * kMultiplier % kModulus);
  return static_cast<double>(randomState - 1) / static_cast<double>(kModulus - 1);  // 0 <= r < 1
}

constexpr float kRadiansPerDegree = std::numbers::pi_v<float> / 180.0f;

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

void SeedRandom(int seed) {
  const int32_t state = seed & 0x7FFFFFFF;
  randomState = state == 0 || state == kModulus ? kFallbackSeed : state;
}

int StartSeed() {
  if (const char* fixed = std::getenv("QUARZELLO_SEED"); fixed != nullptr && *fixed != 0) return TextToInt(fixed);
  return static_cast<int>(std::random_device()());
}

int RandomInt(int low, int high) {
  const double r = NextUnit();
  const int64_t d = static_cast<int64_t>(high) - low;
  if (d > 0) return static_cast<int>(low + static_cast<int64_t>(r * static_cast<double>(d + 1)));
  return static_cast<int>(high + static_cast<int64_t>(r * static_cast<double>(1 - d)));
}

float SinDeg(float degrees) { return std::sin(degrees * kRadiansPerDegree); }
float CosDeg(float degrees) { return std::cos(degrees * kRadiansPerDegree); }
float ATan2Deg(float y, float x) { return std::atan2(y, x) / kRadiansPerDegree; }

int Truncate(float value) {
  // Values beyond the int range saturate instead of being undefined.
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0f) return std::numeric_limits<int>::max();
  if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}
