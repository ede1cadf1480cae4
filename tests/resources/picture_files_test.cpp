// The committed pictures and the font, read straight from resources/: the
// names, formats, sizes and frame layouts the drawing code relies on, and the
// few properties of their content that the game's way of drawing needs.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kResources = QUARZELLO_RESOURCES_DIR;

std::vector<uint8_t> ReadBytes(const std::string& name) {
  std::ifstream in(kResources / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

struct Pixel {
  int r = 0, g = 0, b = 0, a = 0;
  bool operator==(const Pixel&) const = default;
};

struct Picture {
  int width = 0, height = 0;
  std::vector<Pixel> pixels;
  const Pixel& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A 24-bit bottom-up BMP as written by our generator.
Picture DecodeBmp(const std::vector<uint8_t>& bytes) {
  Picture p;
  p.width = static_cast<int>(Le(bytes, 18, 4));
  p.height = static_cast<int>(Le(bytes, 22, 4));
  const size_t offset = Le(bytes, 10, 4), stride = (p.width * 3 + 3) & ~3;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* s = &bytes[offset + (p.height - 1 - y) * stride + 3 * x];
      p.pixels.push_back({s[2], s[1], s[0], 255});
    }
  return p;
}

Picture DecodePng(const std::vector<uint8_t>& bytes) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Picture p;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return p;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return p;
  p.width = static_cast<int>(image.width);
  p.height = static_cast<int>(image.height);
  for (size_t i = 0; i < rgba.size(); i += 4)
    p.pixels.push_back({rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]});
  return p;
}

// Sum of absolute channel differences (colour weighted by alpha) between two
// equally sized cells of a picture.
double CellDifference(const Picture& p, int ax, int ay, int bx, int by, int w, int h) {
  double sum = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Pixel &a = p.at(ax + x, ay + y), &b = p.at(bx + x, by + y);
      sum += std::abs(a.a - b.a) + std::abs(a.r * a.a - b.r * b.a) / 255.0 +
             std::abs(a.g * a.a - b.g * b.a) / 255.0 + std::abs(a.b * a.a - b.b * b.a) / 255.0;
    }
  return sum;
}

TEST(PictureFiles, BmpsAreUncompressed24BitWithTheExactSizes) {
  const struct {
    const char* name;
    size_t bytes;
    uint32_t width, height;
  } files[] = {{"game_background.bmp", 600056, 400, 500},
               {"menu_background.bmp", 600056, 400, 500},
               {"progressbar.bmp", 21816, 362, 20}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const std::vector<uint8_t> b = ReadBytes(f.name);
    ASSERT_EQ(b.size(), f.bytes);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le(b, 2, 4), f.bytes);
    EXPECT_EQ(Le(b, 10, 4), 54u);
    EXPECT_EQ(Le(b, 14, 4), 40u);
    EXPECT_EQ(Le(b, 18, 4), f.width);
    EXPECT_EQ(Le(b, 22, 4), f.height);  // positive: bottom-up rows
    EXPECT_EQ(Le(b, 26, 2), 1u);
    EXPECT_EQ(Le(b, 28, 2), 24u);
    EXPECT_EQ(Le(b, 30, 4), 0u);
    const size_t stride = (f.width * 3 + 3) & ~3u;
    EXPECT_GE(b.size(), 54 + stride * f.height);
  }
}

TEST(PictureFiles, PngsAreEightBitRgbaWithTheExactSizes) {
  const struct {
    const char* name;
    uint32_t width, height;
  } files[] = {{"kugel 32x32.png", 832, 160},
               {"counterfont.png", 120, 20},
               {"trelvani_logo.png", 149, 136},
               {"blend.png", 16, 16},
               {"cursor.png", 64, 64}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const std::vector<uint8_t> b = ReadBytes(f.name);
    ASSERT_GE(b.size(), 33u);
    EXPECT_EQ(std::string(b.begin() + 1, b.begin() + 4), "PNG");
    EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 16), "IHDR");
    EXPECT_EQ(Be32(b, 16), f.width);
    EXPECT_EQ(Be32(b, 20), f.height);
    EXPECT_EQ(b[24], 8);  // bit depth
    EXPECT_EQ(b[25], 6);  // colour type: RGB with alpha
    EXPECT_EQ(DecodePng(b).width, static_cast<int>(f.width));
  }
}

