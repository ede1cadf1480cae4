#include "gameplay/replay.h"

#include <zlib.h>

#include <cstring>
#include <optional>

#include "gameplay/game.h"

namespace quarzello {

namespace {

// Inflates the whole of in into out, or fails: a stream that is cut short,
// followed by other bytes, or larger than cap.
bool Inflate(std::string_view in, size_t cap, std::string& out, std::string& error, bool& overCap) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) {
    error = "zlib cannot start";
    return false;
  }
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  char chunk[16384];
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(chunk);
    z.avail_out = sizeof chunk;
    status = inflate(&z, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) break;
    const size_t produced = sizeof chunk - z.avail_out;
    if (out.size() + produced > cap) {
      inflateEnd(&z);
      overCap = true;
      error = "recording unpacks to more than " + std::to_string(cap) + " bytes";
      return false;
    }
    out.append(chunk, produced);
    if (status == Z_OK && produced == 0 && z.avail_in == 0) status = Z_BUF_ERROR;  // cut short
  }
  const bool whole = status == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  if (!whole) error = status == Z_STREAM_END ? "bytes after the end of the recording" : "recording damaged or cut short";
  return whole;
}

constexpr uint64_t kLongestStep = 1ULL << 40;  // far beyond any game, short of overflowing a clock

}  // namespace

uint64_t BoardHash(const Board& board) {
  uint64_t h = 14695981039346656037ull;
  auto mix = [&h](int64_t v) {
    for (int i = 0; i < 8; ++i) {
      h ^= static_cast<uint8_t>(v >> (8 * i));
      h *= 1099511628211ull;
    }
  };
  for (const auto& cell : board.cells) {
    if (cell == nullptr) {
      mix(-1);
      continue;
    }
    mix(cell->col);
    mix(cell->bombe);
    mix(cell->mode);
  }
  return h;
}

namespace {

// The unpacked body of a recording file, or why there is none.
std::string Unpack(std::string_view bytes, const ReplayLimits& limits, std::string& body, RecordingFault& fault) {
  const size_t header = std::strlen(kRecordingMagic) + 1;
  fault = RecordingFault::TooLarge;
  if (bytes.size() > limits.maxFileBytes) return "recording larger than " + std::to_string(limits.maxFileBytes) + " bytes";
  fault = RecordingFault::NotARecording;
  if (bytes.size() < header || bytes.substr(0, header - 1) != kRecordingMagic) return "not a recording";
  fault = RecordingFault::OtherVersion;
  if (static_cast<uint8_t>(bytes[header - 1]) != kRecordingFormat) return "recording format not known";
  std::string error;
  bool overCap = false;
  if (!Inflate(bytes.substr(header), limits.maxBodyBytes, body, error, overCap)) {
    fault = overCap ? RecordingFault::TooLarge : RecordingFault::Damaged;
    return error;
  }
  fault = RecordingFault::None;
  return {};
}

}  // namespace

Playback::Playback(std::string_view bytes, const ReplayLimits& limits, int64_t startAt)
    : limits_(limits), startAt_(startAt) {
  error_ = Unpack(bytes, limits, body_, fault_);
  if (!ok()) return;
  const auto rules = Varint();
  const auto mode = Byte();
  const auto difficulty = Byte();
  const auto state = Varint();
  if (!rules || !mode || !difficulty || !state) {
    error_ = "recording cut short in its start";
  } else if (*rules != kRulesVersion) {
    // Older rules let late clicks count: their games are not this game's.
    fault_ = RecordingFault::OtherVersion;
    error_ = "recording made under rules version " + std::to_string(*rules) + "; this replay plays version " +
             std::to_string(kRulesVersion) + " only";
  } else if (*mode > Level || *difficulty > Schwer) {
    error_ = "no such mode or difficulty";
  } else if (!Random::ValidState(static_cast<int64_t>(*state))) {
    error_ = "no such generator state";
  }
  if (!ok()) {
    if (fault_ == RecordingFault::None) fault_ = RecordingFault::Damaged;
    return;
  }
  generatorState_ = static_cast<int32_t>(*state);
  random_.state = generatorState_;
  game_.gameMode = *mode;
  game_.difficulty = *difficulty;
  StartGame(game_, random_, startAt_);
}

std::optional<Playback::Step> Playback::Next() {
  if (ok()) error_ = CheckInFlight();
  if (ok() && !done()) {
    Step step;
    error_ = Play(step);
    if (ok()) return step;
  }
  // Whatever is not otherwise named is damage.
  if (!ok() && fault_ == RecordingFault::None) fault_ = RecordingFault::Damaged;
  return std::nullopt;
}

