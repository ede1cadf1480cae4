#pragma once

// The web page's data for programs: one page of one ranking as JSON (UTF-8).
// The format is described in the README.

#include <string>

#include "server/ranking_view.h"

namespace highscored {

std::string RenderRankingsJson(const RankingView& view);

// {"error": message}
std::string RenderJsonError(const std::string& message);

}  // namespace highscored
