#include "protocol/score_hash.h"

#include <zlib.h>

namespace quarzello {
namespace {

constexpr size_t kKeyHeadLength = 16;

}  // namespace

int32_t ScoreHash(const std::string& key, int32_t points, int ranking) {
  std::string head = key.substr(0, kKeyHeadLength);
  head.resize(kKeyHeadLength, ' ');
  const std::string tail = key.size() > kKeyHeadLength ? key.substr(kKeyHeadLength) : std::string();
  const std::string text = head + std::to_string(points) + std::to_string(ranking) + tail;
  const uLong sum = adler32(adler32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(text.data()),
                            static_cast<uInt>(text.size()));
  return static_cast<int32_t>(static_cast<uint32_t>(sum));
}

}  // namespace quarzello
