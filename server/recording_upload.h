#pragma once

// The game's fourth request: the recording of a submitted game, as it is
// sent (URL-safe base64 in a form field) and tied to the key of the
// registration the score was submitted with.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// RFC 4648 base64 with the URL-safe alphabet (- and _), padding optional;
// nothing for any other character or a cut-off group.
std::optional<std::string> DecodeBase64Url(std::string_view text);
std::string EncodeBase64Url(std::string_view bytes);

// The check value an upload carries: CRC-32 (zlib's) over the key, the
// recording's bytes and the key again, as a signed 32-bit number. The game
// computes the same in highscore/online.cpp.
int32_t RecordingHash(std::string_view key, std::string_view recording);

}  // namespace highscored
