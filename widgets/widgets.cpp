#include "widgets/widgets.h"

#include "widgets/frontend.h"

namespace quarzello {

namespace {

struct FontSlot {
  int pixelSize;
  int red, green, blue;
  Font* font;
};

// Style 5: smooth glyphs when the text is scaled.
constexpr int kFontStyle = 5;
const char* const kFontUrl = "incbin::lucidagrande.ttf";

FontSlot fontTable[3] = {
    {14, 79, 88, 94, nullptr},
    {36, 47, 55, 58, nullptr},
    {11, 98, 116, 130, nullptr},  // the panels' labels: smaller and paler than what they label
};

}  // namespace

void TFont::load() {
  for (FontSlot& slot : fontTable) slot.font = LoadFontFile(kFontUrl, slot.pixelSize, kFontStyle);
}

// A font that failed to load leaves nullptr, which selects the platform's
// default font; the colour is set all the same.
void TFont::set(int index) {
  const FontSlot& slot = fontTable[index];
  SelectFont(slot.font);
  SetColor(slot.red, slot.green, slot.blue);
}

Font* TFont::font(int index) { return fontTable[index].font; }

void TFont::reset() {
  for (FontSlot& slot : fontTable) slot.font = nullptr;
}

void DrawTextCentered(const std::string& text, int x, int y, float factor) {
  const int width = StringWidth(text);
  // The half width is rounded down before it is scaled.
  DrawString(text, static_cast<float>(x) - static_cast<float>(width / 2) * factor, static_cast<float>(y));
}

bool MenuRowHit(const FrontEnd& ui, const std::string& text, int y) {
  const float bottom = static_cast<float>(y) + static_cast<float>(FontHeight(text)) * ui.scale;
  return ui.mouseY > y && static_cast<float>(ui.mouseY) < bottom;
}

namespace {

// Under the mouse: Hovered, or Clicked when the frame's click is still
// unclaimed, which claims it.
WidgetResult TakeClick(FrontEnd& ui) {
  if (ui.mouseClicked != 1) return WidgetResult::Hovered;
  ui.mouseClicked = 0;
  return WidgetResult::Clicked;
}

// While the keyboard highlights a button the highlight stands for the mouse:
// the mouse then neither hovers nor clicks.
WidgetResult Hover(FrontEnd& ui, bool underMouse) {
  ButtonFocus& focus = ui.keyboard.focus;
  const ButtonFocus::Claimed claimed = focus.Claim();
  if (focus.active()) {
    if (claimed == ButtonFocus::kPressed) return WidgetResult::Clicked;
    return claimed == ButtonFocus::kHighlighted ? WidgetResult::Hovered : WidgetResult::Idle;
  }
  return underMouse ? TakeClick(ui) : WidgetResult::Idle;
}

}  // namespace

WidgetResult MenuButton(FrontEnd& ui, const std::string& text, float x, float y) {
  const float scale = ui.scale;
  const WidgetResult result = Hover(ui, MenuRowHit(ui, text, Truncate(y * scale)));
  const float factor = result != WidgetResult::Idle ? scale : 0.8f * scale;
  SetDrawScale(factor, factor);
  DrawTextCentered(text, Truncate(x * scale), Truncate(y * scale), factor);
  SetDrawScale(scale, scale);
  return result;
}

bool BoxHit(const FrontEnd& ui, int x, int y, int w, int h) {
  const int half = w / 2;
  return ui.mouseY > y && ui.mouseY < y + h && ui.mouseX > x - half && ui.mouseX < x + half;
}

WidgetResult TabButton(FrontEnd& ui, const std::string& text, float x, float y, float w, float h) {
  const float scale = ui.scale;
  SetDrawScale(scale, scale);
  const WidgetResult result =
      Hover(ui, BoxHit(ui, Truncate(x * scale), Truncate(y * scale), Truncate(w * scale), Truncate(h * scale)));
  if (result != WidgetResult::Idle) {
    // A grey additive glow under the label, stretched to about twice the
    // text's width; the label then switches to the small font.
    SetDrawScale(static_cast<float>(StringWidth(text) / 8) * scale, scale);
    SetColor(64, 64, 64);
    SetBlend(kBlendLight);
    if (ui.img.imgBlend) DrawImageFrame(ui.img.imgBlend, (x - 2) * scale, (y + 9) * scale, 0);
    TFont::set(0);
    SetBlend(kBlendAlpha);
    SetDrawScale(scale, scale);
  }
  DrawTextCentered(text, Truncate(x * scale), Truncate(y * scale), scale);
  SetDrawScale(scale, scale);
  return result;
}

}  // namespace quarzello
