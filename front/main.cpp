// The program's entry: start-up in its fixed order, then the event loop.
#include "front/app.h"
#include "front/widgets/frontend.h"
#include "front/widgets/widgets.h"
#include "highscore/store.h"

namespace quarzello {

void RunApplication() {
  StartWindowSystem();
  RegisterEmbeddedFiles();
  // The class-level lists of the game's classes exist from the program's
  // start. The highscore store is created and loaded here, before the window.
  highscores.LoadHighscore(ui.playerName, ui.saveOnline);
  // Decoded and rasterised while the OpenGL driver loads; the images are
  // checked once the window exists, as when they were loaded after it.
  DecodeImages();
  TFont::load();

  GameWindow* window =
      OpenWindow("Quarzello", Truncate(static_cast<float>(DesktopWidth() - kDesignWidth) * 0.5f),
                 Truncate(static_cast<float>(DesktopHeight() - kDesignHeight) * 0.5f), kDesignWidth, kDesignHeight);
  generator.Seed(StartSeed());
  CheckImages();
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
