// Watching a recorded game: the game screen driven by its recording instead
// of the player, frame by frame as it was played, at 1x, 2x or 4x. A mark
// under the board says that it is a replay and whose; beside it sit the
// controls, and their keys are shown while the replay stands still.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "gameplay/replay.h"
#include "platform/platform.h"
#include "platform/window.h"

namespace quarzello {

struct App;

// Whose game a replay shows, as far as it is known.
struct ReplayLabel {
  std::string name;
  std::optional<int> points;
};

struct Watch {
  std::unique_ptr<Playback> playback;  // none while nothing is watched
  ReplayLabel label;
  uint8_t backTo = 0;        // the screen that leaving the replay returns to
  bool quitOnLeave = false;  // the program was started to show this replay only
  int speed = 1;
  bool paused = false;
  int64_t reached = 0;      // on the recording's clock: every frame up to here is shown
  std::optional<int64_t> lastTick;  // NowMillis at the screen's last frame; none before the first
  int64_t pausedAt = 0;     // of the pause record last read: the replay skips the pause
  int64_t lastFrameAt = 0;  // of the game frame last played
  std::optional<Playback::Step> due;  // a frame read from the recording, still to come
  DisplayList picture;                // the game as its last frame drew it
};

// Starts a replay of `recording` on the watch screen. A recording the game
// cannot play is refused with a message box saying why, and nothing else
// happens; false then.
bool StartWatching(App& app, std::string_view recording, ReplayLabel label, uint8_t backTo, bool quitOnLeave);
// Back to where the replay was started from (or out of the program).
void LeaveWatching(App& app);
// The frame function of the watch screen.
void DrawWatchScreen(App& app);
// The replay's keys: P and Space pause and go on, 1, 2 and 4 set the speed.
void HandleWatchKey(App& app, const Event& event);

// The message a refused recording gets.
std::string RefusalText(RecordingFault fault);

}  // namespace quarzello
