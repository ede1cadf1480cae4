// Turns a display list into OpenGL draw calls on the current context. Quads
// that share texture, blending and clip rectangle go out in one draw call.
#pragma once

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/damage.h"
#include "platform/platform.h"

class GlRenderer {
 public:
  // The texels of a cell that are not fully clear, [x0, x1) x [y0, y1) in the
  // cell; whether all of them are fully opaque.
  struct CellInk {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool opaque = false;
  };
  // Draws `list` onto a canvas of width x height pixels. With `areas`, only
  // the pixels inside them change (every scissor is cut down to each in
  // turn), and they become exactly what drawing the whole list gives there.
  void Render(const DisplayList& list, int width, int height, const std::vector<PixelRect>* areas = nullptr);
  // The context was made anew: textures of the old one are gone.
  void ForgetTextures();

 private:
  struct Vertex {
    float x, y, u, v;
    uint8_t red, green, blue, alpha;
  };
  struct Texture {
    GLuint name = 0;
    int width = 0, height = 0;
    int gutter = 0;  // cells are copied apart with a border of their own edge pixels
    std::vector<CellInk> cells;  // by cell number
  };
  struct GlyphBox {
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
  };
  struct FontAtlas {
    Texture texture;
    uint32_t generation = 0;  // the font's when the atlas was made
    std::array<GlyphBox, 256> boxes{};                  // code points 0-255, looked up directly
    std::unordered_map<uint32_t, GlyphBox> extraBoxes;  // the font's extra glyphs
  };
  static constexpr uint8_t kNoBlending = 0;
  struct BatchState {
    GLuint texture = 0;
    uint8_t blend = 0;
    int clipX = 0, clipY = 0, clipWidth = -1, clipHeight = -1;
    bool operator==(const BatchState&) const = default;
  };

  const Texture& ImageTexture(const Image& image);
  const FontAtlas& Atlas(const Font& font);
  void Use(const BatchState& state);
  void Flush();
  void AddQuad(float x0, float y0, float x1, float y1, const GlyphBox& box, const DrawCommand& command);
  void AddImage(const DrawCommand& command);
  void AddText(const DrawCommand& command);
  void Draw(const DrawCommand& command);
  static BatchState StateOf(const DrawCommand& command, GLuint texture);
  // glScissor of a clip rectangle (canvas pixels, y down), cut down to area_.
  void Scissor(int x, int y, int width, int height) const;

  std::unordered_map<uint32_t, Texture> images_;
  std::unordered_map<uint32_t, FontAtlas> fonts_;
  std::vector<Vertex> vertices_;
  std::vector<PixelRect> bounds_;  // of each command of the list being drawn into areas
  BatchState current_;
  bool stateValid_ = false;
  int canvasWidth_ = 0, canvasHeight_ = 0;
  const PixelRect* area_ = nullptr;
};