// One game background serves every language: the game writes the panels'
// labels over it, so the picture carries no words where they go (tops at
// y 8, 11 pixels high, centred on the panels).
TEST(PictureFiles, GameBackgroundLeavesThePanelLabelsToTheGame) {
  const Picture p = DecodeBmp(ReadBytes("game_background.bmp"));
  for (int cx : {78, 200, 319}) {
    int lowest = 255, highest = 0;
    for (int y = 6; y < 24; ++y)
      for (int x = cx - 45; x <= cx + 45; ++x) {
        const int v = (p.at(x, y).r + p.at(x, y).g + p.at(x, y).b) / 3;
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
      }
    EXPECT_GT(lowest, 200) << cx;
    EXPECT_LT(highest - lowest, 25) << cx;
  }
}

// The board cursor is drawn at half size over a board of any stones, rocks,
// bombs, or over the empty board. Wherever its ring covers what lies below, it must stand out:
// over every kind of cell a good part of the ring differs strongly in
// brightness from what it hides, and the ring has both a dark and a light
// part, one of which shows on any ground.
TEST(PictureFiles, CursorStandsOutOnEveryStoneAndOnTheBoard) {
  const Picture cursor = DecodePng(ReadBytes("cursor.png"));
  const Picture stones = DecodePng(ReadBytes("kugel 32x32.png"));
  const Pixel board = DecodeBmp(ReadBytes("game_background.bmp")).at(200, 280);
  ASSERT_EQ(cursor.width, 64);
  auto luma = [](double r, double g, double b) { return 0.299 * r + 0.587 * g + 0.114 * b; };
  // Frame 0 (stone or rock) and 2 (a bomb) of each row, and an empty cell.
  std::vector<std::pair<int, int>> under = {{-1, -1}};
  for (int row = 0; row < 5; ++row)
    for (int frame : {0, 2}) under.push_back({row, frame});
  for (const auto& [row, frame] : under) {
    SCOPED_TRACE("row " + std::to_string(row) + " frame " + std::to_string(frame));
    int ring = 0, contrasting = 0;
    double darkest = 255, lightest = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        // What lies below: the board filled with that stone, 20 pixels apart,
        // so the ring also lies over the neighbours' edges.
        double r = board.r, g = board.g, b = board.b;
        for (int oy = -20; row >= 0 && oy <= 20; oy += 20)
          for (int ox = -20; ox <= 20; ox += 20) {
            const int sx = x - ox, sy = y - oy;
            if (sx < 0 || sx > 31 || sy < 0 || sy > 31) continue;
            const Pixel& s = stones.at(frame * 32 + sx, row * 32 + sy);
            const double a = s.a / 255.0;
            r = s.r * a + r * (1 - a), g = s.g * a + g * (1 - a), b = s.b * a + b * (1 - a);
          }
        // The cursor's 2 x 2 pixels that make one pixel on the board.
        double cr = 0, cg = 0, cb = 0, ca = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) {
            const Pixel& c = cursor.at(2 * x + dx, 2 * y + dy);
            cr += c.r * c.a / 4.0, cg += c.g * c.a / 4.0, cb += c.b * c.a / 4.0, ca += c.a / 4.0;
          }
        if (ca < 230) continue;
        const double a = ca / 255.0;
        const double shown = luma(cr / 255 + r * (1 - a), cg / 255 + g * (1 - a), cb / 255 + b * (1 - a));
        ++ring;
        contrasting += std::abs(shown - luma(r, g, b)) > 60;
        darkest = std::min(darkest, shown);
        lightest = std::max(lightest, shown);
      }
    ASSERT_GT(ring, 60);
    EXPECT_GT(contrasting, ring / 3) << contrasting << " of " << ring;
    EXPECT_LT(darkest, 70);
    EXPECT_GT(lightest, 200);
  }
}

