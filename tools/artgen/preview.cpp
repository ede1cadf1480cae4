// Screens put together from the finished files the way the game draws them
// (positions, scales, alphas, additive glows, the bar's mask colour), at 1x
// and 2x, so the pictures can be judged before the game itself runs.

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "art.h"
#include "layout.h"

namespace art {
namespace {

constexpr Rgb kTextSmall = Rgb8(79, 88, 94);
constexpr Rgb kTextLarge = Rgb8(47, 55, 58);
constexpr double kSmallFont = 14, kLargeFont = 36;

// Reads one of our own 24-bit BMPs; pixels of the mask colour become clear.
cairo_surface_t* LoadBmp(const std::string& path, uint32_t maskRgb) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw std::runtime_error("cannot read " + path);
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
    bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  auto le = [&](size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24;
  };
  const int width = le(18), height = le(22), offset = le(10);
  const int rowBytes = (width * 3 + 3) & ~3;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  uint8_t* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &bytes[offset + (height - 1 - y) * rowBytes + 3 * x];
      const uint32_t rgb = p[2] << 16 | p[1] << 8 | p[0];
      const uint32_t argb = rgb == maskRgb ? 0 : 0xff000000u | rgb;
      std::memcpy(data + y * stride + 4 * x, &argb, 4);
    }
  cairo_surface_mark_dirty(s);
  return s;
}

struct Images {
  cairo_surface_t *game, *menu, *bar, *stones, *counter, *logo, *blend, *cursor;
  explicit Images(const std::string& dir)
      : game(LoadBmp(dir + "/game_background.bmp", 0)),
        menu(LoadBmp(dir + "/menu_background.bmp", 0)),
        bar(LoadBmp(dir + "/progressbar.bmp", 0xff00ff)),
        stones(cairo_image_surface_create_from_png((dir + "/kugel 32x32.png").c_str())),
        counter(cairo_image_surface_create_from_png((dir + "/counterfont.png").c_str())),
        logo(cairo_image_surface_create_from_png((dir + "/trelvani_logo.png").c_str())),
        blend(cairo_image_surface_create_from_png((dir + "/blend.png").c_str())),
        cursor(cairo_image_surface_create_from_png((dir + "/cursor.png").c_str())) {}
  ~Images() {
    for (cairo_surface_t* s : {game, menu, bar, stones, counter, logo, blend, cursor}) cairo_surface_destroy(s);
  }
};

struct Draw {
  double sx = 1, sy = 1, alpha = 1;
  bool additive = false, centred = true;
  Rgb tint = Rgb8(255, 255, 255);
};

// One frame of a strip, in design units, like the game's DrawImageFrame.
void Frame(cairo_t* cr, cairo_surface_t* image, int cellW, int cellH, int frame, double x, double y,
           const Draw& d) {
  const int perRow = cairo_image_surface_get_width(image) / cellW;
  cairo_surface_t* cell =
      cairo_surface_create_for_rectangle(image, frame % perRow * cellW, frame / perRow * cellH, cellW, cellH);
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, d.sx, d.sy);
  if (d.centred) cairo_translate(cr, -cellW / 2.0, -cellH / 2.0);
  if (d.additive) cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
  cairo_pattern_t* p = cairo_pattern_create_for_surface(cell);
  cairo_pattern_set_filter(p, CAIRO_FILTER_BILINEAR);
  if (d.tint.r < 1 || d.tint.g < 1 || d.tint.b < 1) {
    // Tinted drawing of a white picture: the colour through the picture's alpha.
    SetSource(cr, d.tint, d.alpha);
    cairo_mask(cr, p);
  } else {
    cairo_set_source(cr, p);
    cairo_paint_with_alpha(cr, d.alpha);
  }
  cairo_pattern_destroy(p);
  cairo_restore(cr);
  cairo_surface_destroy(cell);
}

void Text(cairo_t* cr, const char* utf8, double cx, double top, double size, Rgb colour) {
  UseGameFont(cr, size);
  SetSource(cr, colour);
  TextCentered(cr, utf8, cx, top);
}

