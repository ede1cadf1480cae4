#include "gameplay/replay.h"

#include <zlib.h>

#include <cstring>
#include <optional>

#include "gameplay/game.h"

namespace quarzello {

namespace {

// Inflates the whole of in into out, or fails: a stream that is cut short,
// followed by other bytes, or larger than cap.
bool Inflate(std::string_view in, size_t cap, std::string& out, std::string& error) {
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

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool done() const { return at_ == bytes_.size(); }
  std::optional<uint8_t> Byte() {
    if (at_ >= bytes_.size()) return std::nullopt;
    return static_cast<uint8_t>(bytes_[at_++]);
  }
  // At most 63 bits: anything longer is no number the recorder writes.
  std::optional<uint64_t> Varint() {
    uint64_t value = 0;
    for (int shift = 0; shift < 63; shift += 7) {
      const auto byte = Byte();
      if (!byte) return std::nullopt;
      value |= static_cast<uint64_t>(*byte & 0x7F) << shift;
      if ((*byte & 0x80) == 0) return value;
    }
    return std::nullopt;
  }

 private:
  std::string_view bytes_;
  size_t at_ = 0;
};

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

// A recording's game as it is played again, record by record.
struct Replay {
  Replay(const ReplayLimits& limits, ReplayResult& result) : limits(limits), result(result) {}

  const ReplayLimits& limits;
  ReplayResult& result;
  Random random;
  Game game;
  int64_t frameTime = 0;
  int64_t latest = 0;  // records come in the order of their times
  int64_t pausedMillis = 0;

  // One record; an error when it is one no game could have made.
  std::string Play(Reader& in) {
    const auto tag = in.Byte();
    if (!tag) return "recording cut short in a record";
    const bool shortFrame = *tag >= kShortFrame;
    const auto step = shortFrame ? std::optional<uint64_t>(*tag - kShortFrame) : in.Varint();
    if (!step) return "recording cut short in a record";
    if (*step > kLongestStep) return "a step of the clock too long";
    const int64_t at = frameTime + static_cast<int64_t>(*step);
    if (at > limits.maxMillis) return "recording longer than a game may last";
    if (at < latest) return "a record earlier than the one before it";
    latest = at;
    const RecordTag kind = shortFrame ? RecordTag::Frame : static_cast<RecordTag>(*tag);
    if (kind > RecordTag::Abort) return "unknown record " + std::to_string(*tag);
    std::string refusal = game.recording.bounds.Refusal(kind, at);
    if (!refusal.empty()) return refusal;
    switch (kind) {
      case RecordTag::Frame:
        if (++result.frames > limits.maxFrames) return "recording has too many frames";
        frameTime = at;
        BeginFrame(game, at);
        EndFrame(game);
        break;
      case RecordTag::Click: {
        const auto c = in.Byte();
        const auto r = in.Byte();
        if (!c || !r) return "recording cut short in a click";
        if (*c >= kColumns || *r >= kRows) return "a click beside the board";
        ClickBoardCell(game, *c, *r, at);
        break;
      }
      case RecordTag::Pause: PauseGame(game, at); break;
      case RecordTag::Resume:
        if (game.paused) pausedMillis += at - game.pauseStart;
        ResumeGame(game, at);
        break;
      case RecordTag::Continue: break;  // refused above
      case RecordTag::Abort: AbortGame(game, at); break;
    }
    game.outbox.clear();
    const World& world = game.world;
    if (world.removedStones.size() + world.counters.size() + world.explosions.size() > limits.maxInFlight) {
      return "more stones and effects in flight than a game keeps";
    }
    return {};
  }
};

// The unpacked body of a recording file, or why there is none.
std::string Unpack(std::string_view bytes, const ReplayLimits& limits, std::string& body) {
  const size_t header = std::strlen(kRecordingMagic) + 1;
  if (bytes.size() > limits.maxFileBytes) return "recording larger than " + std::to_string(limits.maxFileBytes) + " bytes";
  if (bytes.size() < header || bytes.substr(0, header - 1) != kRecordingMagic) return "not a recording";
  if (static_cast<uint8_t>(bytes[header - 1]) != kRecordingFormat) return "recording format not known";
  std::string error;
  if (!Inflate(bytes.substr(header), limits.maxBodyBytes, body, error)) return error;
  return {};
}

}  // namespace

ReplayResult ReplayGame(std::string_view bytes, const ReplayLimits& limits) {
  ReplayResult result;
  std::string body;
  result.error = Unpack(bytes, limits, body);
  if (!result.ok()) return result;

  Reader in(body);
  const auto rules = in.Varint();
  const auto mode = in.Byte();
  const auto difficulty = in.Byte();
  const auto state = in.Varint();
  if (!rules || !mode || !difficulty || !state) {
    result.error = "recording cut short in its start";
  } else if (*rules != kRulesVersion) {
    // Older rules let late clicks count: their games are not this game's.
    result.error = "recording made under rules version " + std::to_string(*rules) + "; this replay plays version " +
                   std::to_string(kRulesVersion) + " only";
  } else if (*mode > Level || *difficulty > Schwer) {
    result.error = "no such mode or difficulty";
  } else if (!Random::ValidState(static_cast<int64_t>(*state))) {
    result.error = "no such generator state";
  }
  if (!result.ok()) return result;
  result.mode = *mode;
  result.difficulty = *difficulty;
  result.generatorState = static_cast<int32_t>(*state);

  Replay replay(limits, result);
  replay.random.state = result.generatorState;
  replay.game.gameMode = result.mode;
  replay.game.difficulty = result.difficulty;
  StartGame(replay.game, replay.random, 0);
  while (!in.done() && result.ok()) result.error = replay.Play(in);
  if (!result.ok()) return result;

  const Game& game = replay.game;
  result.score = game.score;
  result.playMillis = replay.frameTime - replay.pausedMillis;
  result.pauseMillis = replay.pausedMillis;
  result.reachedEnd = game.gameOverState != Running && !game.aborted;
  result.boardHash = BoardHash(game.world.board);
  result.inputs = game.recording.bounds.figures();
  result.recording = EncodeRecording(game.recording);
  return result;
}

}  // namespace quarzello
