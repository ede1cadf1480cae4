#pragma once

// Playing uploaded recordings again with the game's own core (qz_gameplay),
// apart from the serving threads: in worker processes of their own, at a
// low scheduling priority, each replay bounded in CPU time. A recording
// that makes the core crash or spin costs one worker process, which is
// started again, and never the service.

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace highscored {

// Whether a worker's address space is bounded by --replay-memory-limit.
// AddressSanitizer maps terabytes for its shadow and holds freed memory in
// quarantine, so under it no such bound can hold: the sanitizer build of
// the service leaves it out.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kWorkerMemoryBounded = false;
#else
constexpr bool kWorkerMemoryBounded = true;
#endif

struct ReplayOutcome {
  enum class Kind {
    Played,      // read and played through; what it came to is below
    Unreadable,  // not a recording the core can play: error says why
    TooCostly,   // stopped at the CPU-time bound
    TooLarge,    // stopped at the memory bound
    Busy,        // no worker free in time, or the service is stopping
  };
  Kind kind = Kind::Busy;
  std::string error;
  int score = 0;
  int mode = 0;
  int difficulty = 0;
  int64_t frames = 0;
  int64_t playMillis = 0;   // to the last frame, pauses left out
  int64_t pauseMillis = 0;  // time paused before it
  bool reachedEnd = false;
  int64_t generatorState = 0;
  // What the core's recorder writes of the replayed game (see ReplayResult).
  std::string recording;
  // The worker's CPU time for it: measured, or the whole bound when the
  // worker had to be stopped or ended on it.
  int64_t cpuMillis = 0;
};

class Replayer {
 public:
  virtual ~Replayer() = default;
  virtual ReplayOutcome Replay(std::string_view recording) = 0;
};

// What a worker does with one recording, in this process and unbounded in
// time: ReplayGame with the service's limits.
ReplayOutcome ReplayHere(std::string_view recording);

struct ReplaySettings {
  int workers = 2;                // replays at once, one process each
  int64_t cpuLimitMillis = 4000;  // CPU time per replay
  // Address space a worker may take on beyond what it holds once started.
  int64_t memoryLimitMiB = 64;
  // How long an upload may wait for a worker and its replay together, on
  // the wall clock: well within the game's 8 s.
  int64_t waitLimitMillis = 6000;
};

class ProcessReplayer : public Replayer {
 public:
  // executable is started as "executable --replay-worker CPU_MILLIS MEMORY_MIB".
  ProcessReplayer(std::string executable, const ReplaySettings& settings);
  ~ProcessReplayer() override;
  ProcessReplayer(const ProcessReplayer&) = delete;
  ProcessReplayer& operator=(const ProcessReplayer&) = delete;

  ReplayOutcome Replay(std::string_view recording) override;

  // Ends every worker at once; replays under way and later ones are Busy.
  void Shutdown();

 private:
  struct Worker {
    pid_t pid = -1;
    int socket = -1;
  };

  bool Spawn(Worker& worker);
  void End(Worker& worker);  // kills and reaps; returns the child's fate via lastFate_
  ReplayOutcome Exchange(Worker& worker, std::string_view recording, int64_t deadlineMillis);

  const std::string executable_;
  const ReplaySettings settings_;
  std::mutex mutex_;
  std::condition_variable idleChanged_;
  std::vector<Worker> idle_;
  std::vector<pid_t> busy_;
  bool stopping_ = false;
};

// The worker's side: reads recordings from standard input, answers on
// standard output, until its input ends. For main.
int RunReplayWorker(int64_t cpuLimitMillis, int64_t memoryLimitMiB);

}  // namespace highscored
