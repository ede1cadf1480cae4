// The tests' main. Code under test may end the process (ExitProgram,
// FatalError, a stray exit). Each test runs as its own process under ctest,
// so an exit(0) in the middle of a test would end it with status 0 and pass
// it unseen; here an exit while a test runs fails it instead. Death tests
// expect their exits: their children are other processes and are let be.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

pid_t testProcess = 0;  // set while a test runs in this process
std::string runningTest;

void FailAnExitInsideATest() {
  if (testProcess != getpid()) return;
  std::fprintf(stderr, "\n%s: the program was ended while the test ran\n", runningTest.c_str());
  std::fflush(stderr);
  _exit(1);
}

class ExitGuard : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& test) override {
    runningTest = std::string(test.test_suite_name()) + "." + test.name();
    testProcess = getpid();
  }
  void OnTestEnd(const ::testing::TestInfo&) override { testProcess = 0; }
};

}  // namespace

int main(int argc, char** argv) {
  // A death test's child started anew for its statement must exit freely.
  bool deathTestChild = false;
  for (int i = 1; i < argc; ++i) deathTestChild |= std::strncmp(argv[i], "--gtest_internal_run_death_test", 31) == 0;
  ::testing::InitGoogleTest(&argc, argv);
  if (!deathTestChild) {
    std::atexit(FailAnExitInsideATest);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ExitGuard);
  }
  return RUN_ALL_TESTS();
}
