#include "server/random_key.h"

#include <sys/random.h>

#include <cerrno>
#include <stdexcept>

namespace highscored {

std::string MakeRandomKey() {
  unsigned char bytes[16];
  size_t filled = 0;
  while (filled < sizeof bytes) {
    const ssize_t got = getrandom(bytes + filled, sizeof bytes - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("no random numbers from the operating system");
    }
    filled += static_cast<size_t>(got);
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string key;
  for (unsigned char byte : bytes) {
    key += kDigits[byte >> 4];
    key += kDigits[byte & 15];
  }
  return key;
}

}  // namespace highscored
