#include "widgets/keyboard.h"

#include <algorithm>

#include "board/board.h"
#include "widgets/frontend.h"

namespace quarzello {

void BoardCursor::Arrow(int columns, int rows, std::optional<Cell> underMouse) {
  if (!shown_) {
    shown_ = true;
    cell_ = underMouse.value_or(Cell{kColumns / 2, kRows - 1});
    return;
  }
  cell_.column = std::clamp(cell_.column + columns, 0, kColumns - 1);
  cell_.row = std::clamp(cell_.row + rows, 0, kRows - 1);
}

void ButtonFocus::Next() {
  if (count_ == 0) return;
  highlighted_ = highlighted_ < 0 || highlighted_ >= count_ - 1 ? 0 : highlighted_ + 1;
}

void ButtonFocus::Previous() {
  if (count_ == 0) return;
  highlighted_ = highlighted_ <= 0 || highlighted_ >= count_ ? count_ - 1 : highlighted_ - 1;
}

void ButtonFocus::Press() {
  if (active()) pressed_ = true;
}

void ButtonFocus::Clear() {
  highlighted_ = -1;
  pressed_ = false;
}

ButtonFocus::Claimed ButtonFocus::Claim() {
  if (claimed_++ != highlighted_) return kNotHighlighted;
  if (!pressed_) return kHighlighted;
  pressed_ = false;
  return kPressed;
}

void ButtonFocus::EndFrame() {
  count_ = claimed_;
  claimed_ = 0;
  pressed_ = false;
}

namespace {

bool PartOfOneGame(uint8_t a, uint8_t b) { return (a == GameScreen || a == Pause) && (b == GameScreen || b == Pause); }

}  // namespace

void FollowScreen(KeyboardState& keyboard, uint8_t screen) {
  if (screen == keyboard.screen) return;
  if (!PartOfOneGame(screen, keyboard.screen)) keyboard.cursor.Hide();
  keyboard.focus = ButtonFocus{};  // the buttons counted were the old screen's
  keyboard.screen = screen;
}

void HideKeyboardFocus(KeyboardState& keyboard) {
  keyboard.cursor.Hide();
  keyboard.focus.Clear();
}

}  // namespace quarzello
