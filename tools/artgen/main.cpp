// artgen RESOURCES [--preview DIR]
//
// Draws every picture of the game into the directory RESOURCES, using the
// game's font RESOURCES/lucidagrande.ttf for the words in the pictures. Runs
// give the same bytes every time. With --preview it also writes pictures of
// whole screens put together from the new files into DIR.

#include <cstdio>
#include <exception>
#include <string>

#include "art.h"

namespace {

using namespace art;

void Png(const std::string& dir, const char* name, int width, int height, void (*draw)(cairo_t*)) {
  Canvas canvas(width, height, true);
  draw(canvas.cr());
  canvas.SavePng(dir + "/" + name);
}

void Bmp(const std::string& dir, const char* name, int width, int height, void (*draw)(cairo_t*)) {
  Canvas canvas(width, height, false);
  draw(canvas.cr());
  canvas.SaveBmp(dir + "/" + name);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--preview")) {
    std::fprintf(stderr, "usage: %s RESOURCES [--preview DIR]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  try {
    OpenFont(dir + "/lucidagrande.ttf");
    Bmp(dir, "game_background.bmp", kScreenWidth, kScreenHeight, DrawGameBackground);
    Bmp(dir, "menu_background.bmp", kScreenWidth, kScreenHeight, DrawMenuBackground);
    Bmp(dir, "progressbar.bmp", kBarWidth, 2 * kBarHeight, DrawProgressBar);
    Png(dir, "kugel 32x32.png", kStoneFramesPerColour * kStoneCell, kStoneColours * kStoneCell,
        DrawStoneStrip);
    Png(dir, "counterfont.png", kCounterCells * kCounterCellWidth, kCounterCellHeight, DrawCounterFont);
    Png(dir, "trelvani_logo.png", kLogoWidth, kLogoHeight, DrawLogo);
    Png(dir, "blend.png", kBlendSize, kBlendSize, DrawBlendSpot);
    Png(dir, "cursor.png", kCursorSize, kCursorSize, DrawBoardCursor);
    if (argc == 4) WritePreviews(dir, argv[3]);
    CloseFont();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "artgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
