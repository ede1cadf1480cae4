// Online requests beside the event loop. A request's work runs on a thread of
// its own with the blocking client; the loop goes on drawing meanwhile, and
// its result comes back to the loop, which is woken for it (WakeLoop), as a
// continuation run on the loop's thread. The player may give up a request at
// any time: its result is then dropped whenever it comes, and the request's
// cancel continuation runs at once instead.
//
// The work must hold everything it reads (copies made when it is started) and
// change nothing outside itself: a given-up request may still be running
// while the game goes on, and even when the program ends.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace quarzello {

class RequestRunner {
 public:
  using Task = std::function<void()>;
  // Runs a task on another thread; by default a detached thread of its own.
  using Executor = std::function<void(Task)>;

  RequestRunner();

  // Starts work(); done(its result) runs on the loop at the Deliver after it
  // has finished, cancelled() instead if the request is given up first. One
  // request at a time: a request starts only from a continuation of the last
  // one or while none runs.
  template <typename Result>
  void Start(std::function<Result()> work, std::function<void(Result)> done, Task cancelled) {
    auto result = std::make_shared<std::optional<Result>>();
    Begin([work = std::move(work), result] { *result = work(); },
          [done = std::move(done), result] { done(std::move(**result)); }, std::move(cancelled));
  }

  // A request has been started and neither delivered nor given up.
  bool Busy() const { return busy_; }
  // Gives the running request up: its cancel continuation runs now.
  void Cancel();
  // On the loop, when it was woken: the continuation of the running request
  // if its work has finished. Results of requests given up are dropped.
  void Deliver();

  void SetExecutor(Executor executor) { executor_ = std::move(executor); }

 private:
  // Finished tickets, filled by the workers. Shared with them, so that a
  // worker outliving the runner (at the program's end) still has it.
  struct Mailbox {
    std::mutex mutex;
    std::vector<uint64_t> finished;
  };

  void Begin(Task work, Task done, Task cancelled);

  std::shared_ptr<Mailbox> mailbox_;
  Executor executor_;
  uint64_t ticket_ = 0;  // of the running request; every start draws a new one
  bool busy_ = false;
  Task done_, cancelled_;
};

}  // namespace quarzello
