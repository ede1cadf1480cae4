// Playing a recorded game again, with no window: the recording's inputs fed
// to a fresh Game, and what that game came to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "board/board.h"
#include "gameplay/recording.h"

namespace quarzello {

// Stones flying off, counters and explosions at once, what a game keeps in
// memory besides its board: a Turbo game clicked on in every frame keeps
// under 900, one with 70 clicks in every frame under 2,700.
constexpr size_t kMostInFlight = 10'000;

// What a replay takes on before it gives up: a recording of the longest game
// the recorder keeps fits well inside each.
struct ReplayLimits {
  size_t maxFileBytes = 2u << 20;
  size_t maxBodyBytes = kMaxRecordingBody + 64;
  int64_t maxFrames = kMaxRecordedFrames;
  int64_t maxMillis = kMaxRecordedMillis + 60'000;
  size_t maxInFlight = kMostInFlight;
};

struct ReplayResult {
  std::string error;  // empty when the recording was read and played through
  int score = 0;
  uint8_t mode = 0;
  uint8_t difficulty = 0;
  int32_t generatorState = 0;  // the game was dealt from this
  int64_t frames = 0;
  int64_t playMillis = 0;   // from the start to the last frame, pauses left out
  int64_t pauseMillis = 0;  // the pauses within that, each from its pause to its resume
  bool reachedEnd = false;  // the game came to "GAME OVER" and was not given up
  uint64_t boardHash = 0;   // of the board as the last record left it
  InputFigures inputs;      // how close the recording came to the bounds
  // The recording file the game's own recorder writes of the replayed game,
  // which ends with the record that finished it: what the game ignored and
  // any packing or padding are gone. Empty when the recorder would not have
  // kept the game.
  std::string recording;

  bool ok() const { return error.empty(); }
};

ReplayResult ReplayGame(std::string_view bytes, const ReplayLimits& limits = {});

// Which stone lies where, of which kind and colour, in which state.
uint64_t BoardHash(const Board& board);

}  // namespace quarzello
