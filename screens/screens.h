// The frame functions of the screens, one per value of ui.screen. Each draws
// a whole frame from Cls to Flip and may move to another screen.
#pragma once

#include "screens/game_screen.h"
#include "screens/entry.h"
#include "screens/table.h"

namespace quarzello {

void DrawMainMenu();
void DrawCredits();
void DrawModeSelect();
void DrawDifficultySelect();
void DrawPause();

}  // namespace quarzello
