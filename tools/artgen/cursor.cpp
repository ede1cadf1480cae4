// The board cursor: a ring set round one cell, like the metal bezel of a
// jewel. A bright polished band between two dark rims, so that one of the
// two always stands out, whether the stone below is pale orange, dark blue,
// a grey rock, a bomb or the empty board.
//
// The picture is drawn at twice the size it has on the board (one design
// unit is two pixels) so that it stays sharp when the window is doubled.

#include <cmath>

#include "art.h"

namespace art {
namespace {

constexpr double kPixelsPerUnit = kCursorSize / 32.0;
// In design units around the cell's centre: the band runs just outside the
// stone, which is about 22 units wide.
constexpr double kOuterHalf = 14.6, kBandWidth = 3.4, kCornerRadius = 6.8;

void Bezel(cairo_t* cr, double half, double radius) {
  RoundedRect(cr, -half, -half, 2 * half, 2 * half, radius);
}

}  // namespace

void DrawBoardCursor(cairo_t* cr) {
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_restore(cr);

  cairo_translate(cr, kCursorSize / 2.0, kCursorSize / 2.0);
  cairo_scale(cr, kPixelsPerUnit, kPixelsPerUnit);
  const double inner = kOuterHalf - kBandWidth;

  // A soft shadow outside the ring lifts it off the pale board.
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  Bezel(cr, kOuterHalf + 1.3, kCornerRadius + 1.3);
  Bezel(cr, inner, kCornerRadius - kBandWidth);
  SetSource(cr, Rgb8(0, 0, 0), 0.22);
  cairo_fill(cr);

  // The band itself: polished metal, lit from the top left like the stones.
  Bezel(cr, kOuterHalf, kCornerRadius);
  Bezel(cr, inner, kCornerRadius - kBandWidth);
  SetLinear(cr, -kOuterHalf, -kOuterHalf, kOuterHalf, kOuterHalf,
            {{0, Rgb8(255, 255, 255)},
             {0.35, Rgb8(236, 242, 250)},
             {0.6, Rgb8(196, 210, 226)},
             {1, Rgb8(236, 242, 250)}});
  cairo_fill(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);

  // A fine glint along the top of the band.
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, 0.7);
  cairo_move_to(cr, -kOuterHalf + kCornerRadius, -kOuterHalf + kBandWidth / 2);
  cairo_line_to(cr, kOuterHalf - kCornerRadius, -kOuterHalf + kBandWidth / 2);
  SetSource(cr, Rgb8(255, 255, 255), 0.9);
  cairo_stroke(cr);

  // The two dark rims.
  cairo_set_line_width(cr, 1.1);
  SetSource(cr, Rgb8(28, 34, 44), 0.95);
  Bezel(cr, kOuterHalf, kCornerRadius);
  cairo_stroke(cr);
  Bezel(cr, inner, kCornerRadius - kBandWidth);
  cairo_stroke(cr);
}

}  // namespace art