std::string Playback::Refuse(RecordingFault fault, std::string why) const {
  fault_ = fault;
  return why;
}

std::string Playback::CheckInFlight() const {
  const World& world = game_.world;
  if (world.removedStones.size() + world.counters.size() + world.explosions.size() > limits_.maxInFlight) {
    return Refuse(RecordingFault::Impossible, "more stones and effects in flight than a game keeps");
  }
  return {};
}

std::string Playback::Play(Step& step) {
  const auto tag = Byte();
  if (!tag) return "recording cut short in a record";
  const bool shortFrame = *tag >= kShortFrame;
  const auto delay = shortFrame ? std::optional<uint64_t>(*tag - kShortFrame) : Varint();
  if (!delay) return "recording cut short in a record";
  if (*delay > kLongestStep) return "a step of the clock too long";
  const int64_t at = frameTime_ + static_cast<int64_t>(*delay);
  if (at > limits_.maxMillis) return Refuse(RecordingFault::TooLarge, "recording longer than a game may last");
  if (at < latest_) return "a record earlier than the one before it";
  latest_ = at;
  const RecordTag kind = shortFrame ? RecordTag::Frame : static_cast<RecordTag>(*tag);
  if (kind > RecordTag::Abort) return "unknown record " + std::to_string(*tag);
  const int64_t clock = startAt_ + at;
  std::string refusal = game_.recording.bounds.Refusal(kind, clock);
  if (!refusal.empty()) return Refuse(RecordingFault::Impossible, refusal);
  step = Step{kind, clock};
  switch (kind) {
    case RecordTag::Frame:
      if (++frames_ > limits_.maxFrames) return Refuse(RecordingFault::TooLarge, "recording has too many frames");
      frameTime_ = at;
      break;
    case RecordTag::Click: {
      const auto c = Byte();
      const auto r = Byte();
      if (!c || !r) return "recording cut short in a click";
      if (*c >= kColumns || *r >= kRows) return "a click beside the board";
      ClickBoardCell(game_, *c, *r, clock);
      break;
    }
    case RecordTag::Pause: PauseGame(game_, clock); break;
    case RecordTag::Resume:
      if (game_.paused) pausedMillis_ += clock - game_.pauseStart;
      ResumeGame(game_, clock);
      break;
    case RecordTag::Continue: break;  // refused above
    case RecordTag::Abort: AbortGame(game_, clock); break;
  }
  return {};
}

std::optional<uint8_t> Playback::Byte() {
  if (at_ >= body_.size()) return std::nullopt;
  return static_cast<uint8_t>(body_[at_++]);
}

// At most 63 bits: anything longer is no number the recorder writes.
std::optional<uint64_t> Playback::Varint() {
  uint64_t value = 0;
  for (int shift = 0; shift < 63; shift += 7) {
    const auto byte = Byte();
    if (!byte) return std::nullopt;
    value |= static_cast<uint64_t>(*byte & 0x7F) << shift;
    if ((*byte & 0x80) == 0) return value;
  }
  return std::nullopt;
}

bool Playback::PlayToEnd() {
  while (const auto step = Next()) {
    if (step->tag == RecordTag::Frame) {
      BeginFrame(game_, step->at);
      EndFrame(game_);
    }
    game_.outbox.clear();
  }
  return ok();
}

ReplayResult ReplayGame(std::string_view bytes, const ReplayLimits& limits) {
  ReplayResult result;
  Playback playback(bytes, limits);
  const bool played = playback.PlayToEnd();
  const Game& game = playback.game();
  if (playback.generatorState() != 0) {  // the start was read
    result.mode = game.gameMode;
    result.difficulty = game.difficulty;
    result.generatorState = playback.generatorState();
  }
  result.frames = playback.frames();
  if (!played) {
    result.error = playback.error();
    result.fault = playback.fault();
    return result;
  }
  result.score = game.score;
  result.playMillis = playback.frameTime() - playback.pausedMillis();
  result.pauseMillis = playback.pausedMillis();
  result.reachedEnd = game.gameOverState != Running && !game.aborted;
  result.boardHash = BoardHash(game.world.board);
  result.inputs = game.recording.bounds.figures();
  result.recording = EncodeRecording(game.recording);
  return result;
}

}  // namespace quarzello
