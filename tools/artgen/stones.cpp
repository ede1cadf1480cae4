// The stone strip: five rows (red, orange, green, blue, dark grey) of 26
// frames of 32 x 32. Each row holds the stone, its pale glow, and the 24
// frames of the bomb of that colour with its burning fuse. Row 4 holds the
// rock, a soft round glow (also used for the area blast) and the dark area
// bomb.
//
// Stones are drawn about 22 pixels wide in a 20 pixel cell so that they touch
// and slightly overlap; the rest of the 32 pixels leaves room for the
// shadow, the glow halo and the fuse with its spark.

#include <cmath>

#include "art.h"

namespace art {
namespace {

struct Palette {
  Rgb light, base, dark;
};

const Palette kPalettes[kStoneColours] = {
    {Rgb8(255, 184, 176), Rgb8(214, 58, 66), Rgb8(108, 16, 30)},   // red
    {Rgb8(255, 228, 156), Rgb8(242, 150, 32), Rgb8(148, 62, 6)},   // orange
    {Rgb8(190, 242, 186), Rgb8(60, 166, 88), Rgb8(14, 82, 42)},    // green
    {Rgb8(180, 212, 255), Rgb8(56, 116, 210), Rgb8(16, 42, 116)},  // blue
    {Rgb8(178, 186, 196), Rgb8(78, 85, 94), Rgb8(26, 30, 36)},     // dark grey
};

// Every colour has its own shape as well, so groups can be told apart
// without seeing the colour.
enum class Emblem { kCircle, kTriangle, kSquare, kDiamond, kNone };
constexpr Emblem kEmblems[kStoneColours] = {Emblem::kCircle, Emblem::kTriangle, Emblem::kSquare,
                                            Emblem::kDiamond, Emblem::kNone};

constexpr Rgb kWhite = Rgb8(255, 255, 255);
constexpr Rgb kBlack = Rgb8(0, 0, 0);
constexpr double kCentre = kStoneCell / 2.0;
constexpr double kStoneRadius = 10.8;
constexpr double kHaloRadius = 15.8;

void Circle(cairo_t* cr, double cx, double cy, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
}

void FillRadial(cairo_t* cr, double cx, double cy, double r0, double r1, Stops stops) {
  SetRadial(cr, cx, cy, r0, cx, cy, r1, stops);
  cairo_fill(cr);
}

void Shadow(cairo_t* cr, double cx, double cy, double r) {
  Circle(cr, cx + 0.6, cy + 1.3, r + 1.2);
  FillRadial(cr, cx + 0.6, cy + 1.3, r * 0.7, r + 1.2, {{0, kBlack, 0.30}, {1, kBlack, 0}});
}

// The shapes differ in outline, not only in size: a ring, a triangle, a
// square and a narrow diamond stay apart even at 20 pixels. Filled with the
// even-odd rule (the ring is two circles).
void EmblemPath(cairo_t* cr, Emblem emblem, double cx, double cy, double r) {
  switch (emblem) {
    case Emblem::kCircle:
      Circle(cr, cx, cy, 0.40 * r);
      Circle(cr, cx, cy, 0.22 * r);
      break;
    case Emblem::kTriangle: {
      const double k = 0.54 * r;
      const double y = cy + 0.12 * r;  // a triangle looks centred a little below its middle
      cairo_move_to(cr, cx, y - k);
      cairo_line_to(cr, cx + k * 0.866, y + k * 0.5);
      cairo_line_to(cr, cx - k * 0.866, y + k * 0.5);
      cairo_close_path(cr);
      break;
    }
    case Emblem::kSquare: {
      const double k = 0.32 * r;
      cairo_rectangle(cr, cx - k, cy - k, 2 * k, 2 * k);
      break;
    }
    case Emblem::kDiamond: {
      const double k = 0.54 * r;
      cairo_move_to(cr, cx, cy - k);
      cairo_line_to(cr, cx + k * 0.72, cy);
      cairo_line_to(cr, cx, cy + k);
      cairo_line_to(cr, cx - k * 0.72, cy);
      cairo_close_path(cr);
      break;
    }
    case Emblem::kNone:
      break;
  }
}

// The emblem sits in the stone like an inlaid pale facet with a fine dark
// edge, which keeps it visible on the stone, under the glow and when faded.
void InlaidEmblem(cairo_t* cr, int col, double cx, double cy, double r) {
  const Palette& pal = kPalettes[col];
  const double y = cy + 0.06 * r;
  cairo_save(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  EmblemPath(cr, kEmblems[col], cx, y + 0.7, r);
  SetSource(cr, pal.dark, 0.55);
  cairo_fill(cr);
  EmblemPath(cr, kEmblems[col], cx, y, r);
  SetSource(cr, Mix(pal.light, kWhite, 0.55), 0.96);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 0.6);
  SetSource(cr, pal.dark, 0.35);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void GemBody(cairo_t* cr, const Palette& pal, double cx, double cy, double r) {
  Circle(cr, cx, cy, r);
  SetRadial(cr, cx - 0.3 * r, cy - 0.4 * r, 0, cx, cy, r,
            {{0.0, Mix(pal.base, pal.light, 0.55)},
             {0.5, pal.base},
             {0.85, Mix(pal.base, pal.dark, 0.35)},
             {1.0, Mix(pal.base, pal.dark, 0.65)}});
  cairo_fill(cr);

  // Light gathering in the lower half, as in a clear polished stone.
  cairo_save(cr);
  Circle(cr, cx, cy, r);
  cairo_clip(cr);
  Circle(cr, cx, cy + 0.55 * r, 0.6 * r);
  FillRadial(cr, cx, cy + 0.55 * r, 0, 0.6 * r, {{0, pal.light, 0.5}, {1, pal.light, 0}});
  cairo_restore(cr);

  Circle(cr, cx, cy, r - 0.45);
  cairo_set_line_width(cr, 0.9);
  SetSource(cr, pal.dark, 0.55);
  cairo_stroke(cr);

  // Crescent reflection of a window above.
  cairo_save(cr);
  cairo_translate(cr, cx, cy - 0.52 * r);
  cairo_scale(cr, 0.64 * r, 0.34 * r);
  Circle(cr, 0, 0, 1);
  cairo_restore(cr);
  SetLinear(cr, 0, cy - 0.88 * r, 0, cy - 0.15 * r, {{0, kWhite, 0.85}, {1, kWhite, 0}});
  cairo_fill(cr);

  Circle(cr, cx - 0.42 * r, cy - 0.5 * r, 1.0);
  SetSource(cr, kWhite, 0.9);
  cairo_fill(cr);
}

void Stone(cairo_t* cr, int col) {
  Shadow(cr, kCentre, kCentre, kStoneRadius);
  GemBody(cr, kPalettes[col], kCentre, kCentre, kStoneRadius);
  InlaidEmblem(cr, col, kCentre, kCentre, kStoneRadius);
}

// The glow is drawn over a marked stone with additive light and is the
// picture of a removed stone flying off: a pale stone in a soft halo that
// keeps the emblem readable.
void Glow(cairo_t* cr, int col) {
  const Palette& pal = kPalettes[col];
  Circle(cr, kCentre, kCentre, kHaloRadius);
  FillRadial(cr, kCentre, kCentre, kStoneRadius * 0.9, kHaloRadius,
             {{0, pal.light, 0.85}, {0.4, pal.light, 0.35}, {1, pal.light, 0}});
  Circle(cr, kCentre, kCentre, kStoneRadius);
  SetRadial(cr, kCentre - 3, kCentre - 4, 0, kCentre, kCentre, kStoneRadius,
            {{0, kWhite}, {0.6, Mix(pal.light, kWhite, 0.4)}, {1, pal.light}});
  cairo_fill(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  EmblemPath(cr, kEmblems[col], kCentre, kCentre + 0.06 * kStoneRadius, kStoneRadius);
  SetSource(cr, Mix(pal.base, pal.light, 0.3), 0.85);
  cairo_fill(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
}

// The glow of row 4 is round and soft all over: it is also the flash of an
// area bomb, drawn many times its size.
void SoftGlow(cairo_t* cr) {
  const Palette& pal = kPalettes[4];
  Circle(cr, kCentre, kCentre, kHaloRadius);
  FillRadial(cr, kCentre, kCentre, 0, kHaloRadius,
             {{0, kWhite, 1},
              {0.45, Mix(pal.light, kWhite, 0.5), 0.85},
              {0.75, pal.light, 0.35},
              {1, pal.light, 0}});
}

// Rough and matte: an irregular block of flat facets, no shine at all.
void Rock(cairo_t* cr) {
  constexpr int kCorners = 11;
  const double cx = kCentre, cy = kCentre + 0.3;
  Sequence seq(0x5eed0c);
  double px[kCorners], py[kCorners];
  for (int k = 0; k < kCorners; ++k) {
    const double a = 2 * M_PI * k / kCorners + seq.Between(-0.15, 0.15);
    const double r = seq.Between(9.4, 11.2);
    px[k] = cx + r * std::cos(a);
    py[k] = cy + r * std::sin(a);
  }
  Shadow(cr, cx, cy, 10.4);

  const double ix = cx - 1.0, iy = cy - 1.3;  // the ridge leans toward the light
  const double lx = -0.6, ly = -0.8;          // light from the top left
  const Rgb shadowSide = Rgb8(46, 49, 54), lightSide = Rgb8(132, 136, 141);
  for (int k = 0; k < kCorners; ++k) {
    const int n = (k + 1) % kCorners;
    const double ex = px[n] - px[k], ey = py[n] - py[k];
    const double len = std::hypot(ex, ey);
    const double nx = ey / len, ny = -ex / len;  // outward normal (corners run clockwise on screen)
    const double shade = 0.5 + 0.4 * (nx * lx + ny * ly) + seq.Between(-0.07, 0.07);
    cairo_move_to(cr, ix, iy);
    cairo_line_to(cr, px[k], py[k]);
    cairo_line_to(cr, px[n], py[n]);
    cairo_close_path(cr);
    SetSource(cr, Mix(shadowSide, lightSide, shade));
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 0.35);
    SetSource(cr, shadowSide, 0.35);
    cairo_stroke(cr);
  }
  // A flat top face.
  double topX[kCorners], topY[kCorners];
  for (int k = 0; k < kCorners; ++k) {
    topX[k] = ix + 0.5 * (px[k] - ix);
    topY[k] = iy + 0.5 * (py[k] - iy);
  }
  PolygonPath(cr, topX, topY, kCorners);
  SetSource(cr, Rgb8(108, 112, 117));
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 0.4);
  SetSource(cr, shadowSide, 0.3);
  cairo_stroke(cr);

  // Pits and grains.
  for (int i = 0; i < 14; ++i) {
    const double a = seq.Between(0, 2 * M_PI), r = seq.Between(1.5, 8.0);
    Circle(cr, cx + r * std::cos(a), cy + r * std::sin(a), seq.Between(0.4, 0.75));
    SetSource(cr, i % 3 == 0 ? Rgb8(160, 164, 168) : Rgb8(34, 36, 40), 0.35);
    cairo_fill(cr);
  }
  // Two cracks.
  cairo_set_line_width(cr, 0.6);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  SetSource(cr, Rgb8(30, 32, 36), 0.7);
  cairo_move_to(cr, px[2], py[2]);
  cairo_line_to(cr, cx + 3.0, cy + 3.5);
  cairo_line_to(cr, cx + 1.0, cy + 5.5);
  cairo_stroke(cr);
  cairo_move_to(cr, px[7] + 0.5, py[7]);
  cairo_line_to(cr, cx - 4.5, cy - 2.0);
  cairo_line_to(cr, cx - 2.5, cy - 3.5);
  cairo_stroke(cr);

  PolygonPath(cr, px, py, kCorners);
  cairo_set_line_width(cr, 0.9);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  SetSource(cr, Rgb8(34, 36, 40), 0.9);
  cairo_stroke(cr);
}

double Wave(double phase) { return std::sin(2 * M_PI * phase); }
double Fraction(double x) { return x - std::floor(x); }

// Every movement of the spark is a whole number of turns over the 24 frames,
// so the last frame leads back into the first without a jump. Its colours
// run from white to a deep orange so it shows on light and dark ground.
void Spark(cairo_t* cr, double tx, double ty, double phase) {
  const double sx = tx + 0.7 * std::cos(2 * M_PI * 2 * phase);
  const double sy = ty + 0.6 * Wave(3 * phase);
  const Rgb hot = Rgb8(255, 253, 222), gold = Rgb8(255, 196, 64), flame = Rgb8(250, 112, 20);

  const double halo = 6.6 + 0.8 * Wave(4 * phase);
  Circle(cr, sx, sy, halo);
  FillRadial(cr, sx, sy, 0, halo, {{0, hot, 1}, {0.3, gold, 0.8}, {0.65, flame, 0.34}, {1, flame, 0}});

  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (int k = 0; k < 8; ++k) {
    const double a = 2 * M_PI * (k + phase) / 8;
    const double len = (k % 2 ? 3.0 : 4.2) + 1.8 * (0.5 + 0.5 * Wave(3 * phase + 0.37 * k));
    const double ex = sx + len * std::cos(a), ey = sy + len * std::sin(a);
    SetLinear(cr, sx, sy, ex, ey, {{0, hot, 1}, {0.5, gold, 0.9}, {1, flame, 0}});
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, sx, sy);
    cairo_line_to(cr, ex, ey);
    cairo_stroke(cr);
  }

  const double directions[4] = {-1.9, -0.6, 0.25, -2.8};
  for (int k = 0; k < 4; ++k) {
    const double life = Fraction(2 * phase + k / 4.0);
    const double d = 2.0 + 4.5 * life;
    const double ex = sx + d * std::cos(directions[k]);
    const double ey = sy + d * std::sin(directions[k]) + 2.5 * life * life;
    Circle(cr, ex, ey, 0.75);
    SetSource(cr, Mix(gold, flame, life), 1 - life);
    cairo_fill(cr);
  }

  Circle(cr, sx, sy, 2.0 + 0.45 * Wave(5 * phase));
  SetSource(cr, hot);
  cairo_fill(cr);
}

void Bomb(cairo_t* cr, int col, int frame) {
  const Palette& pal = kPalettes[col];
  const double cx = 14.6, cy = 17.4, r = 9.6;
  const double ux = std::cos(-M_PI / 4), uy = std::sin(-M_PI / 4);

  Shadow(cr, cx, cy, r + 1);
  GemBody(cr, pal, cx, cy, r);
  InlaidEmblem(cr, col, cx, cy, r);
  // A dark metal casing sets the bomb apart from the stones at a glance.
  Circle(cr, cx, cy, r);
  cairo_set_line_width(cr, 1.8);
  SetSource(cr, Rgb8(38, 40, 48), 0.92);
  cairo_stroke(cr);
  Circle(cr, cx, cy, r - 1.4);
  cairo_set_line_width(cr, 0.6);
  SetSource(cr, Rgb8(255, 255, 255), 0.25);
  cairo_stroke(cr);

  // The metal cap the fuse comes out of.
  cairo_save(cr);
  cairo_translate(cr, cx + (r - 1.2) * ux, cy + (r - 1.2) * uy);
  cairo_rotate(cr, -M_PI / 4);
  RoundedRect(cr, -1.0, -3.0, 4.0, 6.0, 0.9);
  SetLinear(cr, 0, -3.0, 0, 3.0,
            {{0, Rgb8(220, 226, 232)}, {0.5, Rgb8(136, 142, 150)}, {1, Rgb8(66, 70, 78)}});
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 0.7);
  SetSource(cr, Rgb8(36, 38, 44), 0.85);
  cairo_stroke(cr);
  cairo_restore(cr);

