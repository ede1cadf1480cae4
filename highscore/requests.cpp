#include "highscore/requests.h"

#include <system_error>
#include <thread>

#include "platform/platform.h"

namespace quarzello {

namespace {

void RunOnThreadOfItsOwn(RequestRunner::Task task) {
  try {
    std::thread(task).detach();
  } catch (const std::system_error&) {
    task();  // no thread to be had: the request blocks the loop as it once did
  }
}

}  // namespace

RequestRunner::RequestRunner() : mailbox_(std::make_shared<Mailbox>()), executor_(RunOnThreadOfItsOwn) {}

void RequestRunner::Begin(Task work, Task done, Task cancelled) {
  const uint64_t ticket = ++ticket_;
  busy_ = true;
  done_ = std::move(done);
  cancelled_ = std::move(cancelled);
  executor_([work = std::move(work), mailbox = mailbox_, ticket] {
    work();
    {
      const std::lock_guard<std::mutex> lock(mailbox->mutex);
      mailbox->finished.push_back(ticket);
    }
    WakeLoop();
  });
}

void RequestRunner::Cancel() {
  if (!busy_) return;
  busy_ = false;
  done_ = nullptr;
  const Task cancelled = std::move(cancelled_);
  cancelled_ = nullptr;
  cancelled();
}

void RequestRunner::Deliver() {
  bool finished = false;
  {
    const std::lock_guard<std::mutex> lock(mailbox_->mutex);
    for (uint64_t ticket : mailbox_->finished) finished = finished || ticket == ticket_;
    mailbox_->finished.clear();
  }
  if (!finished || !busy_) return;
  busy_ = false;
  cancelled_ = nullptr;
  const Task done = std::move(done_);
  done_ = nullptr;
  done();  // may start the next request
}

}  // namespace quarzello
