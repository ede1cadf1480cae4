// Key counts, quit requests, the message box and ending the program.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "platform/platform.h"


namespace {

std::map<int, int> keyPresses;
bool terminateRequested = false;
std::atomic<void (*)()> loopWaker = nullptr;

}  // namespace

int KeyPressCount(int keyCode) {
  const auto found = keyPresses.find(keyCode);
  if (found == keyPresses.end()) return 0;
  const int count = found->second;
  keyPresses.erase(found);
  return count;
}

void CountKeyPress(int keyCode) { ++keyPresses[keyCode]; }

bool AppTerminate() {
  const bool requested = terminateRequested;
  terminateRequested = false;
  return requested;
}

void RequestAppTerminate() { terminateRequested = true; }

void SetLoopWaker(void (*waker)()) { loopWaker = waker; }

void WakeLoop() {
  if (void (*waker)() = loopWaker.load()) waker();
}

void Notify(const std::string& title, const std::string& text, bool serious) {
  if (Backend* backend = CurrentBackend()) {
    backend->ShowMessage(title, text, serious);
  } else {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  }
}

void ExitProgram(int status) {
  std::fflush(stdout);
  std::exit(status);
}

void FatalError(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stdout);
  std::fflush(stderr);
  // Without running static destructors: during start-up another thread may
  // still be decoding pictures into objects they would tear down.
  std::_Exit(255);
}
