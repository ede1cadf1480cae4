#include "screens/connecting.h"

#include <cmath>
#include <numbers>

#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "screens/backdrop.h"
#include "screens/table.h"
#include "platform/platform.h"

namespace quarzello {

namespace {

// The ring: kRingStones stones at three quarters of their size round
// (200, 320), the light going round them, the stones behind it fading. It
// moves on every frame, so that every frame is drawn; a turn takes 1.33 s
// at 60 Hz.
constexpr int kRingStones = 10;
constexpr int kFramesPerTurn = 80;
constexpr float kRingRadius = 28;
constexpr float kRingStoneScale = 0.75f;
constexpr int kFramesPerColour = 26;

void DrawRing(const FrontEnd& ui, int frames) {
  const float lit = static_cast<float>(frames % kFramesPerTurn * kRingStones) / kFramesPerTurn;
  SetDrawScale(kRingStoneScale * ui.scale, kRingStoneScale * ui.scale);
  for (int i = 0; i < kRingStones; ++i) {
    const float behind = std::fmod(lit - static_cast<float>(i) + kRingStones, static_cast<float>(kRingStones));
    SetAlpha(1.0f - 0.08f * behind);
    const float angle = 2 * std::numbers::pi_v<float> * static_cast<float>(i) / kRingStones;
    DrawImageFrame(ui.img.imgStones, (200 + kRingRadius * std::sin(angle)) * ui.scale,
                   (320 - kRingRadius * std::cos(angle)) * ui.scale, i % 4 * kFramesPerColour);
  }
  SetAlpha(1);
  SetDrawScale(ui.scale, ui.scale);
}

}  // namespace

void DrawConnecting(App& app) {
  FrontEnd& ui = app.ui;
  Cls();
  SetColor(255, 255, 255);
  DrawGameBackdrop(ui);
  TFont::set(0);
  DrawString(Text(TextId::ConnectingTo), 40 * ui.scale, 210 * ui.scale);
  DrawString(Text(app.notice.text), 40 * ui.scale, 260 * ui.scale);
  TFont::set(1);
  DrawTextCentered(Text(TextId::HighscoreTitle), Truncate(200 * ui.scale), Truncate(85 * ui.scale), ui.scale);
  DrawString(Text(TextId::ConnectingServer), 40 * ui.scale, 222 * ui.scale);
  SetColor(255, 255, 255);
  DrawRing(ui, app.notice.frames++);
  const WidgetResult cancel = MenuButton(ui, Text(TextId::Cancel), 200, 400);
  SetColor(255, 255, 255);
  Flip(-1);
  // After the frame, so that a message box of what follows finds it on screen.
  if (cancel == WidgetResult::Clicked) app.requests.Cancel();
}

void FetchOnlineTables(App& app, std::function<void(OnlineResult)> then) {
  StartOnline<FetchedTables>(
      app, TextId::Fetching, [context = CurrentClientContext(app.online)] { return FetchTables(context); },
      [&app, then](FetchedTables fetched) {
        if (fetched.result == OnlineResult::Done) {
          app.highscores.SetOnlineLists(std::move(fetched.lists));
          app.tableView.verifiedPages.clear();
          if (fetched.own) app.tableView.ownScore = *fetched.own;
        }
        then(fetched.result);
      },
      [then] { then(OnlineResult::NoConnection); });
}

}  // namespace quarzello
