// The pictures of the highscore service's web page, in the game's look: its
// stones as emblems of the rankings, its title in the game's own font, so
// that the page needs no font of its own.

#include "art.h"

namespace art {

void DrawWebStones(cairo_t* cr) {
  for (int col = 0; col < kStoneColours; ++col) {
    DrawWebStone(cr, col, (col + 0.5) * kWebStoneSize, kWebStoneSize / 2.0, kWebStoneSize);
  }
}

// Twice the size of the game's large font, in its colour.
void DrawWebTitle(cairo_t* cr) {
  UseGameFont(cr, 72);
  SetSource(cr, Rgb8(47, 55, 58));
  TextCentered(cr, "Highscore", kWebTitleWidth / 2.0, 0);
}

void DrawWebIcon(cairo_t* cr) { DrawWebStone(cr, 2, kWebIconSize / 2.0, kWebIconSize / 2.0, kWebIconSize); }

}  // namespace art