void TextLeft(cairo_t* cr, const char* utf8, double x, double top, double size, Rgb colour) {
  UseGameFont(cr, size);
  SetSource(cr, colour);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  cairo_move_to(cr, x, top + fe.ascent);
  cairo_show_text(cr, utf8);
}

// A menu entry: full size under the mouse, 80 % otherwise.
void MenuEntry(cairo_t* cr, const char* utf8, double top, bool hovered) {
  Text(cr, utf8, 200, top, kLargeFont * (hovered ? 1.0 : 0.8), kTextLarge);
}

void Glow(cairo_t* cr, const Images& img, double x, double y, double sx, double sy) {
  Draw d;
  d.sx = sx;
  d.sy = sy;
  d.additive = true;
  d.tint = Rgb8(64, 64, 64);
  Frame(cr, img.blend, kBlendSize, kBlendSize, 0, x, y, d);
}

void Background(cairo_t* cr, cairo_surface_t* bg) {
  SetSource(cr, Rgb8(0, 0, 0));
  cairo_paint(cr);
  Draw d;
  d.centred = false;
  Frame(cr, bg, kScreenWidth, kScreenHeight, 0, 0, 0, d);
}

// The board of a game in progress: one marked group, a few bombs and rocks,
// a stone flying off and one appearing.
struct Board {
  int col[kBoardColumns][kBoardRows];
  bool bomb[kBoardColumns][kBoardRows] = {};
  bool marked[kBoardColumns][kBoardRows] = {};
  int markedCount = 0;
  int markedTopRow = kBoardRows, markedLeft = kBoardColumns, markedRight = 0;

  Board() {
    Sequence seq(20240611);
    for (int r = 0; r < kBoardRows; ++r)
      for (int c = 0; c < kBoardColumns; ++c) col[c][r] = static_cast<int>(seq.Next() * 4);
    for (auto [c, r] : {std::pair{3, 7}, {11, 12}, {15, 4}}) col[c][r] = 4;
    for (auto [c, r, k] : {std::tuple{6, 15, 2}, {13, 9, 4}, {1, 17, 0}, {9, 3, 3}}) {
      col[c][r] = k;
      bomb[c][r] = true;
    }
    // Mark the first group of at least six stones.
    for (int r = 4; r < kBoardRows && markedCount < 6; ++r)
      for (int c = 0; c < kBoardColumns && markedCount < 6; ++c) {
        std::memset(marked, 0, sizeof marked);
        markedCount = Fill(c, r, col[c][r]);
      }
    for (int r = 0; r < kBoardRows; ++r)
      for (int c = 0; c < kBoardColumns; ++c)
        if (marked[c][r]) {
          markedTopRow = std::min(markedTopRow, r);
          markedLeft = std::min(markedLeft, c);
          markedRight = std::max(markedRight, c);
        }
  }

  int Fill(int c, int r, int k) {
    if (c < 0 || r < 0 || c >= kBoardColumns || r >= kBoardRows) return 0;
    if (marked[c][r] || bomb[c][r] || col[c][r] != k || k == 4) return 0;
    marked[c][r] = true;
    return 1 + Fill(c + 1, r, k) + Fill(c - 1, r, k) + Fill(c, r + 1, k) + Fill(c, r - 1, k);
  }
};

void Counter(cairo_t* cr, const Images& img, int points, double x, double y) {
  std::string glyphs = std::to_string(points);
  const int g = static_cast<int>(glyphs.size()) + 2;
  double gx = x - (g / 2) * 10.0 + (g % 2 == 0 ? 5 : 0);
  Draw d;
  for (int i = 0; i < g; ++i, gx += 10) {
    const int frame = i == 0 ? 0 : i == g - 1 ? 11 : glyphs[i - 1] - '0' + 1;
    Frame(cr, img.counter, kCounterCellWidth, kCounterCellHeight, frame, gx, y - 10, d);
  }
}

// The game background as every screen over it shows it: with its panels' labels.
void GameBackdrop(cairo_t* cr, const Images& img) {
  Background(cr, img.game);
  Text(cr, "Punkte", kHudScoreX, kHudLabelTop, kHudLabelSize, kHudLabelColour);
  Text(cr, "Modus", kHudModeX, kHudLabelTop, kHudLabelSize, kHudLabelColour);
  Text(cr, "Level", kHudValueX, kHudLabelTop, kHudLabelSize, kHudLabelColour);
}

