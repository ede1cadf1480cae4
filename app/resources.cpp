// The files built into the program, and the images and fonts loaded from
// them at start.
#include <cstdint>

#include "widgets/frontend.h"
#include "widgets/widgets.h"

namespace quarzello {

namespace {

struct EmbeddedEntry {
  const char* name;
  const uint8_t* data;
  uintptr_t size;
};

struct CheckedImage {
  Image* Images::*slot;
  const char* message;
};

// In the order of loading, so that the first missing one is the one reported.
constexpr CheckedImage kCheckedImages[] = {
    {&Images::imgGameBackground, "Image not found! (game_background.bmp)"},
    {&Images::imgMenuBackground, "Image not found! (menu_background.bmp)"},
    {&Images::imgLogo, "Image not found! (trelvani_logo.png)"},
    {&Images::imgStones, "Image not found! (kugel 32x32.png)"},
    {&Images::imgProgressBar, "Image not found! (progressbar.bmp)"},
    {&Images::imgCounterFont, "Image not foung! (counterfont.png)"},
    {&Images::imgCursor, "Image not found! (cursor.png)"},
};

}  // namespace

void DecodeImages(Images& img) {
  // While the backgrounds and the logo load, the mask colour is still black.
  // One game background for every language: the screens write its panels'
  // labels over it (screens/backdrop.h).
  img.imgGameBackground = LoadImageFile("incbin::game_background.bmp", kImageDefaultFlags);
  img.imgMenuBackground = LoadImageFile("incbin::menu_background.bmp", kImageDefaultFlags);
  img.imgLogo = LoadImageFile("incbin::trelvani_logo.png", kImageDefaultFlags);
  CentreHandle(img.imgLogo);

  img.imgStones = LoadImageStrip("incbin::kugel 32x32.png", 32, 32, 0, 130, kImageFiltered);
  CentreHandle(img.imgStones);

  SetTransparentColour(255, 0, 255);
  img.imgProgressBar = LoadImageStrip("incbin::progressbar.bmp", 362, 10, 0, 2, kImageMasked | kImageFiltered);

  // The glow may be missing; the screens then leave it out.
  img.imgBlend = LoadImageFile("incbin::blend.png", kImageFiltered);
  SetTransparentColour(0, 0, 0);
  CentreHandle(img.imgBlend);

  img.imgCounterFont = LoadImageStrip("incbin::counterfont.png", 10, 20, 0, 12, kImageFiltered);
  CentreHandle(img.imgCounterFont);

  img.imgCursor = LoadImageFile("incbin::cursor.png", kImageFiltered);
  CentreHandle(img.imgCursor);
}

void CheckImages(const Images& img) {
  for (const CheckedImage& checked : kCheckedImages) {
    if (img.*checked.slot != nullptr) continue;
    FatalError(checked.message);
  }
}

// Written by the build: one entry per file present in resources/, then zeros.
extern "C" const EmbeddedEntry quarzello_embedded_files[];

void RegisterEmbeddedFiles() {
  for (const EmbeddedEntry* entry = quarzello_embedded_files; entry->name != nullptr; ++entry) {
    RegisterEmbeddedFile(entry->name, entry->data, entry->size);
  }
}

void LoadImages(Images& img) {
  DecodeImages(img);
  CheckImages(img);
}

}  // namespace quarzello
