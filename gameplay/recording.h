// The recording of a game as it is played: what it started from and every
// input it was given, enough to play it again to the same end. Its bytes are
// described in docs/recording.md.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quarzello {

// Raised whenever a change of the rules would play an old recording
// differently, so that a replay can refuse what it would misjudge.
// Version 2: a click at or after Turbo's deadline, or once the row that ends
// a Level game is due, changes nothing; the recording ends with the game.
constexpr int kRulesVersion = 2;
constexpr int kRecordingFormat = 1;
constexpr char kRecordingMagic[] = "QZRC";

// Past these a game goes on unrecorded: four hours of play at 60 frames a
// second, with room for a faster clock.
constexpr int64_t kMaxRecordedMillis = 4LL * 60 * 60 * 1000;
constexpr int64_t kMaxRecordedFrames = 1'000'000;
constexpr size_t kMaxRecordingBody = 4u << 20;

enum class RecordTag : uint8_t { Frame = 0, Click = 1, Pause = 2, Resume = 3, Continue = 4, Abort = 5 };
// A frame whose step is shorter than kShortFrameSteps milliseconds, nearly
// every one, is the single byte kShortFrame + step.
constexpr uint8_t kShortFrame = 16;
constexpr int kShortFrameSteps = 256 - kShortFrame;

// What a recording may hold: the inputs a player with a mouse gives a game
// that runs in the game's own loop, with room for a busy machine (the
// measurements behind the figures are in docs/recording.md). The recorder
// writes nothing beyond them, and a replay refuses anything beyond them.
constexpr int kMostClicksInFrame = 12;
constexpr int kMostClicksInSecond = 25;
// How long after its frame (or the resume) a click may come while the game
// runs; a click later than this finds the game one frame on (ClickBoardCell).
constexpr int64_t kLongestClickLag = 500;

// The largest of each figure that the bounds watch, as a recording went.
struct InputFigures {
  int mostClicksInFrame = 0;
  int mostClicksInSecond = 0;
  int64_t longestClickLag = 0;
  int64_t longestFrameStep = 0;
};

// The bounds, kept record by record from the start of a game; a game that
// was never started (a test's board) has none.
class InputBounds {
 public:
  void Start(int64_t now);
  // Why a record of tag at time now is one no running game makes; empty
  // when it may be recorded. Times are taken to run forward.
  std::string Refusal(RecordTag tag, int64_t now) const;
  void Take(RecordTag tag, int64_t now);  // a record that had no refusal
  void End() { ended_ = true; }
  bool ended() const { return ended_; }
  // Since the last frame, or the resume after it.
  int64_t ClickLag(int64_t now) const { return started_ ? now - runningSince_ : 0; }
  const InputFigures& figures() const { return figures_; }

 private:
  int64_t frameTime_ = 0;
  int64_t runningSince_ = 0;
  bool started_ = false;
  bool paused_ = false;
  bool ended_ = false;
  int clicksInFrame_ = 0;
  int64_t clicks_ = 0;
  std::array<int64_t, kMostClicksInSecond> recent_{};  // the latest clicks' times, round
  InputFigures figures_;
};

struct GameRecording {
  InputBounds bounds;
  std::string body;  // uncompressed: the start, then the records
  int64_t startTime = 0;
  int64_t lastTime = 0;  // of the last frame, or the start: what steps count from
  int64_t latest = 0;    // of the last record of any kind
  int64_t frames = 0;
  int32_t generatorState = 0;  // the game was dealt from this
  bool started = false;
  bool complete = true;  // false once a cap was reached or the clock ran backwards
};

void BeginRecording(GameRecording& recording, uint8_t mode, uint8_t difficulty, int32_t generatorState, int64_t now);
void RecordFrame(GameRecording& recording, int64_t now);
// An event at time now, after the frame last recorded; c and r only for a click.
void RecordEvent(GameRecording& recording, RecordTag tag, int64_t now, int c = 0, int r = 0);
// The game has ended or was given up: nothing after it is recorded.
void EndRecording(GameRecording& recording);
// The bytes of a recording file; empty for a game that was not recorded whole.
std::string EncodeRecording(const GameRecording& recording);

// Little helpers the replay shares.
void AppendVarint(std::string& out, uint64_t value);

}  // namespace quarzello
