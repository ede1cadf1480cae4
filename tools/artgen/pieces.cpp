// The small pictures: the Level progress bar, the counter's digits on their
// plate, the maker's logo and the soft spot used as a glow.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "art.h"
#include "layout.h"

namespace art {
namespace {

constexpr Rgb kWhite = Rgb8(255, 255, 255);
constexpr Rgb kMask = Rgb8(255, 0, 255);  // the game clears these pixels of the bar

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

// Signed distance from a pixel centre to the outline of a pill (a rectangle
// with fully round ends) of the given size; negative inside.
double PillDistance(double px, double py, double width, double height) {
  const double r = height / 2;
  const double x = std::clamp(px, r, width - r);
  return std::hypot(px - x, py - r) - r;
}

// Writes every pixel of one bar frame from a colour function, so that the
// mask colour appears only exactly where it is meant to.
void PaintPixels(cairo_t* cr, int top, const std::function<Rgb(int x, int y)>& colourAt) {
  cairo_surface_t* s = cairo_get_target(cr);
  cairo_surface_flush(s);
  uint8_t* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < kBarHeight; ++y)
    for (int x = 0; x < kBarWidth; ++x) {
      const Rgb c = colourAt(x, y);
      const uint32_t p = 0xff000000u | static_cast<uint32_t>(std::lround(c.r * 255)) << 16 |
                         static_cast<uint32_t>(std::lround(c.g * 255)) << 8 |
                         static_cast<uint32_t>(std::lround(c.b * 255));
      std::memcpy(data + (top + y) * stride + 4 * x, &p, 4);
    }
  cairo_surface_mark_dirty(s);
}

// Coverage of the one pixel wide rim just inside the outline.
double RimCoverage(double d) { return Clamp01(std::min(d + 1.0, -d) + 0.5); }

}  // namespace

void DrawProgressBar(cairo_t* cr) {
  const Rgb rim = Rgb8(112, 128, 142);
  const Rgb fillRim = Rgb8(150, 40, 46);
  // Frame 0: the reddish fill, a glossy pill.
  PaintPixels(cr, 0, [&](int x, int y) {
    const double d = PillDistance(x + 0.5, y + 0.5, kBarWidth, kBarHeight);
    const double t = (y + 0.5) / kBarHeight;
    Rgb fill = t < 0.45 ? Mix(Rgb8(248, 146, 130), Rgb8(226, 84, 76), t / 0.45)
                        : Mix(Rgb8(226, 84, 76), Rgb8(180, 40, 48), (t - 0.45) / 0.55);
    if (y == 2) fill = Mix(fill, kWhite, 0.3);
    const Rgb inner = Mix(fill, fillRim, RimCoverage(d));
    return Mix(kBarBackdrop, inner, Clamp01(0.5 - d));
  });
  // Frame 1: a grey rim; inside it the mask colour lets the background through.
  PaintPixels(cr, kBarHeight, [&](int x, int y) {
    const double d = PillDistance(x + 0.5, y + 0.5, kBarWidth, kBarHeight);
    if (d <= -1.5) return kMask;
    return Mix(kBarBackdrop, rim, RimCoverage(d));
  });
}

