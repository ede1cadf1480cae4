// Playing a recorded game again: the recording's inputs fed to a fresh Game,
// record by record (for a window that shows it, or a game that goes on from
// where it stopped), or all at once with no window, and what that game came to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "board/board.h"
#include "base/random.h"
#include "gameplay/game.h"
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

// Why a recording is refused, in the terms a player is told.
enum class RecordingFault : uint8_t {
  None,
  NotARecording,
  OtherVersion,  // of the file format or of the rules
  TooLarge,      // the file, its unpacked records, or the game's length
  Damaged,       // cut short or garbled
  Impossible,    // inputs no player with a mouse makes
};

struct ReplayResult {
  std::string error;  // empty when the recording was read and played through
  RecordingFault fault = RecordingFault::None;
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

// A recording played forward one record at a time. A click, pause, resume or
// abort is played on the game at once. A frame only moves the clock: its
// step is the caller's (BeginFrame at its time, then EndFrame), so that a
// window can draw in between what the live game drew. The game's news stay
// in its outbox for the caller. The game records itself anew as it goes, so
// that it can go on being played and recorded as one game.
class Playback {
 public:
  struct Step {
    RecordTag tag = RecordTag::Frame;
    int64_t at = 0;  // on the game's clock, which starts at startAt
  };

  // Reads the recording's start and deals its game, started at startAt on
  // the caller's clock: a game rebuilt to go on in the window lives on the
  // window's clock, while the recording it makes anew stays the same bytes.
  // error() says why there is none.
  explicit Playback(std::string_view bytes, const ReplayLimits& limits = {}, int64_t startAt = 0);
  Playback(const Playback&) = delete;  // the game draws from the playback's own generator
  Playback& operator=(const Playback&) = delete;

  // The next record, played; nothing at the end of the recording or at the
  // first record no game could have made (error() then says which).
  std::optional<Step> Next();
  // Every record left, frames stepped and news dropped; false at an error.
  bool PlayToEnd();

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  RecordingFault fault() const { return fault_; }
  bool done() const { return at_ == body_.size(); }
  Game& game() { return game_; }
  const Game& game() const { return game_; }
  Random& random() { return random_; }
  int32_t generatorState() const { return generatorState_; }
  int64_t frames() const { return frames_; }
  int64_t frameTime() const { return frameTime_; }  // of the last frame played, since the start
  int64_t pausedMillis() const { return pausedMillis_; }
  int64_t lastRecordTime() const { return latest_; }  // of any kind, since the start

 private:
  std::string Play(Step& step);
  std::string CheckInFlight() const;
  std::string Refuse(RecordingFault fault, std::string why) const;
  std::optional<uint8_t> Byte();
  std::optional<uint64_t> Varint();

  ReplayLimits limits_;
  std::string error_;
  mutable RecordingFault fault_ = RecordingFault::None;  // set beside error_
  std::string body_;
  size_t at_ = 0;
  Random random_;
  Game game_;
  int32_t generatorState_ = 0;
  int64_t frames_ = 0;
  int64_t startAt_ = 0;
  int64_t frameTime_ = 0;  // this and latest_ since the start, as the recording counts
  int64_t latest_ = 0;  // records come in the order of their times
  int64_t pausedMillis_ = 0;
};

ReplayResult ReplayGame(std::string_view bytes, const ReplayLimits& limits = {});

// Which stone lies where, of which kind and colour, in which state.
uint64_t BoardHash(const Board& board);

}  // namespace quarzello
