#include "gameplay/game.h"

GameState game;
World world;
