// quarzello-replay [--inputs] FILE...: plays each recorded game again with
// the game's own rules and no window, and prints what it came to; with
// --inputs also a line of how close its inputs came to a recording's bounds.
// Exits 1 when any file cannot be read or is not a recording that plays
// through.
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "gameplay/modes.h"
#include "gameplay/replay.h"

namespace {

bool ReadWhole(const char* path, size_t cap, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad() && bytes.size() <= cap;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quarzello;
  const bool inputs = argc > 1 && std::string(argv[1]) == "--inputs";
  const int first = inputs ? 2 : 1;
  if (argc <= first) {
    std::fprintf(stderr, "usage: quarzello-replay [--inputs] FILE...\n");
    return 2;
  }
  int status = 0;
  const ReplayLimits limits;
  for (int i = first; i < argc; ++i) {
    std::string bytes;
    if (!ReadWhole(argv[i], limits.maxFileBytes, bytes)) {
      std::fprintf(stderr, "%s: cannot be read, or larger than %zu bytes\n", argv[i], limits.maxFileBytes);
      status = 1;
      continue;
    }
    const ReplayResult result = ReplayGame(bytes, limits);
    if (!result.ok()) {
      std::fprintf(stderr, "%s: %s\n", argv[i], result.error.c_str());
      status = 1;
      continue;
    }
    const std::string ranking = result.mode == Level ? std::string(ModeName(result.mode))
                                                     : std::string(ModeName(result.mode)) + " " + DifficultyName(result.difficulty);
    std::printf("%s: score %d, %s, %" PRId64 " frames, %" PRId64 ".%03" PRId64 " s played, %s, board %016" PRIx64 "\n",
                argv[i], result.score, ranking.c_str(), result.frames, result.playMillis / 1000,
                result.playMillis % 1000, result.reachedEnd ? "game over" : "not ended", result.boardHash);
    if (inputs) {
      const InputFigures& most = result.inputs;
      std::printf("%s: at most %d clicks in a frame, %d in a second; clicks up to %" PRId64
                  " ms after their frame; frames up to %" PRId64 " ms apart\n",
                  argv[i], most.mostClicksInFrame, most.mostClicksInSecond, most.longestClickLag,
                  most.longestFrameStep);
    }
  }
  return status;
}
