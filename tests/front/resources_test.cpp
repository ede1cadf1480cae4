#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "front/frontend.h"
#include "front/widgets.h"
#include "tests/platform/picture_bytes.h"

namespace quarzello::front_test {

using namespace platform_test;

namespace {

const Rgba kMagenta{255, 0, 255, 255};

// Stand-ins for the game's pictures with the sizes and layouts it relies on.
// Registering under the same names replaces whatever was registered before.
void RegisterStandInPictures() {
  static const auto opaque = [](int, int) { return Rgba{90, 100, 110, 255}; };
  static const std::vector<uint8_t> background = MakeBmp(400, 500, opaque);
  static const std::vector<uint8_t> progress =
      MakeBmp(362, 20, [](int x, int) { return x < 5 ? kMagenta : Rgba{0, 200, 0, 255}; });
  static const std::vector<uint8_t> stones = MakePng(832, 160, opaque, true);
  static const std::vector<uint8_t> counter = MakePng(120, 20, opaque, true);
  static const std::vector<uint8_t> logo = MakePng(149, 136, opaque, true);
  static const std::vector<uint8_t> blend = MakePng(16, 16, opaque, true);
  static const std::vector<uint8_t> cursor = MakePng(64, 64, opaque, true);
  const std::pair<const char*, const std::vector<uint8_t>*> files[] = {
      {"game_background.bmp", &background}, {"menu_background.bmp", &background},
      {"progressbar.bmp", &progress},       {"kugel 32x32.png", &stones},
      {"counterfont.png", &counter},        {"trelvani_logo.png", &logo},
      {"blend.png", &blend},                {"cursor.png", &cursor}};
  for (const auto& [name, bytes] : files) RegisterEmbeddedFile(name, bytes->data(), bytes->size());
}

void Unregister(const char* name) {
  static const uint8_t nothing = 0;
  RegisterEmbeddedFile(name, &nothing, 0);  // present but no picture: the load fails
}

class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDrawingState();
    img = Images{};
    RegisterStandInPictures();
  }
  void TearDown() override {
    ResetDrawingState();
    img = Images{};
  }
};

void LoadOnTheLoaderThread() {
  StartLoadingResources();
  FinishLoadingResources();
}

TEST_F(Resources, ImagesLoadWithTheirLayoutsAndHandles) {
  LoadImages();
  ASSERT_NE(img.imgStones, nullptr);
  EXPECT_EQ(img.imgStones->frames, 130);
  EXPECT_EQ(img.imgStones->FrameX(129), 25 * 32);
  EXPECT_EQ(img.imgStones->FrameY(129), 4 * 32);
  EXPECT_FLOAT_EQ(img.imgStones->handleX, 16);
  EXPECT_EQ(img.imgStones->flags, kImageFiltered);

  ASSERT_NE(img.imgProgressBar, nullptr);
  EXPECT_EQ(img.imgProgressBar->frames, 2);
  EXPECT_EQ(img.imgProgressBar->FrameY(1), 10);
  EXPECT_FLOAT_EQ(img.imgProgressBar->handleX, 0);
  EXPECT_EQ(img.imgProgressBar->rgba[3], 0);        // magenta is clear
  EXPECT_EQ(img.imgProgressBar->rgba[5 * 4 + 3], 255);

  ASSERT_NE(img.imgCounterFont, nullptr);
  EXPECT_EQ(img.imgCounterFont->frames, 12);
  EXPECT_FLOAT_EQ(img.imgCounterFont->handleY, 10);

  ASSERT_NE(img.imgLogo, nullptr);
  EXPECT_FLOAT_EQ(img.imgLogo->handleX, 74.5f);
  ASSERT_NE(img.imgBlend, nullptr);
  EXPECT_FLOAT_EQ(img.imgBlend->handleX, 8);
  ASSERT_NE(img.imgCursor, nullptr);
  EXPECT_FLOAT_EQ(img.imgCursor->handleX, 32);
  EXPECT_EQ(img.imgCursor->flags, kImageFiltered);
  ASSERT_NE(img.imgGameBackground, nullptr);
  EXPECT_FLOAT_EQ(img.imgGameBackground->handleX, 0);
  EXPECT_EQ(img.imgGameBackground->flags, kImageMasked | kImageFiltered);
  EXPECT_NE(img.imgMenuBackground, nullptr);
}

TEST_F(Resources, MaskColourIsBlackAgainAfterTheProgressBar) {
  static const std::vector<uint8_t> black = MakeBmp(1, 1, [](int, int) { return Rgba{0, 0, 0, 255}; });
  LoadImages();
  RegisterEmbeddedFile("black.bmp", black.data(), black.size());
  const Image* image = LoadImageFile("incbin::black.bmp", kImageMasked);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->rgba[3], 0);
}