void GameScreen(cairo_t* cr, const Images& img, bool over, int bombFrame) {
  GameBackdrop(cr, img);
  Text(cr, "1764", kHudScoreX, kHudTextTop, kSmallFont, kTextSmall);
  Text(cr, "Level", kHudModeX, kHudTextTop, kSmallFont, kTextSmall);
  Text(cr, "3 (11)", kHudValueX, kHudTextTop, kSmallFont, kTextSmall);
  Draw bar;
  bar.centred = false;
  Frame(cr, img.bar, kBarWidth, kBarHeight, 1, kBarLeft, kBarTop, bar);
  cairo_save(cr);
  cairo_rectangle(cr, kBarLeft, kBarTop, (over ? 1.0 : 0.62) * kBarWidth, kBarHeight);
  cairo_clip(cr);
  Frame(cr, img.bar, kBarWidth, kBarHeight, 0, kBarLeft, kBarTop, bar);
  cairo_restore(cr);

  Board b;
  for (int r = 0; r < kBoardRows; ++r)
    for (int c = 0; c < kBoardColumns; ++c) {
      const double x = 40 + kCell * c, y = 100 + kCell * r;
      Draw d;
      const bool mark = b.marked[c][r] && !over;
      if (mark) d.sx = d.sy = 1.2;
      if (over && r < 3) d.alpha = 0.25;
      if (!over && r == 0 && c == 8) d.sx = d.sy = 0.55, d.alpha = 0.45;  // appearing
      const int frame = b.col[c][r] * kStoneFramesPerColour + (b.bomb[c][r] ? 2 + bombFrame : 0);
      Frame(cr, img.stones, kStoneCell, kStoneCell, frame, x, y, d);
      if (mark) {
        d.additive = true;
        d.alpha = 0.3;
        Frame(cr, img.stones, kStoneCell, kStoneCell, b.col[c][r] * kStoneFramesPerColour + 1, x, y, d);
      }
    }
  Draw flying;
  flying.sx = flying.sy = 1.4;
  flying.alpha = 0.55;
  Frame(cr, img.stones, kStoneCell, kStoneCell, 1 * kStoneFramesPerColour + 1, 330, 180, flying);
  if (over) {
    Text(cr, "GAME OVER", 200, 85, kLargeFont, kTextLarge);
    Glow(cr, img, 198, 139, std::floor(TextWidth(cr, "Weiter") / 8), 1);
    Text(cr, "Weiter", 200, 130, kSmallFont, kTextSmall);
  } else {
    Counter(cr, img, b.markedCount * b.markedCount, 40 + (20.0 * b.markedLeft + 20.0 * b.markedRight) / 2,
            90 + 20.0 * b.markedTopRow);
  }
}

void MenuScreen(cairo_t* cr, const Images& img) {
  Background(cr, img.menu);
  MenuEntry(cr, "Spielen", 150, false);
  MenuEntry(cr, "Highscore", 200, true);
  MenuEntry(cr, "Credits", 250, false);
  MenuEntry(cr, "Beenden", 400, false);
}

void ModeScreen(cairo_t* cr, const Images& img) {
  Background(cr, img.menu);
  Text(cr, "Wählen Sie einen Spielmodus:", 200, 90, kSmallFont, kTextLarge);
  MenuEntry(cr, "Classic", 150, true);
  MenuEntry(cr, "Turbo", 200, false);
  MenuEntry(cr, "Level", 250, false);
  MenuEntry(cr, "Zurück", 400, false);
  const char* lines[] = {
      "Im Classic-Modus besteht keinerlei Zeit-", "beschränkung. Das Spiel ist beendet, sobald",
      "keine Spielsteine mehr entfernt werden können.", "Ziel ist also, mit den gegebenen Steinen eine",
      "möglichst hohe Punktzahl zu erreichen."};
  for (int i = 0; i < 5; ++i) TextLeft(cr, lines[i], 30, 300 + 15 * i, kSmallFont, kTextLarge);
}

