#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/platform/picture_bytes.h"

namespace quarzello::platform_test {

namespace {

const Rgba kMagenta{255, 0, 255, 255};
const Rgba kGrey{10, 20, 30, 255};

// Registered data must outlive the program, so each test keeps its bytes here.
const std::vector<uint8_t>& Keep(std::vector<uint8_t> bytes) {
  static std::vector<std::unique_ptr<std::vector<uint8_t>>> kept;
  kept.push_back(std::make_unique<std::vector<uint8_t>>(std::move(bytes)));
  return *kept.back();
}

void Register(const std::string& name, std::vector<uint8_t> bytes) {
  const auto& kept = Keep(std::move(bytes));
  RegisterEmbeddedFile(name, kept.data(), kept.size());
}

Rgba PixelOf(const Image& image, int x, int y) {
  const uint8_t* p = &image.rgba[static_cast<size_t>((y * image.width + x) * 4)];
  return {p[0], p[1], p[2], p[3]};
}

// Magenta on the diagonal, grey elsewhere; 5 wide so that BMP rows are padded.
Rgba Diagonal(int x, int y) { return x == y ? kMagenta : kGrey; }

class ImageTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetDrawingState(); }
  void TearDown() override { ResetDrawingState(); }
};

TEST_F(ImageTest, BmpRowsAreReadBottomUpPastTheirPadding) {
  Register("rows.bmp", MakeBmp(5, 3, [](int x, int y) { return Rgba{uint8_t(x * 40), uint8_t(y * 80), 7, 255}; }));
  const Image* image = LoadImageFile("incbin::rows.bmp", 0);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 5);
  EXPECT_EQ(image->height, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      const Rgba p = PixelOf(*image, x, y);
      EXPECT_EQ(p.r, x * 40);
      EXPECT_EQ(p.g, y * 80);
      EXPECT_EQ(p.b, 7);
      EXPECT_EQ(p.a, 255);
    }
  }
}

TEST_F(ImageTest, BmpPixelsStartWhereTheHeaderSays) {
  Register("v5header.bmp", MakeBmp(5, 2, Diagonal, 84));
  const Image* image = LoadImageFile("incbin::v5header.bmp", 0);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(PixelOf(*image, 0, 0).r, 255);
  EXPECT_EQ(PixelOf(*image, 1, 0).r, 10);
}

TEST_F(ImageTest, MaskColourClearsExactlyItsPixelsInPicturesWithoutAlpha) {
  Register("masked.bmp", MakeBmp(5, 5, Diagonal));
  Register("masked.png", MakePng(5, 5, Diagonal, false));
  SetTransparentColour(255, 0, 255);
  for (const char* url : {"incbin::masked.bmp", "incbin::masked.png"}) {
    const Image* image = LoadImageFile(url, kImageDefaultFlags);
    ASSERT_NE(image, nullptr) << url;
    EXPECT_EQ(image->flags, kImageMasked | kImageFiltered);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelOf(*image, x, y).a, x == y ? 0 : 255) << url << x << y;
    }
  }
}

TEST_F(ImageTest, MaskIsLeftAloneWithoutTheFlagOrWithAlpha) {
  Register("unmasked.bmp", MakeBmp(5, 5, Diagonal));
  Register("alpha.png", MakePng(5, 5, [](int x, int y) { return Rgba{255, 0, 255, uint8_t(x == y ? 128 : 255)}; },
                                true));
  SetTransparentColour(255, 0, 255);
  const Image* plain = LoadImageFile("incbin::unmasked.bmp", kImageFiltered);
  const Image* withAlpha = LoadImageFile("incbin::alpha.png", kImageMasked);
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(withAlpha, nullptr);
  EXPECT_EQ(PixelOf(*plain, 2, 2).a, 255);
  EXPECT_EQ(PixelOf(*withAlpha, 2, 2).a, 128);
  EXPECT_EQ(PixelOf(*withAlpha, 2, 1).a, 255);
}

TEST_F(ImageTest, DefaultMaskColourIsBlack) {
  Register("black.bmp", MakeBmp(2, 1, [](int x, int) { return x == 0 ? Rgba{0, 0, 0, 255} : Rgba{1, 0, 0, 255}; }));
  const Image* image = LoadImageFile("incbin::black.bmp", kImageDefaultFlags);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(PixelOf(*image, 0, 0).a, 0);
  EXPECT_EQ(PixelOf(*image, 1, 0).a, 255);
}

TEST_F(ImageTest, StripCellsRunLeftToRightThenDown) {
  Register("strip.png", MakePng(30, 20, [](int, int) { return kGrey; }, true));
  Image* image = LoadImageStrip("incbin::strip.png", 10, 10, 2, 4, kImageFiltered);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->frames, 4);
  EXPECT_EQ(image->FrameX(0), 20);  // cell 2
  EXPECT_EQ(image->FrameY(0), 0);
  EXPECT_EQ(image->FrameX(1), 0);  // cell 3 starts the second row
  EXPECT_EQ(image->FrameY(1), 10);
  EXPECT_EQ(image->FrameX(3), 20);
  EXPECT_EQ(image->FrameY(3), 10);
  EXPECT_FLOAT_EQ(image->handleX, 0);
  CentreHandle(image);
  EXPECT_FLOAT_EQ(image->handleX, 5);
  EXPECT_FLOAT_EQ(image->handleY, 5);
}

TEST_F(ImageTest, StripWithTooFewCellsIsNone) {
  Register("short.png", MakePng(30, 25, [](int, int) { return kGrey; }, true));  // 3 x 2 whole cells
  EXPECT_NE(LoadImageStrip("incbin::short.png", 10, 10, 0, 6, kImageFiltered), nullptr);
  EXPECT_EQ(LoadImageStrip("incbin::short.png", 10, 10, 1, 6, kImageFiltered), nullptr);
  EXPECT_EQ(LoadImageStrip("incbin::short.png", 10, 10, 0, 7, kImageFiltered), nullptr);
}

TEST_F(ImageTest, UnreadablePicturesAreNone) {
  Register("garbage.png", {1, 2, 3, 4, 5});
  std::vector<uint8_t> truncated = MakeBmp(5, 5, Diagonal);
  truncated.resize(truncated.size() - 10);
  Register("truncated.bmp", truncated);
  EXPECT_EQ(LoadImageFile("incbin::garbage.png"), nullptr);
  EXPECT_EQ(LoadImageFile("incbin::truncated.bmp"), nullptr);
  EXPECT_EQ(LoadImageFile("incbin::no such picture.png"), nullptr);
  EXPECT_EQ(LoadImageFile("/nonexistent/picture.png"), nullptr);
}

TEST_F(ImageTest, EveryImageHasItsOwnId) {
  Register("one.png", MakePng(1, 1, [](int, int) { return kGrey; }, true));
  const Image* first = LoadImageFile("incbin::one.png");
  const Image* second = LoadImageFile("incbin::one.png");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first->id, second->id);
  EXPECT_NE(first->id, 0u);
}

}  // namespace

}  // namespace quarzello::platform_test
