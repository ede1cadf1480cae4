// The damage between two display lists: match their commands in order (the
// common start and end, then Myers' shortest edit script on the rest), and
// take the bounds of every command left unmatched on either side.
#include "platform/damage.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Rasterising snaps vertices to sub-pixels and covers a pixel by its centre;
// a quad never reaches further than its own pixels plus this many around.
constexpr int kMargin = 2;
// Past this many insertions and deletions, the matching gives up and damages
// the whole differing middle of both lists (a board whose every stone moves).
constexpr int kMaxEdits = 160;
// Past this many rectangles, they are merged into their bounding box.
constexpr size_t kMaxRawRects = 96;
constexpr size_t kMaxRects = 16;
// Painting this many pixels more costs about what another pass over the list does.
constexpr long long kWorthAPass = 32 * 32;

int ClampToInt(double value) {
  constexpr double kLimit = 1 << 28;
  return static_cast<int>(std::clamp(value, -kLimit, kLimit));
}

PixelRect ClipOf(const DrawCommand& command, int canvasWidth, int canvasHeight) {
  const PixelRect canvas{0, 0, canvasWidth, canvasHeight};
  const long long x1 = static_cast<long long>(command.viewX) + command.viewWidth;
  const long long y1 = static_cast<long long>(command.viewY) + command.viewHeight;
  const PixelRect view{command.viewX, command.viewY, static_cast<int>(std::clamp<long long>(x1, INT32_MIN, INT32_MAX)),
                       static_cast<int>(std::clamp<long long>(y1, INT32_MIN, INT32_MAX))};
  return Intersection(canvas, view);
}

// The pixels of a quad between two corners in canvas coordinates, widened by
// the margin; the whole clip when a corner is no number.
PixelRect QuadBounds(double ax, double ay, double bx, double by, const PixelRect& clip) {
  if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by)) return clip;
  const PixelRect quad{ClampToInt(std::floor(std::min(ax, bx))) - kMargin,
                       ClampToInt(std::floor(std::min(ay, by))) - kMargin,
                       ClampToInt(std::ceil(std::max(ax, bx))) + kMargin,
                       ClampToInt(std::ceil(std::max(ay, by))) + kMargin};
  return quad;
}

PixelRect ImageBounds(const DrawCommand& command, const PixelRect& clip) {
  if (command.image == nullptr) return {};
  const Image& image = *command.image;
  if (command.frame < 0 || command.frame >= image.frames) return {};
  // As the OpenGL backend places it (in float, as it computes).
  const float x0 = command.x - image.handleX * command.sx;
  const float y0 = command.y - image.handleY * command.sy;
  const float x1 = x0 + static_cast<float>(image.cellWidth) * command.sx;
  const float y1 = y0 + static_cast<float>(image.cellHeight) * command.sy;
  return Intersection(QuadBounds(x0, y0, x1, y1, clip), clip);
}

PixelRect TextBounds(const DrawCommand& command, const PixelRect& clip) {
  PixelRect bounds;
  ForEachGlyphQuad(command, [&](uint32_t, float x0, float y0, float x1, float y1) {
    bounds = Union(bounds, QuadBounds(x0, y0, x1, y1, clip));
  });
  return Intersection(bounds, clip);
}

