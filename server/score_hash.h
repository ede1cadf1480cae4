#pragma once

#include <cstdint>
#include <string>

namespace highscored {

// The check value a client sends with a score: an Adler-32 sum over the key's
// first 16 characters (space padded), the points and the ranking in decimal,
// and the rest of the key, taken as a signed 32-bit number.
int32_t ScoreHash(const std::string& key, int32_t points, int mode);

}  // namespace highscored
