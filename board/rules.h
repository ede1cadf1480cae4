// What a click, a removal and its effects do to the board.
#pragma once

#include <string>

// A click (groups and bombs).
void HandleBoardClick();
void ClickCell(int c, int r);  // the same click on a cell of the board, whatever the mouse
void MarkGroup(int c, int r, int colour);
bool NoMoveLeft();
int CountStones();

// Removal, falling stones and closing columns.
void RemoveMarkedStones();
void ApplyGravity();
void CloseEmptyColumns();

// Points and effects.
int GroupPoints(int stones);  // n * n, times the level in Level mode
void AwardLevelBonus();
void SpawnPointsCounter(int points);
void FadeOutCounters();
void UpdateCounters();
void UpdateRemovedStones();
void UpdateExplosions();
