// The files built into the program, and the images loaded from them at start.
#include <cstdint>

#include "front/frontend.h"

namespace quarzello {

namespace {

struct EmbeddedEntry {
  const char* name;
  const uint8_t* data;
  uintptr_t size;
};

void Require(const Image* image, const char* message) {
  if (image == nullptr) FatalError(message);
}

}  // namespace

// Written by the build: one entry per file present in resources/, then zeros.
extern "C" const EmbeddedEntry quarzello_embedded_files[];

void RegisterEmbeddedFiles() {
  for (const EmbeddedEntry* entry = quarzello_embedded_files; entry->name != nullptr; ++entry) {
    RegisterEmbeddedFile(entry->name, entry->data, entry->size);
  }
}

void LoadImages() {
  // While the backgrounds and the logo load, the mask colour is still black.
  img.imgGameBackground = LoadImageFile("incbin::game_background.bmp", kImageDefaultFlags);
  Require(img.imgGameBackground, "Image not found! (game_background.bmp)");
  img.imgMenuBackground = LoadImageFile("incbin::menu_background.bmp", kImageDefaultFlags);
  Require(img.imgMenuBackground, "Image not found! (menu_background.bmp)");
  img.imgLogo = LoadImageFile("incbin::trelvani_logo.png", kImageDefaultFlags);
  Require(img.imgLogo, "Image not found! (trelvani_logo.png)");
  CentreHandle(img.imgLogo);

  img.imgStones = LoadImageStrip("incbin::kugel 32x32.png", 32, 32, 0, 130, kImageFiltered);
  Require(img.imgStones, "Image not found! (kugel 32x32.png)");
  CentreHandle(img.imgStones);

  SetTransparentColour(255, 0, 255);
  img.imgProgressBar = LoadImageStrip("incbin::progressbar.bmp", 362, 10, 0, 2, kImageMasked | kImageFiltered);
  Require(img.imgProgressBar, "Image not found! (progressbar.bmp)");

  // The glow may be missing; the screens then leave it out.
  img.imgBlend = LoadImageFile("incbin::blend.png", kImageFiltered);
  SetTransparentColour(0, 0, 0);
  CentreHandle(img.imgBlend);

  img.imgCounterFont = LoadImageStrip("incbin::counterfont.png", 10, 20, 0, 12, kImageFiltered);
  Require(img.imgCounterFont, "Image not foung! (counterfont.png)");
  CentreHandle(img.imgCounterFont);
}

}  // namespace quarzello
