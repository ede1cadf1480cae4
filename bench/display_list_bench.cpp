// What a frame costs before any pixel is touched: recording a menu-sized
// display list, and the comparison that lets a still screen skip drawing.
#include <benchmark/benchmark.h>

#include "widgets/frontend.h"
#include "platform/platform.h"

using namespace quarzello;

namespace {

// Keeps only the last list and compares each new one with it, as the game's
// window does before it draws.
class ComparingBackend : public Backend {
 public:
  DisplayList last;
  int unchanged = 0;
  void Present(const DisplayList& frame) override {
    if (frame == last) {
      ++unchanged;
      return;
    }
    last = frame;
  }
  void ShowMessage(const std::string&, const std::string&, bool) override {}
  int CanvasWidth() const override { return 400; }
  int CanvasHeight() const override { return 500; }
};

// A frame like a busy screen: a background, a board of stones and some text.
void DrawBusyFrame(const Image& background, const Image& stones, int stoneCount) {
  Cls();
  SetDrawScale(1, 1);
  DrawImageFrame(&background, 0, 0, 0);
  for (int i = 0; i < stoneCount; ++i) {
    SetAlpha(1.0f);
    DrawImageFrame(&stones, static_cast<float>(40 + 20 * (i % 17)), static_cast<float>(100 + 20 * (i / 17)), i % 26);
  }
  SetColor(79, 88, 94);
  for (const char* text : {"Punkte", "12345", "Level 3", "Zeit 1:23"}) DrawString(text, 10, 10);
  SetColor(255, 255, 255);
  Flip(-1);
}

void BM_StillFrame(benchmark::State& state) {
  Image background, stones;
  stones.frames = 130;
  ComparingBackend backend;
  SetBackend(&backend);
  const int stoneCount = static_cast<int>(state.range(0));
  for (auto _ : state) DrawBusyFrame(background, stones, stoneCount);
  SetBackend(nullptr);
  state.counters["skipped"] = benchmark::Counter(backend.unchanged, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_StillFrame)->Arg(0)->Arg(17 * 19);

void BM_StringWidth(benchmark::State& state) {
  RegisterEmbeddedFiles();
  Font* font = LoadFontFile("incbin::lucidagrande.ttf", 14, 5);
  SelectFont(font);
  for (auto _ : state) benchmark::DoNotOptimize(StringWidth("Verbindung zum Server wird herrgestellt"));
  SelectFont(nullptr);
}
BENCHMARK(BM_StringWidth);

void BM_LoadGameFont(benchmark::State& state) {
  RegisterEmbeddedFiles();
  for (auto _ : state) benchmark::DoNotOptimize(LoadFontFile("incbin::lucidagrande.ttf", 36, 5));
}
BENCHMARK(BM_LoadGameFont)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LoadImages(benchmark::State& state) {
  RegisterEmbeddedFiles();
  Images images;
  for (auto _ : state) LoadImages(images);
}
BENCHMARK(BM_LoadImages)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
