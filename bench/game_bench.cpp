// CPU time of the game screen's per-frame work, drawn into the recording
// backend: a full Classic board with a marked, glowing group and its points
// counter, 30 removed stones flying off and an area bomb's explosion.
#include <benchmark/benchmark.h>

#include <memory>

#include "board/board.h"
#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "screens/board_view.h"
#include "gameplay/game.h"
#include "screens/game_screen.h"
#include "platform/platform.h"
#include "screens/app.h"
#include "tests/gameplay/stand_in_images.h"

using namespace quarzello;
using quarzello::gameplay_test::StandInImages;

namespace {

struct BusyBoard {
  StandInImages images;
  RecordingBackend rec;
  App app;
  FrontEnd& ui = app.ui;
  Game& game = app.game;

  BusyBoard() {
    RegisterEmbeddedFiles();
    TFont::load();
    SetBackend(&rec);
    ResetDrawingState();
    SetTestClock(100000);
    ui.img = images.AsImages();
    app.generator.Seed(3);
    game.gameMode = Classic;
    game.difficulty = 1;
    StartNewGame(app);
    for (int frame = 0; frame < 40; ++frame) UpdateGameScreen(ui, game);  // every stone at rest
    for (int c = 6; c < 11; ++c) {
      for (int r = 8; r < 10; ++r) {
        game.world.board(c, r)->mode = Marked;
        game.world.board(c, r)->ms = NowMillis();
      }
    }
    for (int i = 0; i < 30; ++i) game.world.removedStones.push_back(std::make_unique<stone>());
  }

  ~BusyBoard() { SetBackend(nullptr); }

  // Puts the effects back where they started, so every frame does the same work.
  void Renew() {
    rec.frames.clear();
    for (int i = 0; i < 30; ++i) {
      stone& s = *game.world.removedStones[i];
      s.mode = Removed;
      s.col = i % 4;
      s.x = CellCentreX(i % kColumns);
      s.y = CellCentreY(i % kRows);
      s.sx = s.sy = s.alpha = 1.0f;
      s.w = i * 12 - 180;
    }
    game.world.explosions.assign(1, explosion{});
    explosion& blast = game.world.explosions.front();
    blast.x = blast.y = 200.0f;
    blast.sx = blast.sy = 5.0f;
    blast.alpha = 1.0f;
    game.world.counters.assign(1, counter{});
    counter& shown = game.world.counters.front();
    shown.points = 100;
    shown.x = 200.0f;
    shown.y = 250.0f;
    shown.sx = shown.sy = shown.alpha = 1.0f;
  }
};

void BM_GameScreenFrame(benchmark::State& state) {
  BusyBoard busy;
  int now = NowMillis();
  for (auto _ : state) {
    state.PauseTiming();
    busy.Renew();
    SetTestClock(now += 16);
    state.ResumeTiming();
    UpdateGameScreen(busy.ui, busy.game);
  }
  state.counters["commands"] = static_cast<double>(busy.rec.LastFrame().size());
}
BENCHMARK(BM_GameScreenFrame)->Unit(benchmark::kMicrosecond);

// The board alone, to tell its share of a frame from the effects'.
void BM_BoardStones(benchmark::State& state) {
  BusyBoard busy;
  for (auto _ : state) {
    Cls();
    Board& board = busy.game.world.board;
    StepBoardStones(board);
    DrawBoardStones(BoardPictures{busy.ui.scale, &busy.images.stones, &busy.images.counterFont}, board, NowMillis(), NowMillis(),
                    false);
    Flip(-1);
    busy.rec.frames.clear();
  }
}
BENCHMARK(BM_BoardStones)->Unit(benchmark::kMicrosecond);

}  // namespace
