#include "widgets/frontend.h"
#include "widgets/widgets.h"

namespace quarzello {

TMsg* TMsg::create(MessageList& messages, const std::string& text, int holdFrames, int yOffset) {
  messages.push_back(std::make_unique<TMsg>());
  TMsg* message = messages.back().get();
  message->txt = text;
  message->timer = holdFrames;
  message->y_offset = yOffset;
  return message;
}

void TMsg::update(MessageList& messages, float scale) {
  for (const auto& message : messages) message->draw(scale);
  std::erase_if(messages, [](const std::unique_ptr<TMsg>& message) { return !message->advance(); });
}

void TMsg::draw(float scale) const {
  float shown = alpha, factor = 1.0f;
  switch (state) {
    case kHolding: shown = 1.0f; break;
    case kFadingOut: factor = 2.0f - alpha; break;  // grows from size 1.0 to 1.95
    default: break;
  }
  TFont::set(1);
  SetDrawScale(scale * factor, scale * factor);
  SetAlpha(shown);
  DrawTextCentered(txt, Truncate(kDesignWidth / 2 * scale), Truncate(static_cast<float>(y_offset + 85) * scale),
                   scale * factor);
  SetDrawScale(scale, scale);
  SetAlpha(1.0f);
  SetColor(255, 255, 255);
}

bool TMsg::advance() {
  switch (state) {
    case kFadingIn:  // ten frames, drawn at opacity 0.0, 0.1 ... 0.9
      alpha += 0.1f;
      if (alpha >= 1.0f) state = kHolding;
      return true;
    case kHolding:
      alpha = 1.0f;
      if (timer > 0) timer -= 1;
      if (timer == 0) state = kFadingOut;
      return true;
    case kFadingOut:  // twenty frames, drawn at opacity 1.0, 0.95 ... 0.05
      alpha -= 0.05f;
      return alpha > 0.0f;
    default:
      return true;
  }
}

}  // namespace quarzello
