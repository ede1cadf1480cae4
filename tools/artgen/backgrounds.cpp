// The two 400 x 500 backgrounds. Both are pale and calm so that the game's
// dark texts read well on them; crystals stay at the edges, away from the
// places where text is drawn. No pixel is pure black: the game treats pure
// black in these pictures as clear.

#include <cmath>

#include "art.h"
#include "layout.h"

namespace art {
namespace {

constexpr Rgb kWhite = Rgb8(255, 255, 255);
constexpr Rgb kSkyTop = Rgb8(230, 238, 244);
constexpr Rgb kSkyBottom = Rgb8(204, 218, 229);
constexpr Rgb kEdge = Rgb8(132, 154, 172);

void Sky(cairo_t* cr) {
  SetLinear(cr, 0, 0, 0, kScreenHeight, {{0, kSkyTop}, {1, kSkyBottom}});
  cairo_paint(cr);

  // Broad, faint shafts of light falling from the top left.
  const double shafts[][3] = {{-40, 70, 0.10}, {90, 50, 0.07}, {190, 90, 0.06}, {330, 40, 0.05}};
  for (const auto& s : shafts) {
    cairo_move_to(cr, s[0], 0);
    cairo_line_to(cr, s[0] + s[1], 0);
    cairo_line_to(cr, s[0] + s[1] + 260, kScreenHeight);
    cairo_line_to(cr, s[0] + 260, kScreenHeight);
    cairo_close_path(cr);
    SetSource(cr, kWhite, s[2]);
    cairo_fill(cr);
  }
}

// One quartz crystal: a six-sided prism seen from the side, ending in a
// point. (x, y) is the middle of its foot; angle is its direction.
void Crystal(cairo_t* cr, double x, double y, double angleDeg, double length, double width, double opacity) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, angleDeg * M_PI / 180);
  const double h = width / 2, tip = width * 0.75, body = length - tip;
  // Three visible faces: lit left, clear middle, shaded right.
  const double faces[3][2] = {{-h, -h / 3}, {-h / 3, h / 3}, {h / 3, h}};
  const double lightness[3] = {0.85, 0.45, 0.15};
  for (int f = 0; f < 3; ++f) {
    const double a = faces[f][0], b = faces[f][1];
    // Along the side to the foot of the point, then up to the point.
    cairo_move_to(cr, 0, a);
    cairo_line_to(cr, body, a);
    cairo_line_to(cr, length, 0);
    cairo_line_to(cr, body, b);
    cairo_line_to(cr, 0, b);
    cairo_close_path(cr);
    SetSource(cr, Mix(kEdge, kWhite, lightness[f]), opacity * (0.55 + 0.3 * lightness[f]));
    cairo_fill(cr);
  }
  // Fine edges.
  cairo_set_line_width(cr, 0.8);
  cairo_move_to(cr, 0, -h);
  cairo_line_to(cr, body, -h);
  cairo_line_to(cr, length, 0);
  cairo_line_to(cr, body, h);
  cairo_line_to(cr, 0, h);
  SetSource(cr, kWhite, opacity * 0.9);
  cairo_stroke(cr);
  cairo_move_to(cr, 0, -h / 3);
  cairo_line_to(cr, body, -h / 3);
  cairo_line_to(cr, length, 0);
  cairo_move_to(cr, 0, h / 3);
  cairo_line_to(cr, body, h / 3);
  cairo_line_to(cr, length, 0);
  SetSource(cr, kEdge, opacity * 0.35);
  cairo_stroke(cr);
  cairo_restore(cr);
}

struct CrystalSpec {
  double x, y, angle, length, width;
};

void Cluster(cairo_t* cr, std::initializer_list<CrystalSpec> crystals, double opacity) {
  for (const CrystalSpec& c : crystals) Crystal(cr, c.x, c.y, c.angle, c.length, c.width, opacity);
}

void SoftShadow(cairo_t* cr, double x, double y, double w, double h, double radius, double spread,
                double opacity) {
  for (int i = 0; i < 4; ++i) {
    const double grow = spread * (i + 1) / 4;
    RoundedRect(cr, x - grow, y - grow + spread / 2, w + 2 * grow, h + 2 * grow, radius + grow);
    SetSource(cr, Rgb8(60, 84, 104), opacity / 4);
    cairo_fill(cr);
  }
}

// A panel of the head-up display. Its label is not part of the picture: the
// game writes it over the panel in the player's language.
void HudPanel(cairo_t* cr, double cx) {
  const double x = cx - kPanelWidth / 2, w = kPanelWidth;
  SoftShadow(cr, x, kPanelTop, w, kPanelHeight, 9, 3, 0.16);
  RoundedRect(cr, x, kPanelTop, w, kPanelHeight, 9);
  SetLinear(cr, 0, kPanelTop, 0, kPanelTop + kPanelHeight,
            {{0, kWhite, 0.82}, {1, Rgb8(236, 243, 248), 0.7}});
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1);
  SetSource(cr, kEdge, 0.75);
  cairo_stroke(cr);

  // The well the value is written into.
  const double wx = cx - kPanelWidth / 2 + 7, ww = kPanelWidth - 14;
  RoundedRect(cr, wx, kHudTextTop - 3, ww, kPanelTop + kPanelHeight - 5 - (kHudTextTop - 3), 6);
  SetSource(cr, Rgb8(229, 236, 241));  // light, yet leaves room for a button's additive glow
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1);
  SetSource(cr, Rgb8(176, 192, 204));
  cairo_stroke(cr);
  cairo_move_to(cr, wx + 5, kHudTextTop - 1.5);
  cairo_line_to(cr, wx + ww - 5, kHudTextTop - 1.5);
  SetSource(cr, Rgb8(208, 218, 226));
  cairo_stroke(cr);
}

