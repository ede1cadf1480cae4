// The front end's one instance: everything the screens share. The program
// makes one when it starts (RunApplication) and hands it to every screen by
// reference; a test makes a fresh one. What stays process-wide instead, and
// why, is listed in docs/architecture.md.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/random.h"
#include "gameplay/game.h"
#include "gameplay/texts.h"
#include "highscore/deal.h"
#include "highscore/online.h"
#include "highscore/requests.h"
#include "highscore/store.h"
#include "screens/table.h"
#include "screens/watch.h"
#include "widgets/frontend.h"

namespace quarzello {

// What the connection notice says while a request runs.
struct ConnectionNotice {
  TextId text = TextId::Fetching;  // what is under way (Registering, Submitting, SendingRecording, Fetching)
  int frames = 0;                  // drawn since the request started; turns the ring
};

// Boards the service dealt for ranked online games, one per ranking, fetched
// beside the loop while the menus show (screens/dealing.h).
struct DealtBoards {
  std::array<std::optional<DealtBoard>, kRankings> atHand;
  std::array<int64_t, kRankings> dealtAt{};  // NowMillis when each came
  RequestRunner runner;  // its own: a deal shows no notice and holds nothing up
  int64_t nextTry = 0;   // after a deal that failed, no other before this
};

// A game the window was closed on, kept in the data directory and offered
// on the main menu (screens/resume.h).
struct InterruptedGame {
  std::string recording;
  int64_t lastRecord = 0;  // the time of its last record, since its start
  int32_t ticket = 0;      // of its dealt board; 0: not dealt
};

struct App {
  FrontEnd ui;       // the screen, scale, mouse, name, keyboard, images and messages
  Random generator;  // deals every game of the run in turn (seeded once at start-up)
  Game game;         // the running game, the one the screens show and feed
  THighscore highscores;
  OnlineState online;
  RequestRunner requests;  // one online request at a time, beside the event loop
  ConnectionNotice notice;
  TableView tableView;
  RequestRunner lookups;  // the online table's verified entries: no notice, holds nothing up
  ScoreRows scoreRows;  // the table screen's rows
  DealtBoards dealt;
  int32_t gameTicket = 0;  // the ticket of the running game's dealt board; 0: not dealt
  Watch watch;             // the recorded game on the watch screen
  std::optional<InterruptedGame> interrupted;  // offered on the main menu
  // The running game was gone on with from the kept file, which stays until
  // the game ends, is given up or another one starts.
  bool runningGameKept = false;
  // A frame is being drawn: a paint asked for meanwhile (say from a message
  // box's own loop) is dropped.
  bool painting = false;

  App() { game.random = &generator; }
  // The game points at the generator: an App stays where it was made.
  App(const App&) = delete;
  App& operator=(const App&) = delete;
};

}  // namespace quarzello