// Marks the commands of a and b that a shortest edit script turning a into b
// deletes and inserts. False when that takes more than kMaxEdits edits.
bool MatchInOrder(const DrawCommand* a, int n, const DrawCommand* b, int m, std::vector<bool>& deleted,
                  std::vector<bool>& inserted) {
  const int most = std::min(n + m, kMaxEdits);
  const int offset = most + 1;
  std::vector<int> v(static_cast<size_t>(2 * offset + 1), 0);
  std::vector<std::vector<int>> trace;
  int edits = -1;
  for (int d = 0; d <= most && edits < 0; ++d) {
    trace.push_back(v);
    for (int k = -d; k <= d; k += 2) {
      int x = (k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1])) ? v[offset + k + 1]
                                                                             : v[offset + k - 1] + 1;
      int y = x - k;
      while (x < n && y < m && a[x] == b[y]) ++x, ++y;
      v[offset + k] = x;
      if (x >= n && y >= m) {
        edits = d;
        break;
      }
    }
  }
  if (edits < 0) return false;
  // Back from the end: each step of d came from a diagonal one off.
  int x = n, y = m;
  for (int d = edits; d > 0; --d) {
    const std::vector<int>& before = trace[static_cast<size_t>(d)];
    const int k = x - y;
    const bool down = k == -d || (k != d && before[offset + k - 1] < before[offset + k + 1]);
    const int previousK = down ? k + 1 : k - 1;
    const int previousX = before[offset + previousK];
    const int previousY = previousX - previousK;
    // Between (x, y) and the end of this edit lies a diagonal of matched commands.
    if (down) {
      inserted[static_cast<size_t>(previousY)] = true;
    } else {
      deleted[static_cast<size_t>(previousX)] = true;
    }
    x = previousX;
    y = previousY;
  }
  return true;
}

bool Overlap(const PixelRect& a, const PixelRect& b) { return !Intersection(a, b).Empty(); }

// Covers the union of the rectangles with disjoint ones that follow its
// outline: the union is traced on a grid of kTile-pixel tiles, each run of
// tiles in a tile row is a band, a band continues the one above when both
// span the same tiles, and each band is cut back to the rectangles inside
// it. One bounding box would also paint the gaps between the arms of a bent
// group, the costliest pixels of all since stones are stacked there.
std::vector<PixelRect> Covering(const std::vector<PixelRect>& rects) {
  constexpr int kTile = 16;
  PixelRect all;
  for (const PixelRect& r : rects) all = Union(all, r);
  if (all.Empty()) return {};
  const int columns = (all.x1 - all.x0 + kTile - 1) / kTile, rows = (all.y1 - all.y0 + kTile - 1) / kTile;
  std::vector<bool> touched(static_cast<size_t>(columns) * rows, false);
  for (const PixelRect& r : rects) {
    if (r.Empty()) continue;
    for (int ty = (r.y0 - all.y0) / kTile; ty <= (r.y1 - 1 - all.y0) / kTile; ++ty) {
      for (int tx = (r.x0 - all.x0) / kTile; tx <= (r.x1 - 1 - all.x0) / kTile; ++tx) {
        touched[static_cast<size_t>(ty * columns + tx)] = true;
      }
    }
  }
  struct Band {
    int tx0, tx1;  // tiles [tx0, tx1)
    PixelRect area;
  };
  std::vector<PixelRect> bands;
  std::vector<Band> open;
  for (int ty = 0; ty <= rows; ++ty) {
    std::vector<Band> next;
    for (int tx = 0; ty < rows && tx < columns;) {
      if (!touched[static_cast<size_t>(ty * columns + tx)]) {
        ++tx;
        continue;
      }
      const int start = tx;
      while (tx < columns && touched[static_cast<size_t>(ty * columns + tx)]) ++tx;
      const PixelRect row{all.x0 + start * kTile, all.y0 + ty * kTile, all.x0 + tx * kTile, all.y0 + (ty + 1) * kTile};
      const auto above = std::find_if(open.begin(), open.end(), [&](const Band& b) { return b.tx0 == start && b.tx1 == tx; });
      if (above != open.end()) {
        next.push_back({start, tx, Union(above->area, row)});
        open.erase(above);
      } else {
        next.push_back({start, tx, row});
      }
    }
    for (const Band& ended : open) bands.push_back(ended.area);
    open = std::move(next);
  }
  std::vector<PixelRect> covering;
  for (const PixelRect& band : bands) {
    PixelRect tight;
    for (const PixelRect& r : rects) tight = Union(tight, Intersection(r, band));
    covering.push_back(tight);
  }
  return covering;
}

