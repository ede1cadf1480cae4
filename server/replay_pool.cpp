#include "server/replay_pool.h"

#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "gameplay/replay.h"
#include "server/clock.h"
#include "server/log.h"
#include "server/recording_upload.h"

namespace highscored {

namespace {

constexpr size_t kMaxAnswerBytes = 4096;
// A recording the recorder writes packs to less than its body; zlib's worst
// case for an unpackable one is a little more.
constexpr size_t kMaxRewrittenBytes = quarzello::kMaxRecordingBody + quarzello::kMaxRecordingBody / 64 + 64;
constexpr int kWorkerNice = 10;
// The worker's exit status after it ran out of its address space.
constexpr int kOutOfMemoryStatus = 3;

// The answer of a worker: one line, for a played game followed by the bytes
// of its recording as the core writes it.
//   PLAYED score mode difficulty frames playMillis pauseMillis reachedEnd generatorState cpuMillis recordingBytes
//   UNREADABLE cpuMillis message
//   TOOLARGE cpuMillis
std::string Answer(const ReplayOutcome& outcome) {
  std::ostringstream line;
  if (outcome.kind == ReplayOutcome::Kind::TooLarge) {
    line << "TOOLARGE " << outcome.cpuMillis << '\n';
  } else if (outcome.kind != ReplayOutcome::Kind::Played) {
    std::string message = outcome.error;
    std::replace(message.begin(), message.end(), '\n', ' ');
    line << "UNREADABLE " << outcome.cpuMillis << ' ' << message << '\n';
  } else {
    line << "PLAYED " << outcome.score << ' ' << outcome.mode << ' ' << outcome.difficulty << ' ' << outcome.frames
         << ' ' << outcome.playMillis << ' ' << outcome.pauseMillis << ' ' << (outcome.reachedEnd ? 1 : 0) << ' '
         << outcome.generatorState << ' ' << outcome.cpuMillis << ' ' << outcome.recording.size() << '\n'
         << outcome.recording;
  }
  return line.str();
}

// The answer's line; for a played game, recordingBytes says how many bytes follow it.
ReplayOutcome ParseAnswer(const std::string& line, size_t& recordingBytes) {
  ReplayOutcome outcome;
  recordingBytes = 0;
  std::istringstream fields(line);
  std::string word;
  fields >> word >> outcome.cpuMillis;
  if (word == "UNREADABLE" && fields) {
    outcome.kind = ReplayOutcome::Kind::Unreadable;
    fields.get();
    std::getline(fields, outcome.error);
    return outcome;
  }
  if (word == "TOOLARGE" && fields) {
    outcome.kind = ReplayOutcome::Kind::TooLarge;
    return outcome;
  }
  fields.clear();
  fields.str(line);
  int reachedEnd = 0;
  fields >> word >> outcome.score >> outcome.mode >> outcome.difficulty >> outcome.frames >> outcome.playMillis >>
      outcome.pauseMillis >> reachedEnd >> outcome.generatorState >> outcome.cpuMillis >> recordingBytes;
  if (word != "PLAYED" || !fields || recordingBytes > kMaxRewrittenBytes) {
    recordingBytes = 0;
    outcome.kind = ReplayOutcome::Kind::Unreadable;
    outcome.error = "the replay worker gave no answer";
    return outcome;
  }
  outcome.kind = ReplayOutcome::Kind::Played;
  outcome.reachedEnd = reachedEnd != 0;
  return outcome;
}

bool ReadFully(int fd, char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = read(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteFully(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Waits for fd to be ready for events until deadline (steady millis).
bool WaitFor(int fd, short events, int64_t deadlineMillis) {
  for (;;) {
    const int64_t left = deadlineMillis - SteadyMillis();
    if (left <= 0) return false;
    pollfd waiting{fd, events, 0};
    const int ready = poll(&waiting, 1, static_cast<int>(std::min<int64_t>(left, 1000)));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

int64_t CpuMillis() {
  timespec used{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  return static_cast<int64_t>(used.tv_sec) * 1000 + used.tv_nsec / 1'000'000;
}

// Bounds the address space to what the worker holds now plus limitMiB: a
// replay that wants more fails to allocate it.
void LimitAddressSpace(int64_t limitMiB) {
  long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  const rlim_t bound = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                       static_cast<rlim_t>(limitMiB) * (1u << 20);
  rlimit limit{bound, bound};
  setrlimit(RLIMIT_AS, &limit);
}

void SetCpuAlarm(int64_t millis) {
  itimerval timer{};
  timer.it_value.tv_sec = static_cast<time_t>(millis / 1000);
  timer.it_value.tv_usec = static_cast<suseconds_t>(millis % 1000 * 1000);
  setitimer(ITIMER_PROF, &timer, nullptr);
}

}  // namespace

ReplayOutcome ReplayHere(std::string_view recording) {
  const quarzello::ReplayResult result = quarzello::ReplayGame(recording, ServiceReplayLimits());
  ReplayOutcome outcome;
  if (!result.ok()) {
    outcome.kind = ReplayOutcome::Kind::Unreadable;
    outcome.error = result.error;
    return outcome;
  }
  outcome.kind = ReplayOutcome::Kind::Played;
  outcome.score = result.score;
  outcome.mode = result.mode;
  outcome.difficulty = result.difficulty;
  outcome.frames = result.frames;
  outcome.playMillis = result.playMillis;
  outcome.pauseMillis = result.pauseMillis;
  outcome.reachedEnd = result.reachedEnd;
  outcome.generatorState = result.generatorState;
  outcome.recording = result.recording;
  return outcome;
}

int RunReplayWorker(int64_t cpuLimitMillis, int64_t memoryLimitMiB) {
  // The CPU-time bound: SIGPROF ends the process, which the service sees.
  signal(SIGPROF, SIG_DFL);
  sigset_t all;
  sigemptyset(&all);
  sigprocmask(SIG_SETMASK, &all, nullptr);
  if (kWorkerMemoryBounded) LimitAddressSpace(memoryLimitMiB);
  std::string recording;
  for (;;) {
    uint32_t size = 0;
    if (!ReadFully(STDIN_FILENO, reinterpret_cast<char*>(&size), sizeof size)) return 0;
    if (size > kMaxRecordingBytes) return 1;
    recording.resize(size);
    if (!ReadFully(STDIN_FILENO, recording.data(), size)) return 0;
    const int64_t begin = CpuMillis();
    SetCpuAlarm(cpuLimitMillis);
    ReplayOutcome outcome;
    try {
      outcome = ReplayHere(recording);
    } catch (const std::bad_alloc&) {
      // What was taken is freed by now; the worker ends all the same, so that
      // no half-built state of the core lives on into the next replay.
      outcome.kind = ReplayOutcome::Kind::TooLarge;
    }
    SetCpuAlarm(0);
    outcome.cpuMillis = CpuMillis() - begin;
    const std::string answer = Answer(outcome);
    if (!WriteFully(STDOUT_FILENO, answer.data(), answer.size())) return 0;
    if (outcome.kind == ReplayOutcome::Kind::TooLarge) return kOutOfMemoryStatus;
  }
}

ProcessReplayer::ProcessReplayer(std::string executable, const ReplaySettings& settings)
    : executable_(std::move(executable)), settings_(settings) {
  for (int i = 0; i < settings_.workers; ++i) {
    Worker worker;
    if (!Spawn(worker)) throw std::runtime_error("cannot start a replay worker: " + std::string(strerror(errno)));
    idle_.push_back(worker);
  }
}

ProcessReplayer::~ProcessReplayer() {
  Shutdown();
  std::unique_lock lock(mutex_);
  // Replays under way end at once: their workers are gone.
  idleChanged_.wait(lock, [&] { return busy_.empty(); });
}

bool ProcessReplayer::Spawn(Worker& worker) {
  int sockets[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) return false;
  const std::string limit = std::to_string(settings_.cpuLimitMillis);
  const std::string memory = std::to_string(settings_.memoryLimitMiB);
  std::vector<char*> argv = {const_cast<char*>(executable_.c_str()), const_cast<char*>("--replay-worker"),
                             const_cast<char*>(limit.c_str()), const_cast<char*>(memory.c_str()), nullptr};
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    close(sockets[0]);
    close(sockets[1]);
    return false;
  }
  if (pid == 0) {
    // Only system calls from here to exec: the other threads' locks are copied as they were.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    dup2(sockets[1], STDIN_FILENO);
    dup2(sockets[1], STDOUT_FILENO);
    close_range(3, ~0U, 0);  // the service's sockets and database stay with it
    // Below the serving threads, which win the processor whenever they wake,
    // but not so low that any other busy program on the machine starves it.
    sched_param batch{};
    sched_setscheduler(0, SCHED_BATCH, &batch);
    setpriority(PRIO_PROCESS, 0, kWorkerNice);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(sockets[1]);
  worker.pid = pid;
  worker.socket = sockets[0];
  return true;
}

void ProcessReplayer::End(Worker& worker) {
  if (worker.pid > 0) {
    kill(worker.pid, SIGKILL);
    waitpid(worker.pid, nullptr, 0);
  }
  if (worker.socket >= 0) close(worker.socket);
  worker = Worker{};
}

ReplayOutcome ProcessReplayer::Exchange(Worker& worker, std::string_view recording, int64_t deadlineMillis) {
  const int64_t begin = SteadyMillis();
  ReplayOutcome busy;
  busy.kind = ReplayOutcome::Kind::Busy;
  const uint32_t size = static_cast<uint32_t>(recording.size());
  std::string message(reinterpret_cast<const char*>(&size), sizeof size);
  message.append(recording);
  size_t sent = 0;
  while (sent < message.size()) {
    if (!WaitFor(worker.socket, POLLOUT, deadlineMillis)) return busy;
    const ssize_t n = send(worker.socket, message.data() + sent, message.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return busy;
    sent += static_cast<size_t>(n);
  }
  // A worker given up on may have used up to its whole bound meanwhile.
  busy.cpuMillis = settings_.cpuLimitMillis;
  std::string answer;
  std::optional<ReplayOutcome> outcome;
  size_t recordingBytes = 0;
  size_t lineEnd = 0;
  char buffer[16384];
  while (!outcome || answer.size() < lineEnd + 1 + recordingBytes) {
    if ((!outcome && answer.size() > kMaxAnswerBytes) || !WaitFor(worker.socket, POLLIN, deadlineMillis)) {
      busy.cpuMillis = std::min(settings_.cpuLimitMillis, SteadyMillis() - begin);
      return busy;
    }
    const ssize_t n = recv(worker.socket, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      // The worker ended: the CPU-time bound, or the core crashed on it.
      int status = 0;
      const pid_t pid = worker.pid;
      waitpid(pid, &status, 0);
      worker.pid = -1;
      ReplayOutcome ended;
      ended.cpuMillis = settings_.cpuLimitMillis;
      if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return busy;  // ended here: stopping
      if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGPROF || WTERMSIG(status) == SIGXCPU)) {
        ended.kind = ReplayOutcome::Kind::TooCostly;
        ended.error = "replay stopped after " + std::to_string(settings_.cpuLimitMillis) + " ms of CPU time";
      } else {
        ended.kind = ReplayOutcome::Kind::Unreadable;
        ended.error = "the replay worker ended (" +
                      (WIFSIGNALED(status) ? std::string("signal ") + std::to_string(WTERMSIG(status))
                                           : "status " + std::to_string(WEXITSTATUS(status))) +
                      ")";
        LogNote("replay worker " + std::to_string(pid) + " ended on a recording: " + ended.error);
      }
      return ended;
    }
    answer.append(buffer, static_cast<size_t>(n));
    if (!outcome && (lineEnd = answer.find('\n')) != std::string::npos) {
      outcome = ParseAnswer(answer.substr(0, lineEnd), recordingBytes);
    }
  }
  if (outcome->kind == ReplayOutcome::Kind::TooLarge) {
    outcome->error = "replay stopped at " + std::to_string(settings_.memoryLimitMiB) + " MiB of memory";
  }
  outcome->recording = answer.substr(lineEnd + 1, recordingBytes);
  return *outcome;
}

ReplayOutcome ProcessReplayer::Replay(std::string_view recording) {
  ReplayOutcome busy;
  busy.kind = ReplayOutcome::Kind::Busy;
  const int64_t deadline = SteadyMillis() + settings_.waitLimitMillis;
  Worker worker;
  {
    std::unique_lock lock(mutex_);
    if (!idleChanged_.wait_for(lock, std::chrono::milliseconds(settings_.waitLimitMillis),
                               [&] { return stopping_ || !idle_.empty(); }) ||
        stopping_) {
      return busy;
    }
    worker = idle_.back();
    idle_.pop_back();
    busy_.push_back(worker.pid);
  }
  const pid_t lent = worker.pid;
  ReplayOutcome outcome = Exchange(worker, recording, deadline);
  // A worker that did not answer in time (or at all) is replaced: what it
  // still does is of no use.
  const bool replace = outcome.kind == ReplayOutcome::Kind::Busy || outcome.kind == ReplayOutcome::Kind::TooCostly ||
                       outcome.kind == ReplayOutcome::Kind::TooLarge || worker.pid < 0;
  if (replace) End(worker);

  std::lock_guard lock(mutex_);
  std::erase(busy_, lent);
  if (replace && !stopping_ && !Spawn(worker)) LogNote("cannot start a replay worker: " + std::string(strerror(errno)));
  if (stopping_) {
    End(worker);
  } else if (worker.pid > 0) {
    idle_.push_back(worker);
  }
  idleChanged_.notify_all();
  return outcome;
}

void ProcessReplayer::Shutdown() {
  std::lock_guard lock(mutex_);
  if (stopping_) return;
  stopping_ = true;
  for (Worker& worker : idle_) End(worker);
  idle_.clear();
  // Workers lent out are killed here; their replays see them end.
  for (const pid_t pid : busy_) kill(pid, SIGKILL);
  idleChanged_.notify_all();
}

}  // namespace highscored
