#include "gameplay/recording.h"

#include <zlib.h>

#include <cstring>

namespace quarzello {

void AppendVarint(std::string& out, uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<char>((value & 0x7F) | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<char>(value));
}

namespace {

// Times run forward; a recording whose clock ran backwards (a test clock set
// back, say) stops rather than lie.
bool Fits(GameRecording& recording, int64_t now) {
  if (!recording.started || !recording.complete) return false;
  if (now < recording.latest || now - recording.startTime > kMaxRecordedMillis ||
      recording.frames >= kMaxRecordedFrames || recording.body.size() >= kMaxRecordingBody) {
    recording.complete = false;
    return false;
  }
  recording.latest = now;
  return true;
}

bool Append(GameRecording& recording, RecordTag tag, int64_t now) {
  if (!Fits(recording, now)) return false;
  recording.body.push_back(static_cast<char>(tag));
  AppendVarint(recording.body, static_cast<uint64_t>(now - recording.lastTime));
  return true;
}

}  // namespace

void BeginRecording(GameRecording& recording, uint8_t mode, uint8_t difficulty, int32_t generatorState, int64_t now) {
  recording = GameRecording{};
  recording.started = true;
  recording.startTime = recording.lastTime = recording.latest = now;
  recording.body.reserve(1 << 14);
  AppendVarint(recording.body, kRulesVersion);
  recording.body.push_back(static_cast<char>(mode));
  recording.body.push_back(static_cast<char>(difficulty));
  AppendVarint(recording.body, static_cast<uint64_t>(generatorState));
}

void RecordFrame(GameRecording& recording, int64_t now) {
  if (!Fits(recording, now)) return;
  const int64_t step = now - recording.lastTime;
  if (step < kShortFrameSteps) {
    recording.body.push_back(static_cast<char>(kShortFrame + step));
  } else {
    recording.body.push_back(static_cast<char>(RecordTag::Frame));
    AppendVarint(recording.body, static_cast<uint64_t>(step));
  }
  recording.lastTime = now;
  recording.frames += 1;
}

void RecordEvent(GameRecording& recording, RecordTag tag, int64_t now, int c, int r) {
  if (!Append(recording, tag, now)) return;
  if (tag == RecordTag::Click) {
    recording.body.push_back(static_cast<char>(c));
    recording.body.push_back(static_cast<char>(r));
  }
}

std::string EncodeRecording(const GameRecording& recording) {
  if (!recording.started || !recording.complete) return {};
  uLongf size = compressBound(static_cast<uLong>(recording.body.size()));
  std::string out(kRecordingMagic);
  out.push_back(static_cast<char>(kRecordingFormat));
  const size_t header = out.size();
  out.resize(header + size);
  if (compress2(reinterpret_cast<Bytef*>(out.data() + header), &size,
                reinterpret_cast<const Bytef*>(recording.body.data()), static_cast<uLong>(recording.body.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    return {};
  }
  out.resize(header + size);
  return out;
}

}  // namespace quarzello
