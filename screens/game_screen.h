// The game screen: its frame function, and the press on the board that the
// event loop hands it at once, mapped here from the mouse to a cell.
#pragma once

#include <cstdint>
#include <string>

#include "gameplay/game.h"

namespace quarzello {

void UpdateGameScreen();
// A press on the board of a running game, at the mouse position.
void HandleBoardClick();
// A click on cell (c, r) of the running game, now; what it brings is shown.
void PlayCell(int c, int r);
// A new game of the chosen mode and difficulty, on the game screen.
void StartNewGame();
// What the running game reported, turned into messages over the board.
void ShowGameNews();
// The board's extent and cells under the mouse (canvas pixels, at ui.scale).
bool MouseInsideBoard();  // strict: the border itself is outside
void CellUnderMouse(int& c, int& r);
// The Turbo clock as the head-up display shows it.
std::string FormatTimeLeft(int64_t deadline);
// QUARZELLO_RECORD_DIR=DIR: the recording of a game that has ended (or was
// given up) is written there.
void KeepRecordingForTesting(const Game& game);

}  // namespace quarzello
