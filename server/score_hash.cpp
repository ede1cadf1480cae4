#include "server/score_hash.h"

namespace highscored {

namespace {

constexpr uint32_t kAdlerModulus = 65521;
constexpr size_t kKeyHeadLength = 16;

}  // namespace

int32_t ScoreHash(const std::string& key, int32_t points, int mode) {
  std::string head = key.substr(0, kKeyHeadLength);
  head.resize(kKeyHeadLength, ' ');
  const std::string tail = key.size() > kKeyHeadLength ? key.substr(kKeyHeadLength) : std::string();
  const std::string text = head + std::to_string(points) + std::to_string(mode) + tail;

  uint32_t a = 1;
  uint32_t b = 0;
  for (unsigned char c : text) {
    a = (a + c) % kAdlerModulus;
    b = (b + a) % kAdlerModulus;
  }
  return static_cast<int32_t>((b << 16) | a);
}

}  // namespace highscored
