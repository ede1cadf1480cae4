#pragma once

// Real recordings for the service's tests and benchmarks: a Game of the core
// played by a simple player through the core's own inputs (StartGame,
// ClickBoardCell, BeginFrame/EndFrame, PressContinue) from a seeded
// generator, to its end, and the bytes its recorder gives.

#include <cstdint>
#include <string>
#include <vector>

namespace servertest {

struct PlayPlan {
  uint8_t mode = 1;        // quarzello::GameModeId
  uint8_t difficulty = 0;  // not read in Level mode
  int seed = 1;            // of the game's generator; also drives the player's choices
  // A dealt board: the game's generator starts from this state instead (0: from seed).
  int32_t generatorState = 0;
  // The player stops moving after this much play (0: never); the game then
  // runs on to its own end (a Level game's rows reach the top).
  int64_t movesUntilMillis = 0;
  int framesBetweenMoves = 20;  // about three moves a second at 60 frames
  int64_t startMillis = 5'000'000;
  // Frames 15 to 18 ms apart at random instead of 16, 17, 17 in turn: what a
  // busy machine's clock gives, and harder to pack.
  bool jitteryClock = false;
};

struct PlayedGame {
  std::string recording;  // what EncodeRecording gives at the end; empty when not recorded whole
  int score = 0;
  uint8_t mode = 0;
  uint8_t difficulty = 0;
  int ranking = 0;  // RankingIndex of mode and difficulty
  int64_t frames = 0;
  int64_t playMillis = 0;  // from the start to "GAME OVER"
};

// Plays to "GAME OVER", presses "Weiter" a second later and runs the frames
// until the board has flown off, as the game screen does.
PlayedGame PlayToTheEnd(const PlayPlan& plan);

// The same recording with its body (after the "QZRC" header) unpacked, or
// packed again; for tests that edit recordings.
std::string UnpackRecording(const std::string& recording);
std::string PackRecording(const std::string& body, int level = 9);

// The costliest recording to play that the bounds of a replay let through:
// a Classic start and then a million frames 14 ms apart with nothing moving
// (under four hours; no clock ends a Classic game).
std::string CostlyRecording();

// Where the records of an unpacked body begin: the first after its start
// (rules version, mode, difficulty, generator state), then each in turn.
std::vector<size_t> RecordOffsets(const std::string& body);

}  // namespace servertest
