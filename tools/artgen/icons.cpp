// The application icon for the desktop's menus: bitmaps at the sizes the
// icon theme holds, and a scalable SVG drawn by the same code.

#include <cairo-svg.h>

#include <stdexcept>
#include <string>

#include "art.h"

namespace art {

void WriteIcons(const std::string& outDir) {
  for (int size : kIconSizes) {
    Canvas canvas(size, size, true);
    DrawIcon(canvas.cr(), size);
    canvas.SavePng(outDir + "/icon-" + std::to_string(size) + ".png");
  }

  constexpr int kSvgSize = 256;
  const std::string path = outDir + "/icon.svg";
  cairo_surface_t* svg = cairo_svg_surface_create(path.c_str(), kSvgSize, kSvgSize);
  cairo_svg_surface_set_document_unit(svg, CAIRO_SVG_UNIT_PX);
  cairo_t* cr = cairo_create(svg);
  DrawIcon(cr, kSvgSize);
  cairo_destroy(cr);
  cairo_surface_finish(svg);
  const cairo_status_t status = cairo_surface_status(svg);
  cairo_surface_destroy(svg);
  if (status != CAIRO_STATUS_SUCCESS) throw std::runtime_error("cannot write " + path);
}

}  // namespace art
