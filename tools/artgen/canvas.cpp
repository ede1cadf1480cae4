#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "art.h"

namespace art {

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

void SetSource(cairo_t* cr, Rgb c, double alpha) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

namespace {
void UsePattern(cairo_t* cr, cairo_pattern_t* pattern, Stops stops) {
  for (const Stop& s : stops)
    cairo_pattern_add_color_stop_rgba(pattern, s.offset, s.colour.r, s.colour.g, s.colour.b, s.alpha);
  cairo_set_source(cr, pattern);
  cairo_pattern_destroy(pattern);  // the context keeps its own reference
}
}  // namespace

void SetLinear(cairo_t* cr, double x0, double y0, double x1, double y1, Stops stops) {
  UsePattern(cr, cairo_pattern_create_linear(x0, y0, x1, y1), stops);
}

void SetRadial(cairo_t* cr, double fx, double fy, double r0, double cx, double cy, double r1, Stops stops) {
  UsePattern(cr, cairo_pattern_create_radial(fx, fy, r0, cx, cy, r1), stops);
}

Canvas::Canvas(int width, int height, bool withAlpha)
    : width_(width),
      height_(height),
      surface_(
          cairo_image_surface_create(withAlpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height)),
      cr_(cairo_create(surface_)) {
  if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) throw std::runtime_error("cairo surface");
}

Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

namespace {

struct File {
  explicit File(const std::string& path) : f(std::fopen(path.c_str(), "wb")) {
    if (!f) throw std::runtime_error("cannot write " + path);
  }
  ~File() {
    if (f) std::fclose(f);
  }
  void Write(const void* data, size_t n) {
    if (std::fwrite(data, 1, n, f) != n) throw std::runtime_error("short write");
  }
  std::FILE* f;
};

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// One pixel of a cairo image surface as straight-alpha bytes.
void ReadPixel(const uint8_t* row, int x, bool opaque, uint8_t rgba[4]) {
  uint32_t p;
  std::memcpy(&p, row + 4 * x, 4);
  unsigned a = opaque ? 255 : p >> 24, r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
  if (a == 0) {
    // Fully clear pixels keep a white colour so that smooth scaling in the
    // game does not pull dark fringes in from their neighbours.
    rgba[0] = rgba[1] = rgba[2] = 255;
  } else {
    rgba[0] = static_cast<uint8_t>((r * 255 + a / 2) / a);
    rgba[1] = static_cast<uint8_t>((g * 255 + a / 2) / a);
    rgba[2] = static_cast<uint8_t>((b * 255 + a / 2) / a);
  }
  rgba[3] = static_cast<uint8_t>(a);
}

}  // namespace

void Canvas::SavePng(const std::string& path) const {
  cairo_surface_flush(surface_);
  const uint8_t* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  const bool opaque = cairo_image_surface_get_format(surface_) == CAIRO_FORMAT_RGB24;
  std::vector<uint8_t> pixels(static_cast<size_t>(width_) * height_ * 4);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) ReadPixel(data + y * stride, x, opaque, &pixels[(y * width_ + x) * 4]);

  File file(path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("png write failed: " + path);
  }
  png_init_io(png, file.f);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, width_, height_, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height_; ++y) png_write_row(png, &pixels[static_cast<size_t>(y) * width_ * 4]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
}

