// The screen after a finished game: the player names the result, chooses
// whether it also goes online, and it is ranked, saved and shown.
#pragma once

namespace quarzello {

struct App;

// The frame function of the new-highscore screen.
void DrawNewHighscore(App& app);

}  // namespace quarzello
