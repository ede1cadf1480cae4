// Drawing state and the frame's display list. Every drawing operation is
// recorded with the whole state it was made with; Flip hands the finished
// list to the backend, which turns it into pixels (or keeps it, in tests).
#include <algorithm>

#include "platform/platform.h"

namespace {

struct DrawingState {
  uint8_t red = 255, green = 255, blue = 255;
  float alpha = 1;
  uint8_t blend = kBlendAlpha;
  float sx = 1, sy = 1;
  bool viewportSet = false;  // until SetViewport, the viewport is the whole canvas
  int viewX = 0, viewY = 0, viewWidth = 0, viewHeight = 0;
  Font* font = nullptr;
};

DrawingState state;
DisplayList frameList;
bool frameInProgress = false;
Backend* backend = nullptr;

uint8_t ClampChannel(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

DrawCommand CommandWithState(DrawCommand::Kind kind) {
  DrawCommand command;
  command.kind = kind;
  command.sx = state.sx;
  command.sy = state.sy;
  command.red = state.red;
  command.green = state.green;
  command.blue = state.blue;
  command.alpha = state.alpha;
  command.blend = state.blend;
  if (state.viewportSet) {
    command.viewX = state.viewX;
    command.viewY = state.viewY;
    command.viewWidth = state.viewWidth;
    command.viewHeight = state.viewHeight;
  } else if (backend != nullptr) {
    command.viewWidth = backend->CanvasWidth();
    command.viewHeight = backend->CanvasHeight();
  }
  return command;
}

void Append(DrawCommand&& command) {
  frameInProgress = true;
  frameList.push_back(std::move(command));
}

const Font& CurrentFont() { return state.font != nullptr ? *state.font : *DefaultFont(); }

}  // namespace

void SetBackend(Backend* newBackend) { backend = newBackend; }
Backend* CurrentBackend() { return backend; }

void ResetDrawingState() {
  state = DrawingState{};
  frameList.clear();
  frameInProgress = false;
  SetTransparentColour(0, 0, 0);
}

void Cls() {
  // A second Cls inside one frame clears only its viewport and keeps what is
  // already drawn elsewhere, as it would on the screen.
  if (!frameInProgress) frameList.clear();
  // A clear depends on nothing but its viewport; keeping the rest of the
  // state out of it lets equal pictures give equal lists.
  DrawCommand clear;
  const DrawCommand current = CommandWithState(DrawCommand::kClear);
  clear.viewX = current.viewX;
  clear.viewY = current.viewY;
  clear.viewWidth = current.viewWidth;
  clear.viewHeight = current.viewHeight;
  Append(std::move(clear));
}

void Flip(int /*sync*/) {
  if (backend != nullptr) backend->Present(frameList);
  frameList.clear();
  frameInProgress = false;
}

DisplayList TakeFrame() {
  DisplayList taken = std::move(frameList);
  frameList.clear();
  frameInProgress = false;
  return taken;
}

void DrawFrameList(const DisplayList& list) {
  if (list.empty()) return;
  frameInProgress = true;
  frameList.insert(frameList.end(), list.begin(), list.end());
}

void SetColor(int red, int green, int blue) {
  state.red = ClampChannel(red);
  state.green = ClampChannel(green);
  state.blue = ClampChannel(blue);
}

void SetAlpha(float alpha) {
  // NaN is treated as fully clear rather than left to spread into the blending.
  state.alpha = alpha >= 0.0f ? std::min(alpha, 1.0f) : 0.0f;
}

void SetBlend(int mode) {
  if (mode == kBlendAlpha || mode == kBlendLight) state.blend = static_cast<uint8_t>(mode);
}

void SetDrawScale(float sx, float sy) {
  state.sx = sx;
  state.sy = sy;
}

void SetViewport(int x, int y, int width, int height) {
  state.viewportSet = true;
  state.viewX = x;
  state.viewY = y;
  state.viewWidth = std::max(width, 0);
  state.viewHeight = std::max(height, 0);
}

void DrawImageFrame(const Image* image, float x, float y, int frame) {
  if (image == nullptr) return;
  DrawCommand command = CommandWithState(DrawCommand::kImage);
  command.image = image;
  command.frame = frame;
  command.x = x;
  command.y = y;
  Append(std::move(command));
}

void SelectFont(Font* font) { state.font = font; }

void DrawString(const std::string& text, float x, float y) {
  if (text.empty()) return;
  DrawCommand command = CommandWithState(DrawCommand::kText);
  command.font = state.font;
  command.text = text;
  command.x = x;
  command.y = y;
  Append(std::move(command));
}

int StringWidth(const std::string& text) {
  const Font& font = CurrentFont();
  int width = 0;
  for (size_t i = 0; i < text.size();) {
    const Glyph* glyph = FindGlyph(font, NextCodePoint(text, i));
    if (glyph != nullptr) width = Truncate(static_cast<float>(width) + glyph->advance);
  }
  return width;
}

int FontHeight(const std::string& /*text*/) { return CurrentFont().height; }
