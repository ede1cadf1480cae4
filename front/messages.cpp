#include "front/frontend.h"
#include "front/widgets.h"

std::list<std::unique_ptr<TMsg>> TMsg::messages;

TMsg* TMsg::create(const std::string& text, int holdFrames, int yOffset) {
  messages.push_back(std::make_unique<TMsg>());
  TMsg* message = messages.back().get();
  message->txt = text;
  message->timer = holdFrames;
  message->y_offset = yOffset;
  return message;
}

void TMsg::update() {
  // The next message is picked before drawing, because a message that has
  // faded out erases itself from the list while it is drawn.
  for (auto it = messages.begin(); it != messages.end();) {
    TMsg* message = it->get();
    ++it;
    message->draw();
  }
}

void TMsg::draw() {
  const float scale = ui.scale;
  float factor = 1.0f;
  bool fadedOut = false;
  TFont::set(1);
  SetDrawScale(scale, scale);
  switch (state) {
    case 1:  // ten frames, drawn at opacity 0.0, 0.1 ... 0.9
      SetAlpha(alpha);
      alpha += 0.1f;
      if (alpha >= 1.0f) state = 2;
      break;
    case 2:
      alpha = 1.0f;
      SetAlpha(1.0f);
      if (timer > 0) timer -= 1;
      if (timer == 0) state = 3;
      break;
    case 3:  // twenty frames, growing from size 1.0 to 1.95 while fading out
      SetAlpha(alpha);
      factor = 2.0f - alpha;
      SetDrawScale(scale * factor, scale * factor);
      alpha -= 0.05f;
      fadedOut = !(alpha > 0.0f);
      break;
  }
  DrawTextCentered(txt, Truncate(200 * scale), Truncate(static_cast<float>(y_offset + 85) * scale), scale * factor);
  SetDrawScale(scale, scale);
  SetAlpha(1.0f);
  SetColor(255, 255, 255);
  if (fadedOut) {
    // Destroys this message: nothing may touch it afterwards.
    std::erase_if(messages, [this](const std::unique_ptr<TMsg>& m) { return m.get() == this; });
  }
}
