#include "window/gl_renderer.h"

#include <algorithm>
#include <cmath>

namespace {

GLuint Upload(int width, int height, const uint8_t* pixels, bool filtered) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  const GLint filter = filtered ? GL_LINEAR : GL_NEAREST;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  return name;
}

// Blending works on premultiplied colours, so that filtered edges of
// transparent pixels do not bleed their (meaningless) colour.
std::vector<uint8_t> Premultiplied(const Image& image) {
  std::vector<uint8_t> pixels(image.rgba);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    const unsigned alpha = pixels[i + 3];
    for (size_t c = 0; c < 3; ++c) pixels[i + c] = static_cast<uint8_t>((pixels[i + c] * alpha + 127) / 255);
  }
  return pixels;
}

// Copies every cell of a strip apart, each framed by a repeat of its own edge
// pixels, so that filtering at a cell's edge never reaches into its neighbour.
std::vector<uint8_t> CellsWithGutter(const Image& image, const std::vector<uint8_t>& pixels, int columns, int rows,
                                     int& width, int& height) {
  const int cellWidth = image.cellWidth + 2, cellHeight = image.cellHeight + 2;
  width = columns * cellWidth;
  height = rows * cellHeight;
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * 4);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      for (int y = 0; y < cellHeight; ++y) {
        const int sourceY = row * image.cellHeight + std::clamp(y - 1, 0, image.cellHeight - 1);
        for (int x = 0; x < cellWidth; ++x) {
          const int sourceX = column * image.cellWidth + std::clamp(x - 1, 0, image.cellWidth - 1);
          const uint8_t* from = &pixels[(static_cast<size_t>(sourceY) * image.width + sourceX) * 4];
          uint8_t* to = &out[(static_cast<size_t>(row * cellHeight + y) * width + column * cellWidth + x) * 4];
          std::copy(from, from + 4, to);
        }
      }
    }
  }
  return out;
}

// Where each cell of a picture has ink: a clear texel, premultiplied, adds
// nothing under either blending, so the quad may leave out a clear border.
std::vector<GlRenderer::CellInk> InkOfCells(const Image& image, int columns, int rows) {
  std::vector<GlRenderer::CellInk> cells(static_cast<size_t>(columns) * rows);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      GlRenderer::CellInk ink{image.cellWidth, image.cellHeight, 0, 0, true};
      for (int y = 0; y < image.cellHeight; ++y) {
        const uint8_t* line = &image.rgba[(static_cast<size_t>(row * image.cellHeight + y) * image.width +
                                           static_cast<size_t>(column * image.cellWidth)) * 4];
        for (int x = 0; x < image.cellWidth; ++x) {
          const uint8_t alpha = line[x * 4 + 3];
          ink.opaque &= alpha == 255;
          if (alpha == 0) continue;
          ink.x0 = std::min(ink.x0, x);
          ink.y0 = std::min(ink.y0, y);
          ink.x1 = std::max(ink.x1, x + 1);
          ink.y1 = std::max(ink.y1, y + 1);
        }
      }
      cells[static_cast<size_t>(row * columns + column)] = ink;
    }
  }
  return cells;
}

uint8_t Channel(float value) { return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 255.0f))); }

}  // namespace

void GlRenderer::ForgetTextures() {
  images_.clear();
  fonts_.clear();
  stateValid_ = false;
}

const GlRenderer::Texture& GlRenderer::ImageTexture(const Image& image) {
  const auto found = images_.find(image.id);
  if (found != images_.end()) return found->second;
  Flush();  // the upload rebinds the texture of the batch in progress
  Texture texture;
  const std::vector<uint8_t> pixels = Premultiplied(image);
  const bool filtered = (image.flags & kImageFiltered) != 0;
  const int columns = image.cellWidth > 0 ? image.width / image.cellWidth : 1;
  const int rows = image.cellHeight > 0 ? image.height / image.cellHeight : 1;
  if (columns * rows > 1) {
    texture.gutter = 1;
    const std::vector<uint8_t> cells = CellsWithGutter(image, pixels, columns, rows, texture.width, texture.height);
    texture.name = Upload(texture.width, texture.height, cells.data(), filtered);
  } else {
    texture.width = image.width;
    texture.height = image.height;
    texture.name = Upload(texture.width, texture.height, pixels.data(), filtered);
  }
  const bool wholeCell = texture.gutter != 0 || (image.cellWidth == image.width && image.cellHeight == image.height);
  if (wholeCell && image.cellWidth > 0 && image.cellHeight > 0 && columns * image.cellWidth <= image.width &&
      rows * image.cellHeight <= image.height && image.rgba.size() >= static_cast<size_t>(image.width) * image.height * 4) {
    texture.cells = InkOfCells(image, columns, rows);
  }
  stateValid_ = false;  // the upload bound another texture
  return images_[image.id] = std::move(texture);
}

