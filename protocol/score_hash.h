// The check value sent with an online score. The game computes it and the
// highscore service recomputes it from the key it handed out, so both build
// this one definition: its bytes are part of the wire format.
#pragma once

#include <cstdint>
#include <string>

namespace quarzello {

// Adler-32 over the key's first 16 characters (padded with spaces), the
// points and the ranking in decimal, and the rest of the key, taken as a
// signed 32-bit number (a sum of 2^31 or more comes out negative).
int32_t ScoreHash(const std::string& key, int32_t points, int ranking);

}  // namespace quarzello
