// Plays a recording file again with the game's core and prints what it came
// to, for the end-to-end tests: "score mode difficulty reachedEnd", or the
// replay's error on standard error and status 1.
//   replay_probe FILE

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "gameplay/replay.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  const quarzello::ReplayResult result = quarzello::ReplayGame(bytes);
  if (!result.ok()) {
    std::fprintf(stderr, "%s\n", result.error.c_str());
    return 1;
  }
  std::printf("%d %d %d %d\n", result.score, result.mode, result.difficulty, result.reachedEnd ? 1 : 0);
  return 0;
}