void CreditsScreen(cairo_t* cr, const Images& img) {
  Background(cr, img.menu);
  Frame(cr, img.logo, kLogoWidth, kLogoHeight, 0, 200, 170, Draw{});
  const std::pair<double, const char*> lines[] = {{260, "2024"},
                                                  {275, "Trelvani"},
                                                  {320, "PROGRAMMING"},
                                                  {335, "Das Quarzello-Team"},
                                                  {380, "GRAPHICS"},
                                                  {395, "Das Quarzello-Team"},
                                                  {450, "www.trelvani.invalid"}};
  for (const auto& [y, text] : lines) Text(cr, text, 200, y, kSmallFont, kTextLarge);
}

void PauseScreen(cairo_t* cr, const Images& img) {
  Background(cr, img.menu);
  Text(cr, "PAUSE", 200, 200, kLargeFont, kTextLarge);
  MenuEntry(cr, "Spiel abbrechen", 400, false);
  Text(cr, "Drücken Sie 'P' um das Spiel fortzusetzen!", 200, 240, kSmallFont, kTextLarge);
}

void HighscoreScreen(cairo_t* cr, const Images& img) {
  GameBackdrop(cr, img);
  Text(cr, "Lokal", kHudScoreX, kHudTextTop, kSmallFont, kTextSmall);
  Glow(cr, img, kHudModeX - 2, kHudTextTop + 9, std::floor(TextWidth(cr, "Classic") / 8), 1);
  Text(cr, "Classic", kHudModeX, kHudTextTop, kSmallFont, kTextSmall);
  Text(cr, "Leicht", kHudValueX, kHudTextTop, kSmallFont, kTextSmall);
  const char* names[] = {"Anna",   "Bernd",   "Clara", "Dieter", "Emil",
                         "Frieda", "Günther", "Hanna", "Ida",    "Jörg"};
  for (int i = 1; i <= 10; ++i) {
    const double y = 125 + 20 * i;
    if (i == 4) Glow(cr, img, 200, y + 9, 23, 1.15);
    char place[8], points[16];
    std::snprintf(place, sizeof place, "%d.", i);
    std::snprintf(points, sizeof points, "%d", 5000 - 397 * i);
    TextLeft(cr, place, 40, y, kSmallFont, kTextSmall);
    TextLeft(cr, names[i - 1], 90, y, kSmallFont, kTextSmall);
    UseGameFont(cr, kSmallFont);
    TextLeft(cr, points, 360 - TextWidth(cr, points), y, kSmallFont, kTextSmall);
  }
  Text(cr, "Seite 1 von 3", 200, 355, kSmallFont, kTextSmall);
  Text(cr, "< ", 100, 355, kSmallFont, kTextSmall);
  Text(cr, " >", 300, 355, kSmallFont, kTextSmall);
  Text(cr, "Highscore", 200, 85, kLargeFont, kTextLarge);
  MenuEntry(cr, "Menü", 400, false);
}

void NewHighscoreScreen(cairo_t* cr, const Images& img) {
  GameBackdrop(cr, img);
  Text(cr, "Neue Highscore", 200, 85, kLargeFont, kTextLarge);
  Text(cr, "1764", kHudScoreX, kHudTextTop, kSmallFont, kTextSmall);
  Text(cr, "Turbo", kHudModeX, kHudTextTop, kSmallFont, kTextSmall);
  Text(cr, "Schwer", kHudValueX, kHudTextTop, kSmallFont, kTextSmall);
  TextLeft(cr, "Name: Anna_", 30, 150, kSmallFont, kTextSmall);
  TextLeft(cr, "Punktwert online speichern", 65, 200, kSmallFont, kTextSmall);
  Frame(cr, img.stones, kStoneCell, kStoneCell, 78, 40, 207, Draw{});
  MenuEntry(cr, "Weiter", 350, false);
  MenuEntry(cr, "Abbrechen", 400, false);
}

