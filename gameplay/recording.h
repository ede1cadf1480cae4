// The recording of a game as it is played: what it started from and every
// input it was given, enough to play it again to the same end. Its bytes are
// described in docs/recording.md.
#pragma once

#include <cstdint>
#include <string>

namespace quarzello {

// Raised whenever a change of the rules would play an old recording
// differently, so that a replay can refuse what it would misjudge.
constexpr int kRulesVersion = 1;
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

struct GameRecording {
  std::string body;  // uncompressed: the start, then the records
  int64_t startTime = 0;
  int64_t lastTime = 0;  // of the last frame, or the start: what steps count from
  int64_t latest = 0;    // of the last record of any kind
  int64_t frames = 0;
  bool started = false;
  bool complete = true;  // false once a cap was reached or the clock ran backwards
};

void BeginRecording(GameRecording& recording, uint8_t mode, uint8_t difficulty, int32_t generatorState, int64_t now);
void RecordFrame(GameRecording& recording, int64_t now);
// An event at time now, after the frame last recorded; c and r only for a click.
void RecordEvent(GameRecording& recording, RecordTag tag, int64_t now, int c = 0, int r = 0);
// The bytes of a recording file; empty for a game that was not recorded whole.
std::string EncodeRecording(const GameRecording& recording);

// Little helpers the replay shares.
void AppendVarint(std::string& out, uint64_t value);

}  // namespace quarzello
