#include "board/board.h"

World world;
