#include "screens/backdrop.h"

#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "gameplay/texts.h"
#include "platform/platform.h"

namespace quarzello {

namespace {

// The labels' tops. The game's fonts put the baseline a whole number of
// pixels below the top, so this top brings it nearest to the panels' design.
constexpr float kLabelTop = 8.0f;

}  // namespace

void DrawGameBackdrop(const FrontEnd& ui) {
  const float scale = ui.scale;
  SetDrawScale(scale, scale);
  DrawImageFrame(ui.img.imgGameBackground, 0.0f, 0.0f, 0);
  TFont::set(2);
  const int top = Truncate(kLabelTop * scale);
  DrawTextCentered(Text(TextId::PanelScore), Truncate(kPanelScoreX * scale), top, scale);
  DrawTextCentered(Text(TextId::PanelMode), Truncate(kPanelModeX * scale), top, scale);
  DrawTextCentered(Text(TextId::PanelLevel), Truncate(kPanelValueX * scale), top, scale);
  SetColor(255, 255, 255);
}

}  // namespace quarzello