void Canvas::SaveBmp(const std::string& path) const {
  cairo_surface_flush(surface_);
  const uint8_t* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  const uint32_t rowBytes = (static_cast<uint32_t>(width_) * 3 + 3) & ~3u;
  const uint32_t pixelBytes = rowBytes * height_;
  const uint32_t headerBytes = 14 + 40;
  const uint32_t tailBytes = 2;

  std::vector<uint8_t> out;
  out.reserve(headerBytes + pixelBytes + tailBytes);
  out.push_back('B');
  out.push_back('M');
  PutLE(out, headerBytes + pixelBytes + tailBytes, 4);
  PutLE(out, 0, 4);
  PutLE(out, headerBytes, 4);
  PutLE(out, 40, 4);
  PutLE(out, width_, 4);
  PutLE(out, height_, 4);  // positive: rows stored bottom-up
  PutLE(out, 1, 2);
  PutLE(out, 24, 2);
  PutLE(out, 0, 4);  // no compression
  PutLE(out, pixelBytes, 4);
  PutLE(out, 2835, 4);  // 72 dpi
  PutLE(out, 2835, 4);
  PutLE(out, 0, 4);
  PutLE(out, 0, 4);
  for (int y = height_ - 1; y >= 0; --y) {
    const uint8_t* row = data + y * stride;
    for (int x = 0; x < width_; ++x) {
      uint32_t p;  // xRGB in native byte order; the surface has no alpha
      std::memcpy(&p, row + 4 * x, 4);
      out.push_back(static_cast<uint8_t>(p));
      out.push_back(static_cast<uint8_t>(p >> 8));
      out.push_back(static_cast<uint8_t>(p >> 16));
    }
    for (uint32_t pad = width_ * 3; pad < rowBytes; ++pad) out.push_back(0);
  }
  for (uint32_t i = 0; i < tailBytes; ++i) out.push_back(0);
  File(path).Write(out.data(), out.size());
}

namespace {
FT_Library library = nullptr;
FT_Face face = nullptr;
cairo_font_face_t* cairoFace = nullptr;
}  // namespace

void OpenFont(const std::string& path) {
  if (FT_Init_FreeType(&library) != 0) throw std::runtime_error("FreeType");
  if (FT_New_Face(library, path.c_str(), 0, &face) != 0) throw std::runtime_error("cannot open font " + path);
  cairoFace = cairo_ft_font_face_create_for_ft_face(face, 0);
}

void CloseFont() {
  cairo_font_face_destroy(cairoFace);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

cairo_font_face_t* GameFont() { return cairoFace; }

void UseGameFont(cairo_t* cr, double pixelSize) {
  cairo_set_font_face(cr, cairoFace);
  cairo_set_font_size(cr, pixelSize);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

double TextWidth(cairo_t* cr, const char* utf8) {
  cairo_text_extents_t te;
  cairo_text_extents(cr, utf8, &te);
  return te.x_advance;
}

void TextCentered(cairo_t* cr, const char* utf8, double cx, double top) {
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  cairo_move_to(cr, cx - TextWidth(cr, utf8) / 2, top + fe.ascent);
  cairo_show_text(cr, utf8);
}

void SpacedTextPath(cairo_t* cr, const char* ascii, double cx, double top, double spacing) {
  double width = -spacing;
  for (const char* p = ascii; *p; ++p) {
    const char letter[2] = {*p, 0};
    width += TextWidth(cr, letter) + spacing;
  }
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  double x = cx - width / 2;
  for (const char* p = ascii; *p; ++p) {
    const char letter[2] = {*p, 0};
    cairo_move_to(cr, x, top + fe.ascent);
    cairo_text_path(cr, letter);
    x += TextWidth(cr, letter) + spacing;
  }
}

double Sequence::Next() {
  // xorshift32: tiny, fixed, and the same on every machine.
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return (state_ >> 8) / 16777216.0;
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
  cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
  cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
  cairo_arc(cr, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void PolygonPath(cairo_t* cr, const double* xs, const double* ys, int corners) {
  cairo_move_to(cr, xs[0], ys[0]);
  for (int k = 1; k < corners; ++k) cairo_line_to(cr, xs[k], ys[k]);
  cairo_close_path(cr);
}

void RegularPolygon(cairo_t* cr, double cx, double cy, double radius, int corners, double firstAngle) {
  cairo_move_to(cr, cx + radius * std::cos(firstAngle), cy + radius * std::sin(firstAngle));
  for (int k = 1; k < corners; ++k) {
    const double a = firstAngle + 2 * M_PI * k / corners;
    cairo_line_to(cr, cx + radius * std::cos(a), cy + radius * std::sin(a));
  }
  cairo_close_path(cr);
}

}  // namespace art