// Pure black turns clear in the game, where the black of the cleared canvas
// would show through.
TEST(PictureFiles, BackgroundsHaveNoPureBlackAndKeepDarkTextReadable) {
  for (const char* name : {"game_background.bmp", "menu_background.bmp"}) {
    SCOPED_TRACE(name);
    const Picture p = DecodeBmp(ReadBytes(name));
    int black = 0;
    for (const Pixel& px : p.pixels) black += px.r == 0 && px.g == 0 && px.b == 0;
    EXPECT_EQ(black, 0);
  }
  // The places where dark text is written are light: the board area on the
  // game background (highscore table, name entry) and the menu column.
  auto darkest = [](const Picture& p, int x0, int y0, int x1, int y1) {
    int lowest = 255 * 3;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) lowest = std::min(lowest, p.at(x, y).r + p.at(x, y).g + p.at(x, y).b);
    return lowest / 3;
  };
  EXPECT_GT(darkest(DecodeBmp(ReadBytes("game_background.bmp")), 31, 91, 369, 469), 190);
  EXPECT_GT(darkest(DecodeBmp(ReadBytes("menu_background.bmp")), 60, 85, 340, 420), 180);
}

// The HUD values are written in 14 pixel text centred on these x with their
// tops at y 33: the places must be light and plain.
TEST(PictureFiles, GameBackgroundLeavesRoomForTheHudTexts) {
  const Picture p = DecodeBmp(ReadBytes("game_background.bmp"));
  for (int cx : {78, 200, 319}) {
    int lowest = 255, highest = 0;
    for (int y = 33; y < 50; ++y)
      for (int x = cx - 40; x < cx + 40; ++x) {
        const int v = (p.at(x, y).r + p.at(x, y).g + p.at(x, y).b) / 3;
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
      }
    EXPECT_GT(lowest, 200) << cx;
    EXPECT_LT(highest - lowest, 25) << cx;
  }
}

// Outside its rounded ends the bar is opaque (only magenta is clear), so its
// corners must be the colour of the background it is drawn on.
TEST(PictureFiles, ProgressBarCornersMatchTheBackgroundBehindIt) {
  const Picture bar = DecodeBmp(ReadBytes("progressbar.bmp"));
  const Picture bg = DecodeBmp(ReadBytes("game_background.bmp"));
  for (int frame : {0, 1})
    for (int x : {0, 361})
      for (int y : {0, 9}) {
        const Pixel &a = bar.at(x, frame * 10 + y), &b = bg.at(19 + x, 62 + y);
        EXPECT_LE(std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b), 6)
            << "frame " << frame << " corner " << x << "," << y;
      }
}

TEST(PictureFiles, ProgressBarFillAboveOutlineWithClearInside) {
  const Picture p = DecodeBmp(ReadBytes("progressbar.bmp"));
  const Pixel magenta{255, 0, 255, 255};
  int magentaInFill = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 362; ++x) magentaInFill += p.at(x, y) == magenta;
  EXPECT_EQ(magentaInFill, 0);
  const Pixel fill = p.at(181, 5);
  EXPECT_GT(fill.r, fill.g + 60);  // reddish
  EXPECT_GT(fill.r, fill.b + 60);

  // Frame 1: the middle is all mask colour, the rim along the edges is grey.
  for (int y = 13; y <= 16; ++y)
    for (int x = 8; x < 354; ++x) ASSERT_EQ(p.at(x, y), magenta) << x << "," << y;
  for (int x = 8; x < 354; x += 50)
    for (int y : {10, 19}) {
      const Pixel& rim = p.at(x, y);
      EXPECT_NE(rim, magenta);
      EXPECT_LT(std::abs(rim.r - rim.g) + std::abs(rim.g - rim.b), 60) << x << "," << y;
    }
}

