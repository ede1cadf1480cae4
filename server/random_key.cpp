#include "server/random_key.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "base/random.h"

namespace highscored {

namespace {

void FillRandom(unsigned char* bytes, size_t size) {
  size_t filled = 0;
  while (filled < size) {
    const ssize_t got = getrandom(bytes + filled, size - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("no random numbers from the operating system");
    }
    filled += static_cast<size_t>(got);
  }
}

// 31 random bits, drawn again until accept takes them: uniform over what it takes.
int32_t Random31Bits(bool (*accept)(int64_t)) {
  for (;;) {
    uint32_t bits = 0;
    unsigned char bytes[sizeof bits];
    FillRandom(bytes, sizeof bytes);
    std::memcpy(&bits, bytes, sizeof bits);
    const auto value = static_cast<int32_t>(bits & 0x7FFFFFFFu);
    if (accept(value)) return value;
  }
}

}  // namespace

std::string MakeRandomKey() {
  unsigned char bytes[16];
  FillRandom(bytes, sizeof bytes);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string key;
  for (unsigned char byte : bytes) {
    key += kDigits[byte >> 4];
    key += kDigits[byte & 15];
  }
  return key;
}

int32_t MakeRandomKeyId() {
  int32_t id = 0;
  while (id == 0) {
    unsigned char bytes[sizeof id];
    FillRandom(bytes, sizeof bytes);
    std::memcpy(&id, bytes, sizeof id);
  }
  return id;
}

int32_t MakeRandomTicketId() {
  return Random31Bits([](int64_t value) { return value != 0; });
}

int32_t MakeRandomGeneratorState() { return Random31Bits(Random::ValidState); }

}  // namespace highscored
