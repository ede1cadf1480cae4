#include "highscore/screens/connecting.h"

#include <utility>

#include "front/widgets/frontend.h"
#include "front/widgets/widgets.h"
#include "highscore/screens/table.h"
#include "platform/platform.h"

namespace quarzello {

void ShowConnecting(TextId text) {
  Cls();
  SetColor(255, 255, 255);
  SetDrawScale(ui.scale, ui.scale);
  DrawImageFrame(img.imgGameBackground, 0, 0, 0);
  TFont::set(0);
  DrawString(Text(TextId::ConnectingTo), 40 * ui.scale, 210 * ui.scale);
  DrawString(Text(text), 40 * ui.scale, 260 * ui.scale);
  TFont::set(1);
  DrawTextCentered(Text(TextId::HighscoreTitle), Truncate(200 * ui.scale), Truncate(85 * ui.scale), -1.0f);
  DrawString(Text(TextId::ConnectingServer), 40 * ui.scale, 222 * ui.scale);
  SetColor(255, 255, 255);
  Flip(-1);
}

OnlineResult FetchOnlineTables() {
  ShowConnecting(TextId::Fetching);
  FetchedTables fetched = FetchTables();
  if (fetched.result == OnlineResult::Done) {
    highscores.SetOnlineLists(std::move(fetched.lists));
    if (fetched.own) tableView.ownScore = *fetched.own;
  }
  return fetched.result;
}

}  // namespace quarzello
