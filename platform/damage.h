// Where two display lists draw different pictures: the rectangles a backend
// must paint again to turn the picture of one list into that of the next.
// Plain computation on display lists; no display needed.
#pragma once

#include <vector>

#include "platform/platform.h"

// Canvas pixels [x0, x1) x [y0, y1), y downwards as in the display list.
struct PixelRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool Empty() const { return x1 <= x0 || y1 <= y0; }
  long long Area() const { return Empty() ? 0 : static_cast<long long>(x1 - x0) * (y1 - y0); }
  bool operator==(const PixelRect&) const = default;
};

PixelRect Union(const PixelRect& a, const PixelRect& b);
PixelRect Intersection(const PixelRect& a, const PixelRect& b);

// Every pixel the command can change on a canvas of that size: its quads (the
// glyphs' for a text) widened by a margin for rasterising and filtering,
// clipped to its viewport and the canvas. Empty when it draws nothing.
PixelRect CommandBounds(const DrawCommand& command, int canvasWidth, int canvasHeight);

struct Damage {
  bool full = false;             // paint the whole canvas
  std::vector<PixelRect> rects;  // otherwise these (none: the pictures are the same), disjoint
};

// What to paint over the picture of `shown` to get the picture of `next`, both
// drawn on a canvas of that size: the bounds of every command added, removed
// or changed (commands are matched in order, as a text diff matches lines).
// Pixels outside these rectangles are covered by the same commands in the
// same order in both lists, so they do not change. Rectangles close to one
// another are merged; the result is `full` once the damage covers more than
// `fullShare` of the canvas.
Damage DamageBetween(const DisplayList& shown, const DisplayList& next, int canvasWidth, int canvasHeight,
                     double fullShare = 0.5);
