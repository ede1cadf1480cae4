#pragma once

#include <string>

#include "server/highscore_service.h"
#include "server/http_frontend.h"
#include "server/replay_pool.h"
#include "server/web_rankings.h"

namespace highscored {

struct Options {
  HttpSettings http;
  ServiceSettings service;
  WebSettings web;
  ReplaySettings replay;
  std::string database;  // empty: the SQLite file in the data directory
  bool showHelp = false;
  std::string error;  // set when the command line cannot be used
};

Options ParseOptions(int argc, const char* const* argv);

// sqlite: address of highscores.sqlite in $XDG_DATA_HOME/quarzello, or
// ~/.local/share/quarzello; the directory is created when missing.
std::string DefaultDatabase();

extern const char* const kUsage;

}  // namespace highscored
