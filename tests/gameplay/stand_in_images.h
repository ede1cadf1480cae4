// Images with the frame layout and handles of the game's own, but no pixels:
// enough for the recording backend, which draws nothing.
#pragma once

#include "widgets/frontend.h"
#include "platform/platform.h"

namespace quarzello::gameplay_test {

inline Image StandIn(int cellWidth, int cellHeight, int frames, bool centred) {
  Image image;
  image.width = cellWidth;
  image.height = cellHeight * frames;
  image.cellWidth = cellWidth;
  image.cellHeight = cellHeight;
  image.frames = frames;
  if (centred) CentreHandle(&image);
  return image;
}

// The game screen's images, for a front end's img.
struct StandInImages {
  Image background = StandIn(400, 500, 1, false);
  Image stones = StandIn(32, 32, 130, true);
  Image progressBar = StandIn(362, 10, 2, false);
  Image counterFont = StandIn(10, 20, 12, true);
  Image blend = StandIn(16, 16, 1, true);

  StandInImages() = default;
  StandInImages(const StandInImages&) = delete;  // the Images point here
  StandInImages& operator=(const StandInImages&) = delete;

  Images AsImages() {
    Images img;
    img.imgGameBackground = &background;
    img.imgStones = &stones;
    img.imgProgressBar = &progressBar;
    img.imgCounterFont = &counterFont;
    img.imgBlend = &blend;
    return img;
  }
};

}  // namespace quarzello::gameplay_test
