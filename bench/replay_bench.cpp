// How fast the core plays a recorded game again (what the service pays per
// verified score): a whole 121-second Turbo game and ten minutes of Level,
// recorded by a scripted player. frames/s is the replay's speed; a game at
// 60 frames a second runs that many times faster than real time / 60.
#include <benchmark/benchmark.h>

#include "gameplay/replay.h"
#include "tests/gameplay/scripted_play.h"

using namespace quarzello;

namespace {

void Replay(benchmark::State& state, const gameplay_test::Played& played) {
  int64_t frames = 0;
  for (auto _ : state) {
    const ReplayResult result = ReplayGame(played.recording);
    if (!result.ok() || result.score != played.score) state.SkipWithError("the replay went astray");
    frames = result.frames;
    benchmark::DoNotOptimize(result.boardHash);
  }
  state.counters["frames"] = static_cast<double>(frames);
  state.counters["bytes"] = static_cast<double>(played.recording.size());
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ReplayTurboGame(benchmark::State& state) {
  static const gameplay_test::Played turbo = gameplay_test::Play(Turbo, Leicht, 6, 30);
  Replay(state, turbo);
}
BENCHMARK(BM_ReplayTurboGame)->Unit(benchmark::kMillisecond);

void BM_ReplayTenMinutesOfLevel(benchmark::State& state) {
  // A move every frame keeps the rows from the top for the whole ten minutes.
  static const gameplay_test::Played level = gameplay_test::Play(Level, Leicht, 7, 1, 60 * 60 * 10);
  Replay(state, level);
}
BENCHMARK(BM_ReplayTenMinutesOfLevel)->Unit(benchmark::kMillisecond);

}  // namespace
