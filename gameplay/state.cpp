#include "gameplay/game.h"

namespace quarzello {

GameState game;
World world;

}  // namespace quarzello
