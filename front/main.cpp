// The program's entry: start-up in its fixed order, then the event loop.
#include "front/app.h"
#include "front/frontend.h"
#include "highscore/store.h"

namespace quarzello {

void RunApplication() {
  RegisterEmbeddedFiles();
  StartLoadingResources();
  // The class-level lists of the game's classes exist from the program's
  // start. The highscore store is created and loaded here, before the window.
  highscores.LoadHighscore(ui.playerName, ui.saveOnline);

  GameWindow* window =
      OpenWindow("Quarzello", Truncate(static_cast<float>(DesktopWidth() - kDesignWidth) * 0.5f),
                 Truncate(static_cast<float>(DesktopHeight() - kDesignHeight) * 0.5f), kDesignWidth, kDesignHeight);
  SeedRandom(StartSeed());
  FinishLoadingResources();
  // The board, its effect lists and the play values start out empty.
  StartTicker(60.0f);
  SetBlend(kBlendAlpha);

  for (;;) {
    HandleEvent(WaitNextEvent(), *window);
    ExitIfRequested();
  }
}

}  // namespace quarzello

int main() { quarzello::RunApplication(); }
