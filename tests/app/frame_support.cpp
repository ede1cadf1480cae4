#include "tests/app/frame_support.h"

namespace quarzello::front_test {

namespace {

Image StandIn(int width, int height, bool centred) {
  Image image;
  image.width = image.cellWidth = width;
  image.height = image.cellHeight = height;
  image.frames = 1;
  image.rgba.assign(static_cast<size_t>(width) * height * 4, 255);
  if (centred) {
    image.handleX = width * 0.5f;
    image.handleY = height * 0.5f;
  }
  return image;
}

void LoadFontsOnce() {
  static bool registered = false;
  if (!registered) {
    RegisterEmbeddedFiles();
    registered = true;
  }
  if (!TFont::font(0) || !TFont::font(1)) TFont::load();
}

}  // namespace

void FrameTest::SetUp() {
  ResetDrawingState();
  SetBackend(&rec);
  LoadFontsOnce();
  ASSERT_NE(TFont::font(0), nullptr);
  ASSERT_NE(TFont::font(1), nullptr);
  menuBackground = StandIn(400, 500, false);
  logo = StandIn(149, 136, true);
  blend = StandIn(16, 16, true);
  ui.img.imgMenuBackground = &menuBackground;
  ui.img.imgLogo = &logo;
  ui.img.imgBlend = &blend;
}

void FrameTest::TearDown() {
  SetBackend(nullptr);
  ResetDrawingState();
}

void FrameTest::MouseAtDesign(float x, float y) {
  ui.mouseX = Truncate(x * ui.scale);
  ui.mouseY = Truncate(y * ui.scale);
}

const DisplayList& FrameTest::Paint(FrameFunction frameFunction) {
  const size_t before = rec.frames.size();
  frameFunction(app);
  EXPECT_EQ(rec.frames.size(), before + 1) << "a frame function presents exactly one frame";
  return rec.LastFrame();
}

std::vector<const DrawCommand*> TextsOf(const DisplayList& frame) {
  std::vector<const DrawCommand*> texts;
  for (const DrawCommand& command : frame)
    if (command.kind == DrawCommand::kText) texts.push_back(&command);
  return texts;
}

std::vector<std::string> TextStrings(const DisplayList& frame) {
  std::vector<std::string> texts;
  for (const DrawCommand* command : TextsOf(frame)) texts.push_back(command->text);
  return texts;
}

const DrawCommand& TextCommand(const DisplayList& frame, const std::string& text) {
  static const DrawCommand missing;
  const DrawCommand* found = nullptr;
  int count = 0;
  for (const DrawCommand* command : TextsOf(frame)) {
    if (command->text != text) continue;
    found = command;
    ++count;
  }
  EXPECT_EQ(count, 1) << "text \"" << Utf8FromLatin1(text) << "\"";
  return found ? *found : missing;
}

bool HasText(const DisplayList& frame, const std::string& text) {
  for (const DrawCommand* command : TextsOf(frame))
    if (command->text == text) return true;
  return false;
}

int WidthIn(Font* font, const std::string& text) {
  SelectFont(font);
  const int width = StringWidth(text);
  SelectFont(nullptr);
  return width;
}

int HeightIn(Font* font, const std::string& text) {
  SelectFont(font);
  const int height = FontHeight(text);
  SelectFont(nullptr);
  return height;
}

float CentredLeft(const std::string& text, Font* font, int x, float factor) {
  return static_cast<float>(x) - static_cast<float>(WidthIn(font, text) / 2) * factor;
}

}  // namespace quarzello::front_test
