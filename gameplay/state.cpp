#include "gameplay/game.h"

GameState game;
