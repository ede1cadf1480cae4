#pragma once

#include <chrono>
#include <cstdint>

namespace highscored {

// Wall clock: what is stored with a score and compared with it.
inline int64_t WallMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// For ages and intervals, which must not jump with the wall clock.
inline int64_t SteadyMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace highscored
