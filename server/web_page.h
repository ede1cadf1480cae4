#pragma once

// The online rankings as an HTML page, drawn in the look of the game's own
// highscore screen. Everything the page needs besides itself comes from the
// service (the pictures under web/), so it works without other sites and
// without scripts.

#include <string>

#include "server/ranking_view.h"
#include "server/texts.h"

namespace highscored {

// A whole HTML5 document in UTF-8. Links are relative, so the page works
// under any path prefix that also serves web/, api/ and replays/ beside it.
// Verified entries link their recording; with showsUnverified the others
// are marked as not verified. Its texts are in the language given; one asked
// for in the query is kept in the page's links.
std::string RenderRankingsPage(const RankingView& view, bool showsUnverified = false, PageLanguage language = {});

// A short page for a request that names no ranking page, with a way back;
// message is one of the service's German texts, translated here.
std::string RenderErrorPage(const std::string& message, PageLanguage language = {});

// The pictures the page shows, by file name.
extern const char* const kStonesPicture;
extern const char* const kTitlePicture;
extern const char* const kIconPicture;

}  // namespace highscored