void BoardFrame(cairo_t* cr) {
  const double x = kBoardLeft, y = kBoardTop, w = kBoardRight - kBoardLeft, h = kBoardBottom - kBoardTop;
  const double rim = 5;
  SoftShadow(cr, x - rim, y - rim, w + 2 * rim, h + 2 * rim, 10, 4, 0.22);
  RoundedRect(cr, x - rim, y - rim, w + 2 * rim, h + 2 * rim, 10);
  SetLinear(cr, 0, y - rim, 0, y + h + rim, {{0, Rgb8(250, 252, 253)}, {1, Rgb8(212, 224, 233)}});
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1);
  SetSource(cr, kEdge, 0.9);
  cairo_stroke(cr);

  // The playing field: light enough for dark text, dark enough that the
  // additive glow under a highlighted table row still shows; every other
  // column a shade deeper so the columns can be followed by eye.
  cairo_rectangle(cr, x, y, w, h);
  SetSource(cr, Rgb8(219, 228, 235));
  cairo_fill(cr);
  for (int c = 1; c < kBoardColumns; c += 2) {
    cairo_rectangle(cr, x + c * kCell, y, kCell, h);
    SetSource(cr, Rgb8(212, 222, 230));
    cairo_fill(cr);
  }
  // Inner shade along the top and left edges: the field lies a little deeper.
  cairo_rectangle(cr, x, y, w, 6);
  SetLinear(cr, 0, y, 0, y + 6, {{0, Rgb8(70, 96, 116), 0.16}, {1, Rgb8(70, 96, 116), 0}});
  cairo_fill(cr);
  cairo_rectangle(cr, x, y, 4, h);
  SetLinear(cr, x, 0, x + 4, 0, {{0, Rgb8(70, 96, 116), 0.10}, {1, Rgb8(70, 96, 116), 0}});
  cairo_fill(cr);
  cairo_rectangle(cr, x - 0.5, y - 0.5, w + 1, h + 1);
  cairo_set_line_width(cr, 1);
  SetSource(cr, Rgb8(150, 170, 186));
  cairo_stroke(cr);
}

}  // namespace

void DrawGameBackground(cairo_t* cr) {
  Sky(cr);
  Cluster(cr, {{8, 505, -100, 70, 16}, {20, 508, -78, 52, 13}, {-4, 500, -120, 44, 12}}, 0.7);
  Cluster(cr, {{392, 506, -82, 64, 15}, {380, 508, -104, 46, 12}, {404, 500, -62, 40, 11}}, 0.7);

  HudPanel(cr, kHudScoreX);
  HudPanel(cr, kHudModeX);
  HudPanel(cr, kHudValueX);

  // The place of the Level progress bar: a flat, quiet band whose colour the
  // bar's soft corners are drawn against.
  RoundedRect(cr, kBarLeft - 3, kBarTop - 2, kBarWidth + 6, kBarHeight + 4, 7);
  SetSource(cr, kBarBackdrop);
  cairo_fill(cr);

  BoardFrame(cr);
}

void DrawMenuBackground(cairo_t* cr) {
  Sky(cr);
  Cluster(cr,
          {{30, 520, -96, 126, 40},
           {62, 522, -74, 100, 30},
           {6, 515, -118, 96, 28},
           {96, 525, -58, 74, 22},
           {-10, 470, -140, 70, 20}},
          0.85);
  Cluster(cr, {{372, 522, -86, 130, 32}, {398, 515, -66, 92, 24}, {346, 525, -108, 80, 22}}, 0.85);
  Cluster(cr, {{410, 40, 160, 70, 18}, {404, 8, 140, 46, 13}}, 0.6);

  // The name, cut from the same cool glass as the crystals.
  UseGameFont(cr, 40);
  SpacedTextPath(cr, "Quarzello", 200, 15.2, 1.5);
  SetSource(cr, kWhite, 0.9);
  cairo_fill(cr);
  SpacedTextPath(cr, "Quarzello", 200, 14, 1.5);
  SetLinear(cr, 0, 20, 0, 60, {{0, Rgb8(92, 132, 162)}, {0.55, Rgb8(58, 90, 118)}, {1, Rgb8(40, 66, 90)}});
  cairo_fill(cr);

  cairo_rectangle(cr, 90, 67, 220, 1);
  SetLinear(cr, 90, 0, 310, 0, {{0, kEdge, 0}, {0.5, kEdge, 0.8}, {1, kEdge, 0}});
  cairo_fill(cr);
}

}  // namespace art