void DrawCounterFont(cairo_t* cr) {
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_restore(cr);

  // The plate runs from y 2 to 18 in every frame, so that the frames put side
  // by side make one unbroken pill. Its edges lie on whole pixels.
  constexpr double top = 2, bottom = 18, r = (bottom - top) / 2;
  const double w = kCounterCellWidth, midY = (top + bottom) / 2;
  for (int f = 0; f < kCounterCells; ++f) {
    cairo_save(cr);
    cairo_translate(cr, f * w, 0);
    cairo_rectangle(cr, 0, 0, w, kCounterCellHeight);
    cairo_clip(cr);
    cairo_new_path(cr);
    if (f == 0) {
      cairo_arc(cr, w, midY, r, M_PI / 2, 3 * M_PI / 2);
      cairo_line_to(cr, w, top);
      cairo_line_to(cr, w, bottom);
    } else if (f == kCounterCells - 1) {
      cairo_arc(cr, 0, midY, r, -M_PI / 2, M_PI / 2);
      cairo_line_to(cr, 0, bottom);
      cairo_line_to(cr, 0, top);
    } else {
      cairo_rectangle(cr, 0, top, w, bottom - top);
    }
    cairo_close_path(cr);
    SetLinear(cr, 0, top, 0, bottom,
              {{0, Rgb8(84, 96, 106), 0.94}, {0.5, Rgb8(52, 61, 68), 0.94}, {1, Rgb8(36, 42, 48), 0.94}});
    cairo_fill(cr);

    // A fine light line along the top edge.
    cairo_rectangle(cr, f == 0 ? 5 : 0, top, f == 0 || f == kCounterCells - 1 ? 5 : w, 1);
    SetSource(cr, kWhite, 0.14);
    cairo_fill(cr);

    if (f >= 1 && f <= 10) {
      const char digit[2] = {static_cast<char>('0' + f - 1), 0};
      UseGameFont(cr, 13);
      cairo_text_extents_t te;
      cairo_text_extents(cr, digit, &te);
      cairo_text_extents_t zero;
      cairo_text_extents(cr, "0", &zero);
      // Centred on the ink; all digits share the baseline that centres the zero.
      const double baseline = midY - zero.y_bearing - zero.height / 2;
      cairo_move_to(cr, w / 2 - te.x_bearing - te.width / 2, baseline);
      cairo_text_path(cr, digit);
      SetSource(cr, kWhite);
      cairo_fill_preserve(cr);
      cairo_set_line_width(cr, 0.45);  // a touch heavier than the font, for the small size
      cairo_stroke(cr);
    }
    cairo_restore(cr);
  }
}

void DrawLogo(cairo_t* cr) {
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_restore(cr);

  // A cut crystal seen from above: six facets around a flat table.
  const double cx = kLogoWidth / 2.0, cy = 48, outer = 40, table = 19;
  const Rgb deep = Rgb8(36, 78, 112), clear = Rgb8(126, 190, 220), pale = Rgb8(222, 242, 250);
  const double shade[6] = {0.75, 0.45, 0.2, 0.05, 0.3, 0.95};
  for (int k = 0; k < 6; ++k) {
    const double a0 = M_PI / 3 * k - M_PI / 2, a1 = a0 + M_PI / 3;
    cairo_move_to(cr, cx + outer * std::cos(a0), cy + outer * std::sin(a0));
    cairo_line_to(cr, cx + outer * std::cos(a1), cy + outer * std::sin(a1));
    cairo_line_to(cr, cx + table * std::cos(a1), cy + table * std::sin(a1));
    cairo_line_to(cr, cx + table * std::cos(a0), cy + table * std::sin(a0));
    cairo_close_path(cr);
    SetSource(cr, Mix(deep, clear, shade[k]));
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetSource(cr, pale, 0.7);
    cairo_stroke(cr);
  }
  RegularPolygon(cr, cx, cy, table, 6, -M_PI / 2);
  SetLinear(cr, cx - table, cy - table, cx + table, cy + table, {{0, pale}, {1, clear}});
  cairo_fill(cr);
  // A T cut into the table: the maker's initial.
  cairo_rectangle(cr, cx - 9, cy - 9, 18, 4.5);
  cairo_rectangle(cr, cx - 2.25, cy - 9, 4.5, 18);
  SetSource(cr, deep);
  cairo_fill(cr);
  // The outline.
  RegularPolygon(cr, cx, cy, outer, 6, -M_PI / 2);
  cairo_set_line_width(cr, 1.5);
  SetSource(cr, deep);
  cairo_stroke(cr);

  UseGameFont(cr, 21);
  SpacedTextPath(cr, "TRELVANI", cx, 104, 3.2);
  SetSource(cr, Rgb8(47, 55, 58));
  cairo_fill(cr);
}

void DrawBlendSpot(cairo_t* cr) {
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_restore(cr);
  const double c = kBlendSize / 2.0;
  SetRadial(cr, c, c, 0, c, c, c, {{0, kWhite, 1}, {0.35, kWhite, 0.8}, {0.7, kWhite, 0.3}, {1, kWhite, 0}});
  cairo_paint(cr);
}

}  // namespace art
