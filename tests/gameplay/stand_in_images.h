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

// The game screen's images, installed into img while this lives.
struct StandInImages {
  Image background = StandIn(400, 500, 1, false);
  Image stones = StandIn(32, 32, 130, true);
  Image progressBar = StandIn(362, 10, 2, false);
  Image counterFont = StandIn(10, 20, 12, true);
  Image blend = StandIn(16, 16, 1, true);

  StandInImages() {
    ui.img = Images{};
    ui.img.imgGameBackground = &background;
    ui.img.imgStones = &stones;
    ui.img.imgProgressBar = &progressBar;
    ui.img.imgCounterFont = &counterFont;
    ui.img.imgBlend = &blend;
  }
  ~StandInImages() { ui.img = Images{}; }
  StandInImages(const StandInImages&) = delete;
  StandInImages& operator=(const StandInImages&) = delete;
};

}  // namespace quarzello::gameplay_test