  const double fx = cx + (r + 2.6) * ux, fy = cy + (r + 2.6) * uy;
  const double tx = 24.6, ty = 6.6;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (int pass = 0; pass < 2; ++pass) {
    cairo_move_to(cr, fx, fy);
    cairo_curve_to(cr, fx + 1.6, fy - 0.6, tx - 1.4, ty + 2.0, tx, ty);
    cairo_set_line_width(cr, pass == 0 ? 2.3 : 0.9);
    SetSource(cr, pass == 0 ? Rgb8(66, 50, 38) : Rgb8(198, 160, 110));
    cairo_stroke(cr);
  }
  Spark(cr, tx, ty, static_cast<double>(frame) / kBombFrames);
}

}  // namespace

void DrawIcon(cairo_t* cr, double size) {
  // Four stones of different colours, packed as closely as on the board, so
  // the icon reads as the game even at 16 pixels.
  constexpr double kDesignSize = 50, kSpacing = 22;
  constexpr int kColours[2][2] = {{0, 3}, {2, 1}};  // red, blue / green, orange
  cairo_save(cr);
  cairo_scale(cr, size / kDesignSize, size / kDesignSize);
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 2; ++column) {
      cairo_save(cr);
      cairo_translate(cr, (kDesignSize - kSpacing) / 2 + column * kSpacing - kCentre,
                      (kDesignSize - kSpacing) / 2 + row * kSpacing - kCentre);
      Stone(cr, kColours[row][column]);
      cairo_restore(cr);
    }
  }
  cairo_restore(cr);
}

void DrawStoneStrip(cairo_t* cr) {
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_restore(cr);
  for (int col = 0; col < kStoneColours; ++col) {
    for (int f = 0; f < kStoneFramesPerColour; ++f) {
      cairo_save(cr);
      cairo_translate(cr, f * kStoneCell, col * kStoneCell);
      cairo_rectangle(cr, 0, 0, kStoneCell, kStoneCell);
      cairo_clip(cr);
      if (f == 0 && col == 4)
        Rock(cr);
      else if (f == 0)
        Stone(cr, col);
      else if (f == 1 && col == 4)
        SoftGlow(cr);
      else if (f == 1)
        Glow(cr, col);
      else
        Bomb(cr, col, f - 2);
      cairo_restore(cr);
    }
  }
}

void DrawWebStone(cairo_t* cr, int col, double cx, double cy, double size) {
  // The stone with its shadow fills about 26 of the 32 pixels of a frame.
  constexpr double kCovered = 26;
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, size / kCovered, size / kCovered);
  cairo_translate(cr, -kCentre, -kCentre);
  if (col == 4)
    Rock(cr);
  else
    Stone(cr, col);
  cairo_restore(cr);
}

}  // namespace art