TEST(PictureFiles, EveryStoneFrameIsDrawnAroundItsCentre) {
  const Picture p = DecodePng(ReadBytes("kugel 32x32.png"));
  ASSERT_EQ(p.width, 832);
  for (int row = 0; row < 5; ++row)
    for (int f = 0; f < 26; ++f) {
      double weight = 0, cx = 0, cy = 0;
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
          const double a = p.at(f * 32 + x, row * 32 + y).a;
          weight += a;
          cx += a * (x + 0.5);
          cy += a * (y + 0.5);
        }
      SCOPED_TRACE("row " + std::to_string(row) + " frame " + std::to_string(f));
      ASSERT_GT(weight, 255.0 * 200);  // a stone, not an empty or nearly empty cell
      EXPECT_NEAR(cx / weight, 16, 2.5);
      EXPECT_NEAR(cy / weight, 16, 2.5);
      // Nothing in the corners: scaled stones must not show square edges.
      for (int corner : {0, 31})
        EXPECT_LT(
            p.at(f * 32 + corner, row * 32 + 31 - corner).a + p.at(f * 32 + corner, row * 32 + corner).a, 20);
    }
}

// Each colour carries its own emblem, so players who cannot tell the colours
// apart can still tell the groups apart: the light marks in the middle of the
// four stones (and of their glows) must differ in shape, not only in colour.
TEST(PictureFiles, ColoursCanBeToldApartByTheirEmblems) {
  const Picture p = DecodePng(ReadBytes("kugel 32x32.png"));
  for (int frame : {0, 1}) {
    std::vector<std::vector<bool>> marks;
    for (int row = 0; row < 4; ++row) {
      // Brightness relative to the stone's own average, in the middle below
      // the shine.
      std::vector<int> lum;
      for (int y = 12; y < 24; ++y)
        for (int x = 9; x < 23; ++x) {
          const Pixel& c = p.at(frame * 32 + x, row * 32 + y);
          lum.push_back(c.r * 3 + c.g * 6 + c.b);
        }
      long sum = 0;
      for (int v : lum) sum += v;
      const long mean = sum / static_cast<long>(lum.size());
      std::vector<bool> mark;
      for (int v : lum) mark.push_back(frame == 0 ? v > mean + 300 : v < mean - 300);
      marks.push_back(mark);
    }
    for (int a = 0; a < 4; ++a)
      for (int b = 0; b < a; ++b) {
        int differing = 0;
        for (size_t i = 0; i < marks[a].size(); ++i) differing += marks[a][i] != marks[b][i];
        EXPECT_GE(differing, 12) << "frame " << frame << ": colours " << a << " and " << b;
      }
  }
}

TEST(PictureFiles, GlowIsPalerThanTheStone) {
  const Picture p = DecodePng(ReadBytes("kugel 32x32.png"));
  for (int row = 0; row < 5; ++row) {
    SCOPED_TRACE(row);
    auto brightness = [&](int f) {  // mean over the stone's disc
      double sum = 0;
      int n = 0;
      for (int y = 7; y < 25; ++y)
        for (int x = 7; x < 25; ++x)
          if ((x - 15.5) * (x - 15.5) + (y - 15.5) * (y - 15.5) < 81) {
            const Pixel& c = p.at(f * 32 + x, row * 32 + y);
            sum += (c.r + c.g + c.b) / 3.0;
            ++n;
          }
      return sum / n;
    };
    EXPECT_GT(brightness(1), brightness(0) + 50);
  }
}

// All bombs cycle through 24 frames; each step changes the picture, and the
// step from the last frame back to the first is no bigger than the others,
// so the loop has no visible jump.
TEST(PictureFiles, BombAnimationMovesAndLoopsSeamlessly) {
  const Picture p = DecodePng(ReadBytes("kugel 32x32.png"));
  for (int row = 0; row < 5; ++row) {
    SCOPED_TRACE(row);
    double smallest = 1e18, largest = 0;
    for (int i = 0; i < 24; ++i) {
      const int a = 2 + i, b = 2 + (i + 1) % 24;
      const double d = CellDifference(p, a * 32, row * 32, b * 32, row * 32, 32, 32);
      smallest = std::min(smallest, d);
      largest = std::max(largest, d);
    }
    EXPECT_GT(smallest, 100);
    const double wrap = CellDifference(p, 25 * 32, row * 32, 2 * 32, row * 32, 32, 32);
    EXPECT_LE(wrap, largest);
    // The bomb differs clearly from the plain stone of its row.
    EXPECT_GT(CellDifference(p, 0, row * 32, 2 * 32, row * 32, 32, 32), 20 * smallest);
  }
}

