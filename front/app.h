// The program's body: start-up, and the loop that turns window events into
// the game-wide variables and paints one frame of the current screen per tick.
#pragma once

#include "platform/window.h"

namespace quarzello {

// Starts the game and runs its loop; ends only through ExitProgram or a
// failed image load.
[[noreturn]] void RunApplication();

// Handles one event of the loop (one pass without the quit check).
void HandleEvent(const Event& event, GameWindow& window);
// After each event: Escape or a quit request from the desktop ends the game.
void ExitIfRequested();

// Draws one frame of the current screen; a paint requested while a frame is
// being drawn (say from a message box's own loop) is dropped.
void PaintFrame(GameWindow& window);
// Sets ui.scale from the window size and reshapes the window to 4 : 5.
void KeepAspectRatio(GameWindow& window);

// Every game-wide value back to how the program starts: the front end, the
// running game and its generator, the keyboard, the rankings and the table,
// the online state and the messages. Images and fonts stay loaded.
void ResetGameWideState();

}  // namespace quarzello
