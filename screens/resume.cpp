#include "screens/resume.h"

#include <string>
#include <utility>

#include "gameplay/game.h"
#include "gameplay/replay.h"
#include "highscore/kept_games.h"
#include "widgets/frontend.h"

namespace quarzello {

void KeepInterruptedGame(App& app, int64_t now) {
  Game& game = app.game;
  const bool shown = app.ui.screen == GameScreen || app.ui.screen == Pause;
  if (!shown || game.gameOverState != Running || game.aborted) {
    // A kept game that ended since must not be offered again.
    if (app.runningGameKept) ForgetInterruptedGame(app);
    return;
  }
  if (!game.paused) PauseGame(game, now);
  const std::string recording = EncodeRecording(game.recording);
  if (recording.empty()) {  // past the recorder's limits: nothing that could be gone on with
    ForgetInterruptedGame(app);
    return;
  }
  // The ticket first: a game whose save fails leaves a ticket no other game matches.
  SaveInterruptedTicket(app.gameTicket, game.recording.generatorState);
  SaveInterruptedGame(recording);
}

void OfferInterruptedGame(App& app) {
  InterruptedGame found;
  const auto recording = TakeInterruptedGame([&found](const std::string& bytes) {
    Playback playback(bytes);
    const Game& game = playback.game();
    if (!playback.PlayToEnd() || game.gameOverState != Running || game.aborted || !game.recording.complete)
      return false;
    found.lastRecord = playback.lastRecordTime();
    found.ticket = InterruptedTicket(playback.generatorState());
    return true;
  });
  if (!recording) return;
  found.recording = *recording;
  app.interrupted = std::move(found);
}

void GoOnWithInterruptedGame(App& app, int64_t now) {
  if (!app.interrupted) return;
  const InterruptedGame kept = std::move(*app.interrupted);
  app.interrupted.reset();
  // Started that long ago, the game's last record falls on now.
  Playback playback(kept.recording, {}, now - kept.lastRecord);
  if (!playback.PlayToEnd()) return;
  app.ui.messages.clear();
  app.game = std::move(playback.game());
  // The game draws on from the generator as it left it, and so do the games after it.
  app.generator = playback.random();
  app.game.random = &app.generator;
  if (!app.game.paused) PauseGame(app.game, now);
  app.gameTicket = kept.ticket;
  app.runningGameKept = true;
  app.ui.screen = Pause;
}

void ForgetInterruptedGame(App& app) {
  app.interrupted.reset();
  app.runningGameKept = false;
  DiscardInterruptedGame();
}

}  // namespace quarzello
