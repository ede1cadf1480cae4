// The runner of the online requests: work beside the loop, results on the
// loop, requests given up.
#include "highscore/requests.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace quarzello::highscore_test {

namespace {

std::atomic<int> wakes = 0;
void CountWake() { ++wakes; }

class RequestRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wakes = 0;
    SetLoopWaker(CountWake);
  }
  void TearDown() override { SetLoopWaker(nullptr); }

  static bool WokenWithin(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (wakes == 0 && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return wakes > 0;
  }
};

// Tasks kept until the test runs them, in any order.
struct HeldTasks {
  std::vector<RequestRunner::Task> tasks;
  RequestRunner::Executor executor() {
    return [this](RequestRunner::Task task) { tasks.push_back(std::move(task)); };
  }
};

TEST_F(RequestRunnerTest, WorkRunsOnAThreadOfItsOwnAndItsResultComesInOnTheLoop) {
  RequestRunner runner;
  std::promise<void> go;
  std::shared_future<void> going = go.get_future().share();
  std::thread::id worker;
  std::vector<std::string> results;
  std::thread::id deliveredOn;
  runner.Start<std::string>(
      [going, &worker] {
        worker = std::this_thread::get_id();
        going.wait();
        return std::string("answer");
      },
      [&](std::string result) {
        results.push_back(std::move(result));
        deliveredOn = std::this_thread::get_id();
      },
      [] { FAIL() << "not given up"; });
  EXPECT_TRUE(runner.Busy());
  runner.Deliver();
  EXPECT_TRUE(results.empty()) << "not done yet";
  go.set_value();
  ASSERT_TRUE(WokenWithin(std::chrono::seconds(5)));
  EXPECT_TRUE(runner.Busy()) << "until the loop takes the result in";
  runner.Deliver();
  EXPECT_EQ(results, std::vector<std::string>{"answer"});
  EXPECT_EQ(deliveredOn, std::this_thread::get_id());
  EXPECT_NE(worker, std::this_thread::get_id());
  EXPECT_FALSE(runner.Busy());
}

TEST_F(RequestRunnerTest, GivenUpItsCancelRunsAtOnceAndItsLateResultIsDropped) {
  RequestRunner runner;
  HeldTasks held;
  runner.SetExecutor(held.executor());
  std::vector<std::string> calls;
  runner.Start<int>([] { return 1; }, [&calls](int r) { calls.push_back("done " + std::to_string(r)); },
                    [&calls] { calls.push_back("cancelled 1"); });
  runner.Cancel();
  EXPECT_EQ(calls, std::vector<std::string>{"cancelled 1"});
  EXPECT_FALSE(runner.Busy());
  runner.Cancel();  // nothing left to give up
  EXPECT_EQ(calls.size(), 1u);

  // The next request gets its own result, whenever the old one finishes.
  runner.Start<int>([] { return 2; }, [&calls](int r) { calls.push_back("done " + std::to_string(r)); },
                    [&calls] { calls.push_back("cancelled 2"); });
  ASSERT_EQ(held.tasks.size(), 2u);
  held.tasks[0]();
  runner.Deliver();
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_TRUE(runner.Busy());
  held.tasks[1]();
  runner.Deliver();
  EXPECT_EQ(calls, (std::vector<std::string>{"cancelled 1", "done 2"}));
  EXPECT_FALSE(runner.Busy());
}

TEST_F(RequestRunnerTest, AResultMayStartTheNextRequest) {
  RequestRunner runner;
  HeldTasks held;
  runner.SetExecutor(held.executor());
  std::vector<int> results;
  runner.Start<int>(
      [] { return 1; },
      [&](int first) {
        results.push_back(first);
        runner.Start<int>([] { return 2; }, [&results](int second) { results.push_back(second); }, [] {});
      },
      [] {});
  held.tasks[0]();
  runner.Deliver();
  EXPECT_EQ(results, std::vector<int>{1});
  EXPECT_TRUE(runner.Busy());
  ASSERT_EQ(held.tasks.size(), 2u);
  held.tasks[1]();
  runner.Deliver();
  EXPECT_EQ(results, (std::vector<int>{1, 2}));
}

TEST_F(RequestRunnerTest, AWorkerLeftRunningOutlivesItsRunner) {
  auto runner = std::make_unique<RequestRunner>();
  std::promise<void> go;
  std::shared_future<void> going = go.get_future().share();
  runner->Start<std::string>(
      [going] {
        going.wait();
        return std::string(1000, 'x');
      },
      [](std::string) {}, [] {});
  runner->Cancel();
  runner.reset();
  go.set_value();
  EXPECT_TRUE(WokenWithin(std::chrono::seconds(5)));
}

}  // namespace

}  // namespace quarzello::highscore_test