TEST_F(Resources, TheLoaderThreadLoadsWhatLoadImagesLoadsAndBothFonts) {
  LoadImages();
  const Images direct = img;
  img = Images{};
  TFont::reset();
  RegisterEmbeddedFiles();  // for the font; the pictures stay the stand-ins
  RegisterStandInPictures();
  LoadOnTheLoaderThread();
  const std::pair<Image* Images::*, const char*> pictures[] = {
      {&Images::imgGameBackground, "game background"}, {&Images::imgMenuBackground, "menu background"},
      {&Images::imgLogo, "logo"}, {&Images::imgStones, "stones"}, {&Images::imgProgressBar, "progress bar"},
      {&Images::imgBlend, "glow"}, {&Images::imgCounterFont, "counter font"}, {&Images::imgCursor, "cursor"}};
  for (const auto& [slot, name] : pictures) {
    SCOPED_TRACE(name);
    const Image* threaded = img.*slot;
    const Image* synchronous = direct.*slot;
    ASSERT_NE(threaded, nullptr);
    EXPECT_EQ(threaded->rgba, synchronous->rgba);  // the mask colour of each picture included
    EXPECT_EQ(threaded->frames, synchronous->frames);
    EXPECT_EQ(threaded->flags, synchronous->flags);
    EXPECT_FLOAT_EQ(threaded->handleX, synchronous->handleX);
  }
  ASSERT_NE(TFont::font(0), nullptr);
  ASSERT_NE(TFont::font(1), nullptr);
  EXPECT_EQ(TFont::font(0)->pixelSize, 14);
  EXPECT_EQ(TFont::font(1)->pixelSize, 36);
  EXPECT_TRUE(TFont::font(1)->glyphs['S'].present);
}

TEST_F(Resources, MissingGlowIsNoFailure) {
  Unregister("blend.png");
  LoadImages();
  EXPECT_EQ(img.imgBlend, nullptr);
  EXPECT_NE(img.imgCounterFont, nullptr);
}

struct MissingPicture {
  const char* name;
  const char* message;
};

class MissingPictureDeathTest : public Resources, public ::testing::WithParamInterface<MissingPicture> {};

TEST_P(MissingPictureDeathTest, EndsTheProgramWithItsMessage) {
  Unregister(GetParam().name);
  EXPECT_EXIT(LoadImages(), ::testing::ExitedWithCode(255), std::string("^") + GetParam().message + "\n$");
}

// The message and status are the same when the pictures are decoded beside
// the window's start, and the program ends before anything is presented.
TEST_P(MissingPictureDeathTest, EndsTheProgramFromTheLoaderThreadBeforeAnyFrame) {
  Unregister(GetParam().name);
  EXPECT_EXIT(
      {
        RecordingBackend backend;
        SetBackend(&backend);
        LoadOnTheLoaderThread();
        Flip(-1);  // the first frame would come now
        std::fprintf(stderr, "a frame was presented\n");
        std::exit(0);
      },
      ::testing::ExitedWithCode(255), std::string("^") + GetParam().message + "\n$");
}

INSTANTIATE_TEST_SUITE_P(
    EveryCheckedPicture, MissingPictureDeathTest,
    ::testing::Values(MissingPicture{"game_background.bmp", "Image not found! \\(game_background.bmp\\)"},
                      MissingPicture{"menu_background.bmp", "Image not found! \\(menu_background.bmp\\)"},
                      MissingPicture{"trelvani_logo.png", "Image not found! \\(trelvani_logo.png\\)"},
                      MissingPicture{"kugel 32x32.png", "Image not found! \\(kugel 32x32.png\\)"},
                      MissingPicture{"progressbar.bmp", "Image not found! \\(progressbar.bmp\\)"},
                      MissingPicture{"counterfont.png", "Image not foung! \\(counterfont.png\\)"},
                      MissingPicture{"cursor.png", "Image not found! \\(cursor.png\\)"}));

// A failure elsewhere in the start (no display, an unreadable highscore file)
// may come while the pictures are still being decoded: the program still
// ends with its message and status 255, without tearing objects down under
// the loader's feet.
TEST(ResourcesDeathTest, FatalErrorWhileTheLoaderRunsEndsWithItsStatus) {
  RegisterEmbeddedFiles();
  EXPECT_EXIT(
      {
        StartLoadingResources();
        FatalError("Error reading from stream");
      },
      ::testing::ExitedWithCode(255), "^Error reading from stream\n$");
}

TEST(EmbeddedFiles, TheGameFontIsBuiltIn) {
  RegisterEmbeddedFiles();
  Stream* stream = OpenRead("incbin::lucidagrande.ttf");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(ReadInt(stream), 0x00000100);  // a TrueType file starts with version 1.0
  CloseByteStream(stream);
}

}  // namespace

}  // namespace quarzello::front_test