// The board cursor over every kind of cell: each colour's stone, marked
// stone and bomb, the rock, the area bomb and an empty cell.
void CursorScreen(cairo_t* cr, const Images& img) {
  Background(cr, img.game);
  Draw half;
  half.sx = half.sy = 0.5;
  auto cell = [&](int frame, bool marked, double x, double y) {
    if (frame >= 0) Frame(cr, img.stones, kStoneCell, kStoneCell, frame, x, y, Draw{});
    if (marked) {
      Draw glow;
      glow.additive = true;
      glow.alpha = 0.3;
      Frame(cr, img.stones, kStoneCell, kStoneCell, frame + 1, x, y, glow);
    }
    Frame(cr, img.cursor, kCursorSize, kCursorSize, 0, x, y, half);
  };
  for (int col = 0; col < kStoneColours; ++col) {
    const double x = 60 + 60 * col;
    cell(col * kStoneFramesPerColour, false, x, 150);
    cell(col * kStoneFramesPerColour, col != 4, x, 210);
    cell(col * kStoneFramesPerColour + 2, false, x, 270);
  }
  cell(-1, false, 200, 330);
}

// Every stone frame enlarged four times without smoothing, on the board's
// colour and on black, with the frame grid.
void StoneSheet(const Images& img, const std::string& path) {
  constexpr int zoom = 4;
  const int w = kStoneFramesPerColour * kStoneCell * zoom, h = kStoneColours * kStoneCell * zoom;
  Canvas canvas(w, 2 * h, false);
  cairo_t* cr = canvas.cr();
  SetSource(cr, Rgb8(241, 245, 248));
  cairo_rectangle(cr, 0, 0, w, h);
  cairo_fill(cr);
  SetSource(cr, Rgb8(20, 20, 20));
  cairo_rectangle(cr, 0, h, w, h);
  cairo_fill(cr);
  for (int copy = 0; copy < 2; ++copy) {
    cairo_save(cr);
    cairo_translate(cr, 0, copy * h);
    cairo_scale(cr, zoom, zoom);
    cairo_set_source_surface(cr, img.stones, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
  }
  cairo_set_line_width(cr, 1);
  SetSource(cr, Rgb8(120, 160, 200));
  for (int x = 0; x <= w; x += kStoneCell * zoom) {
    cairo_move_to(cr, x + 0.5, 0);
    cairo_line_to(cr, x + 0.5, 2 * h);
  }
  for (int y = 0; y <= 2 * h; y += kStoneCell * zoom) {
    cairo_move_to(cr, 0, y + 0.5);
    cairo_line_to(cr, w, y + 0.5);
  }
  cairo_stroke(cr);
  canvas.SavePng(path);
}

}  // namespace

void WritePreviews(const std::string& resourceDir, const std::string& outDir) {
  std::filesystem::create_directories(outDir);
  Images img(resourceDir);
  const struct {
    const char* name;
    std::function<void(cairo_t*)> draw;
  } screens[] = {
      {"game", [&](cairo_t* cr) { GameScreen(cr, img, false, 5); }},
      {"game_bombframe17", [&](cairo_t* cr) { GameScreen(cr, img, false, 17); }},
      {"gameover", [&](cairo_t* cr) { GameScreen(cr, img, true, 0); }},
      {"menu", [&](cairo_t* cr) { MenuScreen(cr, img); }},
      {"mode", [&](cairo_t* cr) { ModeScreen(cr, img); }},
      {"credits", [&](cairo_t* cr) { CreditsScreen(cr, img); }},
      {"pause", [&](cairo_t* cr) { PauseScreen(cr, img); }},
      {"highscores", [&](cairo_t* cr) { HighscoreScreen(cr, img); }},
      {"newhighscore", [&](cairo_t* cr) { NewHighscoreScreen(cr, img); }},
      {"cursor", [&](cairo_t* cr) { CursorScreen(cr, img); }},
  };
  for (const auto& screen : screens)
    for (int scale : {1, 2}) {
      Canvas canvas(kScreenWidth * scale, kScreenHeight * scale, false);
      cairo_scale(canvas.cr(), scale, scale);
      screen.draw(canvas.cr());
      canvas.SavePng(outDir + "/" + screen.name + "_" + std::to_string(scale) + "x.png");
    }
  StoneSheet(img, outDir + "/stones_4x.png");
}

}  // namespace art
