#include <cmath>

#include "board/board.h"
#include "front/frontend.h"
#include "gameplay/game.h"
#include "platform/platform.h"

std::unique_ptr<stone> stone::create(int x, int y) {
  auto made = std::make_unique<stone>();
  made->col = RandomInt(0, game.maxColour);
  made->x = static_cast<float>(x);
  made->y = static_cast<float>(y);
  made->sx = made->sy = 0.1f;
  made->alpha = 0.0f;
  made->mode = Appearing;

  // Drawn even with bombs off, so the settings never shift the sequence of draws
  // before a bomb turns up.
  const int bombDraw = RandomInt(0, 50);
  made->bombe = (bombDraw == 0 && game.bombLevel > 0) ? 1 : 0;

  if (made->bombe == 1) {
    if (game.bombLevel == 2) {
      // Two of the extra draws below 0 make an area bomb, the rest colour bombs.
      made->col = RandomInt(-2, game.maxColour);
      if (made->col < 0) made->col = 4;
    } else {
      made->col = 4;
    }
  } else if (game.rocksOn != 0) {
    if (RandomInt(0, 49) == 0) made->col = 4;
  }
  return made;
}

bool MouseInsideBoard() {
  const float scale = ui.scale;
  return ui.mouseX > 30.0f * scale && ui.mouseX < 370.0f * scale && ui.mouseY > 90.0f * scale &&
         ui.mouseY < 470.0f * scale;
}

void CellUnderMouse(int& c, int& r) {
  const float scale = ui.scale;
  c = static_cast<int>(std::floor((static_cast<float>(ui.mouseX) / scale - 30.0f) / 20.0f));
  r = static_cast<int>(std::floor((static_cast<float>(ui.mouseY) / scale - 90.0f) / 20.0f));
  // At some window sizes a mouse position just inside the right or bottom
  // border divides back to exactly 370 or 470 in single precision, which would
  // name a cell beyond the board; such a position belongs to the last cell.
  if (c < 0) c = 0;
  if (c > kColumns - 1) c = kColumns - 1;
  if (r < 0) r = 0;
  if (r > kRows - 1) r = kRows - 1;
}
