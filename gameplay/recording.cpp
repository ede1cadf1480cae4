#include "gameplay/recording.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace quarzello {

void AppendVarint(std::string& out, uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<char>((value & 0x7F) | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<char>(value));
}

void InputBounds::Start(int64_t now) {
  *this = InputBounds{};
  started_ = true;
  frameTime_ = runningSince_ = now;
}

std::string InputBounds::Refusal(RecordTag tag, int64_t now) const {
  if (!started_) return "";
  if (ended_) return "a record after the game's end";
  switch (tag) {
    case RecordTag::Frame: return paused_ ? "a frame while the game is paused" : "";
    case RecordTag::Click:
      if (paused_) return "a click while the game is paused";
      if (clicksInFrame_ >= kMostClicksInFrame) {
        return "more than " + std::to_string(kMostClicksInFrame) + " clicks in one frame";
      }
      if (clicks_ >= kMostClicksInSecond && now - recent_[clicks_ % kMostClicksInSecond] < 1000) {
        return "more than " + std::to_string(kMostClicksInSecond) + " clicks in one second";
      }
      if (ClickLag(now) > kLongestClickLag) {
        return "a click more than " + std::to_string(kLongestClickLag) + " ms after its frame";
      }
      return "";
    case RecordTag::Pause: return paused_ ? "a pause while the game is paused" : "";
    case RecordTag::Resume: return paused_ ? "" : "a resume while the game runs";
    // "Weiter" comes after the end, which is not recorded.
    case RecordTag::Continue: return "\"Weiter\" before the game's end";
    case RecordTag::Abort: return "";
  }
  return "unknown record " + std::to_string(static_cast<int>(tag));
}

void InputBounds::Take(RecordTag tag, int64_t now) {
  switch (tag) {
    case RecordTag::Frame:
      figures_.longestFrameStep = std::max(figures_.longestFrameStep, now - frameTime_);
      frameTime_ = runningSince_ = now;
      clicksInFrame_ = 0;
      break;
    case RecordTag::Click: {
      figures_.longestClickLag = std::max(figures_.longestClickLag, ClickLag(now));
      figures_.mostClicksInFrame = std::max(figures_.mostClicksInFrame, ++clicksInFrame_);
      recent_[clicks_ % kMostClicksInSecond] = now;
      ++clicks_;
      const int64_t kept = std::min<int64_t>(clicks_, kMostClicksInSecond);
      int inSecond = 0;
      for (int64_t i = 0; i < kept; ++i) inSecond += now - recent_[i] < 1000;
      figures_.mostClicksInSecond = std::max(figures_.mostClicksInSecond, inSecond);
      break;
    }
    case RecordTag::Pause: paused_ = true; break;
    case RecordTag::Resume:
      paused_ = false;
      runningSince_ = now;
      break;
    case RecordTag::Continue:
    case RecordTag::Abort: break;
  }
}

namespace {

// The bounds see every record; a record they refuse while the game runs
// would make the recording lie, so it stops. After the end the game goes
// on showing "GAME OVER", and nothing of that is recorded.
bool Allowed(GameRecording& recording, RecordTag tag, int64_t now) {
  InputBounds& bounds = recording.bounds;
  if (bounds.ended()) return false;
  if (!bounds.Refusal(tag, now).empty()) {
    recording.complete = false;
    return false;
  }
  bounds.Take(tag, now);
  return true;
}

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
  if (!Allowed(recording, tag, now) || !Fits(recording, now)) return false;
  recording.body.push_back(static_cast<char>(tag));
  AppendVarint(recording.body, static_cast<uint64_t>(now - recording.lastTime));
  return true;
}

}  // namespace

void BeginRecording(GameRecording& recording, uint8_t mode, uint8_t difficulty, int32_t generatorState, int64_t now) {
  recording = GameRecording{};
  recording.started = true;
  recording.bounds.Start(now);
  recording.startTime = recording.lastTime = recording.latest = now;
  recording.generatorState = generatorState;
  recording.body.reserve(1 << 14);
  AppendVarint(recording.body, kRulesVersion);
  recording.body.push_back(static_cast<char>(mode));
  recording.body.push_back(static_cast<char>(difficulty));
  AppendVarint(recording.body, static_cast<uint64_t>(generatorState));
}

void RecordFrame(GameRecording& recording, int64_t now) {
  if (!Allowed(recording, RecordTag::Frame, now) || !Fits(recording, now)) return;
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

void EndRecording(GameRecording& recording) { recording.bounds.End(); }

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
