// artgen RESOURCES [--icons DIR] [--web DIR] [--preview DIR]
//
// Draws every picture of the game into the directory RESOURCES, using the
// game's font RESOURCES/lucidagrande.ttf for the words in the pictures. Runs
// give the same bytes every time. With --icons it also draws the application
// icon into DIR; with --web the pictures of the highscore service's web page;
// with --preview it writes pictures of whole screens put together from the
// new files into DIR.

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
  std::string iconDir, webDir, previewDir;
  bool usage = argc < 2 || argc % 2 != 0;
  for (int i = 2; !usage && i < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--icons")
      iconDir = argv[i + 1];
    else if (option == "--web")
      webDir = argv[i + 1];
    else if (option == "--preview")
      previewDir = argv[i + 1];
    else
      usage = true;
  }
  if (usage) {
    std::fprintf(stderr, "usage: %s RESOURCES [--icons DIR] [--web DIR] [--preview DIR]\n", argv[0]);
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
    if (!iconDir.empty()) WriteIcons(iconDir);
    if (!webDir.empty()) {
      Png(webDir, "stones.png", kStoneColours * kWebStoneSize, kWebStoneSize, DrawWebStones);
      Png(webDir, "title.png", kWebTitleWidth, kWebTitleHeight, DrawWebTitle);
      Png(webDir, "icon.png", kWebIconSize, kWebIconSize, DrawWebIcon);
    }
    // After the icons: their SVG numbers its surfaces by how many the run has made.
    Png(dir, "cursor.png", kCursorSize, kCursorSize, DrawBoardCursor);
    if (!previewDir.empty()) WritePreviews(dir, previewDir);
    CloseFont();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "artgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
