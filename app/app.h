// The program's body: start-up, and the loop that turns window events into
// changes of the front end's one instance (screens/app.h) and paints one
// frame of its current screen per tick.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "platform/window.h"
#include "screens/app.h"

namespace quarzello {

// What the command line asks for.
struct StartOptions {
  std::string watch;  // --watch FILE: show that recording, then end
};
// The options of the arguments after the program's name; none, with what
// to print in `complaint`, for arguments the game does not take (a usage
// line alone for --help).
std::optional<StartOptions> ParseCommandLine(const std::vector<std::string_view>& args, std::string& complaint);

// The game's catalogues: the build tree's beside the program, else the
// installed ones.
Catalogues GameCatalogues();
// The language the game shows: QUARZELLO_LANG (`setting`) when it is set,
// else the first of the desktop's languages with a catalogue, else German.
std::string ChooseLanguageCode(const Catalogues& catalogues, const char* setting, const LocaleSettings& desktop);

// Makes the front end's instance, starts the game and runs its loop; ends
// only through ExitProgram or a failed image load.
[[noreturn]] void RunApplication(const StartOptions& options);

// Handles one event of the loop (one pass without the quit check).
void HandleEvent(App& app, const Event& event, GameWindow& window);
// After each event: Escape or a quit request from the desktop ends the game;
// while an online request runs, Escape gives it up instead.
void ExitIfRequested(App& app);

// Draws one frame of the current screen; a paint requested while a frame is
// being drawn (say from a message box's own loop) is dropped.
void PaintFrame(App& app, GameWindow& window);
// Sets ui.scale from the window size and reshapes the window to 4 : 5.
void KeepAspectRatio(FrontEnd& ui, GameWindow& window);

// The scale factor the window starts at, from the X server's Xft.dpi resource
// as written (empty when there is none) and the size of the screen's work
// area: 2 from 144 dpi on, or the largest whole factor below it whose
// drawing area fits within 90 % of the work area; 1 without the resource,
// below 144 dpi, for a resource that is not a number, and when nothing fits.
int StartScaleFactor(const std::string& xftDpi, int workWidth, int workHeight);

}  // namespace quarzello