// Frames 0 to 11 are drawn side by side; the edge columns of neighbours must
// continue each other so the plate shows no seams.
TEST(PictureFiles, CounterFramesJoinIntoOnePlate) {
  const Picture p = DecodePng(ReadBytes("counterfont.png"));
  ASSERT_EQ(p.width, 120);
  for (int f = 0; f + 1 < 12; ++f)
    for (int y = 0; y < 20; ++y) {
      const Pixel &left = p.at(f * 10 + 9, y), &right = p.at(f * 10 + 10, y);
      if (std::abs(left.r - 255) < 30 && left.a > 200) continue;  // a digit's stroke touching its edge
      EXPECT_NEAR(left.a, right.a, 12) << "frames " << f << "/" << f + 1 << " row " << y;
    }
  // The plate's ends are round: the outer corners are clear.
  EXPECT_EQ(p.at(0, 2).a, 0);
  EXPECT_EQ(p.at(119, 17).a, 0);
  // Each digit shows white strokes, and no two digits look the same.
  for (int d = 0; d < 10; ++d) {
    int white = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 10; ++x) {
        const Pixel& c = p.at((d + 1) * 10 + x, y);
        white += c.r > 220 && c.g > 220 && c.b > 220 && c.a > 200;
      }
    EXPECT_GT(white, 8) << d;
    for (int e = 0; e < d; ++e) EXPECT_GT(CellDifference(p, (d + 1) * 10, 0, (e + 1) * 10, 0, 10, 20), 1000);
  }
}

TEST(PictureFiles, BlendIsASoftWhiteSpot) {
  const Picture p = DecodePng(ReadBytes("blend.png"));
  ASSERT_EQ(p.width, 16);
  EXPECT_GT(p.at(8, 8).a, 200);
  EXPECT_EQ(p.at(0, 0).a, 0);
  EXPECT_EQ(p.at(15, 15).a, 0);
  for (int x = 8; x < 15; ++x) EXPECT_GE(p.at(x, 8).a, p.at(x + 1, 8).a);  // fades outward
  for (const Pixel& c : p.pixels) {
    if (c.a > 0) {
      EXPECT_EQ(c.r + c.g + c.b, 3 * 255);
    }
  }
}

TEST(PictureFiles, LogoStandsOnAClearGround) {
  const Picture p = DecodePng(ReadBytes("trelvani_logo.png"));
  ASSERT_EQ(p.width, 149);
  int opaque = 0;
  for (const Pixel& c : p.pixels) opaque += c.a == 255;
  EXPECT_GT(opaque, 149 * 136 / 10);
  EXPECT_EQ(p.at(0, 0).a + p.at(148, 0).a + p.at(0, 135).a + p.at(148, 135).a, 0);
}

// The font must hold every character the game's texts use.
TEST(PictureFiles, FontHoldsEveryCharacterTheGameShows) {
  FT_Library library;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face face;
  ASSERT_EQ(FT_New_Face(library, (kResources / "lucidagrande.ttf").c_str(), 0, &face), 0);
  std::vector<unsigned> missing;
  for (unsigned c = 32; c < 127; ++c)
    if (FT_Get_Char_Index(face, c) == 0) missing.push_back(c);
  for (unsigned c : {0xe4u, 0xf6u, 0xfcu, 0xdfu, 0xc4u, 0xd6u, 0xdcu})
    if (FT_Get_Char_Index(face, c) == 0) missing.push_back(c);
  EXPECT_TRUE(missing.empty()) << missing.size() << " characters missing, first " << missing.front();
  EXPECT_TRUE(std::filesystem::exists(kResources / "lucidagrande.ttf.LICENSE"));
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

}  // namespace
