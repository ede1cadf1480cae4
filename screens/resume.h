// A game that is not over when the window is closed, Escape is pressed or
// the desktop logs out is kept in the data directory (highscore/kept_games.h)
// and offered on the main menu at the next start. Gone on with, it is
// rebuilt from its recording and shown paused where it stood; the time the
// program was not running counts as nothing, so that the game goes on being
// recorded as one game whose pause was merely long.
#pragma once

#include <cstdint>

#include "screens/app.h"

namespace quarzello {

// Before the program exits: a running game is paused (if it was not) and
// kept with its ticket; a kept game that has since ended is dropped.
void KeepInterruptedGame(App& app, int64_t now);
// At start, in the data directory: the kept game, if it can be gone on with,
// goes into app.interrupted; one that cannot is set aside.
void OfferInterruptedGame(App& app);
// The offered game rebuilt on the clock at now and shown on the pause screen;
// app.generator goes on from where the game left it.
void GoOnWithInterruptedGame(App& app, int64_t now);
// The kept game will not be gone on with: given up, ended or replaced.
void ForgetInterruptedGame(App& app);

}  // namespace quarzello
