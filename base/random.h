// The game's random generator: a multiplicative congruential generator
// modulo 2^31 - 1. Its whole state is one number that can be read and set,
// so that a game can be recorded from the moment it starts and dealt again.
#pragma once

#include <cstdint>

struct Random {
  static constexpr int32_t kModulus = 0x7FFFFFFF;
  static constexpr int32_t kFallbackSeed = 0x1234;

  int32_t state = kFallbackSeed;

  // Any int: the state must be neither 0 nor 2^31 - 1, which fall back to a fixed seed.
  void Seed(int seed);
  // A state a generator can be in (what a recording may carry).
  static bool ValidState(int64_t state) { return state > 0 && state < kModulus; }
  // From low to high, both included (either order).
  int Int(int low, int high);
};
