#pragma once

// The game's fourth request: the recording of a submitted game (its
// encoding and check value are the protocol's, protocol/upload.h), and what
// the service takes on to play it again.

#include <cstddef>

#include "gameplay/recording.h"
#include "gameplay/replay.h"

namespace highscored {

// An upload's body holds at most this much; the recording within it at
// most three quarters of it once decoded. The longest game the recorder
// keeps (four hours at 60 frames a second, on an uneven clock) packs to
// about a third of a MiB.
constexpr size_t kMaxUploadBodyBytes = 1u << 20;
constexpr size_t kMaxRecordingBytes = kMaxUploadBodyBytes / 4 * 3;

// What a replay takes on: the core's own limits (no more unpacked than the
// recorder writes, no more frames than it records), and no more bytes than
// an upload brings.
inline quarzello::ReplayLimits ServiceReplayLimits() {
  quarzello::ReplayLimits limits;
  limits.maxFileBytes = kMaxRecordingBytes;
  return limits;
}

}  // namespace highscored
