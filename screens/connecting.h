// What the screens show while an online request runs beside the game: the
// connection notice, drawn every frame in place of the screen that asked,
// with a ring of stones that turns so that the player sees the game is alive,
// and a button that gives the request up (so does Escape). A request given up
// goes on as one that found no connection.
#pragma once

#include <functional>
#include <utility>

#include "widgets/frontend.h"
#include "gameplay/texts.h"
#include "highscore/online.h"
#include "highscore/requests.h"

namespace quarzello {

struct ConnectionNotice {
  TextId text = TextId::Fetching;  // what is under way (Registering, Submitting, SendingRecording, Fetching)
  int frames = 0;                  // drawn since the request started; turns the ring

  void reset() { *this = ConnectionNotice{}; }
};
extern ConnectionNotice connectionNotice;

// Starts a request under the notice saying `text` (see RequestRunner::Start).
template <typename Result>
void StartOnline(TextId text, std::function<Result()> work, std::function<void(Result)> done,
                 RequestRunner::Task cancelled) {
  connectionNotice = ConnectionNotice{text, 0};
  ui.keyboard.focus = ButtonFocus{};  // the notice's button is all there is to highlight
  onlineRequests.Start(std::move(work), std::move(done), std::move(cancelled));
}

// True while a request runs: its screen draws DrawConnecting instead of itself.
inline bool ConnectionUnderway() { return onlineRequests.Busy(); }
// One frame of the connection notice; its button gives the request up.
void DrawConnecting();

// Fetches the online tables under the connection notice. When the fetch went
// through, they replace the store's online lists, and the entry the server
// marked as the player's own becomes the highlighted one. Then `then` runs
// with the fetch's result (NoConnection when it was given up).
void FetchOnlineTables(std::function<void(OnlineResult)> then);

}  // namespace quarzello
