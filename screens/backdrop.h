// The game background as every screen drawn over it shows it: the picture
// and the labels of the head-up display's three panels, written in the
// selected language.
#pragma once

namespace quarzello {

struct FrontEnd;

// The centres of the three panels (design units): the score, the mode, and
// the mode's value.
constexpr float kPanelScoreX = 78.0f;
constexpr float kPanelModeX = 200.0f;
constexpr float kPanelValueX = 319.0f;

// At ui.scale, from the canvas's top left, in the current colour and alpha
// (as the picture alone was drawn). Leaves the labels' font selected and
// the colour white.
void DrawGameBackdrop(const FrontEnd& ui);

}  // namespace quarzello