const GlRenderer::FontAtlas& GlRenderer::Atlas(const Font& font) {
  const auto found = fonts_.find(font.id);
  if (found != fonts_.end() && found->second.generation == font.generation) return found->second;
  Flush();  // the upload rebinds the texture of the batch in progress
  if (found != fonts_.end()) glDeleteTextures(1, &found->second.texture.name);  // glyphs were added since
  // Every glyph with pixels, Latin-1 first, each with where its box goes.
  struct Placed {
    uint32_t code;
    const Glyph* glyph;
    int x = 0, y = 0;
  };
  std::vector<Placed> placed;
  for (uint32_t c = 0; c < 256; ++c) {
    if (!font.glyphs[c].coverage.empty()) placed.push_back({c, &font.glyphs[c]});
  }
  for (const auto& [code, glyph] : font.extraGlyphs) {
    if (!glyph.coverage.empty()) placed.push_back({code, &glyph});
  }
  // Glyphs go on shelves, one pixel apart so that filtering keeps them apart.
  constexpr int kAtlasWidth = 1024;
  int x = 1, y = 1, shelfHeight = 0;
  for (Placed& place : placed) {
    const Glyph& glyph = *place.glyph;
    if (x + glyph.width + 1 > kAtlasWidth) {
      x = 1;
      y += shelfHeight + 1;
      shelfHeight = 0;
    }
    place.x = x;
    place.y = y;
    x += glyph.width + 1;
    shelfHeight = std::max(shelfHeight, glyph.height);
  }
  FontAtlas atlas;
  atlas.generation = font.generation;
  atlas.texture.width = kAtlasWidth;
  atlas.texture.height = y + shelfHeight + 1;
  // RGBA like the pictures: with one texture format the software rasteriser
  // compiles fewer shader variants before the first frame.
  std::vector<uint8_t> pixels(static_cast<size_t>(atlas.texture.width) * atlas.texture.height * 4, 0);
  for (const Placed& place : placed) {
    const Glyph& glyph = *place.glyph;
    for (int row = 0; row < glyph.height; ++row) {
      for (int column = 0; column < glyph.width; ++column) {
        const uint8_t coverage = glyph.coverage[static_cast<size_t>(row * glyph.width + column)];
        uint8_t* texel = &pixels[(static_cast<size_t>(place.y + row) * atlas.texture.width + place.x + column) * 4];
        std::fill(texel, texel + 4, coverage);  // white, premultiplied by its coverage
      }
    }
    const float w = static_cast<float>(atlas.texture.width), h = static_cast<float>(atlas.texture.height);
    const GlyphBox box{place.x / w, place.y / h, (place.x + glyph.width) / w, (place.y + glyph.height) / h};
    if (place.code < 256) {
      atlas.boxes[place.code] = box;
    } else {
      atlas.extraBoxes[place.code] = box;
    }
  }
  constexpr int kSmoothWhenScaled = 4;
  atlas.texture.name = Upload(atlas.texture.width, atlas.texture.height, pixels.data(),
                              (font.style & kSmoothWhenScaled) != 0);
  stateValid_ = false;
  return fonts_[font.id] = std::move(atlas);
}

// Additive blending is premultiplied blending of a colour that covers
// nothing: src + dst * (1 - 0). Drawn that way, a stone's glow joins the batch
// of the stones around it instead of cutting it in two. Only the canvas's own
// alpha, which nothing reads or shows, comes out otherwise.
GlRenderer::BatchState GlRenderer::StateOf(const DrawCommand& command, GLuint texture) {
  const uint8_t blend = command.blend == kBlendLight ? kBlendAlpha : command.blend;
  return {texture, blend, command.viewX, command.viewY, command.viewWidth, command.viewHeight};
}

void GlRenderer::Use(const BatchState& state) {
  if (stateValid_ && state == current_) return;
  Flush();
  if (!stateValid_ || state.texture != current_.texture) glBindTexture(GL_TEXTURE_2D, state.texture);
  if (!stateValid_ || state.blend != current_.blend) {
    if (state.blend == kNoBlending) {
      glDisable(GL_BLEND);
    } else {
      glEnable(GL_BLEND);
      glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    }
  }
  Scissor(state.clipX, state.clipY, state.clipWidth, state.clipHeight);
  current_ = state;
  stateValid_ = true;
}

void GlRenderer::Scissor(int x, int y, int width, int height) const {
  if (area_ == nullptr) {
    glScissor(x, canvasHeight_ - y - height, width, height);
    return;
  }
  // The scissor of a whole repaint, which OpenGL cuts to the canvas, cut to the area too.
  const PixelRect clip = Intersection(Intersection({x, y, x + width, y + height}, *area_),
                                      {0, 0, canvasWidth_, canvasHeight_});
  if (clip.Empty()) {
    glScissor(0, 0, 0, 0);
  } else {
    glScissor(clip.x0, canvasHeight_ - clip.y1, clip.x1 - clip.x0, clip.y1 - clip.y0);
  }
}

void GlRenderer::Flush() {
  if (vertices_.empty()) return;
  glVertexPointer(2, GL_FLOAT, sizeof(Vertex), &vertices_[0].x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &vertices_[0].u);
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), &vertices_[0].red);
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(vertices_.size()));
  vertices_.clear();
}

