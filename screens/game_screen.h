// The game screen: its frame function, and the press on the board that the
// event loop hands it at once, mapped here from the mouse to a cell.
#pragma once

#include <cstdint>
#include <string>

#include "gameplay/game.h"

namespace quarzello {

struct App;
struct FrontEnd;

// Who plays the game a frame shows: the player, or its recording.
enum class GameInput : uint8_t { Player, Watched };

// One frame of `game` at time `now`: stepped, drawn (not yet presented) and
// its news shown over the board. A watched game shows no keyboard cursor and
// takes no press on "Weiter".
void PlayGameFrame(FrontEnd& ui, Game& game, int64_t now, GameInput input);
// The frame function of the game screen: one frame of `game`, drawn and fed
// for the front end `ui`.
void UpdateGameScreen(FrontEnd& ui, Game& game);
// A press on the board of a running game, at the mouse position.
void HandleBoardClick(FrontEnd& ui, Game& game);
// A click on cell (c, r) of the running game, now; what it brings is shown.
void PlayCell(FrontEnd& ui, Game& game, int c, int r);
// A new game of the chosen mode and difficulty, dealt from the app's
// generator, on the game screen.
void StartNewGame(App& app);
// What the game reported, turned into messages over the board.
void ShowGameNews(FrontEnd& ui, Game& game);
// The board's extent and cells under the mouse (canvas pixels, at ui.scale).
bool MouseInsideBoard(const FrontEnd& ui);  // strict: the border itself is outside
void CellUnderMouse(const FrontEnd& ui, int& c, int& r);
// The Turbo clock as the head-up display shows it.
std::string FormatTimeLeft(const Game& game);
// QUARZELLO_RECORD_DIR=DIR: the recording of a game that has ended (or was
// given up) is written there.
void KeepRecordingForTesting(const Game& game);

}  // namespace quarzello
