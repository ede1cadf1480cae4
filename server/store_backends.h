#pragma once

#include <memory>
#include <string>

#include "server/store.h"

namespace highscored {

std::unique_ptr<ScoreStore> OpenSqliteStore(const std::string& path);
std::unique_ptr<ScoreStore> OpenPostgresStore(const std::string& url, int connections);

}  // namespace highscored
