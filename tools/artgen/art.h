// Shared pieces of the art generator: colours, a cairo surface that knows how
// to save itself as the game's PNG and BMP files, text drawn with the game's
// own font, and a small fixed random sequence so every run gives the same
// bytes.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <initializer_list>
#include <string>

namespace art {

struct Rgb {
  double r = 0, g = 0, b = 0;  // 0..1
};

constexpr Rgb Rgb8(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }
Rgb Mix(Rgb a, Rgb b, double t);  // t = 0 gives a, 1 gives b

void SetSource(cairo_t* cr, Rgb c, double alpha = 1.0);

// Gradients made the source of the next fill or stroke.
struct Stop {
  double offset;
  Rgb colour;
  double alpha = 1.0;
};
using Stops = std::initializer_list<Stop>;
void SetLinear(cairo_t* cr, double x0, double y0, double x1, double y1, Stops stops);
// From a circle of radius r0 around (fx, fy) out to radius r1 around (cx, cy).
void SetRadial(cairo_t* cr, double fx, double fy, double r0, double cx, double cy, double r1, Stops stops);

// A drawing surface with its context; owns both.
class Canvas {
 public:
  Canvas(int width, int height, bool withAlpha);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* cr() const { return cr_; }
  cairo_surface_t* surface() const { return surface_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // 8-bit RGBA PNG with straight alpha, no time stamp, same bytes every run.
  void SavePng(const std::string& path) const;
  // 24-bit uncompressed bottom-up BMP. The file is padded with two zero bytes
  // at its end, the layout the game's resource table was made with.
  void SaveBmp(const std::string& path) const;

 private:
  int width_, height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

// The game's TrueType font, loaded once through FreeType; must be opened
// before any text is drawn.
void OpenFont(const std::string& path);
void CloseFont();
cairo_font_face_t* GameFont();

// Sets the game font at the given pixel size with fixed rendering options.
void UseGameFont(cairo_t* cr, double pixelSize);
// Text (UTF-8) centred horizontally on cx with the top of its line at top.
void TextCentered(cairo_t* cr, const char* utf8, double cx, double top);
double TextWidth(cairo_t* cr, const char* utf8);
// Adds the outlines of an ASCII text with extra space between its letters,
// centred on cx with the top of its line at top, to the current path.
void SpacedTextPath(cairo_t* cr, const char* ascii, double cx, double top, double spacing);

// Deterministic pseudo-random numbers for the few hand-placed irregularities.
class Sequence {
 public:
  explicit Sequence(uint32_t seed) : state_(seed) {}
  double Next();  // 0 <= x < 1
  double Between(double lo, double hi) { return lo + (hi - lo) * Next(); }

 private:
  uint32_t state_;
};

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);
void PolygonPath(cairo_t* cr, const double* xs, const double* ys, int corners);
// Corners on a circle, the first at angle firstAngle (radians, clockwise from +x).
void RegularPolygon(cairo_t* cr, double cx, double cy, double radius, int corners, double firstAngle);

}  // namespace art

namespace art {

// Frame layouts the game relies on.
constexpr int kStoneCell = 32;
constexpr int kStoneFramesPerColour = 26;  // stone, glow, 24 bomb frames
constexpr int kStoneColours = 5;           // red, orange, green, blue, dark grey
constexpr int kBombFrames = 24;
constexpr int kCounterCellWidth = 10, kCounterCellHeight = 20, kCounterCells = 12;
constexpr int kBarWidth = 362, kBarHeight = 10;
constexpr int kScreenWidth = 400, kScreenHeight = 500;
constexpr int kLogoWidth = 149, kLogoHeight = 136;
constexpr int kBlendSize = 16;
constexpr int kCursorSize = 64;  // drawn at half size on the board

// The pictures, each drawn onto a fresh canvas of its size.
void DrawStoneStrip(cairo_t* cr);
void DrawGameBackground(cairo_t* cr);
void DrawMenuBackground(cairo_t* cr);
void DrawProgressBar(cairo_t* cr);
void DrawCounterFont(cairo_t* cr);
void DrawLogo(cairo_t* cr);
void DrawBlendSpot(cairo_t* cr);
void DrawBoardCursor(cairo_t* cr);
// The application icon, drawn into a square of the given size.
void DrawIcon(cairo_t* cr, double size);

// The application icon as PNG files icon-SIZE.png for the sizes desktops
// look for, and as icon.svg.
constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
void WriteIcons(const std::string& outDir);

// The web page's pictures: its stone emblems, its title and its icon.
constexpr int kWebStoneSize = 40;  // shown at half size, sharp on dense screens
constexpr int kWebTitleWidth = 400, kWebTitleHeight = 90;
constexpr int kWebIconSize = 64;
// One stone of colour col (4: the rock), size pixels wide, centred on (cx, cy).
void DrawWebStone(cairo_t* cr, int col, double cx, double cy, double size);
void DrawWebStones(cairo_t* cr);
void DrawWebTitle(cairo_t* cr);
void DrawWebIcon(cairo_t* cr);

// Pictures of screens put together from the finished files, for checking the
// look without the game.
void WritePreviews(const std::string& resourceDir, const std::string& outDir);

}  // namespace art
