#include "base/numbers.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "base/random.h"

namespace {

constexpr float kRadiansPerDegree = std::numbers::pi_v<float> / 180.0f;
constexpr int32_t kMultiplier = 48271;

}  // namespace

float SinDeg(float degrees) { return std::sin(degrees * kRadiansPerDegree); }
float CosDeg(float degrees) { return std::cos(degrees * kRadiansPerDegree); }
float ATan2Deg(float y, float x) { return std::atan2(y, x) / kRadiansPerDegree; }

int Truncate(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0f) return std::numeric_limits<int>::max();
  if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

void Random::Seed(int seed) {
  const int32_t s = seed & kModulus;
  state = s == 0 || s == kModulus ? kFallbackSeed : s;
}

int Random::Int(int low, int high) {
  state = static_cast<int32_t>(static_cast<int64_t>(state) * kMultiplier % kModulus);
  const double r = static_cast<double>(state - 1) / static_cast<double>(kModulus - 1);  // 0 <= r < 1
  const int64_t d = static_cast<int64_t>(high) - low;
  if (d > 0) return static_cast<int>(low + static_cast<int64_t>(r * static_cast<double>(d + 1)));
  return static_cast<int>(high + static_cast<int64_t>(r * static_cast<double>(1 - d)));
}
