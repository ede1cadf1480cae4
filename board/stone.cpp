#include "board/board.h"

namespace quarzello {

std::unique_ptr<stone> stone::create(int x, int y, const BoardSettings& settings, Random& random) {
  auto made = std::make_unique<stone>();
  made->col = random.Int(0, settings.maxColour);
  made->x = static_cast<float>(x);
  made->y = static_cast<float>(y);
  made->sx = made->sy = 0.1f;
  made->alpha = 0.0f;
  made->mode = Appearing;

  // Drawn even with bombs off, so the settings never shift the sequence of draws
  // before a bomb turns up.
  const int bombDraw = random.Int(0, 50);
  made->bombe = (bombDraw == 0 && settings.bombLevel > 0) ? 1 : 0;

  if (made->bombe == 1) {
    if (settings.bombLevel == 2) {
      // Two of the extra draws below 0 make an area bomb, the rest colour bombs.
      made->col = random.Int(-2, settings.maxColour);
      if (made->col < 0) made->col = kGrey;
    } else {
      made->col = kGrey;
    }
  } else if (settings.rocksOn != 0) {
    if (random.Int(0, 49) == 0) made->col = kGrey;
  }
  return made;
}

}  // namespace quarzello
