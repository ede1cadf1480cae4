#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "widgets/frontend.h"
#include "widgets/widgets.h"
#include "gameplay/texts.h"
#include "tests/platform/picture_bytes.h"
#include "tests/languages.h"

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
    RegisterStandInPictures();
  }
  void TearDown() override { ResetDrawingState(); }

  Images img;
};

TEST_F(Resources, ImagesLoadWithTheirLayoutsAndHandles) {
  LoadImages(img);
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
  LoadImages(img);
  RegisterEmbeddedFile("black.bmp", black.data(), black.size());
  const Image* image = LoadImageFile("incbin::black.bmp", kImageMasked);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->rgba[3], 0);
}

TEST_F(Resources, MissingGlowIsNoFailure) {
  Unregister("blend.png");
  LoadImages(img);
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
  EXPECT_EXIT(LoadImages(img), ::testing::ExitedWithCode(255), std::string("^") + GetParam().message + "\n$");
}

// Decoding goes on past a missing picture (the window is opened in between);
// the check afterwards reports the first missing one in loading order, before
// any frame.
TEST_P(MissingPictureDeathTest, TheCheckAfterDecodingEndsTheProgramBeforeAnyFrame) {
  Unregister(GetParam().name);
  Unregister("cursor.png");  // the last in loading order is missing as well: the first one is reported
  EXPECT_EXIT(
      {
        RecordingBackend backend;
        SetBackend(&backend);
        DecodeImages(img);
        std::fprintf(stderr, "decoded\n");
        CheckImages(img);
        Flip(-1);  // the first frame would come now
        std::fprintf(stderr, "a frame was presented\n");
        std::exit(0);
      },
      ::testing::ExitedWithCode(255), std::string("^decoded\n") + GetParam().message + "\n$");
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

// The panels' labels are written over the game background, so every
// language loads the one picture and misses it by the same name.
TEST_F(Resources, EveryLanguageLoadsTheOneGameBackground) {
  SelectLanguage(English());
  LoadImages(img);
  SelectLanguage(German());
  ASSERT_NE(img.imgGameBackground, nullptr);
  EXPECT_EQ(img.imgGameBackground->rgba.at(0), 90);

  Unregister("game_background.bmp");
  EXPECT_EXIT(
      {
        SelectLanguage(English());
        LoadImages(img);
      },
      ::testing::ExitedWithCode(255), "^Image not found! \\(game_background.bmp\\)\n$");
}

// A failure in the start (an unreadable highscore file, a missing picture)
// may come while the OpenGL driver is still loading on its thread: the
// program still ends with its message and status 255, without tearing
// objects down under that thread's feet.
TEST(ResourcesDeathTest, FatalErrorWhileAnotherThreadRunsEndsWithItsStatus) {
  EXPECT_EXIT(
      {
        std::thread busy([] {
          for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
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
