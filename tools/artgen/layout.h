// Where the game draws onto the pictures, in units of the 400 x 500 screen.
// The backgrounds leave room for these places and the previews draw into
// them.
#pragma once

#include "art.h"

namespace art {

// The head-up display: three panels whose values are written centred on
// these x with their tops at kHudTextTop.
constexpr double kHudScoreX = 78, kHudModeX = 200, kHudValueX = 319, kHudTextTop = 33;
constexpr double kPanelWidth = 112, kPanelTop = 5, kPanelHeight = 52;
// The panels' labels ("Punkte", "Modus", "Level"), which the game writes over
// the picture in the player's language: centred on the same x, tops at
// kHudLabelTop, in the game's font at this size and colour.
constexpr double kHudLabelTop = kPanelTop + 4, kHudLabelSize = 11;
constexpr Rgb kHudLabelColour = Rgb8(98, 116, 130);

// The Level progress bar's top-left corner, and the flat colour around it
// that the bar's rounded ends are smoothed against.
constexpr double kBarLeft = 19, kBarTop = 62;
constexpr Rgb kBarBackdrop = Rgb8(221, 230, 237);

// The board: 17 columns by 19 rows of 20 unit cells.
constexpr int kBoardColumns = 17, kBoardRows = 19;
constexpr double kCell = 20;
constexpr double kBoardLeft = 30, kBoardTop = 90, kBoardRight = 370, kBoardBottom = 470;

}  // namespace art
