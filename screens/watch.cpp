#include "screens/watch.h"

#include <algorithm>

#include "gameplay/texts.h"
#include "screens/app.h"
#include "screens/game_screen.h"
#include "widgets/frontend.h"
#include "widgets/widgets.h"

namespace quarzello {

namespace {

// A stall of the loop (a message box, a busy machine) is not caught up on
// in one rush: the replay goes on from where it stood.
constexpr int64_t kLongestTick = 100;
// After its last record the game goes on by itself, so that what was in
// flight when it ended settles as it did: one step a tick of 60 Hz.
constexpr int64_t kFrameAfterTheEnd = 16;
// Frames drawn in one tick at most, at 4x on a slow machine.
constexpr int kMostFramesInTick = 32;

// The bar under the board, in design units.
constexpr float kBarY = 478.0f;
constexpr float kBarHeight = 18.0f;
constexpr float kMarkX = 8.0f;
constexpr float kMarkWidth = 222.0f;  // up to the first control
constexpr float kPauseX = 258.0f, kPauseWidth = 50.0f;
constexpr float kSpeedX = 300.0f, kSpeedStep = 24.0f, kSpeedWidth = 22.0f;
constexpr float kLeaveX = 380.0f, kLeaveWidth = 36.0f;
constexpr int kSpeeds[] = {1, 2, 4};

// The board's frame, in design units, which a paused replay dims.
constexpr int kBoardBoxLeft = 25, kBoardBoxTop = 85, kBoardBoxWidth = 350, kBoardBoxHeight = 390;

void SetBarText() {
  TFont::set(0);
  SetColor(47, 55, 58);
}

// The next frame of the recording. The clicks before it are played and
// shown; a pause is skipped, so the replay goes on at once with what came
// after it. Past the last record, frames of the game left to itself.
std::optional<Playback::Step> NextFrame(App& app) {
  Watch& watch = app.watch;
  Playback& playback = *watch.playback;
  while (const auto step = playback.Next()) {
    switch (step->tag) {
      case RecordTag::Frame: return step;
      case RecordTag::Pause: watch.pausedAt = step->at; break;
      case RecordTag::Resume: watch.reached += step->at - watch.pausedAt; break;
      default: ShowGameNews(app.ui, playback.game()); break;
    }
  }
  if (!playback.ok()) return std::nullopt;
  return Playback::Step{RecordTag::Frame, watch.lastFrameAt + kFrameAfterTheEnd};
}

void PlayFrame(App& app, int64_t at) {
  Watch& watch = app.watch;
  PlayGameFrame(app.ui, watch.playback->game(), at, GameInput::Watched);
  watch.picture = TakeFrame();
  watch.lastFrameAt = at;
}

// Every frame the replay has come to by now; only the last one drawn is shown.
void PlayDueFrames(App& app) {
  Watch& watch = app.watch;
  const int64_t now = NowMillis();
  if (!watch.paused && watch.lastTick) watch.reached += std::min(now - *watch.lastTick, kLongestTick) * watch.speed;
  watch.lastTick = now;
  for (int played = 0; played < kMostFramesInTick; ++played) {
    if (!watch.due) watch.due = NextFrame(app);
    if (!watch.due || watch.due->at > watch.reached) return;
    const int64_t at = watch.due->at;
    watch.due.reset();
    PlayFrame(app, at);
  }
  // Too far behind: the replay's clock waits for the frames.
  watch.reached = watch.lastFrameAt;
}

std::string MarkText(const ReplayLabel& label) {
  std::string mark = Text(TextId::ReplayMark);
  if (!label.name.empty()) mark += ": " + label.name;
  if (label.points) mark += " \xB7 " + FormatText(TextId::ReplayPoints, {IntToText(*label.points)});
  return mark;
}

void DrawMark(const FrontEnd& ui, const ReplayLabel& label) {
  SetBarText();
  const std::string mark = MarkText(label);
  // A long name is drawn smaller rather than under the controls.
  const float width = static_cast<float>(StringWidth(mark));
  const float factor = ui.scale * std::min(1.0f, kMarkWidth / width);
  SetDrawScale(factor, factor);
  DrawString(mark, kMarkX * ui.scale, (kBarY + (1.0f - factor / ui.scale) * 8.0f) * ui.scale);
  SetDrawScale(ui.scale, ui.scale);
}

void TogglePaused(Watch& watch) {
  watch.paused = !watch.paused;
  watch.lastTick = NowMillis();
}

void DrawControls(App& app) {
  FrontEnd& ui = app.ui;
  Watch& watch = app.watch;
  SetBarText();
  const char* pause = Text(watch.paused ? TextId::WatchGoOn : TextId::WatchPause);
  if (TabButton(ui, pause, kPauseX, kBarY, kPauseWidth, kBarHeight) == WidgetResult::Clicked) TogglePaused(watch);
  for (size_t i = 0; i < std::size(kSpeeds); ++i) {
    const int speed = kSpeeds[i];
    // The speed the replay goes at stands out.
    if (speed == watch.speed) {
      SetColor(20, 110, 200);
    } else {
      SetBarText();
    }
    const float x = kSpeedX + kSpeedStep * static_cast<float>(i);
    if (TabButton(ui, FormatText(TextId::WatchSpeed, {IntToText(speed)}), x, kBarY, kSpeedWidth, kBarHeight) ==
        WidgetResult::Clicked)
      watch.speed = speed;
  }
  SetBarText();
  if (TabButton(ui, Text(TextId::WatchLeave), kLeaveX, kBarY, kLeaveWidth, kBarHeight) == WidgetResult::Clicked)
    LeaveWatching(app);
  SetColor(255, 255, 255);
}

// A replay that stands still dims its board and shows its keys over it.
void DrawStill(const FrontEnd& ui) {
  const float scale = ui.scale;
  SetViewport(Truncate(kBoardBoxLeft * scale), Truncate(kBoardBoxTop * scale), Truncate(kBoardBoxWidth * scale),
              Truncate(kBoardBoxHeight * scale));
  SetAlpha(0.8f);
  DrawImageFrame(ui.img.imgGameBackground, 0.0f, 0.0f, 0);
  SetAlpha(1.0f);
  SetViewport(0, 0, Truncate(kDesignWidth * scale), Truncate(kDesignHeight * scale));
  TFont::set(1);
  SetColor(47, 55, 58);
  DrawTextCentered(Text(TextId::WatchPause), Truncate(200 * scale), Truncate(200 * scale), scale);
  SetBarText();
  DrawTextCentered(Text(TextId::WatchKeysPause), Truncate(200 * scale), Truncate(250 * scale), scale);
  DrawTextCentered(Text(TextId::WatchKeysSpeed), Truncate(200 * scale), Truncate(268 * scale), scale);
  SetColor(255, 255, 255);
}

}  // namespace

std::string RefusalText(RecordingFault fault) {
  TextId reason = TextId::FaultDamaged;
  switch (fault) {
    case RecordingFault::NotARecording: reason = TextId::FaultNotARecording; break;
    case RecordingFault::OtherVersion: reason = TextId::FaultOtherVersion; break;
    case RecordingFault::TooLarge: reason = TextId::FaultTooLarge; break;
    case RecordingFault::Impossible: reason = TextId::FaultImpossible; break;
    case RecordingFault::None:
    case RecordingFault::Damaged: break;
  }
  return std::string(Text(TextId::RecordingRefused)) + "\n" + Text(reason);
}

bool StartWatching(App& app, std::string_view recording, ReplayLabel label, uint8_t backTo, bool quitOnLeave) {
  // Played through once first, so that a recording refused on the way is
  // refused before anything of it shows.
  const ReplayResult checked = ReplayGame(recording);
  if (!checked.ok()) {
    Notify(Text(TextId::ReplayMark), RefusalText(checked.fault), true);
    return false;
  }
  Watch& watch = app.watch;
  watch = Watch{};
  watch.playback = std::make_unique<Playback>(recording);
  watch.label = std::move(label);
  if (!watch.label.points) watch.label.points = checked.score;
  watch.backTo = backTo;
  watch.quitOnLeave = quitOnLeave;
  app.ui.messages.clear();
  app.ui.screen = Watching;
  // The first frame shows with the screen's first frame.
  watch.due = NextFrame(app);
  if (watch.due) watch.reached = watch.due->at;
  return true;
}

void LeaveWatching(App& app) {
  if (app.watch.quitOnLeave) ExitProgram();
  app.ui.messages.clear();
  app.ui.screen = app.watch.backTo;
  app.watch = Watch{};
}

void DrawWatchScreen(App& app) {
  PlayDueFrames(app);
  // The game's picture begins with its own clear.
  if (app.watch.picture.empty()) Cls();
  DrawFrameList(app.watch.picture);
  if (app.watch.paused) DrawStill(app.ui);
  DrawMark(app.ui, app.watch.label);
  DrawControls(app);
  Flip(-1);
}

void HandleWatchKey(App& app, const Event& event) {
  Watch& watch = app.watch;
  switch (event.kind) {
    case KeyUp:
      if (event.value == kKeyP) TogglePaused(watch);
      break;
    case KeyDown:
      if (event.value == kKeySpace && !event.repeat) TogglePaused(watch);
      break;
    case KeyChar:
      for (const int speed : kSpeeds) {
        if (event.value == '0' + speed) watch.speed = speed;
      }
      break;
    default: break;
  }
}

}  // namespace quarzello
