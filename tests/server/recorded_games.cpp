#include "tests/server/recorded_games.h"

#include <zlib.h>

#include <array>
#include <stdexcept>
#include <vector>

#include "gameplay/game.h"
#include "gameplay/modes.h"
#include "gameplay/recording.h"

namespace servertest {

namespace {

using namespace quarzello;

constexpr int kCells = kColumns * kRows;
constexpr int kContinueAfterFrames = 60;
constexpr int64_t kMostFrames = 2'000'000;  // a player that never ends its game is a bug here

bool Clickable(const Board& board, int c, int r) {
  const auto& cell = board(c, r);
  return cell && (cell->bombe || cell->col != kGrey);
}

// The size of the group of same-coloured stones around (c, r).
int GroupSize(const Board& board, int c, int r) {
  const int colour = board(c, r)->col;
  std::array<bool, kCells> seen{};
  std::vector<std::pair<int, int>> todo = {{c, r}};
  int size = 0;
  while (!todo.empty()) {
    const auto [x, y] = todo.back();
    todo.pop_back();
    if (x < 0 || x >= kColumns || y < 0 || y >= kRows || seen[x * kRows + y]) continue;
    const auto& cell = board(x, y);
    if (!cell || cell->bombe || cell->col != colour) continue;
    seen[x * kRows + y] = true;
    ++size;
    todo.insert(todo.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
  }
  return size;
}

// A bomb, or the largest group of a few cells looked at in the player's own order.
bool ChooseMove(const Game& game, Random& player, int& column, int& row) {
  int best = 0;
  for (int tries = 0; tries < 24; ++tries) {
    const int c = player.Int(0, kColumns - 1);
    const int r = player.Int(0, kRows - 1);
    if (!Clickable(game.world.board, c, r)) continue;
    const int size = game.world.board(c, r)->bombe ? 1000 : GroupSize(game.world.board, c, r);
    if (size >= game.minGroup && size > best) {
      best = size;
      column = c;
      row = r;
    }
  }
  return best > 0;
}

}  // namespace

PlayedGame PlayToTheEnd(const PlayPlan& plan) {
  Random random;
  random.Seed(plan.seed);
  if (plan.generatorState != 0) random.state = plan.generatorState;
  Random player;
  player.Seed(plan.seed * 7 + 3);
  Game game;
  game.gameMode = plan.mode;
  game.difficulty = plan.difficulty;
  int64_t now = plan.startMillis;
  StartGame(game, random, now);

  PlayedGame played;
  int64_t frame = 0;
  int64_t overAt = -1;
  while (!GameFinished(game)) {
    if (++frame > kMostFrames) throw std::runtime_error("the game did not end");
    now += plan.jitteryClock ? player.Int(15, 18) : frame % 3 == 0 ? 16 : 17;  // 60 frames a second
    BeginFrame(game, now);
    EndFrame(game);
    game.outbox.clear();
    if (game.gameOverState == Running) {
      const bool moving = plan.movesUntilMillis == 0 || now - plan.startMillis < plan.movesUntilMillis;
      int c = 0, r = 0;
      if (moving && frame % plan.framesBetweenMoves == 0 && ChooseMove(game, player, c, r)) {
        ClickBoardCell(game, c, r, now);
        if (!game.instantRemove) ClickBoardCell(game, c, r, now);  // mark, then confirm
      }
    } else if (overAt < 0) {
      overAt = frame;
      played.playMillis = now - plan.startMillis;
    } else if (game.gameOverState == GameOver && frame - overAt == kContinueAfterFrames) {
      PressContinue(game, now);
    }
  }
  played.recording = EncodeRecording(game.recording);
  played.score = game.score;
  played.mode = plan.mode;
  played.difficulty = plan.difficulty;
  played.ranking = RankingIndex(plan.mode, plan.difficulty);
  played.frames = game.recording.frames;
  return played;
}

std::string UnpackRecording(const std::string& recording) {
  const size_t header = 5;
  std::string body(64u << 20, '\0');
  uLongf size = body.size();
  if (recording.size() < header ||
      uncompress(reinterpret_cast<Bytef*>(body.data()), &size,
                 reinterpret_cast<const Bytef*>(recording.data() + header),
                 static_cast<uLong>(recording.size() - header)) != Z_OK) {
    throw std::runtime_error("not a recording");
  }
  body.resize(size);
  return body;
}

std::string PackRecording(const std::string& body, int level) {
  uLongf size = compressBound(static_cast<uLong>(body.size()));
  std::string out = std::string(kRecordingMagic) + static_cast<char>(kRecordingFormat);
  const size_t header = out.size();
  out.resize(header + size);
  if (compress2(reinterpret_cast<Bytef*>(out.data() + header), &size, reinterpret_cast<const Bytef*>(body.data()),
                static_cast<uLong>(body.size()), level) != Z_OK) {
    throw std::runtime_error("compress2 failed");
  }
  out.resize(header + size);
  return out;
}

std::string CostlyRecording() {
  const std::string body = UnpackRecording(PlayToTheEnd({.mode = Turbo, .seed = 3}).recording);
  std::string start = body.substr(0, RecordOffsets(body).front());
  start[1] = static_cast<char>(Classic);  // the mode, after the one-byte rules version
  return PackRecording(start + std::string(999'999, static_cast<char>(kShortFrame + 14)));
}

std::vector<size_t> RecordOffsets(const std::string& body) {
  size_t at = 0;
  auto skipVarint = [&] {
    while (at < body.size() && (static_cast<unsigned char>(body[at]) & 0x80)) ++at;
    ++at;
  };
  skipVarint();  // rules version
  at += 2;       // mode, difficulty
  skipVarint();  // generator state
  std::vector<size_t> offsets;
  while (at < body.size()) {
    offsets.push_back(at);
    const auto tag = static_cast<RecordTag>(body[at++]);
    skipVarint();
    if (tag == RecordTag::Click) at += 2;
  }
  return offsets;
}

}  // namespace servertest
