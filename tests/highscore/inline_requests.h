// The game's online requests in tests: their work runs on the test's own
// thread when the test says so, as if each took one frame on its worker, so
// that what is drawn meanwhile is the same on every run.
#pragma once

#include <utility>
#include <vector>

#include "highscore/requests.h"

namespace quarzello::test {

class InlineRequests {
 public:
  InlineRequests() = default;
  // The runner it was installed into, which must outlive it, is left as new.
  ~InlineRequests() {
    if (runner_ != nullptr) *runner_ = RequestRunner{};
  }
  InlineRequests(const InlineRequests&) = delete;
  InlineRequests& operator=(const InlineRequests&) = delete;

  // From now on the runner's requests start here.
  void Install(RequestRunner& runner) {
    runner_ = &runner;
    runner.SetExecutor([this](RequestRunner::Task task) { started_.push_back(std::move(task)); });
  }
  // The work of the requests started so far, to be run by RunAll.
  std::vector<RequestRunner::Task> TakeStarted() { return std::exchange(started_, {}); }
  static void RunAll(std::vector<RequestRunner::Task>& tasks) {
    for (RequestRunner::Task& task : tasks) task();
  }

 private:
  RequestRunner* runner_ = nullptr;
  std::vector<RequestRunner::Task> started_;
};

}  // namespace quarzello::test
