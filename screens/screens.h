// The frame functions of the screens, one per value of ui.screen. Each draws
// a whole frame of the app it is given from Cls to Flip and may move to
// another screen.
#pragma once

#include "screens/app.h"
#include "screens/game_screen.h"
#include "screens/entry.h"
#include "screens/table.h"

namespace quarzello {

void DrawMainMenu(App& app);
void DrawCredits(App& app);
void DrawModeSelect(App& app);
void DrawDifficultySelect(App& app);
void DrawPause(App& app);

}  // namespace quarzello
