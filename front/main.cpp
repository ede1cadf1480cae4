// The program's entry: start-up in its fixed order, then the event loop.
#include <cstdlib>

#include "front/app.h"
#include "front/frontend.h"
#include "front/widgets.h"
#include "highscore/store.h"

namespace {

// QUARZELLO_SEED deals the same stones on every run, for tests.
int StartSeed() {
  const char* fixed = std::getenv("QUARZELLO_SEED");
  return fixed != nullptr && *fixed != '\0' ? TextToInt(fixed) : NowMillis();
}

}  // namespace

void RunApplication() {
  RegisterEmbeddedFiles();
  // The class-level lists of the game's classes exist from the program's
  // start. The highscore store is created and loaded here, before the window.
  highscores.LoadHighscore();

  GameWindow* window =
      OpenWindow("Quarzello", Truncate(static_cast<float>(DesktopWidth() - 400) * 0.5f),
                 Truncate(static_cast<float>(DesktopHeight() - 500) * 0.5f), 400, 500);
  SeedRandom(StartSeed());
  LoadImages();
  TFont::load();
  // The board, its effect lists and the play values start out empty.
  StartTicker(60.0f);
  SetBlend(kBlendAlpha);

  for (;;) {
    HandleEvent(WaitNextEvent(), *window);
    ExitIfRequested();
  }
}

int main() { RunApplication(); }