void GlRenderer::AddQuad(float x0, float y0, float x1, float y1, const GlyphBox& box, const DrawCommand& command) {
  const float alpha = command.alpha;
  const uint8_t coverage = command.blend == kBlendLight ? 0 : Channel(255.0f * alpha);
  const Vertex corner{0, 0, 0, 0, Channel(command.red * alpha), Channel(command.green * alpha),
                      Channel(command.blue * alpha), coverage};
  Vertex v = corner;
  v.x = x0, v.y = y0, v.u = box.u0, v.v = box.v0;
  vertices_.push_back(v);
  v.x = x1, v.u = box.u1;
  vertices_.push_back(v);
  v.y = y1, v.v = box.v1;
  vertices_.push_back(v);
  v.x = x0, v.u = box.u0;
  vertices_.push_back(v);
}

void GlRenderer::AddImage(const DrawCommand& command) {
  const Image& image = *command.image;
  if (command.frame < 0 || command.frame >= image.frames) return;
  const Texture& texture = ImageTexture(image);
  const int cell = image.firstCell + command.frame;
  // The quad covers the cell's ink and one texel around it, which filtering
  // may still blend in; the clear rest would add nothing but work.
  CellInk ink{0, 0, image.cellWidth, image.cellHeight, false};
  if (cell >= 0 && static_cast<size_t>(cell) < texture.cells.size()) ink = texture.cells[static_cast<size_t>(cell)];
  if (ink.x1 <= ink.x0 || ink.y1 <= ink.y0) return;
  const int tx0 = std::max(ink.x0 - 1, 0), ty0 = std::max(ink.y0 - 1, 0);
  const int tx1 = std::min(ink.x1 + 1, image.cellWidth), ty1 = std::min(ink.y1 + 1, image.cellHeight);
  BatchState state = StateOf(command, texture.name);
  // An opaque picture drawn opaque replaces what is beneath: blending would
  // give the same pixels at more cost.
  if (ink.opaque && command.blend == kBlendAlpha && command.alpha == 1.0f) state.blend = kNoBlending;
  Use(state);
  float left = 0, top = 0;
  if (texture.gutter != 0) {
    const int columns = image.width / image.cellWidth;
    left = static_cast<float>(cell % columns * (image.cellWidth + 2) + 1);
    top = static_cast<float>(cell / columns * (image.cellHeight + 2) + 1);
  }
  const float w = static_cast<float>(texture.width), h = static_cast<float>(texture.height);
  const GlyphBox box{(left + static_cast<float>(tx0)) / w, (top + static_cast<float>(ty0)) / h,
                     (left + static_cast<float>(tx1)) / w, (top + static_cast<float>(ty1)) / h};
  const float x0 = command.x - image.handleX * command.sx;
  const float y0 = command.y - image.handleY * command.sy;
  AddQuad(x0 + static_cast<float>(tx0) * command.sx, y0 + static_cast<float>(ty0) * command.sy,
          x0 + static_cast<float>(tx1) * command.sx, y0 + static_cast<float>(ty1) * command.sy, box, command);
}

void GlRenderer::AddText(const DrawCommand& command) {
  const Font& font = command.font != nullptr ? *command.font : *DefaultFont();
  const FontAtlas& atlas = Atlas(font);
  Use(StateOf(command, atlas.texture.name));
  ForEachGlyphQuad(command, [&](uint32_t code, float x0, float y0, float x1, float y1) {
    if (code < 256) {
      AddQuad(x0, y0, x1, y1, atlas.boxes[code], command);
    } else if (const auto box = atlas.extraBoxes.find(code); box != atlas.extraBoxes.end()) {
      AddQuad(x0, y0, x1, y1, box->second, command);
    }
  });
}

void GlRenderer::Draw(const DrawCommand& command) {
  switch (command.kind) {
    case DrawCommand::kClear:
      Flush();
      stateValid_ = false;
      Scissor(command.viewX, command.viewY, command.viewWidth, command.viewHeight);
      glClear(GL_COLOR_BUFFER_BIT);
      break;
    case DrawCommand::kImage:
      if (command.image != nullptr) AddImage(command);
      break;
    case DrawCommand::kText:
      AddText(command);
      break;
  }
}

void GlRenderer::Render(const DisplayList& list, int width, int height, const std::vector<PixelRect>* areas) {
  canvasWidth_ = width;
  canvasHeight_ = height;
  stateValid_ = false;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glEnable(GL_SCISSOR_TEST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glClearColor(0, 0, 0, 1);

  if (areas == nullptr) {
    area_ = nullptr;
    for (const DrawCommand& command : list) Draw(command);
    Flush();
    return;
  }
  bounds_.clear();
  for (const DrawCommand& command : list) bounds_.push_back(CommandBounds(command, width, height));
  for (const PixelRect& area : *areas) {
    area_ = &area;
    stateValid_ = false;
    for (size_t i = 0; i < list.size(); ++i) {
      // A command that cannot reach the area changes nothing there.
      if (!Intersection(bounds_[i], area).Empty()) Draw(list[i]);
    }
    Flush();
  }
  area_ = nullptr;
}
