// Whole games played by a script through the Game's own inputs, with no
// window: for the replay tests and the replay benchmark.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "gameplay/game.h"
#include "gameplay/recording.h"
#include "gameplay/replay.h"

namespace quarzello::gameplay_test {

// Where a player who takes the largest group would click: a bomb first,
// else the largest group of at least `smallest` stones; nothing when none.
inline bool ChooseCell(const Board& board, int smallest, int& column, int& row) {
  int best = 0;
  bool seen[kColumns * kRows] = {};
  for (int c = 0; c < kColumns; ++c) {
    for (int r = 0; r < kRows; ++r) {
      const stone* s = board(c, r).get();
      if (s == nullptr || seen[c * kRows + r]) continue;
      if (s->IsBomb()) {
        column = c, row = r;
        return true;
      }
      if (s->Kind() != StoneKind::Ordinary) continue;
      int size = 0;
      std::vector<std::pair<int, int>> todo = {{c, r}};
      seen[c * kRows + r] = true;
      while (!todo.empty()) {
        auto [cc, rr] = todo.back();
        todo.pop_back();
        ++size;
        const int next[4][2] = {{cc - 1, rr}, {cc + 1, rr}, {cc, rr - 1}, {cc, rr + 1}};
        for (const auto& n : next) {
          if (n[0] < 0 || n[0] >= kColumns || n[1] < 0 || n[1] >= kRows) continue;
          const stone* o = board(n[0], n[1]).get();
          if (o == nullptr || seen[n[0] * kRows + n[1]] || o->Kind() != StoneKind::Ordinary || o->col != s->col)
            continue;
          seen[n[0] * kRows + n[1]] = true;
          todo.push_back({n[0], n[1]});
        }
      }
      if (size >= smallest && size > best) best = size, column = c, row = r;
    }
  }
  return best > 0;
}

// One frame of a scripted player on a clock that runs at 60 frames a second,
// slightly unevenly: now moves on, the frame is played and its news dropped,
// and every pace-th frame the largest group is clicked (twice where a click
// only marks it).
inline void PlayScriptedFrame(Game& game, int64_t& now, int64_t frame, int pace) {
  now += 16 + frame % 3 / 2;
  BeginFrame(game, now);
  EndFrame(game);
  game.outbox.clear();
  int c = 0, r = 0;
  if (frame % pace == pace - 1 && ChooseCell(game.world.board, game.minGroup, c, r)) {
    ClickBoardCell(game, c, r, now + 5);
    if (game.instantRemove == 0) ClickBoardCell(game, c, r, now + 9);
  }
}

struct Played {
  std::string recording;
  int score = 0;
  uint64_t boardHash = 0;
  int64_t frames = 0;
  std::vector<GameNews> news;
};

// A whole game at 60 frames a second with a slightly uneven clock: a move
// every `pace` frames, a pause in the middle, "Weiter" once it is over, and
// a few frames more while the board clears (none of which is recorded).
inline Played Play(uint8_t mode, uint8_t difficulty, int seed, int pace, int64_t maxFrames = 200000) {
  Random random;
  random.Seed(seed);
  Game game;
  game.gameMode = mode;
  game.difficulty = difficulty;
  int64_t now = 1'000'000;
  StartGame(game, random, now);
  Played played;
  int64_t frame = 0;
  for (; frame < maxFrames && game.gameOverState == Running; ++frame) {
    now += 16 + frame % 3 / 2;
    BeginFrame(game, now);
    EndFrame(game);
    if (frame == 300) {
      PauseGame(game, now + 3);
      now += 5000;
      ResumeGame(game, now);
    }
    int c = 0, r = 0;
    if (frame % pace == pace - 1 && ChooseCell(game.world.board, game.minGroup, c, r)) {
      ClickBoardCell(game, c, r, now + 5);
      if (game.instantRemove == 0) ClickBoardCell(game, c, r, now + 9);
    }
    played.news.insert(played.news.end(), game.outbox.begin(), game.outbox.end());
    game.outbox.clear();
  }
  // The recording ends with the game, and its replay stands there.
  played.boardHash = BoardHash(game.world.board);
  PressContinue(game, now + 10);
  for (int i = 0; i < 60; ++i) {
    now += 17;
    BeginFrame(game, now);
    EndFrame(game);
  }
  played.recording = EncodeRecording(game.recording);
  played.score = game.score;
  played.frames = game.recording.frames;
  return played;
}

// A game started at kStartMillis from its own seeded generator, played
// frame by frame by a test.
constexpr int64_t kStartMillis = 1000;

struct Started {
  Random random;
  Game game;
  explicit Started(uint8_t mode, int seed = 12, int64_t start = kStartMillis) {
    random.Seed(seed);
    game.gameMode = mode;
    game.difficulty = Leicht;
    StartGame(game, random, start);
  }
  // Frames 16 ms apart up to (at most) time `until`.
  void FramesUntil(int64_t until) {
    for (int64_t t = game.now + 16; t <= until && game.gameOverState == Running; t += 16) {
      BeginFrame(game, t);
      EndFrame(game);
    }
  }
  bool RowZeroHoldsAStone() const {
    for (int c = 0; c < kColumns; ++c) {
      if (game.world.board(c, 0) != nullptr) return true;
    }
    return false;
  }
};

}  // namespace quarzello::gameplay_test
