// What the screens show while an online request runs beside the game: the
// connection notice, drawn every frame in place of the screen that asked,
// with a ring of stones that turns so that the player sees the game is alive,
// and a button that gives the request up (so does Escape). A request given up
// goes on as one that found no connection.
#pragma once

#include <functional>
#include <utility>

#include "gameplay/texts.h"
#include "highscore/online.h"
#include "highscore/requests.h"
#include "screens/app.h"
#include "widgets/keyboard.h"

namespace quarzello {

// Starts a request under the notice saying `text` (see RequestRunner::Start).
template <typename Result>
void StartOnline(App& app, TextId text, std::function<Result()> work, std::function<void(Result)> done,
                 RequestRunner::Task cancelled) {
  app.notice = ConnectionNotice{text, 0};
  app.ui.keyboard.focus = ButtonFocus{};  // the notice's button is all there is to highlight
  app.requests.Start(std::move(work), std::move(done), std::move(cancelled));
}

// True while a request runs: its screen draws DrawConnecting instead of itself.
inline bool ConnectionUnderway(const App& app) { return app.requests.Busy(); }
// One frame of the connection notice; its button gives the request up.
void DrawConnecting(App& app);

// Fetches the online tables under the connection notice. When the fetch went
// through, they replace the store's online lists, and the entry the server
// marked as the player's own becomes the highlighted one. Then `then` runs
// with the fetch's result (NoConnection when it was given up).
void FetchOnlineTables(App& app, std::function<void(OnlineResult)> then);

}  // namespace quarzello
