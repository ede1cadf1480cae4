// What the screens show while an online request blocks the game.
#pragma once

#include <string>

#include "gameplay/texts.h"
#include "highscore/online.h"

namespace quarzello {

// Draws and presents one frame of the connection notice; it stays on screen
// while the request that follows blocks. text: what is under way (Registering,
// Submitting, Fetching).
void ShowConnecting(TextId text);
// Fetches the online tables under the connection notice. When the fetch went
// through, they replace the store's online lists, and the entry the server
// marked as the player's own becomes the highlighted one.
OnlineResult FetchOnlineTables();

}  // namespace quarzello
