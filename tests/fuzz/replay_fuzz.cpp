// Arbitrary bytes as a game's recording: a replay must end with a result or
// a clear error, never a crash, and a recording that plays through must
// play through the same way again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <zlib.h>

#include <string>

#include "gameplay/recording.h"
#include "gameplay/replay.h"

using namespace quarzello;

// An input whose first byte is even is the unpacked body of a recording,
// packed here, so that the fuzzer's changes reach the records themselves
// and not only zlib's checks.
std::string AsRecording(const uint8_t* data, size_t size) {
  if (size == 0 || data[0] % 2 == 1) return std::string(reinterpret_cast<const char*>(data), size);
  uLongf packed = compressBound(static_cast<uLong>(size - 1));
  std::string out(kRecordingMagic);
  out.push_back(static_cast<char>(kRecordingFormat));
  const size_t header = out.size();
  out.resize(header + packed);
  if (compress2(reinterpret_cast<Bytef*>(out.data() + header), &packed, data + 1, static_cast<uLong>(size - 1), 1) !=
      Z_OK) {
    std::abort();
  }
  out.resize(header + packed);
  return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = AsRecording(data, size);
  const std::string_view bytes(input);
  // Limits small enough that no input can keep one run busy for long.
  ReplayLimits limits;
  limits.maxBodyBytes = 1 << 16;
  limits.maxFrames = 20000;
  const ReplayResult first = ReplayGame(bytes, limits);
  if (first.ok()) {
    const ReplayResult again = ReplayGame(bytes, limits);
    if (!again.ok() || again.score != first.score || again.boardHash != first.boardHash ||
        again.frames != first.frames) {
      std::abort();
    }
  }
  return 0;
}
