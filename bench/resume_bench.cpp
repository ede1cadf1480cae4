// What going on with a game the window was closed on costs: the game of a
// 30-minute Classic recording rebuilt from it and put in the window's place
// (from the click on "Weiterspielen" to the paused game ready to show), and
// the check at start-up that decides whether it is offered.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "gameplay/game.h"
#include "gameplay/recording.h"
#include "screens/app.h"
#include "screens/resume.h"
#include "tests/gameplay/scripted_play.h"

using namespace quarzello;

namespace {

constexpr int64_t kThirtyMinutesOfFrames = 30 * 60 * 60;

// A Classic Leicht game played for 30 minutes at 60 frames a second, a
// move every 20 seconds, then paused as the window's close leaves it.
const InterruptedGame& ThirtyMinutesOfClassic() {
  static const InterruptedGame kept = [] {
    Random random;
    random.Seed(2024);
    Game game;
    game.gameMode = Classic;
    game.difficulty = Leicht;
    int64_t now = 1'000'000;
    StartGame(game, random, now);
    for (int64_t frame = 0; frame < kThirtyMinutesOfFrames && game.gameOverState == Running; ++frame)
      gameplay_test::PlayScriptedFrame(game, now, frame, 1200);
    PauseGame(game, now + 20);
    InterruptedGame interrupted;
    if (game.gameOverState == Running) interrupted.recording = EncodeRecording(game.recording);
    interrupted.lastRecord = now + 20 - game.recording.startTime;
    return interrupted;
  }();
  return kept;
}

void BM_GoOnWithThirtyMinutesOfClassic(benchmark::State& state) {
  const InterruptedGame& kept = ThirtyMinutesOfClassic();
  if (kept.recording.empty()) state.SkipWithError("the scripted game ended before 30 minutes");
  for (auto _ : state) {
    state.PauseTiming();
    auto app = std::make_unique<App>();
    app->interrupted = kept;
    state.ResumeTiming();
    GoOnWithInterruptedGame(*app, 50'000'000);
    if (app->ui.screen != Pause) state.SkipWithError("the game was not rebuilt");
    benchmark::DoNotOptimize(app->game.score);
  }
  state.counters["bytes"] = static_cast<double>(kept.recording.size());
}
BENCHMARK(BM_GoOnWithThirtyMinutesOfClassic)->Unit(benchmark::kMillisecond);

}  // namespace
