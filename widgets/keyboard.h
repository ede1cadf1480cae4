// Playing without a mouse: a cursor on the board that the arrow keys move,
// and a highlight that Tab and the arrow keys move over the buttons of a
// screen. Neither shows until one of those keys is pressed, and both go away
// when the mouse moves.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/window.h"

namespace quarzello {

struct Cell {
  int column = 0, row = 0;
  bool operator==(const Cell&) const = default;
};

class BoardCursor {
 public:
  bool shown() const { return shown_; }
  Cell cell() const { return cell_; }
  // An arrow key moving by (columns, rows). The first press only places the
  // cursor: on the cell under the mouse if the mouse is over the board, else
  // in the middle of the bottom row. Later presses move it one cell and stop
  // at the edges of the board.
  void Arrow(int columns, int rows, std::optional<Cell> underMouse);
  void Hide() { shown_ = false; }

 private:
  bool shown_ = false;
  Cell cell_;
};

// The screens are drawn anew every frame, so their buttons exist only while
// a frame draws them: every button asks Claim() as it is drawn, in reading
// order, and the number of buttons the last frame drew is what the
// highlight steps through.
class ButtonFocus {
 public:
  enum Claimed { kNotHighlighted, kHighlighted, kPressed };

  bool active() const { return highlighted_ >= 0; }
  void Next();      // from nothing to the first button; from the last back to the first
  void Previous();  // from nothing to the last button; from the first back to the last
  // The highlighted button is pressed when the next frame draws it; with
  // nothing highlighted nothing happens.
  void Press();
  void Clear();  // nothing highlighted
  Claimed Claim();
  // After each painted frame: its buttons are counted, and a press that no
  // button took (the screen changed under it) is dropped.
  void EndFrame();

 private:
  int highlighted_ = -1;
  int count_ = 0;    // buttons of the last painted frame
  int claimed_ = 0;  // buttons drawn so far in this frame
  bool pressed_ = false;
};

struct KeyboardState {
  BoardCursor cursor;
  ButtonFocus focus;
  uint8_t screen = 0;  // the screen the highlight belongs to
};

// A new screen starts without a highlight. The board cursor lives as long as
// a game: it survives the pause and is hidden when any other screen comes.
void FollowScreen(KeyboardState& keyboard, uint8_t screen);
// The mouse moved to a new position.
void HideKeyboardFocus(KeyboardState& keyboard);

}  // namespace quarzello
