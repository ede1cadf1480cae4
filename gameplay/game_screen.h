// The game screen: its frame function, and the press on the board that the
// event loop hands it at once, mapped here from the mouse to a cell.
#pragma once

#include <cstdint>
#include <string>

namespace quarzello {

void UpdateGameScreen();
// A press on the board of a running game, at the mouse position.
void HandleBoardClick();
// The board's extent and cells under the mouse (canvas pixels, at ui.scale).
bool MouseInsideBoard();  // strict: the border itself is outside
void CellUnderMouse(int& c, int& r);
// The Turbo clock as the head-up display shows it.
std::string FormatTimeLeft(int64_t deadline);

}  // namespace quarzello
