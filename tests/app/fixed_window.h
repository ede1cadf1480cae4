// A 400 x 500 window that never moves or changes size, for tests that drive
// the event loop but not the window.
#pragma once

#include "platform/window.h"

namespace quarzello::test {

class FixedWindow : public GameWindow {
 public:
  int ClientWidth() const override { return 400; }
  int ClientHeight() const override { return 500; }
  int GadgetLeft() const override { return 0; }
  int GadgetTop() const override { return 0; }
  bool IsWindowMaximized() const override { return false; }
  int DesktopWidth() const override { return 1280; }
  void SetGadgetRect(int, int, int, int) override {}
  void RequestRepaint() override {}
};

}  // namespace quarzello::test
