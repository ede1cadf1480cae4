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
#include <sstream>
#include <stdexcept>

#include "gameplay/replay.h"
#include "server/clock.h"
#include "server/log.h"
#include "server/recording_upload.h"

namespace highscored {

namespace {

constexpr size_t kMaxAnswerBytes = 4096;
constexpr int kWorkerNice = 10;

// The answer of a worker: one line.
//   PLAYED score mode difficulty frames playMillis reachedEnd generatorState
//   UNREADABLE message
std::string AnswerLine(const ReplayOutcome& outcome) {
  if (outcome.kind != ReplayOutcome::Kind::Played) {
    std::string message = outcome.error;
    std::replace(message.begin(), message.end(), '\n', ' ');
    return "UNREADABLE " + message + "\n";
  }
  std::ostringstream line;
  line << "PLAYED " << outcome.score << ' ' << outcome.mode << ' ' << outcome.difficulty << ' ' << outcome.frames
       << ' ' << outcome.playMillis << ' ' << (outcome.reachedEnd ? 1 : 0) << ' ' << outcome.generatorState << '\n';
  return line.str();
}

ReplayOutcome ParseAnswer(const std::string& line) {
  ReplayOutcome outcome;
  if (line.rfind("UNREADABLE ", 0) == 0) {
    outcome.kind = ReplayOutcome::Kind::Unreadable;
    outcome.error = line.substr(11);
    return outcome;
  }
  std::istringstream fields(line);
  std::string word;
  int reachedEnd = 0;
  fields >> word >> outcome.score >> outcome.mode >> outcome.difficulty >> outcome.frames >> outcome.playMillis >>
      reachedEnd >> outcome.generatorState;
  if (word != "PLAYED" || !fields) {
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
  outcome.reachedEnd = result.reachedEnd;
  outcome.generatorState = result.generatorState;
  return outcome;
}

int RunReplayWorker(int64_t cpuLimitMillis) {
  // The CPU-time bound: SIGPROF ends the process, which the service sees.
  signal(SIGPROF, SIG_DFL);
  sigset_t all;
  sigemptyset(&all);
  sigprocmask(SIG_SETMASK, &all, nullptr);
  std::string recording;
  for (;;) {
    uint32_t size = 0;
    if (!ReadFully(STDIN_FILENO, reinterpret_cast<char*>(&size), sizeof size)) return 0;
    if (size > kMaxRecordingBytes) return 1;
    recording.resize(size);
    if (!ReadFully(STDIN_FILENO, recording.data(), size)) return 0;
    SetCpuAlarm(cpuLimitMillis);
    const ReplayOutcome outcome = ReplayHere(recording);
    SetCpuAlarm(0);
    const std::string answer = AnswerLine(outcome);
    if (!WriteFully(STDOUT_FILENO, answer.data(), answer.size())) return 0;
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
  std::vector<char*> argv = {const_cast<char*>(executable_.c_str()), const_cast<char*>("--replay-worker"),
                             const_cast<char*>(limit.c_str()), nullptr};
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
  std::string line;
  char buffer[512];
  while (line.find('\n') == std::string::npos) {
    if (line.size() > kMaxAnswerBytes || !WaitFor(worker.socket, POLLIN, deadlineMillis)) return busy;
    const ssize_t n = recv(worker.socket, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      // The worker ended: the CPU-time bound, or the core crashed on it.
      int status = 0;
      const pid_t pid = worker.pid;
      waitpid(pid, &status, 0);
      worker.pid = -1;
      ReplayOutcome outcome;
      if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return busy;  // ended here: stopping
      if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGPROF || WTERMSIG(status) == SIGXCPU)) {
        outcome.kind = ReplayOutcome::Kind::TooCostly;
        outcome.error = "replay stopped after " + std::to_string(settings_.cpuLimitMillis) + " ms of CPU time";
      } else {
        outcome.kind = ReplayOutcome::Kind::Unreadable;
        outcome.error = "the replay worker ended (" +
                        (WIFSIGNALED(status) ? std::string("signal ") + std::to_string(WTERMSIG(status))
                                             : "status " + std::to_string(WEXITSTATUS(status))) +
                        ")";
        LogNote("replay worker " + std::to_string(pid) + " ended on a recording: " + outcome.error);
      }
      return outcome;
    }
    line.append(buffer, static_cast<size_t>(n));
  }
  line.resize(line.find('\n'));
  return ParseAnswer(line);
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
                       worker.pid < 0;
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