// Merges rectangles that overlap, or whose bounding box costs little more
// than both apart, until at most kMaxRects are left, none overlapping.
std::vector<PixelRect> Merged(std::vector<PixelRect> rects) {
  if (rects.size() > kMaxRawRects) {
    PixelRect all;
    for (const PixelRect& r : rects) all = Union(all, r);
    return {all};
  }
  rects = Covering(rects);
  for (bool changed = true; changed;) {
    changed = false;
    size_t bestI = 0, bestJ = 0;
    long long bestGrowth = std::numeric_limits<long long>::max();
    for (size_t i = 0; i < rects.size() && !changed; ++i) {
      for (size_t j = i + 1; j < rects.size(); ++j) {
        const PixelRect both = Union(rects[i], rects[j]);
        const long long growth = both.Area() - rects[i].Area() - rects[j].Area();
        // A rectangle costs a pass over the list: a small gap is cheaper painted.
        if (Overlap(rects[i], rects[j]) || growth <= kWorthAPass) {
          rects[i] = both;
          rects.erase(rects.begin() + static_cast<long>(j));
          changed = true;
          break;
        }
        if (growth < bestGrowth) bestGrowth = growth, bestI = i, bestJ = j;
      }
    }
    if (!changed && rects.size() > kMaxRects) {
      rects[bestI] = Union(rects[bestI], rects[bestJ]);
      rects.erase(rects.begin() + static_cast<long>(bestJ));
      changed = true;
    }
  }
  return rects;
}

}  // namespace

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

PixelRect Intersection(const PixelRect& a, const PixelRect& b) {
  const PixelRect both{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
  return both.Empty() ? PixelRect{} : both;
}

PixelRect CommandBounds(const DrawCommand& command, int canvasWidth, int canvasHeight) {
  const PixelRect clip = ClipOf(command, canvasWidth, canvasHeight);
  if (clip.Empty()) return {};
  switch (command.kind) {
    case DrawCommand::kClear: return clip;
    case DrawCommand::kImage: return ImageBounds(command, clip);
    case DrawCommand::kText: return TextBounds(command, clip);
  }
  return clip;
}

Damage DamageBetween(const DisplayList& shown, const DisplayList& next, int canvasWidth, int canvasHeight,
                     double fullShare) {
  Damage damage;
  if (canvasWidth <= 0 || canvasHeight <= 0) {
    damage.full = true;
    return damage;
  }
  size_t start = 0;
  while (start < shown.size() && start < next.size() && shown[start] == next[start]) ++start;
  size_t endShown = shown.size(), endNext = next.size();
  while (endShown > start && endNext > start && shown[endShown - 1] == next[endNext - 1]) --endShown, --endNext;
  const int n = static_cast<int>(endShown - start), m = static_cast<int>(endNext - start);
  if (n == 0 && m == 0) return damage;

  std::vector<bool> deleted(static_cast<size_t>(n), false), inserted(static_cast<size_t>(m), false);
  if (!MatchInOrder(shown.data() + start, n, next.data() + start, m, deleted, inserted)) {
    if (n == m) {  // matched place by place
      for (int i = 0; i < n; ++i) {
        const bool differs = !(shown[start + static_cast<size_t>(i)] == next[start + static_cast<size_t>(i)]);
        deleted[static_cast<size_t>(i)] = inserted[static_cast<size_t>(i)] = differs;
      }
    } else {
      deleted.assign(deleted.size(), true);
      inserted.assign(inserted.size(), true);
    }
  }

  std::vector<PixelRect> rects;
  const auto add = [&](const DrawCommand& command) {
    const PixelRect bounds = CommandBounds(command, canvasWidth, canvasHeight);
    if (bounds.Empty()) return;
    // The same place twice (a command changed where it stands) is painted once.
    if (rects.size() > kMaxRawRects || std::find(rects.begin(), rects.end(), bounds) == rects.end()) {
      rects.push_back(bounds);
    }
  };
  for (int i = 0; i < n; ++i) {
    if (deleted[static_cast<size_t>(i)]) add(shown[start + static_cast<size_t>(i)]);
  }
  for (int i = 0; i < m; ++i) {
    if (inserted[static_cast<size_t>(i)]) add(next[start + static_cast<size_t>(i)]);
  }
  damage.rects = Merged(std::move(rects));
  long long area = 0;
  for (const PixelRect& r : damage.rects) area += r.Area();
  if (static_cast<double>(area) > fullShare * canvasWidth * canvasHeight) {
    damage.full = true;
    damage.rects.clear();
  }
  return damage;
}
