// How long the service takes to play a recording again: a 121-s Turbo game,
// a Level game of about ten minutes and a Classic game of nearly four hours
// (the longest the recorder keeps), each recorded by the test player of
// tests/server/recorded_games.cpp and replayed with the core's ReplayGame on
// one core, as a replay worker of the service does.
//
//   build/server/replay_bench [ROUNDS]
//   build/server/replay_bench --write DIR COUNT
// The second form writes COUNT Turbo games (turbo-N.qzr) and a 10-minute
// Level game (level.qzr) into DIR, with "FILE RANKING SCORE" lines in
// DIR/games.txt, for bench/server/uploads.sh, and the costliest recording
// to play that the bounds of a replay let through (costly.qzr).

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "gameplay/replay.h"
#include "tests/server/recorded_games.h"

namespace {

double ThreadCpuMillis() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void Measure(const char* label, const servertest::PlayPlan& plan, int rounds) {
  const servertest::PlayedGame played = servertest::PlayToTheEnd(plan);
  std::vector<double> times;
  quarzello::ReplayResult result;
  for (int i = 0; i < rounds; ++i) {
    const double start = ThreadCpuMillis();
    result = quarzello::ReplayGame(played.recording);
    times.push_back(ThreadCpuMillis() - start);
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  std::printf("%-28s %7.1f s of play, %8lld frames, %7zu bytes recorded (%zu unpacked), score %d: "
              "replay median %.1f ms, fastest %.1f ms, slowest %.1f ms CPU = %.0f recordings/s per core%s\n",
              label, static_cast<double>(played.playMillis) / 1000.0, static_cast<long long>(played.frames),
              played.recording.size(), servertest::UnpackRecording(played.recording).size(), played.score, median,
              times.front(), times.back(), 1000.0 / median,
              result.ok() && result.score == played.score && result.reachedEnd ? "" : "  (REPLAY DIFFERS)");
}

int WriteGames(const std::string& dir, int count) {
  std::ofstream list(dir + "/games.txt");
  auto write = [&](const std::string& name, const servertest::PlayedGame& played) {
    std::ofstream(dir + "/" + name, std::ios::binary) << played.recording;
    list << name << ' ' << played.ranking << ' ' << played.score << '\n';
  };
  write("level.qzr", servertest::PlayToTheEnd({.mode = 2, .seed = 5, .movesUntilMillis = 590'000,
                                               .framesBetweenMoves = 3}));
  std::ofstream(dir + "/costly.qzr", std::ios::binary) << servertest::CostlyRecording();
  for (int i = 0; i < count; ++i) {
    write("turbo-" + std::to_string(i) + ".qzr",
          servertest::PlayToTheEnd({.mode = 1, .difficulty = static_cast<uint8_t>(i % 3), .seed = 100 + i}));
  }
  return list ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--write") return WriteGames(argv[2], std::atoi(argv[3]));
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
  Measure("Turbo Mittel, 121 s", {.mode = 1, .difficulty = 1, .seed = 4, .framesBetweenMoves = 20}, rounds);
  Measure("Level, about 10 min", {.mode = 2, .seed = 5, .movesUntilMillis = 590'000, .framesBetweenMoves = 3},
          rounds);
  Measure("Classic Schwer, hours", {.mode = 0, .difficulty = 2, .seed = 6, .framesBetweenMoves = 9000},
          std::max(1, rounds / 7));
  Measure("the same, jittery clock",
          {.mode = 0, .difficulty = 2, .seed = 6, .framesBetweenMoves = 9000, .jitteryClock = true},
          std::max(1, rounds / 7));
  return 0;
}
