// The program's entry: start-up in its fixed order, then the event loop.
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "app/app.h"
#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "gameplay/texts.h"
#include "highscore/store.h"
#include "screens/resume.h"
#include "screens/watch.h"

namespace quarzello {

namespace {

// `quarzello --watch FILE`: the program shows that replay and ends with it.
// A file it cannot show gets a message box, and the program ends at once.
void WatchFromTheStart(App& app, const std::string& path) {
  std::string bytes;
  if (ReadWholeFile(path.c_str(), bytes) != FileState::kRead) {
    Notify(Text(TextId::ReplayMark), FormatText(TextId::RecordingUnreadable, {path}), true);
    ExitProgram(1);
  }
  if (!StartWatching(app, bytes, {}, MainMenu, true)) ExitProgram(1);
}

}  // namespace

void RunApplication(const StartOptions& options) {
  const Catalogues catalogues = GameCatalogues();
  SelectLanguage(LoadLanguage(
      catalogues, ChooseLanguageCode(catalogues, std::getenv("QUARZELLO_LANG"), LocaleSettingsFromEnvironment())));
  // The fonts, loaded below, draw every character of the language's texts.
  std::string characters;
  for (const std::string& text : SelectedLanguage().texts) characters += text;
  AddFontCharacters(characters);
  StartWindowSystem();
  RegisterEmbeddedFiles();
  // The front end's one instance lives as long as the program (which ends by
  // exit, never by leaving this function). The highscores are loaded into it
  // here, before the window.
  App app;
  app.highscores.LoadHighscore(app.ui.playerName, app.ui.saveOnline);
  OfferInterruptedGame(app);
  // Decoded and rasterised while the OpenGL driver loads; the images are
  // checked once the window exists, as when they were loaded after it.
  DecodeImages(app.ui.img);
  TFont::load();

  // A HiDPI desktop gets the drawing area at a whole multiple of the design
  // size, centred on the work area like the plain one.
  const ScreenArea work = DesktopWorkArea();
  const int factor = StartScaleFactor(XftDpiResource(), work.width, work.height);
  const int width = kDesignWidth * factor, height = kDesignHeight * factor;
  GameWindow* window = OpenWindow(Text(TextId::WindowTitle),
                                  work.x + Truncate(static_cast<float>(work.width - width) * 0.5f),
                                  work.y + Truncate(static_cast<float>(work.height - height) * 0.5f), width, height);
  KeepAspectRatio(app.ui, *window);  // ui.scale for the start size
  app.generator.Seed(StartSeed());
  CheckImages(app.ui.img);
  // The board, its effect lists and the play values start out empty.
  StartTicker(60.0f);
  SetBlend(kBlendAlpha);
  if (!options.watch.empty()) WatchFromTheStart(app, options.watch);

  for (;;) {
    HandleEvent(app, WaitNextEvent(), *window);
    ExitIfRequested(app);
  }
}

}  // namespace quarzello

int main(int argc, char** argv) {
  std::string complaint;
  const auto options = quarzello::ParseCommandLine({argv + 1, argv + argc}, complaint);
  if (!options) {
    const bool asked = complaint.rfind("usage:", 0) == 0;
    std::fputs(complaint.c_str(), asked ? stdout : stderr);
    return asked ? 0 : 2;
  }
  quarzello::RunApplication(*options);
}
